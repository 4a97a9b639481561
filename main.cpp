// The program's entry: wx starts the user-interface thread and hands over to
// the application object, whose start-up runs the start page modally.  The
// program ends when that run ends, with the application object's exit code.
#include <memory>

#include <wx/app.h>

#include "app/QuillmarshApp.h"
#include "app/StartPageDlg.h"
#include "platform/CrossThread.h"

// The start page's windows are wired here, where the executable surely links
// them (a maker set only by a static initialiser in a library's object file
// is lost when nothing else pulls that file in).  The windows' files may land
// after this one, hence the checks.
#if __has_include("station/QuillmarshDlg.h")
#include "station/QuillmarshDlg.h"
#define QUILL_HAVE_STATION_WINDOW 1
#endif
#if __has_include("customers/UserDataDlg.h")
#include "customers/UserDataDlg.h"
#define QUILL_HAVE_CUSTOMER_LIST 1
#endif

namespace {

void WireStartPageWindows() {
#ifdef QUILL_HAVE_STATION_WINDOW
    g_makeStationWindow = []() -> std::unique_ptr<plat::CDialog> { return std::make_unique<CQuillmarshDlg>(nullptr); };
#endif
#ifdef QUILL_HAVE_CUSTOMER_LIST
    g_makeCustomerList = []() -> std::unique_ptr<plat::CDialog> { return std::make_unique<CUserDataDlg>(nullptr); };
#endif
}

}  // namespace

class QuillmarshWxApp : public wxApp {
public:
    bool OnInit() override {
        plat::SetUiThread();
        WireStartPageWindows();
        theApp.InitInstance();
        m_exitCode = theApp.ExitInstance();
        return true;
    }
    // Everything ran inside OnInit: there is no main loop to run after it.
    int OnRun() override { return m_exitCode; }

private:
    int m_exitCode = 0;
};

wxIMPLEMENT_APP(QuillmarshWxApp);
