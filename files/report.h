// Report file and save-file names.
#pragma once

// Opens path in the given mode ("a" or "w"), writes text with every line feed
// written as CR LF, closes it. 0 on success; -1 when the file cannot be
// opened, a write or the close fails: world.reportLinesLost counts it, and
// the first failure since the last success or the last "w" is logged with
// the system's reason.
int appendReportLine(const char* text, const char* path, const char* mode);

// "<groupsName>, Time, AVG ALL, AVG  n..." and a line feed, in a 600-byte buffer.
const char* buildReportHeader();

// Forms the Save command's file name in world.chosenPath and returns it;
// null (with errorText set and logged) when it would not fit.
const char* saveFileName();
