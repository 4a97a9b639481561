// The stream capture over cv::VideoCapture: files, refused and stalled HTTP
// servers on 127.0.0.1, all bounded in time.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>

#include "platform/CvCompat.h"
#include "support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;

int ListenOnLoopback(int& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t len = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 8) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    port = ntohs(a.sin_port);
    return fd;
}

// A server on 127.0.0.1 that accepts connections, sends `greeting` (possibly
// nothing) and then says no more.  It stops by itself after `life` and at
// destruction, whichever comes first.
class StalledServer {
public:
    explicit StalledServer(std::string greeting, std::chrono::seconds life = std::chrono::seconds(20))
        : m_greeting(std::move(greeting)) {
        m_listen = ListenOnLoopback(m_port);
        if (m_listen >= 0) m_thread = std::thread([this, life] { Serve(Clock::now() + life); });
    }
    ~StalledServer() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        for (int fd : m_clients) ::close(fd);
        if (m_listen >= 0) ::close(m_listen);
    }
    int Port() const { return m_port; }
    bool Ok() const { return m_listen >= 0; }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/?.mjpg"; }

private:
    void Serve(Clock::time_point until) {
        while (!m_stop && Clock::now() < until && m_clients.size() < 16) {
            pollfd p{m_listen, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            int c = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) continue;
            m_clients.push_back(c);
            if (!m_greeting.empty()) (void)!::send(c, m_greeting.data(), m_greeting.size(), MSG_NOSIGNAL);
        }
    }
    std::string m_greeting;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::vector<int> m_clients;
};

class Capture : public ::testing::Test {
protected:
    void SetUp() override { plat::SetCaptureTimeouts(1500, 1500); }
    void TearDown() override { plat::SetCaptureTimeouts(5000, 5000); }
};

TEST_F(Capture, MissingFilesAndRefusedAddressesFailQuickly) {
    TempDir dir;
    auto start = Clock::now();
    EXPECT_EQ(cvCreateFileCapture(dir.File("none.avi").c_str()), nullptr);
    EXPECT_EQ(cvCreateFileCapture(nullptr), nullptr);
    EXPECT_EQ(cvCreateFileCapture(dir.Write("junk.avi", std::string(5000, 'j')).c_str()), nullptr);
    int port = 0;
    int fd = ListenOnLoopback(port);
    ASSERT_GE(fd, 0);
    ::close(fd);  // nothing listens there any more
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/?.mjpg";
    EXPECT_EQ(cvCreateFileCapture(url.c_str()), nullptr);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1500));
    EXPECT_EQ(cvQueryFrame(nullptr), nullptr);
    CvCapture* none = nullptr;
    cvReleaseCapture(&none);
    cvReleaseCapture(nullptr);
}

TEST_F(Capture, AServerThatNeverAnswersIsGivenUpWithinTheTimeout) {
    StalledServer silent("");
    ASSERT_TRUE(silent.Ok());
    auto start = Clock::now();
    CvCapture* c = cvCreateFileCapture(silent.Url().c_str());
    auto took = Clock::now() - start;
    EXPECT_EQ(c, nullptr);
    cvReleaseCapture(&c);
    EXPECT_LT(took, std::chrono::seconds(6)) << "open time-out 1.5 s";
}

// A stream that sends its header and a few frames, then goes quiet: the
// frames arrive and the next query gives up instead of waiting for ever.
TEST_F(Capture, AStreamThatStallsAfterSomeFramesEndsTheQuery) {
    cv::Mat picture(48, 64, CV_8UC3, cv::Scalar(0, 0, 255));
    std::vector<uchar> jpeg;
    ASSERT_TRUE(cv::imencode(".jpg", picture, jpeg));
    std::string body = "HTTP/1.0 200 OK\r\nContent-Type: multipart/x-mixed-replace;boundary=frame\r\n\r\n";
    for (int i = 0; i < 3; ++i) {
        body += "--frame\r\nContent-Type: image/jpeg\r\nContent-Length: " + std::to_string(jpeg.size()) +
                "\r\n\r\n";
        body.append(reinterpret_cast<const char*>(jpeg.data()), jpeg.size());
        body += "\r\n";
    }
    StalledServer server(body);
    ASSERT_TRUE(server.Ok());
    auto start = Clock::now();
    CvCapture* c = cvCreateFileCapture(server.Url().c_str());
    ASSERT_NE(c, nullptr);
    IplImage* first = cvQueryFrame(c);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->width, 64);
    EXPECT_EQ(first->height, 48);
    EXPECT_EQ(first->nChannels, 3);
    EXPECT_EQ(first->depth, IPL_DEPTH_8U);
    const unsigned char* px = reinterpret_cast<unsigned char*>(first->imageData);
    EXPECT_GT(px[2], 200);
    EXPECT_LT(px[0], 60);
    int frames = 1;
    while (cvQueryFrame(c) && frames < 10) ++frames;
    EXPECT_LE(frames, 3);
    EXPECT_EQ(cvQueryFrame(c), nullptr);
    cvReleaseCapture(&c);
    EXPECT_EQ(c, nullptr);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(12));
}

TEST_F(Capture, FramesOfAnMjpegFileComeBackInOrder) {
    TempDir dir;
    const std::string path = dir.File("clip.avi");
    {
        cv::VideoWriter writer(path, cv::CAP_FFMPEG, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 10,
                               cv::Size(80, 60));
        if (!writer.isOpened()) GTEST_SKIP() << "this OpenCV build cannot write MJPEG through FFmpeg";
        for (int i = 0; i < 5; ++i) writer.write(cv::Mat(60, 80, CV_8UC3, cv::Scalar(i * 50, 0, 0)));
    }
    CvCapture* c = cvCreateFileCapture(path.c_str());
    ASSERT_NE(c, nullptr);
    for (int i = 0; i < 5; ++i) {
        IplImage* f = cvQueryFrame(c);
        ASSERT_NE(f, nullptr) << i;
        EXPECT_EQ(f->width, 80);
        EXPECT_EQ(f->height, 60);
        int blue = reinterpret_cast<unsigned char*>(f->imageData)[f->widthStep * 30 + 40 * 3];
        EXPECT_NEAR(blue, i * 50, 12) << i;
    }
    EXPECT_EQ(cvQueryFrame(c), nullptr) << "the end of the file";
    cvReleaseCapture(&c);
}

}  // namespace
