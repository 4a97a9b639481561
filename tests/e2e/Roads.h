#pragma once
// What the operator's roads through the whole program share: the station
// window's controls where the layout puts them on the test display, looks at
// the screen and at the files the program keeps.
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <wx/gdicmn.h>

#include "station/StationLayout.h"
#include "support/DeviceSim.h"
#include "support/ProgramRun.h"
#include "support/TempDir.h"

// The display the tests run on: 1920 x 1080 without a panel.
constexpr int kScreenWidth = 1920, kScreenHeight = 1080;

// The no-device picture of language 0 (a bitmap resource).
constexpr int kNoDevicePicture = 163;

// The station window's layout on that display (the window at the screen's
// origin, borderless, so client coordinates are screen coordinates).
const StationLayout& StationOnScreen();
// The back button 1012, where its template puts it.
wxRect BackButton();
wxPoint CentreOf(const wxRect& r);
void Click(const wxRect& control);
// The magnifier button 1027 opens the magnification menu just above itself;
// rows 0 " 50  X " and 1 " 200 X " choose magnification 0 and 1.  The row is
// chosen with the pointer as the operator does: the menu shows where it
// belongs, the row lights up under the pointer, the click chooses it and the
// menu goes.  False, with the step that failed in `failure`.
bool ChooseMagnification(const ProgramRun& run, pid_t pid, int row, std::string* failure);

// "presence,status,stream" for QUILLMARSH_DEVICE_PORTS.
std::string PortsText(const plat::DevicePorts& ports);

// Starts `run` with the station looking for the device on the test's ports,
// presses quick detection and waits until the device's stream is live in
// the view.  The process id; -1, with the step that failed in `failure`.
// `unlitButton`, when given, receives the quick-detection button as the start
// page showed it before the pointer came near it.
pid_t StartQuickDetection(ProgramRun& run, std::string* failure, cv::Mat* unlitButton = nullptr);
// Quick detection from the start page shown now, until the stream is live.
bool PressQuickDetection(const ProgramRun& run, pid_t pid, std::string* failure);
// The start page's button `index` on the screen now (empty when it cannot be read).
cv::Mat StartPageButtonOnScreen(const ProgramRun& run, const Geometry& page, int index);

// The customer records dialog (585 x 391 dialog units) and what the roads use of it.
bool IsRecords(const Geometry& g);
extern const wxRect kRecordsName;
extern const wxRect kRecordsAdd;

// The screen now, as B, G, R rows (empty when it could not be read).
cv::Mat Screen(const ProgramRun& run);
// The live view's part of the screen.
cv::Mat ViewOnScreen(const ProgramRun& run);

// What the view shows.  The simulator's picture stands upright with its red
// block at the top left; the fake USB camera's is plain green.
bool ShowsSimulatorPicture(const cv::Mat& picture);
bool ShowsFakeUsbPicture(const cv::Mat& picture);
// The scale overlay: red lines across the middle of the picture, both ways.
bool CarriesRuler(const cv::Mat& picture);
// The measuring overlays at magnification `mag` (the ruler burnt into a live
// frame, the graticule over the frozen picture) on a frame or on the view it
// is stretched into: nearly all of what the overlay draws at `mag` alone is
// there, almost nothing of what the other magnification alone draws.
bool ShowsRulerAt(const cv::Mat& view, int mag);
bool ShowsGraticuleAt(const cv::Mat& view, int mag);
// How many pixels of `picture` are pure red (strokes, overlays).
int RedPixels(const cv::Mat& picture);
bool IsRed(const cv::Vec3b& p);

// Waits until `cond` holds, looking every 200 ms.
bool Within(std::chrono::milliseconds bound, const std::function<bool()>& cond);

// The files of `folder` with extension `ext` (".bmp"), sorted by name.
std::vector<std::filesystem::path> FilesIn(const std::filesystem::path& folder, const std::string& ext);
// Waits for a file of `ext` in `folder` that is not among `before` and is
// complete (its size has stopped changing); empty when none came.
std::filesystem::path AwaitNewFile(const std::filesystem::path& folder, const std::string& ext,
                                   const std::vector<std::filesystem::path>& before, std::chrono::milliseconds bound);

// A window manager on the test's display while the object lives: blackbox,
// small and announcing itself the standard way, without its toolbar so that
// the whole screen stays the work area the layouts above assume.
struct WindowManager {
    WindowManager();
    ~WindowManager();
    TempDir home;
    pid_t pid = -1;
    bool running = false;  // it runs and has announced itself
};
