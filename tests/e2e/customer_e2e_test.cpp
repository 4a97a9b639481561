// The customer road through the whole program: the records, a new customer
// with a photo and a name holding a quote and spaces, detection started for
// that customer with a snapshot landing in the customer's folder, back to the
// start page and quick detection taking its snapshots for the guest again; the
// program started again still knows the customer.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <thread>

#include <opencv2/imgcodecs.hpp>

#include "Roads.h"
#include "platform/ui/DialogTemplate.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// What the road uses of the customer records dialog beside the roads' own.
const wxRect kNumber = plat::DluToPx(54, 126, 79, 12);
const wxRect kAge = plat::DluToPx(54, 190, 79, 12);
const wxRect kPhoto = plat::DluToPx(31, 12, 93, 106);
const wxRect kStartDetection = plat::DluToPx(410, 38, 62, 18);
const wxRect kList = plat::DluToPx(167, 83, 400, 289);

const std::string kCustomer = "Anne O'Hara Lee";

struct Row {
    std::string number, name;
    long long photoBytes = -1;
};

// The rows of the customer database (an SQLite file), read apart from the program.
std::vector<Row> CustomerRows(const fs::path& database) {
    std::vector<Row> rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "select Number, Name, length(Photo) from info", -1, &st, nullptr) == SQLITE_OK) {
            while (sqlite3_step(st) == SQLITE_ROW) {
                auto text = [&](int i) {
                    const unsigned char* t = sqlite3_column_text(st, i);
                    return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
                };
                rows.push_back({text(0), text(1), sqlite3_column_type(st, 2) == SQLITE_NULL
                                                      ? -1
                                                      : sqlite3_column_int64(st, 2)});
            }
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return rows;
}

void TypeInto(const Geometry& dialog, const wxRect& field, const std::string& text) {
    ClickAt(dialog.Origin() + CentreOf(field));
    PressKeys("ctrl+a");
    TypeText(text);
}

// Records, then the first row of the list and Start detection: the station
// window for that customer.
void StartDetectionForFirstRow(pid_t pid, const Geometry& records) {
    // Below the list's header, in the first row.
    ClickAt(records.Origin() + wxPoint(kList.x + 40, kList.y + 36));
    std::this_thread::sleep_for(300ms);
    ClickAt(records.Origin() + CentreOf(kStartDetection));
}

// Saves a snapshot from the live view and returns it (empty when none came).
fs::path Snapshot(const fs::path& folder) {
    const auto before = FilesIn(folder, ".bmp");
    // Snapshots are named by the second: two in one second would be one file.
    std::this_thread::sleep_for(1100ms);
    Click(StationOnScreen().save);
    return AwaitNewFile(folder, ".bmp", before, 5s);
}

TEST(CustomerRoad, ANewCustomersSnapshotsGoToTheirFolderAndTheCustomerOutlivesTheProgram) {
    DeviceSim sim({"--fps", "15"}, 300);
    ASSERT_TRUE(sim.Started());
    ProgramRun run;
    run.SetEnv("QUILLMARSH_DEVICE_PORTS", PortsText(TestDevicePorts()));
    const fs::path photo = run.Scratch() / "photo.bmp";
    ASSERT_TRUE(cv::imwrite(photo.string(), cv::Mat(120, 100, CV_8UC3, cv::Scalar(200, 120, 40))));
    const auto photoBytes = static_cast<long long>(fs::file_size(photo));
    const fs::path images = run.Dir() / "Guests-Image";

    pid_t pid = run.Start();
    auto page = FindStartPage(pid);
    ASSERT_TRUE(page) << run.OutputText();
    ClickStartPageButton(*page, 0);
    auto records = FindWindow(pid, IsRecords, 10s);
    ASSERT_TRUE(records) << "no customer records";
    std::this_thread::sleep_for(500ms);

    // The photo, chosen in the file dialog a double click on the photo opens.
    std::vector<unsigned long> before;
    for (const Geometry& g : Windows(pid)) before.push_back(g.window);
    DoubleClickAt(records->Origin() + CentreOf(kPhoto));
    const auto chooser = FindWindow(
        pid, [&](const Geometry& g) { return g.width > 300 && std::find(before.begin(), before.end(), g.window) == before.end(); },
        10s);
    ASSERT_TRUE(chooser) << "no file dialog";
    std::this_thread::sleep_for(800ms);
    Shell("xdotool windowfocus --sync " + std::to_string(chooser->window));
    PressKeys("ctrl+l");
    TypeText(photo.string());
    PressKeys("Return");
    ASSERT_TRUE(Within(5s, [&] { return !WindowShown(pid, [&](const Geometry& g) { return g.window == chooser->window; }); }));
    std::this_thread::sleep_for(300ms);

    // Number, name and age, then Add.
    TypeInto(*records, kNumber, "7");
    TypeInto(*records, kRecordsName, kCustomer);
    TypeInto(*records, kAge, "42");
    ClickAt(records->Origin() + CentreOf(kRecordsAdd));
    ASSERT_TRUE(Within(5s, [&] { return !CustomerRows(run.Dir() / "UserData.mdb").empty(); })) << "nothing stored";
    const auto rows = CustomerRows(run.Dir() / "UserData.mdb");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].number, "0007");  // stored as four digits
    EXPECT_EQ(rows[0].name, kCustomer);
    EXPECT_EQ(rows[0].photoBytes, photoBytes);

    // Detection for the customer: the snapshot lands in the customer's folder.
    StartDetectionForFirstRow(pid, *records);
    ASSERT_TRUE(FindStationWindow(pid)) << "no station window";
    ASSERT_TRUE(Within(15s, [&] { return ShowsSimulatorPicture(ViewOnScreen(run)); }));
    const fs::path mine = Snapshot(images / kCustomer);
    ASSERT_FALSE(mine.empty()) << "no snapshot in the customer's folder";
    EXPECT_TRUE(ShowsSimulatorPicture(cv::imread(mine.string(), cv::IMREAD_COLOR)));
    EXPECT_TRUE(FilesIn(images / "Guest", ".bmp").empty());

    // Back to the start page; quick detection takes its snapshots for the guest.
    Click(BackButton());
    page = FindStartPage(pid, 6s);
    ASSERT_TRUE(page);
    ClickStartPageButton(*page, 1);
    ASSERT_TRUE(Within(15s, [&] { return ShowsSimulatorPicture(ViewOnScreen(run)); }));
    EXPECT_FALSE(Snapshot(images / "Guest").empty()) << "no snapshot in the guest's folder";
    EXPECT_EQ(FilesIn(images / kCustomer, ".bmp").size(), 1u);

    // The program ends (the station's close button) and starts again: the
    // customer is still stored, and detection for them still fills their folder.
    Click(StationOnScreen().close);
    ASSERT_TRUE(run.WaitExit(pid, 10s)) << "the program did not end";
    pid = run.Start();
    page = FindStartPage(pid);
    ASSERT_TRUE(page);
    const auto again = CustomerRows(run.Dir() / "UserData.mdb");
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].name, kCustomer);
    EXPECT_EQ(again[0].photoBytes, photoBytes);
    ClickStartPageButton(*page, 0);
    records = FindWindow(pid, IsRecords, 10s);
    ASSERT_TRUE(records);
    std::this_thread::sleep_for(500ms);
    StartDetectionForFirstRow(pid, *records);
    ASSERT_TRUE(Within(15s, [&] { return ShowsSimulatorPicture(ViewOnScreen(run)); }));
    EXPECT_FALSE(Snapshot(images / kCustomer).empty());
    EXPECT_EQ(FilesIn(images / kCustomer, ".bmp").size(), 2u);
}

}  // namespace
