#pragma once
// The error manager of the program's libjpeg decoders: a fatal error jumps
// back to the decoder, which called setjmp on `jump`, and warnings stay off
// the console while the ones that mean the picture is incomplete are noted.
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace plat {

struct JpegTrap {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    bool dataMissing;  // the entropy decoder ran out of data: the rest would be grey
    bool endOfData;    // the data ended before the picture did
};

// Clears `cinfo` and `trap` and makes `trap` the decompressor's error manager.
void ArmJpegTrap(jpeg_decompress_struct* cinfo, JpegTrap* trap);

}  // namespace plat
