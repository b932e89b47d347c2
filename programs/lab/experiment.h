// An experiment: one base groups file, the settings of every run, and the
// values to vary. The file is read whole and checked before anything runs.
#pragma once

#include <string>
#include <vector>

// What a vary line changes: a groups-file column, or, with a scenario base,
// the seed, the start speed, or an event's time or value.
enum VaryKind { VaryColumn, VarySeed, VaryStartSpeed, VaryEventTime, VaryEventValue };

// One `vary ... = ...` line: column C of group G (or the kind's value) takes
// each value in turn.
struct Vary {
    int kind = VaryColumn;
    int group = 0;                    // 0 to 49
    char column = 0;                  // a groups-file column letter
    int event = 0;                    // VaryEventTime, VaryEventValue: 1 up, in file order
    std::vector<std::string> values;  // as written into the groups file
    int line = 0;                     // of the experiment file, for messages
    bool together = false;            // changes in step with the vary before it
};

struct Experiment {
    std::string path;               // the experiment file as given
    std::string basePath;           // base groups file or scenario, relative to the experiment file's folder
    int baseLine = 0;               // of the base line, for messages
    bool scenarioBase = false;      // the base is a scenario (by its name, .scenario)
    std::string scenarioText;       // the scenario's bytes, once read
    bool randomness = false;        // once the scenario is read: its runs draw random
                                    // numbers, so each repeat is a seed
    long steps = 4800;              // steps per run
    bool stepsGiven = false;        // by a steps line (else a scenario base's own count)
    int measureLine = 0;            // of warmup, steps or period, for messages
    long warmup = 0;                // steps not measured
    long period = 80;               // steps per measuring period
    std::vector<std::string> detectors;  // ft, as written; empty: ombrane-batch's default (0)
    std::vector<std::string> sections;   // "FROM..TO" in ft; empty: density and flow from
                                         // the whole road and the detectors
    int legacy = 0;                 // flag: the earlier edition
    int zone = 0;                   // flag: construction zone on
    long repeat = 1;                // runs per combination of values
    int builtInDefaults = 0;        // flag: a varied group the base does not set
                                    // takes the built-in values (defaults = built-in)
    int defaultsLine = 0;           // of the defaults line, for messages
    std::vector<Vary> varies;       // in file order; the first varies slowest
    std::string baseChecksum;       // of the base's text (checksumOf), once it is read
};

// A checksum to tell texts apart (not a guard against forgery).
std::string checksumOf(const std::string& text);

// Largest experiment file read, and largest base groups file.
constexpr long MostExperimentBytes = 1L << 20;
constexpr long MostBaseBytes = 16L << 20;

// Reads an input file whole: only a regular file (not a folder, device or
// FIFO, which could hang or never end) of at most limit bytes. False with a
// message "PATH: reason", and *refused set when the file is there but is no
// such file (rather than missing or unreadable).
bool readInputFile(const std::string& path, long limit, std::string& text, std::string& problem,
                   bool* refused = nullptr);

// One run: its number (1 up) and the index of its value in each vary.
struct RunPlan {
    int number = 0;
    std::vector<int> choice;  // one per vary
    int repeat = 1;           // 1 to Experiment::repeat
};

// Feet of road a "FROM..TO" section covers (running past the road's end when
// FROM > TO, the whole road when they are equal); 0 when it is not one.
double sectionLength(const std::string& section);

// Whether the groups-file reader knows column letter c ('#' excluded).
bool knownColumn(char c);

// Reads the experiment from text. On failure returns false with a message
// "PATH:LINE: reason" (or "PATH: reason" for what no line holds). More than
// maxRuns runs is refused unless force is set.
bool parseExperiment(const std::string& text, const std::string& path, Experiment& e,
                     std::string& problem, bool force, long maxRuns = 10000);

// Whether at least one whole measuring period follows the warm-up; false
// with "PATH:LINE: reason" naming the warmup, steps or period line.
bool checkMeasuredPeriods(const Experiment& e, std::string& problem);

// Reads the file; false with a message when it cannot be read or parsed.
// *exitCode is set to 1 (unreadable) or 2 (bad contents).
bool loadExperiment(const std::string& path, Experiment& e, std::string& problem, bool force,
                    int* exitCode);

// The base file's path as the program opens it (the experiment's folder
// joined with basePath unless that is absolute).
std::string basePathOf(const Experiment& e);

// Total runs: the product of the value counts times repeat (a vary that
// changes together with another adds none).
long runCount(const Experiment& e);

// Every run, numbered 1 up; the last vary changes fastest, then the repeat;
// a vary together with the one before it takes that one's value index.
std::vector<RunPlan> planRuns(const Experiment& e);

// Run number (1 to runCount) alone.
RunPlan planOf(const Experiment& e, long number);

// The experiment written back in the same syntax with every value listed and
// the base named baseName: what a results folder keeps, and what a rerun into
// it must match.
std::string canonicalText(const Experiment& e, const std::string& baseName);

// A run's groups file: the base's lines that the reader would read, then a
// header row of the varied columns and one row per varied group, so that the
// run's values are read last and win. A column the base lacks is added so.
// Without withVaries (a scenario base, whose runs' scenarios carry the
// varied values) the base's lines alone.
std::string runGroupsText(const std::string& baseText, const Experiment& e, const RunPlan& run,
                          bool withVaries = true);

// What a run is: the settings, the base's checksum, the run's values and
// its repeat. Two runs with the same key give the same result, whatever
// their numbers.
std::string runKey(const Experiment& e, const RunPlan& run);

// "0.N" for a vary: the column name of its values in results ("seed",
// "start_speed", "event2_time", "event1_value" for the other kinds).
std::string varyName(const Vary& v);

// The vary as an experiment file names it: "0.N", "seed", "start speed",
// "event 2 time".
std::string varyTarget(const Vary& v);

// Whether text is a seed: a whole number from 0 to 2^64-1, digits alone.
bool seedValue(const std::string& text, unsigned long long* out);

// The vary of the seed, or -1.
int seedVary(const Experiment& e);

// The run's seed as written: the varied seed, else its repeat when the runs
// draw random numbers; empty when they do not.
std::string runSeed(const Experiment& e, const RunPlan& run);

// The columns of results.csv between `run` and the measures: each vary's
// name, then `seed` (randomness, seed not varied) or `repeat` (no
// randomness, repeat above 1).
std::vector<std::string> leadColumns(const Experiment& e);

// Those columns' values for a run.
std::vector<std::string> leadValues(const Experiment& e, const RunPlan& run);

// The run's folder name under runs/: its number, zero-padded to the width of
// the largest number (at least 4 digits).
std::string runFolderName(int number, long total);
