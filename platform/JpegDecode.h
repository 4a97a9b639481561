#pragma once
// JPEG decoding with libjpeg that never ends the process on bad data: a
// libjpeg error, or data that ends before the picture does, is reported as a
// failure and nothing else happens.
#include <cstddef>

namespace plat {

// Byte order of the decoded rows of a colour JPEG.
enum class JpegPixelOrder { RGB, BGR };

// Where the decoded rows go, asked once the picture's size is known: returns
// the first row, with rows `*rowStep` bytes apart, or nullptr to refuse the
// picture.  `components` is 3 for colour, 1 for grey.
using JpegRowsFor = unsigned char* (*)(void* context, int width, int height, int components,
                                       std::size_t* rowStep);

// Decodes one JPEG picture top-down into packed rows of its components (R, G, B
// or B, G, R; one byte for grey).  With `turned`, a colour picture is written
// turned by 180 degrees (its last pixel first) as it is decoded.  False on any
// libjpeg error, on data ending before the picture does, and when `rowsFor`
// refuses it.
bool DecodeJpeg(const unsigned char* src, std::size_t srcLen, JpegPixelOrder order, JpegRowsFor rowsFor,
                void* context, bool turned = false);

}  // namespace plat
