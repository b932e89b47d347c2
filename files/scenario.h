// Scenario files: a groups file and what to do with it. Where the cars
// start, what happens when, which randomness is in play, and how long and
// where batch measures. Read whole and checked before anything runs; every
// refusal is "FILE:LINE: reason". docs/scenarios.md is the format.
#pragma once

#include "core/scenario.h"

#include <cstdint>
#include <string>
#include <vector>

// `group G C = V`, applied after the groups file is read.
struct GroupOverride {
    int group = 0;
    char column = 0;
    std::string value;
    int line = 0;
};

struct Scenario {
    std::string path;                   // the scenario file as given
    std::string groupsName;             // as written after `groups =`
    int groupsLine = 0;
    std::vector<GroupOverride> overrides;
    long steps = 0;                     // 0: not given
    std::vector<std::string> detectors; // ft, as written
    int evenStart = 0;
    int hasStartSpeed = 0;
    double startSpeed = 0;              // mph
    int hasSeed = 0;
    uint64_t seed = 0;
    double noise[MaxGroups] = {};       // probability per step and car
    double noiseSlowdown = 0.1;         // the fraction a noisy car drops
    std::vector<ScenarioEvent> events;  // in firing order
    std::vector<int> eventLines;        // of the file, beside events
    // The lines as written (comments and outer blanks removed), in file
    // order: the settings but groups and steps, and the events.
    std::vector<std::string> settingTexts;
    std::vector<std::string> eventTexts;
};

// Whether a path names a scenario (by its extension, ".scenario").
bool isScenarioPath(const char* path);

// Reads the scenario from text (a group column's value is tried on
// world.groups by the groups reader's rule and put back). False with a
// message "PATH:LINE: reason".
bool parseScenario(const std::string& text, const std::string& path, Scenario& s,
                   std::string& problem);

// Reads the file: false with *exitCode 1 when it or its groups file cannot
// be read, 2 when its contents are refused.
bool loadScenario(const std::string& path, Scenario& s, std::string& problem, int* exitCode);

// The groups file's path as the program opens it: beside the scenario.
std::string scenarioGroupsPath(const Scenario& s);

// Whether the run draws random numbers (some group is noisy, now or later).
bool usesRandomness(const Scenario& s);

// The model's part of the scenario into scenarioPlan.
void installScenario(const Scenario& s);

// The scenario's `group G C = V` lines into world.groups.
void applyGroupOverrides(const Scenario& s);
