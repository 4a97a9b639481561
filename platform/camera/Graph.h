#pragma once
// A small filter graph in DirectShow's shape, enough for one capture graph:
// a camera source with a capture pin (and a still pin when the camera has a
// button), sample grabbers that hand each sample to a callback, a null
// renderer and a default video renderer whose window is never shown.
// References are shared pointers: dropping one is the release.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/WinTypes.h"
#include "platform/camera/DShow.h"

namespace plat::cam {

enum class PinDir { Input, Output };
enum class PinCategory { None, Capture, Preview, Still };

class Filter;
class FilterGraph;

class Pin {
public:
    Pin(Filter* filter, PinDir dir, PinCategory category) : m_pFilter(filter), m_dir(dir), m_category(category) {}
    Filter* GetFilter() const { return m_pFilter; }
    PinDir Direction() const { return m_dir; }
    PinCategory Category() const { return m_category; }
    Pin* ConnectedTo() const { return m_pPeer; }

private:
    friend class FilterGraph;
    Filter* m_pFilter;
    PinDir m_dir;
    PinCategory m_category;
    Pin* m_pPeer = nullptr;
};

// Stream configuration of an output pin (IAMStreamConfig's place).  Media
// types handed out are freed by the receiver.
class StreamConfig {
public:
    virtual ~StreamConfig() = default;
    virtual HRESULT GetFormat(AM_MEDIA_TYPE** pmt) = 0;
    virtual HRESULT SetFormat(const AM_MEDIA_TYPE* pmt) = 0;
    virtual HRESULT GetNumberOfCapabilities(int* count, int* size) = 0;
    virtual HRESULT GetStreamCaps(int index, AM_MEDIA_TYPE** pmt, BYTE* caps) = 0;
};

// Video control of a source (IAMVideoControl's place): a source offers one
// when it has a hardware trigger, which is all the capture code asks of it.
class VideoControl {
public:
    virtual ~VideoControl() = default;
    virtual bool HasTrigger() const = 0;
};

class Filter {
public:
    virtual ~Filter() = default;
    const std::string& Name() const { return m_name; }
    FilterGraph* Graph() const { return m_pGraph; }
    const std::vector<std::unique_ptr<Pin>>& Pins() const { return m_pins; }
    Pin* FindPin(PinDir dir, PinCategory category) const;

    virtual HRESULT Run() { return S_OK; }
    virtual void Stop() {}
    virtual std::shared_ptr<StreamConfig> StreamConfigOf(Pin*) { return nullptr; }
    virtual std::shared_ptr<VideoControl> QueryVideoControl() { return nullptr; }

protected:
    Pin* AddPin(PinDir dir, PinCategory category);
    // A sample arriving at one of this filter's input pins (on a streaming thread).
    virtual void Receive(Pin* input, const IMediaSample& sample) {}
    // Passes a sample on through an output pin to whatever is connected to it.
    void Deliver(Pin* output, const IMediaSample& sample);

private:
    friend class FilterGraph;
    std::string m_name;
    FilterGraph* m_pGraph = nullptr;
    std::vector<std::unique_ptr<Pin>> m_pins;
};

// The sample grabber (ISampleGrabber's place): one input, one output, every
// sample passed to the callback on the streaming thread.
class SampleGrabber final : public Filter {
public:
    SampleGrabber();
    HRESULT SetOneShot(BOOL oneShot);
    HRESULT SetBufferSamples(BOOL buffer);
    // which: 0 = SampleCB, 1 = BufferCB.
    HRESULT SetCallback(ISampleGrabberCB* callback, int which);
    BOOL BufferSamples() const { return m_bBufferSamples; }

protected:
    void Receive(Pin* input, const IMediaSample& sample) override;

private:
    std::mutex m_lock;
    ISampleGrabberCB* m_pCallback = nullptr;
    int m_nWhich = 0;
    BOOL m_bOneShot = FALSE;
    BOOL m_bBufferSamples = FALSE;
    bool m_bShotTaken = false;
};

class NullRenderer final : public Filter {
public:
    NullRenderer();
};

// The default renderer the builder puts after a preview branch, with the
// window properties the capture code sets (IVideoWindow's place).  Frames
// reach the screen through the grabber's callback only, so it draws nothing.
class VideoRenderer final : public Filter {
public:
    VideoRenderer();
    HRESULT put_WindowStyle(long style);
    HRESULT put_AutoShow(long autoShow);
    HRESULT put_Visible(long visible);
    HRESULT put_Owner(void* owner);
    long Visible() const { return m_nVisible; }

private:
    long m_nStyle = 0;
    long m_nAutoShow = -1;
    long m_nVisible = 0;
    void* m_pOwner = nullptr;
};

// Event interface of a graph (IMediaEventEx's place): remembers where event
// notifications are to go.
class MediaEventEx {
public:
    HRESULT SetNotifyWindow(void* window, UINT message, LPARAM instanceData);
    void* NotifyWindow() const { return m_pWindow; }
    UINT NotifyMessage() const { return m_nMessage; }

private:
    void* m_pWindow = nullptr;
    UINT m_nMessage = 0;
    LPARAM m_lInstance = 0;
};

class FilterGraph {
public:
    FilterGraph();
    ~FilterGraph();
    FilterGraph(const FilterGraph&) = delete;
    FilterGraph& operator=(const FilterGraph&) = delete;

    HRESULT AddFilter(const std::shared_ptr<Filter>& filter, const std::string& name);
    HRESULT RemoveFilter(Filter* filter);
    HRESULT Connect(Pin* out, Pin* in);
    // Breaks the connection at this pin only (the peer keeps its side until
    // it is disconnected too), as DirectShow's IGraphBuilder::Disconnect.
    HRESULT Disconnect(Pin* pin);
    std::vector<std::shared_ptr<Filter>> Filters() const { return m_filters; }

    // IMediaControl's place.
    HRESULT Run();
    HRESULT Stop();
    bool Running() const { return m_bRunning; }

    std::shared_ptr<VideoRenderer> QueryVideoWindow() const;
    std::shared_ptr<MediaEventEx> QueryMediaEvent() const { return m_pEvent; }

private:
    std::vector<std::shared_ptr<Filter>> m_filters;
    std::shared_ptr<MediaEventEx> m_pEvent;
    bool m_bRunning = false;
};

// ICaptureGraphBuilder2's place.
class CaptureGraphBuilder {
public:
    HRESULT SetFiltergraph(const std::shared_ptr<FilterGraph>& graph);
    // The stream configuration of the source's output pin of that category;
    // a null major type matches any.
    HRESULT FindStreamConfig(PinCategory category, const GUID* majortype, Filter* source,
                             std::shared_ptr<StreamConfig>* out);
    HRESULT FindPin(Filter* source, PinDir dir, PinCategory category, BOOL unconnectedOnly, int index, Pin** out);
    // Connects source -> intermediate -> sink for the category; without a sink
    // a default video renderer is added.  A preview request on a source
    // without a preview pin uses its capture pin and answers VFW_S_NOPREVIEWPIN.
    HRESULT RenderStream(PinCategory category, const GUID* majortype, Filter* source, Filter* intermediate,
                         Filter* sink);

private:
    std::shared_ptr<FilterGraph> m_pGraph;
};

}  // namespace plat::cam
