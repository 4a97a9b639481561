// A customer's stored photo written to its file in 1024-byte pieces, as a
// click on the customer list does, at photo file sizes from a small picture
// to a full-screen 24-bit bitmap; and the process's peak memory while a
// 300 MB photo is stored and taken out again, and while a large file chosen
// as the photo is loaded.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "customers/UserDataDlg.h"
#include "platform/CvCompat.h"
#include "platform/Resources.h"

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

// Makes the peak start again from what the process holds now.
bool ResetPeak() {
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

}  // namespace

BENCHMARK_MAIN();
