#pragma once
// Asynchronous playback of a WAVE resource through ALSA on a worker thread.  A
// new request stops the sound that is playing and starts over; without a
// sound device nothing happens, silently.
#include <cstddef>

namespace plat {
// Returns false only when the resource is missing or is not a PCM WAVE.
bool PlayWaveResource(int id);
// Stops playback and waits for the worker (also done at exit).
void StopSound();

// The PCM layout of a WAVE file and where its samples lie.
struct WaveFormat {
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;          // 8 (unsigned) or 16 (signed, little-endian)
    const unsigned char* samples = nullptr;
    std::size_t sampleBytes = 0;    // whole frames only
};
// Reads a RIFF WAVE held in memory: plain PCM, 8 or 16 bits, 1 to 8 channels.
// Every size is checked against the buffer; a data chunk longer than the
// buffer is cut to what is there.  False for anything else.
bool ParseWave(const unsigned char* bytes, std::size_t size, WaveFormat& out);
// As PlayWaveResource, for WAVE bytes held by the caller (copied).
bool PlayWave(const unsigned char* bytes, std::size_t size);
// The ALSA device played to ("default" unless a test names another, e.g. "null").
void SetSoundDeviceForTesting(const char* name);
}  // namespace plat
