#include "audio/wav_source.h"

#include <algorithm>
#include <cstring>

namespace {

uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;

// The sub-format GUIDs that stand for a plain format tag share these last
// twelve bytes ({tag-0000-0010-8000-00aa00389b71}, as stored in the file).
constexpr uint8_t kTagGuidTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                      0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// The format an EXTENSIBLE "fmt " chunk's sub-format names, read from the
// bytes after the basic 16 (cbSize, valid bits, channel mask, sub-format);
// 0 when the extension is too short for it or the GUID is not tag-based.
uint32_t extensibleSubFormat(const uint8_t* x, uint64_t bytes) {
    if (bytes < 24 || static_cast<uint16_t>(x[0] | x[1] << 8) < 22)
        return 0;
    const uint8_t* guid = x + 8;
    if (std::memcmp(guid + 4, kTagGuidTail, sizeof kTagGuidTail) != 0)
        return 0;
    const uint32_t tag = static_cast<uint32_t>(guid[0]) | static_cast<uint32_t>(guid[1]) << 8 |
                         static_cast<uint32_t>(guid[2]) << 16 |
                         static_cast<uint32_t>(guid[3]) << 24;
    return tag <= 0xFFFF ? tag : 0;
}

void clearRecord(WavSource* s) {
    s->file.close();
    s->path.clear();
    s->subFormat = 0;
    s->formatTag = s->channels = s->blockAlign = s->bitsPerSample = 0;
    s->sampleRate = s->bytesPerSecond = s->dataBytes = s->dataFrames = 0;
    s->dataOffset = 0;
    s->position = 0;
}

void fillSilence(const WavSource* s, uint8_t* p, uint64_t bytes) {
    std::memset(p, s->bitsPerSample == 8 ? 0x80 : 0, static_cast<size_t>(bytes));
}

} // namespace

int wavOpen(WavSource* s, const char* path) {
    if (!s)
        return kWavNoSource;
    clearRecord(s);
    s->path = path ? path : "";
    if (!s->file.open(s->path.c_str()))
        return kWavCannotOpen;
    RiffFile& f = s->file;
    RiffChunk riff, fmt, data;
    if (!f.descendRiff(riff, riffId("WAVE"))) {
        f.close();
        return kWavNoWave;
    }
    if (!f.descendChunk(fmt, riff, riffId("fmt "))) {
        f.close();
        return kWavNoFormat;
    }
    uint8_t w[16] = {};
    const uint32_t want = std::min<uint32_t>(fmt.size, 16);
    if (f.read(w, want) != want) {
        f.close();
        return kWavNoFormat;
    }
    s->formatTag = le16(w);
    s->channels = le16(w + 2);
    s->sampleRate = le32(w + 4);
    s->bytesPerSecond = le32(w + 8);
    s->blockAlign = le16(w + 12);
    // Both are divisors below; a format without them cannot be read at all.
    if (s->channels == 0 || s->blockAlign == 0) {
        f.close();
        return kWavNoFormat;
    }
    s->bitsPerSample = static_cast<uint16_t>(s->blockAlign / s->channels * 8);
    if (s->formatTag == kFormatExtensible && fmt.size > 16) {
        // A missing or cut-off extension leaves the sub-format unknown.
        uint8_t x[24] = {};
        const uint64_t got = f.read(x, std::min<uint32_t>(fmt.size - 16, sizeof x));
        s->subFormat = extensibleSubFormat(x, got);
    }
    f.ascend(fmt);
    if (!f.descendChunk(data, riff, riffId("data"))) {
        f.close();
        return kWavNoData;
    }
    s->dataOffset = data.dataOffset;
    s->dataBytes = data.size;
    s->dataFrames = data.size / s->blockAlign;
    s->position = 0;
    return kWavOk;
}

void wavClose(WavSource* s) {
    if (s)
        s->file.close();
}

bool wavIsOpen(const WavSource* s) {
    return s && s->file.isOpen();
}

bool wavAccepted(const WavSource* s) {
    const bool pcm =
        s && (s->formatTag == kFormatPcm || (s->formatTag == kFormatExtensible &&
                                             (s->subFormat == 0 || s->subFormat == kFormatPcm)));
    return wavIsOpen(s) && pcm && s->sampleRate == 44100 && s->bitsPerSample == 16 &&
           s->channels == 2;
}

void wavSeek(WavSource* s, int64_t milliseconds) {
    if (s)
        s->position = milliseconds * static_cast<int64_t>(s->sampleRate) / 1000;
}

int wavRead(WavSource* s, void* dest, uint32_t byteCount) {
    if (!wavIsOpen(s) || !dest || s->blockAlign == 0)
        return 0;
    const uint64_t align = s->blockAlign;
    const int64_t n = static_cast<int64_t>(byteCount / align);
    if (n == 0)
        return 0;
    auto* out = static_cast<uint8_t*>(dest);
    int64_t start = s->position;
    int64_t lead = 0;
    if (start < 0) {
        lead = std::min<int64_t>(-start, n);
        start += lead;
    }
    fillSilence(s, out, static_cast<uint64_t>(lead) * align);
    int64_t inside = 0;
    if (start < static_cast<int64_t>(s->dataFrames))
        inside = std::min<int64_t>(n - lead, static_cast<int64_t>(s->dataFrames) - start);
    uint8_t* body = out + static_cast<uint64_t>(lead) * align;
    const uint64_t want = static_cast<uint64_t>(inside) * align;
    uint64_t got = 0;
    if (inside > 0)
        got = s->file.readAt(s->dataOffset + static_cast<uint64_t>(start) * align, body, want);
    // A file that ends before its "data" chunk does plays silence from there.
    fillSilence(s, body + got, static_cast<uint64_t>(n - lead) * align - got);
    s->position += n;
    return 0;
}

WavChoice wavAdoptFile(WavSource* s, WavSelection* sel, const char* path) {
    wavClose(s);
    if (wavOpen(s, path) != kWavOk)
        return WavChoice::Unreadable;
    if (!wavAccepted(s)) {
        wavClose(s);
        // Bring the previous file back; with no previous file nothing is open.
        if (sel->currentPath.empty() || wavOpen(s, sel->currentPath.c_str()) != kWavOk)
            wavClose(s);
        return WavChoice::Rejected;
    }
    sel->currentPath = path;
    return WavChoice::Accepted;
}
