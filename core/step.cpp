// One car, one step: neighbours, speed, move, order, lane change.
#include "platform.h"
#include "search.h"
#include "sim.h"

#include "group_rules.h"
#include "scenario.h"

#include <bit>
#include <cfloat>
#include <cstdint>

namespace {

constexpr float RestartThreshold = 10;  // mph: below it the start delay re-arms
constexpr float ZoneSpeed = 5;          // mph inside an active construction zone

// What every car of a step shares and no car's step changes: read once for
// the step rather than once for each car.
struct StepFlags {
    bool zone;      // the construction zone holds cars at ZoneSpeed
    bool drawing;   // each car is drawn as it moves
};

StepFlags flagsOfThisStep() {
    return {world.edition->hasConstructionZone && world.run.constructionZone,
            bool(world.edition->drawsCarsAsTheyMove)};
}

bool insideZone(const StepFlags& flags, float position) {
    if (!flags.zone)
        return false;
    float start = float(7.25 * double(world.rowLength));
    float end = float(7.75 * double(world.rowLength));
    return position > start && position < end;
}

// A groups file may hold any number. Whatever it holds, a speed stays finite
// and not negative, so that a position can never become negative or NaN (a
// NaN position would leave the ring without a seam). Sound groups never get
// here: their speeds lie between 0 and the desired speed, or 5 mph.
float usableSpeed(float speed) {
    if (!(speed >= 0))
        return 0;
    if (speed > FLT_MAX)
        return FLT_MAX;
    return speed;
}

// `yes` or `no` by `condition`, chosen by masking the bits: a conditional
// expression, even of integers, may compile to a branch.
uint32_t choose(bool condition, uint32_t yes, uint32_t no) {
    uint32_t mask = 0u - uint32_t(condition);
    return (yes & mask) | (no & ~mask);
}

int choose(bool condition, int yes, int no) {
    return int(choose(condition, uint32_t(yes), uint32_t(no)));
}

float choose(bool condition, float yes, float no) {
    return std::bit_cast<float>(
        choose(condition, std::bit_cast<uint32_t>(yes), std::bit_cast<uint32_t>(no)));
}

// The follow distance scaled by the speed over the desired speed.
float desiredGapBy(const GroupRules& r, float speed) {
    return quotientToFloat(double(r.followDistance) * speed, r.desiredSpeed, r.desiredReciprocal);
}

}  // namespace

float desiredGap(int car) {
    const Car& c = world.cars[car];
    return desiredGapBy(rulesOf(world.groups[c.group]), c.speed);
}

float freeGap(const GapView& view) {
    float distance = view.aheadDistance == NoCarDistance ? world.roadLength : view.aheadDistance;
    if (distance < world.carLength)
        return 0;
    return distance - world.carLength;
}

namespace {

// One car under its group's rules: the rules stand for world.groups[c.group],
// whose statistics the step still adds to.
template <bool Perturbed = false>
void stepCarBy(const GroupRules& r, const StepFlags& flags, int car, Perturbation* perturbation = nullptr) {
    Car& c = world.cars[car];
    Group& g = world.groups[c.group];
    const bool drawing = flags.drawing;
    const int colour = g.colour;

    const bool passes = likelyToPassNext(car, r.feetPerStepPerMph);
    GapView view;
    // A change beyond the usual reads some sides or none, harmless as such a
    // car decides nothing; a lane beyond the usual is searched in full.
    computeStepGapsIndexed(car, view, r.sidesRead[c.change & 3][c.lane & 3]);
    float wanted = desiredGapBy(r, c.speed);
    float free = freeGap(view);

    g.speedSum += c.speed;
    if (g.speedSamples < 0x7FFFFFFF)  // a run without report points must not overflow
        g.speedSamples++;

    // Held up by the car ahead (its speed from the free gap, and below 10 mph
    // the start delay re-arms), waiting out the start delay, or
    // accelerating. In dense traffic which of them applies is a toss-up from
    // car to car, so every answer is worked out and the right one chosen
    // without a branch: written with `?:` or `if`, the step took 12 % less on
    // a road of five groups (benchmark (a)) but 18 to 24 % more on the busy
    // road of eight (e).
    const bool held = free < wanted;
    const bool waiting = !held & (c.delay >= 1);
    const float heldSpeed =
        quotientToFloat(double(free) * r.desiredSpeed, r.followDistance, r.followReciprocal);
    const float freeSpeed = choose(waiting, c.speed, c.speed + r.accelerationPerStep);
    float speed = choose(held, heldSpeed, freeSpeed);
    int delay = c.delay - int(waiting);  // waiting only from 1 up: never below INT_MIN
    c.delay = choose(held & (heldSpeed < RestartThreshold), r.startDelay, delay);
    if (speed > r.desiredSpeed)
        speed = r.desiredSpeed;
    if constexpr (Perturbed)
        speed = perturbation->speedOf(car, c.group, speed);
    if (insideZone(flags, c.position))
        speed = ZoneSpeed;
    c.speed = usableSpeed(speed);

    if (drawing)
        DrawCar(world.drawContext, car, 0xFFFFFF);

    // Decided before the move, which it does not read, so that the few cars
    // that reach the tailgater test find their car behind as it stood.
    decideStepLaneChange(r, car, view, wanted);

    float advance = mphToFeetPerStep(c.speed);
    if (free < advance)
        advance = free;
    float position = c.position + advance;
    if (position > world.roadLength)
        position = position - world.roadLength;
    c.position = position;

    reorderCarGuessing(car, passes);

    moveSideways(car);
    refreshLaneIndex(car);

    if (drawing)
        DrawCar(world.drawContext, car, colour);
}

}  // namespace

void stepCar(int car) {
    stepCarBy(rulesOf(world.groups[world.cars[car].group]), flagsOfThisStep(), car);
}

// Every car in turn under the rules made once for the step; the count is
// read again after every car. The whole of a car's step is made one with this
// loop in every program that links it: left to itself the compiler did so in
// ombrane-batch but not in the benchmarks, which then timed a slower step
// than the program runs. A scenario's noise and disturbances have a loop of
// their own, so that the step without them pays nothing for them.
template <bool Perturbed>
[[gnu::flatten, gnu::noinline]] void stepEveryCar(const GroupRules* rules, const StepFlags& flags) {
    [[maybe_unused]] Perturbation perturbation;
    if constexpr (Perturbed)
        perturbation = beginPerturbation();
    for (int i = 0; i < world.carTotal; i++)
        stepCarBy<Perturbed>(rules[world.cars[i].group], flags, i, &perturbation);
    if constexpr (Perturbed)
        endPerturbation(perturbation);
}

void stepWorld() {
    fireDueEventsIfAny();
    if (world.scenario.perturbed)
        stepEveryCar<true>(rulesOfEveryGroup(), flagsOfThisStep());
    else
        stepEveryCar<false>(rulesOfEveryGroup(), flagsOfThisStep());
    world.run.stepCount++;
}
