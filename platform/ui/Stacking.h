#pragma once
// Which of the program's top-level windows lies over which.
//
// Without a window manager (the station runs full screen, often with none)
// the X server stacks windows only as clients ask: a window that is raised
// lands on top of everything, its owned windows included, and a window that
// takes the keyboard focus with gtk_window_present is raised as well.  A
// window manager keeps a transient window above the window it is transient
// for by itself, so there nothing is restacked by hand.
#include <functional>

#include <wx/window.h>

typedef struct _GtkWidget GtkWidget;
typedef struct _GdkEventConfigure GdkEventConfigure;

namespace plat {

// Keeps the top-level window `upper` directly above the top-level `lower`
// while the object lives: `upper` is transient for `lower` (set again each
// time `upper` is mapped, since the toolkit sets an owner of its own before
// showing a modal dialog) and, without a window manager, it is restacked
// above `lower` when it is mapped and whenever `lower`'s place in the
// stacking order changes.  `lowerMoved`, when given, runs with `lower`'s
// place on the screen as the window manager (or the X server) reports it,
// at each configure notification of `lower`.  `upperPlaced`, when given, runs
// with `upper`'s place on the screen at the first configure notification of
// `upper` after each time it is mapped: where the window manager put it, which
// may not be where it was asked to go (a window manager pulls a new window
// that reaches past the screen's edge back onto the screen).
class KeptAbove {
public:
    KeptAbove(wxWindow* upper, wxWindow* lower, std::function<void(const wxPoint&)> lowerMoved = {},
              std::function<void(const wxPoint&)> upperPlaced = {});
    ~KeptAbove();
    KeptAbove(const KeptAbove&) = delete;
    KeptAbove& operator=(const KeptAbove&) = delete;

private:
    static int OnLowerConfigured(GtkWidget* lower, GdkEventConfigure* event, KeptAbove* self);
    static int OnUpperConfigured(GtkWidget* upper, GdkEventConfigure* event, KeptAbove* self);
    static void OnUpperMapped(KeptAbove* self);
    void Apply();

    GtkWidget* m_upper;  // held
    GtkWidget* m_lower;  // held
    unsigned long m_configured = 0, m_mapped = 0, m_upperConfigured = 0;
    std::function<void(const wxPoint&)> m_lowerMoved;
    std::function<void(const wxPoint&)> m_upperPlaced;
    bool m_placing = false;  // mapped, and no configure notification since
};

// Makes the created top-level window `window` an owned window of the
// top-level `owner`, kept directly above it as above, until `window` is
// destroyed.
void KeepAboveOwner(wxWindow* window, wxWindow* owner, std::function<void(const wxPoint&)> ownerMoved = {},
                    std::function<void(const wxPoint&)> placed = {});

// Brings the shown top-level window `topLevel` to the front.  With a window
// manager it is activated (raised and given the keyboard focus).  Without one
// it is only raised: taking the focus would end the server's focus that
// follows the pointer, and from then on every click on another of the
// program's windows would raise that window to take the focus back.
void BringToFront(wxWindow* topLevel);

}  // namespace plat
