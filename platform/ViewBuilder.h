#pragma once
// The view's picture of a frame, made while the frame is decoded: each output
// row is made as soon as the two decoded rows it lies between have come out
// of the decoder, still in the cache.  Drawing the whole frame into the view
// afterwards gives the same bytes (ScaleBilinearBGR), but reads the frame
// back from memory, which cost as much again as the scaling itself.
#include <cstddef>
#include <memory>

#include <opencv2/core.hpp>

#include "platform/JpegDecode.h"

namespace plat {

// Where a frame's view picture goes: the view's size (empty: nowhere), and,
// where the view shows its pictures that way, rows of the screen's own
// format to write it into as well (see FrameSurfaceRef::ReserveDisplayRows).
struct ViewTarget {
    cv::Size size;
    std::shared_ptr<unsigned char> display;  // kept by the builder until its next frame
    std::size_t displayStep = 0;
};

class ViewBuilder final : public JpegRowSink {
public:
    ViewBuilder();
    ~ViewBuilder();
    ViewBuilder(const ViewBuilder&) = delete;
    ViewBuilder& operator=(const ViewBuilder&) = delete;

    // Before each frame: the view's size (empty: no picture wanted), and
    // whether the frame is kept turned by 180 degrees, so that its view is too.
    // `mayLeaveFrame`: the frame's producer can make the frame again from the
    // same data, so when the view goes onto display rows nobody needs the
    // frame written now (see LeftFrame).
    void Prepare(const ViewTarget& target, bool turned, bool mayLeaveFrame = false);

    // The decoder's side (JpegRowSink).  Frames the view is not drawn from by
    // a plain reduction (see ScalesByRows) are refused.
    bool Begin(int width, int height) override;
    void Rows(const unsigned char* const* rows, int first, int count, JpegRowPlacer& placer) override;
    bool PlacesRows() const override;

    // After the frame, when every row was seen: the view's picture (its taker
    // may leave other pixels of the same size in its place), or, when the
    // target had display rows, the size of the picture written there instead.
    // Null and an empty size otherwise.
    cv::Mat* Result() const;
    cv::Size OnDisplay() const;
    // After the frame: whether its rows were left unwritten, so that whoever
    // wants its pixels must decode it again.  Once a frame stops filling the
    // display rows (a frozen view, the scale, another size) its frames are
    // written again; frames stream to the view ten or thirty a second, and
    // writing each one cost as much as decoding it.
    bool LeftFrame() const;

private:
    bool Complete() const;
    struct State;
    std::unique_ptr<State> m;
};

}  // namespace plat
