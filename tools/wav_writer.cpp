#include "tools/wav_writer.h"

#include <cstdio>
#include <limits>

namespace {

void putU16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void putU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>((v >> shift) & 0xFF));
}

} // namespace

std::vector<uint8_t> pcmFormatPayload(uint32_t sampleRate, uint16_t channels,
                                      uint16_t bitsPerSample) {
    const uint32_t blockAlign = channels * ((bitsPerSample + 7u) / 8u);
    std::vector<uint8_t> p;
    p.reserve(16);
    putU16(p, 1); // PCM
    putU16(p, channels);
    putU32(p, sampleRate);
    putU32(p, sampleRate * blockAlign);
    putU16(p, static_cast<uint16_t>(blockAlign));
    putU16(p, bitsPerSample);
    return p;
}

void appendRiffChunk(std::vector<uint8_t>& out, const char (&id)[5],
                     std::span<const uint8_t> payload) {
    out.insert(out.end(), id, id + 4);
    putU32(out, static_cast<uint32_t>(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    if (payload.size() % 2 != 0)
        out.push_back(0);
}

std::vector<uint8_t> wavFileBytes(std::span<const int16_t> samples, uint32_t sampleRate,
                                  uint16_t channels) {
    if (channels == 0 || samples.size() % channels != 0)
        return {};
    const uint64_t dataBytes = uint64_t(samples.size()) * 2;
    if (dataBytes + 36 > std::numeric_limits<uint32_t>::max())
        return {};

    std::vector<uint8_t> data;
    data.reserve(dataBytes);
    for (int16_t s : samples)
        putU16(data, static_cast<uint16_t>(s));

    std::vector<uint8_t> out;
    out.reserve(44 + dataBytes);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    putU32(out, static_cast<uint32_t>(36 + dataBytes));
    out.insert(out.end(), {'W', 'A', 'V', 'E'});
    appendRiffChunk(out, "fmt ", pcmFormatPayload(sampleRate, channels, 16));
    appendRiffChunk(out, "data", data);
    return out;
}

bool writeWavFile(const std::string& path, std::span<const int16_t> samples, uint32_t sampleRate,
                  uint16_t channels) {
    const std::vector<uint8_t> bytes = wavFileBytes(samples, sampleRate, channels);
    if (bytes.empty())
        return false;

    const std::string tmp = path + ".part";
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed || std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}
