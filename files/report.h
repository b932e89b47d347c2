// The report file beside the groups file.
#pragma once

// Opens path in the given mode ("a" or "w"), writes text with every line feed
// written as CR LF, closes it. 0 on success; -1 (and a console message) when
// the file cannot be opened.
int appendReportLine(const char* text, const char* path, const char* mode);

// Makes the tick write its report lines with appendReportLine; each program
// calls it once at start-up.
void connectReportFile();
