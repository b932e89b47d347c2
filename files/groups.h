// Groups file reader and the colour lookups.
#pragma once

#include <cstdio>

enum { ReaderLineSize = 1024 };     // groups-file line buffer and column letters

// What the reader keeps between calls. The column letters outlive a file on
// purpose: a later file without a header row is read with the letters of the
// last header seen.
struct GroupsReader {
    char columnLetters[ReaderLineSize];     // "#" first once a header was read
    char lineBuffer[ReaderLineSize];        // the row being read
    const char* rememberedColourName;       // last name found by colourName
};
extern GroupsReader reader;

// The reader as a process starts with it.
void resetReader();

// First table entry whose name equals the text exactly (case-sensitive);
// -1 when none does.
int colourByName(const char* text);

// Name of the first entry with that value, remembered; for an unknown value
// the name remembered by the last successful call (null before any).
const char* colourName(int value);

// Reads up to a line feed, the end of the file or an error. Carriage returns
// are dropped; the line feed is stored unless the edition drops it. Stores at
// most limit-1 characters and a terminating zero. Returns the characters
// stored plus 1; *full is set when the buffer filled before a line feed.
int readLine(char* buffer, int limit, std::FILE* file, int* full);

// Field from the cursor to the next comma (which becomes a terminator) or to
// the end of the line (the cursor then becomes null). Null for a null cursor.
char* nextField(char** cursor);

// Stores the first character of every field (blank for an empty field) in
// letters (ReaderLineSize bytes; later fields are dropped); returns the
// number of letters.
int readHeaderRow(char* letters, char* line);

// Applies one data row to world.groups; returns the group number last
// selected, 0 to 49. A field whose number is not finite leaves its value
// unchanged (with a console message); counts are kept within +-1000000.
int readGroupRow(char* line, const char* letters);

// One value of a column (not '#') stored into world.groups[group] by the
// rule a data row's field of that column follows; group is 0 to 49.
void applyGroupColumn(int group, char letter, const char* field);

// Reads the file into world.groups; returns carCountsRead. groupRowsRead 0
// means failure, with the reason in errorText; errorText set with rows read
// means the rest of the file was not read. A byte-order mark at the start is
// skipped. Sets fileOutput to 1 first, so a "-" in column R holds for this
// file only.
int readGroupsFile(const char* path);
