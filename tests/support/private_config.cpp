// Linked into every test program: before main runs, the program gets a
// private, empty settings folder of its own (XDG_CONFIG_HOME), so that no
// test can read or overwrite the settings of the person running it, whether
// it is started by CTest, by hand or by a debugger. The folder is removed
// when the program that made it exits.
//
// A child that a test starts (fork, or an exec of a test program) keeps the
// folder it inherits: KC_TEST_CONFIG names the folder that the first program
// made, and a program that finds XDG_CONFIG_HOME still pointing at it shares
// it instead of making its own. Only the process that made the folder
// removes it.
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kOwnerVariable = "KC_TEST_CONFIG";

// Plain data: set before static objects are built and read after they are
// destroyed.
char g_folder[PATH_MAX] = {}; // made by this process; empty when inherited
pid_t g_maker = 0;

void removeFolder() {
    if (!g_folder[0] || getpid() != g_maker)
        return; // a forked child leaving through exit() keeps its parent's folder
    namespace fs = std::filesystem;
    std::error_code ec;
    // A test may leave a folder without write permission; open everything up
    // first so that nothing is left behind.
    for (auto it = fs::recursive_directory_iterator(g_folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(g_folder, ec);
}

bool inherited() {
    const char* owner = std::getenv(kOwnerVariable);
    const char* config = std::getenv("XDG_CONFIG_HOME");
    struct stat st {};
    return owner && config && owner[0] == '/' && std::string(owner) == config &&
           stat(owner, &st) == 0 && S_ISDIR(st.st_mode);
}

// Runs before any static object of the test program is built.
__attribute__((constructor(101))) void usePrivateConfigFolder() {
    if (inherited())
        return;
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && tmp[0] == '/' ? tmp : "/tmp") + "/kc-test-config-XXXXXX";
    if (!mkdtemp(tmpl.data())) {
        // Without a private folder a test could touch the real settings.
        tmpl = "/tmp/kc-test-config-XXXXXX";
        if (!mkdtemp(tmpl.data()))
            std::abort();
    }
    if (tmpl.size() >= sizeof g_folder)
        std::abort();
    std::memcpy(g_folder, tmpl.c_str(), tmpl.size() + 1);
    g_maker = getpid();
    setenv("XDG_CONFIG_HOME", g_folder, 1);
    setenv(kOwnerVariable, g_folder, 1);
    std::atexit(removeFolder);
}

} // namespace
