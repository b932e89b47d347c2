// Traffic measures gathered around every step; see measures.h for the
// definitions. Measuring must stay a small part of a step's time, so each
// step is two plain passes without branches that depend on the traffic: the
// cars by index for every sum, then the order ring for the jam clusters,
// which are runs of slow cars next to each other in a lane and so fall out of
// the ring order without any sorting. Per-lane counts of a step are kept as
// four 16-bit fields of one 64-bit word (a lane holds fewer than 65536 cars),
// so that nothing goes through memory indexed by a lane.
#include "measures.h"

#include <cmath>
#include <cstdint>
#include <cstring>

TrafficMeasures measures;

namespace {

constexpr double FeetPerMile = 5280;
constexpr double SecondsPerHour = 3600;

// A new period starts where the cars stand now.
void clearSums() {
    measures.stepsInPeriod = 0;
    std::memset(measures.lanes, 0, sizeof measures.lanes);
    std::memset(&measures.cars, 0, sizeof measures.cars);
    std::memset(measures.sectionSums, 0, sizeof measures.sectionSums);
    const int total = world.carTotal < MaxCars ? world.carTotal : MaxCars;
    for (int i = 0; i < total; i++)
        measures.cars.startPosition[i] = world.cars[i].position;
}

void rememberCars() {
    const int total = world.carTotal < MaxCars ? world.carTotal : MaxCars;
    for (int i = 0; i < total; i++)
        setMeasureStart(i, world.cars[i].position, world.cars[i].lane);
}

// Detector crossings of a car that moved from p0 to p1 (ft; past the road's
// end when p1 < p0): a car crosses position d when p0 < d <= p1, or, wrapping,
// when d > p0 or d <= p1. With the detectors in ascending order and the
// car's next detector (the first beyond p0) remembered, a step costs one
// comparison unless the car crosses one.
int countCrossings(int car, float p0, float p1) {
    const float* d = measures.detectors;
    const int count = measures.detectorCount;
    int next = measures.nextDetector[car];
    int crossed = 0;
    if (p1 < p0) {
        crossed = count - next;
        next = 0;
    }
    while (next < count && d[next] <= p1) {
        crossed++;
        next++;
    }
    measures.nextDetector[car] = static_cast<unsigned char>(next);
    return crossed;
}

double ratio(double sum, long long count) {
    return count > 0 ? sum / double(count) : std::nan("");
}

// Four 16-bit counters in one word: lane k in bits 16k..16k+15.
constexpr uint64_t one(int lane) { return uint64_t(1) << (16 * lane); }
constexpr int field(uint64_t counters, int lane) { return int((counters >> (16 * lane)) & 0xFFFF); }

// Jam clusters, from the ring walk's counters of one lane: a cluster starts at
// every slow car whose predecessor in the lane is not slow. The walk took the
// lane's first car's predecessor as not slow; when the lane's last car (its
// real predecessor round the ring) was slow too, that start was none. A lane
// all slow is one cluster.
int clusters(int cars, int slowCars, int starts, bool firstSlow, bool lastSlow) {
    if (cars > 0 && slowCars == cars)
        return 1;
    return starts - (firstSlow && lastSlow);
}

// A step's share of the sections: the feet driven inside each, and the part
// of the step spent there (a car moves evenly through its step; one standing
// still is inside for the whole step when it stands in the stretch). Measured
// from the stretch's start round the ring, the move starts at `offset` in
// [0, road) and ends at most one road length later, so what lies inside is
// the part before the stretch's end plus, past the road's end, the part
// that comes round into the stretch again.
void addToSections(int lane, float p0, float driven, float road) {
    for (int k = 0; k < measures.sectionCount; k++) {
        const double length = measures.sectionLength[k];
        double offset = double(p0) - measures.sectionFrom[k];
        if (offset < 0)
            offset += road;
        const double end = offset + driven;
        SectionSums& s = measures.sectionSums[k];
        if (driven > 0) {
            const double inside = (offset < length ? (end < length ? end : length) - offset : 0) +
                                  (end > road ? (end - road < length ? end - road : length) : 0);
            s.distance[lane] += inside;
            s.time[lane] += inside / driven;
        } else {
            s.time[lane] += offset < length ? 1 : 0;
        }
    }
}

void finishSections(double steps, double hours) {
    const double stepsPerHour = world.stepsPerSecond * SecondsPerHour;
    for (int k = 0; k < measures.sectionCount; k++) {
        const SectionSums& s = measures.sectionSums[k];
        const double miles = measures.sectionLength[k] / FeetPerMile;
        double allDistance = 0, allTime = 0;
        for (int lane = 0; lane <= LaneTotal; lane++) {
            const double distance = lane < LaneTotal ? s.distance[lane] : allDistance;
            const double time = lane < LaneTotal ? s.time[lane] : allTime;
            const double lanes = lane < LaneTotal ? 1 : LaneTotal;
            SectionMeasure& m = measures.section[k][lane];
            m.vehicleMiles = distance / FeetPerMile;
            m.vehicleHours = time / stepsPerHour;
            m.density = time / (lanes * miles * steps);
            m.flow = m.vehicleMiles / (lanes * miles * hours);
            m.spaceMeanSpeed = time > 0 ? m.vehicleMiles / m.vehicleHours : std::nan("");
            if (lane < LaneTotal) {
                allDistance += distance;
                allTime += time;
            }
        }
    }
}

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
    double distance[MaxGroups] = {};
    long long carSteps[MaxGroups] = {}, stopped[MaxGroups] = {}, changes[MaxGroups] = {};
    const int total = world.carTotal < MaxCars ? world.carTotal : MaxCars;
    for (int i = 0; i < total; i++) {
        const int g = world.cars[i].group;
        if (g < 0 || g >= MaxGroups)
            continue;
        carSteps[g] += measures.stepsInPeriod;
        stopped[g] += measures.cars.stoppedSteps[i];
        changes[g] += measures.cars.laneChanges[i];
        const CarSums& c = measures.cars;
        distance[g] += double(world.cars[i].position) - c.startPosition[i] +
                       double(c.laps[i]) * world.roadLength;
    }
    const double mphPerFootStep = world.stepsPerSecond * SecondsPerHour / FeetPerMile;
    for (int g = 0; g < MaxGroups; g++) {
        GroupMeasure& m = measures.group[g];
        m.present = carSteps[g] > 0;
        m.cars = double(carSteps[g]) / steps;
        m.spaceMeanSpeed = ratio(distance[g] * mphPerFootStep, carSteps[g]);
        m.stopped = double(stopped[g]) / steps;
        m.laneChanges = changes[g];
        m.distance = distance[g] / FeetPerMile;
    }
    finishSections(steps, hours);
    measures.periodEndStep = world.run.stepCount;
    measures.periodDone = 1;
    clearSums();
}

}  // namespace

void setMeasureStart(int car, float position, int lane) {
    measures.startPosition[car] = position;
    measures.startLane[car] = static_cast<signed char>(lane);
    int next = 0;
    while (next < measures.detectorCount && measures.detectors[next] <= position)
        next++;
    measures.nextDetector[car] = static_cast<unsigned char>(next);
}

void configureMeasures(int period, const float* detectors, int detectorCount) {
    measures.period = period >= 1 ? period : 1;
    if (detectorCount < 1 || !detectors) {
        measures.detectorCount = 1;
        measures.detectors[0] = 0;
    } else {
        measures.detectorCount = detectorCount < MaxDetectors ? detectorCount : MaxDetectors;
        for (int k = 0; k < measures.detectorCount; k++) {  // in ascending order
            int at = k;
            for (; at > 0 && measures.detectors[at - 1] > detectors[k]; at--)
                measures.detectors[at] = measures.detectors[at - 1];
            measures.detectors[at] = detectors[k];
        }
    }
    measures.sectionCount = 0;
    measures.periodDone = 0;
    measures.periodEndStep = 0;
    measures.lastStepSeen = -1;
    clearSums();
}

void configureSections(const float* from, const float* to, int count) {
    const float road = world.roadLength;
    measures.sectionCount = 0;
    for (int k = 0; k < count && k < MaxSections; k++) {
        float length = to[k] - from[k];
        if (length <= 0)
            length += road;
        measures.sectionFrom[k] = from[k];
        measures.sectionLength[k] = length;
        measures.sectionCount++;
    }
    std::memset(measures.sectionSums, 0, sizeof measures.sectionSums);
}

void measureBeforeStep() {
    if (world.run.stepCount == measures.lastStepSeen)
        return;  // the last measured step left every car's start
    if (world.run.stepCount == 0)  // the cars were just placed: a new run
        clearSums();
    rememberCars();
}

void measureAfterStep() {
    const float road = world.roadLength;
    const double mphPerFootStep = world.stepsPerSecond * SecondsPerHour / FeetPerMile;
    const float slowFeet = float(StoppedBelow / mphPerFootStep);  // ft per step
    const int total = world.carTotal < MaxCars ? world.carTotal : MaxCars;
    CarSums& sums = measures.cars;

    uint64_t cars = 0, stopped = 0, changes = 0;
    double distance[LaneTotal] = {};
    for (int i = 0; i < total; i++) {
        const Car& c = world.cars[i];
        const int lane = c.lane;
        const int before = measures.startLane[i];
        if (unsigned(lane) >= LaneTotal || unsigned(before) >= LaneTotal) {
            measures.laneMask[i] = 0;
            continue;
        }
        const float p0 = measures.startPosition[i];
        const float p1 = c.position;
        // What the car drove, not the speed it holds: a car cut in on moves
        // less than its speed for a step, and only what it drove adds up to
        // the flow at the detectors.
        const bool wrapped = p1 < p0;
        const float driven = wrapped ? p1 + road - p0 : p1 - p0;
        const int slow = driven < slowFeet;
        const int changed = lane != before;
        measures.startPosition[i] = p1;  // the next step starts here
        measures.startLane[i] = static_cast<signed char>(lane);
        cars += one(lane);
        stopped += uint64_t(slow) << (16 * lane);
        changes += uint64_t(changed) << (16 * before);
        distance[0] += lane == 0 ? driven : 0;
        distance[1] += lane == 1 ? driven : 0;
        distance[2] += lane == 2 ? driven : 0;
        distance[3] += lane == 3 ? driven : 0;
        measures.laneMask[i] = static_cast<unsigned char>((1 | slow << 4) << lane);
        sums.stoppedSteps[i] += slow;
        if (changed)  // rare: keep the common step free of these stores
            sums.laneChanges[i]++;
        if (wrapped)
            sums.laps[i]++;
        if (measures.sectionCount)  // the same for every car of a run
            addToSections(before, p0, driven, road);

        // Crossings belong to the lane the car moved in: the lane it had
        // before the step, since a lane switches only after the move.
        if (int crossed = countCrossings(i, p0, p1)) {
            measures.lanes[before].crossings += crossed;
            measures.lanes[before].crossingSpeedSum += crossed * (driven * mphPerFootStep);
        }
    }

    // The ring walk keeps, per lane, bit k of these words: whether the lane
    // had a car yet, whether its first and its latest car were slow. A start
    // is the bit of a slow car's lane when the lane's latest car was not
    // slow; StartCount turns it into one in that lane's counter field.
    static constexpr uint64_t StartCount[16] = {0, one(0), one(1), 0, one(2), 0, 0, 0, one(3)};
    unsigned seen = 0, firstSlow = 0, lastSlow = 0;
    uint64_t starts = 0;
    const int entries = world.order.count < MaxCars ? world.order.count : MaxCars;
    for (int entry = 0; entry < entries; entry++) {
        const int i = world.order.slots[entry];
        if (unsigned(i) >= unsigned(total))
            continue;
        const unsigned mask = measures.laneMask[i];
        const unsigned bit = mask & 15, slow = mask >> 4;
        starts += StartCount[slow & ~lastSlow];
        firstSlow |= slow & ~seen;
        seen |= bit;
        lastSlow = (lastSlow & ~bit) | slow;
    }

    for (int k = 0; k < LaneTotal; k++) {
        LaneSums& s = measures.lanes[k];
        s.carSteps += field(cars, k);
        s.speedSum += distance[k] * mphPerFootStep;
        s.stoppedSteps += field(stopped, k);
        s.laneChanges += field(changes, k);
        s.jamSteps += clusters(field(cars, k), field(stopped, k), field(starts, k),
                               (firstSlow >> k) & 1, (lastSlow >> k) & 1);
    }
    measures.lastStepSeen = world.run.stepCount;
    if (++measures.stepsInPeriod >= measures.period)
        finishPeriod();
}
