// Helpers shared by the core tests: a known world to start from, hand-placed
// cars, and checks of the order ring. The world is one global record, so every
// test begins with freshWorld().
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <numeric>
#include <string>
#include <vector>

#include <unistd.h>

#include "core/platform.h"
#include "core/search.h"
#include "core/sim.h"
#include "core/world.h"

namespace coretest {

// Long runs are cut short under the sanitizers, which slow a step down by
// some forty times; their faults show in the first thousands of steps.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool Instrumented = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool Instrumented = true;
#else
constexpr bool Instrumented = false;
#endif
#else
constexpr bool Instrumented = false;
#endif

// Steps for a long run: all of them natively, a tenth under the sanitizers.
constexpr int longRun(int steps) { return Instrumented ? steps / 10 : steps; }

// The state of a freshly started process, then the chosen edition's defaults.
inline void freshWorld(const Edition& edition = CurrentEdition) { resetWorld(edition); }

// For tests of the earlier edition: the current edition comes back when the
// test ends, however it ends, so that no later test inherits it.
class EarlierEdition {
public:
    EarlierEdition() { freshWorld(LegacyEdition); }
    ~EarlierEdition() { freshWorld(); }
};

// A group that drives but never changes lanes; tests override what they probe.
inline Group& calmGroup(int g, float desiredSpeed = 60, float acceleration = 10,
                        float followDistance = 54) {
    Group& group = world.groups[g];
    group = Group{};
    group.desiredSpeed = desiredSpeed;
    group.acceleration = acceleration;
    group.followDistance = followDistance;
    group.startDelay = 16;
    group.preferredLane = -1;
    group.hasPreferredLane = 0;
    group.leftPolicy = Never;
    group.rightPolicy = Never;
    group.leftAhead = group.leftBehind = 36;
    group.rightAhead = group.rightBehind = 36;
    group.aheadZone = 270;
    group.behindZone = 18;
    group.laneChangeTime = 3;
    return group;
}

inline void preferLane(Group& group, int lane) {
    group.preferredLane = lane;
    group.hasPreferredLane = lane >= 0 && lane <= 3;
}

struct CarAt {
    float position;
    int lane = 0;
    int group = 0;
    float speed = 0;
    int change = 0;
    float lateral = 0;
    int delay = 0;
};

// Cars 0..n-1 in list order, inserted into an empty ring by ascending position
// (ties in list order), as placement would leave them.
inline void putCars(std::initializer_list<CarAt> list) {
    world.order.count = 0;
    int n = 0;
    for (const CarAt& at : list) {
        Car& car = world.cars[n++];
        car = Car{};
        car.position = at.position;
        car.lane = at.lane;
        car.group = at.group;
        car.speed = at.speed;
        car.change = at.change;
        car.lateral = at.lateral;
        car.delay = at.delay;
    }
    std::vector<int> byPosition(n);
    std::iota(byPosition.begin(), byPosition.end(), 0);
    std::stable_sort(byPosition.begin(), byPosition.end(), [](int a, int b) {
        return world.cars[a].position < world.cars[b].position;
    });
    for (int c : byPosition)
        world.cars[c].slot = insertCar(c);
    world.carTotal = n;
    invalidateLaneIndex();
}

// Lays the ring out entry by entry, for orders placement cannot produce
// (a seam in the middle).
inline void setRing(std::initializer_list<int> carsInEntryOrder) {
    int entry = 0;
    for (int c : carsInEntryOrder) {
        world.order.slots[entry] = c;
        world.cars[c].slot = entry;
        entry++;
    }
    world.order.count = entry;
    world.carTotal = entry;
    invalidateLaneIndex();
}

inline float positionAt(int entry) {
    return world.cars[world.order.slots[entry]].position;
}

// Permutation, back-pointing slots, and cyclic order with at most one seam.
inline ::testing::AssertionResult ringConsistent() {
    const int n = world.order.count;
    if (n != world.carTotal)
        return ::testing::AssertionFailure()
               << "order.count " << n << " != carTotal " << world.carTotal;
    std::vector<char> seen(size_t(std::max(n, 0)), 0);
    for (int i = 0; i < n; i++) {
        int c = world.order.slots[i];
        if (c < 0 || c >= n)
            return ::testing::AssertionFailure() << "entry " << i << " holds car " << c;
        if (seen[size_t(c)]++)
            return ::testing::AssertionFailure() << "car " << c << " stands twice";
        if (world.cars[c].slot != i)
            return ::testing::AssertionFailure()
                   << "car " << c << " at entry " << i << " has slot " << world.cars[c].slot;
    }
    int seams = 0;
    for (int i = 0; i < n; i++)
        if (positionAt(i) > positionAt((i + 1) % n))
            seams++;
    if (seams > 1)
        return ::testing::AssertionFailure() << seams << " seams in the ring";
    return ::testing::AssertionSuccess();
}

// Every car in use has values the rest of the program can work with.
inline ::testing::AssertionResult carsSane() {
    for (int c = 0; c < world.carTotal; c++) {
        const Car& car = world.cars[c];
        bool ok = std::isfinite(car.position) && std::isfinite(car.speed) &&
                  std::isfinite(car.lateral) && car.position >= 0 &&
                  car.position <= world.roadLength && car.speed >= 0 && car.lane >= 0 &&
                  car.lane <= 3 && car.change >= 0 && car.change <= 2 && car.group >= 0 &&
                  car.group < MaxGroups;
        if (!ok)
            return ::testing::AssertionFailure()
                   << "car " << c << ": position " << car.position << " speed " << car.speed
                   << " lateral " << car.lateral << " lane " << car.lane << " change "
                   << car.change << " group " << car.group;
    }
    return ::testing::AssertionSuccess();
}

// A gap view with no car anywhere, as computeGaps leaves it for a lone car.
inline GapView emptyView(int car) {
    GapView v{};
    v.carIndex = car;
    v.aheadDistance = v.behindDistance = v.euBehindDistance = NoCarDistance;
    v.leftAheadDistance = v.leftBehindDistance = NoCarDistance;
    v.rightAheadDistance = v.rightBehindDistance = NoCarDistance;
    v.aheadSpeed = v.leftAheadSpeed = v.rightAheadSpeed = NoCarAheadSpeed;
    return v;
}

inline GapView gapsOf(int car) {
    GapView v{};
    computeGaps(findNeighbours(car), v);
    return v;
}

// One simulation step of every car, as the tick does it.
inline void stepAll() {
    for (int c = 0; c < world.carTotal; c++)
        stepCar(c);
}

// Collects what the core logs; gives it back once.
class LogCapture {
public:
    LogCapture() { ::testing::internal::CaptureStdout(); }
    ~LogCapture() {
        if (!taken_)
            ::testing::internal::GetCapturedStdout();
    }
    std::string take() {
        taken_ = true;
        return ::testing::internal::GetCapturedStdout();
    }

private:
    bool taken_ = false;
};

// A file name in the temporary folder that no other test, and no other run of
// the suite, uses at the same time: ctest runs the tests as separate processes
// side by side, and two of them writing one fixed name read each other's bytes.
inline std::string scratchPath(const std::string& name) {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string owner = test ? std::string(test->test_suite_name()) + "." + test->name() : "outside";
    return ::testing::TempDir() + "ombrane_" + owner + "_" + std::to_string(::getpid()) + "_" + name;
}

}  // namespace coretest
