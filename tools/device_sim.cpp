// A stand-in for the networked microscope camera, for tests and demos.
//
// It listens on 127.0.0.1 only (never another address) and serves what the
// station relies on:
//   presence port 15006  greets each new connection with "xev..." then waits
//   status port 15002    one long-lived link; each button press sends "0"
//   stream port 8196     MJPEG over HTTP at "/?.mjpg" (multipart JPEG frames)
//
// Presses come from standard input ("press"), from SIGUSR1, or from the
// --press-every option.  Other standard-input commands: "send <text>" (raw
// text on the status link, \n and \\ understood), "drop" (close the status
// link), "stall" / "resume" (stop / restart the frames), "size WxH" (the
// next frames at that size), "quit".
//
// Options that make it misbehave, for tests:
//   --refuse                 listen on no port at all (connections refused)
//   --refuse-presence        do not listen on the presence port
//   --refuse-status          do not listen on the status port
//   --no-stream              do not listen on the stream port
//   --greeting TEXT          greet with TEXT instead of "xev-sim 1.0"
//   --silent                 accept presence connections but never greet
//   --close-early            close each presence connection before greeting
//   --refuse-first N         close the presence listener for the first N seconds
//   --stall-after N          stop sending frames after N frames (links stay open)
//   --close-stream-after N   close the stream connection after N frames
//   --drop-status-after MS   close the status link MS milliseconds after it opens
// It reports on standard output: "listening ...", "presence connection N"
// for each accepted presence connection, "status link opened", "status sent
// N byte(s)", "status link dropped", "stream opened", "stream closed" (by
// the station).
// Other options:
//   --size WxH (default 640x480)  --fps N (default 15)
//   --press-every MS         press the button every MS milliseconds
//   --duration S             end by itself after S seconds (tests always give it)
//   --presence-port P --status-port P --stream-port P
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    bool refusePresence = false, refuseStatus = false, noStream = false;
    std::string greeting = "xev-sim 1.0";
    bool silent = false, closeEarly = false;
    double refuseFirstSeconds = 0;
    long stallAfter = -1, closeStreamAfter = -1, dropStatusAfterMs = -1, pressEveryMs = -1;
    int width = 640, height = 480;
    double fps = 15;
    double duration = -1;
    int presencePort = 15006, statusPort = 15002, streamPort = 8196;
};

volatile sig_atomic_t g_pressRequests = 0;
volatile sig_atomic_t g_quit = 0;

void OnUsr1(int) { g_pressRequests = g_pressRequests + 1; }
void OnTerm(int) { g_quit = 1; }

int Listen(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0 || listen(fd, 8) < 0) {
        fprintf(stderr, "device_sim: cannot listen on 127.0.0.1:%d: %s\n", port, strerror(errno));
        close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    return fd;
}

bool SendAll(int fd, const void* data, size_t len) {
    const char* p = static_cast<const char*>(data);
    while (len > 0) {
        ssize_t n = send(fd, p, len, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) {
                pollfd pf{fd, POLLOUT, 0};
                if (poll(&pf, 1, 1000) <= 0) return false;
                continue;
            }
            return false;
        }
        p += n;
        len -= static_cast<size_t>(n);
    }
    return true;
}

std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char c = s[++i];
            out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == '0' ? '\0' : c;
        } else {
            out += s[i];
        }
    }
    return out;
}

// A picture that shows which way up it is: a red block and "TOP" at the top
// left, a frame counter in the middle, a gradient so that a 180-degree turn is
// plain to see.  The camera sits upside down in the device, so the picture
// goes out turned by 180 degrees, and the station turns it back.
std::vector<unsigned char> MakeFrame(const Options& o, long n) {
    cv::Mat img(o.height, o.width, CV_8UC3);
    for (int y = 0; y < o.height; ++y) {
        auto* row = img.ptr<cv::Vec3b>(y);
        for (int x = 0; x < o.width; ++x)
            row[x] = cv::Vec3b(static_cast<uchar>(80 + 100 * y / o.height),
                               static_cast<uchar>(60 + 120 * x / o.width), 40);
    }
    int block = std::max(8, o.width / 10);
    cv::rectangle(img, cv::Rect(0, 0, block, block), cv::Scalar(0, 0, 255), cv::FILLED);
    cv::putText(img, "TOP", cv::Point(block + 6, block / 2 + 10), cv::FONT_HERSHEY_SIMPLEX,
                std::max(0.4, o.width / 1280.0), cv::Scalar(255, 255, 255), 2);
    char text[32];
    snprintf(text, sizeof text, "%ld", n);
    cv::putText(img, text, cv::Point(o.width / 3, o.height / 2), cv::FONT_HERSHEY_SIMPLEX,
                std::max(1.0, o.width / 320.0), cv::Scalar(255, 255, 255), 3);
    cv::rotate(img, img, cv::ROTATE_180);
    std::vector<unsigned char> jpg;
    cv::imencode(".jpg", img, jpg, {cv::IMWRITE_JPEG_QUALITY, 85});
    return jpg;
}

struct StreamClient {
    int fd;
    std::string request;
    bool streaming = false;
    long sent = 0;
};

struct PresenceClient {
    int fd;
    Clock::time_point opened;
    bool greeted = false;
};

bool ParseArgs(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&](const char* what) -> const char* {
            if (i + 1 >= argc) {
                fprintf(stderr, "device_sim: %s needs a value\n", what);
                exit(2);
            }
            return argv[++i];
        };
        if (a == "--refuse") o.refusePresence = o.refuseStatus = o.noStream = true;
        else if (a == "--refuse-presence") o.refusePresence = true;
        else if (a == "--refuse-status") o.refuseStatus = true;
        else if (a == "--no-stream") o.noStream = true;
        else if (a == "--greeting") o.greeting = Unescape(next("--greeting"));
        else if (a == "--silent") o.silent = true;
        else if (a == "--close-early") o.closeEarly = true;
        else if (a == "--refuse-first") o.refuseFirstSeconds = atof(next("--refuse-first"));
        else if (a == "--stall-after") o.stallAfter = atol(next("--stall-after"));
        else if (a == "--close-stream-after") o.closeStreamAfter = atol(next("--close-stream-after"));
        else if (a == "--drop-status-after") o.dropStatusAfterMs = atol(next("--drop-status-after"));
        else if (a == "--press-every") o.pressEveryMs = atol(next("--press-every"));
        else if (a == "--fps") o.fps = atof(next("--fps"));
        else if (a == "--duration") o.duration = atof(next("--duration"));
        else if (a == "--presence-port") o.presencePort = atoi(next("--presence-port"));
        else if (a == "--status-port") o.statusPort = atoi(next("--status-port"));
        else if (a == "--stream-port") o.streamPort = atoi(next("--stream-port"));
        else if (a == "--size") {
            if (sscanf(next("--size"), "%dx%d", &o.width, &o.height) != 2 || o.width < 16 ||
                o.height < 16 || o.width > 8192 || o.height > 8192) {
                fprintf(stderr, "device_sim: --size wants WxH\n");
                return false;
            }
        } else if (a == "-h" || a == "--help") {
            printf("usage: device_sim [options]; see the comment at the top of tools/device_sim.cpp\n");
            exit(0);
        } else {
            fprintf(stderr, "device_sim: unknown option %s\n", a.c_str());
            return false;
        }
    }
    if (o.fps <= 0 || o.fps > 240) o.fps = 15;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseArgs(argc, argv, o)) return 2;
    signal(SIGPIPE, SIG_IGN);
    struct sigaction sa {};
    sa.sa_handler = OnUsr1;
    sigaction(SIGUSR1, &sa, nullptr);
    sa.sa_handler = OnTerm;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);

    const auto start = Clock::now();
    auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };

    int presenceL = -1;
    int statusL = o.refuseStatus ? -1 : Listen(o.statusPort);
    int streamL = o.noStream ? -1 : Listen(o.streamPort);
    if ((!o.refuseStatus && statusL < 0) || (!o.noStream && streamL < 0)) return 1;
    auto presenceWanted = [&] { return !o.refusePresence && elapsed() >= o.refuseFirstSeconds; };
    if (presenceWanted()) {
        presenceL = Listen(o.presencePort);
        if (presenceL < 0) return 1;
    }

    std::vector<PresenceClient> presence;
    long presenceAccepted = 0;
    int statusFd = -1;
    Clock::time_point statusOpened;
    std::vector<StreamClient> streams;
    bool stalled = false;
    long frameNo = 0;
    const auto frameInterval = std::chrono::duration<double>(1.0 / o.fps);
    auto nextFrame = Clock::now();
    auto nextPress = Clock::now() + std::chrono::milliseconds(o.pressEveryMs > 0 ? o.pressEveryMs : 0);
    std::string stdinBuf;
    bool stdinOpen = true;
    fcntl(0, F_SETFL, fcntl(0, F_GETFL) | O_NONBLOCK);

    printf("device_sim: listening on 127.0.0.1 (presence %d%s, status %d%s, stream %d%s)\n",
           o.presencePort, o.refusePresence ? " refused" : "", o.statusPort,
           o.refuseStatus ? " refused" : "", o.streamPort, o.noStream ? " off" : "");
    fflush(stdout);

    auto sendStatus = [&](const std::string& text) {
        if (statusFd < 0) {
            printf("device_sim: no status link to send on\n");
        } else if (!SendAll(statusFd, text.data(), text.size())) {
            close(statusFd);
            statusFd = -1;
        } else {
            printf("device_sim: status sent %zu byte(s)\n", text.size());
        }
        fflush(stdout);
    };

    while (!g_quit) {
        if (o.duration > 0 && elapsed() >= o.duration) break;
        if (presenceL < 0 && presenceWanted()) presenceL = Listen(o.presencePort);

        std::vector<pollfd> fds;
        if (stdinOpen) fds.push_back({0, POLLIN, 0});
        if (presenceL >= 0) fds.push_back({presenceL, POLLIN, 0});
        if (statusL >= 0) fds.push_back({statusL, POLLIN, 0});
        if (streamL >= 0) fds.push_back({streamL, POLLIN, 0});
        if (statusFd >= 0) fds.push_back({statusFd, POLLIN, 0});
        for (auto& c : presence) fds.push_back({c.fd, POLLIN, 0});
        for (auto& c : streams) fds.push_back({c.fd, POLLIN, 0});
        poll(fds.data(), fds.size(), 10);

        // Standard input commands.
        if (stdinOpen) {
            char buf[512];
            ssize_t n = read(0, buf, sizeof buf);
            if (n == 0) stdinOpen = false;
            else if (n > 0) stdinBuf.append(buf, static_cast<size_t>(n));
            size_t nl;
            while ((nl = stdinBuf.find('\n')) != std::string::npos) {
                std::string line = stdinBuf.substr(0, nl);
                stdinBuf.erase(0, nl + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                if (line == "press") g_pressRequests = g_pressRequests + 1;
                else if (line.rfind("send ", 0) == 0) sendStatus(Unescape(line.substr(5)));
                else if (line == "drop") {
                    if (statusFd >= 0) {
                        close(statusFd);
                        printf("device_sim: status link dropped\n");
                        fflush(stdout);
                    }
                    statusFd = -1;
                } else if (line == "stall") stalled = true;
                else if (line == "resume") stalled = false;
                else if (line.rfind("size ", 0) == 0) {
                    int w = 0, h = 0;
                    if (sscanf(line.c_str() + 5, "%dx%d", &w, &h) == 2 && w >= 16 && h >= 16 && w <= 8192 &&
                        h <= 8192) {
                        o.width = w;
                        o.height = h;
                    } else {
                        fprintf(stderr, "device_sim: size wants WxH\n");
                    }
                } else if (line == "quit") g_quit = 1;
                else if (!line.empty()) fprintf(stderr, "device_sim: unknown command %s\n", line.c_str());
            }
        }

        // New connections.
        auto acceptOn = [](int l) {
            if (l < 0) return -1;
            int fd = accept(l, nullptr, nullptr);
            if (fd >= 0) {
                fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
                int one = 1;
                setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            }
            return fd;
        };
        for (int fd; (fd = acceptOn(presenceL)) >= 0;) {
            ++presenceAccepted;
            printf("device_sim: presence connection %ld\n", presenceAccepted);
            fflush(stdout);
            if (o.closeEarly) {
                close(fd);
                continue;
            }
            presence.push_back({fd, Clock::now()});
        }
        for (int fd; (fd = acceptOn(statusL)) >= 0;) {
            if (statusFd >= 0) close(statusFd);  // one link at a time: the newest wins
            statusFd = fd;
            statusOpened = Clock::now();
            printf("device_sim: status link opened\n");
            fflush(stdout);
        }
        for (int fd; (fd = acceptOn(streamL)) >= 0;) streams.push_back(StreamClient{fd, {}, false, 0});

        // Presence: greet once, shortly after the connection; the program closes it.
        for (size_t i = 0; i < presence.size();) {
            auto& c = presence[i];
            char b[256];
            ssize_t n = recv(c.fd, b, sizeof b, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
                close(c.fd);
                presence.erase(presence.begin() + static_cast<long>(i));
                continue;
            }
            if (!c.greeted && !o.silent && Clock::now() - c.opened > std::chrono::milliseconds(20)) {
                SendAll(c.fd, o.greeting.data(), o.greeting.size());
                c.greeted = true;
            }
            ++i;
        }

        // Status link: presses, and the early drop.
        if (statusFd >= 0) {
            char b[256];
            ssize_t n = recv(statusFd, b, sizeof b, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
                close(statusFd);
                statusFd = -1;
            }
        }
        if (statusFd >= 0 && o.dropStatusAfterMs >= 0 &&
            Clock::now() - statusOpened >= std::chrono::milliseconds(o.dropStatusAfterMs)) {
            close(statusFd);
            statusFd = -1;
            printf("device_sim: status link dropped\n");
            fflush(stdout);
        }
        if (o.pressEveryMs > 0 && Clock::now() >= nextPress) {
            g_pressRequests = g_pressRequests + 1;
            nextPress += std::chrono::milliseconds(o.pressEveryMs);
        }
        while (g_pressRequests > 0) {
            g_pressRequests = g_pressRequests - 1;
            sendStatus("0");
            // Presses must arrive in receives of their own.
            if (g_pressRequests > 0) usleep(150000);
        }

        // Stream: read the request, answer with the multipart header, then frames.
        for (size_t i = 0; i < streams.size();) {
            auto& c = streams[i];
            bool drop = false;
            char b[1024];
            ssize_t n = recv(c.fd, b, sizeof b, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) drop = true;
            else if (n > 0 && !c.streaming) {
                c.request.append(b, static_cast<size_t>(n));
                if (c.request.size() > 16384) drop = true;
                else if (c.request.find("\r\n\r\n") != std::string::npos) {
                    std::string line = c.request.substr(0, c.request.find("\r\n"));
                    if (line.rfind("GET /?.mjpg", 0) == 0) {
                        static const char hdr[] =
                            "HTTP/1.0 200 OK\r\nServer: device_sim\r\nCache-Control: no-cache\r\n"
                            "Content-Type: multipart/x-mixed-replace;boundary=simframe\r\n\r\n";
                        c.streaming = SendAll(c.fd, hdr, sizeof hdr - 1);
                        printf("device_sim: stream opened\n");
                        fflush(stdout);
                        drop = !c.streaming;
                    } else {
                        static const char nf[] =
                            "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n";
                        SendAll(c.fd, nf, sizeof nf - 1);
                        drop = true;
                    }
                }
            }
            if (drop) {
                if (c.streaming) {
                    printf("device_sim: stream closed\n");
                    fflush(stdout);
                }
                close(c.fd);
                streams.erase(streams.begin() + static_cast<long>(i));
                continue;
            }
            ++i;
        }
        if (Clock::now() >= nextFrame) {
            nextFrame += std::chrono::duration_cast<Clock::duration>(frameInterval);
            if (Clock::now() > nextFrame) nextFrame = Clock::now();
            bool any = false;
            for (auto& c : streams) any = any || c.streaming;
            if (any && !stalled && (o.stallAfter < 0 || frameNo < o.stallAfter)) {
                std::vector<unsigned char> jpg = MakeFrame(o, frameNo);
                char part[160];
                int len = snprintf(part, sizeof part,
                                   "--simframe\r\nContent-Type: image/jpeg\r\nContent-Length: %zu\r\n\r\n",
                                   jpg.size());
                for (size_t i = 0; i < streams.size();) {
                    auto& c = streams[i];
                    bool ok = true;
                    if (c.streaming) {
                        ok = SendAll(c.fd, part, static_cast<size_t>(len)) &&
                             SendAll(c.fd, jpg.data(), jpg.size()) && SendAll(c.fd, "\r\n", 2);
                        ++c.sent;
                        if (o.closeStreamAfter >= 0 && c.sent >= o.closeStreamAfter) ok = false;
                    }
                    if (!ok) {
                        close(c.fd);
                        streams.erase(streams.begin() + static_cast<long>(i));
                        continue;
                    }
                    ++i;
                }
                ++frameNo;
            }
        }
    }

    for (auto& c : presence) close(c.fd);
    for (auto& c : streams) close(c.fd);
    if (statusFd >= 0) close(statusFd);
    for (int l : {presenceL, statusL, streamL})
        if (l >= 0) close(l);
    printf("device_sim: ended after %ld frames\n", frameNo);
    return 0;
}
