// A bounds-checked reader of RIFF chunk structure over a file, with 64-bit
// offsets: descend into a chunk by id (or into a RIFF chunk by form type),
// ascend out of it, read, seek, and read at an offset.
//
// Sizes stored in the file are never trusted: a chunk that claims more than
// its parent or the file holds is searched and skipped only as far as the
// file goes, and every read stops at the end of the file. Chunks of odd size
// are followed by one pad byte, as RIFF requires.
//
// Thread: one owner at a time. readAt() does not move the file position, so
// the stream thread can read while nobody else touches the file.
#pragma once

#include <cstdint>

constexpr uint32_t riffId(const char (&s)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24;
}

struct RiffChunk {
    uint32_t id = 0;         // four-character code as stored
    uint32_t size = 0;       // size as stored (may exceed the file)
    uint32_t form = 0;       // "RIFF" and "LIST": the form type
    uint64_t dataOffset = 0; // file offset of the contents (for "RIFF", of the form type)
};

class RiffFile {
public:
    RiffFile() = default;
    ~RiffFile();
    RiffFile(const RiffFile&) = delete;
    RiffFile& operator=(const RiffFile&) = delete;

    // Opens a regular file for reading. Returns false for anything else
    // (missing, unreadable, a directory, a pipe).
    bool open(const char* path);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    uint64_t fileSize() const { return m_size; }
    uint64_t position() const { return m_pos; }

    // Finds, from the current position onwards, the next top-level "RIFF"
    // chunk of the given form type and moves just past its form type.
    bool descendRiff(RiffChunk& out, uint32_t form);
    // Finds, from the current position up to the end of `parent`, the next
    // chunk with the given id and moves to its contents.
    bool descendChunk(RiffChunk& out, const RiffChunk& parent, uint32_t id);
    // Moves to the end of the chunk, past its pad byte.
    void ascend(const RiffChunk& chunk);

    void seek(uint64_t offset) { m_pos = offset; }
    // Reads from the current position and advances; returns the bytes read,
    // fewer at the end of the file.
    uint64_t read(void* dest, uint64_t bytes);
    // Reads at `offset` without moving the position; fewer bytes at the end.
    uint64_t readAt(uint64_t offset, void* dest, uint64_t bytes) const;

private:
    // Reads a chunk header at `offset` if it lies wholly before `limit`.
    bool headerAt(uint64_t offset, uint64_t limit, RiffChunk& out) const;
    static uint64_t chunkEnd(const RiffChunk& c);

    int m_fd = -1;
    uint64_t m_size = 0;
    uint64_t m_pos = 0;
};
