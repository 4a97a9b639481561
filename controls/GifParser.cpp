#include "controls/GifParser.h"

#include <cstring>

namespace gif {

namespace {

// Size of a colour table announced by a packed byte whose bit 7 says the
// table is present and whose low three bits give its size.
std::size_t ColourTableLen(std::uint8_t packed) {
    if (!(packed & 0x80)) return 0;
    return 3u * (2u << (packed & 7));
}

}  // namespace

std::uint32_t FrameDelayMs(std::uint32_t nDelay) {
    // Without a control extension the frame has no delay of its own; the
    // literal value would wait for weeks.
    if (nDelay == kNoDelay || nDelay < 5) return 100;
    return nDelay * 10;  // the extension holds 16 bits, so this cannot overflow
}

bool IsGifData(const std::uint8_t* data, std::size_t len) {
    return data && len >= 3 && data[0] == 'G' && data[1] == 'I' && data[2] == 'F';
}

CGifParser::CGifParser(const std::uint8_t* data, std::size_t len) : m_pData(data), m_nDataLen(data ? len : 0) {}

bool CGifParser::Open() {
    m_bOpen = false;
    if (!IsGifData(m_pData, m_nDataLen) || m_nDataLen < 13) return false;
    m_nScreenWidth = U16(6);
    m_nScreenHeight = U16(8);
    m_nGlobalTableLen = ColourTableLen(m_pData[10]);
    if (13 + m_nGlobalTableLen > m_nDataLen) return false;
    m_bOpen = true;
    Rewind();
    return true;
}

Block CGifParser::GetNextBlock() const {
    if (!m_bOpen || m_nOffset >= m_nDataLen) return Block::Unknown;
    switch (m_pData[m_nOffset]) {
    case 0x2C: return Block::Image;
    case 0x3B: return Block::Trailer;
    case 0x21:
        if (m_nOffset + 1 >= m_nDataLen) return Block::Unknown;
        switch (m_pData[m_nOffset + 1]) {
        case 0xFF: return Block::AppExtension;
        case 0xFE: return Block::Comment;
        case 0xF9: return Block::ControlExtension;
        case 0x01: return Block::PlainText;
        default: return Block::Unknown;
        }
    default: return Block::Unknown;
    }
}

long long CGifParser::GetSubBlocksLen(std::size_t offset) const {
    std::size_t pos = offset;
    while (pos < m_nDataLen) {
        std::size_t size = m_pData[pos];
        if (size == 0) return static_cast<long long>(pos + 1 - offset);
        pos += 1 + size;
    }
    return -1;  // the chain has no terminator inside the data
}

long long CGifParser::GetNextBlockLen() const {
    // Each block's fixed part must lie inside the data before its sub-block
    // chain (which starts right after it) can be measured.
    auto withChain = [this](std::size_t fixed) -> long long {
        if (m_nOffset + fixed > m_nDataLen) return -1;
        long long chain = GetSubBlocksLen(m_nOffset + fixed);
        return chain < 0 ? -1 : static_cast<long long>(fixed) + chain;
    };
    switch (GetNextBlock()) {
    case Block::AppExtension: return withChain(14);
    case Block::Comment: return withChain(2);
    case Block::ControlExtension: return m_nOffset + 8 <= m_nDataLen ? 8 : -1;
    case Block::PlainText: return withChain(15);
    case Block::Image: {
        // Descriptor (10 bytes), local table, LZW code size (1 byte), chain.
        if (m_nOffset + 10 > m_nDataLen) return -1;
        return withChain(11 + ColourTableLen(m_pData[m_nOffset + 9]));
    }
    case Block::Trailer: return 1;
    case Block::Unknown: break;
    }
    return -1;
}

bool CGifParser::SkipNextBlock() {
    long long len = GetNextBlockLen();
    if (len <= 0 || m_nOffset + static_cast<std::size_t>(len) > m_nDataLen) return false;
    m_nOffset += static_cast<std::size_t>(len);
    return true;
}

bool CGifParser::RanPastEnd() const {
    // A walk never stops at a whole block of a known kind but the trailer:
    // any other known block it stops at could not be measured within the
    // data, nor could an extension whose label lies beyond it.
    if (m_nOffset >= m_nDataLen) return false;
    const Block kind = GetNextBlock();
    if (kind == Block::Unknown) return m_pData[m_nOffset] == 0x21 && m_nOffset + 1 == m_nDataLen;
    return kind != Block::Trailer;
}

bool CGifParser::SkipToGraphic() {
    for (;;) {
        switch (GetNextBlock()) {
        case Block::AppExtension:
        case Block::Comment:
            if (!SkipNextBlock()) return false;
            break;
        case Block::ControlExtension:
        case Block::Image:
        case Block::PlainText:
            return true;
        default:
            return false;
        }
    }
}

bool CGifParser::SkipToRendering(bool& alike) {
    for (;;) {
        switch (GetNextBlock()) {
        case Block::Image:
        case Block::PlainText:
            return true;
        case Block::AppExtension:
        case Block::Comment:
        case Block::ControlExtension:
            alike = alike && ReadsAlike();
            if (!SkipNextBlock()) return false;
            break;
        default:
            return false;
        }
    }
}

bool CGifParser::ReadsAlike() const {
    // The fixed part of each extension is itself a sub-block whose size byte
    // must be what the fixed length assumes; the control extension's fixed
    // length also takes in its chain's terminator.
    auto at = [this](std::size_t i) -> int { return m_nOffset + i < m_nDataLen ? m_pData[m_nOffset + i] : -1; };
    switch (GetNextBlock()) {
    case Block::AppExtension: return at(2) == 11;
    case Block::PlainText: return at(2) == 12;
    case Block::ControlExtension: return at(2) == 4 && at(7) == 0;
    default: return true;
    }
}

bool CGifParser::SkipNextGraphicBlock() {
    bool alike = true;
    if (!SkipToGraphic()) return false;
    if (GetNextBlock() == Block::ControlExtension && !SkipToRendering(alike)) return false;
    return SkipNextBlock();
}

bool CGifParser::ScanImageData(std::size_t offset, std::size_t& used) const {
    used = 0;
    if (offset >= m_nDataLen) return false;
    const int minCode = m_pData[offset];
    if (minCode < 2 || minCode > 8) return false;
    const int clear = 1 << minCode, eoi = clear + 1;
    int next = eoi + 1, width = minCode + 1;
    bool havePrev = false;
    std::uint32_t acc = 0;
    int nbits = 0;
    std::size_t pos = offset + 1;  // size byte of the current sub-block
    while (pos < m_nDataLen && m_pData[pos] != 0) {
        const std::size_t size = m_pData[pos];
        if (pos + 1 + size > m_nDataLen) return false;
        for (std::size_t i = 0; i < size; ++i) {
            acc |= static_cast<std::uint32_t>(m_pData[pos + 1 + i]) << nbits;
            nbits += 8;
            while (nbits >= width) {
                const int code = static_cast<int>(acc & ((1u << width) - 1));
                acc >>= width;
                nbits -= width;
                if (code == clear) {
                    next = eoi + 1;
                    width = minCode + 1;
                    havePrev = false;
                } else if (code == eoi) {
                    used = pos + 2 + i - (offset + 1);
                    return true;
                } else if (!havePrev) {
                    if (code > eoi) return false;  // only a literal may follow a clear
                    havePrev = true;
                } else {
                    if (next < 4096) {
                        if (code > next) return false;  // not defined yet
                        ++next;
                        if (next == (1 << width) && width < 12) ++width;
                    }
                }
            }
        }
        pos += 1 + size;
    }
    used = pos - (offset + 1);
    return true;
}

bool CGifParser::GetNextGraphicBlock(FrameBlock& out) {
    out = FrameBlock{};
    if (!SkipToGraphic()) return false;
    const std::size_t start = m_nOffset;
    bool alike = true;
    if (GetNextBlock() == Block::ControlExtension) {
        if (GetNextBlockLen() <= 0) return false;  // the 8 bytes lie inside the data
        out.nDelay = U16(m_nOffset + 4);
        out.nDisposal = (m_pData[m_nOffset + 3] >> 2) & 7;
        if (!SkipToRendering(alike)) return false;
    }
    std::size_t frameLen = 0;  // bytes taken from the data
    std::size_t chainUsed = 0;   // of which, for an image, its data sub-blocks
    bool image = false;
    if (GetNextBlock() == Block::Image) {
        if (GetNextBlockLen() <= 0) return false;  // the descriptor lies inside the data
        image = true;
        out.left = U16(m_nOffset + 1);
        out.top = U16(m_nOffset + 3);
        out.width = U16(m_nOffset + 5);
        out.height = U16(m_nOffset + 7);
        const std::size_t codeSize = m_nOffset + 10 + ColourTableLen(m_pData[m_nOffset + 9]);
        // An image of no area is no picture (and upsets decoders).
        out.bDecodable = alike && out.width > 0 && out.height > 0 && ScanImageData(codeSize, chainUsed);
        frameLen = codeSize + 1 - start;
    } else {
        // Plain text is drawn by no decoder: given one, it could only yield
        // an image found by reading the text block otherwise than here.
        out.bDecodable = false;
    }
    if (!SkipNextBlock()) return false;

    const std::size_t head = 13 + m_nGlobalTableLen;
    if (!image || !out.bDecodable) {
        frameLen = m_nOffset - start;
        out.gif.resize(head + frameLen + 1);
        std::memcpy(out.gif.data(), m_pData, head);
        std::memcpy(out.gif.data() + head, m_pData + start, frameLen);
        out.gif.back() = 0x3B;
        return true;
    }
    // Up to the code size byte as it stands; then the chain re-cut after the
    // end code: whole sub-blocks copied, the last one shortened to end there.
    out.gif.reserve(head + frameLen + chainUsed + chainUsed / 255 + 4);
    out.gif.assign(m_pData, m_pData + head);
    out.gif.insert(out.gif.end(), m_pData + start, m_pData + start + frameLen);
    std::size_t pos = start + frameLen, left = chainUsed;
    while (left > 0) {
        const std::size_t size = m_pData[pos];
        const std::size_t take = left - 1 < size ? left - 1 : size;  // content bytes of this sub-block
        if (take > 0) {
            out.gif.push_back(static_cast<std::uint8_t>(take));
            out.gif.insert(out.gif.end(), m_pData + pos + 1, m_pData + pos + 1 + take);
        }
        left -= 1 + take;
        pos += 1 + size;
    }
    out.gif.push_back(0);
    out.gif.push_back(0x3B);
    return true;
}

int CGifParser::CountGraphicBlocks() {
    Rewind();
    int n = 0;
    if (m_bOpen)
        while (SkipNextGraphicBlock()) ++n;
    Rewind();
    return n;
}

}  // namespace gif
