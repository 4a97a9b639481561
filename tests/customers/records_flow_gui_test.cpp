// The operator's road through the real windows, by pointer and keyboard on
// the X display: the start page's records button, a customer added with a
// photo chosen in the file dialog, the customer clicked in the list, start
// detection, a snapshot taken in the station window that lands in the
// customer's folder, and back to the start page.
//
// The windows run their own modal loops on this thread; the operator is a
// worker thread that looks at them through the user-interface thread and
// acts through xdotool, as a person at the display would.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
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
#include "station/QuillmarshDlg.h"
#include "support/MessageRecorder.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

void Xdotool(const std::string& args) {
    const std::string command = "xdotool " + args + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) ADD_FAILURE() << command;
}

// Runs `fn` on the user-interface thread (from the operator's thread).
template <class Fn>
auto Ui(Fn fn) {
    using R = decltype(fn());
    if constexpr (std::is_void_v<R>) {
        plat::SendToUiThread([&] {
            fn();
            return LRESULT{0};
        });
    } else {
        R result{};
        plat::SendToUiThread([&] {
            result = fn();
            return LRESULT{0};
        });
        return result;
    }
}

// The operator: waits for what the windows show and acts on them.
class Operator {
public:
    // Waits until `done` holds on the user-interface thread; records a failure
    // named `what` when it does not within the bound.
    bool WaitFor(const char* what, const std::function<bool()>& done, std::chrono::seconds bound = 15s) {
        const auto end = std::chrono::steady_clock::now() + bound;
        while (!Ui(done)) {
            if (std::chrono::steady_clock::now() > end) {
                failures.push_back(std::string("waited in vain for ") + what);
                std::fprintf(stderr, "%s\n", failures.back().c_str());
                return false;
            }
            std::this_thread::sleep_for(50ms);
        }
        return true;
    }
    // Left-button clicks at the screen point `where` gives (on the user-interface thread).
    void ClickAt(const std::function<wxPoint()>& where, int clicks = 1) {
        const wxPoint p = Ui(where);
        if (p.x < 0) {
            failures.push_back("nothing to click");
            return;
        }
        Xdotool("mousemove --sync " + std::to_string(p.x) + " " + std::to_string(p.y));
        std::this_thread::sleep_for(100ms);
        Xdotool("click --repeat " + std::to_string(clicks) + " --delay 80 1");
        std::this_thread::sleep_for(200ms);
    }
    // Clicks in the middle of the window `window` gives.
    void Click(const std::function<wxWindow*()>& window, int clicks = 1) {
        ClickAt(
            [&] {
                wxWindow* w = window();
                return w ? w->ClientToScreen(wxPoint(w->GetClientSize().x / 2, w->GetClientSize().y / 2))
                         : wxPoint(-1, -1);
            },
            clicks);
    }
    void Type(const std::string& text) { Xdotool("type --delay 20 '" + text + "'"); }
    void Key(const std::string& keys) { Xdotool("key --delay 50 " + keys); }

    std::vector<std::string> failures;
};

CUserDataDlg* List() {
    return g_pStartPage ? dynamic_cast<CUserDataDlg*>(g_pStartPage->m_pUserDataDlg.get()) : nullptr;
}
bool Shown(wxWindow* w) { return w && w->IsShown(); }

// The file dialog while it is open (a native dialog: GTK knows it, wx's list
// of top-level windows does not).
GtkWidget* OpenFileDialog() {
    GtkWidget* found = nullptr;
    GList* all = gtk_window_list_toplevels();
    for (GList* it = all; it; it = it->next) {
        GtkWidget* w = GTK_WIDGET(it->data);
        if (GTK_IS_FILE_CHOOSER_DIALOG(w) && gtk_widget_get_visible(w)) found = w;
    }
    g_list_free(all);
    return found;
}

TEST(RecordsFlow, AddedCustomerWithPhotoIsExaminedInItsOwnFolder) {
    RecordsFolder folder;
    const std::string photo = folder.WritePhoto("pick/mia.bmp", 40, 160, 40);
    const std::string root = folder.Path() + "Guests-Image";
    fs::create_directories(root);
    theApp.m_strImageRoot = wxString::FromUTF8(root);
    station::SetShutterSoundForTesting([] {});
    MessageRecorder messages;

    const fs::path cwd = fs::current_path();
    fs::current_path(fs::path(photo).parent_path());
    CStartPageDlg page;
    Operator op;
    std::thread operatorThread([&] {
        auto stop = [&] {
            // Whatever was left open is closed, innermost first, so that the test ends.
            Ui([] {
                if (GtkWidget* d = OpenFileDialog()) gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_CANCEL);
            });
            std::this_thread::sleep_for(300ms);
            Ui([] {
                if (g_pMainDlg) g_pMainDlg->EndDialog(IDCANCEL);
            });
            std::this_thread::sleep_for(300ms);
            Ui([] {
                if (CUserDataDlg* l = List()) l->EndDialog(IDCANCEL);
            });
            std::this_thread::sleep_for(300ms);
            Ui([] {
                if (g_pMainDlg) g_pMainDlg->EndDialog(IDCANCEL);
            });
            std::this_thread::sleep_for(300ms);
            Ui([&] { page.EndDialog(IDCANCEL); });
        };
        if (!op.WaitFor("the start page", [&] { return page.IsShown() && page.GetDlgItem(1002); })) return stop();
        std::this_thread::sleep_for(300ms);
        op.Click([&] { return page.GetDlgItem(1002); });
        if (!op.WaitFor("the customer list", [] { return Shown(List()); })) return stop();
        std::this_thread::sleep_for(300ms);

        // Escape and Enter do not end the list.
        op.Click([] { return List()->GetDlgItem(1039); });
        op.Key("Escape Return");
        std::this_thread::sleep_for(300ms);
        if (!Ui([] { return Shown(List()); })) op.failures.push_back("Escape or Enter closed the list");

        // The form: name, age (its proposed 20 replaced), phone.
        op.Type("Mia Lund");
        op.Click([] { return List()->GetDlgItem(1047); });
        op.Key("ctrl+a");
        op.Type("35");
        op.Click([] { return List()->GetDlgItem(1041); });
        op.Type("5550101");

        // The photo, chosen in the file dialog: it opens in the current folder,
        // which holds the one picture, and Enter takes the file it shows first.
        op.Click([] { return List()->GetDlgItem(1037); }, 2);
        if (!op.WaitFor("the file dialog", [] { return OpenFileDialog() != nullptr; })) return stop();
        std::this_thread::sleep_for(1s);
        op.Key("Return");
        if (!op.WaitFor("the chosen photo",
                        [&] { return !OpenFileDialog() && List()->m_strPhotoPath == wxString::FromUTF8(photo); }))
            return stop();

        op.Click([] { return List()->GetDlgItem(1049); });
        if (!op.WaitFor("the new row", [] { return List()->m_listUsers->GetItemCount() == 1; })) return stop();

        // A click on the row loads it; start detection hands it over.
        op.ClickAt([] {
            wxRect row;
            List()->m_listUsers->GetItemRect(0, row);
            return List()->m_listUsers->ClientToScreen(wxPoint(row.x + 20, row.y + row.height / 2));
        });
        if (!op.WaitFor("the row in the form", [] { return List()->GetDlgItemText(1039) == "Mia Lund"; })) return stop();
        op.Click([] { return List()->GetDlgItem(1054); });

        if (!op.WaitFor("the station window", [] { return Shown(g_pMainDlg); })) return stop();
        // The camera: live controls shown, frames from this thread as a capture thread sends them.
        Ui([] {
            g_pMainDlg->ShowDlgItem(1013, false);
            g_pMainDlg->ShowLiveControls(TRUE);
        });
        cv::Mat frame(480, 640, CV_8UC3, cv::Scalar(30, 120, 200));
        IplImage header = cvIplImage(frame);
        for (int i = 0; i < 3; ++i) {
            CQuillmarshDlg::OnFrame(&header);
            std::this_thread::sleep_for(50ms);
        }
        std::this_thread::sleep_for(300ms);
        op.Click([] { return g_pMainDlg->GetDlgItem(1003); });
        if (!op.WaitFor("the snapshot", [&] {
                return fs::exists(fs::u8path(root + "/Mia Lund")) &&
                       !fs::is_empty(fs::u8path(root + "/Mia Lund"));
            }))
            return stop();
        op.Click([] { return g_pMainDlg->GetDlgItem(1012); });
        if (!op.WaitFor("the start page again", [&] { return !g_pMainDlg && !List() && page.IsShown(); }))
            return stop();
        Ui([&] { page.EndDialog(IDOK); });
    });

    const int end = page.DoModal();
    operatorThread.join();
    fs::current_path(cwd);
    station::SetShutterSoundForTesting({});
    theApp.m_strImageRoot.clear();

    for (const std::string& f : op.failures) ADD_FAILURE() << f;
    EXPECT_EQ(end, IDOK);
    EXPECT_EQ(page.m_bCustomerChosen, 0);
    EXPECT_EQ(messages.texts, std::vector<wxString>{theApp.GetLangString("IDS_ADD_SUCCESS")});
    EXPECT_EQ(folder.Rows("select Number, Name, Age, Phone, Photo from info"),
              (std::vector<std::vector<std::string>>{{"0001", "Mia Lund", "35", "5550101", folder.Bytes(photo)}}));
    std::vector<std::string> snapshots;
    if (fs::is_directory(fs::u8path(root + "/Mia Lund")))
        for (const auto& e : fs::directory_iterator(fs::u8path(root + "/Mia Lund")))
            snapshots.push_back(e.path().extension().string());
    EXPECT_EQ(snapshots, std::vector<std::string>{".bmp"});
    EXPECT_FALSE(fs::exists(root + "/Guest"));
}

}  // namespace
