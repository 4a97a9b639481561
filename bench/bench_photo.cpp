// A customer's stored photo written to its file in 1024-byte pieces, as a
// click on the customer list does, at photo file sizes from a small picture
// to a full-screen 24-bit bitmap.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "customers/UserDataDlg.h"
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

}  // namespace

BENCHMARK_MAIN();
