// Feeds arbitrary bytes to the MJPG decoder as a camera frame.  The output
// buffer is sized from the frame's own start-of-frame marker when it has one,
// so that whole decodes are reached, and by a fixed guess otherwise.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "capture/FrameConvert.h"

namespace {

// Width x height x 3 from the first FF C0..C2 segment, 0 when none is readable.
std::size_t SizeFromHeader(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i + 9 <= size; ++i) {
        if (data[i] != 0xFF || data[i + 1] < 0xC0 || data[i + 1] > 0xC2) continue;
        const std::size_t h = (static_cast<std::size_t>(data[i + 5]) << 8) | data[i + 6];
        const std::size_t w = (static_cast<std::size_t>(data[i + 7]) << 8) | data[i + 8];
        return w * h * 3;
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    HasHuffmanTables(data, size);

    std::size_t outSize = SizeFromHeader(data, size);
    if (outSize == 0 || outSize > (std::size_t{1} << 22)) outSize = 16 * 16 * 3;
    std::vector<BYTE> out(outSize);
    DecodeMjpgFrame(nullptr, out.data(), out.size(), data, size);
    DecodeMjpgFrameBGR(out.data(), out.size(), data, size);

    MjpgCodec* codec = MakeMjpgCodec();
    if (codec) {
        // A buffer one byte short must be refused without being overrun.
        std::vector<BYTE> small(outSize - 1);
        codec->decode(codec, small.data(), small.size(), data, size);
        codec->release(codec);
    }
    return 0;
}
