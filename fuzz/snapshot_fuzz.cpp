// Restores arbitrary bytes as a snapshot save-file of the earlier edition.
// Whatever a restore accepts must be safe to simulate, so an accepted input
// is run for a few ticks and the indices everything else relies on are
// checked afterwards.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "core/sim.h"
#include "core/world.h"
#include "files/snapshot.h"

namespace {

char path[4096];
unsigned char baseline[sizeof(SimWorld)];

void removeInputFile() { std::remove(path); }

// A legacy run with the default groups placed, taken once; every input
// starts from it so that no input depends on the ones before.
int prepare() {
    const char* folder = std::getenv("TMPDIR");
    std::snprintf(path, sizeof path, "%s/ombrane_snapshot_fuzz_XXXXXX", folder && *folder ? folder : "/tmp");
    int fd = mkstemp(path);
    if (fd < 0)
        std::abort();
    close(fd);
    std::atexit(removeInputFile);

    chooseEdition(LegacyEdition);
    resetDefaults();
    loadDefaultGroups();
    world.run.running = 1;
    runTick();
    std::memcpy(baseline, static_cast<const void*>(&world), sizeof baseline);
    return 1;
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int ready = prepare();
    (void)ready;
    std::memcpy(static_cast<void*>(&world), baseline, sizeof baseline);

    std::FILE* file = std::fopen(path, "wb");
    if (!file)
        std::abort();
    if (size)
        std::fwrite(data, 1, size, file);
    std::fclose(file);

    if (!restoreSnapshot(path))
        return 0;
    checkIndices();
    world.run.running = 1;
    for (int tick = 0; tick < 3; tick++)
        runTick();
    checkIndices();
    return 0;
}
