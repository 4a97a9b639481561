#include "platform/ui/ModalRuns.h"

#include <memory>
#include <vector>

#include <gtk/gtk.h>
#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/modalhook.h>
#include <wx/weakref.h>

#include "platform/ui/ModalPointer.h"
#include "platform/ui/Stacking.h"

namespace plat {

namespace {

struct StandIn {
    wxWeakRef<wxWindow> window;
    wxWeakRef<wxWindow> owner;
    bool shutOff = false;
};

// Back in the window group the modal runs grab (the toolkit's default one):
// the current modal dialog takes its input, as it takes its owner's.
void ShutOff(wxWindow* window) {
    GtkWidget* widget = window->GetHandle();
    if (!widget || !GTK_IS_WINDOW(widget)) return;
    GtkWindow* gtkWindow = GTK_WINDOW(widget);
    if (gtk_window_has_group(gtkWindow)) gtk_window_group_remove_window(gtk_window_get_group(gtkWindow), gtkWindow);
}

class ModalRunWatch : public wxModalDialogHook {
public:
    std::vector<StandIn> standIns;

protected:
    int Enter(wxDialog* dialog) override {
        auto run = std::make_unique<Run>();
        run->dialog = dialog;
        // A dialog whose run goes through its base class's run too is
        // looked after once, by its outer run.
        bool again = false;
        for (const auto& r : m_runs) again = again || r->dialog == dialog;
        if (!again) {
            std::erase_if(standIns, [](const StandIn& s) { return !s.window; });
            for (StandIn& s : standIns) {
                if (s.shutOff || s.owner == dialog || s.window == dialog || !s.window->IsShown()) continue;
                ShutOff(s.window);
                s.shutOff = true;
                run->shutOff.emplace_back(s.window.get());
            }
            run->anchor = AnchorFor(dialog);
        }
        Run* raw = run.get();
        m_runs.push_back(std::move(run));
        if (raw->anchor) {
            if (dialog->GetHandle()) {
                raw->above = std::make_unique<KeptAbove>(dialog, raw->anchor);
            } else {
                // A native dialog builds its window inside its run.
                wxTheApp->CallAfter([this, raw] {
                    for (const auto& r : m_runs)
                        if (r.get() == raw && !r->above && r->anchor && r->dialog->GetHandle())
                            r->above = std::make_unique<KeptAbove>(r->dialog, r->anchor);
                });
            }
        }
        return wxID_NONE;
    }

    void Exit(wxDialog* dialog) override {
        for (auto it = m_runs.end(); it != m_runs.begin();) {
            --it;
            if ((*it)->dialog != dialog) continue;
            (*it)->above.reset();
            for (const auto& window : (*it)->shutOff) {
                if (!window) continue;
                KeepInputUnderModalRuns(window);
                for (StandIn& s : standIns)
                    if (s.window == window) s.shutOff = false;
            }
            m_runs.erase(it);
            return;
        }
    }

private:
    struct Run {
        wxDialog* dialog = nullptr;
        std::vector<wxWeakRef<wxWindow>> shutOff;
        wxWeakRef<wxWindow> anchor;  // the window the dialog is kept above
        std::unique_ptr<KeptAbove> above;
    };

    // Over another modal dialog: above that one.  Otherwise above the owner
    // the toolkit gives the dialog, or above the owner's stand-in children.
    wxWindow* AnchorFor(wxDialog* dialog) const {
        for (auto it = m_runs.rbegin(); it != m_runs.rend(); ++it)
            if ((*it)->anchor) return (*it)->dialog;
        wxWindow* owner = dialog->GetParentForModalDialog();
        if (!owner) return nullptr;
        wxWindow* top = owner;
        for (const StandIn& s : standIns)
            if (s.window && s.owner == owner && s.window->IsShown()) top = s.window;
        return top;
    }

    std::vector<std::unique_ptr<Run>> m_runs;  // the innermost last
};

ModalRunWatch& Watch() {
    // Never destroyed: it stays registered with the toolkit until the end.
    static ModalRunWatch* watch = [] {
        auto* w = new ModalRunWatch;
        w->Register();
        return w;
    }();
    return *watch;
}

}  // namespace

void WatchModalRuns() { Watch(); }

void ShutOffWithOwner(wxWindow* window, wxWindow* owner) {
    if (!window || !owner) return;
    Watch().standIns.push_back({window, owner});
}

}  // namespace plat
