// The program's entry: wx starts the user-interface thread and hands over to
// the application object, whose start-up runs the start page modally.  The
// program ends when that run ends, with the application object's exit code.
#include <memory>

#include <opencv2/core/utility.hpp>
#include <wx/app.h>

#include "app/QuillmarshApp.h"
#include "platform/CrossThread.h"

class QuillmarshWxApp : public wxApp {
public:
    bool OnInit() override {
        plat::SetUiThread();
        // The picture path runs one frame at a time on the capture thread; the
        // image library's worker threads only added hand-overs, and their idle
        // spinning (sched_yield) cost more than the work they shared.
        cv::setNumThreads(0);
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
