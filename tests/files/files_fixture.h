// Shared set-up for the file tests: a fresh world in the current edition and
// a temporary folder of the test's own.
#pragma once

#include "core/world.h"
#include "files/groups.h"
#include "files/report.h"
#include "commands/commands.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

class FilesTest : public testing::Test {
protected:
    void SetUp() override {
        // An empty road: a snapshot taken here must describe a world that
        // can be restored, whatever other suites in this binary left behind.
        resetWorld(CurrentEdition);
        resetReader();
        commandText.chosenPath[0] = 0;
        connectReportFile();
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::temp_directory_path() /
                 (std::string("ombrane-") + info->test_suite_name() + "-" + info->name() + "-" +
                  std::to_string(std::random_device{}() % 1000000));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }

    void TearDown() override {
        chooseEdition(CurrentEdition);
        std::filesystem::remove_all(folder);
    }

    // Writes bytes exactly as given (no line-end translation).
    std::string write(const std::string& name, const std::string& bytes) {
        std::string path = (folder / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    static std::string slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::filesystem::path folder;
};

// The console log of one call, as the user would see it.
template <typename F>
std::string logOf(F&& call) {
    testing::internal::CaptureStdout();
    call();
    return testing::internal::GetCapturedStdout();
}
