// The presence probe and the status link against the device simulator on
// 127.0.0.1, with a test host in place of the station window.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

#include "support/DeviceSim.h"
#include "app/QuillmarshApp.h"
#include "station/DeviceLinks.h"

using namespace std::chrono_literals;

namespace {

class TestHost : public IDeviceLinkHost {
public:
    wxString DeviceAddress() const override { return m_address; }
    LRESULT DeviceStatus(LPARAM lParam) override {
        // What the window's handler does with the flag, so the probe sees it.
        if (lParam == 0) theApp.m_bNetCamera = 1;
        else theApp.m_bNetCamera = 0;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_statuses.push_back(lParam);
        return 0;
    }
    std::atomic<BOOL>& LiveFlag() override { return m_live; }
    void PostFreezeButtonUpdate() override { ++m_buttonUpdates; }

    std::vector<LPARAM> Statuses() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_statuses;
    }

    void Clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_statuses.clear();
    }

    wxString m_address = "127.0.0.1";
    std::atomic<BOOL> m_live{FALSE};
    std::atomic<int> m_buttonUpdates{0};

private:
    std::mutex m_mutex;
    std::vector<LPARAM> m_statuses;
};

class Links : public ::testing::Test {
protected:
    void SetUp() override {
        TestDevicePorts();
        theApp.m_bNetCamera = 0;
        theApp.m_bUsbCamera = 0;
    }
    void TearDown() override {
        EXPECT_TRUE(links.StopAll(3s));
        theApp.m_bNetCamera = 0;
        theApp.m_bUsbCamera = 0;
    }
    bool ProbeEnds(std::chrono::milliseconds within) {
        return WaitUntil([&] { return !links.m_hPresenceThread.IsRunning(); }, within);
    }

    TestHost host;
    CDeviceLinks links{host};
};

TEST_F(Links, OnlyAGreetingStartingWithLowerCaseXevFindsTheDevice) {
    struct Case {
        std::vector<std::string> args;
        bool found;
    };
    const Case cases[] = {
        {{"--greeting", "xev"}, true},
        {{"--greeting", "xevious camera 2.1"}, true},
        {{"--greeting", "XEV"}, false},
        {{"--greeting", "xe"}, false},
        {{"--greeting", " xev"}, false},
        {{"--silent"}, false},  // connected, but nothing ever said
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        DeviceSim sim(c.args);
        ASSERT_TRUE(sim.Started());
        ASSERT_TRUE(links.StartPresence());
        if (c.found) {
            ASSERT_TRUE(WaitUntil([&] { return host.Statuses().size() == 1; }, 3s));
            EXPECT_EQ(host.Statuses()[0], 0);
            EXPECT_EQ(theApp.m_bNetCamera, 1);
        } else {
            // The probe keeps waiting on its first connection: no message, no reconnect.
            std::this_thread::sleep_for(1500ms);
            EXPECT_TRUE(host.Statuses().empty());
            EXPECT_TRUE(links.m_hPresenceThread.IsRunning());
            EXPECT_EQ(sim.CountOutput("presence connection"), 1);
        }
        ASSERT_TRUE(links.StopAll(2s));
        host.Clear();
        theApp.m_bNetCamera = 0;
    }
}

TEST_F(Links, WithoutANetworkDeviceNothingIsProbed) {
    DeviceSim sim({});
    ASSERT_TRUE(sim.Started());
    plat::SetDevicePortsForTesting(std::nullopt);
    EXPECT_FALSE(links.StartPresence());
    EXPECT_FALSE(links.m_hPresenceThread.IsRunning());
    std::this_thread::sleep_for(300ms);
    plat::SetDevicePortsForTesting(TestDevicePorts());
    EXPECT_EQ(sim.CountOutput("presence connection"), 0);
    EXPECT_TRUE(host.Statuses().empty());
}

TEST_F(Links, TwoRefusedConnectionsGiveOneNotFoundAndEndTheProbe) {
    DeviceSim sim({"--refuse"});
    ASSERT_TRUE(sim.Started());
    theApp.m_bNetCamera = 1;  // whatever was set before, not found clears it
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(links.StartPresence());
    ASSERT_TRUE(ProbeEnds(4s));
    // Refusals come at once: one pause of a second between the two attempts.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2500ms);
    EXPECT_EQ(host.Statuses(), std::vector<LPARAM>{1});
    EXPECT_EQ(theApp.m_bNetCamera, 0);
    EXPECT_FALSE(links.m_hPresenceThread.Socket()->IsOpen());
}

TEST_F(Links, TheBudgetIsNotRefilledByAFind) {
    // The first attempt is refused, the second greeted; then the device stays
    // reachable until it goes, and one more failure ends the probe.
    auto sim = std::make_unique<DeviceSim>(std::vector<std::string>{"--refuse-first", "0.5"});
    ASSERT_TRUE(sim->Started());
    ASSERT_TRUE(links.StartPresence());
    ASSERT_TRUE(WaitUntil([&] { return host.Statuses().size() == 1; }, 4s));
    EXPECT_EQ(host.Statuses()[0], 0);
    EXPECT_EQ(sim->CountOutput("presence connection"), 1);
    // Found: the probe now only reconnects, about once a second.
    ASSERT_TRUE(sim->WaitForOutput("presence connection", 3, 3500ms));
    EXPECT_EQ(host.Statuses().size(), 1u);
    sim.reset();
    ASSERT_TRUE(ProbeEnds(4s));
    EXPECT_EQ(host.Statuses(), (std::vector<LPARAM>{0, 1}));
    EXPECT_EQ(theApp.m_bNetCamera, 0);
}

TEST_F(Links, AClosedConnectionBeforeTheGreetingIsRetriedAfterThePause) {
    DeviceSim sim({"--close-early"});
    ASSERT_TRUE(sim.Started());
    ASSERT_TRUE(links.StartPresence());
    ASSERT_TRUE(sim.WaitForOutput("presence connection", 3, 4s));
    // Closed connections are no failures: the probe goes on, silently.
    EXPECT_TRUE(links.m_hPresenceThread.IsRunning());
    EXPECT_TRUE(host.Statuses().empty());
}

TEST_F(Links, AnOpenUsbCameraEndsTheProbeWithoutAMessage) {
    DeviceSim sim({"--refuse"});
    ASSERT_TRUE(sim.Started());
    // Already open when the probe starts.
    theApp.m_bUsbCamera = 1;
    theApp.m_bNetCamera = 1;
    ASSERT_TRUE(links.StartPresence());
    ASSERT_TRUE(ProbeEnds(500ms));
    EXPECT_EQ(theApp.m_bNetCamera, 0);
    EXPECT_EQ(sim.CountOutput("presence connection"), 0);

    // Opened during the pause after the first failure: the probe ends after
    // the pause, and the second failure never comes.
    theApp.m_bUsbCamera = 0;
    theApp.m_bNetCamera = 1;
    ASSERT_TRUE(links.StartPresence());
    std::this_thread::sleep_for(300ms);
    theApp.m_bUsbCamera = 1;
    ASSERT_TRUE(ProbeEnds(2s));
    EXPECT_EQ(theApp.m_bNetCamera, 0);
    EXPECT_TRUE(host.Statuses().empty());
}

TEST_F(Links, AtMostOneProbeRuns) {
    DeviceSim sim({"--silent"});
    ASSERT_TRUE(sim.Started());
    ASSERT_TRUE(links.StartPresence());
    ASSERT_TRUE(sim.WaitForOutput("presence connection"));
    EXPECT_FALSE(links.StartPresence());
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(sim.CountOutput("presence connection"), 1);
}

TEST_F(Links, AnAddressThatDoesNotFitOrParseMakesTheDeviceUnreachable) {
    DeviceSim sim({});
    ASSERT_TRUE(sim.Started());
    // 15 characters: 127.0.0.1 written long, which inet_addr accepts.
    host.m_address = "127.000.000.001";
    ASSERT_TRUE(links.StartPresence());
    ASSERT_TRUE(WaitUntil([&] { return host.Statuses().size() == 1; }, 3s));
    EXPECT_EQ(host.Statuses()[0], 0);
    ASSERT_TRUE(links.StopAll(2s));

    // 16 characters (the same host once more, and still a loopback address if
    // it were cut to 15) and a text inet_addr rejects: never reached.
    for (const char* address : {"127.000.000.0001", "127.0.0.1.1", "localhost"}) {
        SCOPED_TRACE(address);
        host.Clear();
        theApp.m_bNetCamera = 0;
        const int before = sim.CountOutput("presence connection");
        host.m_address = address;
        ASSERT_TRUE(links.StartPresence());
        ASSERT_TRUE(ProbeEnds(3s));
        EXPECT_EQ(host.Statuses(), std::vector<LPARAM>{1});
        EXPECT_EQ(sim.CountOutput("presence connection"), before);
    }
}

// ---------------------------------------------------------------------------
// Status link

class StatusLink : public Links {
protected:
    void StartLink(DeviceSim& sim) {
        links.RestartStatus();
        ASSERT_TRUE(sim.WaitForOutput("status link opened"));
    }
    // Sends `text` as one receive and gives the link time to handle it.
    void Send(DeviceSim& sim, const std::string& text) {
        const int sent = sim.CountOutput("status sent");
        sim.Command("send " + text);
        ASSERT_TRUE(sim.WaitForOutput("status sent", sent + 1));
        std::this_thread::sleep_for(250ms);
    }
};

TEST_F(StatusLink, ALoneZeroTogglesLiveAndEverythingElseIsIgnored) {
    DeviceSim sim({});
    ASSERT_TRUE(sim.Started());
    StartLink(sim);
    Send(sim, "0");
    EXPECT_EQ(host.m_live, TRUE);
    EXPECT_EQ(host.m_buttonUpdates, 1);
    for (const char* text : {"1", "00", "0\\n", "0\\r\\n", " 0"}) {
        SCOPED_TRACE(text);
        Send(sim, text);
        EXPECT_EQ(host.m_live, TRUE);
        EXPECT_EQ(host.m_buttonUpdates, 1);
    }
    Send(sim, "0");
    EXPECT_EQ(host.m_live, FALSE);
    EXPECT_EQ(host.m_buttonUpdates, 2);
    // The simulator's own button: one press, one toggle.
    sim.Command("press");
    ASSERT_TRUE(WaitUntil([&] { return host.m_buttonUpdates == 3; }, 2s));
    EXPECT_EQ(host.m_live, TRUE);
}

TEST_F(StatusLink, TheDeviceClosingTheLinkEndsTheThread) {
    DeviceSim sim({"--drop-status-after", "300"});
    ASSERT_TRUE(sim.Started());
    StartLink(sim);
    ASSERT_TRUE(sim.WaitForOutput("status link dropped"));
    ASSERT_TRUE(WaitUntil([&] { return !links.m_hStatusThread.IsRunning(); }, 1s));
    EXPECT_FALSE(links.m_hStatusThread.Socket()->IsOpen());
    EXPECT_EQ(host.m_buttonUpdates, 0);
}

TEST_F(StatusLink, ARefusedLinkEndsWithoutAMessage) {
    DeviceSim sim({"--refuse-status"});
    ASSERT_TRUE(sim.Started());
    links.RestartStatus();
    ASSERT_TRUE(WaitUntil([&] { return !links.m_hStatusThread.IsRunning(); }, 1s));
    EXPECT_TRUE(host.Statuses().empty());
}

TEST_F(StatusLink, DroppingTheLinkEndsTheThreadAndANewFindReplacesIt) {
    DeviceSim sim({});
    ASSERT_TRUE(sim.Started());
    StartLink(sim);
    auto first = links.m_hStatusThread.Socket();
    links.RestartStatus();  // a second find: the old link goes, a new one comes
    ASSERT_TRUE(sim.WaitForOutput("status link opened", 2));
    EXPECT_FALSE(first->IsOpen());
    EXPECT_TRUE(links.m_hStatusThread.IsRunning());
    Send(sim, "0");
    EXPECT_EQ(host.m_live, TRUE);

    links.DropStatus();
    ASSERT_TRUE(WaitUntil([&] { return !links.m_hStatusThread.IsRunning(); }, 1s));
    EXPECT_FALSE(links.m_hStatusThread.Socket()->IsOpen());
}

// ---------------------------------------------------------------------------
// The window's end

TEST_F(Links, StoppingEndsBothLinksPromptlyWhereverTheyWait) {
    // The probe connected and waiting for a greeting that never comes, the
    // status link waiting for a press.
    {
        DeviceSim sim({"--silent"});
        ASSERT_TRUE(sim.Started());
        ASSERT_TRUE(links.StartPresence());
        links.RestartStatus();
        ASSERT_TRUE(sim.WaitForOutput("presence connection"));
        ASSERT_TRUE(sim.WaitForOutput("status link opened"));
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(links.StopAll(3s));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
        EXPECT_FALSE(links.m_hPresenceThread.Socket()->IsOpen());
        EXPECT_FALSE(links.m_hStatusThread.Socket()->IsOpen());
    }
    // The probe in its one-second pause after a failure.
    {
        DeviceSim sim({"--refuse"});
        ASSERT_TRUE(sim.Started());
        host.Clear();
        ASSERT_TRUE(links.StartPresence());
        std::this_thread::sleep_for(200ms);
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(links.StopAll(3s));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
        // A stopped probe sends nothing more.
        EXPECT_TRUE(host.Statuses().empty());
    }
}

}  // namespace
