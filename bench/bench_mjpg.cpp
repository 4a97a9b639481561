// The MJPG path of a frame sent without Huffman tables (tables inserted,
// decoded, B, G, R rows top-down as the sink receives them) against a bare
// libjpeg-turbo decode of the same picture with its tables, one thread.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "bench/BareDecode.h"
#include "capture/FrameConvert.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A camera-like picture: gradients, edges, texture.
cv::Mat Picture(int w, int h) {
    cv::Mat img(h, w, CV_8UC3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.at<cv::Vec3b>(y, x) = cv::Vec3b(static_cast<uchar>(x * 255 / w), static_cast<uchar>(y * 255 / h),
                                                static_cast<uchar>(128 + 60 * ((x / 40 + y / 40) & 1)));
    cv::Mat noise(h, w, CV_8UC3);
    cv::theRNG().state = 7;
    cv::randn(noise, cv::Scalar::all(0), cv::Scalar::all(6));
    img += noise;
    for (int i = 0; i < 12; ++i)
        cv::circle(img, {w * (i + 1) / 13, h / 2}, h / 8, cv::Scalar(20 * i, 255 - 20 * i, 90), 4);
    return img;
}

// The frame with its DHT segments left out, as cameras send it.
Bytes StripTables(const Bytes& j) {
    Bytes out(j.begin(), j.begin() + 2);
    std::size_t i = 2;
    while (i + 4 <= j.size()) {
        const std::size_t len = (static_cast<std::size_t>(j[i + 2]) << 8 | j[i + 3]) + 2;
        if (j[i + 1] == 0xDA) break;
        if (j[i + 1] != 0xC4) out.insert(out.end(), j.begin() + i, j.begin() + i + len);
        i += len;
    }
    out.insert(out.end(), j.begin() + i, j.end());
    return out;
}

struct Frames {
    explicit Frames(int w, int h) : width(w), height(h) {
        cv::imencode(".jpg", Picture(w, h), withTables, {cv::IMWRITE_JPEG_QUALITY, 85});
        withoutTables = StripTables(withTables);
    }
    int width, height;
    Bytes withTables, withoutTables;
};

void BM_BareLibjpeg(benchmark::State& state) {
    const Frames f(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    std::vector<unsigned char> out(static_cast<std::size_t>(f.width) * f.height * 3);
    for (auto _ : state) {
        BareDecode(f.withTables, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetLabel(std::to_string(f.width) + "x" + std::to_string(f.height) + " " +
                   std::to_string(f.withTables.size()) + " bytes");
}

void BM_QuillMjpgToBgr(benchmark::State& state) {
    const Frames f(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    std::vector<unsigned char> out(static_cast<std::size_t>(f.width) * f.height * 3);
    for (auto _ : state) {
        if (!DecodeMjpgFrameBGR(out.data(), out.size(), f.withoutTables.data(), f.withoutTables.size()))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetLabel(std::to_string(f.width) + "x" + std::to_string(f.height));
}

// The same picture by the literal steps: R, G, B decode, swap, two flips.
void BM_QuillMjpgStepByStep(benchmark::State& state) {
    const Frames f(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    cv::Mat buf(f.height, f.width, CV_8UC3), tmp(f.height, f.width, CV_8UC3);
    for (auto _ : state) {
        if (!DecodeMjpgFrame(nullptr, buf.data, buf.total() * 3, f.withoutTables.data(), f.withoutTables.size()))
            state.SkipWithError("decode failed");
        cv::cvtColor(buf, buf, cv::COLOR_RGB2BGR);
        cv::flip(buf, tmp, 0);
        cv::flip(tmp, buf, 0);
        benchmark::DoNotOptimize(buf.data);
    }
    state.SetLabel(std::to_string(f.width) + "x" + std::to_string(f.height));
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Args({1280, 720})->Args({1920, 1080})->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(BM_BareLibjpeg)->Apply(Sizes);
BENCHMARK(BM_QuillMjpgToBgr)->Apply(Sizes);
BENCHMARK(BM_QuillMjpgStepByStep)->Apply(Sizes);

int main(int argc, char** argv) {
    cv::setNumThreads(1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
