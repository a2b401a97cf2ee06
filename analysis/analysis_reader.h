// Reading a sound file in blocks through libsndfile, from a descriptor opened
// without blocking (a FIFO never hangs the open) and checked first: a
// directory, a device or an empty file is refused with its own reason.
// Samples that are not numbers (NaN, infinite) read as silence and are
// counted.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct sf_private_tag;
struct SoundFileBytes;

class SoundFileReader {
public:
    SoundFileReader();
    ~SoundFileReader();
    SoundFileReader(const SoundFileReader&) = delete;
    SoundFileReader& operator=(const SoundFileReader&) = delete;

    // False with `error` set when the file cannot be read.
    bool open(const std::string& path, std::string& error);

    int channels() const { return m_channels; }
    int sampleRate() const { return m_rate; }
    uint64_t headerFrames() const { return m_frames; } // as the header says
    uint64_t fileBytes() const { return m_bytes; }
    std::string container() const;
    std::string sampleFormat() const;
    // Samples that 16-bit integers hold exactly (8- and 16-bit PCM): read
    // them with readPcm16, everything else with readFloat.
    bool isPcm16() const { return m_pcm16; }
    int32_t fullScale16() const { return m_fullScale16; }
    float fullScaleFloat() const { return m_fullScaleFloat; }

    // Whole frames read into `out` (at most `frames`); 0 at the end. A read
    // error before the first frame leaves its reason in error().
    uint32_t readPcm16(int16_t* out, uint32_t frames);
    uint32_t readFloat(float* out, uint32_t frames);
    const std::string& error() const { return m_error; }
    // Less data than the header declares (a file cut short): a size beyond
    // the end of the file, fewer frames than the header counts, or a read
    // error after the first frames. What is there is read.
    bool cutShort() const;
    // NaN and infinite samples read so far, each read as 0.
    uint64_t nonFiniteSamples() const { return m_nonFinite; }

private:
    std::unique_ptr<SoundFileBytes> m_bytesIn;
    sf_private_tag* m_file = nullptr;
    int m_channels = 0;
    int m_rate = 0;
    int m_format = 0;
    uint64_t m_frames = 0; // 0 when the header does not say
    uint64_t m_framesRead = 0;
    uint64_t m_bytes = 0;
    uint64_t m_nonFinite = 0;
    bool m_pcm16 = false;
    bool m_cutAtOpen = false; // a size past the end of the file, or an Ogg stream without its end
    bool m_readFailed = false;
    int32_t m_fullScale16 = 32767;
    float m_fullScaleFloat = 1.0f;
    std::string m_error;
    void noteRead(int64_t frames);
};
