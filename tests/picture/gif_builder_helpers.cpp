#include "picture/GifBuilder.h"

#include <stdexcept>

namespace giftest {

namespace {

void Put16(std::vector<std::uint8_t>& out, int v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

int TableBits(std::size_t entries) {
    int bits = 1;
    while ((std::size_t{1} << bits) < entries) ++bits;
    if ((std::size_t{1} << bits) != entries || bits > 8) throw std::invalid_argument("palette size");
    return bits;
}

// LZW stream of literals only, a clear code before every run short enough
// that the dictionary never reaches the next code width.
std::vector<std::uint8_t> EncodePixels(const std::vector<std::uint8_t>& px, int minCode) {
    const int clear = 1 << minCode, eoi = clear + 1, width = minCode + 1;
    const std::size_t run = (std::size_t{1} << minCode) - 2;
    std::vector<std::uint8_t> bytes;
    std::uint32_t acc = 0;
    int nbits = 0;
    auto emit = [&](int code) {
        acc |= static_cast<std::uint32_t>(code) << nbits;
        nbits += width;
        while (nbits >= 8) {
            bytes.push_back(static_cast<std::uint8_t>(acc & 0xFF));
            acc >>= 8;
            nbits -= 8;
        }
    };
    for (std::size_t i = 0; i < px.size(); ++i) {
        if (i % run == 0) emit(clear);
        emit(px[i]);
    }
    emit(eoi);
    if (nbits > 0) bytes.push_back(static_cast<std::uint8_t>(acc & 0xFF));
    return bytes;
}

}  // namespace

FrameSpec Solid(int left, int top, int width, int height, std::uint8_t index, int delay, int disposal) {
    FrameSpec f;
    f.left = left;
    f.top = top;
    f.width = width;
    f.height = height;
    f.indices.assign(static_cast<std::size_t>(width) * height, index);
    f.delay = delay;
    f.disposal = disposal;
    return f;
}

std::vector<std::uint32_t> TestPalette() {
    return {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0xFFFF00, 0x00FFFF, 0xFF00FF};
}

std::vector<std::uint8_t> BuildGif(const GifSpec& spec) {
    const int bits = TableBits(spec.palette.size());
    std::vector<std::uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    Put16(out, spec.width);
    Put16(out, spec.height);
    out.push_back(static_cast<std::uint8_t>(0x80 | ((bits - 1) << 4) | (bits - 1)));
    out.push_back(static_cast<std::uint8_t>(spec.background));
    out.push_back(0);
    for (std::uint32_t c : spec.palette) {
        out.push_back(static_cast<std::uint8_t>(c >> 16));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
        out.push_back(static_cast<std::uint8_t>(c));
    }
    if (spec.loopExtension) {
        const char* id = "NETSCAPE2.0";
        out.insert(out.end(), {0x21, 0xFF, 0x0B});
        out.insert(out.end(), id, id + 11);
        out.insert(out.end(), {0x03, 0x01, 0x00, 0x00, 0x00});
    }
    if (spec.comment) {
        out.insert(out.end(), {0x21, 0xFE, 0x05, 'h', 'e', 'l', 'l', 'o', 0x00});
    }
    const int minCode = bits < 2 ? 2 : bits;
    for (const FrameSpec& f : spec.frames) {
        if (f.indices.size() != static_cast<std::size_t>(f.width) * f.height) throw std::invalid_argument("frame size");
        if (f.control) {
            out.insert(out.end(), {0x21, 0xF9, 0x04});
            out.push_back(static_cast<std::uint8_t>(((f.disposal & 7) << 2) | (f.transparent >= 0 ? 1 : 0)));
            Put16(out, f.delay);
            out.push_back(static_cast<std::uint8_t>(f.transparent >= 0 ? f.transparent : 0));
            out.push_back(0);
        }
        out.push_back(0x2C);
        Put16(out, f.left);
        Put16(out, f.top);
        Put16(out, f.width);
        Put16(out, f.height);
        out.push_back(0);
        out.push_back(static_cast<std::uint8_t>(minCode));
        std::vector<std::uint8_t> lzw = EncodePixels(f.indices, minCode);
        for (std::size_t i = 0; i < lzw.size(); i += 255) {
            std::size_t n = lzw.size() - i < 255 ? lzw.size() - i : 255;
            out.push_back(static_cast<std::uint8_t>(n));
            out.insert(out.end(), lzw.begin() + i, lzw.begin() + i + n);
        }
        out.push_back(0);
    }
    out.push_back(0x3B);
    return out;
}

}  // namespace giftest
