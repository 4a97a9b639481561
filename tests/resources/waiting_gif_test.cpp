// The waiting animation (GIF 131): a GIF89a of 12 frames of 400 x 300, each
// with its own graphic control extension, disposal 1 and a delay of 5.
#include <gtest/gtest.h>

#include <cstring>

#include <wx/anidecod.h>
#include <wx/gifdecod.h>
#include <wx/mstream.h>

#include "platform/Resources.h"

TEST(WaitingAnimation, DecodesAsTwelveFramesOf50Milliseconds) {
    plat::ResourceBlob blob = plat::FindResource(131, "gif");
    ASSERT_TRUE(blob);
    wxMemoryInputStream stream(blob.data, blob.size);
    wxGIFDecoder decoder;
    ASSERT_EQ(decoder.LoadGIF(stream), wxGIF_OK);
    EXPECT_EQ(decoder.GetAnimationSize(), wxSize(400, 300));
    ASSERT_EQ(decoder.GetFrameCount(), 12u);
    for (unsigned i = 0; i < decoder.GetFrameCount(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(decoder.GetDelay(i), 50);
        EXPECT_EQ(decoder.GetDisposalMethod(i), wxANIM_DONOTREMOVE);  // disposal 1
        EXPECT_EQ(decoder.GetFrameSize(i), wxSize(400, 300));
        EXPECT_EQ(decoder.GetFramePosition(i), wxPoint(0, 0));
    }
    // the frames move: neighbours differ
    wxImage a, b;
    ASSERT_TRUE(decoder.ConvertToImage(0, &a));
    ASSERT_TRUE(decoder.ConvertToImage(1, &b));
    EXPECT_NE(std::memcmp(a.GetData(), b.GetData(), 400 * 300 * 3), 0);
}

// Walks the blocks as the animated picture control does: every image block is
// preceded by its own graphic control extension, and the data ends with the
// trailer exactly at its end.
TEST(WaitingAnimation, BlockStructureIsWhatThePictureControlParses) {
    plat::ResourceBlob blob = plat::FindResource(131, "gif");
    ASSERT_TRUE(blob);
    const unsigned char* p = blob.data;
    const size_t n = blob.size;
    ASSERT_GT(n, 13u);
    ASSERT_EQ(std::memcmp(p, "GIF89a", 6), 0);
    size_t pos = 13;
    if (p[10] & 0x80) pos += 3u << ((p[10] & 7) + 1);
    auto skipSubBlocks = [&](size_t at) {
        while (at < n && p[at] != 0) at += 1 + p[at];
        return at + 1;
    };
    int images = 0, controls = 0;
    bool pendingControl = false;
    bool trailer = false;
    while (pos < n && !trailer) {
        if (p[pos] == 0x21 && pos + 1 < n && p[pos + 1] == 0xF9) {
            ASSERT_LE(pos + 8, n);
            EXPECT_EQ(p[pos + 2], 4);
            EXPECT_EQ((p[pos + 3] >> 2) & 7, 1);
            EXPECT_EQ(p[pos + 4] | p[pos + 5] << 8, 5);
            EXPECT_FALSE(pendingControl) << "two control extensions in a row";
            pendingControl = true;
            ++controls;
            pos += 8;
        } else if (p[pos] == 0x21 && pos + 1 < n) {
            pos = skipSubBlocks(pos + 2);
        } else if (p[pos] == 0x2C) {
            ASSERT_LE(pos + 11, n);
            EXPECT_TRUE(pendingControl) << "image " << images << " without a control extension";
            pendingControl = false;
            ++images;
            size_t at = pos + 10;
            if (p[pos + 9] & 0x80) at += 3u << ((p[pos + 9] & 7) + 1);
            pos = skipSubBlocks(at + 1);  // LZW minimum code size, then the data
        } else if (p[pos] == 0x3B) {
            trailer = true;
            ++pos;
        } else {
            FAIL() << "unknown block at " << pos;
        }
    }
    EXPECT_TRUE(trailer);
    EXPECT_EQ(pos, n);
    EXPECT_EQ(images, 12);
    EXPECT_EQ(controls, 12);
}
