#include "jpeg_helpers.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <jpeglib.h>
#include <opencv2/imgproc.hpp>

Bytes EncodeJpeg(const cv::Mat& image, int quality, const Bytes& comment, cv::Size lumaSampling) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&c, &out, &outSize);
    c.image_width = image.cols;
    c.image_height = image.rows;
    c.input_components = image.channels();
    c.in_color_space = image.channels() == 1 ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    if (image.channels() == 3) {
        c.comp_info[0].h_samp_factor = lumaSampling.width;
        c.comp_info[0].v_samp_factor = lumaSampling.height;
    }
    jpeg_start_compress(&c, TRUE);
    if (!comment.empty()) jpeg_write_marker(&c, JPEG_COM, comment.data(), static_cast<unsigned>(comment.size()));
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.ptr<std::uint8_t>(c.next_scanline));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes bytes(out, out + outSize);
    std::free(out);
    return bytes;
}

namespace {
// Calls f(marker, segmentStart, segmentLength) for each segment before SOS
// (segmentStart at the FF, length including the marker).
template <class F>
void ForEachHeaderSegment(const Bytes& j, F f) {
    if (j.size() < 4 || j[0] != 0xFF || j[1] != 0xD8) throw std::runtime_error("no SOI");
    std::size_t i = 2;
    while (i + 4 <= j.size()) {
        if (j[i] != 0xFF) throw std::runtime_error("bad marker");
        const std::uint8_t m = j[i + 1];
        const std::size_t len = (static_cast<std::size_t>(j[i + 2]) << 8) | j[i + 3];
        f(m, i, len + 2);
        if (m == 0xDA) return;
        i += len + 2;
    }
}
}  // namespace

Bytes StripHuffmanTables(const Bytes& jpeg) {
    Bytes out;
    std::size_t copied = 0;
    ForEachHeaderSegment(jpeg, [&](std::uint8_t m, std::size_t start, std::size_t len) {
        if (m != 0xC4) return;
        out.insert(out.end(), jpeg.begin() + copied, jpeg.begin() + start);
        copied = start + len;
    });
    out.insert(out.end(), jpeg.begin() + copied, jpeg.end());
    return out;
}

Bytes HuffmanTablePayload(const Bytes& jpeg) {
    Bytes out;
    ForEachHeaderSegment(jpeg, [&](std::uint8_t m, std::size_t start, std::size_t len) {
        if (m == 0xC4) out.insert(out.end(), jpeg.begin() + start + 4, jpeg.begin() + start + len);
    });
    return out;
}

cv::Mat TestPicture(int width, int height, unsigned seed) {
    cv::Mat img(height, width, CV_8UC3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            img.at<cv::Vec3b>(y, x) = cv::Vec3b(static_cast<std::uint8_t>(x * 255 / std::max(1, width - 1)),
                                                static_cast<std::uint8_t>(y * 255 / std::max(1, height - 1)),
                                                static_cast<std::uint8_t>(((x / 16 + y / 16) & 1) ? 200 : 40));
    cv::Mat noise(height, width, CV_8UC3);
    cv::theRNG().state = seed;
    cv::randu(noise, 0, 24);
    img += noise;
    cv::circle(img, {width / 2, height / 2}, std::min(width, height) / 3, {30, 220, 90}, 3);
    return img;
}

Bytes BareDecode(const Bytes& jpeg, int* width, int* height) {
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, jpeg.data(), jpeg.size());
    jpeg_read_header(&d, TRUE);
    jpeg_start_decompress(&d);
    const std::size_t stride = static_cast<std::size_t>(d.output_width) * d.output_components;
    Bytes out(stride * d.output_height);
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = out.data() + d.output_scanline * stride;
        jpeg_read_scanlines(&d, &row, 1);
    }
    *width = static_cast<int>(d.output_width);
    *height = static_cast<int>(d.output_height);
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return out;
}
