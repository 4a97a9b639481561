#include "compare/StrokeList.h"

#include <opencv2/imgproc.hpp>

bool CStrokeList::BeginStroke(int x, int y) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_nCount >= kMaxStrokes) return false;
    std::vector<cv::Point>& stroke = m_stroke[m_nCount];
    stroke.clear();
    stroke.emplace_back(x, y);
    ++m_nCount;
    return m_nCount < kMaxStrokes;
}

void CStrokeList::AddPoint(int x, int y) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_nCount == 0) return;
    m_stroke[m_nCount - 1].emplace_back(x, y);
}

void CStrokeList::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (int i = 0; i < m_nCount; ++i) m_stroke[i].clear();
    m_nCount = 0;
}

namespace {

// The image library widens a line symmetrically (thickness 2 comes out three
// pixels wide), so the 2-pixel pen is a 2 x 2 square swept along the segment.
void PenLine(cv::Mat& pane, cv::Point from, cv::Point to) {
    const cv::Scalar red(0, 0, 255, 0);
    for (const cv::Point& d : {cv::Point(0, 0), cv::Point(1, 0), cv::Point(0, 1), cv::Point(1, 1)})
        cv::line(pane, from + d, to + d, red, 1, cv::LINE_8);
}

}  // namespace

void CStrokeList::Draw(cv::Mat& pane) const {
    if (pane.empty() || pane.depth() != CV_8U || pane.channels() < 3) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (int i = 0; i < m_nCount; ++i) {
        const std::vector<cv::Point>& stroke = m_stroke[i];
        // The pen travels from the first point through every point in order;
        // a segment that does not move leaves no mark, so a click without a
        // drag draws nothing.
        cv::Point at = stroke.front();
        for (const cv::Point& p : stroke) {
            if (p != at) PenLine(pane, at, p);
            at = p;
        }
    }
}

int CStrokeList::GetCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nCount;
}

std::vector<cv::Point> CStrokeList::GetStroke(int index) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (index < 0 || index >= m_nCount) return {};
    return m_stroke[index];
}
