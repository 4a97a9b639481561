// Message boxes as tests and end-to-end runs see them, and the screen metrics
// the full-screen layouts are computed from.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <wx/filename.h>

#include "platform/MessageBox.h"
#include "platform/ScreenMetrics.h"

TEST(MessageBox, TheHookAnswersWithTextCaptionAndType) {
    wxString text, caption;
    UINT type = 0;
    plat::SetMessageBoxHook([&](const wxString& t, const wxString& c, UINT ty) {
        text = t;
        caption = c;
        type = ty;
        return IDNO;
    });
    EXPECT_EQ(MessageBox(nullptr, L"删除该记录？", "error", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(text, wxString(L"删除该记录？"));
    EXPECT_EQ(caption, "error");
    EXPECT_EQ(type, MB_YESNO | MB_ICONQUESTION);
    // The application's box gets the exclamation icon when it names none.
    EXPECT_EQ(AfxMessageBox(L"请输入一个整数。"), IDNO);
    EXPECT_EQ(type, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(caption, "quillmarsh");
    plat::SetMessageBoxHook({});
}

TEST(MessageBox, TheLogGetsOneUtf8LinePerMessageAndTheDefaultAnswer) {
    wxString path = wxFileName::CreateTempFileName("msglog");
    ASSERT_FALSE(path.empty());
    setenv("QUILLMARSH_MESSAGE_LOG", path.utf8_str(), 1);
    EXPECT_EQ(AfxMessageBox(L"所选语言包丢失，请重新安装本程序！"), IDOK);
    EXPECT_EQ(AfxMessageBox("Delete?\nSure", MB_YESNO), IDYES);
    EXPECT_EQ(MessageBox(nullptr, "third", "caption", MB_OKCANCEL), IDOK);
    unsetenv("QUILLMARSH_MESSAGE_LOG");

    std::ifstream in(path.utf8_str().data(), std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    EXPECT_EQ(all.str(), "所选语言包丢失，请重新安装本程序！\nDelete?\\nSure\nthird\n");
    wxRemoveFile(path);
}

TEST(ScreenMetrics, ABottomPanelIsTheTaskbarAndShortensTheFullScreenHeight) {
    auto m = plat::ComputeScreenMetrics(wxRect(0, 0, 1920, 1080), wxRect(0, 0, 1920, 1040));
    EXPECT_EQ(m.cxScreen, 1920);
    EXPECT_EQ(m.cyScreen, 1080);
    EXPECT_EQ(m.cyFullScreen, 1017);
    EXPECT_TRUE(m.hasTaskbar);
    EXPECT_EQ(m.taskbar, wxRect(0, 1040, 1920, 40));
}

TEST(ScreenMetrics, NoPanelMeansAnEmptyTaskbar) {
    auto m = plat::ComputeScreenMetrics(wxRect(0, 0, 1280, 1024), wxRect(0, 0, 1280, 1024));
    EXPECT_EQ(m.cyFullScreen, 1001);
    EXPECT_FALSE(m.hasTaskbar);
    EXPECT_TRUE(m.taskbar.IsEmpty());
}

TEST(ScreenMetrics, PanelsAtTheTopOrSideAreFoundToo) {
    auto top = plat::ComputeScreenMetrics(wxRect(0, 0, 1920, 1080), wxRect(0, 32, 1920, 1048));
    EXPECT_EQ(top.taskbar, wxRect(0, 0, 1920, 32));
    EXPECT_EQ(top.cyFullScreen, 1025);
    auto left = plat::ComputeScreenMetrics(wxRect(0, 0, 1920, 1080), wxRect(64, 0, 1856, 1080));
    EXPECT_EQ(left.taskbar, wxRect(0, 0, 64, 1080));
    auto right = plat::ComputeScreenMetrics(wxRect(0, 0, 1920, 1080), wxRect(0, 0, 1856, 1080));
    EXPECT_EQ(right.taskbar, wxRect(1856, 0, 64, 1080));
}

TEST(ScreenMetrics, TheOverrideFeedsGetSystemMetrics) {
    auto m = plat::ComputeScreenMetrics(wxRect(0, 0, 960, 720), wxRect(0, 0, 960, 680));
    plat::SetScreenMetricsOverride(&m);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 960);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 720);
    EXPECT_EQ(GetSystemMetrics(SM_CYFULLSCREEN), 657);
    plat::SetScreenMetricsOverride(nullptr);
}
