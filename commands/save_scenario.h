// File > Save Scenario As: what the user did in the window, written as a
// scenario file that ombrane-batch runs into the same report file. The text
// is formed here; the window only asks for the name.
#pragma once

#include <string>
#include <vector>

struct SessionScenario {
    std::string text;                   // the file's contents
    std::vector<std::string> notes;     // what the file cannot say, one line each
    std::string refusal;                // why nothing can be written; empty if it can
};

// The present run as a scenario to be written at `path`: the groups file in
// use named relative to it, the opened scenario's own lines (if the run is a
// scenario's), the construction zone as the run started, every input of the
// present history as a timed event at the step it took effect, and `steps`
// of the present step. Each event is read back by the scenario reader
// before it is written; one it refuses is left out and noted.
SessionScenario sessionScenario(const std::string& path);

// The groups file's path as seen from a scenario at `scenarioPath`, with '/'
// between folders; empty when one path is absolute and the other not.
std::string relativeGroupsPath(const std::string& scenarioPath, const std::string& groupsPath);

// Forms the text and writes it, logging the saved name and every note in
// the console; 1 when the file was written.
int saveScenarioCommand(const char* path);
