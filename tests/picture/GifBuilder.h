#pragma once
// Writes small GIF files in memory for the picture tests: a global colour
// table, optional looping and comment blocks, and frames with or without a
// graphic control extension.  The pixel data is LZW-coded with a clear code
// often enough that the code width never grows, which every decoder accepts.
#include <cstdint>
#include <vector>

namespace giftest {

struct FrameSpec {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<std::uint8_t> indices;  // width * height palette indexes
    bool control = true;                // write a graphic control extension
    int delay = 5;                      // hundredths
    int disposal = 1;
    int transparent = -1;               // transparent index, -1 for none
};

// A frame of one colour.
FrameSpec Solid(int left, int top, int width, int height, std::uint8_t index, int delay = 5, int disposal = 1);

struct GifSpec {
    int width = 0, height = 0;
    std::vector<std::uint32_t> palette;  // 0xRRGGBB; size a power of two, 2-256
    int background = 0;
    bool loopExtension = true;  // NETSCAPE2.0 application extension
    bool comment = false;       // a comment block before the first frame
    std::vector<FrameSpec> frames;
};

std::vector<std::uint8_t> BuildGif(const GifSpec& spec);

// The palette the tests use: black, red, green, blue, white, yellow, cyan, magenta.
std::vector<std::uint32_t> TestPalette();
enum : std::uint8_t { kBlack, kRed, kGreen, kBlue, kWhite, kYellow, kCyan, kMagenta };

}  // namespace giftest
