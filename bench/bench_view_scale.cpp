// The live view's bilinear reduction: plat::ScaleBilinearBGR against
// cv::resize(INTER_LINEAR), camera frames into the 938 x 704 view of a
// 1920 x 1080 screen, one thread.
//
// "ours" 0 is cv::resize, 1 the scaler's best path, 2 its SSSE3 path.
// "hot": the same frame again and again, so it sits in the cache.  "cold":
// eight frames in turn, each pushed out of every cache level before it is
// scaled (outside the timing), as a frame the decoder has just written with
// streaming stores comes from memory.  The counter maxdiff is the largest
// difference from cv::resize on any channel of any pixel.
#include <benchmark/benchmark.h>

#include <array>
#include <string>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "platform/ViewScale.h"

namespace {

const cv::Size kView(938, 704);
constexpr int kFrames = 8;

struct Frames {
    std::array<cv::Mat, kFrames> mats;
    explicit Frames(cv::Size size) {
        for (int i = 0; i < kFrames; ++i) {
            mats[i].create(size, CV_8UC3);
            cv::randu(mats[i], cv::Scalar::all(0), cv::Scalar::all(256));
        }
    }
};

void Evict(const cv::Mat& m) {
#if defined(__x86_64__) || defined(__i386__)
    const std::size_t bytes = m.step[0] * m.rows;
    for (std::size_t off = 0; off < bytes; off += 64) _mm_clflush(m.data + off);
    _mm_mfence();
#endif
}

void Scale(const cv::Mat& src, cv::Mat& dst, bool ours) {
    if (ours)
        plat::ScaleBilinearBGR(src.data, src.cols, src.rows, src.step, dst.data, dst.cols, dst.rows, dst.step);
    else
        cv::resize(src, dst, dst.size(), 0, 0, cv::INTER_LINEAR);
}

void BM_ViewScale(benchmark::State& state) {
    const cv::Size size(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const bool cold = state.range(2) != 0, ours = state.range(3) != 0;
    // 2: the SSSE3 path on a processor that has AVX2 as well.
    if (state.range(3) == 2 && !plat::view_scale_detail::ForcePath(plat::view_scale_detail::Path::Ssse3)) {
        state.SkipWithError("no SSSE3");
        return;
    }
    cv::setNumThreads(1);
    const Frames frames(size);
    cv::Mat dst(kView, CV_8UC3);
    int next = 0;
    for (auto _ : state) {
        const cv::Mat& src = frames.mats[cold ? next : 0];
        if (cold) {
            state.PauseTiming();
            Evict(src);
            state.ResumeTiming();
            next = (next + 1) % kFrames;
        }
        Scale(src, dst, ours);
        benchmark::DoNotOptimize(dst.data);
        benchmark::ClobberMemory();
    }
    cv::Mat theirs(kView, CV_8UC3), mine(kView, CV_8UC3);
    Scale(frames.mats[0], theirs, false);
    Scale(frames.mats[0], mine, true);
    state.counters["maxdiff"] = cv::norm(theirs, mine, cv::NORM_INF);
    plat::view_scale_detail::ForcePath(plat::view_scale_detail::Path::Best);
    state.SetLabel(std::string(!ours ? "cv::resize " : state.range(3) == 2 ? "ScaleBilinearBGR SSSE3 " : "ScaleBilinearBGR ") + std::to_string(size.width) + "x" +
                   std::to_string(size.height) + (cold ? " cold" : " hot"));
}

void Cases(benchmark::internal::Benchmark* b) {
    for (auto [w, h] : {std::pair{1920, 1080}, {1280, 720}})
        for (int cold : {0, 1})
            for (int ours : {0, 1, 2}) b->Args({w, h, cold, ours});
}

}  // namespace

BENCHMARK(BM_ViewScale)->Apply(Cases)->Unit(benchmark::kMicrosecond)->ArgNames({"w", "h", "cold", "ours"});

BENCHMARK_MAIN();
