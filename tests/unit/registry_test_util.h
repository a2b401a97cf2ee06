// Each case starts from an empty private settings folder: the one every test
// program gets (tests/support/private_config.cpp), emptied before and after.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

class RegistryTestBase : public ::testing::Test {
protected:
    void SetUp() override { empty(); }
    void TearDown() override {
        setenv("XDG_CONFIG_HOME", m_dir.c_str(), 1);
        empty();
    }
    void empty() const {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(m_dir, ec))
            std::filesystem::remove_all(e.path(), ec);
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

    const std::filesystem::path m_dir = std::getenv("XDG_CONFIG_HOME");
};
