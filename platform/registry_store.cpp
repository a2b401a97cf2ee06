// The settings store file.
//
// Format (UTF-8/bytes, one entry per line, '\n' or "\r\n"; a leading UTF-8
// byte-order mark, as left by some editors, is skipped):
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
// the spelling of their first write. The parsed file is indexed by folded
// names, so a lookup costs the same in a file of ten sections or ten
// thousand.
//
// Damage handling: every line stands alone. A line that does not parse (or
// whose hex does not match its size, as in a file cut short in mid-line) is
// ignored, so the values around it still read; the next write keeps every
// well-formed value and drops the damaged lines. A file that could not be
// read whole (too large, unreadable, an I/O error) is never rewritten: the
// write fails instead of dropping values it never saw.
//
// Writers serialise on an flock of "registry.ini.lock" beside the file (the
// data file itself is replaced by rename, so it cannot carry the lock), read
// the current file, change the values of one call, write a unique temporary
// file, flush it and rename it over the data file; a change that leaves the
// bytes as they are writes nothing. When registry.ini is a symbolic link the
// temporary file goes beside the link's final target and replaces that, so
// the link stays. Readers take no lock: the rename makes them see either the
// old or the new file. A temporary file left by a writer that died is never
// read and is removed by the next writer, which holds the lock and therefore
// knows that no other writer is active.
//
// Reads keep the last parsed file in memory and parse again only when the
// file changed: a file whose status change time is well in the past is known
// by its identity (device, inode, size, modification and change times), any
// other by its bytes. Every writer replaces the file by rename, so another
// instance's write always shows as a new identity.
#include "platform/registry_store.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <pwd.h>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

constexpr const char* kFolderName = "korvalo-cor";
constexpr const char* kFileName = "registry.ini";
constexpr const char* kTempPrefix = "registry.ini.tmp.";
// Registry values are small; a larger request is refused instead of bloating
// the file that every read parses.
constexpr uint32_t kMaxValueSize = 1u << 20;
// A file beyond this is not ours; it reads as empty rather than exhausting
// memory, and no write replaces it.
constexpr off_t kMaxFileSize = 64 * 1024 * 1024;
// Links followed before the store gives up on a chain (the kernel's limit).
constexpr int kMaxLinkHops = 40;

// In-process serialisation of writers; flock alone already excludes other
// descriptors, but this keeps two threads from racing on the temporary-file
// clean-up.
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

// ASCII case folding, as registry names compare.
std::string folded(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// The key paths in file order, with hash indexes over folded names. A value
// is indexed by its key's position and its folded name.
class Store {
public:
    const Key* findKey(std::string_view path) const {
        auto it = m_keyIndex.find(folded(path));
        return it == m_keyIndex.end() ? nullptr : &m_keys[it->second];
    }
    Key& keyFor(std::string_view path) {
        auto [it, added] = m_keyIndex.try_emplace(folded(path), m_keys.size());
        if (added)
            m_keys.push_back(Key{std::string(path), {}});
        return m_keys[it->second];
    }
    const Value* findValue(const Key& key, std::string_view name) const {
        auto it = m_valueIndex.find(valueId(key, name));
        return it == m_valueIndex.end() ? nullptr : &key.values[it->second];
    }
    // Sets a value; a new name goes after the key's other values, an existing
    // one keeps its place and spelling.
    void set(Key& key, std::string_view name, uint32_t type, std::string bytes) {
        auto [it, added] = m_valueIndex.try_emplace(valueId(key, name), key.values.size());
        if (added) {
            key.values.push_back(Value{std::string(name), type, std::move(bytes)});
        } else {
            Value& v = key.values[it->second];
            v.type = type;
            v.bytes = std::move(bytes);
        }
    }
    const std::vector<Key>& keys() const { return m_keys; }

private:
    size_t keyPos(const Key& key) const { return static_cast<size_t>(&key - m_keys.data()); }
    // Position and folded name; the position keeps names of different keys
    // apart whatever bytes they hold.
    std::string valueId(const Key& key, std::string_view name) const {
        std::string id = std::to_string(keyPos(key));
        id += ':';
        id += folded(name);
        return id;
    }

    std::vector<Key> m_keys;
    std::unordered_map<std::string, size_t> m_keyIndex;   // folded path -> position
    std::unordered_map<std::string, size_t> m_valueIndex; // valueId -> position in its key
};

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

// Appends `s` to `out` with the escapes of the file format.
void appendEscaped(std::string& out, std::string_view s) {
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
    size_t pos = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
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
            if (inValidKey)
                current = &store.keyFor(path);
            continue;
        }
        Value v;
        if (!inValidKey || !parseValueLine(line, v))
            continue;
        store.set(*current, v.name, v.type, std::move(v.bytes));
    }
    return store;
}

// `sizeHint`: about the expected length, so that the text grows in one step.
std::string serialiseStore(const Store& store, size_t sizeHint) {
    std::string out;
    out.reserve(sizeHint + 4096);
    out = "; Korvalo Cor. settings. One value per line: name=type:size:hex bytes.\n";
    for (const Key& k : store.keys()) {
        out += "\n[";
        appendEscaped(out, k.path);
        out += "]\n";
        for (const Value& v : k.values) {
            appendEscaped(out, v.name);
            out += '=';
            out += typeName(v.type);
            out += ':';
            out += std::to_string(v.bytes.size());
            out += ':';
            const size_t at = out.size();
            out.resize(at + 2 * v.bytes.size());
            for (size_t i = 0; i < v.bytes.size(); ++i) {
                const unsigned char b = static_cast<unsigned char>(v.bytes[i]);
                out[at + 2 * i] = kHex[b >> 4];
                out[at + 2 * i + 1] = kHex[b & 15];
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

// The final target of a chain of symbolic links (the path itself when it is
// no link). A dangling link gives its missing target, which a write creates.
std::string resolveLinks(std::string path) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        std::vector<char> buf(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = readlink(path.c_str(), buf.data(), buf.size());
        if (n <= 0 || static_cast<size_t>(n) >= buf.size())
            return path; // changed under us; the later steps fail on it
        std::string target(buf.data(), static_cast<size_t>(n));
        if (target[0] != '/')
            target = path.substr(0, path.find_last_of('/') + 1) + target;
        path = std::move(target);
    }
    return path;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// What a file looked like: equal identities of a settled file mean equal
// bytes.
struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};
    timespec ctime{};
};

FileId fileIdOf(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

bool operator==(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool operator==(const FileId& a, const FileId& b) {
    return a.dev == b.dev && a.ino == b.ino && a.size == b.size && a.mtime == b.mtime &&
           a.ctime == b.ctime;
}

// File times come from a clock that may lag the real one by a tick, and some
// file systems keep whole seconds: a change time this far in the past can no
// longer be shared by a later change.
bool settledBefore(const FileId& id, const timespec& now) {
    return now.tv_sec - id.ctime.tv_sec > 2;
}

enum class ReadResult { Whole, Missing, Failed };

// Reads the whole file. Missing: there is no file (a write may create it).
// Failed: not a regular file, unreadable, unreasonably large, or an I/O
// error; its values cannot be known. `id` is set for a whole read whose file
// did not change while it was read, else left with a zero inode.
ReadResult readFile(const std::string& path, std::string& out, FileId& id) {
    out.clear();
    id = FileId{};
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    struct stat before {};
    if (fstat(fd, &before) != 0 || !S_ISREG(before.st_mode) || before.st_size > kMaxFileSize) {
        ::close(fd);
        return ReadResult::Failed;
    }
    out.reserve(static_cast<size_t>(before.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            out.clear();
            return ReadResult::Failed;
        }
        if (n == 0)
            break;
        out.append(buf, static_cast<size_t>(n));
        if (out.size() > static_cast<size_t>(kMaxFileSize)) {
            ::close(fd);
            out.clear();
            return ReadResult::Failed;
        }
    }
    struct stat after {};
    if (fstat(fd, &after) == 0 && fileIdOf(before) == fileIdOf(after) &&
        static_cast<size_t>(after.st_size) == out.size())
        id = fileIdOf(after);
    ::close(fd);
    return ReadResult::Whole;
}

// The last file parsed by this process. Readers look values up while they
// hold the lock, so a writer may take the parse out and change it.
struct ParsedFile {
    std::string path;             // as named by the store path
    FileId id;                    // zero inode: not known
    bool settled = false;         // id alone proves the bytes
    std::string text;             // the bytes parsed
    std::unique_ptr<Store> store; // null: nothing cached
};

std::mutex g_cacheMutex; // guards g_cache
ParsedFile g_cache;

void remember(const std::string& path, std::string text, std::unique_ptr<Store> store) {
    std::lock_guard<std::mutex> guard(g_cacheMutex);
    g_cache = ParsedFile{path, FileId{}, false, std::move(text), std::move(store)};
}

// The parsed store file, or null when it is missing or cannot be read.
// Called with g_cacheMutex held; the result lives until it is released.
const Store* currentStoreLocked(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return nullptr;
    if (g_cache.store && g_cache.settled && g_cache.path == path && g_cache.id == fileIdOf(st))
        return g_cache.store.get();
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::string text;
    FileId id;
    if (readFile(path, text, id) != ReadResult::Whole)
        return nullptr;
    if (!g_cache.store || g_cache.path != path || g_cache.text != text) {
        auto store = std::make_unique<Store>(parseStore(text));
        g_cache = ParsedFile{path, {}, false, std::move(text), std::move(store)};
    }
    g_cache.id = id;
    g_cache.settled = id.ino != 0 && settledBefore(id, now);
    return g_cache.store.get();
}

// The cached parse of `text` for a writer to change, taken out of the cache
// (the next read parses again); null when the cache holds another file.
std::unique_ptr<Store> takeCachedStore(const std::string& path, const std::string& text) {
    std::lock_guard<std::mutex> guard(g_cacheMutex);
    if (!g_cache.store || g_cache.path != path || g_cache.text != text)
        return nullptr;
    std::unique_ptr<Store> store = std::move(g_cache.store);
    g_cache = ParsedFile{};
    return store;
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

bool replaceFile(const std::string& target, mode_t mode, const std::string& text) {
    std::string tmpl = folderOf(target) + "/" + kTempPrefix + "XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = fchmod(fd, mode) == 0 && writeAll(fd, text) && fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok = std::rename(name.data(), target.c_str()) == 0;
    if (!ok)
        ::unlink(name.data());
    return ok;
}

struct Entry {
    const char* name;
    uint32_t type;
    const void* data;
    uint32_t size;
};

bool writable(const Entry& e) {
    return e.size <= kMaxValueSize && (e.size == 0 || e.data);
}

// Stores the entries that can be written, in order, in one rewrite of the
// file. Returns how many were stored; 0 when none could be or the file could
// not be replaced.
int writeEntries(const char* keyPath, const Entry* entries, size_t count) {
    size_t usable = 0;
    for (size_t i = 0; i < count; ++i)
        usable += writable(entries[i]) ? 1 : 0;
    if (usable == 0)
        return 0;
    const std::string path = keyPath ? keyPath : "";

    std::lock_guard<std::mutex> guard(g_storeMutex);
    const std::string folder = configFolder();
    if (!makeFolders(folder))
        return 0;
    WriterLock lock(folder);
    if (!lock.held())
        return 0;
    removeStaleTemporaries(folder);

    const std::string file = folder + "/" + kFileName;
    const std::string target = resolveLinks(file);
    if (folderOf(target) != folder)
        removeStaleTemporaries(folderOf(target));
    mode_t mode = 0600;
    struct stat st {};
    if (stat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            return 0; // a directory or device in the file's place is not ours to replace
        mode = st.st_mode & 07777;
    }
    std::string text;
    FileId id;
    if (readFile(target, text, id) == ReadResult::Failed)
        return 0; // values that could not be read must not be dropped

    std::unique_ptr<Store> store = takeCachedStore(file, text);
    if (!store)
        store = std::make_unique<Store>(parseStore(text));
    Key& key = store->keyFor(path);
    for (size_t i = 0; i < count; ++i) {
        const Entry& e = entries[i];
        if (!writable(e))
            continue;
        std::string bytes(e.size ? static_cast<const char*>(e.data) : "", e.size);
        store->set(key, e.name ? e.name : "", e.type, std::move(bytes));
    }
    std::string out = serialiseStore(*store, text.size());
    if (out == text) {
        remember(file, std::move(out), std::move(store));
        return static_cast<int>(usable);
    }
    if (out.size() > static_cast<size_t>(kMaxFileSize) || !replaceFile(target, mode, out))
        return 0;
    remember(file, std::move(out), std::move(store));
    return static_cast<int>(usable);
}

} // namespace

std::string regStorePath() {
    return configFolder() + "/" + kFileName;
}

int regWriteValue(const char* keyPath, const char* valueName, const void* data, uint32_t size) {
    const Entry e{valueName, static_cast<uint32_t>(RegType::Binary), data, size};
    return writeEntries(keyPath, &e, 1);
}

int regWriteTyped(const char* keyPath, const char* valueName, RegType type, const void* data,
                  uint32_t size) {
    const Entry e{valueName, static_cast<uint32_t>(type), data, size};
    return writeEntries(keyPath, &e, 1);
}

int regWriteValues(const char* keyPath, const RegValue* values, size_t count) {
    if (count > 0 && !values)
        return 0;
    std::vector<Entry> entries;
    entries.reserve(count);
    for (size_t i = 0; i < count; ++i)
        entries.push_back(Entry{values[i].name, static_cast<uint32_t>(RegType::Binary),
                                values[i].data, values[i].size});
    return writeEntries(keyPath, entries.data(), entries.size());
}

int regReadValue(const char* keyPath, const char* valueName, void* dest, uint32_t size) {
    if (size > 0 && !dest)
        return 0;
    const std::string path = regStorePath();
    std::lock_guard<std::mutex> guard(g_cacheMutex);
    const Store* store = currentStoreLocked(path);
    if (!store)
        return 0;
    const Key* key = store->findKey(keyPath ? keyPath : "");
    if (!key)
        return 0;
    const Value* v = store->findValue(*key, valueName ? valueName : "");
    // Another type or another length leaves the caller's bytes as they were:
    // a shorter value would otherwise replace only the low bytes of a default.
    if (!v || v->type != static_cast<uint32_t>(RegType::Binary) || v->bytes.size() != size)
        return 0;
    if (size > 0)
        std::memcpy(dest, v->bytes.data(), size);
    return 1;
}
