#pragma once
// The comparison window: a modeless child of the station window lying over its
// view.  The left pane shows the camera picture (live frames rendered into it
// by the station's frame sink on the capture thread, or the frozen frame drawn
// by this window) with the operator's red strokes; the right pane shows the
// reference picture of the category chosen with five radio buttons.  Mode 0
// compares skin (pictures of standard/Scalp), any other mode hair
// (standard/Hair).
#include <array>
#include <memory>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/core/types_c.h>
#include <wx/cursor.h>
#include <wx/window.h>

#include "compare/StrokeList.h"
#include "platform/FrameSurface.h"
#include "platform/PictureJob.h"
#include "platform/Resources.h"
#include "platform/ScreenMetrics.h"
#include "platform/ui/Dialog.h"

class CComPareDLg;
class wxDC;
class wxRadioButton;

// What the comparison window reads of the window that opened it (its parent
// window implements this).  User-interface thread.
class CCompareHost {
public:
    virtual ~CCompareHost() = default;
    // The station's view is live (m_bLive); while it is frozen the comparison
    // window draws the last frame itself.
    virtual bool IsViewLive() const = 0;
    // A copy of the station's last frame (m_pFrame), 8-bit B, G, R, taken
    // under the frame lock; empty when there is none.
    virtual cv::Mat CopyLastFrame() const = 0;
    // The current customer's image folder (m_strImageDir).
    virtual wxString GetImageDir() const = 0;
    // The window manager asked to close the comparison window (Alt+F4, the
    // close of a taskbar or window menu).  The window never closes itself:
    // the comparison ends as its host ends it.  By default it stays.
    virtual void OnCompareCloseRequest(CComPareDLg* dlg) {}
};

// Where the comparison window and its controls go on a screen.
struct CompareLayout {
    wxRect window;     // in the parent's client coordinates
    wxRect leftPane;   // in the comparison window's client coordinates
    wxRect rightPane;
    // The radio buttons in category order (1030, 1028, 1031, 1032, 1033).
    std::array<wxRect, 5> radios;
};
// The window and its panes follow the 842 x 400 grid of the background
// picture scaled to the screen; the radio buttons (each radioSize) stand in
// one row directly above the right pane, right-aligned with it.
CompareLayout ComputeCompareLayout(const plat::ScreenMetrics& metrics, const wxSize& radioSize);

// The right pane: the chosen reference picture, smoothly scaled to fill it.
class CReferencePane : public wxWindow {
public:
    CReferencePane() = default;
    bool Create(wxWindow* parent, int id, const wxRect& rect, const wxString& text = wxString(), long style = 0);
    // An empty picture leaves only the pane's frame.  User-interface thread.
    void SetPicture(const cv::Mat& bgr);
    const cv::Mat& GetPicture() const { return m_picture; }

private:
    void OnPaint(wxPaintEvent& event);

    cv::Mat m_picture;
    wxBitmap m_scaled;  // m_picture at the size it was last painted
};

namespace plat {
extern const DlgTemplate kComPareTemplate;
}

class CComPareDLg : public plat::CDialog {
public:
    enum { IDD = 132 };
    static constexpr int IDC_RADIO_HEALTHY = 1030;
    static constexpr int IDC_RADIO_2 = 1028;
    static constexpr int IDC_RADIO_3 = 1031;
    static constexpr int IDC_RADIO_4 = 1032;
    static constexpr int IDC_RADIO_OTHER = 1033;
    static constexpr int IDC_LEFT_PANE = 1016;
    static constexpr int IDC_REFERENCE = 1017;
    static constexpr int kCategories = 5;
    static constexpr int kOther = 4;
    // The radio ids in category order.
    static const std::array<int, kCategories> kRadioIds;
    // The "Other" file dialog's filter.
    static const wxString kOtherFilter;

    CComPareDLg(int mode, wxWindow* parent);
    ~CComPareDLg() override;

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    // Enter and Escape are swallowed: the window never closes itself.
    BOOL PreTranslateMessage(MSG* pMsg) override;
    // The window manager's close goes to the host, which ends the comparison.
    void OnClose() override;

    // Capture thread (under the station's frame lock): the live frame
    // stretched into the left pane with the strokes over it, one repaint.
    void DrawLiveFrame(IplImage* frame);
    // The client area as a 32-bit BMP, then the shutter sound; FALSE (the
    // operator told, no sound, no file) when it could not be written.
    BOOL SaveWindowAsBmp(const wxString& path);

    // Reads the category from the radio buttons, shows its picture in the
    // right pane and, while the station is frozen, draws the frozen frame and
    // the strokes into the left pane.  Also what a category click does.
    void OnPaint();
    void OnBnClickedRadio();
    // Double-click on the right pane: with "Other" chosen, lets the operator
    // pick a picture file for it.  The file is decoded off the user-interface
    // thread and shown (or the stand-in) when done; a newer pick replaces a
    // decode still running.
    void OnStnDblclickReference();

    // Mouse handlers; positions in screen coordinates (the cursor's).
    void OnLButtonDown(const wxPoint& screen);
    void OnMouseMove(const wxPoint& screen);
    void OnLButtonUp();
    // The pen cursor over the left pane while the pen is on, else the arrow.
    BOOL OnSetCursor(const wxPoint& screen);

    // `bitmap` drops its picture and takes the picture file's (through the
    // picture loader: BMP, PNG or JPEG, reduced to `fit` when given and the
    // picture is larger), or the stand-in bitmap of the language (174 for
    // index 0) when the loader refuses the file.  False only when neither
    // could be had.
    static bool LoadBitmapFromFile(wxString path, cv::Mat* bitmap, cv::Size fit = cv::Size());
    // The stand-in for a reference that cannot be shown, in the window's language.
    static cv::Mat StandInPicture();
    // Radio caption of a category by mode and language index; empty for a
    // language without captions.
    static wxString CategoryCaption(int mode, int language, int index);
    // The backgrounds of both modes, the "Other" placeholder and the stand-in
    // of a language (0-3).
    static std::vector<plat::ResourceRef> LanguagePictures(int language);
    // File name of a category's reference picture; empty for "Other".
    static wxString ReferenceFileName(int mode, int index);
    // The folder of the reference pictures of a mode, from the base folder.
    static wxString ReferenceFolder(const wxString& base, int mode);

    const wxCursor& GetPenCursor() const { return m_penCursor; }

    int m_nMode;
    std::array<cv::Mat, kCategories> m_bmpReference;  // 8-bit B, G, R
    CStrokeList m_strokes;
    BOOL m_bStroking = FALSE;
    wxString m_strOtherPath;
    BOOL m_bDrawEnabled = FALSE;  // the pen; flipped by the station's pen button
    wxRadioButton* m_radioHealthy = nullptr;
    int m_nRadio = 0;

    plat::CFrameSurface m_paneLive;  // 1016
    CReferencePane m_paneReference;  // 1017

protected:
    // Asks for the "Other" file, starting in `folder`; false on cancel.
    virtual bool AskOtherFile(const wxString& folder, wxString& path);

private:
    CCompareHost* Host() const;
    // The language index of the start page (0 without one).
    static int Language();
    // The left pane's client area contains the screen point.
    bool InLeftPane(const wxPoint& screen, wxPoint* pane = nullptr) const;
    void DrawFrozenPane();
    // The picture (none: only the strokes) stretched over the left pane's
    // buffer, the strokes over it.  Any thread.
    void RenderLeftPane(IplImage* picture);
    void PaintBackground(wxPaintEvent& event);
    void BindPaneMouse(wxWindow* window);
    // The "Other" file is decoded: shown, or the stand-in for it.
    void OtherDecoded(const plat::PictureJobResult& result);

    plat::FrameSurfaceRef m_liveRef;  // for the capture thread
    // Gone with the window: tells a handler whether a nested loop deleted it.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    wxCursor m_penCursor;
    wxBitmap m_background;            // the background stretched to the client size
    int m_backgroundId = 0;
    plat::PictureJob m_otherJob;      // the "Other" file's decode
};
