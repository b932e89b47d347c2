// CSV files of the traffic measures (core/measures.h) and of car trajectories.
// Every writer appends whole lines ending in "\n" to a file the caller opened;
// write failures are left in the stream's error flag for the caller to check
// when it closes the file.
#pragma once

#include <cstdio>

// "time_s,lane,cars,..." and, per call, rows for lanes 1 (right) to 4 and "all" from
// the last finished period in `measures`.
void writeMeasuresHeader(std::FILE* f);
void writeMeasuresRows(std::FILE* f);

// "time_s,section,lane,density_vpmpl,..." and, per call, rows for lanes 1 to 4
// and "all" of every section from the last finished period.
void writeSectionMeasuresHeader(std::FILE* f);
void writeSectionMeasuresRows(std::FILE* f);

// "time_s,group,cars,..." and a row per group that had cars in the period.
void writeGroupMeasuresHeader(std::FILE* f);
void writeGroupMeasuresRows(std::FILE* f);

// "time_s,car,group,lane,position_ft,speed_mph,change" and a row per car of
// the world as it stands now, its lane numbered 1 (right) to 4.
void writeTrajectoriesHeader(std::FILE* f);
void writeTrajectoryRows(std::FILE* f);

// Bytes a trajectory row takes at most, near enough for a size estimate.
constexpr int TrajectoryRowBytes = 40;

// Seconds of simulated time at a step, written exactly ("5", "0.0625").
void formatSeconds(char* out, int size, int step);
