// Traffic measures: detector crossings, the lane and group figures of a
// period, jam clusters along the ring, and the step observer that feeds them
// whatever the speed multiplier.
#include "world_fixture.h"

#include "core/measures.h"

#include <cmath>

using namespace coretest;

namespace {

constexpr double MphPerFootStep = 16 * 3600.0 / 5280;   // 1 ft per step in mph
constexpr double RoadMiles = 4;

// Every car of the world has driven `driven[i]` feet in its lane `fromLane[i]`
// during one step ending where it stands now, the period's first.
void drove(std::initializer_list<float> driven, std::initializer_list<int> fromLane = {}) {
    std::vector<int> lanes(fromLane);
    int i = 0;
    for (float d : driven) {
        float p = world.cars[i].position - d;
        p = p < 0 ? p + world.roadLength : p;
        setMeasureStart(i, p, size_t(i) < lanes.size() ? lanes[size_t(i)] : world.cars[i].lane);
        measures.cars.startPosition[i] = p;
        measures.cars.laps[i] = 0;  // the step about to be measured adds its lap
        i++;
    }
}

// One car moves from p0 to p1 past detectors at d: counted when p0 < d <= p1,
// or, wrapping past the road's end, when d > p0 or d <= p1.
TEST(Measures, DetectorCrossingRules) {
    struct Case {
        float p0, p1;
        std::vector<float> detectors;
        int crossings;
    } cases[] = {
        {90, 110, {100}, 1},                // plain pass
        {90, 100, {100}, 1},                // arriving on it counts
        {100, 110, {100}, 0},               // leaving it does not: counted the step before
        {90, 99.5f, {100}, 0},
        {100, 100, {100}, 0},               // standing
        {21100, 10, {21110}, 1},            // wrap, detector before the seam
        {21100, 10, {5}, 1},                // wrap, detector after the seam
        {21100, 10, {0}, 1},                // on the seam, at either end
        {21100, 10, {21120}, 1},
        {21100, 21120, {21120}, 1},         // reaching the very end counts there...
        {21120, 5, {21120, 0}, 1},          // ...and then only the seam's 0
        {21100, 10, {50, 21000}, 0},
        {90, 5000, {4998, 100, 95, 6000}, 3},   // given in any order
        {21000, 100, {0, 50, 150, 20000, 21050}, 3},
    };
    for (const Case& c : cases) {
        freshWorld();
        putCars({{c.p1, 0}});
        configureMeasures(1, c.detectors.data(), int(c.detectors.size()));
        setMeasureStart(0, c.p0, 0);
        measureAfterStep();
        const double perCrossing = 16 * 3600.0 / double(c.detectors.size());
        EXPECT_DOUBLE_EQ(measures.lane[0].flow, c.crossings * perCrossing)
            << c.p0 << " -> " << c.p1 << " over " << c.detectors.size() << " detectors";
    }
}

// A car keeps its place among the detectors from step to step.
TEST(Measures, CrossingsFollowACarRoundTheRing) {
    freshWorld();
    putCars({{21000, 0}});
    const float detectors[] = {0, 10000, 21100};
    configureMeasures(1000, detectors, 3);
    setMeasureStart(0, 21000, 0);
    long long crossings = 0;
    for (float p : {21050.f, 21100.f, 30.f, 9999.f, 10000.f, 20000.f, 21120.f, 10.f}) {
        world.cars[0].position = p;
        measureAfterStep();
        crossings = measures.lanes[0].crossings;
    }
    EXPECT_EQ(crossings, 5);  // 21100, the seam 0, 10000, 21100 again, the seam again
    EXPECT_EQ(measures.nextDetector[0], 1);
}

TEST(Measures, OneStepPeriodGivesEveryLaneFigure) {
    freshWorld();
    putCars({{200, 0, 0, 60}, {1000, 0, 1}, {5000, 1, 0}, {21115, 2, 1}});
    const float detectors[] = {195, 4998};
    configureMeasures(1, detectors, 2);
    // Car 0 passes the first detector at 5.5 ft per step (60 mph); car 1
    // stands; car 2 crosses the second detector and has just switched from
    // lane 2; car 3 drives but crosses nothing.
    drove({5.5f, 0, 4, 2}, {0, 0, 2, 2});
    measureAfterStep();

    ASSERT_TRUE(measures.periodDone);
    EXPECT_EQ(measures.periodEndStep, 0);
    const double hours = 1.0 / 16 / 3600;
    const LaneMeasure& lane0 = measures.lane[0];
    EXPECT_DOUBLE_EQ(lane0.cars, 2);
    EXPECT_DOUBLE_EQ(lane0.density, 2 / RoadMiles);
    EXPECT_DOUBLE_EQ(lane0.flow, 1 / 2.0 / hours);  // one crossing, mean of two detectors
    EXPECT_NEAR(lane0.spaceMeanSpeed, 5.5 * MphPerFootStep / 2, 1e-9);
    EXPECT_NEAR(lane0.timeMeanSpeed, 5.5 * MphPerFootStep, 1e-9);
    EXPECT_DOUBLE_EQ(lane0.stopped, 1);
    EXPECT_EQ(lane0.laneChanges, 0);

    // Car 2 counts in its new lane, its crossing and its change in the old.
    EXPECT_DOUBLE_EQ(measures.lane[1].cars, 1);
    EXPECT_DOUBLE_EQ(measures.lane[1].flow, 0);
    EXPECT_TRUE(std::isnan(measures.lane[1].timeMeanSpeed));
    EXPECT_DOUBLE_EQ(measures.lane[2].flow, 1 / 2.0 / hours);
    EXPECT_EQ(measures.lane[2].laneChanges, 1);
    EXPECT_TRUE(std::isnan(measures.lane[3].spaceMeanSpeed));

    const LaneMeasure& all = measures.lane[AllLanes];
    EXPECT_DOUBLE_EQ(all.cars, 4);
    EXPECT_DOUBLE_EQ(all.density, 1 / RoadMiles);       // per lane
    EXPECT_DOUBLE_EQ(all.flow, 2 / 2.0 / 4 / hours);    // per lane
    EXPECT_NEAR(all.spaceMeanSpeed, 11.5 * MphPerFootStep / 4, 1e-9);
    EXPECT_DOUBLE_EQ(all.stopped, 1);                   // car 1; car 3 drove 21.8 mph
    EXPECT_EQ(all.laneChanges, 1);

    const GroupMeasure& g1 = measures.group[1];
    EXPECT_TRUE(g1.present);
    EXPECT_DOUBLE_EQ(g1.cars, 2);
    EXPECT_NEAR(g1.distance, 2 / 5280.0, 1e-12);
    EXPECT_EQ(measures.group[0].laneChanges, 1);
    EXPECT_FALSE(measures.group[2].present);
}

TEST(Measures, JamClustersFollowTheRingInEachLane) {
    freshWorld();
    // Ring order is position order. Lane 0: slow fast slow slow fast slow,
    // the last run joining the first round the seam: 2 clusters. Lane 1 all
    // slow: 1. Lane 2: one slow car: 1. Lane 3: empty. Cars of other lanes
    // in between must not split a run.
    putCars({{100, 0}, {200, 1}, {300, 0}, {400, 0}, {500, 2}, {600, 0},
             {700, 1}, {800, 0}, {900, 0}});
    configureMeasures(1, nullptr, 0);
    const float fast = 5.5f, slow = 0.3f;  // 60 and 3.3 mph
    drove({slow, slow, fast, slow, slow, slow, slow, fast, slow});
    measureAfterStep();
    EXPECT_DOUBLE_EQ(measures.lane[0].jams, 2);
    EXPECT_DOUBLE_EQ(measures.lane[1].jams, 1);
    EXPECT_DOUBLE_EQ(measures.lane[2].jams, 1);
    EXPECT_DOUBLE_EQ(measures.lane[3].jams, 0);
    EXPECT_DOUBLE_EQ(measures.lane[AllLanes].jams, 4);

    // The whole lane slow is one cluster, not none.
    freshWorld();
    putCars({{100, 0}, {200, 0}, {300, 0}});
    configureMeasures(1, nullptr, 0);
    drove({0, 0, 0});
    measureAfterStep();
    EXPECT_DOUBLE_EQ(measures.lane[0].jams, 1);
}

void observe(RunEvent event) {
    if (event == RunAboutToStep)
        measureBeforeStep();
    else if (event == RunStepped)
        measureAfterStep();
}

// The observer sees every step even when a tick runs several, and a period
// averages over its steps.
TEST(Measures, PeriodsSpanStepsWhateverTheMultiplier) {
    freshWorld();
    calmGroup(0, 30, 10, 54);
    putCars({{0, 0}, {2000, 0}, {4000, 1}});
    configureMeasures(4, nullptr, 0);
    world.run.running = 1;
    world.run.speedMultiplier = 3;
    runObserver = observe;
    int periods = 0, lastEnd = 0;
    double carsSeen = 0;
    for (int tick = 0; tick < 4; tick++) {
        runTick();
        if (measures.periodDone) {
            measures.periodDone = 0;
            periods++;
            lastEnd = measures.periodEndStep;
            carsSeen = measures.lane[AllLanes].cars;
        }
    }
    runObserver = nullptr;
    EXPECT_EQ(world.run.stepCount, 12);
    EXPECT_EQ(periods, 3);  // at steps 4, 8, 12: ticks end at 3, 6, 9, 12
    EXPECT_EQ(lastEnd, 12);
    EXPECT_DOUBLE_EQ(carsSeen, 3);
    // The period's mean speed is the distance its cars drove over its car-steps.
    const GroupMeasure& g = measures.group[0];
    EXPECT_GT(g.distance, 0);
    EXPECT_NEAR(g.spaceMeanSpeed, g.distance * 5280 / (3 * 4) * MphPerFootStep, 1e-9);
}

// Cars placed afresh (step 0) start a new period: nothing measured before
// the placement leaks into it.
TEST(Measures, PlacementStartsAFreshPeriod) {
    freshWorld();
    putCars({{100, 0}});
    configureMeasures(10, nullptr, 0);
    world.run.stepCount = 5;
    drove({5});
    measureAfterStep();
    EXPECT_EQ(measures.stepsInPeriod, 1);
    world.run.stepCount = 0;
    measureBeforeStep();
    EXPECT_EQ(measures.stepsInPeriod, 0);
    EXPECT_EQ(measures.lanes[0].carSteps, 0);
}

}  // namespace

// Sections: the feet a step drives inside a stretch and the part of the step
// spent there, with the stretch or the move running past the road's end, and
// flow = density x speed exactly on every row.
TEST(Measures, SectionsTakeDistanceAndTimeInsideTheStretch) {
    struct Case {
        float p0, p1, from, to;
        double inside;      // ft of the move inside the stretch
        double time;        // steps spent inside
    } cases[] = {
        {90, 110, 100, 200, 10, 0.5},           // entering
        {150, 160, 100, 200, 10, 1},            // inside all the step
        {190, 210, 100, 200, 10, 0.5},          // leaving
        {50, 250, 100, 200, 100, 0.5},          // across it in one step
        {300, 310, 100, 200, 0, 0},             // elsewhere
        {21100, 20, 21000, 100, 40, 1},         // wrapped stretch, wrapped move
        {21110, 30, 0, 21120, 40, 1},           // the whole road, across the seam
        {21110, 30, 20, 500, 10, 0.25},         // a move across the seam into a stretch
        {21110, 30, 21115, 10, 15, 0.375},      // a stretch across the seam, the move beyond it
        {150, 150, 100, 200, 0, 1},             // standing inside
        {100, 100, 100, 200, 0, 1},             // standing at its start: inside
        {200, 200, 100, 200, 0, 0},             // at its end: outside
        {50, 50, 21000, 100, 0, 1},             // standing in a wrapped stretch
    };
    for (const Case& c : cases) {
        freshWorld();
        putCars({{c.p1, 2}});
        configureMeasures(1, nullptr, 0);
        configureSections(&c.from, &c.to, 1);
        setMeasureStart(0, c.p0, 2);
        measureAfterStep();
        ASSERT_TRUE(measures.periodDone);
        const SectionMeasure& m = measures.section[0][2];
        const double miles = (c.to > c.from ? c.to - c.from : c.to - c.from + 21120) / 5280.0;
        SCOPED_TRACE(testing::Message() << c.p0 << " -> " << c.p1 << " in " << c.from << ".." << c.to);
        EXPECT_NEAR(m.vehicleMiles * 5280, c.inside, 1e-3);
        EXPECT_NEAR(m.density, c.time / miles, 1e-6);
        EXPECT_EQ(measures.section[0][1].vehicleMiles, 0);   // another lane saw nothing
        if (c.time > 0) {
            EXPECT_NEAR(m.flow, m.density * m.spaceMeanSpeed, 1e-9 * m.flow);
            EXPECT_NEAR(measures.section[0][AllLanes].density, m.density / 4, 1e-9);
        } else {
            EXPECT_TRUE(std::isnan(m.spaceMeanSpeed));
        }
    }
}

// Over a whole period the whole road's section holds every car all the time:
// its density is the measures' own, and a run with sections measures the
// rest exactly as without them.
TEST(Measures, WholeRoadSectionMatchesTheRoadsDensity) {
    freshWorld();
    putCars({{100, 0, 0, 60}, {5000, 1, 0, 30}, {21110, 3, 0, 50}});
    const float whole = 0;
    configureMeasures(1, nullptr, 0);
    configureSections(&whole, &whole, 1);
    drove({5.5f, 2.75f, 4.5f});
    measureAfterStep();
    ASSERT_TRUE(measures.periodDone);
    EXPECT_NEAR(measures.section[0][AllLanes].density, measures.lane[AllLanes].density, 1e-9);
    EXPECT_NEAR(measures.section[0][AllLanes].spaceMeanSpeed, measures.lane[AllLanes].spaceMeanSpeed,
                1e-6);
    EXPECT_NEAR(measures.section[0][0].spaceMeanSpeed, 5.5 * MphPerFootStep, 1e-4);
    configureMeasures(1, nullptr, 0);
    EXPECT_EQ(measures.sectionCount, 0);  // configureMeasures starts without sections
}
