// Fuzzes the GIF block parser of the animated picture: any input must be
// parsed without reading past it, and the frames it yields must agree with
// its own count and be complete GIFs.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "controls/GifParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    gif::CGifParser parser(data, size);
    if (!parser.Open()) return 0;

    const int count = parser.CountGraphicBlocks();
    const std::size_t head = 13 + parser.GlobalTableLen();
    int frames = 0;
    std::size_t last = parser.Offset();
    gif::FrameBlock frame;
    while (parser.GetNextGraphicBlock(frame)) {
        ++frames;
        // Each frame consumes input, so the walk ends.
        if (parser.Offset() <= last || parser.Offset() > size) __builtin_trap();
        // Never more than the head, the bytes consumed and the closing bytes.
        if (frame.gif.size() > head + (parser.Offset() - last) + 2) __builtin_trap();
        if (frame.gif.size() < head + 2 || frame.gif.back() != 0x3B) __builtin_trap();
        if (std::memcmp(frame.gif.data(), data, head) != 0) __builtin_trap();
        last = parser.Offset();
    }
    if (frames != count) __builtin_trap();

    // The block routines one by one from the start.
    parser.Rewind();
    while (parser.GetNextBlockLen() > 0 && parser.SkipNextBlock()) {
    }
    return 0;
}
