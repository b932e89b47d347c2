// Default groups, placement of the groups' cars on the road, and restart.
#include "platform.h"
#include "search.h"
#include "sim.h"

#include <cstdio>
#include <cstring>

namespace {
constexpr int White = 0xFFFFFF;

int positivePart(int count) { return count > 0 ? count : 0; }
}  // namespace

int loadDefaultGroups() {
    const Edition& e = *world.edition;
    const double L = world.carLength;
    const int S = world.stepsPerSecond;
    for (int i = 0; i < MaxGroups; i++) {
        Group& g = world.groups[i];
        g.colour = ColourTable[10 + i].value;
        g.desiredSpeed = float(20 + 10 * (i % 5));
        g.acceleration = float(10 * (i + 1));
        g.followDistance = float(20 * (i + 1));
        g.startDelay = (i % 3) * S;
        g.preferredLane = (i + 2) % 5;
        g.hasPreferredLane = (i + 2) % 5 < 4;
        g.leftPolicy = 10 + i % e.leftPolicyCycle;
        g.rightPolicy = 10 + i % e.rightPolicyCycle;
        float gap = float((2 + i % 3) * L);
        g.leftAhead = g.leftBehind = g.rightAhead = g.rightBehind = gap;
        g.aheadZone = float(15 * L);
        g.behindZone = float(L);
        g.laneChangeTime = 3;
        g.carCount = 1;
        g.reportFlag = 0;
        g.speedSamples = 0;
        g.speedSum = 0;
        g.averageSpeed = 0;
    }
    return MaxGroups;
}

// Negative counts are kept, as the tick's test for new cars expects; the sum
// is formed wide so that no file can overflow it.
int carsToPlace() {
    long long total = 0;
    for (const Group& g : world.groups) {
        total += g.carCount;
        for (int count : g.laneCount)
            total += count;
    }
    if (total > 0x7FFFFFFF)
        return 0x7FFFFFFF;
    if (total < -0x7FFFFFFF)
        return -0x7FFFFFFF;
    return int(total);
}

static const char* authorBanner() {
    static char banner[32];
    std::snprintf(banner, sizeof banner, "Ombrane traffic simulator %s", world.edition->version);
    return banner;
}

void ShowHints() {
    ConsoleLog("Select the Main Window then hit <Enter>\r\n");
    ConsoleLog("Use File menu to open a groups.csv file\r\n");
    ConsoleLog("To Pause/Single Step: Use <spacebar>\r\n");
    ConsoleLog("---------------------------------------\r\n");
}

bool consoleHints = true;

void ShowBanner() {
    ConsoleLog("%s\r\n", authorBanner());
    ConsoleLog("-----------------------------\r\n\r\n");
    if (!consoleHints)
        return;
    if (!world.edition->bannerHints) {
        ConsoleLog("Use the [File] menu to open a groups.csv file, then hit <Enter>\r\n");
        ConsoleLog("To Pause: Select the Main Window and hit <spacebar>\r\n");
        return;
    }
    ShowHints();
}

void restartWorld() {
    resetDefaults();
    loadDefaultGroups();
    world.reportToFile = 0;
    ShowBanner();
}

// A full ring has no entry to give: the car is left off the road untouched
// rather than given a slot that points outside the ring.
static void placeCar(void* dc, int car, int lane, float position, int group) {
    if (world.order.count >= MaxCars)
        return;
    Car& c = world.cars[car];
    c.speed = 0;
    c.group = group;
    c.position = position;
    c.lane = lane;
    c.lateral = 0;
    c.change = NoChange;
    c.delay = 0;
    c.slot = insertCar(car);
    DrawCar(dc, car, world.groups[group].colour);
}

namespace {

// The cars still to place, per group: for any lane and for each lane.
struct PlacementCounts {
    int any[MaxGroups];
    int lane[MaxGroups][LaneTotal];
};

PlacementCounts countsToPlace() {
    PlacementCounts c;
    for (int j = 0; j < MaxGroups; j++) {
        c.any[j] = world.groups[j].carCount;
        for (int k = 0; k < LaneTotal; k++)
            c.lane[j][k] = world.groups[j].laneCount[k];
    }
    return c;
}

// Lays the cars out lane by lane, spending the counts; place(car, lane,
// position, group) is told of each. Returns the cars laid out and sets
// *withCars to the groups that had any to place.
template <class Place>
int fillRoad(PlacementCounts& c, int* withCars, Place place) {
    // Negative counts place nothing and must not hold back the other groups'
    // cars: a negative lane total would keep a lane's loop waiting forever.
    long long anyTotal = 0, laneTotal[LaneTotal] = {};
    *withCars = 0;
    for (int j = 0; j < MaxGroups; j++) {
        anyTotal += positivePart(c.any[j]);
        bool hasCars = c.any[j] > 0;
        for (int k = 0; k < LaneTotal; k++) {
            laneTotal[k] += positivePart(c.lane[j][k]);
            hasCars = hasCars || c.lane[j][k] > 0;
        }
        *withCars += hasCars;
    }

    int placed = 0;
    int j = 0;  // group cursor, carried from lane to lane
    const float spacing = world.placementSpacing;
    for (int lane = 0; lane < LaneTotal; lane++) {
        float pos = 0;
        bool full = false;
        while (!full && (laneTotal[lane] > 0 || anyTotal > 0)) {
            for (; j < MaxGroups; j++) {
                if (pos + spacing > world.roadLength || placed == MaxCars) {
                    full = true;
                    break;
                }
                if (c.lane[j][lane] > 0) {
                    c.lane[j][lane]--;
                    laneTotal[lane]--;
                } else if (laneTotal[lane] == 0 && c.any[j] > 0) {
                    c.any[j]--;
                    anyTotal--;
                } else {
                    continue;
                }
                place(placed, lane, pos, j);
                placed++;
                pos += spacing;
            }
            if (full || pos + spacing > world.roadLength)
                break;
            j = 0;
        }
    }
    return placed;
}

}  // namespace

int unplacedCars(int unplaced[MaxGroups][LaneTotal + 1]) {
    PlacementCounts c = countsToPlace();
    int withCars = 0;
    fillRoad(c, &withCars, [](int, int, float, int) {});
    int total = 0;
    for (int j = 0; j < MaxGroups; j++) {
        for (int k = 0; k < LaneTotal; k++) {
            unplaced[j][k] = positivePart(c.lane[j][k]);
            total += unplaced[j][k];
        }
        unplaced[j][LaneTotal] = positivePart(c.any[j]);
        total += unplaced[j][LaneTotal];
    }
    return total;
}

int placeAllCars(void* dc) {
    for (int c = 0; c < world.carTotal && c < MaxCars; c++)
        DrawCar(dc, c, White);

    std::memset(world.order.slots, 0, sizeof world.order.slots);
    world.order.count = 0;

    PlacementCounts counts = countsToPlace();
    int placed = fillRoad(counts, &world.groupsWithCars, [dc](int car, int lane, float pos, int group) {
        placeCar(dc, car, lane, pos, group);
    });

    for (Group& g : world.groups) {
        g.speedSamples = 0;
        g.speedSum = 0;
        g.averageSpeed = 0;
        g.carCount = 0;
        for (int& count : g.laneCount)
            count = 0;
    }
    if (placed < MaxCars)
        std::memset(&world.cars[placed], 0, sizeof(Car) * size_t(MaxCars - placed));
    invalidateLaneIndex();
    ConsoleLog("Placed %d cars in %d groups on roadway\r\n", placed, world.groupsWithCars);
    return placed;
}
