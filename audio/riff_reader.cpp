#include "audio/riff_reader.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

} // namespace

RiffFile::~RiffFile() {
    close();
}

bool RiffFile::open(const char* path) {
    close();
    if (!path)
        return false;
    // Non-blocking so that a FIFO named like a WAV file cannot hang the open.
    int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_size = static_cast<uint64_t>(st.st_size);
    m_pos = 0;
    return true;
}

void RiffFile::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_size = 0;
    m_pos = 0;
}

uint64_t RiffFile::chunkEnd(const RiffChunk& c) {
    return c.dataOffset + c.size + (c.size & 1u);
}

uint64_t RiffFile::readAt(uint64_t offset, void* dest, uint64_t bytes) const {
    if (m_fd < 0 || offset >= m_size)
        return 0;
    bytes = std::min(bytes, m_size - offset);
    auto* p = static_cast<uint8_t*>(dest);
    uint64_t done = 0;
    while (done < bytes) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(bytes - done, 1u << 30));
        ssize_t n = ::pread(m_fd, p + done, want, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // the file shrank or failed: what is there is all there is
        done += static_cast<uint64_t>(n);
    }
    return done;
}

uint64_t RiffFile::read(void* dest, uint64_t bytes) {
    const uint64_t n = readAt(m_pos, dest, bytes);
    m_pos += n;
    return n;
}

bool RiffFile::headerAt(uint64_t offset, uint64_t limit, RiffChunk& out) const {
    if (offset > limit || limit - offset < 8)
        return false;
    uint8_t h[8];
    if (readAt(offset, h, 8) != 8)
        return false;
    out.id = le32(h);
    out.size = le32(h + 4);
    out.form = 0;
    out.dataOffset = offset + 8;
    return true;
}

bool RiffFile::descendRiff(RiffChunk& out, uint32_t form) {
    uint64_t at = m_pos;
    RiffChunk c;
    while (headerAt(at, m_size, c)) {
        if (c.id == riffId("RIFF")) {
            uint8_t f[4];
            if (c.size >= 4 && readAt(c.dataOffset, f, 4) == 4 && le32(f) == form) {
                c.form = form;
                out = c;
                m_pos = c.dataOffset + 4;
                return true;
            }
        }
        at = chunkEnd(c);
    }
    return false;
}

bool RiffFile::descendChunk(RiffChunk& out, const RiffChunk& parent, uint32_t id) {
    const uint64_t limit = std::min(chunkEnd(parent), m_size);
    uint64_t at = std::max(m_pos, parent.dataOffset + (parent.form ? 4 : 0));
    RiffChunk c;
    while (headerAt(at, limit, c)) {
        if (c.id == id) {
            if (id == riffId("RIFF") || id == riffId("LIST")) {
                uint8_t f[4];
                if (c.size >= 4 && readAt(c.dataOffset, f, 4) == 4)
                    c.form = le32(f);
            }
            out = c;
            m_pos = c.dataOffset + (c.form ? 4 : 0);
            return true;
        }
        at = chunkEnd(c);
    }
    return false;
}

void RiffFile::ascend(const RiffChunk& chunk) {
    m_pos = chunkEnd(chunk);
}
