// Every calibration test works in a fresh temporary directory of its own
// (TMPDIR points there while it runs) and the test program uses a shared
// block name of its own.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "engine/api/scanner_engine.h"

namespace zrt::test {

class CalibrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "zrt-calibration-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        previousTmp_ = getenv("TMPDIR") ? getenv("TMPDIR") : "";
        setenv("TMPDIR", dir_.c_str(), 1);
    }

    void TearDown() override {
        std::error_code ignored;
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(dir_, ignored);
        if (previousTmp_.empty()) unsetenv("TMPDIR");
        else setenv("TMPDIR", previousTmp_.c_str(), 1);
    }

    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

    std::vector<uint8_t> ReadBytes(const std::string& name) const {
        std::ifstream in(PathOf(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    void WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream out(PathOf(name), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    void WriteCount(const std::string& name, uint16_t count) const {
        WriteBytes(name, {static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8)});
    }

    uint16_t ReadCount(const std::string& name) const {
        const auto bytes = ReadBytes(name);
        if (bytes.size() < 2) return 0xFFFF;
        return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
    }

    std::filesystem::path dir_;
    std::string previousTmp_;
};

}  // namespace zrt::test
