// The views' rings, filled from the tick.
#include "live_views.h"

#include <cmath>

LiveViews liveViews;

namespace {

int sampleEntry(int age) {
    const SpaceTimeSamples& s = liveViews.spaceTime;
    return (s.first + s.count - 1 - age) % SampleCapacity;
}

int chartEntry(int age) {
    const SpeedChartPoints& c = liveViews.chart;
    return (c.first + c.count - 1 - age) % ChartCapacity;
}

// A NaN or absurd value from a groups file must not reach an integer
// conversion: it is held to the field's range first.
int clampedWhole(float value, int high) {
    if (!(value > 0))
        return 0;
    if (value >= float(high))
        return high;
    return int(value + 0.5f);
}

// The top of the colour scale: the fastest desired speed among the groups
// that have cars on the road (1 mph at least, so that it can divide).
float highestDesiredSpeed() {
    float top = 0;
    int total = world.carTotal < MaxCars ? world.carTotal : MaxCars;
    for (int c = 0; c < total; c++) {
        int g = world.cars[c].group;
        if (g < 0 || g >= MaxGroups)
            continue;
        float s = world.groups[g].desiredSpeed;
        if (s > top && s <= 255)
            top = s;
        else if (s > 255)
            top = 255;
    }
    return top >= 1 ? top : 1;
}

void addReportPoint() {
    SpeedChartPoints& c = liveViews.chart;
    if (c.count < ChartCapacity)
        c.count++;
    else
        c.first = (c.first + 1) % ChartCapacity;
    ChartPoint& p = c.points[chartEntry(0)];
    p.step = world.run.stepCount;
    p.seconds = world.stepsPerSecond > 0 ? world.run.stepCount / world.stepsPerSecond : 0;
    p.overall = world.overallAverage;
    for (int g = 0; g < MaxGroups; g++)
        p.group[g] = world.groups[g].reportFlag ? world.groups[g].averageSpeed : -1.0f;
    liveViews.revision++;
}

}  // namespace

void startViewsAfresh() {
    SpaceTimeSamples& s = liveViews.spaceTime;
    s.first = s.count = 0;
    s.topSpeed = highestDesiredSpeed();
    s.roadLength = world.roadLength >= 1 ? world.roadLength : 1;
    liveViews.chart.first = liveViews.chart.count = 0;
    liveViews.revision++;
    takeSample();
}

void takeSample() {
    SpaceTimeSamples& s = liveViews.spaceTime;
    if (s.count < SampleCapacity)
        s.count++;
    else
        s.first = (s.first + 1) % SampleCapacity;
    const int e = sampleEntry(0);
    int total = world.carTotal < MaxCars ? world.carTotal : MaxCars;
    if (total < 0)
        total = 0;
    CarSample* out = s.cars[e];
    for (int c = 0; c < total; c++) {
        const Car& car = world.cars[c];
        out[c].position = uint16_t(clampedWhole(car.position, 65535));
        out[c].speed = uint8_t(clampedWhole(car.speed, 255));
        out[c].lane = uint8_t(car.lane >= 0 && car.lane < LaneTotal ? car.lane : 0);
    }
    s.carCount[e] = total;
    s.step[e] = world.run.stepCount;
    s.zoneOn[e] = uint8_t(world.run.constructionZone && world.edition->hasConstructionZone);
    liveViews.revision++;
}

void cutViewsTo(int step) {
    SpaceTimeSamples& s = liveViews.spaceTime;
    while (s.count > 0 && s.step[sampleEntry(0)] > step)
        s.count--;
    SpeedChartPoints& c = liveViews.chart;
    while (c.count > 0 && c.points[chartEntry(0)].step >= step)
        c.count--;
    liveViews.revision++;
}

void observeRun(RunEvent event) {
    switch (event) {
    case RunStepped:
        if (world.run.stepCount % SampleSteps == 0)
            takeSample();
        return;
    case RunReported:
        addReportPoint();
        return;
    case RunStartedAfresh:
        startViewsAfresh();
        return;
    case RunWentBack:
        cutViewsTo(world.run.stepCount);
        return;
    case RunAboutToStep:
        return;
    }
}

const CarSample* sampleCars(int age, int* carCount, int* step, int* zoneOn) {
    const SpaceTimeSamples& s = liveViews.spaceTime;
    if (age < 0 || age >= s.count)
        return nullptr;
    const int e = sampleEntry(age);
    *carCount = s.carCount[e];
    *step = s.step[e];
    *zoneOn = s.zoneOn[e];
    return s.cars[e];
}

const ChartPoint* chartPoint(int age) {
    const SpeedChartPoints& c = liveViews.chart;
    if (age < 0 || age >= c.count)
        return nullptr;
    return &c.points[chartEntry(0 + age)];
}
