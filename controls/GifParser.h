#pragma once
// Block-level reading of GIF data for the animated picture.  The data is split
// into its graphic blocks; each one is rebuilt as a small single-frame GIF
// (header, screen descriptor, global colour table, the frame's own blocks and
// a trailer) that an ordinary image decoder can read.  Every length taken from
// the data is checked against the data's end, so damaged or hostile data ends
// the parse instead of reading past the buffer.
//
// No dependency on the windowing library: the fuzzer and the tests drive it
// on its own.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace gif {

enum class Block {
    Unknown,           // any other first byte, or 0x21 with another label
    AppExtension,      // 0x21 0xFF
    Comment,           // 0x21 0xFE
    ControlExtension,  // 0x21 0xF9
    PlainText,         // 0x21 0x01
    Image,             // 0x2C
    Trailer,           // 0x3B
};

// Delay of a frame that has no graphic control extension.
inline constexpr std::uint32_t kNoDelay = 0xFFFFFFFFu;

// One frame, rebuilt as a self-contained GIF.
struct FrameBlock {
    std::vector<std::uint8_t> gif;
    std::uint32_t nDelay = kNoDelay;  // hundredths of a second
    std::uint32_t nDisposal = 0;      // bits 2-4 of the extension's packed byte
    int width = 0, height = 0;        // from the image descriptor (0 for plain text)
    int left = 0, top = 0;
    // False for plain text, for an image of no area or whose compressed data
    // breaks the LZW rules (a code not yet defined, a bad code size), and
    // when an extension of the frame has a size byte other than its fixed
    // length (a decoder would then read the frame's bytes otherwise than this
    // parser did, finding images never checked here): no decoder is given it.
    bool bDecodable = true;
};

// How long a frame stays up, in milliseconds.  Delays below 5 hundredths are
// played at 100 ms (most viewers do the same, since such GIFs were written for
// that); a frame without a control extension is played like a delay of 0.
std::uint32_t FrameDelayMs(std::uint32_t nDelay);

// True when the data begins with "GIF" (the version is not examined).
bool IsGifData(const std::uint8_t* data, std::size_t len);

class CGifParser {
public:
    // The data must stay alive and unchanged while the parser is used.
    CGifParser(const std::uint8_t* data, std::size_t len);

    // Reads the header, the logical screen descriptor and the global colour
    // table and moves to the first block.  False when the data is not a GIF or
    // ends inside these.
    bool Open();

    int ScreenWidth() const { return m_nScreenWidth; }
    int ScreenHeight() const { return m_nScreenHeight; }
    std::size_t GlobalTableLen() const { return m_nGlobalTableLen; }

    // Back to the first block.
    void Rewind() { m_nOffset = FirstBlockOffset(); }
    std::size_t Offset() const { return m_nOffset; }
    std::size_t FirstBlockOffset() const { return 13 + m_nGlobalTableLen; }

    // Kind of the block at the current offset.
    Block GetNextBlock() const;
    // Length of the block at the current offset, counted from its first byte;
    // -1 when the block is unknown or any part of it lies beyond the data.
    long long GetNextBlockLen() const;
    // Length of the data sub-block chain starting at `offset`, terminator
    // included; -1 when the chain runs past the end of the data.
    long long GetSubBlocksLen(std::size_t offset) const;
    // Moves past the block at the current offset; false when its length is
    // invalid or it would end beyond the data.
    bool SkipNextBlock();
    // After a walk has ended (GetNextGraphicBlock or SkipNextGraphicBlock
    // gave false): true when it stopped at a block that runs past the end of
    // the data (truncated or damaged data), false when it stopped at the
    // trailer, an unknown block or the data's end.
    bool RanPastEnd() const;
    // Moves past the next graphic block: its control extension (if any) and
    // the image or plain text block it belongs to.  False when none is left.
    bool SkipNextGraphicBlock();
    // Takes the next graphic block as a self-contained GIF.  False when none
    // is left.  The image's data sub-blocks end with the one holding the end
    // code: what follows it is not part of the picture, and some decoders
    // misread it.
    bool GetNextGraphicBlock(FrameBlock& out);

    // Number of graphic blocks from the first block on; leaves the offset at
    // the first block.
    int CountGraphicBlocks();

    // Walks the LZW codes of the image data whose code size byte is at
    // `offset` (the chain follows it).  False when a code breaks the rules;
    // otherwise `used` is the number of chain bytes up to and including the
    // byte that completes the end code (the whole chain when there is none).
    bool ScanImageData(std::size_t offset, std::size_t& used) const;

private:
    // Skips application extensions and comments; true when the offset then
    // stands on a control extension, image or plain text block.
    bool SkipToGraphic();
    // From a control extension, skips to the image or plain text block it
    // belongs to; clears `alike` when a skipped block fails ReadsAlike.
    bool SkipToRendering(bool& alike);
    // True when a reader that takes an extension as its label followed by
    // sub-blocks (as image decoders do) measures the block at the offset as
    // GetNextBlockLen does.
    bool ReadsAlike() const;
    std::uint16_t U16(std::size_t at) const { return static_cast<std::uint16_t>(m_pData[at] | (m_pData[at + 1] << 8)); }

    const std::uint8_t* m_pData;
    std::size_t m_nDataLen;
    std::size_t m_nOffset = 0;
    std::size_t m_nGlobalTableLen = 0;
    int m_nScreenWidth = 0;
    int m_nScreenHeight = 0;
    bool m_bOpen = false;
};

}  // namespace gif
