#include "platform/PictureHeader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// The file read forwards through one small buffer: a JPEG's segments before
// its frame are walked, and skipped segments never read, without holding
// more than the buffer.
class Reader {
public:
    Reader(int fd, std::uint64_t end) : m_fd(fd), m_end(end) {}

    // The next `n` bytes; false when the file ends first.
    bool Read(unsigned char* to, std::size_t n) {
        while (n > 0) {
            if (m_pos == m_len && !Fill()) return false;
            const std::size_t k = std::min(n, m_len - m_pos);
            std::memcpy(to, m_buf + m_pos, k);
            m_pos += k;
            to += k;
            n -= k;
        }
        return true;
    }

    // Passes over bytes up to the next `byte`, which is read next; false when
    // the file ends first.
    bool SkipUntil(unsigned char byte) {
        for (;;) {
            if (m_pos == m_len && !Fill()) return false;
            const void* at = std::memchr(m_buf + m_pos, byte, m_len - m_pos);
            if (at) {
                m_pos = static_cast<std::size_t>(static_cast<const unsigned char*>(at) - m_buf);
                return true;
            }
            m_pos = m_len;
        }
    }

    // Gives back the one byte read last.
    void Unread() {
        if (m_pos > 0) --m_pos;
    }

    void Skip(std::uint64_t n) {
        if (n <= m_len - m_pos) {
            m_pos += static_cast<std::size_t>(n);
            return;
        }
        m_start += m_pos + n;
        m_pos = m_len = 0;
    }

private:
    bool Fill() {
        m_start += m_len;
        m_pos = m_len = 0;
        if (m_start >= m_end) return false;
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof m_buf, m_end - m_start));
        ssize_t got;
        do got = ::pread(m_fd, m_buf, want, static_cast<off_t>(m_start));
        while (got < 0 && errno == EINTR);
        if (got <= 0) return false;
        m_len = static_cast<std::size_t>(got);
        return true;
    }

    int m_fd;
    std::uint64_t m_end;
    std::uint64_t m_start = 0;  // the file offset of m_buf[0]
    unsigned char m_buf[4096];
    std::size_t m_pos = 0, m_len = 0;
};

std::uint32_t Le16(const unsigned char* p) { return p[0] | (p[1] << 8); }
std::uint32_t Le32(const unsigned char* p) { return Le16(p) | (Le16(p + 2) << 16); }
std::uint32_t Be16(const unsigned char* p) { return (p[0] << 8) | p[1]; }
std::uint32_t Be32(const unsigned char* p) { return (Be16(p) << 16) | Be16(p + 2); }

// One plane of a depth a bitmap can have: what tells a bitmap header from
// other bytes that start with "BM".
bool BmpPixels(std::uint32_t planes, std::uint32_t bits) {
    return planes == 1 && (bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32);
}

// `h`: the first 30 bytes.  The oldest header keeps 16-bit sizes; every
// later one (16 to 124 bytes long) 32-bit sizes, with a negative height for a
// top-down picture.
bool BmpSize(const unsigned char* h, plat::PictureSize* size) {
    const std::uint32_t header = Le32(h + 14);
    if (header == 12) {
        size->width = Le16(h + 18);
        size->height = Le16(h + 20);
        return BmpPixels(Le16(h + 22), Le16(h + 24));
    }
    if (header < 16 || header > 124) return false;
    size->width = static_cast<std::int32_t>(Le32(h + 18));
    size->height = std::llabs(static_cast<std::int32_t>(Le32(h + 22)));
    return BmpPixels(Le16(h + 26), Le16(h + 28));
}

// `h`: the first 24 bytes, which a PNG begins with its IHDR chunk.
bool PngSize(const unsigned char* h, plat::PictureSize* size) {
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (std::memcmp(h, kSignature, 8) != 0 || std::memcmp(h + 12, "IHDR", 4) != 0) return false;
    size->width = Be32(h + 16);
    size->height = Be32(h + 20);
    return true;
}

// Every start-of-frame marker; C4, C8 and CC share the range but are not frames.
bool IsFrameMarker(unsigned m) { return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC; }

// The next marker as libjpeg finds it: bytes that are not 0xFF before it are
// passed over (it only warns of "extraneous bytes before marker", and cameras
// and editors do leave such bytes between segments), fill bytes 0xFF are
// swallowed, and a stuffed 0xFF 0x00 is passed over too.
bool NextMarker(Reader& in, unsigned* marker) {
    for (;;) {
        unsigned char c = 0;
        if (!in.SkipUntil(0xFF)) return false;
        do
            if (!in.Read(&c, 1)) return false;
        while (c == 0xFF);
        if (c != 0x00) {
            *marker = c;
            return true;
        }
    }
}

// After the start-of-image marker: the segments up to the first frame header,
// which gives the size.  A scan or the end before any frame is no picture.
bool JpegSize(Reader& in, plat::PictureSize* size) {
    for (;;) {
        unsigned marker = 0;
        if (!NextMarker(in, &marker)) return false;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length follows
        if (marker == 0xD8 || marker == 0xD9 || marker == 0xDA) return false;
        unsigned char len[2];
        if (!in.Read(len, 2) || Be16(len) < 2) return false;
        if (IsFrameMarker(marker)) {
            unsigned char frame[5];  // precision, height, width
            if (Be16(len) < 7 || !in.Read(frame, 5)) return false;
            size->jpegFrame = marker;
            size->jpegPrecision = frame[0];
            size->height = Be16(frame + 1);
            size->width = Be16(frame + 3);
            return true;
        }
        in.Skip(Be16(len) - 2);
    }
}

}  // namespace

namespace plat {

HeaderRead ReadPictureSize(int fd, std::uint64_t fileBytes, PictureSize* size) {
    Reader in(fd, fileBytes);
    unsigned char head[30];
    PictureSize found;
    bool known = false;
    if (!in.Read(head, 2)) return HeaderRead::NotPicture;
    if (head[0] == 'B' && head[1] == 'M') {
        found.format = PictureFormat::Bmp;
        known = in.Read(head + 2, 28) && BmpSize(head, &found);
    } else if (head[0] == 0x89 && head[1] == 'P') {
        found.format = PictureFormat::Png;
        known = in.Read(head + 2, 22) && PngSize(head, &found);
    } else if (head[0] == 0xFF && head[1] == 0xD8) {
        // A JPEG from its first marker on: what follows that is no frame a
        // decoder could size (cut short, a height of 0) is a damaged JPEG.
        unsigned char next = 0;
        if (!in.Read(&next, 1) || next != 0xFF) return HeaderRead::NotPicture;
        found.format = PictureFormat::Jpeg;
        in.Unread();
        if (!JpegSize(in, &found) || found.width <= 0 || found.height <= 0) return HeaderRead::Damaged;
        known = true;
    }
    if (!known || found.width <= 0 || found.height <= 0) return HeaderRead::NotPicture;
    *size = found;
    return HeaderRead::Picture;
}

}  // namespace plat
