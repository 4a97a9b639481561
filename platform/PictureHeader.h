#pragma once
// What a picture file says of itself before its pixels: enough to refuse a
// file that is no picture, or one too large to hold, without reading it.
#include <cstdint>

namespace plat {

enum class PictureFormat { Bmp, Png, Jpeg };

struct PictureSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
    PictureFormat format = PictureFormat::Bmp;
};

// Reads the header of the BMP, PNG or JPEG picture at the start of the open
// descriptor `fd`, looking at no byte past `fileBytes`.  True with the
// picture's size in pixels and its format; false for any other file or a
// header that names no pixels.  Reads with pread, so the descriptor's offset stays as it was.
bool ReadPictureSize(int fd, std::uint64_t fileBytes, PictureSize* size);

}  // namespace plat
