// Linked into quillmarsh_fakeusb, a test build of the program whose USB camera
// is a fake one behind the camera kernel interface.  The end-to-end tests plug
// it in and out from outside the process: the camera is plugged in while the
// file "plugged" exists in the folder named by QUILLMARSH_FAKE_USB, and streams
// a plain green picture (RGB24, 640 x 480) at about 15 frames a second while
// the program has it open.  Without the variable the program runs unchanged.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include <wx/module.h>

#include "station/QuillmarshDlg.h"
#include "support/FakeCamera.h"

namespace {

// What the fake camera shows: nothing in the simulator's picture is this green.
constexpr std::uint8_t kRed = 20, kGreen = 200, kBlue = 60;
constexpr int kWidth = 640, kHeight = 480;

class Controller {
public:
    explicit Controller(std::string folder) : m_folder(std::move(folder)) {
        plat::cam::SetKernel(m_kernel);
        plat::cam::SetCatalog(m_catalog);
        station::SetDeviceEventSourceForTesting([this] { return m_events.Source(); });
        // Runs until the process ends; the process may end at once from any
        // window (its close button), so the thread is never joined.
        std::thread([this] { Loop(); }).detach();
    }

private:
    void Loop() {
        const std::vector<std::uint8_t> frame = fake::Rgb24Frame(kWidth, kHeight, kRed, kGreen, kBlue);
        for (;;) {
            const bool wanted = std::filesystem::exists(m_folder + "/plugged");
            if (wanted && m_devnode.empty()) PlugIn();
            if (!wanted && !m_devnode.empty()) Unplug();
            if (!m_devnode.empty() && m_kernel->Streaming(m_devnode)) m_kernel->PushFrame(m_devnode, frame);
            std::this_thread::sleep_for(std::chrono::milliseconds(66));
        }
    }
    void PlugIn() {
        // Each plug-in is a new node, as the kernel numbers them.
        m_devnode = "/dev/video" + std::to_string(m_plugs++);
        fake::VideoNode& n = m_kernel->AddVideo(m_devnode);
        n.formats = {{V4L2_PIX_FMT_RGB24, {{kWidth, kHeight}}}};
        n.curFormat = V4L2_PIX_FMT_RGB24;
        n.curW = kWidth;
        n.curH = kHeight;
        m_catalog->nodes = {{m_devnode, "0c45", "6366", ""}};
        m_events.Push("add", m_devnode);
    }
    void Unplug() {
        m_kernel->Unplug(m_devnode);
        m_catalog->nodes.clear();
        m_events.Push("remove", m_devnode);
        m_devnode.clear();
    }

    const std::string m_folder;
    std::shared_ptr<fake::Kernel> m_kernel = std::make_shared<fake::Kernel>();
    std::shared_ptr<fake::Catalog> m_catalog = std::make_shared<fake::Catalog>();
    fake::DeviceEvents m_events;
    std::string m_devnode;
    int m_plugs = 0;
};

// Installed while wx starts, before the application object runs.
class FakeUsbModule : public wxModule {
public:
    bool OnInit() override {
        if (const char* folder = std::getenv("QUILLMARSH_FAKE_USB"); folder && *folder)
            new Controller(folder);  // lives as long as the process
        return true;
    }
    void OnExit() override {}

private:
    wxDECLARE_DYNAMIC_CLASS(FakeUsbModule);
};

wxIMPLEMENT_DYNAMIC_CLASS(FakeUsbModule, wxModule);

}  // namespace
