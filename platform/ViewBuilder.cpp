#include "platform/ViewBuilder.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/FrameTurn.h"
#include "platform/ShmPresenter.h"
#include "platform/ViewScale.h"

namespace plat {

struct ViewBuilder::State {
    cv::Size want;
    std::shared_ptr<unsigned char> display;
    std::size_t displayStep = 0;
    bool turned = false;
    bool mayLeaveFrame = false;
    bool leftFrame = false;  // this frame's rows are not being placed
    view_scale_detail::RowScaler scaler;
    int width = 0, height = 0;  // the frame's, once begun
    bool begun = false;
    int seen = 0;  // rows seen so far
    int next = 0;  // the next output row to make
    cv::Mat view;
    std::vector<unsigned char> lastRow;  // the last row of the strip before
    std::vector<unsigned char> turnRow;  // an output row before it is turned into place
    std::vector<unsigned char> viewRow;  // an output row on its way to the display rows
};

ViewBuilder::ViewBuilder() : m(std::make_unique<State>()) {}
ViewBuilder::~ViewBuilder() = default;

void ViewBuilder::Prepare(const ViewTarget& target, bool turned, bool mayLeaveFrame) {
    m->want = target.size;
    m->display = target.display;
    m->displayStep = target.displayStep;
    m->turned = turned;
    m->mayLeaveFrame = mayLeaveFrame;
    m->begun = m->leftFrame = false;
}

bool ViewBuilder::Begin(int width, int height) {
    m->begun = m->leftFrame = false;
    if (m->want.width <= 0 || m->want.height <= 0 || !ScalesByRows(width, height, m->want.width, m->want.height))
        return false;
    if (!m->scaler.Start(width, height, m->want.width, m->want.height)) return false;
    m->width = width, m->height = height;
    m->view.create(m->want, CV_8UC3);
    m->lastRow.resize(static_cast<std::size_t>(width) * 3);
    m->turnRow.resize(static_cast<std::size_t>(m->want.width) * 3);
    m->viewRow.resize(m->turnRow.size());
    m->seen = m->next = 0;
    m->begun = true;
    m->leftFrame = m->display && m->mayLeaveFrame;
    return true;
}

bool ViewBuilder::PlacesRows() const { return !m->leftFrame; }

bool ViewBuilder::LeftFrame() const { return m->leftFrame; }

void ViewBuilder::Rows(const unsigned char* const* rows, int first, int count, JpegRowPlacer& placer) {
    State& s = *m;
    if (!s.begun) return;
    if (first != s.seen || count <= 0 || first + count > s.height) {
        s.begun = false;  // out of order: no picture this time
        return;
    }
    const int last = first + count - 1;
    auto row = [&](int y) { return y >= first ? rows[y - first] : s.lastRow.data(); };
    const int outRows = s.view.rows;
    // The view's rows these source rows complete.
    int end = s.next;
    while (end < outRows && std::min(s.scaler.SourceRow(end) + 1, s.height - 1) <= last) ++end;
    // The frame's rows go to their places spread evenly between the view's
    // rows: their stores drain while the view's rows are worked out, where
    // many in a row would stall.
    const int made = end - s.next;
    int placed = 0;
    for (int k = 0; s.next < end; ++s.next, ++k) {
        const int y0 = s.scaler.SourceRow(s.next);
        const int y1 = std::min(y0 + 1, s.height - 1);
        for (const int due = (k + 1) * count / made; placed < due; ++placed) placer.PlaceNext();
        // The picture of a turned frame is the picture of the frame as decoded,
        // turned: the scaler weighs mirrored positions alike.
        const int at = s.turned ? outRows - 1 - s.next : s.next;
        // With display rows the view's row goes there alone, in the screen's
        // format: the surface reads its picture back only if it is wanted.
        // Made straight in that format where the scaler can, as it works the
        // pixels out, instead of by a pass of its own over each row.
        if (s.display && s.scaler.MakeWords(s.next, row(y0), row(y1), s.display.get() + s.displayStep * at, s.turned,
                                            s.viewRow.data()))
            continue;
        unsigned char* out = s.display ? s.viewRow.data() : s.view.ptr(at);
        if (s.turned) {
            s.scaler.Make(s.next, row(y0), row(y1), s.turnRow.data());
            ReverseRowOfPixels(s.turnRow.data(), out, s.view.cols, false);
        } else {
            s.scaler.Make(s.next, row(y0), row(y1), out);
        }
        if (s.display) BgrRowToBgrx(out, s.display.get() + s.displayStep * at, s.view.cols);
    }
    if (s.display && s.next == outRows) RowsToBgrxDone();
    // The strip's last row is kept only for a view row it begins.
    if (s.next < outRows && s.scaler.SourceRow(s.next) == last)
        std::memcpy(s.lastRow.data(), rows[count - 1], s.lastRow.size());
    s.seen = last + 1;
}

bool ViewBuilder::Complete() const { return m->begun && m->seen == m->height && m->next == m->view.rows; }

cv::Mat* ViewBuilder::Result() const { return !m->display && Complete() ? &m->view : nullptr; }

cv::Size ViewBuilder::OnDisplay() const { return m->display && Complete() ? m->want : cv::Size(); }

}  // namespace plat
