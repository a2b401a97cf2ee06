#include "analysis/analysis_reader.h"

#include <sndfile.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string formatName(int format) {
    SF_FORMAT_INFO info{};
    info.format = format;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name) {
        return info.name;
    }
    return "unknown";
}

} // namespace

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
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        error = std::strerror(errno);
        ::close(fd);
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
        ::close(fd);
        return false;
    }
    // Regular files ignore O_NONBLOCK, but libsndfile should see plain reads.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_bytes = static_cast<uint64_t>(st.st_size);
    SF_INFO info{};
    m_file = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
    if (!m_file) {
        error = sf_strerror(nullptr);
        return false;
    }
    m_channels = info.channels;
    m_rate = info.samplerate;
    m_format = info.format;
    m_frames = info.frames > 0 ? static_cast<uint64_t>(info.frames) : 0;
    const int sub = info.format & SF_FORMAT_SUBMASK;
    m_pcm16 = sub == SF_FORMAT_PCM_16 || sub == SF_FORMAT_PCM_S8 || sub == SF_FORMAT_PCM_U8;
    m_fullScale16 = sub == SF_FORMAT_PCM_16 ? 32767 : 127 * 256;
    const int bits = sub == SF_FORMAT_PCM_24 ? 24 : sub == SF_FORMAT_PCM_32 ? 32 : 0;
    m_fullScaleFloat = bits ? static_cast<float>(1.0 - std::ldexp(1.0, 1 - bits)) : 1.0f;
    // libsndfile notes a data chunk longer than the file as "data : N
    // (should be M)" in its log and reads the M bytes that are there.
    char log[4096] = {};
    sf_command(m_file, SFC_GET_LOG_INFO, log, sizeof log);
    for (const char* line = log; line && *line; line = std::strchr(line, '\n')) {
        line += *line == '\n' ? 1 : 0;
        const char* end = std::strchr(line, '\n');
        const std::string text(line, end ? static_cast<size_t>(end - line) : std::strlen(line));
        if (text.rfind("data", 0) == 0 && text.find("should be") != std::string::npos) {
            m_cutShort = true;
        }
    }
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

void SoundFileReader::checkError() {
    if (m_error.empty() && sf_error(m_file) != SF_ERR_NO_ERROR) {
        m_error = sf_strerror(m_file);
    }
}

uint32_t SoundFileReader::readPcm16(int16_t* out, uint32_t frames) {
    const sf_count_t n = sf_readf_short(m_file, out, frames);
    if (n <= 0) {
        checkError();
    }
    return n > 0 ? static_cast<uint32_t>(n) : 0;
}

uint32_t SoundFileReader::readFloat(float* out, uint32_t frames) {
    const sf_count_t n = sf_readf_float(m_file, out, frames);
    if (n <= 0) {
        checkError();
    }
    return n > 0 ? static_cast<uint32_t>(n) : 0;
}
