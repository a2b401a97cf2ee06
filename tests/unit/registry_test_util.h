// A private settings folder per test, so cases never see each other's files.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

class RegistryTestBase : public ::testing::Test {
protected:
    void SetUp() override {
        const char* base = std::getenv("XDG_CONFIG_HOME");
        m_saved = base ? base : "";
        std::filesystem::path root = m_saved.starts_with('/')
                                         ? std::filesystem::path(m_saved)
                                         : std::filesystem::temp_directory_path();
        std::filesystem::create_directories(root);
        std::string tmpl = (root / "reg-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        m_dir = tmpl;
        setenv("XDG_CONFIG_HOME", m_dir.c_str(), 1);
    }
    void TearDown() override {
        setenv("XDG_CONFIG_HOME", m_saved.c_str(), 1);
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    std::filesystem::path folder() const { return m_dir / "korvalo-cor"; }
    std::filesystem::path file() const { return folder() / "registry.ini"; }
    std::string fileText() const {
        std::stringstream ss;
        ss << std::ifstream(file(), std::ios::binary).rdbuf();
        return ss.str();
    }
    void setFileText(const std::string& text) const {
        std::filesystem::create_directories(folder());
        std::ofstream(file(), std::ios::binary | std::ios::trunc) << text;
    }
    // No temporary file of a write is left beside the store.
    void expectNoTemporaryFiles() const {
        for (const auto& e : std::filesystem::directory_iterator(folder()))
            EXPECT_NE(e.path().filename().string().rfind("registry.ini.tmp", 0), 0u) << e.path();
    }

    std::filesystem::path m_dir;
    std::string m_saved;
};
