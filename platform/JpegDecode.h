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

// Writes a batch of decoded rows to their places in the picture, a row at a
// time when asked.  Rows go out with stores that bypass the cache, which
// stall when many follow one another; spread over other work they cost
// little.
class JpegRowPlacer {
public:
    // Puts the next row of the batch not yet in its place there; false once
    // every row is.
    bool PlaceNext();

    // The decoder's: `count` rows of the strip, rows `at`.. of the picture
    // whose first row is `first`.
    JpegRowPlacer(unsigned char* const* rows, int count, unsigned char* first, std::size_t step, std::size_t stride,
                  int at, int width, int height, bool turned)
        : m_rows(rows), m_count(count), m_first(first), m_step(step), m_stride(stride), m_at(at), m_width(width),
          m_height(height), m_turned(turned) {}

private:
    unsigned char* const* m_rows = nullptr;
    int m_count = 0, m_next = 0;
    unsigned char* m_first = nullptr;  // the picture's first row
    std::size_t m_step = 0, m_stride = 0;
    int m_at = 0, m_width = 0, m_height = 0;
    bool m_turned = false;
};

// Sees the rows of a colour picture as they come out of the decoder, before
// they are written to their place, while they are still in the cache.
class JpegRowSink {
public:
    // Once the size is known: whether rows are wanted for this picture.
    virtual bool Begin(int width, int height) = 0;
    // Rows first .. first + count - 1 of the picture as decoded (top-down,
    // not turned), in order; `rows[i]` holds `width` pixels.  The sink may
    // put them in their places meanwhile with `placer`; what it leaves is
    // put there after it returns.
    virtual void Rows(const unsigned char* const* rows, int first, int count, JpegRowPlacer& placer) = 0;
    // Asked once Begin has taken the picture: whether its rows go to their
    // places at all.  A sink that shows the picture by itself may leave the
    // picture's memory unwritten (the placer then puts nothing anywhere), for
    // the picture to be decoded again from the same data if it is wanted.
    virtual bool PlacesRows() const { return true; }

protected:
    ~JpegRowSink() = default;
};

// Decodes one JPEG picture top-down into packed rows of its components (R, G, B
// or B, G, R; one byte for grey).  With `turned`, a colour picture is written
// turned by 180 degrees (its last pixel first) as it is decoded.  False on any
// libjpeg error, on data ending before the picture does, and when `rowsFor`
// refuses it.  `seen`, when given, sees the rows of a colour picture first.
bool DecodeJpeg(const unsigned char* src, std::size_t srcLen, JpegPixelOrder order, JpegRowsFor rowsFor,
                void* context, bool turned = false, JpegRowSink* seen = nullptr);

}  // namespace plat
