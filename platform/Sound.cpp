#include "platform/Sound.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Resources.h"

namespace plat {

namespace {

std::uint32_t Le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t Le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

// ALSA reports a missing card on stderr; the station has nothing to say then.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

struct Request {
    std::shared_ptr<const std::vector<unsigned char>> bytes;
    WaveFormat format;
};

class Player {
public:
    ~Player() { Stop(); }

    void Play(Request request) {
        std::lock_guard<std::mutex> control(m_controlMutex);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_pending = std::move(request);
            m_hasPending = true;
            ++m_generation;
            m_stop = false;
        }
        m_wake.notify_all();
        if (!m_thread.joinable()) m_thread = std::thread(&Player::Run, this);
    }

    void Stop() {
        std::lock_guard<std::mutex> control(m_controlMutex);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
            m_hasPending = false;
            m_pending = {};
            ++m_generation;
        }
        m_wake.notify_all();
        if (m_thread.joinable()) m_thread.join();
    }

    void SetDevice(const char* name) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_device = name && *name ? name : "default";
    }

private:
    void Run() {
        for (;;) {
            Request request;
            std::uint64_t generation;
            std::string device;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_wake.wait(lock, [this] { return m_stop || m_hasPending; });
                if (m_stop) return;
                request = std::move(m_pending);
                m_pending = {};
                m_hasPending = false;
                generation = m_generation;
                device = m_device;
            }
            PlayOne(request, generation, device);
        }
    }

    bool Interrupted(std::uint64_t generation) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_stop || m_generation != generation;
    }

    void PlayOne(const Request& request, std::uint64_t generation, const std::string& device) {
        const WaveFormat& f = request.format;
        if (f.sampleBytes == 0) return;
        static std::once_flag quiet;
        std::call_once(quiet, [] { snd_lib_error_set_handler(QuietAlsa); });

        // Non-blocking, so that a new request or StopSound is never held up by
        // a device that has stopped taking samples.
        snd_pcm_t* pcm = nullptr;
        if (snd_pcm_open(&pcm, device.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) return;
        const snd_pcm_format_t format = f.bitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
        if (snd_pcm_set_params(pcm, format, SND_PCM_ACCESS_RW_INTERLEAVED,
                               static_cast<unsigned>(f.channels), static_cast<unsigned>(f.sampleRate),
                               1, 100000) < 0) {
            snd_pcm_close(pcm);
            return;
        }
        const std::size_t frameBytes = static_cast<std::size_t>(f.channels) * (f.bitsPerSample / 8);
        const snd_pcm_uframes_t total = f.sampleBytes / frameBytes;
        snd_pcm_uframes_t done = 0;
        bool failed = false;
        while (done < total && !failed) {
            if (Interrupted(generation)) break;
            snd_pcm_sframes_t n = snd_pcm_writei(pcm, f.samples + done * frameBytes, total - done);
            if (n == -EAGAIN) {
                snd_pcm_wait(pcm, 20);
            } else if (n < 0) {
                failed = snd_pcm_recover(pcm, static_cast<int>(n), 1) < 0;
            } else {
                done += static_cast<snd_pcm_uframes_t>(n);
            }
        }
        if (!failed && done == total) {
            // Let the tail play out, still listening for a new request.  The
            // wait is bounded by the sound's own length plus a margin.
            const long maxWaitMs = static_cast<long>(total * 1000 / f.sampleRate) + 1000;
            for (long waited = 0; waited < maxWaitMs && !Interrupted(generation); waited += 10) {
                snd_pcm_sframes_t delay = 0;
                if (snd_pcm_delay(pcm, &delay) < 0 || delay <= 0) break;
                std::unique_lock<std::mutex> lock(m_mutex);
                m_wake.wait_for(lock, std::chrono::milliseconds(10));
            }
        }
        snd_pcm_drop(pcm);
        snd_pcm_close(pcm);
    }

    std::mutex m_controlMutex;  // orders Play and Stop with the thread's start and join
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_thread;
    Request m_pending;
    bool m_hasPending = false;
    bool m_stop = false;
    std::uint64_t m_generation = 0;
    std::string m_device = "default";
};

Player& ThePlayer() {
    static Player player;
    return player;
}

}  // namespace

bool ParseWave(const unsigned char* bytes, std::size_t size, WaveFormat& out) {
    if (!bytes || size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0)
        return false;
    // The RIFF size may claim more than there is; believe the buffer.
    const std::size_t end = std::min<std::uint64_t>(size, std::uint64_t(Le32(bytes + 4)) + 8);
    WaveFormat f;
    bool haveFormat = false, haveData = false;
    std::size_t pos = 12;
    while (end >= 8 && pos <= end - 8) {
        const unsigned char* chunk = bytes + pos;
        const std::size_t chunkSize = Le32(chunk + 4);
        const std::size_t body = pos + 8;
        const std::size_t available = end - body;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && !haveFormat) {
            if (chunkSize < 16 || chunkSize > available) return false;
            const unsigned char* p = bytes + body;
            const unsigned tag = Le16(p), channels = Le16(p + 2), blockAlign = Le16(p + 12),
                           bits = Le16(p + 14);
            const std::uint32_t rate = Le32(p + 4);
            if (tag != 1 || (bits != 8 && bits != 16) || channels < 1 || channels > 8 ||
                rate < 1000 || rate > 384000 || blockAlign != channels * bits / 8)
                return false;
            f.channels = static_cast<int>(channels);
            f.sampleRate = static_cast<int>(rate);
            f.bitsPerSample = static_cast<int>(bits);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0 && !haveData) {
            f.samples = bytes + body;
            f.sampleBytes = std::min(chunkSize, available);
            haveData = true;
        }
        if (haveFormat && haveData) break;
        if (chunkSize > available) break;
        pos = body + chunkSize + (chunkSize & 1);  // chunks are padded to even sizes
    }
    if (!haveFormat || !haveData) return false;
    const std::size_t frameBytes = static_cast<std::size_t>(f.channels) * (f.bitsPerSample / 8);
    f.sampleBytes -= f.sampleBytes % frameBytes;
    out = f;
    return true;
}

bool PlayWave(const unsigned char* bytes, std::size_t size) {
    WaveFormat probe;
    if (!ParseWave(bytes, size, probe)) return false;
    auto copy = std::make_shared<const std::vector<unsigned char>>(bytes, bytes + size);
    Request request;
    request.bytes = copy;
    ParseWave(copy->data(), copy->size(), request.format);
    ThePlayer().Play(std::move(request));
    return true;
}

bool PlayWaveResource(int id) {
    ResourceBlob blob = FindResource(id, RT_WAVE);
    if (!blob) return false;
    return PlayWave(blob.data, blob.size);
}

void StopSound() { ThePlayer().Stop(); }

void SetSoundDeviceForTesting(const char* name) { ThePlayer().SetDevice(name); }

}  // namespace plat
