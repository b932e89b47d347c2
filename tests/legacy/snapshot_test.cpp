// Snapshot save-file: layout, refusals that leave the world untouched, and a
// run continued from a restored file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "core/world_fixture.h"
#include "files/snapshot.h"

using coretest::freshWorld;
using coretest::LogCapture;

namespace {

std::string tempPath(const char* name) { return coretest::scratchPath(name); }

std::vector<unsigned char> readBytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        int c;
        while ((c = std::fgetc(f)) != EOF)
            bytes.push_back(uint8_t(c));
        std::fclose(f);
    }
    return bytes;
}

void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    if (!bytes.empty()) {
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    }
    std::fclose(f);
}

uint32_t wordAt(const std::vector<unsigned char>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

void putWordAt(std::vector<unsigned char>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++)
        b[at + i] = uint8_t(v >> (8 * i));
}

uint32_t bitsOf(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

// Three cars whose ring order differs from their indices, and groups whose
// every word is distinct, so a field written to the wrong place shows.
void knownWorld() {
    freshWorld(LegacyEdition);
    world.reorderSwaps = 0x01020304;
    world.groupsWithCars = 2;
    world.run.stepCount = 1234;
    world.carCountsRead = 7;
    const float positions[3] = {500.25f, 100.5f, 21000};
    const int slots[3] = {1, 0, 2};
    for (int c = 0; c < 3; c++) {
        Car& car = world.cars[c];
        car.position = positions[c];
        car.lateral = c == 2 ? 3.5f : 0;  // car 2 is moving right
        car.speed = 55.5f + c;
        car.delay = c;
        car.lane = c + 1;
        car.change = c == 2 ? 1 : 0;
        car.lastChange = c == 2 ? 1 : 2;
        car.group = c;
        car.slot = slots[c];
        world.order.slots[slots[c]] = c;
    }
    world.carTotal = 3;
    world.order.count = 3;
    for (int g = 0; g < MaxGroups; g++) {
        Group& group = coretest::calmGroup(g, 40.0f + g);
        group.colour = 0x00102030 + g;
        group.speedSum = 2.5f * g;
        group.averageSpeed = 33.25f;
        group.reportFlag = g % 2;
        group.laneCount[3] = g;
    }
}

std::string savedKnownWorld(const char* name) {
    knownWorld();
    // Whatever lies behind the title's terminator must not reach the header.
    std::memset(world.title + 12, 'x', sizeof world.title - 13);
    std::string path = tempPath(name);
    LogCapture log;
    EXPECT_EQ(saveSnapshot(path.c_str()), 1) << world.errorText;
    EXPECT_EQ(log.take(), "Created filename " + path + " at step 1234 of \r\n");
    return path;
}

// The world as bytes, the error text blanked: a refused restore may change
// only that.
std::vector<unsigned char> worldBytes() {
    std::vector<unsigned char> bytes(sizeof world);
    std::memcpy(bytes.data(), static_cast<const void*>(&world), sizeof world);
    size_t at = offsetof(SimWorld, errorText);
    std::memset(bytes.data() + at, 0, sizeof world.errorText);
    return bytes;
}

// Restores and expects a refusal that leaves everything but errorText as it
// was; gives errorText back.
std::string refusedRestore(const std::string& path) {
    std::vector<unsigned char> before = worldBytes();
    int result = restoreSnapshot(path.c_str());
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(worldBytes() == before) << "a refused restore changed the world";
    return world.errorText;
}

// A world that differs from the known one everywhere a restore writes.
void otherWorld() {
    freshWorld(LegacyEdition);
    std::memset(static_cast<void*>(world.cars), 0x5a, sizeof world.cars);
    std::memset(static_cast<void*>(world.groups), 0x6b, sizeof world.groups);
    std::memset(static_cast<void*>(&world.order), 0x7c, sizeof world.order);
    world.carTotal = 9;
    world.run.stepCount = 9;
    world.laneIndex.valid = 1;
}

}  // namespace

// Every test of the earlier edition hands the current edition back when it ends.
class Snapshot : public ::testing::Test {
    coretest::EarlierEdition edition_;
};

TEST_F(Snapshot, SaveWritesEveryRegionLittleEndianAtItsOffset) {
    std::string path = savedKnownWorld("layout.omb");
    std::vector<unsigned char> b = readBytes(path);
    ASSERT_EQ(b.size(), size_t(SnapshotSize));

    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data())), "Ombrane 0.7");
    for (int i = 11; i < 64; i++)
        EXPECT_EQ(b[i], 0) << "header byte " << i;
    EXPECT_EQ(b[64], 0x04);  // least significant byte first
    EXPECT_EQ(wordAt(b, 64), 0x01020304u);
    EXPECT_EQ(wordAt(b, 68), 2u);
    EXPECT_EQ(wordAt(b, 72), 1234u);
    // Car 0 word by word: position, lateral, speed, delay, lane, change,
    // lastChange, group, slot.
    EXPECT_EQ(wordAt(b, 76), bitsOf(500.25f));
    EXPECT_EQ(wordAt(b, 80), bitsOf(0.0f));
    EXPECT_EQ(wordAt(b, 84), bitsOf(55.5f));
    EXPECT_EQ(wordAt(b, 88), 0u);
    EXPECT_EQ(wordAt(b, 92), 1u);
    EXPECT_EQ(wordAt(b, 96), 0u);
    EXPECT_EQ(wordAt(b, 100), 2u);
    EXPECT_EQ(wordAt(b, 104), 0u);
    EXPECT_EQ(wordAt(b, 108), 1u);
    EXPECT_EQ(wordAt(b, 76 + 2 * 36 + 4), bitsOf(3.5f));    // car 2 lateral
    EXPECT_EQ(wordAt(b, 76 + 2 * 36 + 32), 2u);             // car 2 slot
    EXPECT_EQ(wordAt(b, 76 + 3 * 36), 0u);                  // unused slots too
    EXPECT_EQ(wordAt(b, 90076), 3u);
    // Group 0: colour, desiredSpeed; group 1 at 100 bytes further.
    EXPECT_EQ(wordAt(b, 90080), 0x00102030u);
    EXPECT_EQ(wordAt(b, 90084), bitsOf(40.0f));
    EXPECT_EQ(wordAt(b, 90080 + 100), 0x00102031u);
    EXPECT_EQ(wordAt(b, 90080 + 100 + 21 * 4), 1u);                 // reportFlag
    EXPECT_EQ(wordAt(b, 90080 + 49 * 100 + 20 * 4), 49u);           // laneCount[3]
    EXPECT_EQ(wordAt(b, 90080 + 49 * 100 + 23 * 4), bitsOf(122.5f)); // speedSum
    EXPECT_EQ(wordAt(b, 90080 + 49 * 100 + 24 * 4), bitsOf(33.25f)); // averageSpeed
    EXPECT_EQ(wordAt(b, 95080), 7u);
    EXPECT_EQ(wordAt(b, 95084), 1u);
    EXPECT_EQ(wordAt(b, 95088), 0u);
    EXPECT_EQ(wordAt(b, 95092), 2u);
    EXPECT_EQ(wordAt(b, 105084), 3u);
}

TEST_F(Snapshot, FailedSaveIsReported) {
    knownWorld();
    std::string missing = ::testing::TempDir() + "no/such/folder/x.omb";
    LogCapture log;
    EXPECT_EQ(saveSnapshot(missing.c_str()), 0);
    EXPECT_EQ(std::string(world.errorText), "Cannot create save-file " + missing);
    EXPECT_EQ(log.take(), "");

    // A device that takes nothing: the region too large for the stream's
    // buffer comes back short, and the close fails on the rest.
    if (std::FILE* full = std::fopen("/dev/full", "wb")) {
        std::fclose(full);
        LogCapture fullLog;
        EXPECT_EQ(saveSnapshot("/dev/full"), 0);
        EXPECT_EQ(std::string(world.errorText), "Cannot write save-file /dev/full");
        std::string text = fullLog.take();
        // One report per short region, each the bytes that did get through.
        EXPECT_TRUE(std::regex_match(text, std::regex("(Count=[0-9]+ fwrite\r\n)+"))) << text;
    }
}

TEST_F(Snapshot, RestoreRefusesFilesThatAreNotSaveFiles) {
    std::string saved = savedKnownWorld("foreign.omxxb");
    std::vector<unsigned char> good = readBytes(saved);
    otherWorld();

    std::string missing = tempPath("missing.omxxb");
    std::remove(missing.c_str());
    EXPECT_EQ(refusedRestore(missing), "Cannot read " + missing);

    std::vector<unsigned char> newer = good;
    std::memcpy(newer.data(), "Ombrane 0.8", 11);
    std::string path = tempPath("x.omxxb");
    writeBytes(path, newer);
    EXPECT_EQ(refusedRestore(path), path + " is not a Ombrane 0.7 save-file");

    writeBytes(path, std::vector<unsigned char>({'A', ',', 'B', '\n', '1', ',', '2', '\n'}));
    EXPECT_EQ(refusedRestore(path), path + " is not a Ombrane 0.7 save-file");

    writeBytes(path, {});
    EXPECT_EQ(refusedRestore(path), path + " is not a Ombrane 0.7 save-file");

    // The title's prefix is not the title, nor is a header without its zero.
    std::vector<unsigned char> prefix = good;
    prefix[10] = 0;
    writeBytes(path, prefix);
    EXPECT_EQ(refusedRestore(path), path + " is not a Ombrane 0.7 save-file");
    std::vector<unsigned char> unended = good;
    std::memset(unended.data() + 11, ' ', 53);
    writeBytes(path, unended);
    EXPECT_EQ(refusedRestore(path), path + " is not a Ombrane 0.7 save-file");

    // The header alone is not longer than the title.
    writeBytes(path, std::vector<unsigned char>(good.begin(), good.begin() + 64));
    EXPECT_EQ(refusedRestore(path), path + " is not a Ombrane 0.7 save-file");
}

TEST_F(Snapshot, RestoreRefusesShortAndLongFiles) {
    std::vector<unsigned char> good = readBytes(savedKnownWorld("size.omxxb"));
    otherWorld();
    std::string path = tempPath("size.omxxb");
    for (size_t size : {size_t(65), size_t(90076), size_t(SnapshotSize - 1)}) {
        writeBytes(path, std::vector<unsigned char>(good.begin(), good.begin() + long(size)));
        EXPECT_EQ(refusedRestore(path),
                  "Damaged save-file: " + std::to_string(size) + " bytes instead of 105088");
    }
    for (size_t extra : {size_t(1), size_t(5000)}) {
        std::vector<unsigned char> longer = good;
        longer.resize(good.size() + extra, 0);
        writeBytes(path, longer);
        EXPECT_EQ(refusedRestore(path), "Damaged save-file: longer than 105088 bytes");
    }
}

TEST_F(Snapshot, RestoreRefusesEveryDamagedImageWithoutTouchingTheWorld) {
    const std::vector<unsigned char> good = readBytes(savedKnownWorld("damage.omxxb"));
    const float nan = std::nanf("");
    const float inf = INFINITY;
    struct Damage {
        const char* expected;
        std::function<void(std::vector<unsigned char>&)> apply;
    };
    auto word = [](size_t at, uint32_t v) {
        return [=](std::vector<unsigned char>& b) { putWordAt(b, at, v); };
    };
    auto carWord = [](int car, int field, uint32_t v) {
        return [=](std::vector<unsigned char>& b) { putWordAt(b, 76 + 36 * car + 4 * field, v); };
    };
    const Damage damages[] = {
        {"Damaged save-file: car count -1, outside 0 to 2500",
         [](std::vector<unsigned char>& b) { putWordAt(b, 90076, uint32_t(-1)); putWordAt(b, 105084, uint32_t(-1)); }},
        {"Damaged save-file: car count 2501, outside 0 to 2500",
         [](std::vector<unsigned char>& b) { putWordAt(b, 90076, 2501); putWordAt(b, 105084, 2501); }},
        {"Damaged save-file: car count 3 but 2 cars in the order ring", word(105084, 2)},
        {"Damaged save-file: car count 3 but 4 cars in the order ring", word(105084, 4)},
        {"Damaged save-file: step count -5 is negative", word(72, uint32_t(-5))},
        {"Damaged save-file: order entry 1 holds car 3, outside 0 to 2", word(95088, 3)},
        {"Damaged save-file: order entry 1 holds car -1, outside 0 to 2", word(95088, uint32_t(-1))},
        // The same car twice: the second entry is not the one its slot names.
        {"Damaged save-file: order entry 1 holds car 1, whose slot is 0", word(95088, 1)},
        {"Damaged save-file: order entry 0 holds car 1, whose slot is 7", carWord(1, 8, 7)},
        {"Damaged save-file: car 1 has lane 4, outside 0 to 3", carWord(1, 4, 4)},
        {"Damaged save-file: car 0 has lane -1, outside 0 to 3", carWord(0, 4, uint32_t(-1))},
        {"Damaged save-file: car 2 has change 3, outside 0 to 2", carWord(2, 5, 3)},
        {"Damaged save-file: car 2 has change -1, outside 0 to 2", carWord(2, 5, uint32_t(-1))},
        {"Damaged save-file: car 0 has lastChange 3, outside 0 to 2", carWord(0, 6, 3)},
        {"Damaged save-file: car 1 has group 50, outside 0 to 49", carWord(1, 7, 50)},
        {"Damaged save-file: car 1 has group -1, outside 0 to 49", carWord(1, 7, uint32_t(-1))},
        {"Damaged save-file: car 2 changes from lane 3 off the road",
         [](std::vector<unsigned char>& b) { putWordAt(b, 76 + 72 + 16, 3); putWordAt(b, 76 + 72 + 20, 2); }},
        {"Damaged save-file: car 0 changes from lane 0 off the road",
         [](std::vector<unsigned char>& b) { putWordAt(b, 76 + 16, 0); putWordAt(b, 76 + 20, 1); }},
        {"Damaged save-file: car 0 has position nan, outside 0 to 21120", carWord(0, 0, bitsOf(nan))},
        {"Damaged save-file: car 0 has position -0.5, outside 0 to 21120", carWord(0, 0, bitsOf(-0.5f))},
        {"Damaged save-file: car 2 has position 21120.5, outside 0 to 21120", carWord(2, 0, bitsOf(21120.5f))},
        {"Damaged save-file: car 1 has speed -1, outside 0 to 230400", carWord(1, 2, bitsOf(-1))},
        {"Damaged save-file: car 1 has speed inf, outside 0 to 230400", carWord(1, 2, bitsOf(inf))},
        {"Damaged save-file: car 1 has speed nan, outside 0 to 230400", carWord(1, 2, bitsOf(nan))},
        {"Damaged save-file: car 1 has speed 230401, outside 0 to 230400", carWord(1, 2, bitsOf(230401))},
        {"Damaged save-file: car 2 has lateral offset inf", carWord(2, 1, bitsOf(inf))},
        {"Damaged save-file: car 2 has lateral offset nan", carWord(2, 1, bitsOf(nan))},
        // An offset on the wrong side for the change: one step later the car
        // would stand in lane -1 or 4, and the next save would be refused.
        {"Damaged save-file: car 2 has lateral offset -3.5 but is moving right", carWord(2, 1, bitsOf(-3.5f))},
        {"Damaged save-file: car 1 has lateral offset 2 but is moving left",
         [](std::vector<unsigned char>& b) { putWordAt(b, 76 + 36 + 20, 2); putWordAt(b, 76 + 36 + 4, bitsOf(2)); }},
        {"Damaged save-file: car 0 has lateral offset 1.5 but is not changing lanes", carWord(0, 1, bitsOf(1.5f))},
        // Still a permutation, but cars would drive through each other: the
        // ring reads 100.5, 50, 21000 and falls twice round the road.
        {"Damaged save-file: order ring not sorted by position: entry 2 at 21000 is followed by 100.5",
         carWord(0, 0, bitsOf(50))},
        {"Damaged save-file: group 0 has desiredSpeed nan", word(90084, bitsOf(nan))},
        {"Damaged save-file: group 49 has averageSpeed -inf", word(90080 + 4900 + 96, bitsOf(-inf))},
        {"Damaged save-file: group 7 has laneChangeTime inf", word(90080 + 700 + 60, bitsOf(inf))},
        {"Damaged save-file: group 3 has speedSum nan", word(90080 + 300 + 92, bitsOf(nan))},
    };
    std::string path = tempPath("damage.omxxb");
    for (const Damage& damage : damages) {
        std::vector<unsigned char> bad = good;
        damage.apply(bad);
        writeBytes(path, bad);
        otherWorld();
        EXPECT_EQ(refusedRestore(path), damage.expected);
    }

    // The checks only look at cars in use: an unused slot may hold anything.
    std::vector<unsigned char> spare = good;
    putWordAt(spare, 76 + 36 * 3 + 16, 99);
    writeBytes(path, spare);
    otherWorld();
    EXPECT_EQ(restoreSnapshot(path.c_str()), 1) << world.errorText;

    // The ring may start anywhere round the road, and equal positions do not
    // fall: 21000, 100.5, 100.5 falls once, at the seam.
    std::vector<unsigned char> rotated = good;
    const int carsInEntryOrder[3] = {2, 1, 0};
    for (int entry = 0; entry < 3; entry++) {
        putWordAt(rotated, 95084 + 4 * size_t(entry), uint32_t(carsInEntryOrder[entry]));
        putWordAt(rotated, 76 + 36 * size_t(carsInEntryOrder[entry]) + 32, uint32_t(entry));
    }
    putWordAt(rotated, 76 + 36 * 0, bitsOf(100.5f));
    writeBytes(path, rotated);
    otherWorld();
    EXPECT_EQ(restoreSnapshot(path.c_str()), 1) << world.errorText;
}

TEST_F(Snapshot, RestoreReplacesTheSavedRegionsAndNothingElse) {
    std::string path = savedKnownWorld("restore.omxxb");
    knownWorld();
    std::vector<unsigned char> saved = worldBytes();

    otherWorld();
    world.run.running = 1;
    world.run.singleStep = 1;
    world.reportPeriod = 160;
    std::strcpy(world.groupsName, "kept.csv");
    std::strcpy(world.titleLine, "kept title");
    std::strcpy(world.errorText, "stale");
    world.reorderSwaps = 99;
    world.groupsWithCars = 99;
    world.carCountsRead = 99;
    LogCapture log;
    ASSERT_EQ(restoreSnapshot(path.c_str()), 1) << world.errorText;
    EXPECT_EQ(log.take(), "");
    EXPECT_STREQ(world.errorText, "");
    EXPECT_EQ(world.laneIndex.valid, 0);

    EXPECT_EQ(world.run.running, 1);
    EXPECT_EQ(world.run.singleStep, 1);
    EXPECT_EQ(world.reportPeriod, 160);
    EXPECT_STREQ(world.groupsName, "kept.csv");
    EXPECT_STREQ(world.titleLine, "kept title");
    EXPECT_STREQ(world.title, "Ombrane 0.7");

    // Every restored region equals the saved world's, byte for byte.
    for (const SnapshotRegion* r = SnapshotRegions + 1; r->location; r++) {
        size_t at = size_t(static_cast<const char*>(r->location) - reinterpret_cast<const char*>(&world));
        EXPECT_EQ(std::memcmp(saved.data() + at, r->location, size_t(r->size)), 0) << r->name;
    }
    EXPECT_EQ(world.order.slots[3], 0) << "unused ring entries come back as saved";
}

// Saves part-way through a run, restores into another world, and continues:
// every car, group and ring entry must match the run that went straight on.
TEST_F(Snapshot, RestoredRunContinuesLikeTheUninterruptedRun) {
    auto startRun = [] {
        freshWorld(LegacyEdition);
        LogCapture quiet;
        loadDefaultGroups();
        world.run.running = 1;
    };
    auto ticks = [](int n) {
        LogCapture quiet;
        for (int i = 0; i < n; i++)
            runTick();
    };
    std::string path = tempPath("roundtrip.omb");

    startRun();
    ticks(401);
    ASSERT_GT(world.carTotal, 0);
    const int savedStep = world.run.stepCount;
    ASSERT_GT(savedStep, 300);
    {
        LogCapture log;
        ASSERT_EQ(saveSnapshot(path.c_str()), 1) << world.errorText;
    }
    ticks(300);
    ASSERT_EQ(world.run.stepCount, savedStep + 300);
    std::vector<Car> cars(world.cars, world.cars + MaxCars);
    std::vector<Group> groups(world.groups, world.groups + MaxGroups);
    std::vector<int> ring(world.order.slots, world.order.slots + MaxCars);
    int carTotal = world.carTotal;

    // A different run of its own, then the restore.
    startRun();
    world.groups[0].desiredSpeed = 20;
    ticks(37);
    ASSERT_EQ(restoreSnapshot(path.c_str()), 1) << world.errorText;
    EXPECT_EQ(world.run.stepCount, savedStep);
    ticks(300);

    ASSERT_EQ(world.run.stepCount, savedStep + 300);
    ASSERT_EQ(world.carTotal, carTotal);
    EXPECT_TRUE(coretest::ringConsistent());
    for (int c = 0; c < MaxCars; c++)
        ASSERT_EQ(std::memcmp(&world.cars[c], &cars[size_t(c)], sizeof(Car)), 0) << "car " << c;
    for (int g = 0; g < MaxGroups; g++)
        ASSERT_EQ(std::memcmp(&world.groups[g], &groups[size_t(g)], sizeof(Group)), 0) << "group " << g;
    EXPECT_TRUE(std::equal(ring.begin(), ring.begin() + carTotal, world.order.slots));
}
