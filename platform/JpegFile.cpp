#include "platform/JpegFile.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <exception>

#include <jpeglib.h>
#include <jerror.h>

#include "platform/JpegTrap.h"

namespace plat {
namespace {

// The file is read forwards through this much memory.
constexpr std::size_t kInputBytes = 64 << 10;

struct FileSource {
    jpeg_source_mgr pub;
    int fd;
    std::uint64_t pos;
    std::uint64_t end;
    JOCTET buffer[kInputBytes];
};

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr cinfo) {
    FileSource* src = reinterpret_cast<FileSource*>(cinfo->src);
    ssize_t got = 0;
    if (src->pos < src->end) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kInputBytes, src->end - src->pos));
        do got = ::pread(src->fd, src->buffer, want, static_cast<off_t>(src->pos));
        while (got < 0 && errno == EINTR);
    }
    if (got <= 0) {
        // The data ends before the picture does: as libjpeg's own file source,
        // an end marker stands in, and the picture shows as far as it came.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        got = 2;
    } else {
        src->pos += static_cast<std::uint64_t>(got);
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = static_cast<std::size_t>(got);
    return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    FileSource* src = reinterpret_cast<FileSource*>(cinfo->src);
    const auto n = static_cast<std::uint64_t>(count);
    if (n <= src->pub.bytes_in_buffer) {
        src->pub.next_input_byte += n;
        src->pub.bytes_in_buffer -= static_cast<std::size_t>(n);
        return;
    }
    src->pos += n - src->pub.bytes_in_buffer;
    src->pub.bytes_in_buffer = 0;
}

// The orientation tag (1..8) of an Exif segment; 1 (upright) without one.
int ExifOrientation(jpeg_saved_marker_ptr marker) {
    for (; marker; marker = marker->next) {
        if (marker->marker != JPEG_APP0 + 1 || marker->data_length < 14 ||
            std::memcmp(marker->data, "Exif\0\0", 6) != 0)
            continue;
        const JOCTET* t = marker->data + 6;
        const std::size_t n = marker->data_length - 6;
        const bool little = t[0] == 'I' && t[1] == 'I';
        if (!little && !(t[0] == 'M' && t[1] == 'M')) return 1;
        auto u16 = [&](std::size_t at) -> unsigned {
            return little ? t[at] | (t[at + 1] << 8) : (t[at] << 8) | t[at + 1];
        };
        auto u32 = [&](std::size_t at) -> std::uint64_t {
            return little ? u16(at) | (std::uint64_t{u16(at + 2)} << 16) : (std::uint64_t{u16(at)} << 16) | u16(at + 2);
        };
        const std::uint64_t ifd = u32(4);
        if (ifd + 2 > n) return 1;
        const unsigned entries = u16(ifd);
        for (unsigned i = 0; i < entries && ifd + 2 + 12 * (i + 1) <= n; ++i) {
            const std::size_t e = ifd + 2 + 12 * i;
            if (u16(e) != 0x0112) continue;
            const unsigned value = u16(e + 8);
            return u16(e + 2) == 3 && value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
        }
        return 1;
    }
    return 1;
}

// A row of C, M, Y, K (inverted, as Adobe writes them, when `inverted`) into
// B, G, R, or grey.
void FromCmyk(const JSAMPLE* cmyk, unsigned char* to, unsigned width, int channels, bool inverted) {
    for (unsigned x = 0; x < width; ++x, cmyk += 4) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        const unsigned r = (c * k + 127) / 255, g = (m * k + 127) / 255, b = (y * k + 127) / 255;
        if (channels == 3) {
            *to++ = static_cast<unsigned char>(b);
            *to++ = static_cast<unsigned char>(g);
            *to++ = static_cast<unsigned char>(r);
        } else {
            *to++ = static_cast<unsigned char>((b * 29 + g * 150 + r * 77 + 128) >> 8);
        }
    }
}

// The picture's memory, asked for once its reduced size is known.
struct Target {
    cv::Mat picture;
    unsigned char* Rows(int width, int height, int channels, std::size_t* step) {
        try {
            picture.create(height, width, CV_8UC(channels));
        } catch (const std::exception&) {
            return nullptr;
        }
        *step = picture.step;
        return picture.data;
    }
};

// Kept free of objects with destructors: a libjpeg error jumps out of it.
JpegFileResult Decode(int fd, std::uint64_t fileBytes, int iscolor, cv::Size atLeast, std::uint64_t maxPixels,
                      Target& target, int* orientation) {
    jpeg_decompress_struct cinfo;
    JpegTrap trap;
    ArmJpegTrap(&cinfo, &trap);
    if (setjmp(trap.jump)) {
        // Past the memory bound libjpeg wants a file to keep the rest in.
        const bool tooLarge = trap.mgr.msg_code == JERR_NO_BACKING_STORE || trap.mgr.msg_code == JERR_OUT_OF_MEMORY;
        jpeg_destroy_decompress(&cinfo);
        return tooLarge ? JpegFileResult::TooLarge : JpegFileResult::Damaged;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = static_cast<long>(std::min<std::uint64_t>(maxPixels * 3, 1ull << 40));
    auto* src = static_cast<FileSource*>(
        (*cinfo.mem->alloc_small)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_PERMANENT, sizeof(FileSource)));
    src->fd = fd;
    src->pos = 0;
    src->end = fileBytes;
    src->pub.init_source = InitSource;
    src->pub.fill_input_buffer = FillInput;
    src->pub.skip_input_data = SkipInput;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = TermSource;
    src->pub.bytes_in_buffer = 0;
    src->pub.next_input_byte = nullptr;
    cinfo.src = &src->pub;
    if (iscolor >= 0) jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&cinfo, TRUE);

    *orientation = iscolor >= 0 ? ExifOrientation(cinfo.marker_list) : 1;
    const int channels = iscolor > 0 ? 3 : iscolor == 0 ? 1 : (cinfo.num_components > 1 ? 3 : 1);
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : channels == 3 ? JCS_EXT_BGR : JCS_GRAYSCALE;
    if (atLeast.width > 0 && atLeast.height > 0) {
        // The size wanted is upright; the decoder's is as stored.
        const bool sideways = *orientation >= 5;
        const std::uint64_t wantW = sideways ? atLeast.height : atLeast.width;
        const std::uint64_t wantH = sideways ? atLeast.width : atLeast.height;
        for (unsigned d = 8; d > 1; d /= 2)
            if ((cinfo.image_width + d - 1) / d >= wantW && (cinfo.image_height + d - 1) / d >= wantH) {
                cinfo.scale_num = 1;
                cinfo.scale_denom = d;
                break;
            }
    }
    jpeg_calc_output_dimensions(&cinfo);
    std::size_t step = 0;
    unsigned char* first = nullptr;
    if (std::uint64_t{cinfo.output_width} * cinfo.output_height <= maxPixels)
        first = target.Rows(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height), channels,
                            &step);
    if (!first) {
        jpeg_destroy_decompress(&cinfo);
        return JpegFileResult::TooLarge;
    }
    jpeg_start_decompress(&cinfo);
    JSAMPARRAY cmykRow = cmyk ? (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                           cinfo.output_width * 4, 1)
                              : nullptr;
    while (cinfo.output_scanline < cinfo.output_height) {
        unsigned char* row = first + static_cast<std::size_t>(cinfo.output_scanline) * step;
        if (cmyk) {
            jpeg_read_scanlines(&cinfo, cmykRow, 1);
            FromCmyk(cmykRow[0], row, cinfo.output_width, channels, cinfo.saw_Adobe_marker);
        } else {
            JSAMPROW rows[1] = {row};
            jpeg_read_scanlines(&cinfo, rows, 1);
        }
    }
    // What follows the picture's last row is not wanted.
    jpeg_destroy_decompress(&cinfo);
    return JpegFileResult::Decoded;
}

// Turns the picture upright by its orientation tag (the tag's eight cases).
void Orient(cv::Mat& picture, int orientation) {
    switch (orientation) {
        case 2: cv::flip(picture, picture, 1); break;
        case 3: cv::flip(picture, picture, -1); break;
        case 4: cv::flip(picture, picture, 0); break;
        case 5: cv::transpose(picture, picture); break;
        case 6: cv::transpose(picture, picture), cv::flip(picture, picture, 1); break;
        case 7: cv::transpose(picture, picture), cv::flip(picture, picture, -1); break;
        case 8: cv::transpose(picture, picture), cv::flip(picture, picture, 0); break;
        default: break;
    }
}

}  // namespace

JpegFileResult DecodeJpegFile(int fd, std::uint64_t fileBytes, int iscolor, cv::Size atLeast,
                              std::uint64_t maxPixels, cv::Mat* picture) {
    Target target;
    int orientation = 1;
    const JpegFileResult result = Decode(fd, fileBytes, iscolor, atLeast, maxPixels, target, &orientation);
    if (result != JpegFileResult::Decoded) return result;
    try {
        Orient(target.picture, orientation);
    } catch (const std::exception&) {
        return JpegFileResult::TooLarge;
    }
    *picture = target.picture;
    return JpegFileResult::Decoded;
}

}  // namespace plat
