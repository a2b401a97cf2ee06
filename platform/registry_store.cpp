// The settings store file.
//
// Format (UTF-8/bytes, one entry per line, '\n' or "\r\n"):
//
//   ; comment
//   [Zandel_Audio\demo]
//   LatencyTime=binary:4:cdcccc3d
//
// A section header names a key path, a value line is name=type:size:hex.
// Names are written with %XX escapes for control bytes and for the
// characters that would break the line structure (% = [ ] ; # and a leading
// blank), so any byte string survives a round trip. Key paths and value
// names match without regard to ASCII case, as registry names do, and keep
// the spelling of their first write.
//
// Damage handling: every line stands alone. A line that does not parse (or
// whose hex does not match its size, as in a file cut short in mid-line) is
// ignored, so the values around it still read; the next write keeps every
// well-formed value and drops the damaged lines.
//
// Writers serialise on an flock of "registry.ini.lock" beside the file (the
// data file itself is replaced by rename, so it cannot carry the lock), read
// the current file, change one value, write a unique temporary file, flush it
// and rename it over the data file. Readers take no lock: the rename makes
// them see either the old or the new file. A temporary file left by a writer
// that died is never read and is removed by the next writer, which holds the
// lock and therefore knows that no other writer is active.
#include "platform/registry_store.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <pwd.h>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kFolderName = "korvalo-cor";
constexpr const char* kFileName = "registry.ini";
constexpr const char* kTempPrefix = "registry.ini.tmp.";
// Registry values are small; a larger request is refused instead of bloating
// the file that every read parses.
constexpr uint32_t kMaxValueSize = 1u << 20;
// A file beyond this is not ours; it reads as empty rather than exhausting
// memory.
constexpr off_t kMaxFileSize = 64 * 1024 * 1024;

// In-process serialisation; flock alone already excludes other descriptors,
// but this keeps two threads from racing on the temporary-file clean-up.
std::mutex g_storeMutex;

struct Value {
    std::string name;
    uint32_t type = 0;
    std::string bytes;
};

struct Key {
    std::string path;
    std::vector<Value> values;
};

using Store = std::vector<Key>;

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

Key* findKey(Store& store, std::string_view path) {
    for (Key& k : store)
        if (equalsNoCase(k.path, path))
            return &k;
    return nullptr;
}

Value* findValue(Key& key, std::string_view name) {
    for (Value& v : key.values)
        if (equalsNoCase(v.name, name))
            return &v;
    return nullptr;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

const char kHex[] = "0123456789abcdef";

std::string escapeName(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        bool special = c < 0x20 || c == 0x7f || c == '%' || c == '=' || c == '[' || c == ']' ||
                       ((c == ';' || c == '#' || c == ' ' || c == '\t') && i == 0);
        if (special) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

bool unescapeName(std::string_view s, std::string& out) {
    out.clear();
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size())
            return false;
        int hi = hexDigit(s[i + 1]);
        int lo = hexDigit(s[i + 2]);
        if (hi < 0 || lo < 0)
            return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

std::string typeName(uint32_t type) {
    switch (type) {
    case static_cast<uint32_t>(RegType::Binary):
        return "binary";
    case static_cast<uint32_t>(RegType::Dword):
        return "dword";
    case static_cast<uint32_t>(RegType::String):
        return "string";
    default:
        return std::to_string(type);
    }
}

bool parseUnsigned(std::string_view s, uint32_t& out) {
    if (s.empty() || s.size() > 10)
        return false;
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v > 0xFFFFFFFFull)
        return false;
    out = static_cast<uint32_t>(v);
    return true;
}

bool parseType(std::string_view s, uint32_t& out) {
    if (s == "binary")
        out = static_cast<uint32_t>(RegType::Binary);
    else if (s == "dword")
        out = static_cast<uint32_t>(RegType::Dword);
    else if (s == "string")
        out = static_cast<uint32_t>(RegType::String);
    else
        return parseUnsigned(s, out);
    return true;
}

// name=type:size:hex; false for anything malformed.
bool parseValueLine(std::string_view line, Value& v) {
    size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return false;
    if (!unescapeName(line.substr(0, eq), v.name))
        return false;
    std::string_view rest = line.substr(eq + 1);
    size_t c1 = rest.find(':');
    if (c1 == std::string_view::npos)
        return false;
    size_t c2 = rest.find(':', c1 + 1);
    if (c2 == std::string_view::npos)
        return false;
    uint32_t size = 0;
    if (!parseType(rest.substr(0, c1), v.type) ||
        !parseUnsigned(rest.substr(c1 + 1, c2 - c1 - 1), size) || size > kMaxValueSize)
        return false;
    std::string_view hex = rest.substr(c2 + 1);
    if (hex.size() != 2ull * size)
        return false;
    v.bytes.resize(size);
    for (uint32_t i = 0; i < size; ++i) {
        int hi = hexDigit(hex[2 * i]);
        int lo = hexDigit(hex[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        v.bytes[i] = static_cast<char>(hi * 16 + lo);
    }
    return true;
}

Store parseStore(std::string_view text) {
    Store store;
    Key* current = nullptr;
    // Values before any header, or under a header that did not parse, belong
    // to no key and are dropped.
    bool inValidKey = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line[0] == '[') {
            std::string path;
            inValidKey = line.size() >= 2 && line.back() == ']' &&
                         unescapeName(line.substr(1, line.size() - 2), path);
            if (inValidKey) {
                current = findKey(store, path);
                if (!current) {
                    store.push_back(Key{path, {}});
                    current = &store.back();
                }
            }
            continue;
        }
        Value v;
        if (!inValidKey || !parseValueLine(line, v))
            continue;
        if (Value* old = findValue(*current, v.name))
            *old = std::move(v);
        else
            current->values.push_back(std::move(v));
    }
    return store;
}

std::string serialiseStore(const Store& store) {
    std::string out = "; Korvalo Cor. settings. One value per line: name=type:size:hex bytes.\n";
    for (const Key& k : store) {
        out += "\n[";
        out += escapeName(k.path);
        out += "]\n";
        for (const Value& v : k.values) {
            out += escapeName(v.name);
            out += '=';
            out += typeName(v.type);
            out += ':';
            out += std::to_string(v.bytes.size());
            out += ':';
            for (char c : v.bytes) {
                unsigned char b = static_cast<unsigned char>(c);
                out += kHex[b >> 4];
                out += kHex[b & 15];
            }
            out += '\n';
        }
    }
    return out;
}

std::string configFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    // Relative values are invalid by the XDG rules and would make the place
    // depend on the current directory.
    if (xdg && xdg[0] == '/')
        return std::string(xdg) + "/" + kFolderName;
    const char* home = std::getenv("HOME");
    std::string base;
    if (home && home[0] == '/') {
        base = home;
    } else if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
        base = pw->pw_dir;
    } else {
        base = "/tmp";
    }
    return base + "/.config/" + kFolderName;
}

// Reads the whole file; false when it is missing, not a regular file,
// unreadable or unreasonably large.
bool readFile(const std::string& path, std::string& out) {
    out.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileSize) {
        ::close(fd);
        return false;
    }
    char buf[16384];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            out.clear();
            return false;
        }
        if (n == 0)
            break;
        out.append(buf, static_cast<size_t>(n));
        if (out.size() > static_cast<size_t>(kMaxFileSize)) {
            ::close(fd);
            out.clear();
            return false;
        }
    }
    ::close(fd);
    return true;
}

bool writeAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// mkdir -p with private permissions; true when the folder exists afterwards.
bool makeFolders(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeFolders(path.substr(0, slash)))
        return false;
    if (mkdir(path.c_str(), 0700) == 0 || errno == EEXIST)
        return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    return false;
}

// Writers that died while holding the lock left their temporary file behind.
void removeStaleTemporaries(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (dirent* e = readdir(dir)) {
        if (std::strncmp(e->d_name, kTempPrefix, std::strlen(kTempPrefix)) == 0)
            unlinkat(dirfd(dir), e->d_name, 0);
    }
    closedir(dir);
}

class WriterLock {
public:
    explicit WriterLock(const std::string& folder) {
        std::string path = folder + "/" + kFileName + ".lock";
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0)
            m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0)
            return;
        while (flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(m_fd);
                m_fd = -1;
                return;
            }
        }
    }
    ~WriterLock() {
        if (m_fd >= 0)
            ::close(m_fd); // closing releases the flock
    }
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

bool replaceFile(const std::string& folder, const std::string& target, const std::string& text) {
    std::string tmpl = folder + "/" + kTempPrefix + "XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = fchmod(fd, 0600) == 0 && writeAll(fd, text) && fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok = std::rename(name.data(), target.c_str()) == 0;
    if (!ok)
        ::unlink(name.data());
    return ok;
}

int writeValue(const char* keyPath, const char* valueName, uint32_t type, const void* data,
               uint32_t size) {
    if (size > kMaxValueSize || (size > 0 && !data))
        return 0;
    const std::string path = keyPath ? keyPath : "";
    const std::string name = valueName ? valueName : "";

    std::lock_guard<std::mutex> guard(g_storeMutex);
    const std::string folder = configFolder();
    if (!makeFolders(folder))
        return 0;
    WriterLock lock(folder);
    if (!lock.held())
        return 0;
    removeStaleTemporaries(folder);

    const std::string file = folder + "/" + kFileName;
    struct stat st {};
    if (stat(file.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return 0; // a directory or device in the file's place is not ours to replace
    std::string text;
    Store store;
    if (readFile(file, text))
        store = parseStore(text);

    Key* key = findKey(store, path);
    if (!key) {
        store.push_back(Key{path, {}});
        key = &store.back();
    }
    std::string bytes(static_cast<const char*>(data), size);
    if (Value* v = findValue(*key, name)) {
        v->type = type;
        v->bytes = std::move(bytes);
    } else {
        key->values.push_back(Value{name, type, std::move(bytes)});
    }
    return replaceFile(folder, file, serialiseStore(store)) ? 1 : 0;
}

} // namespace

std::string regStorePath() {
    return configFolder() + "/" + kFileName;
}

int regWriteValue(const char* keyPath, const char* valueName, const void* data, uint32_t size) {
    return writeValue(keyPath, valueName, static_cast<uint32_t>(RegType::Binary), data, size);
}

int regWriteTyped(const char* keyPath, const char* valueName, RegType type, const void* data,
                  uint32_t size) {
    return writeValue(keyPath, valueName, static_cast<uint32_t>(type), data, size);
}

int regReadValue(const char* keyPath, const char* valueName, void* dest, uint32_t size) {
    if (size > 0 && !dest)
        return 0;
    std::string text;
    if (!readFile(regStorePath(), text))
        return 0;
    Store store = parseStore(text);
    Key* key = findKey(store, keyPath ? keyPath : "");
    if (!key)
        return 0;
    Value* v = findValue(*key, valueName ? valueName : "");
    // Another type or a value that does not fit leaves the caller's bytes as
    // they were, so a caller's default survives every failed read.
    if (!v || v->type != static_cast<uint32_t>(RegType::Binary) || v->bytes.size() > size)
        return 0;
    if (!v->bytes.empty())
        std::memcpy(dest, v->bytes.data(), v->bytes.size());
    return 1;
}
