#pragma once
// A picture file decoded on a worker thread for a window, which keeps
// answering meanwhile: a chosen file may take long to decode (a large
// progressive JPEG, many scans, a slow disk).  One request at a time: a newer
// one takes the place of the one before, which stops where the decoder can
// stop and is never reported.
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <opencv2/core.hpp>

#include "platform/PictureLoader.h"

namespace plat {

struct PictureJobResult {
    std::string path;
    PictureLoad load = PictureLoad::Unreadable;
    cv::Mat picture;        // when a picture came of it (Shown)
    FileIdentity identity;  // the file as it was decoded
};

class PictureJob {
public:
    using Done = std::function<void(const PictureJobResult&)>;

    PictureJob();
    // Stops the request in flight and waits for its thread; its result never comes.
    ~PictureJob();
    PictureJob(const PictureJob&) = delete;
    PictureJob& operator=(const PictureJob&) = delete;

    // User-interface thread.  Decodes `path` (UTF-8) as LoadPicture does;
    // `done` runs later on the user-interface thread, unless a newer Start,
    // a Stop or the end of this object came first.
    void Start(const std::string& path, int iscolor, cv::Size fit, Done done);
    // The request in flight is given up.
    void Stop();
    // A request is in flight (its `done` has not run).  User-interface thread.
    bool Busy() const;
    // The file of the request in flight; empty when none.
    const std::string& Pending() const;

    // Tests: `hook` runs on the worker thread before each decode, with the path.
    static void SetStartHookForTesting(std::function<void(const std::string&)> hook);

private:
    struct State;
    std::shared_ptr<State> m_state;
    std::vector<std::thread> m_threads;
};

}  // namespace plat
