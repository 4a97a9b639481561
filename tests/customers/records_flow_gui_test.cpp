// The operator's road through the real windows, by pointer and keyboard on
// the X display: the start page's records button, a customer added with a
// photo chosen in the file dialog, the customer clicked in the list and
// modified while another program changes it, start detection, a snapshot
// that lands in the customer's folder, and back.
//
// The windows run their modal loops on this thread; the operator is a worker
// thread that looks at them through the user-interface thread and acts
// through xdotool, as a person at the display would.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtk/gtk.h>
#include <opencv2/core.hpp>
#include <wx/listctrl.h>

#include "Records.h"
#include "app/QuillmarshApp.h"
#include "app/StartPageDlg.h"
#include "customers/UserDataDlg.h"
#include "platform/CrossThread.h"
#include "platform/PictureJob.h"
#include "platform/PictureLoader.h"
#include "station/QuillmarshDlg.h"
#include "support/MessageRecorder.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Runs `fn` on the user-interface thread and gives its result.
template <class Fn>
auto Ui(Fn fn) {
    decltype(fn()) result{};
    plat::SendToUiThread([&] {
        result = fn();
        return LRESULT{0};
    });
    return result;
}

CUserDataDlg* List() {
    return g_pStartPage ? dynamic_cast<CUserDataDlg*>(g_pStartPage->m_pUserDataDlg.get()) : nullptr;
}

// The file dialog while it is open (native: GTK knows it, wx's list of
// top-level windows does not).
GtkWidget* FileDialog() {
    GtkWidget* found = nullptr;
    GList* all = gtk_window_list_toplevels();
    for (GList* it = all; it; it = it->next)
        if (GTK_IS_FILE_CHOOSER_DIALOG(it->data) && gtk_widget_get_visible(GTK_WIDGET(it->data)))
            found = GTK_WIDGET(it->data);
    g_list_free(all);
    return found;
}

struct Operator {
    std::vector<std::string> failures;

    void Xdotool(const std::string& args) {
        if (std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()) != 0) failures.push_back(args);
    }
    bool WaitFor(const char* what, const std::function<bool()>& done) {
        for (const auto end = std::chrono::steady_clock::now() + 15s; !Ui(done);) {
            if (std::chrono::steady_clock::now() > end) {
                failures.push_back(std::string("waited in vain for ") + what);
                return false;
            }
            std::this_thread::sleep_for(50ms);
        }
        return true;
    }
    // Clicks at the screen point `where` gives (or in the middle of control
    // `id` of `dialog`).
    void ClickAt(const std::function<wxPoint()>& where, int clicks = 1) {
        const wxPoint p = Ui(where);
        Xdotool("mousemove --sync " + std::to_string(p.x) + " " + std::to_string(p.y));
        std::this_thread::sleep_for(100ms);
        Xdotool("click --repeat " + std::to_string(clicks) + " --delay 80 1");
        std::this_thread::sleep_for(200ms);
    }
    void Click(const std::function<plat::CDialog*()>& dialog, int id, int clicks = 1) {
        auto middle = [&] {
            const wxRect r = dialog()->GetDlgItem(id)->GetScreenRect();
            return r.GetPosition() + r.GetSize() / 2;
        };
        ClickAt(middle, clicks);
    }
    void Type(const std::string& text) { Xdotool("type --delay 20 '" + text + "'"); }
    void Key(const std::string& keys) { Xdotool("key --delay 50 " + keys); }
};

TEST(RecordsFlow, AddedCustomerWithPhotoIsExaminedInItsOwnFolder) {
    RecordsFolder folder;
    const std::string photo = folder.WritePhoto("pick/mia.bmp", 40, 160, 40);
    const std::string scan = folder.Path() + "scans/scan.jpg";  // a TIFF
    std::filesystem::create_directories(folder.Path() + "scans");
    std::ofstream(scan, std::ios::binary) << std::string("II*\0\x08\0\0\0", 8) << std::string(64, '\0');
    const fs::path customerFolder = fs::u8path(folder.Path() + "Guests-Image/MiaLund");
    fs::create_directories(folder.Path() + "Guests-Image");  // made by the program's start-up
    theApp.m_strImageRoot = wxString::FromUTF8(folder.Path() + "Guests-Image");
    station::SetShutterSoundForTesting([] {});
    // The file dialog opens in the current folder, which holds the one picture.
    const fs::path cwd = fs::current_path();
    fs::current_path(fs::path(photo).parent_path());
    MessageRecorder messages;
    CStartPageDlg page;
    Operator op;
    std::atomic<bool> held{false};
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> letGo{false};
    auto letItGo = [&] {
        if (!letGo.exchange(true)) release.set_value();
    };
    plat::PictureJob::SetStartHookForTesting([&](const std::string& path) {
        if (path != photo) return;
        held = true;
        released.wait();
    });
    auto startPage = [&]() -> plat::CDialog* { return &page; };
    auto list = []() -> plat::CDialog* { return List(); };
    auto station = []() -> plat::CDialog* { return g_pMainDlg; };

    auto firstRow = [] {
        wxRect row;
        List()->m_listUsers->GetItemRect(0, row);
        return List()->m_listUsers->ClientToScreen(wxPoint(row.x + 20, row.y + row.height / 2));
    };

    std::thread operatorThread([&] {
        auto road = [&] {
            if (!op.WaitFor("the start page", [&] { return page.IsShown(); })) return;
            op.Click(startPage, 1002);
            if (!op.WaitFor("the customer list", [] { return List() && List()->IsShown(); })) return;
            op.Click(list, 1039);
            op.Key("Escape Return");  // neither ends the list
            op.Type("Mia Lund");
            op.Click(list, 1047);
            op.Key("ctrl+a");
            op.Type("35");
            op.Click(list, 1041);
            op.Type("5550101");
            // A scan the box cannot show: said, and the no-photo picture stays chosen.
            op.Click(list, 1037, 2);
            if (!op.WaitFor("the file dialog", [] { return FileDialog() != nullptr; })) return;
            std::this_thread::sleep_for(1s);
            // Named in the dialog's own way: typed paths race its completion.
            Ui([&] { return gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(FileDialog()), scan.c_str()); });
            std::this_thread::sleep_for(500ms);
            op.Key("Return");
            if (!op.WaitFor("the refusal", [] { return List()->GetDlgItemText(1076).Contains("scan.jpg"); })) return;
            if (Ui([] { return List()->m_strPhotoPath != List()->m_strNoPhoto; })) op.failures.push_back("scan taken");
            op.Click(list, 1037, 2);
            if (!op.WaitFor("the file dialog", [] { return FileDialog() != nullptr; })) return;
            std::this_thread::sleep_for(1s);
            op.Key("Return");  // the picture the folder shows first
            // While its decode is held, the dialog takes what is typed.
            if (!op.WaitFor("the decode", [&] { return held.load(); })) return;
            op.Click(list, 1045);
            op.Type("held");
            if (!op.WaitFor("the remark", [] { return List()->GetDlgItemText(1045) == "held"; })) return;
            if (Ui([] { return List()->m_strPhotoPath != List()->m_strNoPhoto; })) op.failures.push_back("not held");
            letItGo();
            if (!op.WaitFor("the photo", [&] { return List()->m_strPhotoPath == wxString::FromUTF8(photo); })) return;
            op.Click(list, 1049);
            if (!op.WaitFor("the new row", [] { return List()->m_listUsers->GetItemCount() == 1; })) return;
            if (folder.Rows("select Photo from info")[0][0] != folder.Bytes(photo)) op.failures.push_back("photo");
            // With the photo up, Show all repaints the box and decodes nothing.
            int paints = 0;
            Ui([&] { return List()->GetDlgItem(1037)->Bind(wxEVT_PAINT, [&](wxPaintEvent& e) { ++paints, e.Skip(); }), 0; });
            const std::uint64_t decoded = plat::PicturesDecoded();
            op.Click(list, 1058);
            if (!op.WaitFor("a paint of the photo", [&] { return paints > 0; })) return;
            if (plat::PicturesDecoded() != decoded) op.failures.push_back("photo decoded again");
            // Another program stores the remark as bytes before the click and
            // a photo of its own after it: a Modify of the phone leaves both.
            folder.Execute("UPDATE info SET Remark = x'00FF'");
            op.ClickAt(firstRow);
            if (!op.WaitFor("the row in the form", [] { return List()->GetDlgItemText(1045) == "[BLOB]"; })) return;
            folder.Execute("UPDATE info SET Photo = x'0102'");
            op.Click(list, 1041);
            op.Key("ctrl+a");
            op.Type("5550102");
            op.Click(list, 1052);  // which also takes the space out of the name
            if (!op.WaitFor("the row stored", [&] { return folder.Rows("select Phone from info")[0][0] == "5550102"; }))
                return;
            op.ClickAt(firstRow);  // the reload dropped the selection
            if (!op.WaitFor("the row in the form", [] { return List()->GetDlgItemText(1039) == "MiaLund"; })) return;
            op.Click(list, 1054);

            if (!op.WaitFor("the station window", [] { return g_pMainDlg && g_pMainDlg->IsShown(); })) return;
            // A camera: live controls, and frames from this thread as a capture thread sends them.
            Ui([] {
                g_pMainDlg->ShowDlgItem(1013, false);
                g_pMainDlg->ShowLiveControls(TRUE);
                return 0;
            });
            cv::Mat frame(480, 640, CV_8UC3, cv::Scalar(30, 120, 200));
            IplImage header = cvIplImage(frame);
            CQuillmarshDlg::OnFrame(&header);
            std::this_thread::sleep_for(300ms);
            op.Click(station, 1003);
            auto snapshot = [&] { return fs::is_directory(customerFolder) && !fs::is_empty(customerFolder); };
            if (!op.WaitFor("the snapshot", snapshot)) return;
            op.Click(station, 1012);
            op.WaitFor("the start page again", [&] { return !g_pMainDlg && !List() && page.IsShown(); });
        };
        road();
        letItGo();
        // Whatever is still open closes, innermost first, so that the test ends.
        auto close = [](std::function<void()> step) {
            Ui([&] { return step(), 0; });
            std::this_thread::sleep_for(200ms);
        };
        close([] {
            if (GtkWidget* d = FileDialog()) gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_CANCEL);
        });
        for (int i = 0; i < 2; ++i) {  // the station may follow the list
            close([] {
                if (g_pMainDlg) g_pMainDlg->EndDialog(IDCANCEL);
            });
            close([] {
                if (List()) List()->EndDialog(IDCANCEL);
            });
        }
        close([&] { page.EndDialog(op.failures.empty() ? IDOK : IDCANCEL); });
    });
    EXPECT_EQ(page.DoModal(), IDOK);
    operatorThread.join();
    plat::PictureJob::SetStartHookForTesting({});
    fs::current_path(cwd);
    station::SetShutterSoundForTesting({});
    theApp.m_strImageRoot.clear();

    EXPECT_EQ(op.failures, std::vector<std::string>{});
    EXPECT_EQ(page.m_bCustomerChosen, 0);
    EXPECT_EQ(messages.texts, std::vector<wxString>{theApp.GetLangString("IDS_ADD_SUCCESS")});
    EXPECT_EQ(folder.Rows("select Number, Name, Age, Phone, Photo, Remark, typeof(Remark) from info"),
              (std::vector<std::vector<std::string>>{
                  {"0001", "MiaLund", "35", "5550102", "\x01\x02", std::string("\0\xFF", 2), "blob"}}));
    std::vector<std::string> snapshots;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(customerFolder, ec)) snapshots.push_back(e.path().extension().string());
    EXPECT_EQ(snapshots, std::vector<std::string>{".bmp"});
    EXPECT_FALSE(fs::exists(folder.Path() + "Guests-Image/Guest"));
}

}  // namespace
