#pragma once
// The operator's freehand strokes over the comparison window's camera pane.
// The capture thread draws them over every live frame while the
// user-interface thread adds to them, so every member takes the list's own
// mutex.
#include <array>
#include <mutex>
#include <vector>

#include <opencv2/core.hpp>

class CStrokeList {
public:
    static constexpr int kMaxStrokes = 128;

    CStrokeList() = default;
    CStrokeList(const CStrokeList&) = delete;
    CStrokeList& operator=(const CStrokeList&) = delete;

    // Starts a new stroke at (x, y) in pane coordinates.  With all strokes in
    // use nothing changes and the result is false; otherwise the result says
    // whether one more stroke can still be started.
    bool BeginStroke(int x, int y);
    // Extends the stroke begun last; nothing when there is none.
    void AddPoint(int x, int y);
    // Forgets every stroke (their storage is kept for the next ones).
    void Clear();

    // Draws every stroke with the red 2-pixel pen into the pane's picture
    // (8-bit, 3 or 4 channels, B, G, R order, pane coordinates).  A stroke of
    // one point shows nothing.
    void Draw(cv::Mat& pane) const;

    // Copies for inspection.
    int GetCount() const;
    std::vector<cv::Point> GetStroke(int index) const;

private:
    mutable std::mutex m_mutex;
    std::array<std::vector<cv::Point>, kMaxStrokes> m_stroke;
    int m_nCount = 0;
};
