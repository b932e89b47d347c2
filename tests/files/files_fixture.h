// Shared set-up for the file tests: a fresh world in the current edition and
// a temporary folder of the test's own.
#pragma once

#include "core/world.h"

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
        chooseEdition(CurrentEdition);
        Group zero{};
        for (Group& group : world.groups)
            group = zero;
        resetDefaults();
        world.columnLetters[0] = 0;
        world.groupsPath[0] = world.groupsName[0] = world.reportPath[0] = 0;
        world.chosenPath[0] = 0;
        world.errorText[0] = 0;
        world.fileOutput = 1;
        world.reportFailing = world.reportLinesLost = 0;
        world.groupRowsRead = world.carCountsRead = 0;
        world.rememberedColourName = nullptr;
        world.run.stepCount = 0;
        // Other suites in this binary may leave any cars behind; a snapshot
        // taken here must describe a world that can be restored.
        std::memset(world.cars, 0, sizeof world.cars);
        std::memset(&world.order, 0, sizeof world.order);
        world.carTotal = 0;
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
