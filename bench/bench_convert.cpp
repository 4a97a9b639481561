// YUY2 -> bottom-up B, G, R at camera sizes, one thread, against OpenCV
// (conversion plus the flip to the same row order) and libyuv (YUY2 -> ARGB
// with the rows reversed, then ARGB -> RGB24, whose bytes are B, G, R).
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include <libyuv.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "capture/FrameConvert.h"

namespace {

std::vector<BYTE> RandomYuy2(int w, int h) {
    std::vector<BYTE> v(static_cast<std::size_t>(w) * h * 2);
    std::mt19937 rng(42);
    for (auto& b : v) b = static_cast<BYTE>(rng());
    return v;
}

void SetCounters(benchmark::State& state, int w, int h) {
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(w) * h);
    state.SetLabel(std::to_string(w) + "x" + std::to_string(h));
}

void BM_Quill(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    const auto src = RandomYuy2(w, h);
    std::vector<BYTE> dst(static_cast<std::size_t>(w) * h * 3);
    for (auto _ : state) {
        ConvertYUY2ToBGR24(src.data(), dst.data(), w, h);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    SetCounters(state, w, h);
}

void BM_OpenCV(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    auto src = RandomYuy2(w, h);
    cv::Mat in(h, w, CV_8UC2, src.data());
    cv::Mat topDown(h, w, CV_8UC3), out(h, w, CV_8UC3);
    for (auto _ : state) {
        cv::cvtColor(in, topDown, cv::COLOR_YUV2BGR_YUY2);
        cv::flip(topDown, out, 0);
        benchmark::DoNotOptimize(out.data);
        benchmark::ClobberMemory();
    }
    SetCounters(state, w, h);
}

void BM_LibYuv(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    const auto src = RandomYuy2(w, h);
    std::vector<BYTE> argb(static_cast<std::size_t>(w) * h * 4), dst(static_cast<std::size_t>(w) * h * 3);
    for (auto _ : state) {
        libyuv::YUY2ToARGB(src.data(), w * 2, argb.data(), w * 4, w, -h);
        libyuv::ARGBToRGB24(argb.data(), w * 4, dst.data(), w * 3, w, h);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    SetCounters(state, w, h);
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Args({640, 480})->Args({1280, 720})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);
}

}  // namespace

BENCHMARK(BM_Quill)->Apply(Sizes);
BENCHMARK(BM_OpenCV)->Apply(Sizes);
BENCHMARK(BM_LibYuv)->Apply(Sizes);

int main(int argc, char** argv) {
    cv::setNumThreads(1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
