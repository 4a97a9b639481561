#pragma once
// The yardstick of the decoding benchmarks: libjpeg-turbo alone, with its
// defaults, decoding one picture into packed R, G, B rows a row at a time, as
// a program that only wants the pixels would.
#include <cstddef>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

inline void BareDecode(const std::vector<unsigned char>& jpeg, unsigned char* out) {
    jpeg_decompress_struct d;
    jpeg_error_mgr err;
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&d, TRUE);
    jpeg_start_decompress(&d);
    const std::size_t stride = static_cast<std::size_t>(d.output_width) * d.output_components;
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = out + d.output_scanline * stride;
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
}
