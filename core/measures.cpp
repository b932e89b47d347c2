// Traffic measures gathered around every step; see measures.h for the
// definitions. One walk of the order ring per step does everything: the lane
// sums, the detector crossings, the group sums and the jam clusters, which
// are runs of slow cars next to each other in a lane, so they fall out of the
// ring order without any sorting.
#include "measures.h"

#include <cmath>
#include <cstring>

TrafficMeasures measures;

namespace {

constexpr double FeetPerMile = 5280;
constexpr double SecondsPerHour = 3600;

void clearSums() {
    measures.stepsInPeriod = 0;
    std::memset(measures.lanes, 0, sizeof measures.lanes);
    std::memset(measures.groups, 0, sizeof measures.groups);
}

double ratio(double sum, long long count) {
    return count > 0 ? sum / double(count) : std::nan("");
}

// Jam clusters of one lane as the ring walk meets its cars: a cluster starts
// at every slow car whose predecessor in the lane is not slow; the lane's
// first car has the last one as predecessor. A lane all slow is one cluster.
struct JamWalk {
    int  cars, slowCars, starts;
    bool firstSlow, lastSlow;

    void add(bool slow) {
        if (cars == 0)
            firstSlow = slow;
        else if (slow && !lastSlow)
            starts++;
        lastSlow = slow;
        cars++;
        slowCars += slow;
    }
    int clusters() const {
        if (cars > 0 && slowCars == cars)
            return 1;
        return starts + (firstSlow && !lastSlow);
    }
};

void finishPeriod() {
    const double steps = measures.stepsInPeriod;
    const double hours = steps / world.stepsPerSecond / SecondsPerHour;
    const double miles = double(world.roadLength) / FeetPerMile;
    const double detectors = measures.detectorCount;
    LaneSums all{};
    for (int k = 0; k <= LaneTotal; k++) {
        LaneSums& s = k < LaneTotal ? measures.lanes[k] : all;
        if (k < LaneTotal) {
            all.carSteps += s.carSteps;
            all.speedSum += s.speedSum;
            all.stoppedSteps += s.stoppedSteps;
            all.jamSteps += s.jamSteps;
            all.crossings += s.crossings;
            all.crossingSpeedSum += s.crossingSpeedSum;
            all.laneChanges += s.laneChanges;
        }
        // The whole road's density and flow are those of its average lane, so
        // that flow = density x speed holds on that row as on the others.
        const double lanes = k < LaneTotal ? 1 : LaneTotal;
        LaneMeasure& m = measures.lane[k];
        m.cars = double(s.carSteps) / steps;
        m.density = m.cars / lanes / miles;
        m.flow = double(s.crossings) / detectors / lanes / hours;
        m.spaceMeanSpeed = ratio(s.speedSum, s.carSteps);
        m.timeMeanSpeed = ratio(s.crossingSpeedSum, s.crossings);
        m.stopped = double(s.stoppedSteps) / steps;
        m.jams = double(s.jamSteps) / steps;
        m.laneChanges = s.laneChanges;
    }
    for (int g = 0; g < MaxGroups; g++) {
        const GroupSums& s = measures.groups[g];
        GroupMeasure& m = measures.group[g];
        m.present = s.carSteps > 0;
        m.cars = double(s.carSteps) / steps;
        m.spaceMeanSpeed = ratio(s.speedSum, s.carSteps);
        m.stopped = double(s.stoppedSteps) / steps;
        m.laneChanges = s.laneChanges;
        m.distance = s.distance / FeetPerMile;
    }
    measures.periodEndStep = world.run.stepCount;
    measures.periodDone = 1;
    clearSums();
}

}  // namespace

bool crossesDetector(float p0, float p1, float d) {
    if (p1 < p0)
        return d > p0 || d <= p1;
    return p0 < d && d <= p1;
}

void configureMeasures(int period, const float* detectors, int detectorCount) {
    measures.period = period >= 1 ? period : 1;
    if (detectorCount < 1 || !detectors) {
        measures.detectorCount = 1;
        measures.detectors[0] = 0;
    } else {
        measures.detectorCount = detectorCount < MaxDetectors ? detectorCount : MaxDetectors;
        for (int k = 0; k < measures.detectorCount; k++)
            measures.detectors[k] = detectors[k];
    }
    measures.periodDone = 0;
    measures.periodEndStep = 0;
    clearSums();
}

void measureBeforeStep() {
    if (world.run.stepCount == 0)  // the cars were just placed: a new run
        clearSums();
    const int total = world.carTotal < MaxCars ? world.carTotal : MaxCars;
    for (int i = 0; i < total; i++) {
        measures.startPosition[i] = world.cars[i].position;
        measures.startLane[i] = static_cast<signed char>(world.cars[i].lane);
    }
}

void measureAfterStep() {
    const float road = world.roadLength;
    const double mphPerFootStep = world.stepsPerSecond * SecondsPerHour / FeetPerMile;
    const int detectorCount = measures.detectorCount;
    const int total = world.order.count < MaxCars ? world.order.count : MaxCars;
    JamWalk jam[LaneTotal] = {};

    for (int entry = 0; entry < total; entry++) {
        const int i = world.order.slots[entry];
        if (i < 0 || i >= MaxCars)
            continue;
        const Car& c = world.cars[i];
        const int lane = c.lane;
        const int before = measures.startLane[i];
        if (lane < 0 || lane >= LaneTotal || before < 0 || before >= LaneTotal)
            continue;
        const float p0 = measures.startPosition[i];
        const float p1 = c.position;
        // What the car drove, not the speed it holds: a car cut in on moves
        // less than its speed for a step, and only what it drove adds up to
        // the flow at the detectors.
        const double driven = p1 >= p0 ? double(p1) - p0 : double(p1) + road - p0;
        const double speed = driven * mphPerFootStep;
        const bool slow = speed < StoppedBelow;

        LaneSums& here = measures.lanes[lane];
        here.carSteps++;
        here.speedSum += speed;
        here.stoppedSteps += slow;
        jam[lane].add(slow);

        // Crossings belong to the lane the car moved in: the lane it had
        // before the step, since a lane switches only after the move.
        if (driven > 0) {
            LaneSums& moved = measures.lanes[before];
            for (int d = 0; d < detectorCount; d++) {
                if (crossesDetector(p0, p1, measures.detectors[d])) {
                    moved.crossings++;
                    moved.crossingSpeedSum += speed;
                }
            }
        }
        const bool changed = lane != before;
        measures.lanes[before].laneChanges += changed;

        if (c.group >= 0 && c.group < MaxGroups) {
            GroupSums& g = measures.groups[c.group];
            g.carSteps++;
            g.speedSum += speed;
            g.stoppedSteps += slow;
            g.laneChanges += changed;
            g.distance += driven;
        }
    }
    for (int k = 0; k < LaneTotal; k++)
        measures.lanes[k].jamSteps += jam[k].clusters();

    if (++measures.stepsInPeriod >= measures.period)
        finishPeriod();
}
