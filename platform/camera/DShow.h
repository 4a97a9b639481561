#pragma once
// The few DirectShow types and constants the capture code is written against:
// GUIDs for media types, the media-type record with its video-info header,
// the capability record, the sample-grabber callback interface and a media
// sample.  Values of the GUIDs are the well-known ones, so a subtype read from
// a camera compares equal to the constants below.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/WinTypes.h"

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
using IID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFERENCE_TIME = std::int64_t;

inline bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }
inline bool IsEqualGUID(const GUID& a, const GUID& b) { return a == b; }

constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

// A four-character code as a media subtype: {fourcc-0000-0010-8000-00AA00389B71}.
constexpr GUID FourccSubtype(std::uint32_t fourcc) {
    return GUID{fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}
constexpr std::uint32_t MakeFourcc(char a, char b, char c, char d) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(a)) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(b)) << 8) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(c)) << 16) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(d)) << 24);
}
// True when the GUID has the four-character-code shape; *fourcc gets the code.
bool IsFourccSubtype(const GUID& g, std::uint32_t* fourcc);

constexpr GUID MEDIATYPE_Video = FourccSubtype(MakeFourcc('v', 'i', 'd', 's'));
constexpr GUID MEDIASUBTYPE_YUY2 = FourccSubtype(MakeFourcc('Y', 'U', 'Y', '2'));
constexpr GUID MEDIASUBTYPE_MJPG = FourccSubtype(MakeFourcc('M', 'J', 'P', 'G'));
constexpr GUID MEDIASUBTYPE_RGB24 = {0xe436eb7d, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
constexpr GUID FORMAT_VideoInfo = {0x05589f80, 0xc356, 0x11ce, {0xbf, 0x01, 0x00, 0xaa, 0x00, 0x55, 0x59, 0x5a}};
constexpr GUID FORMAT_None = {0x0F6417D6, 0xc318, 0x11d0, {0xa4, 0x3f, 0x00, 0xa0, 0xc9, 0x22, 0x31, 0x96}};
constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID IID_ISampleGrabberCB = {0x0579154A, 0x2B53, 0x4994, {0xB0, 0xD0, 0xE7, 0x73, 0x14, 0x8E, 0xFF, 0x85}};

constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT VFW_S_NOPREVIEWPIN = static_cast<HRESULT>(0x0004027Eu);
constexpr HRESULT VFW_E_NOT_CONNECTED = static_cast<HRESULT>(0x80040209u);
constexpr HRESULT VFW_E_NOT_FOUND = static_cast<HRESULT>(0x80040216u);
constexpr HRESULT VFW_E_CANNOT_CONNECT = static_cast<HRESULT>(0x80040217u);
constexpr HRESULT VFW_E_NOT_STOPPED = static_cast<HRESULT>(0x80040224u);
constexpr HRESULT VFW_E_INVALIDMEDIATYPE = static_cast<HRESULT>(0x80040200u);
constexpr HRESULT VFW_E_DEVICE_LOST = static_cast<HRESULT>(0x80040281u);  // stands in for a vanished device

// Own names for the rectangle and size records, so they never meet the
// user-interface layer's.
struct VideoRect {
    LONG left, top, right, bottom;
};

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

struct VIDEOINFOHEADER {
    VideoRect rcSource;
    VideoRect rcTarget;
    DWORD dwBitRate;
    DWORD dwBitErrorRate;
    REFERENCE_TIME AvgTimePerFrame;
    BITMAPINFOHEADER bmiHeader;
};

// Media type.  The format block is allocated with CoTaskMemAlloc; whoever
// receives a type from the graph frees it (FreeMediaType / DeleteMediaType).
struct AM_MEDIA_TYPE {
    GUID majortype;
    GUID subtype;
    BOOL bFixedSizeSamples;
    BOOL bTemporalCompression;
    ULONG_PTR lSampleSize;
    GUID formattype;
    ULONG_PTR cbFormat;
    BYTE* pbFormat;
};

void* CoTaskMemAlloc(std::size_t n);
void CoTaskMemFree(void* p);

struct VideoSize {
    LONG cx, cy;
};

// One capture capability's limits; its size (128 bytes) is what the capture
// code checks before it trusts the records.
struct VIDEO_STREAM_CONFIG_CAPS {
    GUID guid;
    ULONG_PTR VideoStandard32;  // padding to the record's layout
    VideoSize InputSize;
    VideoSize MinCroppingSize;
    VideoSize MaxCroppingSize;
    int CropGranularityX;
    int CropGranularityY;
    int CropAlignX;
    int CropAlignY;
    VideoSize MinOutputSize;
    VideoSize MaxOutputSize;
    int OutputGranularityX;
    int OutputGranularityY;
    int StretchTapsX;
    int StretchTapsY;
    int ShrinkTapsX;
    int ShrinkTapsY;
    std::int64_t MinFrameInterval;
    std::int64_t MaxFrameInterval;
    LONG MinBitsPerSecond;
    LONG MaxBitsPerSecond;
};
static_assert(sizeof(VIDEO_STREAM_CONFIG_CAPS) == 128, "capability record is 128 bytes");

// One sample as it passed through a grabber.
class IMediaSample {
public:
    IMediaSample(const BYTE* data, long length, double time) : m_pData(data), m_nLength(length), m_dTime(time) {}
    const BYTE* GetPointer() const { return m_pData; }
    long GetActualDataLength() const { return m_nLength; }
    double GetTime() const { return m_dTime; }

private:
    const BYTE* m_pData;
    long m_nLength;
    double m_dTime;
};

// The sample grabber's callback: callback type 0 calls SampleCB with the
// sample, type 1 calls BufferCB with its bytes.
class ISampleGrabberCB {
public:
    virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG_PTR AddRef() = 0;
    virtual ULONG_PTR Release() = 0;
    virtual HRESULT SampleCB(double sampleTime, IMediaSample* sample) = 0;
    virtual HRESULT BufferCB(double sampleTime, BYTE* buffer, long length) = 0;

protected:
    ~ISampleGrabberCB() = default;
};
