// A customer's stored photo written to its file in 1024-byte pieces, as a
// click on the customer list does, at photo file sizes from a small picture
// to a full-screen 24-bit bitmap; the process's peak memory while a 300 MB
// photo is stored and taken out again, and while a large file chosen as the
// photo is loaded; and the photo box's decode of a chosen photo, baseline or
// progressive, against a full-size cv::imread of the same file.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "customers/UserDataDlg.h"
#include "platform/CvCompat.h"
#include "platform/PictureLoader.h"
#include "platform/Resources.h"
#include "platform/ui/DialogTemplate.h"

namespace {

void BM_ReadPhoto(benchmark::State& state) {
    char folder[] = "/tmp/bench-photo-XXXXXX";
    if (!::mkdtemp(folder)) {
        state.SkipWithError("no scratch folder");
        return;
    }
    const std::string db = std::string(folder) + "/UserData.mdb", out = std::string(folder) + "/default.bmp";
    const plat::ResourceBlob blob = plat::FindResource(270, "MDB");
    if (std::FILE* f = std::fopen(db.c_str(), "wb")) {
        std::fwrite(blob.data, 1, blob.size, f);
        std::fclose(f);
    }
    {
        _ConnectionPtr conn;
        conn.CreateInstance();
        conn->Open("Data Source=" + wxString::FromUTF8(db));
        _RecordsetPtr rs;
        rs.CreateInstance();
        rs->Open("select * from info", conn);
        rs->AddNew();
        const std::vector<BYTE> photo(static_cast<std::size_t>(state.range(0)), 0x5a);
        rs->PutCollect("Photo", _variant_t::Bytes(photo.data(), photo.size()));
        rs->Update();
        rs->Close();
        for (auto _ : state) {
            rs->Open("select * from info", conn);
            benchmark::DoNotOptimize(CUserDataDlg::ReadPhotoFromRecord(rs, wxString::FromUTF8(out)));
            rs->Close();
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
    ::unlink(out.c_str());
    ::unlink(db.c_str());
    ::rmdir(folder);
}
BENCHMARK(BM_ReadPhoto)->Arg(64 << 10)->Arg(1 << 20)->Arg(1920 * 1080 * 3 + 54)->Unit(benchmark::kMillisecond);

// The process's peak resident memory in kB since the last reset.
long PeakKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

// Makes the peak start again from what the process holds now.  Memory freed
// before (the test picture's) is given back first: kept by the allocator it
// would be used again unseen, and a decode would seem to cost nothing.
bool ResetPeak() {
    ::malloc_trim(0);
    std::ofstream clear("/proc/self/clear_refs");
    return static_cast<bool>(clear << "5" << std::flush);
}

// How far the process's peak memory rose while `work` ran, in kB; -1, with
// the benchmark failed, when the peak cannot be reset.
template <class Work>
long PeakGrowthKb(benchmark::State& state, Work&& work) {
    if (!ResetPeak()) {
        state.SkipWithError("the peak memory cannot be reset (/proc/self/clear_refs)");
        return -1;
    }
    const long before = PeakKb();
    work();
    return PeakKb() - before;
}

// Stored as Add stores it (the file appended in pieces, then the row written),
// stored again over itself as Modify does, then taken out as a click on the
// customer does.  The counter is how far the
// process's peak memory rose above what it held before.
void BM_PhotoPeakMemory(benchmark::State& state) {
    char folder[] = "/tmp/bench-photo-XXXXXX";
    if (!::mkdtemp(folder)) {
        state.SkipWithError("no scratch folder");
        return;
    }
    const std::string db = std::string(folder) + "/UserData.mdb", in = std::string(folder) + "/photo.bmp",
                      out = std::string(folder) + "/default.bmp";
    const plat::ResourceBlob blob = plat::FindResource(270, "MDB");
    const std::size_t size = static_cast<std::size_t>(state.range(0));
    {
        std::ofstream(db, std::ios::binary).write(reinterpret_cast<const char*>(blob.data), blob.size);
        std::ofstream photo(in, std::ios::binary);
        std::vector<char> block(1 << 20);
        for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 7);
        for (std::size_t done = 0; done < size; done += block.size())
            photo.write(block.data(), static_cast<std::streamsize>(std::min(block.size(), size - done)));
    }
    _ConnectionPtr conn;
    conn.CreateInstance();
    conn->Open("Data Source=" + wxString::FromUTF8(db));
    long growthKb = 0;
    for (auto _ : state) {
        growthKb = PeakGrowthKb(state, [&] {
            _RecordsetPtr rs;
            rs.CreateInstance();
            rs->Open("select * from info", conn);
            rs->AddNew();
            rs->PutCollect("Number", "0001");
            CUserDataDlg::WritePhotoToRecord(rs, wxString::FromUTF8(in));
            rs->Update();
            rs->Close();
            // Replaced as Modify replaces it, over the stored one.
            rs->Open("select * from info where Number='0001'", conn);
            rs->PutCollect("Name", "Mia");
            CUserDataDlg::WritePhotoToRecord(rs, wxString::FromUTF8(in));
            rs->Update();
            rs->Close();
            rs->Open("select * from info where Number='0001'", conn);
            CUserDataDlg::ReadPhotoFromRecord(rs, wxString::FromUTF8(out));
            rs->Delete();
            rs->Close();
        });
        if (growthKb < 0) break;
        std::ifstream back(out, std::ios::binary | std::ios::ate);
        if (static_cast<std::size_t>(back.tellg()) != size) state.SkipWithError("the photo came back cut");
    }
    state.counters["peak_growth_MB"] = static_cast<double>(growthKb) / 1024.0;
    conn->Close();
    for (const std::string& f : {in, out, db}) ::unlink(f.c_str());
    ::rmdir(folder);
}
BENCHMARK(BM_PhotoPeakMemory)->Arg(300 << 20)->Iterations(1)->Unit(benchmark::kSecond);

// A large file chosen as the photo (a sparse file named ".bmp", of the
// argument's gigabytes), loaded as the photo box loads it at each paint.  The
// counter is how far the process's peak memory rose above what it held before.
void BM_ChosenFilePeakMemory(benchmark::State& state) {
    char path[] = "/tmp/bench-chosen-XXXXXX.bmp";
    const int fd = ::mkstemps(path, 4);
    if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(state.range(0)) << 30) != 0) {
        state.SkipWithError("no sparse file");
        return;
    }
    ::close(fd);
    long growthKb = 0;
    for (auto _ : state) {
        IplImage* image = nullptr;
        growthKb = PeakGrowthKb(state, [&] { image = cvLoadImage(path, CV_LOAD_IMAGE_COLOR); });
        if (growthKb < 0) break;
        if (image) state.SkipWithError("a sparse file loaded as a picture");
        cvReleaseImage(&image);
    }
    state.counters["peak_growth_MB"] = static_cast<double>(growthKb) / 1024.0;
    ::unlink(path);
}
BENCHMARK(BM_ChosenFilePeakMemory)->Arg(4)->Arg(100)->Unit(benchmark::kMillisecond);

// A camera's photo as far as its decoder is concerned: smooth light with
// some noise, which a JPEG of quality 92 keeps at about 3 bits a pixel.
cv::Mat PhotoLike(int width, int height) {
    cv::Mat picture(height, width, CV_8UC3);
    cv::randu(picture, 0, 40);
    for (int y = 0; y < height; ++y) {
        auto* row = picture.ptr<cv::Vec3b>(y);
        for (int x = 0; x < width; ++x)
            row[x] += cv::Vec3b(static_cast<uchar>(x * 200 / width), static_cast<uchar>(y * 200 / height),
                                static_cast<uchar>((x + y) * 100 / (width + height)));
    }
    return picture;
}

// The loader's decode of `path` at `fit`, over the benchmark's iterations,
// against one full-size cv::imread of the same file: the time and peak
// memory rise of each, and their ratios.  A decode that shows nothing (or,
// with `exactSize`, not at `fit`) fails the benchmark.
void DecodeAgainstImread(benchmark::State& state, const std::string& path, cv::Size fit, bool exactSize) {
    using Clock = std::chrono::steady_clock;
    long growthKb = 0;
    double seconds = 0;
    for (auto _ : state) {
        cv::Mat shown;
        bool ok = false;
        const auto start = Clock::now();
        const long kb = PeakGrowthKb(state, [&] { ok = plat::Shown(plat::LoadPicture(path.c_str(), 1, fit, &shown)); });
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        growthKb = std::max(growthKb, kb);
        if (kb < 0) break;
        if (!ok || (exactSize && shown.size() != fit)) state.SkipWithError("not shown at its size");
    }
    const auto start = Clock::now();
    const long imreadKb = PeakGrowthKb(state, [&] { benchmark::DoNotOptimize(cv::imread(path, cv::IMREAD_COLOR)); });
    const double imreadSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double mean = seconds / static_cast<double>(std::max<benchmark::IterationCount>(1, state.iterations()));
    state.counters["peak_growth_MB"] = static_cast<double>(growthKb) / 1024.0;
    state.counters["imread_ms"] = imreadSeconds * 1000.0;
    state.counters["imread_peak_MB"] = static_cast<double>(imreadKb) / 1024.0;
    state.counters["time_vs_imread"] = mean / imreadSeconds;
    state.counters["peak_vs_imread"] = static_cast<double>(growthKb) / static_cast<double>(std::max(1L, imreadKb));
}

// From the operator's choice to the picture at the photo box's size, for
// phone photos (JPEG) of the argument's megapixels, or with 0 the largest
// bitmap the loader decodes whole.  Counters: how far the process's peak
// memory rose, and the time and peak rise of a full-size cv::imread of the
// same file, with the ratios of the two.
void BM_PhotoBoxDecode(benchmark::State& state) {
    const int megapixels = static_cast<int>(state.range(0));
    const cv::Size size = megapixels == 12   ? cv::Size(4000, 3000)
                          : megapixels == 24 ? cv::Size(6000, 4000)
                          : megapixels == 48 ? cv::Size(8000, 6000)
                                             : cv::Size(5792, 5792);  // 2^25 pixels at most
    const std::string path = std::string("/tmp/bench-photo-box-") + std::to_string(::getpid()) +
                             (megapixels ? ".jpg" : ".bmp");
    if (!cv::imwrite(path, PhotoLike(size.width, size.height), {cv::IMWRITE_JPEG_QUALITY, 92})) {
        state.SkipWithError("no photo written");
        return;
    }
    const cv::Size box(plat::DluToPxX(93), plat::DluToPxY(106));
    DecodeAgainstImread(state, path, box, true);
    ::unlink(path.c_str());
}
BENCHMARK(BM_PhotoBoxDecode)->Arg(12)->Arg(24)->Arg(48)->Arg(0)->Iterations(3)->Unit(benchmark::kMillisecond);

// A progressive JPEG at quality 95 with colour as finely sampled as
// brightness (4:4:4), as editors and web exports write them.
bool WriteProgressive(const cv::Mat& picture, const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = static_cast<JDIMENSION>(picture.cols);
    c.image_height = static_cast<JDIMENSION>(picture.rows);
    c.input_components = 3;
    c.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    c.comp_info[0].h_samp_factor = c.comp_info[0].v_samp_factor = 1;
    jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(picture.ptr<unsigned char>(static_cast<int>(c.next_scanline)));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return std::fclose(f) == 0;
}

// A progressive 4:4:4 photo of the first argument's megapixels (20: 5000 x
// 4000, 48: 8000 x 6000) from the operator's choice to the picture at the
// photo box's size (second argument 0) or the comparison pane's on a 1920 x
// 1080 screen (1).  Counters: the peak memory's rise, and the time and peak
// rise of a full-size cv::imread of the same file (which keeps every
// coefficient, six bytes a pixel).
void BM_ProgressivePhotoDecode(benchmark::State& state) {
    const cv::Size size = state.range(0) == 20 ? cv::Size(5000, 4000) : cv::Size(8000, 6000);
    const cv::Size fit = state.range(1) == 0 ? cv::Size(plat::DluToPxX(93), plat::DluToPxY(106)) : cv::Size(643, 510);
    const std::string path = "/tmp/bench-photo-progressive-" + std::to_string(::getpid()) + ".jpg";
    if (!WriteProgressive(PhotoLike(size.width, size.height), path)) {
        state.SkipWithError("no photo written");
        return;
    }
    DecodeAgainstImread(state, path, fit, false);
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    state.counters["file_MB"] = static_cast<double>(file.tellg()) / (1 << 20);
    ::unlink(path.c_str());
}
BENCHMARK(BM_ProgressivePhotoDecode)
    ->Args({20, 0})
    ->Args({20, 1})
    ->Args({48, 0})
    ->Args({48, 1})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
