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

#include "platform/JpegCoefficients.h"
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

// The orientation tag (1..8) of the Exif segment `data` (after its length);
// 1 (upright) without one.
int ExifOrientation(const JOCTET* data, std::size_t length) {
    if (length < 14 || std::memcmp(data, "Exif\0\0", 6) != 0) return 1;
    const JOCTET* t = data + 6;
    const std::size_t n = length - 6;
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

// What the decode keeps beside libjpeg's own state.
struct Decoding {
    JpegClient client;
    jpeg_progress_mgr progress;
    const std::atomic<bool>* cancel;
    int maxScans;
    bool tooManyScans, cancelled;
    // The first Exif segment, read into memory of the decoder's (64 kB at
    // most); every other APP1 segment is passed over unread.
    JOCTET* exif;
    std::size_t exifLength;
    bool exifSeen;
};

Decoding* DecodingOf(j_decompress_ptr cinfo) {
    return static_cast<Decoding*>(static_cast<JpegClient*>(cinfo->client_data)->caller);
}

unsigned NextByte(j_decompress_ptr cinfo) {
    jpeg_source_mgr* src = cinfo->src;
    if (src->bytes_in_buffer == 0) (*src->fill_input_buffer)(cinfo);  // never suspends
    --src->bytes_in_buffer;
    return *src->next_input_byte++;
}

boolean ReadApp1(j_decompress_ptr cinfo) {
    Decoding* d = DecodingOf(cinfo);
    const unsigned high = NextByte(cinfo);
    const long length = static_cast<long>((high << 8) | NextByte(cinfo)) - 2;
    if (length < 0) ERREXIT(cinfo, JERR_BAD_LENGTH);
    long taken = 0;
    if (!d->exifSeen && length >= 6) {
        if (!d->exif)
            d->exif = static_cast<JOCTET*>(
                (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, 0xFFFF));
        for (; taken < 6; ++taken) d->exif[taken] = static_cast<JOCTET>(NextByte(cinfo));
        d->exifSeen = std::memcmp(d->exif, "Exif\0\0", 6) == 0;
        for (; d->exifSeen && taken < length; ++taken) d->exif[taken] = static_cast<JOCTET>(NextByte(cinfo));
        d->exifLength = static_cast<std::size_t>(taken);
    }
    if (length > taken) (*cinfo->src->skip_input_data)(cinfo, length - taken);
    return TRUE;
}

// Called by libjpeg between rows and between scans.
void Monitor(j_common_ptr common) {
    auto* cinfo = reinterpret_cast<j_decompress_ptr>(common);
    Decoding* d = DecodingOf(cinfo);
    if (d->cancel && d->cancel->load(std::memory_order_relaxed))
        d->cancelled = true;
    else if (cinfo->input_scan_number > d->maxScans)
        d->tooManyScans = true;
    else
        return;
    (*common->err->error_exit)(common);
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

// The largest reduction 1/d (d = 1, 2, 4, 8) that leaves the picture of
// `cinfo` at least `wantW` x `wantH`.
unsigned ReductionFor(j_decompress_ptr cinfo, std::uint64_t wantW, std::uint64_t wantH) {
    for (unsigned d = 8; d > 1; d /= 2)
        if ((cinfo->image_width + d - 1) / d >= wantW && (cinfo->image_height + d - 1) / d >= wantH) return d;
    return 1;
}

JpegFileResult Failure(const JpegTrap& trap, const Decoding& d) {
    if (d.cancelled) return JpegFileResult::Cancelled;
    if (d.tooManyScans) return JpegFileResult::TooManyScans;
    switch (trap.mgr.msg_code) {
        // Past the memory bound libjpeg wants a file to keep the rest in.
        case JERR_NO_BACKING_STORE:
        case JERR_OUT_OF_MEMORY:
        case JERR_IMAGE_TOO_BIG: return JpegFileResult::TooLarge;
        case JERR_SOF_UNSUPPORTED:
        case JERR_BAD_PRECISION:
        case JERR_NOT_COMPILED: return JpegFileResult::Unsupported;
        default: return JpegFileResult::Damaged;
    }
}

// Kept free of objects with destructors: a libjpeg error jumps out of it.
JpegFileResult Decode(int fd, std::uint64_t fileBytes, int iscolor, cv::Size atLeast, std::uint64_t maxPixels,
                      Decoding& d, Target& target, int* orientation) {
    jpeg_decompress_struct cinfo;
    JpegTrap trap;
    ArmJpegTrap(&cinfo, &trap);
    if (setjmp(trap.jump)) {
        const JpegFileResult failure = Failure(trap, d);
        jpeg_destroy_decompress(&cinfo);
        return failure;
    }
    jpeg_create_decompress(&cinfo);
    const std::uint64_t maxDecoderBytes = std::min<std::uint64_t>(maxPixels * 3, 1ull << 40);
    cinfo.mem->max_memory_to_use = static_cast<long>(maxDecoderBytes);
    cinfo.client_data = &d.client;
    d.progress.progress_monitor = Monitor;
    cinfo.progress = &d.progress;
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
    if (iscolor >= 0) jpeg_set_marker_processor(&cinfo, JPEG_APP0 + 1, ReadApp1);
    jpeg_read_header(&cinfo, TRUE);

    *orientation = iscolor >= 0 && d.exifSeen ? ExifOrientation(d.exif, d.exifLength) : 1;
    const int channels = iscolor > 0 ? 3 : iscolor == 0 ? 1 : (cinfo.num_components > 1 ? 3 : 1);
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : channels == 3 ? JCS_EXT_BGR : JCS_GRAYSCALE;
    const bool fitting = atLeast.width > 0 && atLeast.height > 0;
    if (fitting) {
        // The size wanted is upright; the decoder's is as stored.
        const bool sideways = *orientation >= 5;
        cinfo.scale_num = 1;
        cinfo.scale_denom = ReductionFor(&cinfo, sideways ? atLeast.height : atLeast.width,
                                         sideways ? atLeast.width : atLeast.height);
    }
    jpeg_calc_output_dimensions(&cinfo);
    if (jpeg_has_multiple_scans(&cinfo)) {
        // Every coefficient kept would pass the bound: reduced by 1/8 few are.
        if (fitting && !ReducedEnoughToKeepFew(&cinfo) && AllCoefficientBytes(&cinfo) > maxDecoderBytes) {
            cinfo.scale_denom = 8;
            jpeg_calc_output_dimensions(&cinfo);
        }
        if (ReducedEnoughToKeepFew(&cinfo)) KeepReducedCoefficients(&cinfo, maxDecoderBytes);
    }
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
    return trap.endOfData || trap.dataMissing ? JpegFileResult::Incomplete : JpegFileResult::Decoded;
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
                              std::uint64_t maxPixels, int maxScans, const std::atomic<bool>* cancel,
                              cv::Mat* picture) {
    Target target;
    Decoding d{};
    d.client.caller = &d;
    d.cancel = cancel;
    d.maxScans = maxScans;
    int orientation = 1;
    const JpegFileResult result = Decode(fd, fileBytes, iscolor, atLeast, maxPixels, d, target, &orientation);
    if (result != JpegFileResult::Decoded && result != JpegFileResult::Incomplete) return result;
    try {
        Orient(target.picture, orientation);
    } catch (const std::exception&) {
        return JpegFileResult::TooLarge;
    }
    *picture = target.picture;
    return result;
}

}  // namespace plat
