#pragma once
// Conversion of the USB camera's buffers into frames: YUY2 to B, G, R and the
// MJPG decoding path (standard Huffman tables inserted into frames that lack
// them, decoding with libjpeg).  Every function here is safe on any thread and
// never ends the process on bad input: a frame that cannot be converted is
// reported as a failure and the caller drops it.
#include <cstddef>

#include "platform/JpegDecode.h"
#include "platform/WinTypes.h"

// Size of the standard Huffman table segment (FF C4, length 418, the four
// typical luminance and chrominance tables) inserted into MJPG frames.
constexpr std::size_t kStdHuffmanSegmentSize = 420;
// The segment itself, marker included.
extern const BYTE kStdHuffmanSegment[kStdHuffmanSegmentSize];

// YUY2 (Y0 U Y1 V groups, rows width x 2 bytes apart) to packed B, G, R rows
// width x 3 bytes apart.  Source row r lands in destination row height-1-r
// (bottom-up, as the capture pin's other formats deliver).  An odd last pixel of
// a row is not written.  Returns -1 without a source (or destination), else 0.
// The source must hold width x height x 2 bytes, the destination width x height x 3.
int ConvertYUY2ToBGR24(const BYTE* src, BYTE* dst, int width, int height);

// Decoder record made per MJPG frame: `decode` is DecodeMjpgFrame, `release`
// is ReleaseMjpgBuffer (frees the record).
struct MjpgCodec {
    BOOL (*decode)(MjpgCodec* codec, BYTE* dst, std::size_t dstSize, const BYTE* src, std::size_t srcLen);
    void (*release)(MjpgCodec* codec);
};

// nullptr when memory is short.
MjpgCodec* MakeMjpgCodec();
void ReleaseMjpgBuffer(MjpgCodec* codec);

// Whether the frame carries its own Huffman tables: the first FF C4 or FF DA
// pair starting within offsets 0..2048 decides (FF C4: yes).
BOOL HasHuffmanTables(const BYTE* src, std::size_t srcLen);

// Decodes one MJPG frame into dst as R, G, B rows, top-down.  Frames without
// tables get the standard segment inserted before their FF C0 marker.  FALSE
// (nothing usable in dst) when the frame is corrupt or truncated, has neither
// tables nor FF C0, or when its decoded size (width x height x 3) differs from
// dstSize.  The codec argument may be nullptr.
BOOL DecodeMjpgFrame(MjpgCodec* codec, BYTE* dst, std::size_t dstSize, const BYTE* src, std::size_t srcLen);

// The same decode, writing B, G, R rows top-down: exactly the frame the sink
// receives after DecodeMjpgFrame, the R/B swap and the two vertical flips, in
// one pass.
BOOL DecodeMjpgFrameBGR(BYTE* dst, std::size_t dstSize, const BYTE* src, std::size_t srcLen,
                        plat::JpegRowSink* seen = nullptr);

using plat::JpegPixelOrder;

// Decodes one JPEG image into packed rows of its output components (R, G, B
// for colour images, or B, G, R when asked; one byte for greyscale), top-down.
// FALSE on any libjpeg error, on data ending before the image does, and when
// output width x height x components differs from dstSize.
BOOL DecodeJpegToBuffer(BYTE* dst, std::size_t dstSize, const BYTE* src, std::size_t srcLen,
                        JpegPixelOrder order = JpegPixelOrder::RGB);
