#include "analysis/analysis_reader.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// The file's bytes as libsndfile reads them, through its virtual I/O. A WAV
// written to a pipe could not go back to fill in its sizes: it is shown with
// the sizes it would have had (`patches`).
struct SoundFileBytes {
    int fd = -1;
    sf_count_t length = 0;
    sf_count_t pos = 0;
    struct Patch {
        sf_count_t at;  // offset of a 32-bit little-endian field
        uint32_t value; // shown instead of what the file holds
    };
    std::vector<Patch> patches;
    ~SoundFileBytes() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

namespace {

std::string formatName(int format) {
    SF_FORMAT_INFO info{};
    info.format = format;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name) {
        return info.name;
    }
    return "unknown";
}

SoundFileBytes& bytesOf(void* user) {
    return *static_cast<SoundFileBytes*>(user);
}

SF_VIRTUAL_IO fileIo() {
    SF_VIRTUAL_IO io{};
    io.get_filelen = [](void* user) { return bytesOf(user).length; };
    io.seek = [](sf_count_t offset, int whence, void* user) {
        SoundFileBytes& b = bytesOf(user);
        const sf_count_t base = whence == SEEK_CUR ? b.pos : whence == SEEK_END ? b.length : 0;
        b.pos = std::max<sf_count_t>(0, base + offset);
        return b.pos;
    };
    io.read = [](void* ptr, sf_count_t count, void* user) -> sf_count_t {
        SoundFileBytes& b = bytesOf(user);
        ssize_t n;
        do {
            n = pread(b.fd, ptr, static_cast<size_t>(count), b.pos);
        } while (n < 0 && errno == EINTR);
        if (n <= 0) {
            return 0;
        }
        auto* bytes = static_cast<unsigned char*>(ptr);
        for (const SoundFileBytes::Patch& p : b.patches) {
            for (int k = 0; k < 4; ++k) {
                if (p.at + k >= b.pos && p.at + k < b.pos + n) {
                    bytes[p.at + k - b.pos] = static_cast<unsigned char>(p.value >> (8 * k));
                }
            }
        }
        b.pos += n;
        return n;
    };
    io.write = [](const void*, sf_count_t, void*) -> sf_count_t { return 0; };
    io.tell = [](void* user) { return bytesOf(user).pos; };
    return io;
}

uint32_t le32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// A WAV written to a pipe cannot go back to write its sizes: most writers
// leave the RIFF and data sizes at 0 or 0xFFFFFFFF, sox leaves 0x7FFFF000 for
// the data and that plus the header for RIFF. The data runs to the end of the
// file, and such a file is shown with the sizes the end of the file gives.
// sox's mark counts only where it reaches past the end of the file.
void mendStreamedWav(SoundFileBytes& b) {
    const auto unknown = [](uint32_t size, sf_count_t room) {
        return size == 0 || size == 0xFFFFFFFF ||
               (size >= 0x7FFFF000 && size <= 0x7FFFFFFF && size > room);
    };
    unsigned char head[12];
    if (pread(b.fd, head, sizeof head, 0) != sizeof head || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0 || !unknown(le32(head + 4), b.length - 8)) {
        return;
    }
    // The chunks before the data (a few, each with its real size).
    sf_count_t at = 12;
    for (int chunk = 0; chunk < 64 && at + 8 <= b.length; ++chunk) {
        unsigned char c[8];
        if (pread(b.fd, c, sizeof c, at) != sizeof c) {
            return;
        }
        const uint32_t size = le32(c + 4);
        if (std::memcmp(c, "data", 4) == 0) {
            if (unknown(size, b.length - at - 8)) {
                const auto clamp = [](sf_count_t v) {
                    return static_cast<uint32_t>(std::min<sf_count_t>(v, 0xFFFFFFFF));
                };
                b.patches = {{4, clamp(b.length - 8)}, {at + 4, clamp(b.length - at - 8)}};
            }
            return;
        }
        at += 8 + static_cast<sf_count_t>(size) + (size & 1);
    }
}

// libsndfile notes a size field that reaches past the end of the file as
// "NAME : N (should be M)", under the container's own name for it, and reads
// the M bytes that are there. These fields bound the sample data (WAV
// "data", AIFF "SSND", AU "Data Size", IFF "BODY") or, where the data
// chunk's size is not checked, the whole file (W64 "riff", RF64 "Riff size";
// there a writer may have left out up to 7 bytes of padding at the end).
bool logSaysCutShort(const std::string& log) {
    static const struct {
        const char* name;
        long long slack;
    } sizes[] = {{"data", 0}, {"SSND", 0}, {"Data Size", 0},
                 {"BODY", 0}, {"riff", 7}, {"Riff size", 7}};
    size_t start = 0;
    while (start < log.size()) {
        const size_t end = std::min(log.find('\n', start), log.size());
        const std::string line = log.substr(start, end - start);
        start = end + 1;
        char name[32] = {};
        long long declared = 0, there = 0;
        if (std::sscanf(line.c_str(), " %31[^:]: %lld (should be %lld)", name, &declared, &there) !=
            3) {
            continue;
        }
        std::string field = name;
        field.erase(field.find_last_not_of(' ') + 1);
        for (const auto& s : sizes) {
            if (field == s.name && declared > there + s.slack) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

SoundFileReader::SoundFileReader() : m_bytesIn(std::make_unique<SoundFileBytes>()) {}

SoundFileReader::~SoundFileReader() {
    if (m_file) {
        sf_close(m_file);
    }
}

bool SoundFileReader::open(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    m_bytesIn->fd = fd;
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error = "is a directory";
    } else if (!S_ISREG(st.st_mode)) {
        error = "not a regular file";
    } else if (st.st_size == 0) {
        error = "empty file";
    }
    if (!error.empty()) {
        return false;
    }
    m_bytes = static_cast<uint64_t>(st.st_size);
    m_bytesIn->length = st.st_size;
    mendStreamedWav(*m_bytesIn);
    SF_VIRTUAL_IO io = fileIo();
    SF_INFO info{};
    m_file = sf_open_virtual(&io, SFM_READ, &info, m_bytesIn.get());
    if (!m_file) {
        error = sf_strerror(nullptr);
        return false;
    }
    m_channels = info.channels;
    m_rate = info.samplerate;
    m_format = info.format;
    m_frames =
        info.frames > 0 && info.frames < SF_COUNT_MAX ? static_cast<uint64_t>(info.frames) : 0;
    const int sub = info.format & SF_FORMAT_SUBMASK;
    m_pcm16 = sub == SF_FORMAT_PCM_16 || sub == SF_FORMAT_PCM_S8 || sub == SF_FORMAT_PCM_U8;
    m_fullScale16 = sub == SF_FORMAT_PCM_16 ? 32767 : 127 * 256;
    const int bits = sub == SF_FORMAT_PCM_24 ? 24 : sub == SF_FORMAT_PCM_32 ? 32 : 0;
    m_fullScaleFloat = bits ? static_cast<float>(1.0 - std::ldexp(1.0, 1 - bits)) : 1.0f;
    char log[8192] = {};
    sf_command(m_file, SFC_GET_LOG_INFO, log, sizeof log);
    // An Ogg stream's length comes from its last page; without one (the
    // file ends before the stream does) libsndfile leaves it unknown.
    const bool oggWithoutEnd =
        (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG && info.frames == SF_COUNT_MAX;
    m_cutAtOpen = logSaysCutShort(log) || oggWithoutEnd;
    if (m_rate <= 0) {
        error = "no sample rate";
        return false;
    }
    return true;
}

std::string SoundFileReader::container() const {
    return formatName(m_format & SF_FORMAT_TYPEMASK);
}

std::string SoundFileReader::sampleFormat() const {
    return formatName(m_format & SF_FORMAT_SUBMASK);
}

bool SoundFileReader::cutShort() const {
    return m_cutAtOpen || m_readFailed || m_framesRead < m_frames;
}

// libsndfile keeps an error until the next read: FLAC's decoder reports its
// loss of sync on a read that still returns frames, so every read is checked.
void SoundFileReader::noteRead(int64_t frames) {
    m_framesRead += static_cast<uint64_t>(std::max<int64_t>(frames, 0));
    if (sf_error(m_file) == SF_ERR_NO_ERROR) {
        return;
    }
    if (m_framesRead > 0) {
        m_readFailed = true;
    } else if (m_error.empty()) {
        m_error = sf_strerror(m_file);
    }
}

uint32_t SoundFileReader::readPcm16(int16_t* out, uint32_t frames) {
    const sf_count_t n = sf_readf_short(m_file, out, frames);
    noteRead(n);
    return n > 0 ? static_cast<uint32_t>(n) : 0;
}

uint32_t SoundFileReader::readFloat(float* out, uint32_t frames) {
    const sf_count_t n = sf_readf_float(m_file, out, frames);
    noteRead(n);
    if (n <= 0) {
        return 0;
    }
    const size_t count = static_cast<size_t>(n) * static_cast<size_t>(m_channels);
    uint64_t bad = 0;
    for (size_t i = 0; i < count; ++i) {
        const bool finite = std::isfinite(out[i]);
        bad += finite ? 0 : 1;
        out[i] = finite ? out[i] : 0.0f;
    }
    m_nonFinite += bad;
    return static_cast<uint32_t>(n);
}
