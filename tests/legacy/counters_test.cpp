// The exchange and step counters at the largest int: a long run gets there
// only after tens of millions of steps, a restored snapshot at once. Under
// the sanitizer build an overflow would stop these tests.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/world_fixture.h"
#include "files/snapshot.h"

using coretest::freshWorld;
using coretest::LogCapture;

namespace {

constexpr size_t ReorderSwapsAt = 64;
constexpr size_t StepCountAt = 72;

std::string tempPath(const char* name) { return coretest::scratchPath(name); }

void ticks(int n) {
    for (int i = 0; i < n; i++)
        runTick();
}

std::vector<unsigned char> readBytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        for (int c; (c = std::fgetc(f)) != EOF;)
            bytes.push_back(uint8_t(c));
        std::fclose(f);
    }
    return bytes;
}

// A real save: the built-in groups 100 ticks into a run.
std::vector<unsigned char> realSave() {
    freshWorld(LegacyEdition);
    LogCapture quiet;
    loadDefaultGroups();
    world.run.running = 1;
    ticks(100);
    std::string path = tempPath("real.omb");
    EXPECT_EQ(saveSnapshot(path.c_str()), 1) << world.errorText;
    return readBytes(path);
}

// Restores the save with one word changed; the run state stays running.
void restoreWith(std::vector<unsigned char> bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; i++)
        bytes[at + size_t(i)] = uint8_t(value >> (8 * i));
    std::string path = tempPath("changed.omxxb");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
    ASSERT_EQ(restoreSnapshot(path.c_str()), 1) << world.errorText;
}

}  // namespace

class CountersAtTheirLimits : public ::testing::Test {
    coretest::EarlierEdition edition_;
};

// Used to overflow a signed int at once from 2147483647.
TEST_F(CountersAtTheirLimits, ExchangeCounterWrapsRoundItsThirtyTwoBits) {
    const std::vector<unsigned char> saved = realSave();
    ASSERT_EQ(saved.size(), size_t(SnapshotSize));
    const uint32_t start = uint32_t(saved[64]) | uint32_t(saved[65]) << 8 | uint32_t(saved[66]) << 16 |
                           uint32_t(saved[67]) << 24;
    restoreWith(saved, ReorderSwapsAt, start);
    ticks(200);
    const uint32_t exchanges = uint32_t(world.reorderSwaps) - start;
    ASSERT_GT(exchanges, 0u) << "the run must pass cars for the counter to move";

    restoreWith(saved, ReorderSwapsAt, 0x7FFFFFFF);
    ticks(200);
    EXPECT_EQ(uint32_t(world.reorderSwaps), 0x7FFFFFFFu + exchanges);
    EXPECT_LT(world.reorderSwaps, 0);

    // The snapshot keeps the same 32 bits.
    std::string path = tempPath("wrapped.omb");
    LogCapture quiet;
    ASSERT_EQ(saveSnapshot(path.c_str()), 1) << world.errorText;
    std::vector<unsigned char> bytes = readBytes(path);
    EXPECT_EQ(uint32_t(bytes[64]) | uint32_t(bytes[65]) << 8 | uint32_t(bytes[66]) << 16 |
                  uint32_t(bytes[67]) << 24,
              0x7FFFFFFFu + exchanges);
}

// Used to count on to "Ran to step -2147483449".
TEST_F(CountersAtTheirLimits, RunStopsAtTheLastCountableStep) {
    const std::vector<unsigned char> saved = realSave();
    ASSERT_EQ(saved.size(), size_t(SnapshotSize));
    restoreWith(saved, StepCountAt, INT_MAX - 5);
    LogCapture log;
    ticks(200);
    EXPECT_EQ(world.run.stepCount, INT_MAX);
    EXPECT_EQ(world.run.running, 0);
    EXPECT_TRUE(coretest::ringConsistent());
    // Enter again: said again, and still no step.
    handleRunKey(ResumeKey);
    ticks(3);
    EXPECT_EQ(world.run.stepCount, INT_MAX);
    EXPECT_EQ(log.take(), "Stopped at step 2147483647, the last step that can be counted\r\n"
                          "Resuming\r\n"
                          "Stopped at step 2147483647, the last step that can be counted\r\n");

    // The current edition stops in the middle of a tick of many steps.
    freshWorld(CurrentEdition);
    LogCapture current;
    loadDefaultGroups();
    runTick();
    world.run.stepCount = INT_MAX - 3;
    world.run.speedMultiplier = 16;
    world.run.running = 1;
    runTick();
    EXPECT_EQ(world.run.stepCount, INT_MAX);
    EXPECT_EQ(world.run.running, 0);
    std::string text = current.take();
    EXPECT_NE(text.find("Stopped at step 2147483647, the last step that can be counted\r\n"), std::string::npos)
        << text;
}
