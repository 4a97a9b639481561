#include "platform/camera/Graph.h"

#include <algorithm>
#include <cstdlib>

void* CoTaskMemAlloc(std::size_t n) { return std::malloc(n ? n : 1); }
void CoTaskMemFree(void* p) { std::free(p); }

bool IsFourccSubtype(const GUID& g, std::uint32_t* fourcc) {
    GUID shape = FourccSubtype(g.Data1);
    if (!(shape == g)) return false;
    if (fourcc) *fourcc = g.Data1;
    return true;
}

namespace plat::cam {

Pin* Filter::FindPin(PinDir dir, PinCategory category) const {
    for (const auto& p : m_pins)
        if (p->Direction() == dir && (category == PinCategory::None || p->Category() == category)) return p.get();
    return nullptr;
}

Pin* Filter::AddPin(PinDir dir, PinCategory category) {
    m_pins.push_back(std::make_unique<Pin>(this, dir, category));
    return m_pins.back().get();
}

void Filter::Deliver(Pin* output, const IMediaSample& sample) {
    Pin* peer = output ? output->ConnectedTo() : nullptr;
    if (peer) peer->GetFilter()->Receive(peer, sample);
}

// --- sample grabber ----------------------------------------------------------

SampleGrabber::SampleGrabber() {
    AddPin(PinDir::Input, PinCategory::None);
    AddPin(PinDir::Output, PinCategory::None);
}

HRESULT SampleGrabber::SetOneShot(BOOL oneShot) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_bOneShot = oneShot;
    m_bShotTaken = false;
    return S_OK;
}

HRESULT SampleGrabber::SetBufferSamples(BOOL buffer) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_bBufferSamples = buffer;
    return S_OK;
}

HRESULT SampleGrabber::SetCallback(ISampleGrabberCB* callback, int which) {
    if (which != 0 && which != 1) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(m_lock);
    m_pCallback = callback;
    m_nWhich = which;
    return S_OK;
}

void SampleGrabber::Receive(Pin*, const IMediaSample& sample) {
    ISampleGrabberCB* cb;
    int which;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_bOneShot && m_bShotTaken) return;
        m_bShotTaken = true;
        cb = m_pCallback;
        which = m_nWhich;
    }
    if (cb) {
        if (which == 1) {
            cb->BufferCB(sample.GetTime(), const_cast<BYTE*>(sample.GetPointer()), sample.GetActualDataLength());
        } else {
            IMediaSample copy = sample;
            cb->SampleCB(sample.GetTime(), &copy);
        }
    }
    Deliver(FindPin(PinDir::Output, PinCategory::None), sample);
}

NullRenderer::NullRenderer() { AddPin(PinDir::Input, PinCategory::None); }

VideoRenderer::VideoRenderer() { AddPin(PinDir::Input, PinCategory::None); }
HRESULT VideoRenderer::put_WindowStyle(long style) {
    m_nStyle = style;
    return S_OK;
}
HRESULT VideoRenderer::put_AutoShow(long autoShow) {
    m_nAutoShow = autoShow;
    return S_OK;
}
HRESULT VideoRenderer::put_Visible(long visible) {
    m_nVisible = visible;
    return S_OK;
}
HRESULT VideoRenderer::put_Owner(void* owner) {
    m_pOwner = owner;
    return S_OK;
}

HRESULT MediaEventEx::SetNotifyWindow(void* window, UINT message, LPARAM instanceData) {
    m_pWindow = window;
    m_nMessage = message;
    m_lInstance = instanceData;
    return S_OK;
}

// --- filter graph ------------------------------------------------------------

FilterGraph::FilterGraph() : m_pEvent(std::make_shared<MediaEventEx>()) {}

FilterGraph::~FilterGraph() {
    Stop();
    for (const auto& f : m_filters) {
        for (const auto& p : f->m_pins) {
            if (p->m_pPeer && p->m_pPeer->m_pPeer == p.get()) p->m_pPeer->m_pPeer = nullptr;
            p->m_pPeer = nullptr;
        }
        f->m_pGraph = nullptr;
    }
}

HRESULT FilterGraph::AddFilter(const std::shared_ptr<Filter>& filter, const std::string& name) {
    if (!filter) return E_POINTER;
    if (filter->m_pGraph) return E_INVALIDARG;
    filter->m_pGraph = this;
    filter->m_name = name;
    m_filters.push_back(filter);
    return S_OK;
}

HRESULT FilterGraph::RemoveFilter(Filter* filter) {
    auto it = std::find_if(m_filters.begin(), m_filters.end(), [&](const auto& f) { return f.get() == filter; });
    if (it == m_filters.end()) return VFW_E_NOT_FOUND;
    if (m_bRunning) return VFW_E_NOT_STOPPED;
    for (const auto& p : filter->m_pins) {
        if (p->m_pPeer) {
            p->m_pPeer->m_pPeer = nullptr;
            p->m_pPeer = nullptr;
        }
    }
    filter->m_pGraph = nullptr;
    m_filters.erase(it);
    return S_OK;
}

HRESULT FilterGraph::Connect(Pin* out, Pin* in) {
    if (!out || !in) return E_POINTER;
    if (m_bRunning) return VFW_E_NOT_STOPPED;
    if (out->Direction() != PinDir::Output || in->Direction() != PinDir::Input) return VFW_E_CANNOT_CONNECT;
    if (out->GetFilter()->Graph() != this || in->GetFilter()->Graph() != this) return VFW_E_NOT_FOUND;
    if (out->m_pPeer || in->m_pPeer) return VFW_E_CANNOT_CONNECT;
    out->m_pPeer = in;
    in->m_pPeer = out;
    return S_OK;
}

HRESULT FilterGraph::Disconnect(Pin* pin) {
    if (!pin) return E_POINTER;
    if (m_bRunning) return VFW_E_NOT_STOPPED;
    if (!pin->m_pPeer) return S_FALSE;
    pin->m_pPeer = nullptr;
    return S_OK;
}

HRESULT FilterGraph::Run() {
    if (m_bRunning) return S_OK;
    // Downstream filters first, the sources last, so nothing is delivered to a
    // filter that is not running yet.
    std::vector<Filter*> started;
    for (auto it = m_filters.rbegin(); it != m_filters.rend(); ++it) {
        HRESULT hr = (*it)->Run();
        if (FAILED(hr)) {
            for (Filter* f : started) f->Stop();
            return hr;
        }
        started.push_back(it->get());
    }
    m_bRunning = true;
    return S_OK;
}

HRESULT FilterGraph::Stop() {
    for (const auto& f : m_filters) f->Stop();
    m_bRunning = false;
    return S_OK;
}

std::shared_ptr<VideoRenderer> FilterGraph::QueryVideoWindow() const {
    for (const auto& f : m_filters)
        if (auto r = std::dynamic_pointer_cast<VideoRenderer>(f)) return r;
    return nullptr;
}

// --- capture graph builder ---------------------------------------------------

HRESULT CaptureGraphBuilder::SetFiltergraph(const std::shared_ptr<FilterGraph>& graph) {
    if (!graph) return E_POINTER;
    if (m_pGraph && m_pGraph != graph) return E_FAIL;
    m_pGraph = graph;
    return S_OK;
}

HRESULT CaptureGraphBuilder::FindStreamConfig(PinCategory category, const GUID* majortype, Filter* source,
                                              std::shared_ptr<StreamConfig>* out) {
    if (!out) return E_POINTER;
    out->reset();
    if (!source) return E_POINTER;
    if (majortype && *majortype != MEDIATYPE_Video) return E_NOINTERFACE;
    Pin* pin = source->FindPin(PinDir::Output, category);
    if (!pin) return E_NOINTERFACE;
    *out = source->StreamConfigOf(pin);
    return *out ? S_OK : E_NOINTERFACE;
}

HRESULT CaptureGraphBuilder::FindPin(Filter* source, PinDir dir, PinCategory category, BOOL unconnectedOnly,
                                     int index, Pin** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!source) return E_POINTER;
    int n = 0;
    for (const auto& p : source->Pins()) {
        if (p->Direction() != dir || p->Category() != category) continue;
        if (unconnectedOnly && p->ConnectedTo()) continue;
        if (n++ == index) {
            *out = p.get();
            return S_OK;
        }
    }
    return E_FAIL;
}

HRESULT CaptureGraphBuilder::RenderStream(PinCategory category, const GUID* majortype, Filter* source,
                                          Filter* intermediate, Filter* sink) {
    if (!m_pGraph) return E_FAIL;
    if (!source) return E_POINTER;
    if (majortype && *majortype != MEDIATYPE_Video) return VFW_E_CANNOT_CONNECT;
    HRESULT ok = S_OK;
    Pin* from = source->FindPin(PinDir::Output, category);
    if (!from && category == PinCategory::Preview) {
        from = source->FindPin(PinDir::Output, PinCategory::Capture);
        ok = VFW_S_NOPREVIEWPIN;
    }
    if (!from) return VFW_E_NOT_FOUND;
    if (from->ConnectedTo()) return VFW_E_CANNOT_CONNECT;

    std::shared_ptr<Filter> renderer;
    if (!sink) {
        renderer = std::make_shared<VideoRenderer>();
        HRESULT hr = m_pGraph->AddFilter(renderer, "Video Renderer");
        if (FAILED(hr)) return hr;
        sink = renderer.get();
    }
    auto fail = [&](HRESULT hr) {
        if (renderer) m_pGraph->RemoveFilter(renderer.get());
        return hr;
    };
    Pin* sinkIn = sink->FindPin(PinDir::Input, PinCategory::None);
    if (!sinkIn) return fail(VFW_E_CANNOT_CONNECT);
    if (intermediate) {
        Pin* midIn = intermediate->FindPin(PinDir::Input, PinCategory::None);
        Pin* midOut = intermediate->FindPin(PinDir::Output, PinCategory::None);
        if (!midIn || !midOut) return fail(VFW_E_CANNOT_CONNECT);
        HRESULT hr = m_pGraph->Connect(from, midIn);
        if (FAILED(hr)) return fail(hr);
        hr = m_pGraph->Connect(midOut, sinkIn);
        if (FAILED(hr)) {
            m_pGraph->Disconnect(from);
            m_pGraph->Disconnect(midIn);
            return fail(hr);
        }
    } else {
        HRESULT hr = m_pGraph->Connect(from, sinkIn);
        if (FAILED(hr)) return fail(hr);
    }
    return ok;
}

}  // namespace plat::cam
