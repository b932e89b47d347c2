// What ombrane-batch (and ombrane-lab, for its pictures) asks of the operating
// system. system_posix.cpp answers for Linux; system_win32.cpp for the Windows
// cross build of ombrane-batch, which exists so that the golden runs can be
// checked under Wine and draws no pictures.
#pragma once

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
