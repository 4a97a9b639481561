// The comparison window's layout from the screen and the loading of its
// reference pictures, without a display.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <utility>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <wx/filename.h>
#include <wx/image.h>
#include <wx/utils.h>

#include "compare/ComPareDlg.h"
#include "platform/Resources.h"

namespace {

plat::ScreenMetrics Screen(int cx, int cyFull) {
    plat::ScreenMetrics m;
    m.cxScreen = cx;
    m.cyScreen = cyFull + 63;
    m.cyFullScreen = cyFull;
    return m;
}

// The radio size the template gives: 60 x 17 dialog units.
const wxSize kRadio(90, 28);

cv::Mat StandIn() {
    wxImage image;
    EXPECT_TRUE(plat::LoadResourceImage(174, plat::RT_BITMAP, image));
    cv::Mat rgb(image.GetHeight(), image.GetWidth(), CV_8UC3, image.GetData());
    cv::Mat bgr;
    cv::cvtColor(rgb, bgr, cv::COLOR_RGB2BGR);
    return bgr;
}

bool SameImage(const cv::Mat& a, const cv::Mat& b) {
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0;
}

}  // namespace

TEST(CompareLayout, FullHdScreenWithPanelGivesTheWorkedExample) {
    const CompareLayout l = ComputeCompareLayout(Screen(1920, 1017), kRadio);
    EXPECT_EQ(l.window, wxRect(288, 113, 1344, 680));
    EXPECT_EQ(l.leftPane, wxRect(17, 146, 660 - 17, 656 - 146));
    EXPECT_EQ(l.rightPane, wxRect(679, 146, 1323 - 679, 656 - 146));
    // One row right-aligned with the right pane, standing on its top edge.
    const int xs[5] = {1323 - 5 * 90, 1323 - 4 * 90, 1323 - 3 * 90, 1323 - 2 * 90, 1323 - 90};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(l.radios[i], wxRect(xs[i], 146 - 28, 90, 28)) << i;
}

TEST(CompareLayout, SmallScreenTruncatesEveryDivision) {
    // 1024 x 768 with no panel: SM_CYFULLSCREEN = 768 - 23.
    const CompareLayout l = ComputeCompareLayout(Screen(1024, 745), kRadio);
    // x = 153, y = 82, w = 870 - 153 = 717; h = trunc(340.52 + 113) - 82 = 371.
    EXPECT_EQ(l.window, wxRect(153, 82, 717, 371));
    // t = 79, b = 358; left 9..352, right 362..705.
    EXPECT_EQ(l.leftPane, wxRect(9, 79, 343, 279));
    EXPECT_EQ(l.rightPane, wxRect(362, 79, 343, 279));
    EXPECT_EQ(l.radios[0].GetLeft(), 705 - 450);
    EXPECT_EQ(l.radios[4].GetRight(), 704);
}

class ReferenceFiles : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = wxFileName::GetTempDir() + wxString::Format("/cmp-ref-%lu-", wxGetProcessId());
    }
    void TearDown() override {
        for (const wxString& f : m_files) wxRemoveFile(f);
    }
    wxString Write(const wxString& name, const std::string& bytes) {
        const wxString path = m_dir + name;
        std::ofstream(path.utf8_string(), std::ios::binary) << bytes;
        m_files.push_back(path);
        return path;
    }
    wxString m_dir;
    std::vector<wxString> m_files;
};

// The picture loader's: a picture is known by its bytes, whatever its name.
TEST_F(ReferenceFiles, APictureFileIsTakenAndAnythingElseShowsTheStandIn) {
    cv::Mat picture(30, 40, CV_8UC3, cv::Scalar(10, 120, 230));
    picture(cv::Rect(0, 0, 5, 5)).setTo(cv::Scalar(255, 255, 255));
    const wxString bmp = m_dir + "good.bmp";
    ASSERT_TRUE(cv::imwrite(bmp.utf8_string(), picture));
    m_files.push_back(bmp);
    std::vector<uchar> pngBytes;
    cv::imencode(".png", picture, pngBytes);
    const wxString disguised = Write("png.bmp", std::string(pngBytes.begin(), pngBytes.end()));
    for (const wxString& path : {bmp, disguised}) {
        cv::Mat held(5, 5, CV_8UC3, cv::Scalar::all(7));
        EXPECT_TRUE(CComPareDLg::LoadBitmapFromFile(path, &held));
        EXPECT_TRUE(SameImage(held, picture)) << path;
    }

    // A truncated bitmap, a bitmap of 12000 x 12000 pixels (432 MB, never
    // read: it is past the loader's limit), an empty file, a missing file and
    // a folder all fall back to bitmap 174.
    const wxString truncated = Write("short.bmp", std::string("BM\x36\x10\x0e\x00", 6));
    std::string header(54, '\0');
    for (const auto& [at, value] : {std::pair{0, 0x4D42u}, {10, 54u}, {14, 40u}, {18, 12000u}, {22, 12000u}, {26, 1u | (24u << 16)}})
        for (int i = 0; i < 4; ++i) header[at + i] = static_cast<char>(value >> (8 * i));
    const wxString huge = Write("huge.bmp", header);
    ASSERT_EQ(::truncate(huge.utf8_string().c_str(), 54 + 12000 * 12000 * 3), 0);
    const wxString empty = Write("empty.bmp", "");
    const cv::Mat standIn = StandIn();
    ASSERT_EQ(standIn.size(), cv::Size(400, 295));
    for (const wxString& path : {truncated, huge, empty, m_dir + "missing.bmp", wxFileName::GetTempDir()}) {
        cv::Mat out = picture.clone();
        EXPECT_TRUE(CComPareDLg::LoadBitmapFromFile(path, &out)) << path;
        EXPECT_TRUE(SameImage(out, standIn)) << path;
    }
}

TEST(CompareTables, HairAndSkinFoldersAndFiles) {
    EXPECT_EQ(CComPareDLg::ReferenceFolder("/x/standard", 0), "/x/standard/Scalp");
    EXPECT_EQ(CComPareDLg::ReferenceFolder("/x/standard", 1), "/x/standard/Hair");
    // Any mode but 0 is hair.
    EXPECT_EQ(CComPareDLg::ReferenceFolder("/x/standard", 7), "/x/standard/Hair");
    EXPECT_EQ(CComPareDLg::ReferenceFileName(7, 3), "Irritated.bmp");
    EXPECT_TRUE(CComPareDLg::ReferenceFileName(0, 4).empty());
    EXPECT_TRUE(CComPareDLg::CategoryCaption(0, 4, 0).empty());
    EXPECT_TRUE(CComPareDLg::CategoryCaption(0, -1, 0).empty());
}
