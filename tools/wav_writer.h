// Building WAV files from interleaved 16-bit samples.
//
// The demo generator writes the bundled demo with these, and tests use them to
// make the WAV files they feed to the reader: the canonical layout comes from
// wavFileBytes(), and unusual layouts (extra chunks, odd sizes, longer "fmt "
// chunks) can be assembled from appendRiffChunk() and pcmFormatPayload().
//
// Everything is little-endian as RIFF requires, whatever the host order.
// Thread: any; no shared state.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The 16-byte payload of a PCM "fmt " chunk (format tag 1) for the given
// sample rate, channel count and bits per sample; the byte rate and block
// align are derived from them.
std::vector<uint8_t> pcmFormatPayload(uint32_t sampleRate, uint16_t channels,
                                      uint16_t bitsPerSample);

// Appends one chunk: the four-character id, the payload's size, the payload
// and, when the size is odd, the pad byte RIFF requires (the size field keeps
// the unpadded length).
void appendRiffChunk(std::vector<uint8_t>& out, const char (&id)[5],
                     std::span<const uint8_t> payload);

// A whole canonical file: "RIFF" header, a 16-byte "fmt " chunk and one "data"
// chunk holding the interleaved samples, 44 bytes before the first sample.
// Empty when the channel count is 0, the sample count is not a whole number of
// frames, or the data would overflow the 32-bit RIFF size fields.
std::vector<uint8_t> wavFileBytes(std::span<const int16_t> samples, uint32_t sampleRate,
                                  uint16_t channels);

// Writes wavFileBytes() to `path` through a temporary file in the same folder
// that is renamed over the target only when it was written completely, so an
// interrupted run never leaves a truncated file behind. Returns false when the
// bytes cannot be built or the file cannot be written.
bool writeWavFile(const std::string& path, std::span<const int16_t> samples, uint32_t sampleRate,
                  uint16_t channels);
