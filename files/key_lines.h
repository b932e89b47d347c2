// The line reading that the scenario files and the lab's experiment files
// share: `KEY = VALUE` a line, `#` to the end of a line a comment, and every
// refusal as "FILE:LINE: reason".
#pragma once

#include <string>
#include <vector>

// A line with its comment and outer blanks removed; empty lines are skipped.
struct TextLine {
    int number;         // 1 up
    std::string text;
};

// Lines end in a line feed, a carriage return and line feed, or a carriage
// return alone; a UTF-8 byte-order mark before the first is skipped.
std::vector<std::string> splitLines(const std::string& text);

std::vector<TextLine> meaningfulLines(const std::string& text);

// "KEY = VALUE" split at the first '=', both sides trimmed; false without '='.
bool splitKeyValue(const std::string& line, std::string& key, std::string& value);

std::string trim(const std::string& s);

// "a, b, c" into its trimmed parts (one part, maybe empty, without a comma).
std::vector<std::string> splitList(const std::string& s);

// A whole number written alone, within low..high.
bool wholeNumber(const std::string& text, long low, long high, long* out);

// A finite decimal number written alone.
bool realNumber(const std::string& text, double* out);

// "PATH:LINE: reason", or "PATH: reason" for line 0.
std::string lineProblem(const std::string& path, int line, const std::string& reason);

// The whole file as text. False for a missing or unreadable file or a
// folder, with problem "PATH: cannot read it".
bool readWholeFile(const std::string& path, std::string& text, std::string& problem);

// `name` as seen from the folder of `from` (a file path), unless it is absolute.
std::string besideFile(const std::string& from, const std::string& name);
