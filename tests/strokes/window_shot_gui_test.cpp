// The comparison window's screenshot, taken of a real window under the test
// display and read back from the file.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include <wx/app.h>
#include <wx/filename.h>
#include <wx/frame.h>
#include <wx/dcclient.h>
#include <wx/panel.h>
#include <wx/stopwatch.h>
#include <wx/utils.h>

#include "compare/WindowShot.h"
#include "platform/MessageBox.h"
#include "support/Pump.h"

namespace {

std::uint32_t U32(const std::vector<unsigned char>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint16_t U16(const std::vector<unsigned char>& b, size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::vector<unsigned char> ReadAll(const wxString& path) {
    std::ifstream in(path.utf8_string(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The colour of window pixel (x, y) in a bottom-up 32-bit BMP.
wxColour BmpPixel(const std::vector<unsigned char>& b, int width, int height, int x, int y) {
    const size_t at = 54 + static_cast<size_t>(height - 1 - y) * width * 4 + static_cast<size_t>(x) * 4;
    return wxColour(b[at + 2], b[at + 1], b[at]);
}

::testing::AssertionResult Near(const wxColour& got, const wxColour& want) {
    auto close = [](int a, int b) { return std::abs(a - b) <= 3; };
    if (close(got.Red(), want.Red()) && close(got.Green(), want.Green()) && close(got.Blue(), want.Blue()))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << got.GetAsString(wxC2S_HTML_SYNTAX).utf8_str() << ", want "
                                         << want.GetAsString(wxC2S_HTML_SYNTAX).utf8_str();
}

const wxColour kBackground(20, 160, 60);
const wxColour kLeftPane(200, 30, 90);
const wxColour kRightPane(40, 50, 220);
const wxColour kPainted(250, 230, 10);

// A window of the comparison window's size on a 1920 x 1080 screen, with two
// child panes, half covered by another window.
struct ShotWindow {
    wxFrame* win = nullptr;
    wxFrame* cover = nullptr;

    ShotWindow() {
        win = new wxFrame(nullptr, wxID_ANY, "shot", wxDefaultPosition, wxDefaultSize, wxBORDER_NONE);
        win->SetBackgroundColour(kBackground);
        auto* left = new wxPanel(win, wxID_ANY, wxPoint(17, 146), wxSize(643, 510));
        left->SetBackgroundColour(kLeftPane);
        // What a window paints itself (the camera pane does) belongs in the shot.
        left->Bind(wxEVT_PAINT, [left](wxPaintEvent&) {
            wxPaintDC dc(left);
            dc.SetPen(*wxTRANSPARENT_PEN);
            dc.SetBrush(wxBrush(kPainted));
            dc.DrawRectangle(50, 50, 100, 100);
        });
        auto* right = new wxPanel(win, wxID_ANY, wxPoint(679, 146), wxSize(644, 510));
        right->SetBackgroundColour(kRightPane);
        win->SetClientSize(1344, 680);
        win->Move(288, 113);
        win->Show();
        cover = new wxFrame(nullptr, wxID_ANY, "cover", wxDefaultPosition, wxDefaultSize, wxBORDER_NONE);
        cover->SetBackgroundColour(*wxWHITE);
        cover->SetClientSize(700, 400);
        cover->Move(200, 100);
        cover->Show();
        Pump(400);
    }
    ~ShotWindow() {
        cover->Destroy();
        win->Destroy();
        Pump(50);
    }
};

wxString TempPath(const wxString& name) {
    return wxFileName::GetTempDir() + wxString::Format("/ovl-%lu-%s", wxGetProcessId(), name);
}

}  // namespace

TEST(WindowShot, WritesTheClientAreaAsABottomUp32BitBmp) {
    ShotWindow w;
    ASSERT_EQ(w.win->GetClientSize(), wxSize(1344, 680));
    std::vector<wxString> messages;
    plat::SetMessageBoxHook([&](const wxString& text, const wxString&, UINT) {
        messages.push_back(text);
        return IDOK;
    });

    const wxString path = TempPath("shot.bmp");
    EXPECT_TRUE(SaveWindowAsBmp(w.win, path));
    plat::SetMessageBoxHook({});
    EXPECT_TRUE(messages.empty());

    const std::vector<unsigned char> b = ReadAll(path);
    wxRemoveFile(path);
    ASSERT_EQ(b.size(), 3655734u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(U32(b, 2), 3655734u);
    EXPECT_EQ(U32(b, 6), 0u);
    EXPECT_EQ(U32(b, 10), 54u);
    EXPECT_EQ(U32(b, 14), 40u);
    EXPECT_EQ(U32(b, 18), 1344u);
    EXPECT_EQ(U32(b, 22), 680u);  // positive: bottom-up
    EXPECT_EQ(U16(b, 26), 1);
    EXPECT_EQ(U16(b, 28), 32);
    for (size_t at = 30; at < 54; at += 4) EXPECT_EQ(U32(b, at), 0u) << at;

    // Background and both panes, including what the other window covers on
    // screen; rows are read bottom-up, so the panes' top edges tell up from down.
    EXPECT_TRUE(Near(BmpPixel(b, 1344, 680, 5, 5), kBackground));
    EXPECT_TRUE(Near(BmpPixel(b, 1344, 680, 1335, 670), kBackground));
    EXPECT_TRUE(Near(BmpPixel(b, 1344, 680, 300, 100), kBackground));
    EXPECT_TRUE(Near(BmpPixel(b, 1344, 680, 20, 150), kLeftPane));
    EXPECT_TRUE(Near(BmpPixel(b, 1344, 680, 300, 300), kLeftPane));
    EXPECT_TRUE(Near(BmpPixel(b, 1344, 680, 659, 655), kLeftPane));
    EXPECT_TRUE(Near(BmpPixel(b, 1344, 680, 20, 145), kBackground));
    EXPECT_TRUE(Near(BmpPixel(b, 1344, 680, 20, 656), kBackground));
    EXPECT_TRUE(Near(BmpPixel(b, 1344, 680, 17 + 60, 146 + 60), kPainted));
    EXPECT_TRUE(Near(BmpPixel(b, 1344, 680, 17 + 149, 146 + 149), kPainted));
    EXPECT_TRUE(Near(BmpPixel(b, 1344, 680, 17 + 151, 146 + 151), kLeftPane));
    EXPECT_TRUE(Near(BmpPixel(b, 1344, 680, 1000, 400), kRightPane));
    EXPECT_TRUE(Near(BmpPixel(b, 1344, 680, 670, 400), kBackground));
    // The unused fourth byte of every pixel is 0.
    for (size_t at = 57; at < b.size(); at += 4 * 997) EXPECT_EQ(b[at], 0) << at;
}

TEST(WindowShot, AFileThatCannotBeCreatedIsReportedAndLeavesNoFile) {
    ShotWindow w;
    std::vector<wxString> messages;
    plat::SetMessageBoxHook([&](const wxString& text, const wxString&, UINT) {
        messages.push_back(text);
        return IDOK;
    });

    const wxString missingFolder = TempPath("no-such-folder/shot.bmp");
    EXPECT_FALSE(SaveWindowAsBmp(w.win, missingFolder));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].Find(missingFolder), wxNOT_FOUND);
    EXPECT_FALSE(wxFileExists(missingFolder));

    // A hidden window shows nothing to copy.
    w.win->Hide();
    const wxString hidden = TempPath("hidden.bmp");
    EXPECT_FALSE(SaveWindowAsBmp(w.win, hidden));
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_FALSE(wxFileExists(hidden));
    plat::SetMessageBoxHook({});
}
