// The one world record, its defaults and the unit conversions.
#include "world.h"

#include "ombrane_version.h"

#include <cstdio>
#include <cstring>

const Edition CurrentEdition = {
    .version = OMBRANE_VERSION,
    .pauseText = "Pausing... Use <Spacebar> or <Enter>\r\n",
    .leftPolicyCycle = 6,
    .rightPolicyCycle = 6,
    .hasConstructionZone = 1,
    .hasMultiplier = 1,
    .drawsCarsAsTheyMove = 0,
    .tickMillisAtLeastOne = 1,
    .readerKeepsLineFeed = 1,
    .logsUnknownColour = 1,
    .opensSnapshots = 0,
    .hitsChangingCars = 1,
    .focusesOnRunKeys = 1,
    .bannerHints = 1,
    .roundsPixels = 1,
    .carsWithMarkers = 1,
    .titleShowsTickTime = 0,
    .keepsHistory = 1,
    .logsFileWarnings = 1,
    .opensScenarios = 1,
};

const Edition LegacyEdition = {
    .version = OMBRANE_LEGACY_VERSION,
    .pauseText = "Pausing... <Space> to single step, <Enter> to resume\r\n",
    .leftPolicyCycle = 4,
    .rightPolicyCycle = 3,
    .hasConstructionZone = 0,
    .hasMultiplier = 0,
    .drawsCarsAsTheyMove = 1,
    .tickMillisAtLeastOne = 0,
    .readerKeepsLineFeed = 0,
    .logsUnknownColour = 0,
    .opensSnapshots = 1,
    .hitsChangingCars = 0,
    .focusesOnRunKeys = 0,
    .bannerHints = 0,
    .roundsPixels = 0,
    .carsWithMarkers = 0,
    .titleShowsTickTime = 1,
    .keepsHistory = 0,
    .logsFileWarnings = 0,
    .opensScenarios = 0,
};

// Zero at process start except for these.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
SimWorld world = {
    .edition = &CurrentEdition,
    .run = {.speedMultiplier = 1},
    .fileOutput = 1,
};
#pragma GCC diagnostic pop

void chooseEdition(const Edition& edition) {
    world.edition = &edition;
    std::snprintf(world.title, sizeof world.title, "Ombrane %s", edition.version);
}

void resetWorld(const Edition& edition) {
    std::memset(static_cast<void*>(&world), 0, sizeof world);
    world.edition = &edition;
    world.run.speedMultiplier = 1;
    world.fileOutput = 1;
    chooseEdition(edition);
    resetDefaults();
}

void resetDefaults() {
    std::snprintf(world.title, sizeof world.title, "Ombrane %s", world.edition->version);
    world.roadLength = 21120;
    world.rowLength = 1320;
    world.laneWidth = 12;
    world.reportToFile = 0;
    world.newGroupsPending = 0;
    world.rowCount = 16;
    world.carLength = 18;
    world.stepsPerSecond = 16;
    world.reportPeriod = 80;
    world.carWidth = 6;
    world.run.restartRequested = 0;
    world.placementSpacing = 36;
    world.viewWidth = 1320;
    world.viewHeight = 768;
}

// Dividing by the step rate is exact scaling when it is a power of two, so a
// multiplication gives the same double and spares a division in every step.
static double perStep(double value) {
    if (world.stepsPerSecond == 16)
        return value * (1.0 / 16);
    return value / world.stepsPerSecond;
}

// At 16 steps a second the two conversions multiply by the rounded
// reciprocals of 3600 and 5280 instead of dividing: the double may then differ
// in its last bit, but the float it rounds to never does. That was checked
// for every float bit pattern; tests/core/world_test.cpp checks a spread of
// them against the division on every build. The speed conversion takes
// 1/3600 and 1/16 as one factor: a double times 1/16 is exact, so the double
// is the two products' to the bit (also checked for every float), and the
// step's longest chain is one multiplication shorter.
float mphToFeetPerStep(float mph) {
    if (world.stepsPerSecond == 16)
        return float(double(mph) * (1.0 / 3600.0 / 16) * 5280.0);
    return float(perStep(double(mph) / 3600.0) * 5280.0);
}

float accelerationToMphPerStep(float feetPerSecondSquared) {
    if (world.stepsPerSecond == 16)
        return float(double(feetPerSecondSquared) * (1.0 / 5280.0) * 3600.0 * (1.0 / 16));
    return float(perStep(double(feetPerSecondSquared) / 5280.0 * 3600.0));
}

const char* lanePolicyName(int policy) {
    switch (policy) {
    case Never:       return "Never";
    case Always:      return "Always";
    case FDist:       return "F-Dist";
    case FDist200:    return "F-Dist & 200ft";
    case EuCarBehind: return "EU: Car behind";
    case Crazily:     return "Crazily!";
    default:          return "Dunno";
    }
}
