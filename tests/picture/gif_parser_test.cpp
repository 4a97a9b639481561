// The GIF block parser: frames of a well-formed animation, block lengths,
// and damaged data that must end the parse without reading past the buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>

#include "controls/GifParser.h"
#include "controls/PictureEx.h"
#include "picture/GifBuilder.h"

using namespace giftest;

namespace {

// Like the station's waiting animation: 400 x 300, 12 frames, each with a
// control extension, disposal 1 and delay 5, after a looping extension and a
// comment.
std::vector<std::uint8_t> WaitingLikeGif() {
    GifSpec s;
    s.width = 400;
    s.height = 300;
    s.palette = TestPalette();
    s.comment = true;
    for (int i = 0; i < 12; ++i) s.frames.push_back(Solid(i * 30, i * 20, 40, 30, static_cast<std::uint8_t>(1 + i % 7)));
    return BuildGif(s);
}

std::vector<gif::FrameBlock> AllFrames(gif::CGifParser& p) {
    std::vector<gif::FrameBlock> frames;
    gif::FrameBlock f;
    p.Rewind();
    while (p.GetNextGraphicBlock(f)) frames.push_back(f);
    return frames;
}

// What must hold for any input: the frames taken agree with the count, each
// is a complete GIF that begins with the input's own head and ends with a
// trailer.
void CheckConsistent(const std::vector<std::uint8_t>& data) {
    gif::CGifParser p(data.data(), data.size());
    if (!p.Open()) return;
    const int count = p.CountGraphicBlocks();
    std::vector<gif::FrameBlock> frames = AllFrames(p);
    ASSERT_EQ(count, static_cast<int>(frames.size()));
    const std::size_t head = 13 + p.GlobalTableLen();
    for (const auto& f : frames) {
        ASSERT_GT(f.gif.size(), head + 1);
        EXPECT_EQ(0, std::memcmp(f.gif.data(), data.data(), head));
        EXPECT_EQ(0x3B, f.gif.back());
    }
}

}  // namespace

TEST(GifParser, WaitingAnimationSplitsIntoTwelveDecodableFrames) {
    std::vector<std::uint8_t> data = WaitingLikeGif();
    gif::CGifParser p(data.data(), data.size());
    ASSERT_TRUE(p.Open());
    EXPECT_EQ(400, p.ScreenWidth());
    EXPECT_EQ(300, p.ScreenHeight());
    EXPECT_EQ(24u, p.GlobalTableLen());
    EXPECT_EQ(12, p.CountGraphicBlocks());
    EXPECT_EQ(p.FirstBlockOffset(), p.Offset());

    std::vector<gif::FrameBlock> frames = AllFrames(p);
    ASSERT_EQ(12u, frames.size());
    for (int i = 0; i < 12; ++i) {
        const gif::FrameBlock& f = frames[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(5u, f.nDelay);
        EXPECT_EQ(1u, f.nDisposal);
        EXPECT_EQ(i * 30, f.left);
        EXPECT_EQ(i * 20, f.top);
        EXPECT_EQ(40, f.width);
        EXPECT_EQ(30, f.height);
        // Head of the file, then the frame starting at its control extension.
        EXPECT_EQ(0, std::memcmp(f.gif.data(), data.data(), 13 + 24));
        EXPECT_EQ(0x21, f.gif[37]);
        EXPECT_EQ(0xF9, f.gif[38]);
        EXPECT_EQ(0x3B, f.gif.back());
        // Each rebuilt frame is a GIF the image decoder reads on its own.
        auto pic = DecodePicture(f.gif.data(), f.gif.size());
        ASSERT_TRUE(pic);
        EXPECT_EQ(40, pic->width);
        EXPECT_EQ(30, pic->height);
        std::uint32_t want = TestPalette()[1 + i % 7];
        EXPECT_EQ(want >> 16, pic->rgb[0]);
        EXPECT_EQ((want >> 8) & 0xFF, pic->rgb[1]);
        EXPECT_EQ(want & 0xFF, pic->rgb[2]);
    }
}

TEST(GifParser, FramesWithoutControlExtensionAndPlainText) {
    GifSpec s;
    s.width = 8;
    s.height = 8;
    s.palette = TestPalette();
    s.frames = {Solid(0, 0, 8, 8, kRed), Solid(2, 2, 4, 4, kBlue, 7, 2)};
    s.frames[0].control = false;
    std::vector<std::uint8_t> data = BuildGif(s);
    // A plain text block (with its own control extension) before the trailer.
    const std::vector<std::uint8_t> text = {0x21, 0xF9, 4, 0, 3, 0, 0, 0, 0x21, 0x01, 12, 0, 0, 0, 0,
                                            8,    0,    8, 0, 8, 8, 1, 0, 2,    'h',  'i',  0};
    data.insert(data.end() - 1, text.begin(), text.end());

    gif::CGifParser p(data.data(), data.size());
    ASSERT_TRUE(p.Open());
    ASSERT_EQ(3, p.CountGraphicBlocks());
    std::vector<gif::FrameBlock> frames = AllFrames(p);
    ASSERT_EQ(3u, frames.size());
    EXPECT_EQ(gif::kNoDelay, frames[0].nDelay);
    EXPECT_EQ(0u, frames[0].nDisposal);
    EXPECT_EQ(0x2C, frames[0].gif[13 + 24]);
    EXPECT_EQ(7u, frames[1].nDelay);
    EXPECT_EQ(2u, frames[1].nDisposal);
    EXPECT_EQ(3u, frames[2].nDelay);
    EXPECT_EQ(0, frames[2].width);  // plain text carries no image size
    EXPECT_TRUE(frames[0].bDecodable);
    EXPECT_FALSE(frames[2].bDecodable);  // no decoder draws text
    EXPECT_EQ(13u + 24 + text.size() + 1, frames[2].gif.size());
}

TEST(GifParser, BlockKindsAndLengths) {
    // Screen descriptor without global table, then one block of each kind.
    std::vector<std::uint8_t> d = {'G', 'I', 'F', '8', '9', 'a', 4, 0, 4, 0, 0, 0, 0};
    const std::size_t app = d.size();
    d.insert(d.end(), {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0});
    const std::size_t comment = d.size();
    d.insert(d.end(), {0x21, 0xFE, 0});  // a chain that is only its terminator
    const std::size_t control = d.size();
    d.insert(d.end(), {0x21, 0xF9, 4, 0, 5, 0, 0, 0});
    const std::size_t image = d.size();
    // Local table of 3 * 2^(1+1) = 12 bytes, code size, two sub-blocks.
    d.insert(d.end(), {0x2C, 0, 0, 0, 0, 4, 0, 4, 0, 0x81});
    d.insert(d.end(), 12, 0);
    d.insert(d.end(), {2, 2, 0xAA, 0xBB, 1, 0xCC, 0});
    const std::size_t trailer = d.size();
    d.push_back(0x3B);
    d.insert(d.end(), {0x21, 0x77, 0});  // unknown extension label

    gif::CGifParser p(d.data(), d.size());
    ASSERT_TRUE(p.Open());
    struct Expect {
        std::size_t at;
        gif::Block kind;
        long long len;
    };
    const Expect expects[] = {{app, gif::Block::AppExtension, 19},  {comment, gif::Block::Comment, 3},
                              {control, gif::Block::ControlExtension, 8}, {image, gif::Block::Image, 11 + 12 + 6},
                              {trailer, gif::Block::Trailer, 1}};
    for (const Expect& e : expects) {
        SCOPED_TRACE(e.at);
        ASSERT_EQ(e.at, p.Offset());
        EXPECT_EQ(e.kind, p.GetNextBlock());
        EXPECT_EQ(e.len, p.GetNextBlockLen());
        ASSERT_TRUE(p.SkipNextBlock());
    }
    EXPECT_EQ(gif::Block::Unknown, p.GetNextBlock());
    EXPECT_EQ(-1, p.GetNextBlockLen());
    EXPECT_FALSE(p.SkipNextBlock());
    EXPECT_EQ(1, p.GetSubBlocksLen(comment + 2));
    EXPECT_EQ(6, p.GetSubBlocksLen(image + 11 + 12));
}

TEST(GifParser, GifWithoutImageBlockHasNoFrames) {
    std::vector<std::uint8_t> d = {'G', 'I', 'F', '8', '9', 'a', 4, 0, 4, 0, 0, 0, 0};
    d.insert(d.end(), {0x21, 0xFE, 1, 'x', 0, 0x21, 0xF9, 4, 0, 5, 0, 0, 0, 0x3B});
    gif::CGifParser p(d.data(), d.size());
    ASSERT_TRUE(p.Open());
    EXPECT_EQ(0, p.CountGraphicBlocks());
    gif::FrameBlock f;
    EXPECT_FALSE(p.GetNextGraphicBlock(f));

    // Not a GIF, or too short for its screen descriptor or global table.
    const std::uint8_t png[] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 0, 0, 0};
    EXPECT_FALSE(gif::CGifParser(png, sizeof png).Open());
    EXPECT_FALSE(gif::CGifParser(d.data(), 12).Open());
    d[10] = 0x87;  // announces a 768-byte global table the data does not hold
    EXPECT_FALSE(gif::CGifParser(d.data(), d.size()).Open());
}

TEST(GifParser, TruncatedDataIsNoticedWhereverABlockIsCut) {
    std::vector<std::uint8_t> data = WaitingLikeGif();
    gif::CGifParser whole(data.data(), data.size());
    ASSERT_TRUE(whole.Open());
    // Where each frame's image block ends in the full data, and where any block ends.
    std::vector<std::size_t> frameEnds;
    while (whole.SkipNextGraphicBlock()) frameEnds.push_back(whole.Offset());
    ASSERT_EQ(12u, frameEnds.size());
    whole.Rewind();
    std::set<std::size_t> blockEnds = {whole.Offset()};
    while (whole.SkipNextBlock()) blockEnds.insert(whole.Offset());

    for (std::size_t len = 0; len < data.size(); ++len) {
        // A copy of exactly `len` bytes, so that a read past the end is a
        // heap overflow the sanitizer build reports.
        std::vector<std::uint8_t> cut(data.begin(), data.begin() + len);
        gif::CGifParser p(cut.data(), cut.size());
        if (!p.Open()) {
            EXPECT_LT(len, 13u + 24);
            continue;
        }
        int complete = 0;
        while (complete < 12 && frameEnds[complete] <= len) ++complete;
        ASSERT_EQ(complete, p.CountGraphicBlocks()) << len;
        CheckConsistent(cut);
        AllFrames(p);
        EXPECT_EQ(blockEnds.count(len) == 0, p.RanPastEnd()) << len;
    }

    // Loading takes a GIF cut between blocks, and fails for one cut inside a block.
    std::vector<TFrame> frames;
    wxSize screen;
    int blocks = 0;
    EXPECT_TRUE(LoadGifFrames(data.data(), frameEnds[1], frames, screen, blocks));
    EXPECT_EQ(2u, frames.size());
    EXPECT_FALSE(LoadGifFrames(data.data(), frameEnds[1] + 1, frames, screen, blocks));
    EXPECT_TRUE(frames.empty());
}

TEST(GifParser, ChainRunningPastTheEndFails) {
    std::vector<std::uint8_t> d = {'G', 'I', 'F', '8', '9', 'a', 4, 0, 4, 0, 0, 0, 0};
    d.insert(d.end(), {0x2C, 0, 0, 0, 0, 4, 0, 4, 0, 0, 2, 200, 1, 2, 3});  // 200-byte sub-block, 3 present
    gif::CGifParser p(d.data(), d.size());
    ASSERT_TRUE(p.Open());
    EXPECT_EQ(-1, p.GetSubBlocksLen(13 + 11));
    EXPECT_EQ(-1, p.GetNextBlockLen());
    EXPECT_FALSE(p.SkipNextBlock());
    EXPECT_TRUE(p.RanPastEnd());
    EXPECT_EQ(13u, p.Offset());
    EXPECT_EQ(0, p.CountGraphicBlocks());
    std::vector<TFrame> frames;
    wxSize screen;
    int blocks = -1;
    EXPECT_FALSE(LoadGifFrames(d.data(), d.size(), frames, screen, blocks));
    EXPECT_EQ(0, blocks);
    EXPECT_TRUE(frames.empty());
}

TEST(GifParser, CorruptedBytesNeverBreakConsistency) {
    const std::vector<std::uint8_t> data = WaitingLikeGif();
    std::mt19937 rng(1234);
    for (int round = 0; round < 400; ++round) {
        std::vector<std::uint8_t> bad = data;
        const int hits = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < hits; ++i) bad[13 + rng() % (bad.size() - 13)] = static_cast<std::uint8_t>(rng());
        if (round % 2) bad.resize(13 + rng() % (bad.size() - 13));
        SCOPED_TRACE(round);
        CheckConsistent(bad);
        std::vector<TFrame> frames;
        wxSize screen;
        int blocks = 0;
        LoadGifFrames(bad.data(), bad.size(), frames, screen, blocks);
        EXPECT_LE(frames.size(), static_cast<std::size_t>(blocks));
    }
}

TEST(GifParser, FrameDelayRule) {
    for (std::uint32_t d = 0; d < 5; ++d) EXPECT_EQ(100u, gif::FrameDelayMs(d)) << d;
    EXPECT_EQ(50u, gif::FrameDelayMs(5));
    EXPECT_EQ(100u, gif::FrameDelayMs(10));
    EXPECT_EQ(655350u, gif::FrameDelayMs(65535));
    EXPECT_EQ(100u, gif::FrameDelayMs(gif::kNoDelay));
}

TEST(GifParser, ImageDataIsCheckedBeforeAnyDecoderSeesIt) {
    GifSpec s;
    s.width = 8;
    s.height = 8;
    s.palette = TestPalette();
    s.loopExtension = false;
    s.frames = {Solid(0, 0, 8, 8, kRed)};
    const std::vector<std::uint8_t> good = BuildGif(s);
    const std::size_t codeSize = 13 + 24 + 8 + 10;  // after the control extension and the descriptor
    ASSERT_EQ(3, good[codeSize]);
    const std::size_t chainEnd = good.size() - 2;  // the chain's terminator

    auto firstFrame = [](const std::vector<std::uint8_t>& d) {
        gif::CGifParser p(d.data(), d.size());
        gif::FrameBlock f;
        EXPECT_TRUE(p.Open());
        EXPECT_TRUE(p.GetNextGraphicBlock(f));
        return f;
    };

    // Garbage sub-blocks after the end code are cut off; the frame still decodes.
    std::vector<std::uint8_t> padded = good;
    padded.insert(padded.begin() + chainEnd, {3, 0xFF, 0xFF, 0xFF, 2, 0x12, 0x34});
    gif::FrameBlock f = firstFrame(padded);
    EXPECT_TRUE(f.bDecodable);
    EXPECT_EQ(firstFrame(good).gif, f.gif);
    EXPECT_TRUE(DecodePicture(f.gif.data(), f.gif.size()));

    // A code that is not defined yet, a code size out of range, an image of no area.
    std::vector<std::uint8_t> undefined = good;
    undefined[codeSize + 2] = 0xFF;  // the stream opens with code 15, which nothing has defined
    EXPECT_FALSE(firstFrame(undefined).bDecodable);
    std::vector<std::uint8_t> wide = good;
    wide[codeSize] = 12;
    EXPECT_FALSE(firstFrame(wide).bDecodable);
    std::vector<std::uint8_t> flat = good;
    flat[13 + 24 + 8 + 7] = 0;  // height 0
    flat[13 + 24 + 8 + 8] = 0;
    EXPECT_FALSE(firstFrame(flat).bDecodable);

    // Control extensions that a decoder measures otherwise than by their
    // fixed 8 bytes (a size byte other than 4, no terminator at the end): it
    // would read on from another place and could find an image never checked.
    std::vector<std::uint8_t> oddSize = good;
    oddSize[13 + 24 + 2] = 5;
    EXPECT_FALSE(firstFrame(oddSize).bDecodable);
    std::vector<std::uint8_t> noEnd = good;
    noEnd[13 + 24 + 7] = 1;
    EXPECT_FALSE(firstFrame(noEnd).bDecodable);

    std::vector<TFrame> frames;
    wxSize screen;
    int blocks = 0;
    ASSERT_TRUE(LoadGifFrames(flat.data(), flat.size(), frames, screen, blocks));
    EXPECT_EQ(1, blocks);
    EXPECT_TRUE(frames.empty());
}

TEST(GifParser, DecodedFramesStayWithinThePixelBudget) {
    GifSpec s;
    s.width = 20;
    s.height = 20;
    s.palette = TestPalette();
    s.loopExtension = false;
    // 400 pixels each against a budget of 1000: the third is left out, the
    // smaller fourth still fits.
    s.frames = {Solid(0, 0, 20, 20, kRed), Solid(0, 0, 20, 20, kGreen), Solid(0, 0, 20, 20, kBlue),
                Solid(0, 0, 10, 10, kWhite)};
    std::vector<std::uint8_t> data = BuildGif(s);
    std::vector<TFrame> frames;
    wxSize screen;
    int blocks = 0;
    ASSERT_TRUE(LoadGifFrames(data.data(), data.size(), frames, screen, blocks, 1000));
    EXPECT_EQ(4, blocks);
    ASSERT_EQ(3u, frames.size());
    EXPECT_EQ(wxSize(10, 10), frames[2].frameSize);

    // A few bytes announcing an image just past the budget: never decoded
    // (the decoder would allocate for the whole announced size).
    s.frames = {Solid(0, 0, 1, 1, kRed)};
    data = BuildGif(s);
    const std::size_t desc = 13 + 24 + 8;
    ASSERT_EQ(0x2C, data[desc]);
    const int height = static_cast<int>(kMaxFramePixels / 8192 + 1);
    data[desc + 5] = 0x00;  // width 8192
    data[desc + 6] = 0x20;
    data[desc + 7] = static_cast<std::uint8_t>(height & 0xFF);
    data[desc + 8] = static_cast<std::uint8_t>(height >> 8);
    ASSERT_TRUE(LoadGifFrames(data.data(), data.size(), frames, screen, blocks));
    EXPECT_EQ(1, blocks);
    EXPECT_TRUE(frames.empty());

    // A logical screen larger than the control shows fails before decoding.
    data = BuildGif(s);
    data[6] = 0x01;  // width 8193
    data[7] = 0x20;
    EXPECT_FALSE(LoadGifFrames(data.data(), data.size(), frames, screen, blocks));
}
