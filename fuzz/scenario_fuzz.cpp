// Feeds arbitrary bytes to the scenario reader and, when it accepts them,
// runs a few steps of the scenario on a small road: no fault, a refusal
// always names the file, events in firing order, and every group left as the
// reader's scratch use of it found it.
#include "core/platform.h"
#include "core/scenario.h"
#include "core/sim.h"
#include "core/world.h"
#include "files/scenario.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static SimWorld before;
    resetWorld(CurrentEdition);
    loadDefaultGroups();
    for (Group& g : world.groups)
        g.carCount = 2;
    before = world;

    const std::string text(reinterpret_cast<const char*>(data), size);
    Scenario s;
    std::string problem;
    const bool read = parseScenario(text, "f.scenario", s, problem);
    require(std::memcmp(world.groups, before.groups, sizeof world.groups) == 0);
    if (!read) {
        require(problem.compare(0, 11, "f.scenario:") == 0);
        return 0;
    }
    require(s.events.size() == s.eventLines.size() && s.events.size() <= std::size_t(MaxEvents));
    for (std::size_t k = 1; k < s.events.size(); k++)
        require(s.events[k - 1].step <= s.events[k].step);

    applyGroupOverrides(s);
    installScenario(s);
    // The first events only: a run long enough for a late one is not fuzzing.
    for (int k = 0; k < scenarioPlan.eventCount; k++)
        if (scenarioPlan.events[k].step > 64)
            scenarioPlan.events[k].step = 64;
    runTick();  // places the cars
    world.run.running = 1;
    world.run.stepTo = 80;
    while (world.run.running)
        runTick();
    clearScenarioPlan();
    return 0;
}
