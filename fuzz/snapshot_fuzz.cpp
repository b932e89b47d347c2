// Restores arbitrary bytes as a snapshot save-file of the earlier edition.
// Whatever a restore accepts must be safe to simulate, so an accepted input
// is run for a few ticks and the indices everything else relies on are
// checked afterwards.
//
// Every input is cheap: the file lives in memory, not on disk, and a
// snapshot that still holds cars to place gets only a few of them. Placement
// inserts each car into the ring by a walk from its start, so thousands of
// cars to place cost tens of milliseconds and starved the search of the
// restore's own checks; placement at the road's limits has tests of its own.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/sim.h"
#include "core/world.h"
#include "files/snapshot.h"

namespace {

char path[64];
int inputFile = -1;
unsigned char baseline[sizeof(SimWorld)];

constexpr int CarsToPlaceAtMost = 32;

// A legacy run with the default groups placed, taken once; every input
// starts from it so that no input depends on the ones before.
int prepare() {
    inputFile = memfd_create("ombrane-snapshot-fuzz", 0);
    if (inputFile < 0)
        std::abort();
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", inputFile);

    chooseEdition(LegacyEdition);
    resetDefaults();
    loadDefaultGroups();
    world.run.running = 1;
    runTick();
    std::memcpy(baseline, static_cast<const void*>(&world), sizeof baseline);
    return 1;
}

// Overwrites the input file, then cuts it to the input's size: emptying it
// first would free and fault in its pages again for every input.
void writeInput(const uint8_t* data, size_t size) {
    for (size_t done = 0; done < size;) {
        ssize_t n = pwrite(inputFile, data + done, size - done, off_t(done));
        if (n <= 0)
            std::abort();
        done += size_t(n);
    }
    if (ftruncate(inputFile, off_t(size)) != 0)
        std::abort();
}

// Cuts the counts still to place to a few cars in all, in group and column
// order; counts of 0 or less stay as they are.
void limitCarsToPlace() {
    int room = CarsToPlaceAtMost;
    for (Group& g : world.groups) {
        int* counts[] = {&g.carCount, &g.laneCount[0], &g.laneCount[1], &g.laneCount[2], &g.laneCount[3]};
        for (int* count : counts) {
            if (*count > room)
                *count = room;
            if (*count > 0)
                room -= *count;
        }
    }
}

void check(bool ok) {
    if (!ok)
        __builtin_trap();
}

// The ring and the per-car indices that the step, the drawing and the hit
// test index arrays with.
void checkIndices() {
    check(world.carTotal >= 0 && world.carTotal <= MaxCars);
    check(world.order.count == world.carTotal);
    for (int entry = 0; entry < world.order.count; entry++) {
        int car = world.order.slots[entry];
        check(car >= 0 && car < world.carTotal);
        check(world.cars[car].slot == entry);
    }
    for (int c = 0; c < world.carTotal; c++) {
        const Car& car = world.cars[c];
        check(car.lane >= 0 && car.lane < LaneTotal);
        check(car.change >= 0 && car.change <= 2);
        check(car.group >= 0 && car.group < MaxGroups);
    }
}

// What a restore checks and the step must keep: an offset only on the side
// of a change, and positions that fall at no more than one place round the
// ring.
void checkOrderAndSides() {
    for (int c = 0; c < world.carTotal; c++) {
        const Car& car = world.cars[c];
        check(car.change != 0 || car.lateral == 0);
        check(car.change != 1 || car.lateral >= 0);
        check(car.change != 2 || car.lateral <= 0);
    }
    int n = world.order.count, falls = 0;
    for (int entry = 0; entry < n; entry++) {
        int next = entry + 1 == n ? 0 : entry + 1;
        if (world.cars[world.order.slots[entry]].position > world.cars[world.order.slots[next]].position)
            falls++;
    }
    check(falls <= 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int ready = prepare();
    (void)ready;
    std::memcpy(static_cast<void*>(&world), baseline, sizeof baseline);

    writeInput(data, size);
    if (!restoreSnapshot(path))
        return 0;
    checkIndices();
    checkOrderAndSides();
    limitCarsToPlace();
    world.run.running = 1;
    for (int tick = 0; tick < 3; tick++)
        runTick();
    checkIndices();
    checkOrderAndSides();
    return 0;
}
