#include "controls/SkinButton.h"

#include "platform/ui/ModalPointer.h"

CSkinButton::CSkinButton() = default;

CSkinButton::~CSkinButton() {
    // Its window closing under a held button (the window manager's close, a
    // device change) must not leave the capture with a window that is gone.
    if (HasCapture()) ReleaseMouse();
}

bool CSkinButton::Create(wxWindow* parent, int id, const wxRect& rect, const wxString& text, long /*style*/) {
    // Every pixel is ours: no system background is painted under the picture.
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    if (!wxControl::Create(parent, id, rect.GetPosition(), rect.GetSize(), wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE))
        return false;
    SetLabel(text);
    Bind(wxEVT_LEFT_DOWN, &CSkinButton::OnLeftDown, this);
    Bind(wxEVT_LEFT_DCLICK, &CSkinButton::OnLeftDClick, this);
    Bind(wxEVT_LEFT_UP, &CSkinButton::OnLeftUp, this);
    Bind(wxEVT_MOTION, &CSkinButton::OnMotionWhileHeld, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, &CSkinButton::OnCaptureLost, this);
    // A window going modal over ours (the station over the start page) takes
    // the pointer away without the leave the button's hover waits for.
    plat::LeaveWhenShutOffByModalRuns(this);
    return true;
}

void CSkinButton::SendClick() {
    wxCommandEvent click(wxEVT_BUTTON, GetId());
    click.SetEventObject(this);
    ProcessWindowEvent(click);
}

void CSkinButton::BeginPress() {
    m_bHeld = true;
    m_bPressed = true;
    if (!HasCapture()) CaptureMouse();
    OnPressBegin();
    Refresh(false);
}

void CSkinButton::EndHold() {
    m_bHeld = false;
    m_bPressed = false;
    if (HasCapture()) ReleaseMouse();
    Refresh(false);
}

void CSkinButton::OnLeftDown(wxMouseEvent& event) {
    // GTK reports the second click of a double click both as a press and as a
    // double click; the hold already begun makes the second report a no-op.
    if (!m_bHeld) BeginPress();
    event.Skip();
}

void CSkinButton::OnLeftDClick(wxMouseEvent& event) {
    if (!m_bHeld) BeginPress();
    event.Skip();
}

void CSkinButton::OnLeftUp(wxMouseEvent& event) {
    event.Skip();
    if (!m_bHeld) return;
    const bool inside = GetClientRect().Contains(event.GetPosition());
    EndHold();
    if (inside) SendClick();
}

void CSkinButton::OnMotionWhileHeld(wxMouseEvent& event) {
    event.Skip();
    if (!m_bHeld) return;
    const bool inside = GetClientRect().Contains(event.GetPosition());
    if (inside != m_bPressed) {
        m_bPressed = inside;
        Refresh(false);
    }
}

void CSkinButton::OnCaptureLost(wxMouseCaptureLostEvent&) {
    m_bHeld = false;
    m_bPressed = false;
    Refresh(false);
}
