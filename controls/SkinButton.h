#pragma once
// Common behaviour of the station's self-drawn push buttons: two-step creation
// in place of a dialog template's control, the pressed state while the left
// button is held over the control, the click sent to the owner as
// wxEVT_BUTTON with the control's id (how the dialogs bind their click
// handlers), and wxEVT_LEAVE_WINDOW when another window's modal run takes the
// pointer from the button.
#include <wx/control.h>

#include "platform/WinTypes.h"

// Item state bits handed to the buttons' DrawItem.
constexpr UINT ODS_SELECTED = 0x0001;
constexpr UINT ODS_DISABLED = 0x0004;
constexpr UINT ODS_FOCUS = 0x0010;

class CSkinButton : public wxControl {
public:
    CSkinButton();
    // A button destroyed while held lets go of the mouse first.
    ~CSkinButton() override;

    // Creates the window at `rect` in the parent's client coordinates with the
    // caption `text`.  `style` carries the template's own style bits, which a
    // self-drawn button has no use for; it is accepted for the template's sake.
    bool Create(wxWindow* parent, int id, const wxRect& rect, const wxString& text, long style);

    // TRUE while the left button is held down with the pointer over the control.
    bool IsPressed() const { return m_bPressed; }

protected:
    // A press has begun: the button went down, or the second click of a
    // double click arrived (a quick second click acts as a second press).
    virtual void OnPressBegin() {}

    void SendClick();

    bool m_bPressed = false;   // shown pressed
    bool m_bHeld = false;      // the left button went down on us and is not yet up

private:
    void BeginPress();
    void EndHold();
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftDClick(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnMotionWhileHeld(wxMouseEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);
};
