// The settings store: the one way the program persists anything.
//
// Values live under key paths such as "Zandel_Audio\demo" (backslash
// separated, relative to the current user) in one human-readable file,
// $XDG_CONFIG_HOME/korvalo-cor/registry.ini ($HOME/.config when the variable
// is unset). Each value keeps its type (binary for everything the program
// writes) and its exact byte length.
//
// Every call looks at the file as it is now, so two running instances see
// each other's writes; a read parses the file again only when it changed. A
// write is a locked read-modify-write followed by an atomic rename, so
// concurrent writers never lose each other's values and a crash leaves either
// the old or the new file; a write that would leave the bytes unchanged
// rewrites nothing. A missing, damaged, unreadable or unwritable file reads
// as missing values, and a write refuses (returns 0, file untouched) rather
// than replace a file it could not read whole. Nothing here ever throws,
// logs or shows a message.
//
// Thread: any; calls are serialised inside the store.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

// Writes `size` bytes as a binary value, creating the key path as needed.
// Returns 1 on success, 0 on failure.
int regWriteValue(const char* keyPath, const char* valueName, const void* data, uint32_t size);

// One binary value of a batch write.
struct RegValue {
    const char* name;
    const void* data;
    uint32_t size;
};

// Writes several binary values under one key path in one atomic rewrite of
// the file. The stored result is that of writing them one by one in the
// given order (a later value of the same name wins); a value that cannot be
// written (too large, or a size without bytes) is skipped and does not stop
// the others. Returns how many values were stored, 0 on failure.
int regWriteValues(const char* keyPath, const RegValue* values, size_t count);

// Reads a binary value of exactly `size` bytes into `dest`. Returns 1 on
// success. A missing key or value, a value of another type, or a value of
// another length (longer, or shorter as in a hand-edited file) returns 0 and
// leaves `dest` untouched, so a caller's default survives every failed read.
int regReadValue(const char* keyPath, const char* valueName, void* dest, uint32_t size);

// Reads a 4-byte float as regReadValue does; a stored NaN or infinity counts
// as missing (returns 0, `dest` untouched).
inline int regReadFloat(const char* keyPath, const char* valueName, float* dest) {
    float v = 0.0f;
    if (!dest || regReadValue(keyPath, valueName, &v, sizeof v) != 1 || !std::isfinite(v))
        return 0;
    *dest = v;
    return 1;
}

// Value types kept beside the bytes. Only the program's tests write anything
// but binary values (to check that a read rejects them).
enum class RegType : uint32_t { Binary = 3, Dword = 4, String = 1 };
int regWriteTyped(const char* keyPath, const char* valueName, RegType type, const void* data,
                  uint32_t size);

// The file that holds the store, as computed from the environment now.
std::string regStorePath();
