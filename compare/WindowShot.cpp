#include "compare/WindowShot.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include <wx/filefn.h>
#include <wx/window.h>

#include "app/LangTexts.h"
#include "app/QuillmarshApp.h"
#include "platform/MessageBox.h"
#include "platform/Sound.h"
#include "platform/WindowCapture.h"

namespace {

constexpr int kShutterSound = 162;
constexpr std::uint32_t kHeadersSize = 14 + 40;

void Put16(std::vector<unsigned char>& out, std::uint16_t v) {
    out.push_back(static_cast<unsigned char>(v & 0xFF));
    out.push_back(static_cast<unsigned char>(v >> 8));
}

void Put32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>((v >> (8 * i)) & 0xFF));
}

// Both headers of a bottom-up BI_RGB bitmap with 32 bits per pixel.
std::vector<unsigned char> BmpHeaders(int width, int height) {
    const std::uint32_t rowSize = 4u * static_cast<std::uint32_t>(width);
    std::vector<unsigned char> h;
    h.reserve(kHeadersSize);
    h.push_back('B');
    h.push_back('M');
    Put32(h, kHeadersSize + rowSize * static_cast<std::uint32_t>(height));
    Put32(h, 0);
    Put32(h, kHeadersSize);
    Put32(h, 40);
    Put32(h, static_cast<std::uint32_t>(width));
    Put32(h, static_cast<std::uint32_t>(height));  // positive: rows bottom-up
    Put16(h, 1);                                     // planes
    Put16(h, 32);                                    // bits per pixel
    for (int i = 0; i < 6; ++i) Put32(h, 0);         // BI_RGB, sizes, resolution, colours
    return h;
}

void TellOperator(const wxString& path, const wxString& reason) {
    AfxMessageBox(theApp.GetLangString(lang::kSnapshotFailed) + "\n" + path + "\n" + reason, MB_OK | MB_ICONERROR);
}

}  // namespace

cv::Mat CopyWindowToBitmap(wxWindow* win) { return plat::CaptureClientArea(win); }

BOOL SaveWindowAsBmp(wxWindow* win, const wxString& path) {
    const cv::Mat shot = CopyWindowToBitmap(win);
    if (shot.empty()) {
        TellOperator(path, theApp.GetLangString(lang::kWindowNotCopied));
        return FALSE;
    }

    FILE* file = wxFopen(path, "wbe");
    if (file == nullptr) {
        const int err = errno;
        TellOperator(path, std::strerror(err));
        return FALSE;
    }

    const std::vector<unsigned char> headers = BmpHeaders(shot.cols, shot.rows);
    bool ok = std::fwrite(headers.data(), 1, headers.size(), file) == headers.size();
    const size_t rowSize = static_cast<size_t>(shot.cols) * 4;
    for (int y = shot.rows - 1; ok && y >= 0; --y)
        ok = std::fwrite(shot.ptr<unsigned char>(y), 1, rowSize, file) == rowSize;
    int writeErr = ok ? 0 : errno;
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        writeErr = errno;
    }

    if (!ok) {
        // A half-written picture must not pass for a screenshot.
        wxRemoveFile(path);
        TellOperator(path, std::strerror(writeErr));
        return FALSE;
    }

    plat::PlayWaveResource(kShutterSound);
    return TRUE;
}
