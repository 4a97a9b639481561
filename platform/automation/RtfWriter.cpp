#include "platform/automation/RtfWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace plat::word {

namespace {

// A4 with the margins a Chinese Word installation starts with (3.17 cm left
// and right, 2.54 cm top and bottom), in twips.
constexpr int kPaperWidth = 11906, kPaperHeight = 16838;
constexpr int kMarginSide = 1800, kMarginTopBottom = 1440;
constexpr int kTextWidth = kPaperWidth - 2 * kMarginSide;
constexpr int kTwipsPerPixel = 15;  // a picture's pixels at 96 per inch

void AppendText(std::string& out, const std::u32string& text) {
    auto unicode = [&out](unsigned unit) {
        // \u takes a signed 16-bit number; "?" stands in for readers without Unicode.
        out += "\\u" + std::to_string(static_cast<int>(static_cast<std::int16_t>(unit))) + "?";
    };
    for (char32_t c : text) {
        if (c == U'\t') {
            out += "\\tab ";
        } else if (c == U'\\' || c == U'{' || c == U'}') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
            // Control characters and lone surrogate halves have no place in text.
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c <= 0xFFFF) {
            unicode(c);
        } else {
            const unsigned v = c - 0x10000;
            unicode(0xD800 + (v >> 10));
            unicode(0xDC00 + (v & 0x3FF));
        }
    }
}

void AppendPicture(std::string& out, const Picture& picture) {
    int width = picture.width * kTwipsPerPixel, height = picture.height * kTwipsPerPixel;
    if (width > kTextWidth && width > 0) {
        height = static_cast<int>(std::lround(static_cast<double>(height) * kTextWidth / width));
        width = kTextWidth;
    }
    out += "{\\pict\\pngblip\\picw" + std::to_string(picture.width) + "\\pich" + std::to_string(picture.height) +
           "\\picwgoal" + std::to_string(width) + "\\pichgoal" + std::to_string(height) + "\n";
    static const char kHex[] = "0123456789abcdef";
    for (std::size_t i = 0; i < picture.png.size(); ++i) {
        out += kHex[picture.png[i] >> 4];
        out += kHex[picture.png[i] & 0xF];
        if (i % 64 == 63) out += '\n';
    }
    out += "}";
}

// Latin text in the first font, Chinese and Korean in the second.
void AppendFormat(std::string& out, const CharFormat& format) {
    out += "\\loch\\f0\\hich\\f0\\dbch\\f1";
    out += format.bold ? "\\b" : "\\b0";
    out += "\\fs" + std::to_string(std::max(1L, std::lround(format.size * 2))) + " ";
}

const char* AlignmentWord(int alignment) {
    switch (alignment) {
        case kAlignCenter: return "\\qc";
        case kAlignRight: return "\\qr";
        case kAlignJustify: return "\\qj";
        default: return "\\ql";
    }
}

}  // namespace

std::string WriteRtf(const std::vector<Paragraph>& paragraphs) {
    std::string out =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n"
        "{\\fonttbl{\\f0\\froman\\fcharset0 Times New Roman;}{\\f1\\fnil\\fcharset134 SimSun;}}\n";
    out += "\\paperw" + std::to_string(kPaperWidth) + "\\paperh" + std::to_string(kPaperHeight) + "\\margl" +
           std::to_string(kMarginSide) + "\\margr" + std::to_string(kMarginSide) + "\\margt" +
           std::to_string(kMarginTopBottom) + "\\margb" + std::to_string(kMarginTopBottom) + "\n";
    for (std::size_t i = 0; i < paragraphs.size(); ++i) {
        const Paragraph& p = paragraphs[i];
        out += "\\pard\\plain";
        out += AlignmentWord(p.alignment);
        out += " ";
        for (const Run& run : p.runs) {
            out += "{";
            AppendFormat(out, run.format);
            if (run.picture)
                AppendPicture(out, *run.picture);
            else
                AppendText(out, run.text);
            out += "}";
        }
        // The last paragraph's mark is the document's end.
        if (i + 1 < paragraphs.size()) {
            AppendFormat(out, p.markFormat);
            out += "\\par\n";
        }
    }
    out += "}\n";
    return out;
}

}  // namespace plat::word
