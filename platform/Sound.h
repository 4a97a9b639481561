#pragma once
// Asynchronous playback of a WAVE resource through ALSA on a worker thread.  A
// new request stops the sound that is playing and starts over; without a
// sound device nothing happens, silently.
namespace plat {
// Returns false only when the resource is missing or is not a PCM WAVE.
bool PlayWaveResource(int id);
// Stops playback and waits for the worker (also done at exit).
void StopSound();
}  // namespace plat
