#pragma once
// Picture control that shows a picture from memory and, when the picture is a
// GIF with several frames, plays it on a thread of its own (the station's
// waiting animation).
//
// The animation thread never touches the window: it renders into the
// control's own memory surface under the surface's mutex and posts a repaint;
// the user-interface thread copies the surface to the screen when it paints.
// The surface, the decoded frames and the play position live in a canvas that
// the control and its thread own together, so a thread that outlives the
// bounded wait of `Stop` still has everything it uses.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <wx/gdicmn.h>
#include <wx/image.h>
#include <wx/window.h>

#include "platform/WinTypes.h"

// A decoded picture: R, G, B bytes row by row and, when some pixels are not
// fully opaque, one opacity byte per pixel (0 transparent, 255 opaque).
struct TPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
    std::vector<std::uint8_t> alpha;  // empty: every pixel opaque
};

// Decodes a picture of any format the image library reads (a GIF gives its
// first frame).  Null when the data is not a picture.
std::shared_ptr<const TPixels> DecodePicture(const std::uint8_t* data, std::size_t len);

// One animation frame.
struct TFrame {
    std::shared_ptr<const TPixels> pPicture;
    wxSize frameSize;    // from the image descriptor
    wxSize frameOffset;  // left and top within the logical screen
    UINT nDelay = 0;     // hundredths; 0xFFFFFFFF without a control extension
    UINT nDisposal = 0;  // 0 without a control extension
};

// Largest side of a picture the control shows.
inline constexpr int kMaxPictureSide = 8192;
// Pixels that the decoded frames of one GIF may hold together.  A decoder
// allocates what an image descriptor announces, up to 65535 x 65535, however
// few bytes of data follow it.
inline constexpr std::uint64_t kMaxFramePixels = std::uint64_t{64} << 20;

// Splits GIF data into frames, each rebuilt as a single-frame GIF and decoded
// on its own; frames the decoder rejects, and frames that would take the
// decoded pixels past `maxPixels`, are left out.  Also gives the logical
// screen size and the number of graphic blocks found (which may be more than
// the frames kept).  False when the data is not a well-formed GIF start, its
// logical screen is empty or has a side beyond kMaxPictureSide, or a block
// runs past the end of the data.
bool LoadGifFrames(const std::uint8_t* data, std::size_t len, std::vector<TFrame>& frames, wxSize& screen,
                   int& graphicBlocks, std::uint64_t maxPixels = kMaxFramePixels);

// The composed picture and the play position, shared by the control and its
// animation thread.  Every member function may be called from any thread.
class CPictureCanvas {
public:
    CPictureCanvas(int cx, int cy, COLORREF clrFill, COLORREF clrBack);

    // The frames to play; set before play starts and not changed after.
    void SetFrames(std::vector<TFrame> frames) { m_frames = std::move(frames); }
    const std::vector<TFrame>& Frames() const { return m_frames; }

    // Renders a picture at (x, y) scaled to w x h, clipped to the surface,
    // honouring its transparency.
    void RenderPicture(const TPixels& picture, int x, int y, int w, int h);

    // Steps of the animation loop.
    // Completes the disposal of a frame whose play a stop cut short.
    void CompletePendingDisposal();
    // Saves the frame's area when its disposal restores it, then renders it.
    void ShowCurrentFrame();
    // Applies the current frame's disposal method (2 clears, 3 restores).
    void DisposeCurrentFrame();
    // Moves to the next frame; after the last, back to the first on a cleared
    // picture.
    void AdvanceFrame();
    // How long the current frame stays up.
    std::uint32_t CurrentDelayMs() const;

    int FrameIndex() const;
    // A copy of the composed picture.
    wxImage Snapshot() const;

    // A copy with the same frames, picture and position, for the control to
    // keep when a thread it could not stop goes on using this one.
    std::shared_ptr<CPictureCanvas> Clone() const;

    // Where repaint requests go.  The window is only touched on the
    // user-interface thread; null detaches (the window is going away).
    void SetOwner(wxWindow* owner);
    // Any thread: asks the owner for one repaint (coalesced).
    void RequestRepaint();

    std::atomic<bool> m_bPlaying{false};

private:
    void FillLocked(int x, int y, int w, int h, COLORREF clr);
    void RenderLocked(const TPixels& picture, int x, int y, int w, int h);
    void DeliverRepaint();

    const int m_width;
    const int m_height;
    const COLORREF m_clrBack;
    std::vector<TFrame> m_frames;

    mutable std::mutex m_mutex;  // guards everything below
    std::vector<std::uint8_t> m_surface;
    std::vector<std::uint8_t> m_saved;  // area kept for disposal method 3
    bool m_bHaveSaved = false;
    wxRect m_rcSaved;
    int m_nFrame = 0;
    bool m_bDisposalPending = false;  // the current frame is shown and not yet disposed

    std::mutex m_ownerMutex;
    wxWindow* m_pOwner = nullptr;
    bool m_bRepaintPending = false;
    std::weak_ptr<CPictureCanvas> m_self;
    friend std::shared_ptr<CPictureCanvas> MakeCanvas(int, int, COLORREF, COLORREF);
};

std::shared_ptr<CPictureCanvas> MakeCanvas(int cx, int cy, COLORREF clrFill, COLORREF clrBack);

// The stop signal of one run of the animation thread.  It is also the frame
// timer, so a stop interrupts a frame's wait at once.
class CStopEvent {
public:
    void Set();
    bool IsSet() const;
    // Waits up to `ms`; true when the event is (or becomes) set.
    bool WaitFor(std::uint32_t ms);
    // While the control is hidden the thread renders nothing: it waits here
    // until the control is shown again; true when the event is (or becomes) set.
    void SetPaused(bool paused);
    bool WaitWhilePaused();
    void MarkFinished();
    // Waits up to `ms` for the thread to finish; true when it has.
    bool WaitFinished(std::uint32_t ms);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bSet = false;
    bool m_bPaused = false;
    bool m_bFinished = false;
};

class CPictureEx : public wxWindow {
public:
    CPictureEx();
    ~CPictureEx() override;

    // Two-step creation, as the dialogs subclass their template controls.
    bool Create(wxWindow* parent, int id, const wxRect& rect, const wxString& text = wxString(), long style = 0);
    // Hiding the control holds its animation where it is; showing it goes on.
    bool Show(bool show = true) override;

    // Loads a resource of the executable (the waiting animation: 131, "gif").
    BOOL Load(UINT id, const char* type);
    // Loads a picture from memory; a GIF with several frames is split into
    // frames for playing, anything else is shown as a still picture.
    BOOL Load(const void* data, std::size_t size);
    // Starts playing (several frames) or renders the still picture.
    void Draw();
    // Stops the animation thread; the frame index stays, so a later `Draw`
    // continues where play stopped.
    void Stop();
    // Stops, then forgets the picture and its frames.
    void UnLoad();
    // Sizes the control to cx x cy and makes a new drawing surface (play
    // stops; the frames stay).
    BOOL PrepareDC(int cx, int cy);

    // State, for the owner and for tests.
    bool IsReady() const { return m_bReady; }
    bool IsGif() const { return m_bGif; }
    bool IsPlaying() const;
    bool HasThread() const { return m_thread.joinable(); }
    std::size_t GetFrameCount() const;
    int GetFrameIndex() const;
    wxSize GetPictureSize() const { return m_sizePicture; }
    COLORREF GetBackColor() const { return m_clrBack; }
    // A copy of the picture as the control shows it (empty when unloaded).
    wxImage GetPictureImage() const;

    // How long `Stop` waits for the thread.
    static constexpr std::uint32_t kStopWaitMs = 5000;

private:
    void OnPaint(wxPaintEvent& event);
    BOOL LoadStill(const std::uint8_t* data, std::size_t size);

    wxRect m_rcShow;  // part of the picture to show; empty = all of it
    wxSize m_sizePicture;
    COLORREF m_clrBack = 0xFFFFFF;
    bool m_bGif = false;
    bool m_bReady = false;
    std::shared_ptr<const TPixels> m_pPicture;  // the still picture
    std::shared_ptr<CPictureCanvas> m_canvas;   // surface, frames of an animated GIF, play position
    std::thread m_thread;
    std::shared_ptr<CStopEvent> m_pStopEvent;
};
