#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "capture/FrameConvert.h"
#include "jpeg_helpers.h"

namespace {

// The conversion written out plainly, one pixel at a time.
Bytes ReferenceYuy2(const Bytes& src, int width, int height, std::uint8_t fill) {
    Bytes dst(static_cast<std::size_t>(width) * height * 3, fill);
    auto clamp = [](int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };
    for (int r = 0; r < height; ++r) {
        const std::uint8_t* s = src.data() + static_cast<std::size_t>(r) * width * 2;
        std::uint8_t* d = dst.data() + static_cast<std::size_t>(height - 1 - r) * width * 3;
        for (int g = 0; g < width / 2; ++g) {
            const int y[2] = {s[4 * g] - 16, s[4 * g + 2] - 16};
            const int D = s[4 * g + 1] - 128, E = s[4 * g + 3] - 128;
            for (int k = 0; k < 2; ++k) {
                const int L = y[k];
                std::uint8_t* p = d + (2 * g + k) * 3;
                p[0] = clamp((298 * L + 516 * D + 128) >> 8);
                p[1] = clamp((298 * L - 100 * D - 208 * E + 128) >> 8);
                p[2] = clamp((298 * L + 409 * E + 128) >> 8);
            }
        }
    }
    return dst;
}

Bytes RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& v : b) v = static_cast<std::uint8_t>(rng());
    return b;
}

}  // namespace

TEST(Yuy2Convert, KnownValues) {
    // Black and white; then the most negative blue and the largest red.
    const std::uint8_t src[8] = {16, 128, 235, 128, 16, 0, 16, 255};
    std::uint8_t dst[12];
    ASSERT_EQ(ConvertYUY2ToBGR24(src, dst, 4, 1), 0);
    const std::uint8_t expect[12] = {0, 0, 0, 255, 255, 255, 0, 0, 203, 0, 0, 203};
    EXPECT_EQ(0, std::memcmp(dst, expect, sizeof dst));
}

TEST(Yuy2Convert, RowsComeOutBottomUp) {
    // 4 x 2: a white first row and a black second row.
    const std::uint8_t src[16] = {235, 128, 235, 128, 235, 128, 235, 128, 16, 128, 16, 128, 16, 128, 16, 128};
    std::uint8_t dst[24];
    ASSERT_EQ(ConvertYUY2ToBGR24(src, dst, 4, 2), 0);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(dst[i], 0) << i;
    for (int i = 12; i < 24; ++i) EXPECT_EQ(dst[i], 255) << i;
}

TEST(Yuy2Convert, RefusesMissingBuffersAndEmptyFrames) {
    std::uint8_t buf[12] = {};
    EXPECT_EQ(ConvertYUY2ToBGR24(nullptr, buf, 2, 2), -1);
    EXPECT_EQ(ConvertYUY2ToBGR24(buf, nullptr, 2, 2), -1);
    std::uint8_t dst[6] = {7, 7, 7, 7, 7, 7};
    EXPECT_EQ(ConvertYUY2ToBGR24(buf, dst, 2, 0), 0);
    EXPECT_EQ(ConvertYUY2ToBGR24(buf, dst, 2, -3), 0);
    EXPECT_TRUE(std::all_of(dst, dst + 6, [](std::uint8_t v) { return v == 7; }));
}

TEST(Yuy2Convert, MatchesFormulaOnRandomDataAtManySizes) {
    // Widths around the vector block of 16 pixels, odd widths (last pixel left
    // alone) and camera sizes.
    const std::pair<int, int> sizes[] = {{1, 3},  {2, 1},   {3, 2},   {14, 3},   {15, 2},  {16, 4},
                                         {17, 3}, {30, 2},  {31, 5},  {32, 2},   {33, 3},  {34, 2},
                                         {47, 2}, {48, 1},  {50, 7},  {161, 3},  {640, 480}, {1280, 8},
                                         {1920, 6}, {1922, 2}};
    unsigned seed = 1;
    for (auto [w, h] : sizes) {
        const Bytes src = RandomBytes(static_cast<std::size_t>(w) * h * 2, seed++);
        const Bytes expect = ReferenceYuy2(src, w, h, 0xA5);
        Bytes got(expect.size(), 0xA5);
        ASSERT_EQ(ConvertYUY2ToBGR24(src.data(), got.data(), w, h), 0);
        ASSERT_EQ(got, expect) << w << " x " << h;
    }
}

TEST(Yuy2Convert, MatchesFormulaForEveryChromaPair) {
    // All 65536 (U, V) pairs with extreme and middle luma, one long row.
    const int w = 256 * 256 * 2;
    Bytes src(static_cast<std::size_t>(w) * 2);
    for (int i = 0; i < 65536; ++i) {
        std::uint8_t* p = &src[static_cast<std::size_t>(i) * 4];
        p[0] = static_cast<std::uint8_t>((i * 7) & 0xFF);
        p[1] = static_cast<std::uint8_t>(i >> 8);
        p[2] = static_cast<std::uint8_t>(i & 1 ? 0 : 255);
        p[3] = static_cast<std::uint8_t>(i & 0xFF);
    }
    Bytes got(static_cast<std::size_t>(w) * 3);
    ASSERT_EQ(ConvertYUY2ToBGR24(src.data(), got.data(), w, 1), 0);
    EXPECT_EQ(got, ReferenceYuy2(src, w, 1, 0));
}

TEST(MjpgTables, StandardSegmentHoldsTheEncodersTypicalTables) {
    // libjpeg's encoder writes the typical tables unless told to optimise.
    const Bytes jpeg = EncodeJpeg(TestPicture(32, 16));
    ASSERT_EQ(kStdHuffmanSegment[0], 0xFF);
    ASSERT_EQ(kStdHuffmanSegment[1], 0xC4);
    ASSERT_EQ((kStdHuffmanSegment[2] << 8) | kStdHuffmanSegment[3], 418);
    const Bytes ours(kStdHuffmanSegment + 4, kStdHuffmanSegment + kStdHuffmanSegmentSize);
    // The encoder emits the two tables of each class together; compare as a set of tables.
    Bytes theirs = HuffmanTablePayload(jpeg);
    ASSERT_EQ(theirs.size(), ours.size());
    auto split = [](const Bytes& p) {
        std::vector<Bytes> tables;
        for (std::size_t i = 0; i < p.size();) {
            std::size_t n = 0;
            for (int k = 1; k <= 16; ++k) n += p[i + k];
            tables.emplace_back(p.begin() + i, p.begin() + i + 17 + n);
            i += 17 + n;
        }
        std::sort(tables.begin(), tables.end());
        return tables;
    };
    EXPECT_EQ(split(ours), split(theirs));
}

TEST(MjpgTables, SearchWindowAndOrder) {
    Bytes b(4000, 0);
    b[2048] = 0xFF;
    b[2049] = 0xC4;
    EXPECT_TRUE(HasHuffmanTables(b.data(), b.size()));
    b[2048] = 0;
    b[2049] = 0xFF;
    b[2050] = 0xC4;
    EXPECT_FALSE(HasHuffmanTables(b.data(), b.size()));
    // Start of scan first: no tables of its own even though FF C4 follows.
    Bytes c = {0xFF, 0xD8, 0xFF, 0xDA, 0xFF, 0xC4};
    EXPECT_FALSE(HasHuffmanTables(c.data(), c.size()));
    // A pair cut by the end of the frame does not count.
    Bytes d = {0xFF, 0xD8, 0x00, 0xFF};
    EXPECT_FALSE(HasHuffmanTables(d.data(), d.size()));
    Bytes e = {0x00, 0xFF, 0xC4};
    EXPECT_TRUE(HasHuffmanTables(e.data(), e.size()));
}

class MjpgDecode : public ::testing::Test {
protected:
    void SetUp() override {
        picture = TestPicture(w, h);
        withTables = EncodeJpeg(picture);
        withoutTables = StripHuffmanTables(withTables);
        ASSERT_FALSE(HasHuffmanTables(withoutTables.data(), withoutTables.size()));
        int bw = 0, bh = 0;
        bare = BareDecode(withTables, &bw, &bh);
        ASSERT_EQ(bw, w);
        ASSERT_EQ(bh, h);
    }
    Bytes Decode(const Bytes& frame, BOOL* ok) {
        Bytes out(static_cast<std::size_t>(w) * h * 3, 0x5A);
        *ok = DecodeMjpgFrame(nullptr, out.data(), out.size(), frame.data(), frame.size());
        return out;
    }
    const int w = 96, h = 64;
    cv::Mat picture;
    Bytes withTables, withoutTables, bare;
};

TEST_F(MjpgDecode, FrameWithoutTablesDecodesAsWithThem) {
    BOOL ok = FALSE;
    EXPECT_EQ(Decode(withTables, &ok), bare);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Decode(withoutTables, &ok), bare);
    EXPECT_TRUE(ok);

    // Through the decoder record, as the capture callback does.
    MjpgCodec* codec = MakeMjpgCodec();
    ASSERT_NE(codec, nullptr);
    Bytes out(bare.size());
    EXPECT_TRUE(codec->decode(codec, out.data(), out.size(), withoutTables.data(), withoutTables.size()));
    codec->release(codec);
    EXPECT_EQ(out, bare);
}

TEST_F(MjpgDecode, BgrVariantIsTheSwappedPicture) {
    Bytes bgr(bare.size());
    ASSERT_TRUE(DecodeMjpgFrameBGR(bgr.data(), bgr.size(), withoutTables.data(), withoutTables.size()));
    for (std::size_t i = 0; i < bare.size(); i += 3) {
        ASSERT_EQ(bgr[i], bare[i + 2]);
        ASSERT_EQ(bgr[i + 1], bare[i + 1]);
        ASSERT_EQ(bgr[i + 2], bare[i]);
    }
}

TEST_F(MjpgDecode, TablesBeyondTheSearchWindowGetTheStandardOnes) {
    // A 3000-byte comment pushes the frame's own tables past offset 2048.
    const Bytes late = EncodeJpeg(picture, 85, Bytes(3000, 0x20));
    ASSERT_FALSE(HasHuffmanTables(late.data(), late.size()));
    BOOL ok = FALSE;
    EXPECT_EQ(Decode(late, &ok), bare);
    EXPECT_TRUE(ok);
}

TEST_F(MjpgDecode, CorruptFrameIsDroppedAndTheNextDecodes) {
    BOOL ok = TRUE;
    // Garbage without SOI.
    Bytes garbage = RandomBytes(5000, 7);
    garbage[0] = 0;
    Decode(garbage, &ok);
    EXPECT_FALSE(ok);
    // A start-of-frame with 12-bit precision: a fatal libjpeg error.
    Bytes bad = withoutTables;
    const std::uint8_t sofMarker[2] = {0xFF, 0xC0};
    auto sof = std::search(bad.begin(), bad.end(), sofMarker, sofMarker + 2);
    ASSERT_NE(sof, bad.end());
    sof[4] = 12;
    Decode(bad, &ok);
    EXPECT_FALSE(ok);
    // A frame with neither tables nor a baseline start-of-frame marker.
    Bytes progressive = withoutTables;
    progressive[sof - bad.begin() + 1] = 0xC2;
    Decode(progressive, &ok);
    EXPECT_FALSE(ok);
    // Empty and tiny frames.
    EXPECT_FALSE(DecodeMjpgFrame(nullptr, bare.data(), bare.size(), nullptr, 0));
    const std::uint8_t two[2] = {0xFF, 0xC0};
    EXPECT_FALSE(DecodeMjpgFrame(nullptr, bare.data(), bare.size(), two, 2));

    EXPECT_EQ(Decode(withoutTables, &ok), bare);
    EXPECT_TRUE(ok);
}

TEST_F(MjpgDecode, TruncatedFramesAreDropped) {
    // Cut anywhere from inside the header to well inside the scan data.
    const std::size_t len = withoutTables.size();
    for (std::size_t cut = 1; cut + 8 < len; cut += (cut < 700 ? 7 : 61)) {
        Bytes part(withoutTables.begin(), withoutTables.begin() + cut);
        BOOL ok = TRUE;
        Decode(part, &ok);
        EXPECT_FALSE(ok) << "cut at " << cut << " of " << len;
    }
    // Only the end-of-image marker missing: the picture is whole.
    Bytes noEoi(withoutTables.begin(), withoutTables.end() - 2);
    BOOL ok = FALSE;
    EXPECT_EQ(Decode(noEoi, &ok), bare);
    EXPECT_TRUE(ok);
}

TEST_F(MjpgDecode, OutputMustFillTheBufferExactly) {
    Bytes smaller(bare.size() - 1), larger(bare.size() + 3);
    EXPECT_FALSE(DecodeMjpgFrame(nullptr, smaller.data(), smaller.size(), withoutTables.data(), withoutTables.size()));
    EXPECT_FALSE(DecodeMjpgFrame(nullptr, larger.data(), larger.size(), withoutTables.data(), withoutTables.size()));
    // A grey JPEG decodes to one byte per pixel, never into a colour frame.
    cv::Mat grey(h, w, CV_8UC1, cv::Scalar(90));
    const Bytes g = EncodeJpeg(grey);
    Bytes out(bare.size());
    EXPECT_FALSE(DecodeMjpgFrame(nullptr, out.data(), out.size(), g.data(), g.size()));
    Bytes one(static_cast<std::size_t>(w) * h);
    ASSERT_TRUE(DecodeJpegToBuffer(one.data(), one.size(), g.data(), g.size()));
    EXPECT_NEAR(one[one.size() / 2], 90, 2);
}
