// The WAV file source: the open WAV file that the stream plays, read as
// frames counted from the start of its "data" chunk, with silence before and
// after the data so the stream can run on after the music ends.
//
// Threads: open, close, seek and the selection run on the main thread and only
// while no stream thread runs; wavRead runs on the stream thread only and
// neither allocates nor locks.
#pragma once

#include "audio/riff_reader.h"

#include <cstdint>
#include <string>

struct WavSource {
    std::string path;        // the file's path
    RiffFile file;           // open, or none: Play, Stop and Zero test it
    uint16_t formatTag = 0;  // wFormatTag: PCM (1) or EXTENSIBLE (0xFFFE) to be accepted
    uint32_t subFormat = 0;  // EXTENSIBLE: the format its sub-format names; 0 when the
                             // sub-format is missing, zero or not one of the tag-based ones
    uint16_t channels = 0;   // nChannels
    uint32_t sampleRate = 0; // nSamplesPerSec
    uint32_t bytesPerSecond = 0;
    uint16_t blockAlign = 0; // bytes per frame
    uint16_t bitsPerSample =
        0; // derived: block align / channels x 8 (the chunk's own field is ignored)
    uint64_t dataOffset = 0; // file offset of the first data byte
    uint32_t dataBytes = 0;  // size of the "data" chunk as stored
    uint32_t dataFrames = 0; // data bytes / block align
    int64_t position =
        0; // next frame to read; may lie beyond either end. Stream thread while playing
};

// Open results.
inline constexpr int kWavOk = 0;
inline constexpr int kWavNoSource = 1;
inline constexpr int kWavCannotOpen = 2;
inline constexpr int kWavNoWave = 3;
inline constexpr int kWavNoFormat = 4; // also a format with 0 channels or 0 block align
inline constexpr int kWavNoData = 5;

int wavOpen(WavSource* source, const char* path);
void wavClose(WavSource* source);
bool wavIsOpen(const WavSource* source);
// 44100 Hz, 16 bits (derived), 2 channels, and samples that are PCM: the
// format tag is PCM, or EXTENSIBLE with a sub-format that does not name
// another format (float, A-law, ... would play as noise).
bool wavAccepted(const WavSource* source);
// position = ms x rate / 1000.
void wavSeek(WavSource* source, int64_t milliseconds);
// Fills byteCount / block align whole frames from the position, silence where
// the position lies outside the data or the file ends early, and advances.
// Without an open file the destination is left as it is. Returns 0.
int wavRead(WavSource* source, void* dest, uint32_t byteCount);

// What the shell keeps beside the source.
struct WavSelection {
    std::string currentPath; // the last accepted file; empty at start-up
    int dialogBusy = 0;      // 1 while the file dialog is open (main thread)
};

enum class WavChoice { Unreadable, Rejected, Accepted };

// Closes the current file and opens `path`. Unreadable: no file is open now.
// Rejected (another format): the previous file (the current path) is open
// again and the current path is unchanged. Accepted: `path` becomes current.
WavChoice wavAdoptFile(WavSource* source, WavSelection* selection, const char* path);
