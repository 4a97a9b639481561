#pragma once
// The view's picture of a frame, made while the frame is decoded: each output
// row is made as soon as the two decoded rows it lies between have come out
// of the decoder, still in the cache.  Drawing the whole frame into the view
// afterwards gives the same bytes (ScaleBilinearBGR), but reads the frame
// back from memory, which cost as much again as the scaling itself.
#include <memory>

#include <opencv2/core.hpp>

#include "platform/JpegDecode.h"

namespace plat {

class ViewBuilder final : public JpegRowSink {
public:
    ViewBuilder();
    ~ViewBuilder();
    ViewBuilder(const ViewBuilder&) = delete;
    ViewBuilder& operator=(const ViewBuilder&) = delete;

    // Before each frame: the view's size (empty: no picture wanted), and
    // whether the frame is kept turned by 180 degrees, so that its view is too.
    void Prepare(cv::Size view, bool turned);

    // The decoder's side (JpegRowSink).  Frames the view is not drawn from by
    // a plain reduction (see ScalesByRows) are refused.
    bool Begin(int width, int height) override;
    void Rows(const unsigned char* const* rows, int first, int count, JpegRowPlacer& placer) override;

    // After the frame: the view's picture when every row was seen, else null.
    // Its taker may leave other pixels of the same size in its place.
    cv::Mat* Result();

private:
    struct State;
    std::unique_ptr<State> m;
};

}  // namespace plat
