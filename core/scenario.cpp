// The scenario's start and its events, as the model applies them.
#include "scenario.h"

#include "platform.h"
#include "search.h"
#include "sim.h"

#include <climits>
#include <cstdio>
#include <cstring>

ScenarioPlan scenarioPlan;
int scenarioEventsLogged = 1;

namespace {

bool anyNoise() {
    for (uint64_t threshold : world.scenario.noiseThreshold)
        if (threshold != 0)
            return true;
    return false;
}

void notePerturbation() {
    world.scenario.perturbed = anyNoise() || world.scenario.disturbanceCount > 0;
}

// The first step at which something is due: the next event, or the end of
// the disturbance that ends first.
void armNextChange() {
    ScenarioState& s = world.scenario;
    int next = INT_MAX;
    if (s.nextEvent < scenarioPlan.eventCount)
        next = scenarioPlan.events[s.nextEvent].step;
    for (int k = 0; k < s.disturbanceCount; k++)
        if (s.disturbances[k].untilStep < next)
            next = s.disturbances[k].untilStep;
    s.nextChange = next == INT_MAX ? 0 : next + 1;
}

void logEvent(const char* text, const char* detail) {
    if (scenarioEventsLogged)
        ConsoleLog("Step %d: %s%s\r\n", world.run.stepCount, text, detail);
}

// Distance round the ring, either way.
float ringDistance(float a, float b) {
    float d = a > b ? a - b : b - a;
    float other = world.roadLength - d;
    return other < d ? other : d;
}

int nearestCarInLane(int lane, float position) {
    int best = -1;
    float bestDistance = 0;
    for (int i = 0; i < world.carTotal; i++) {
        if (world.cars[i].lane != lane)
            continue;
        float d = ringDistance(world.cars[i].position, position);
        if (best < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

void slowCar(const ScenarioEvent& e) {
    ScenarioState& s = world.scenario;
    int car = nearestCarInLane(e.lane, e.position);
    if (car < 0) {
        logEvent(e.text, ": no car in that lane");
        return;
    }
    // A car slowed again keeps one cap, the newer.
    int k = 0;
    while (k < s.disturbanceCount && s.disturbances[k].car != car)
        k++;
    if (k == MaxDisturbances) {
        // Full: the cap that would end first gives way.
        k = 0;
        for (int j = 1; j < s.disturbanceCount; j++)
            if (s.disturbances[j].untilStep < s.disturbances[k].untilStep)
                k = j;
    } else if (k == s.disturbanceCount) {
        s.disturbanceCount++;
    }
    long long until = (long long)world.run.stepCount + e.steps;
    s.disturbances[k] = {car, e.speed, until > INT_MAX ? INT_MAX : int(until)};
    char detail[32];
    std::snprintf(detail, sizeof detail, " (car %d)", car);
    logEvent(e.text, detail);
}

void fire(const ScenarioEvent& e) {
    switch (e.kind) {
    case EventZone:
        world.run.constructionZone = e.on;
        break;
    case EventGroup: {
        if (e.group < 0 || e.group >= MaxGroups)
            break;
        uint32_t words[sizeof(Group) / 4];
        std::memcpy(words, &world.groups[e.group], sizeof words);
        for (int k = 0; k < e.wordCount && k < MaxEventWords; k++)
            if (e.wordIndex[k] >= 0 && e.wordIndex[k] < int(sizeof(Group) / 4))
                words[e.wordIndex[k]] = e.wordBits[k];
        std::memcpy(&world.groups[e.group], words, sizeof words);
        break;
    }
    case EventNoise:
        if (e.group >= 0 && e.group < MaxGroups)
            world.scenario.noiseThreshold[e.group] = e.threshold;
        break;
    case EventSlow:
        slowCar(e);
        return;
    }
    logEvent(e.text, "");
}

void endDisturbances() {
    ScenarioState& s = world.scenario;
    int kept = 0;
    for (int k = 0; k < s.disturbanceCount; k++)
        if (s.disturbances[k].untilStep > world.run.stepCount)
            s.disturbances[kept++] = s.disturbances[k];
    s.disturbanceCount = kept;
}

// Each lane's cars, in the order the block placement put them, spread round
// the ring at equal spacing from position 0; the ring is then sorted anew.
void spreadEvenly() {
    int inLane[LaneTotal] = {};
    for (int i = 0; i < world.carTotal; i++)
        inLane[world.cars[i].lane & 3]++;
    int seen[LaneTotal] = {};
    for (int i = 0; i < world.carTotal; i++) {
        Car& c = world.cars[i];
        int lane = c.lane & 3;
        c.position = float(double(seen[lane]++) * world.roadLength / inLane[lane]);
    }
    world.order.count = 0;
    for (int i = 0; i < world.carTotal; i++)
        world.cars[i].slot = insertCar(i);
    invalidateLaneIndex();
}

// The speed a car may start at with `spacing` ft from its rear to the next
// car's: no faster than its desired speed, nor than the follow distance
// allows at that gap, as the step would hold it.
float startSpeedOf(const Group& g, float spacing) {
    float speed = scenarioPlan.hasStartSpeed ? scenarioPlan.startSpeed : g.desiredSpeed;
    if (speed > g.desiredSpeed)
        speed = g.desiredSpeed;
    if (g.followDistance > 0 && g.desiredSpeed > 0) {
        double gap = double(spacing) - world.carLength;
        double allowed = gap > 0 ? gap * g.desiredSpeed / g.followDistance : 0;
        if (double(speed) > allowed)
            speed = float(allowed);
    }
    return speed >= 0 ? speed : 0;
}

void setStartSpeeds() {
    int inLane[LaneTotal] = {};
    for (int i = 0; i < world.carTotal; i++)
        inLane[world.cars[i].lane & 3]++;
    for (int i = 0; i < world.carTotal; i++) {
        Car& c = world.cars[i];
        float spacing = scenarioPlan.evenStart ? float(double(world.roadLength) / inLane[c.lane & 3])
                                               : world.placementSpacing;
        c.speed = startSpeedOf(world.groups[c.group], spacing);
    }
    invalidateLaneIndex();
}

}  // namespace

void clearScenarioPlan() {
    scenarioPlan.active = 0;
    scenarioPlan.eventCount = 0;
    scenarioPlan.evenStart = 0;
    scenarioPlan.hasStartSpeed = 0;
    std::memset(scenarioPlan.noiseThreshold, 0, sizeof scenarioPlan.noiseThreshold);
}

void armScenario() {
    std::memset(&world.scenario, 0, sizeof world.scenario);
    world.scenario.noiseKeep = 1;
    if (scenarioPlan.active) {
        seedRandom(world.scenario.random, scenarioPlan.seed);
        std::memcpy(world.scenario.noiseThreshold, scenarioPlan.noiseThreshold,
                    sizeof world.scenario.noiseThreshold);
        world.scenario.noiseKeep = scenarioPlan.noiseKeep;
        // Events of steps already run are not made up for.
        while (world.scenario.nextEvent < scenarioPlan.eventCount &&
               scenarioPlan.events[world.scenario.nextEvent].step < world.run.stepCount)
            world.scenario.nextEvent++;
    }
    notePerturbation();
    armNextChange();
}

void startScenarioRun(int asked) {
    if (scenarioPlan.active) {
        if (asked > world.carTotal)
            ConsoleLog("Warning: the groups ask for %d cars; the road took %d, the rest were not placed\r\n",
                       asked, world.carTotal);
        if (scenarioPlan.evenStart)
            spreadEvenly();
        if (scenarioPlan.evenStart || scenarioPlan.hasStartSpeed)
            setStartSpeeds();
    }
    armScenario();
}

void fireDueEvents() {
    ScenarioState& s = world.scenario;
    const int step = world.run.stepCount;
    endDisturbances();
    while (s.nextEvent < scenarioPlan.eventCount && scenarioPlan.events[s.nextEvent].step <= step)
        fire(scenarioPlan.events[s.nextEvent++]);
    notePerturbation();
    armNextChange();
}
