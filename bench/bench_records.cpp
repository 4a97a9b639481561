// The customer records dialog over a generated file of 10,000 and 100,000
// customers: opening it, All, a click on a row, a search by name, Add,
// Modify and Delete, each in wall time and CPU time, against the engine's own
// full read of the same file (every column of every row, `sqlite3`'s
// "select * from info"); and how far the process's peak memory rises while
// the dialog lists them.
//
// The dialog needs a display: run it under one, e.g.
//   xvfb-run -a -s "-screen 0 1920x1080x24" build/bench_records
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/listctrl.h>

#include "app/QuillmarshApp.h"
#include "customers/UserDataDlg.h"
#include "platform/CrossThread.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;

namespace {

// One folder per size, each with its database, the language pack and the
// no-photo picture beside it.
std::map<int, std::string> g_folders;
std::string g_buildFolder;

std::string Database(int customers) { return g_folders.at(customers) + "/UserData.mdb"; }

// Customers as a chain's shared file holds them: numbers 0100 to 0999 over
// and over (each shop numbers its own; Add's numbers below 100 stay free),
// names, phones, a birthday, an address, a remark.  About 12 MB for 100,000.
void Generate(int customers) {
    char folder[] = "/tmp/bench-records-XXXXXX";
    if (!::mkdtemp(folder)) std::abort();
    g_folders[customers] = folder;
    fs::create_directories(fs::path(folder) / "standard/photo");
    fs::copy_file(fs::path(g_buildFolder) / "standard/photo/women.bmp", fs::path(folder) / "standard/photo/women.bmp");
    fs::create_directory_symlink(fs::path(g_buildFolder) / "Language", fs::path(folder) / "Language");
    sqlite3* db = nullptr;
    sqlite3_open(Database(customers).c_str(), &db);
    sqlite3_exec(db,
                 "CREATE TABLE info (Number TEXT COLLATE NOCASE, Name TEXT COLLATE NOCASE, Sex TEXT COLLATE NOCASE,"
                 " Age TEXT COLLATE NOCASE, Birthday TEXT COLLATE NOCASE, Phone TEXT COLLATE NOCASE,"
                 " Email TEXT COLLATE NOCASE, Address TEXT COLLATE NOCASE, Operator TEXT COLLATE NOCASE,"
                 " Remark TEXT COLLATE NOCASE, Photo BLOB);"
                 "CREATE INDEX \"序号\" ON info (Number);"
                 "BEGIN",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO info VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, NULL)", -1, &st, nullptr);
    for (int i = 0; i < customers; ++i) {
        const std::string values[10] = {
            std::to_string(1000 + i % 900).substr(1),
            "Customer " + std::to_string(i),
            std::to_string(i % 2),
            std::to_string(18 + i % 60),
            std::to_string(1950 + i % 50) + "/0" + std::to_string(1 + i % 9) + "/1" + std::to_string(i % 10),
            "138" + std::to_string(10000000 + i),
            "c" + std::to_string(i) + "@mail.example",
            std::to_string(i % 500) + " Harbour Road",
            "Operator",
            i % 3 ? std::string() : std::string("sensitive scalp, check again in spring"),
        };
        for (int c = 0; c < 10; ++c) sqlite3_bind_text(st, c + 1, values[c].c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

void UseFolder(int customers) {
    plat::SetExecutableFolderForTesting(wxString::FromUTF8(g_folders.at(customers) + "/"));
    theApp.m_strLangIni = wxString::FromUTF8(g_folders.at(customers) + "/Language/简体中文.ini");
}

// The engine's read of every column of every row, as `sqlite3` reads them to print them.
double g_engineRead[2];  // seconds, 10,000 and 100,000 customers

double EngineRead(int customers) {
    const auto start = std::chrono::steady_clock::now();
    sqlite3* db = nullptr;
    sqlite3_open_v2(Database(customers).c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "select * from info", -1, &st, nullptr);
    std::size_t bytes = 0;
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            benchmark::DoNotOptimize(sqlite3_column_text(st, c));
            bytes += static_cast<std::size_t>(sqlite3_column_bytes(st, c));
        }
    benchmark::DoNotOptimize(bytes);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double& EngineReadOf(int customers) { return g_engineRead[customers >= 100000 ? 1 : 0]; }

void BM_EngineFullRead(benchmark::State& state) {
    const int customers = static_cast<int>(state.range(0));
    for (auto _ : state) EngineReadOf(customers) = EngineRead(customers);
}

// The command-line shell's full read of the file, printed to nowhere (wall time only: another process).
void BM_Sqlite3Shell(benchmark::State& state) {
    const std::string command = "sqlite3 '" + Database(static_cast<int>(state.range(0))) +
                                "' 'select * from info' > /dev/null";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("sqlite3 failed");
}

std::unique_ptr<CUserDataDlg> OpenDialog() {
    auto dlg = std::make_unique<CUserDataDlg>();
    dlg->Create();
    dlg->Show();
    dlg->Update();  // painted, the rows on screen drawn
    return dlg;
}

void Click(CUserDataDlg& dlg, int id) {
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(dlg.GetDlgItem(id));
    dlg.GetDlgItem(id)->GetEventHandler()->ProcessEvent(click);
    dlg.Update();
}

void Pick(CUserDataDlg& dlg, long row) {
    dlg.m_listUsers->SetItemState(row, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    dlg.OnNMClickList();
    dlg.Update();
}

// The time of one operation over the engine's full read of the same file.
void Ratio(benchmark::State& state, std::chrono::steady_clock::duration total) {
    const double each = std::chrono::duration<double>(total).count() / static_cast<double>(state.iterations());
    state.counters["x_engine_read"] = each / EngineReadOf(static_cast<int>(state.range(0)));
}

enum Operation { kOpen, kShowAll, kRowClick, kSearch, kAdd, kModify, kDelete };

void BM_Records(benchmark::State& state) {
    const int customers = static_cast<int>(state.range(0));
    const auto operation = static_cast<Operation>(state.range(1));
    UseFolder(customers);
    plat::SetMessageBoxHook([](const wxString&, const wxString&, UINT type) { return type & MB_YESNO ? IDYES : IDOK; });
    std::unique_ptr<CUserDataDlg> dlg;
    if (operation != kOpen) dlg = OpenDialog();
    int n = 0;
    std::chrono::steady_clock::duration total{};
    for (auto _ : state) {
        ++n;
        state.PauseTiming();
        // What the operator does before the operation is not timed.
        const long row = 10 + n * 37 % (customers / 2);
        if (operation == kModify || operation == kDelete) Pick(*dlg, row);
        if (operation == kModify) dlg->SetDlgItemText(1041, wxString::Format("139%08d", n));
        if (operation == kAdd) {
            dlg->SetDlgItemText(1038, wxString::Format("%d", n));
            dlg->SetDlgItemText(1039, wxString::Format("New %d", n));
        }
        if (operation == kSearch) dlg->SetDlgItemText(1056, wxString::Format("Customer %d", customers - n));
        if (operation == kRowClick) dlg->m_listUsers->SetItemState(row, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        switch (operation) {
            case kOpen: dlg = OpenDialog(); break;
            case kShowAll: Click(*dlg, 1058); break;
            case kRowClick:
                dlg->OnNMClickList();
                dlg->Update();
                break;
            case kSearch: Click(*dlg, 1057); break;
            case kAdd: Click(*dlg, 1049); break;
            case kModify: Click(*dlg, 1052); break;
            case kDelete: Click(*dlg, 1053); break;
        }
        total += std::chrono::steady_clock::now() - start;
        state.PauseTiming();
        if (operation == kOpen) dlg.reset();
        if (operation == kSearch) Click(*dlg, 1058);
        if (dlg && !dlg->GetDlgItemText(1076).empty()) {
            state.SkipWithError(dlg->GetDlgItemText(1076).utf8_str());
            break;
        }
        state.ResumeTiming();
    }
    dlg.reset();
    plat::SetMessageBoxHook({});
    Ratio(state, total);
    state.counters["customers"] = customers;
}

void Operations(benchmark::internal::Benchmark* b) {
    for (int customers : {10000, 100000})
        for (int op = kOpen; op <= kDelete; ++op) b->Args({customers, op});
}

// How far the peak memory rises while the dialog opens with every customer
// listed, lists them all again, searches and lists them all again.
void BM_ListPeakMemory(benchmark::State& state) {
    const int customers = static_cast<int>(state.range(0));
    UseFolder(customers);
    auto peakKb = [] {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
        return -1L;
    };
    for (auto _ : state) {
        ::malloc_trim(0);
        std::ofstream("/proc/self/clear_refs") << "5";
        const long before = peakKb();
        {
            auto dlg = OpenDialog();
            Click(*dlg, 1058);
            dlg->SetDlgItemText(1056, "Customer 7");
            Click(*dlg, 1057);
            Click(*dlg, 1058);
            state.counters["listed"] = dlg->m_listUsers->GetItemCount();
        }
        state.counters["peak_growth_MB"] = static_cast<double>(peakKb() - before) / 1024.0;
    }
}

}  // namespace

BENCHMARK(BM_ListPeakMemory)->Arg(100000)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineFullRead)->Arg(10000)->Arg(100000)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sqlite3Shell)->Arg(10000)->Arg(100000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Records)->Apply(Operations)->Iterations(10)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (wxApp::GetInstance() == nullptr) wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv)) {
        std::fprintf(stderr, "bench_records needs a display (run it under xvfb-run)\n");
        return 1;
    }
    wxInitAllImageHandlers();
    plat::SetUiThread();
    wxTheApp->CallOnInit();
    g_buildFolder = plat::GetExecutableFolder().utf8_string();
    for (int customers : {10000, 100000}) {
        Generate(customers);
        EngineReadOf(customers) = EngineRead(customers);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const auto& [customers, folder] : g_folders) fs::remove_all(folder);
    wxEntryCleanup();
    return 0;
}
