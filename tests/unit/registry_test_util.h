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
        std::filesystem::path root = base && base[0] == '/'
                                         ? std::filesystem::path(base)
                                         : std::filesystem::temp_directory_path();
        std::filesystem::create_directories(root);
        std::string tmpl = (root / "reg-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        m_dir = tmpl;
        m_savedXdg = base ? base : "";
        m_hadXdg = base != nullptr;
        setenv("XDG_CONFIG_HOME", m_dir.c_str(), 1);
    }
    void TearDown() override {
        if (m_hadXdg)
            setenv("XDG_CONFIG_HOME", m_savedXdg.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    std::filesystem::path folder() const { return m_dir / "korvalo-cor"; }
    std::filesystem::path file() const { return folder() / "registry.ini"; }

    std::string fileText() const {
        std::ifstream in(file(), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    void setFileText(const std::string& text) const {
        std::filesystem::create_directories(folder());
        std::ofstream out(file(), std::ios::binary | std::ios::trunc);
        out << text;
    }

    std::filesystem::path m_dir;

private:
    std::string m_savedXdg;
    bool m_hadXdg = false;
};
