// The WAVE reader and the playback worker.  These machines have no sound card:
// "default" fails to open, which is the silent path; ALSA's "null" device
// takes samples without hardware and drives the playing path.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/Resources.h"
#include "platform/Sound.h"

namespace {

void Put16(std::vector<unsigned char>& v, std::size_t at, unsigned x) {
    v[at] = x & 0xFF;
    v[at + 1] = (x >> 8) & 0xFF;
}
void Put32(std::vector<unsigned char>& v, std::size_t at, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = (x >> (8 * i)) & 0xFF;
}

// A canonical 44-byte-header PCM file.
std::vector<unsigned char> MakeWave(int channels, int rate, int bits, std::size_t frames) {
    const std::size_t dataBytes = frames * channels * (bits / 8);
    std::vector<unsigned char> v(44 + dataBytes, 0x80);
    std::memcpy(&v[0], "RIFF", 4);
    Put32(v, 4, static_cast<std::uint32_t>(36 + dataBytes));
    std::memcpy(&v[8], "WAVEfmt ", 8);
    Put32(v, 16, 16);
    Put16(v, 20, 1);
    Put16(v, 22, channels);
    Put32(v, 24, rate);
    Put32(v, 28, rate * channels * bits / 8);
    Put16(v, 32, channels * bits / 8);
    Put16(v, 34, bits);
    std::memcpy(&v[36], "data", 4);
    Put32(v, 40, static_cast<std::uint32_t>(dataBytes));
    return v;
}

TEST(WaveParser, ReadsPcmFilesAndSkipsOtherChunks) {
    auto w = MakeWave(2, 22050, 16, 100);
    plat::WaveFormat f;
    ASSERT_TRUE(plat::ParseWave(w.data(), w.size(), f));
    EXPECT_EQ(f.channels, 2);
    EXPECT_EQ(f.sampleRate, 22050);
    EXPECT_EQ(f.bitsPerSample, 16);
    EXPECT_EQ(f.samples, w.data() + 44);
    EXPECT_EQ(f.sampleBytes, 400u);

    // A "LIST" chunk of odd size (padded) between fmt and data.
    auto m = MakeWave(1, 8000, 8, 7);
    std::vector<unsigned char> list = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    m.insert(m.begin() + 36, list.begin(), list.end());
    Put32(m, 4, static_cast<std::uint32_t>(m.size() - 8));
    ASSERT_TRUE(plat::ParseWave(m.data(), m.size(), f));
    EXPECT_EQ(f.bitsPerSample, 8);
    EXPECT_EQ(f.samples, m.data() + 44 + list.size());
    EXPECT_EQ(f.sampleBytes, 7u);
}

TEST(WaveParser, RefusesWhatIsNotPlainPcm) {
    plat::WaveFormat f;
    auto w = MakeWave(1, 44100, 16, 10);
    auto refused = [&](auto change) {
        auto copy = w;
        change(copy);
        return !plat::ParseWave(copy.data(), copy.size(), f);
    };
    EXPECT_TRUE(refused([](auto& v) { std::memcpy(&v[0], "RIFX", 4); }));
    EXPECT_TRUE(refused([](auto& v) { std::memcpy(&v[8], "AVI ", 4); }));
    EXPECT_TRUE(refused([](auto& v) { Put16(v, 20, 3); })) << "IEEE float";
    EXPECT_TRUE(refused([](auto& v) { Put16(v, 20, 0xFFFE); })) << "extensible";
    EXPECT_TRUE(refused([](auto& v) { Put16(v, 34, 24); Put16(v, 32, 3); }));
    EXPECT_TRUE(refused([](auto& v) { Put16(v, 22, 0); }));
    EXPECT_TRUE(refused([](auto& v) { Put32(v, 24, 0); }));
    EXPECT_TRUE(refused([](auto& v) { Put16(v, 32, 7); })) << "block size disagrees";
    EXPECT_TRUE(refused([](auto& v) { Put32(v, 16, 8); })) << "format chunk too short";
    EXPECT_TRUE(refused([](auto& v) { std::memcpy(&v[36], "junk", 4); })) << "no data chunk";
    EXPECT_FALSE(plat::ParseWave(nullptr, 0, f));
}

TEST(WaveParser, LyingSizesAndTruncationStayInsideTheBuffer) {
    plat::WaveFormat f;
    auto w = MakeWave(2, 8000, 16, 50);  // 200 data bytes
    // Every truncation either fails or points inside what is left.
    for (std::size_t n = 0; n < w.size(); ++n) {
        std::vector<unsigned char> cut(w.begin(), w.begin() + n);
        if (plat::ParseWave(cut.data(), cut.size(), f)) {
            EXPECT_GE(f.samples, cut.data());
            EXPECT_LE(f.samples + f.sampleBytes, cut.data() + cut.size());
            EXPECT_EQ(f.sampleBytes % 4, 0u) << "whole frames only";
        }
    }
    // A data chunk claiming 4 GiB is cut to the buffer; so is a RIFF size that lies.
    auto big = w;
    Put32(big, 40, 0xFFFFFFFFu);
    Put32(big, 4, 0xFFFFFFFFu);
    ASSERT_TRUE(plat::ParseWave(big.data(), big.size(), f));
    EXPECT_EQ(f.sampleBytes, 200u);
    // A format chunk claiming more than there is, and a skipped chunk whose
    // size would wrap the position around.
    auto fmt = w;
    Put32(fmt, 16, 0xFFFFFFF0u);
    EXPECT_FALSE(plat::ParseWave(fmt.data(), fmt.size(), f));
    auto wrap = MakeWave(1, 8000, 8, 4);
    std::vector<unsigned char> junk = {'j', 'u', 'n', 'k', 0xFF, 0xFF, 0xFF, 0xFF};
    wrap.insert(wrap.begin() + 12, junk.begin(), junk.end());
    EXPECT_FALSE(plat::ParseWave(wrap.data(), wrap.size(), f));
    // A RIFF size smaller than the file hides what lies past it.
    auto shortRiff = w;
    Put32(shortRiff, 4, 20);
    EXPECT_FALSE(plat::ParseWave(shortRiff.data(), shortRiff.size(), f));
}

TEST(Sound, RequestsNeverHangWithoutADevice) {
    plat::SetSoundDeviceForTesting("default");
    auto w = MakeWave(1, 8000, 16, 8000);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 20; ++i) EXPECT_TRUE(plat::PlayWave(w.data(), w.size()));
    plat::StopSound();
    plat::StopSound();  // twice is harmless
    EXPECT_TRUE(plat::PlayWave(w.data(), w.size())) << "the worker starts again after a stop";
    plat::StopSound();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    auto bad = w;
    Put16(bad, 20, 2);
    EXPECT_FALSE(plat::PlayWave(bad.data(), bad.size()));
    EXPECT_FALSE(plat::PlayWaveResource(999999));
}

TEST(Sound, NewRequestsInterruptAndStopJoinsWhilePlaying) {
    plat::SetSoundDeviceForTesting("null");
    // Ten seconds of sound: a stop that waited for the end would show.
    auto longWave = MakeWave(2, 44100, 16, 441000);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(plat::PlayWave(longWave.data(), longWave.size()));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    plat::StopSound();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    // The caller's bytes may go away at once: the worker has its own copy.
    {
        auto shortWave = MakeWave(1, 8000, 8, 800);
        ASSERT_TRUE(plat::PlayWave(shortWave.data(), shortWave.size()));
        std::fill(shortWave.begin(), shortWave.end(), 0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    plat::StopSound();
    plat::SetSoundDeviceForTesting(nullptr);
}

}  // namespace

namespace {

// Every WAVE the program carries must be one the player accepts.
TEST(Sound, EmbeddedWavesArePlayablePcm) {
    plat::SetSoundDeviceForTesting("default");
    for (const plat::ResourceInfo& r : plat::ListResources()) {
        if (r.type != "WAVE" && r.type != "wave") continue;
        plat::ResourceBlob blob = plat::FindResource(r.id, r.type.c_str());
        plat::WaveFormat f;
        ASSERT_TRUE(plat::ParseWave(blob.data, blob.size, f)) << r.id;
        EXPECT_GT(f.sampleBytes, 0u) << r.id;
        EXPECT_TRUE(plat::PlayWaveResource(r.id)) << r.id;
    }
    plat::StopSound();
}

}  // namespace
