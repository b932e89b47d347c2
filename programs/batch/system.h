// What ombrane-batch (and ombrane-lab, for its pictures) asks of the operating
// system. system_posix.cpp answers for Linux; system_win32.cpp for the Windows
// cross build of ombrane-batch, which exists so that the golden runs can be
// checked under Wine and draws no pictures.
#pragma once

#include <string>

// Whether standard error is a terminal (the progress line is shown only then).
bool stderrIsTerminal();

// Whether an executable of that name is in a folder of PATH.
bool programOnPath(const char* name);

// The folder exists or has been made; false with errno set otherwise.
bool makeFolder(const char* dir);

// Runs gnuplot in `dir` on the scripts, named relative to it as a user would
// run them; what gnuplot says goes to dir/gnuplot.log. True when it ran and
// succeeded.
bool runGnuplotIn(const char* dir, const char* const scripts[], int count);

// What a path names, so that two spellings of one file (./m.csv and m.csv, a
// link, on Windows another case) give the same text and two files never do:
// the file's identity where it exists, or else where it would be made.
std::string fileIdentity(const std::string& path);
