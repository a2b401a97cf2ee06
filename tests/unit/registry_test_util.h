// Each case starts from an empty private settings folder: the one every test
// program gets (tests/support/private_config.cpp), emptied before and after.
#pragma once

#include "platform/registry_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

// The value read over `v`, and the read's result.
template <class T> std::pair<T, int> readAs(const char* key, const char* name, T v) {
    const int r = regReadValue(key, name, &v, sizeof v);
    return {v, r};
}

// Stores `v` as its bytes; the write's result.
template <class T> int writeAs(const char* key, const char* name, const T& v) {
    return regWriteValue(key, name, &v, sizeof v);
}

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
    // No temporary file of a write is left beside the store (or in `dir`).
    void expectNoTemporaryFiles(const std::filesystem::path& dir = {}) const {
        for (const auto& e : std::filesystem::directory_iterator(dir.empty() ? folder() : dir))
            EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
    }

    const std::filesystem::path m_dir = std::getenv("XDG_CONFIG_HOME");
};
