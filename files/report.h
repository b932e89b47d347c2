// The report file beside the groups file.
#pragma once

// Opens path in the given mode ("a" or "w"), writes text with every line feed
// written as CR LF, closes it. 0 on success; -1 when the file cannot be
// opened, a write or the close fails: world.reportLinesLost counts it, and
// the first failure since the last success or the last "w" is logged with
// the system's reason.
int appendReportLine(const char* text, const char* path, const char* mode);

// Cuts the report file at `path` after the header and the lines written
// before `step` (a line's time is its step in whole seconds), so that a run
// gone back to that step appends its lines after them. A line that is not a
// report line ends what is kept. *lastSecond gets the time of the last line
// kept, -1 when only the header is. 0 when the file cannot be read or cut:
// it is then left as it was.
int cutReportFile(const char* path, int step, int stepsPerSecond, int* lastSecond);

// Makes the tick write its report lines with appendReportLine; each program
// calls it once at start-up.
void connectReportFile();
