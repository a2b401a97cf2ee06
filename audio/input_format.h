// What a live input is opened with: its ALSA name, and a capture format that
// needs no resampling, 16-bit interleaved PCM at the source's own rate.
//
//   - "monitor" stands for what the desktop plays: the monitor of the sound
//     server's default output, through ALSA's `pulse` plugin;
//   - a sound server's source or monitor ("pulse", "pulse:DEVICE=NAME", and a
//     "default" that is the plugin) is opened at the rate and, for a mono
//     source, the channel count the server reports for it;
//   - any other device at 48000 Hz, else 44100 Hz, else what it offers;
//     2 channels, else 1 (a mono device, metered as mono), else its own
//     count (an interface with 4 or 8 inputs), of which the chosen pair is
//     metered.
//
// Thread: the main thread (or the headless analysis's own), with no stream
// running on the device; inputPickPair runs on the stream thread.
#pragma once

#include "audio/wave_device.h"

#include <cstdint>
#include <string>

inline constexpr const char* kMonitorInput = "monitor";
inline constexpr const char* kMonitorPcm = "pulse:DEVICE=@DEFAULT_MONITOR@";

struct InputRequest {
    int rate = 0;  // --rate: this rate or nothing; 0 chooses
    int pairA = 1; // --channels A,B: the 1-based channels metered as left and right
    int pairB = 2;
};

// The ALSA PCM name for a name given by the user.
std::string inputPcmName(const std::string& name);

// The sound server's source behind an ALSA PCM name ("@DEFAULT_SOURCE@" for
// "pulse"), or empty when the name is not the server's.
std::string inputServerSource(const std::string& pcmName);

// "A,B" with 1 <= A, B <= 64. False when it is not that.
bool inputParsePair(const std::string& text, int& a, int& b);

// Chooses the format for the input device `d` is bound to and stores it
// with the latency (waveConfigureLatency). False with `error` set (and the
// device's error text) when no format is accepted.
bool inputChooseFormat(WaveDevice* d, const InputRequest& request, float latencySeconds,
                       StreamFormat& out, std::string& error);

// Channels metered for a captured format: 1 for a mono capture, else 2.
int inputMeteredChannels(const StreamFormat& format);

// Copies the pair (1-based channels a, b) of `frames` frames of `channels`
// interleaved samples into a stereo block. Never allocates.
void inputPickPair(const int16_t* in, int channels, int a, int b, uint32_t frames, int16_t* out);
