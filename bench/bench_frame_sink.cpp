// The station window's frame sink at camera sizes into the 904 x 678 view of a
// 1920 x 1080 screen, with the ruler on and off, against a plain cv::resize of
// the same frame into a picture of the view's size.  OpenCV runs on one thread,
// so the numbers are one core's.
//
// The sink needs its window: run under a display, e.g.
//   xvfb-run -a -s "-screen 0 1920x1080x24" build/bench_frame_sink
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <wx/app.h>
#include <wx/init.h>

#include "platform/CrossThread.h"
#include "platform/ScreenMetrics.h"
#include "station/QuillmarshDlg.h"

namespace {

const cv::Size kView(904, 678);
CQuillmarshDlg* g_dlg = nullptr;

IplImage* MakeFrame(int w, int h) {
    IplImage* img = cvCreateImage(cvSize(w, h), IPL_DEPTH_8U, 3);
    cv::Mat m = cv::cvarrToMat(img);
    cv::randu(m, cv::Scalar::all(0), cv::Scalar::all(255));
    return img;
}

void Label(benchmark::State& state, int w, int h) {
    state.SetLabel(std::to_string(w) + "x" + std::to_string(h));
    state.SetItemsProcessed(state.iterations());
}

void BM_Sink(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    const bool ruler = state.range(2) != 0;
    IplImage* frame = MakeFrame(w, h);
    g_dlg->m_bRuler = ruler;
    CQuillmarshDlg::OnFrame(frame);  // sizes the stored copy once
    for (auto _ : state) {
        CQuillmarshDlg::OnFrame(frame);
        benchmark::ClobberMemory();
    }
    g_dlg->m_bRuler = FALSE;
    cvReleaseImage(&frame);
    Label(state, w, h);
    state.counters["ruler"] = ruler ? 1 : 0;
}

// cv::resize with its default interpolation (bilinear), for comparison.
void BM_ResizeLinear(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    IplImage* frame = MakeFrame(w, h);
    const cv::Mat src = cv::cvarrToMat(frame);
    cv::Mat dst(kView, CV_8UC3);
    for (auto _ : state) {
        cv::resize(src, dst, kView);
        benchmark::DoNotOptimize(dst.data);
        benchmark::ClobberMemory();
    }
    cvReleaseImage(&frame);
    Label(state, w, h);
}

void Sizes(benchmark::internal::Benchmark* b) {
    for (auto [w, h] : {std::pair{640, 480}, {1280, 720}, {1920, 1080}}) b->Args({w, h, 0});
}
void SizesWithRuler(benchmark::internal::Benchmark* b) {
    for (auto [w, h] : {std::pair{640, 480}, {1280, 720}, {1920, 1080}})
        for (int ruler : {0, 1}) b->Args({w, h, ruler});
}

}  // namespace

BENCHMARK(BM_ResizeLinear)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Sink)->Apply(SizesWithRuler)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    cv::setNumThreads(1);
    if (wxApp::GetInstance() == nullptr) wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv)) {
        std::fprintf(stderr, "bench_frame_sink needs a display (run it under xvfb-run)\n");
        return 1;
    }
    plat::SetUiThread();
    wxTheApp->CallOnInit();
    const plat::ScreenMetrics screen =
        plat::ComputeScreenMetrics(wxRect(0, 0, 1920, 1080), wxRect(0, 0, 1920, 1040));
    plat::SetScreenMetricsOverride(&screen);
    {
        CQuillmarshDlg dlg(nullptr);
        dlg.Create(nullptr);
        dlg.ShowLiveControls(TRUE);
        g_dlg = &dlg;
        benchmark::RunSpecifiedBenchmarks();
        g_dlg = nullptr;
    }
    benchmark::Shutdown();
    wxEntryCleanup();
    return 0;
}
