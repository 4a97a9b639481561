#pragma once
// The coefficients a multi-scan (progressive) JPEG keeps between its scans,
// held small when the picture is decoded reduced.
//
// libjpeg keeps all 64 coefficients of every block of the picture until the
// last scan, 128 bytes a block, whatever the reduction: a 48-megapixel 4:4:4
// photo holds 288 MB.  Reduced by 1/8 a block's inverse transform reads its
// first coefficient only, by 1/4 25 of them.  The others need not be kept;
// what a later scan's refinement needs of them is only whether they are
// zero (the bits it reads depend on that, not on their values), one bit each.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <jpeglib.h>

namespace plat {

// What `client_data` of a decoder points to: each facility keeps its own
// state in its own slot.
struct JpegClient {
    void* coefficients = nullptr;  // KeepReducedCoefficients's
    void* caller = nullptr;        // the decoder's caller's
};

// Whether every component of `cinfo`, its output size calculated, is
// reduced far enough (its inverse transform 1 or 2 samples wide) for
// KeepReducedCoefficients to pay.
bool ReducedEnoughToKeepFew(j_decompress_ptr cinfo);

// Makes the decoder of `cinfo` (its client_data a JpegClient) keep its coefficients so, from the
// jpeg_start_decompress that follows on; call after jpeg_calc_output_dimensions
// when ReducedEnoughToKeepFew.  Past `maxBytes` of them it fails with
// JERR_OUT_OF_MEMORY.  What is held belongs to the decoder's image pool.
void KeepReducedCoefficients(j_decompress_ptr cinfo, std::uint64_t maxBytes);

// The bytes libjpeg itself would keep for the coefficients of `cinfo`.
std::uint64_t AllCoefficientBytes(j_decompress_ptr cinfo);

}  // namespace plat
