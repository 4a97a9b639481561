#include "platform/ui/BusyWait.h"

#include <algorithm>

#include <wx/app.h>
#include <wx/eventfilter.h>
#include <wx/utils.h>

#include "platform/CrossThread.h"

namespace plat {

namespace {

// Takes the operator's input off every window while it lives.  An event it
// takes counts as handled, so the toolkit's own widgets do not act on it
// either (a button's press, a key typed into an edit).
class InputDropper : public wxEventFilter {
public:
    InputDropper() { wxEvtHandler::AddFilter(this); }
    ~InputDropper() override { wxEvtHandler::RemoveFilter(this); }
    InputDropper(const InputDropper&) = delete;
    InputDropper& operator=(const InputDropper&) = delete;

    int FilterEvent(wxEvent& event) override {
        if (dynamic_cast<wxMouseEvent*>(&event) || dynamic_cast<wxKeyEvent*>(&event)) return Event_Processed;
        if (auto* close = dynamic_cast<wxCloseEvent*>(&event); close && close->CanVeto()) {
            close->Veto();
            return Event_Processed;
        }
        return Event_Skip;
    }
};

}  // namespace

bool WaitKeepingWindowsAlive(const std::function<bool()>& done, std::chrono::milliseconds bound) {
    if (!wxTheApp || !wxTheApp->IsGUI()) return WaitServingSends(done, bound);
    const auto deadline = std::chrono::steady_clock::now() + bound;
    wxBusyCursor busy;
    InputDropper dropper;
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        const auto slice = std::min<std::chrono::steady_clock::duration>(deadline - now, std::chrono::milliseconds(5));
        if (WaitServingSends(done, std::chrono::duration_cast<std::chrono::milliseconds>(slice))) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        // Inside another yield this does nothing, and the wait only serves sends.
        wxTheApp->Yield(true);
    }
}

}  // namespace plat
