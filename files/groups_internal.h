// What the groups reader's two files share: the reader (groups.cpp) and its
// judgement of what it reads (groups_warnings.cpp). Not for other callers.
#pragma once

namespace groupsReading {

// Car counts are summed over 50 groups and five columns each by placement;
// this bound keeps that sum far inside an int whatever a file asks for, and is
// still far more cars than the road holds.
constexpr long long CountLimit = 1000000;

int clampToInt(long long value);
// A count as the reader stores it: the leading whole number, held to CountLimit.
int readCount(const char* field);

// The file being read and its line, for the warnings; null and 0 outside a read.
extern const char* readingPath;
extern int readingLine;

enum WarningKind {
    Ordinary,       // the current edition's console
    Logged,         // the console has had its own older message for it
    Gross,          // a file that sets or places nothing: every edition's console
};

void warn(int line, WarningKind kind, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

// Warns when the field is not read as written.
void checkField(char letter, const char* field);

// Notes what readHeaderRow cannot keep of a header row (blank-led fields,
// semicolons), before it is read.
void noteHeader(const char* line, int lineNumber);

// Judges the header row in force when a data row first uses it.
void judgeHeader(const char* letters);

}  // namespace groupsReading
