// The measures and trajectory files. Numbers that were not measured (the
// speed of a lane without cars) are written as empty fields, which
// spreadsheets and gnuplot both read as missing.
#include "measure_files.h"

#include "core/measures.h"

#include <cmath>

namespace {

// "%.3f" of the value, or nothing when it is not a number.
const char* optional(char* out, int size, double value) {
    if (std::isnan(value))
        out[0] = 0;
    else
        std::snprintf(out, size_t(size), "%.3f", value);
    return out;
}

}  // namespace

void formatSeconds(char* out, int size, int step) {
    // Thirteen digits hold every step an int counts (134217727.9375 s)
    // exactly; below a million seconds it writes what ten did.
    std::snprintf(out, size_t(size), "%.13g", double(step) / world.stepsPerSecond);
}

void writeMeasuresHeader(std::FILE* f) {
    std::fputs("time_s,lane,cars,density_vpmpl,flow_vph,space_mean_speed_mph,"
               "time_mean_speed_mph,stopped_cars,jams,lane_changes\n",
               f);
}

void writeMeasuresRows(std::FILE* f) {
    char time[32], space[32], timeMean[32];
    formatSeconds(time, sizeof time, measures.periodEndStep);
    for (int k = 0; k <= LaneTotal; k++) {
        const LaneMeasure& m = measures.lane[k];
        char lane[8];
        // Users number the lanes from 1, the right lane.
        std::snprintf(lane, sizeof lane, k < LaneTotal ? "%d" : "all", k + 1);
        std::fprintf(f, "%s,%s,%.3f,%.3f,%.1f,%s,%s,%.3f,%.3f,%lld\n", time, lane, m.cars,
                     m.density, m.flow, optional(space, sizeof space, m.spaceMeanSpeed),
                     optional(timeMean, sizeof timeMean, m.timeMeanSpeed), m.stopped, m.jams,
                     m.laneChanges);
    }
}

void writeSectionMeasuresHeader(std::FILE* f) {
    std::fputs("time_s,section,lane,density_vpmpl,flow_vph,space_mean_speed_mph,vehicle_miles,"
               "vehicle_hours\n",
               f);
}

void writeSectionMeasuresRows(std::FILE* f) {
    char time[32], speed[32];
    formatSeconds(time, sizeof time, measures.periodEndStep);
    for (int k = 0; k < measures.sectionCount; k++) {
        double to = double(measures.sectionFrom[k]) + measures.sectionLength[k];
        if (to > world.roadLength)
            to -= world.roadLength;
        for (int lane = 0; lane <= LaneTotal; lane++) {
            const SectionMeasure& m = measures.section[k][lane];
            char name[8];
            std::snprintf(name, sizeof name, lane < LaneTotal ? "%d" : "all", lane + 1);
            std::fprintf(f, "%s,%g..%g,%s,%.3f,%.3f,%s,%.6f,%.6f\n", time,
                         double(measures.sectionFrom[k]), to, name, m.density, m.flow,
                         optional(speed, sizeof speed, m.spaceMeanSpeed), m.vehicleMiles,
                         m.vehicleHours);
        }
    }
}

void writeGroupMeasuresHeader(std::FILE* f) {
    std::fputs("time_s,group,cars,space_mean_speed_mph,stopped_cars,lane_changes,distance_mi\n", f);
}

void writeGroupMeasuresRows(std::FILE* f) {
    char time[32], speed[32];
    formatSeconds(time, sizeof time, measures.periodEndStep);
    for (int g = 0; g < MaxGroups; g++) {
        const GroupMeasure& m = measures.group[g];
        if (!m.present)
            continue;
        std::fprintf(f, "%s,%d,%.3f,%s,%.3f,%lld,%.4f\n", time, g, m.cars,
                     optional(speed, sizeof speed, m.spaceMeanSpeed), m.stopped, m.laneChanges,
                     m.distance);
    }
}

void writeTrajectoriesHeader(std::FILE* f) {
    std::fputs("time_s,car,group,lane,position_ft,speed_mph,change\n", f);
}

void writeTrajectoryRows(std::FILE* f) {
    char time[32];
    formatSeconds(time, sizeof time, world.run.stepCount);
    for (int i = 0; i < world.carTotal && i < MaxCars; i++) {
        const Car& c = world.cars[i];
        std::fprintf(f, "%s,%d,%d,%d,%.2f,%.3f,%d\n", time, i, c.group, c.lane + 1,
                     double(c.position), double(c.speed), c.change);
    }
}
