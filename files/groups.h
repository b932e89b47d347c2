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

    // Of the last readGroupsFile:
    int warnings;                           // warnings given (saturates)
    int errorLine;                          // line the read stopped at; 0 none
    int groupLine[50];                      // last line that set each group; 0 none
    // The header row in force, judged when a data row first uses it
    int headerLine;                         // 0: none of this file yet
    int headerJudged;                       // flag
    int headerBlankLetters;                 // fields that begin with a blank
    int headerSemicolons;                   // flag: a field holds a semicolon
    int headerKnowsNothing;                 // flag: judged, and no letter known
};
extern GroupsReader reader;

enum { GroupNameSize = 41 };        // 40 characters and the terminator

// Column W: each group's name as the groups file gives it, for the pictures'
// legends. The simulation never reads it; it is kept apart from the groups
// so that their records (and snapshots) stay as they are.
extern char groupNames[50][GroupNameSize];

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

// Where the reader's warnings go: the file as given, its line (0 for the
// file as a whole) and what was read instead of what the file most likely
// meant.
using GroupsWarningSink = void (*)(const char* path, int line, const char* text);

// Null, as a process starts: the console, every warning in the current
// edition and in the earlier one only those of a file whose header row
// knows no column or that places no car.
void setGroupsWarningSink(GroupsWarningSink sink);

// Whether the reader takes `field` in column `letter` as written: a whole
// number where the column holds one (0 to 49 for #, a count of cars from 0 to
// 1000000 for N and 1 to 4, a lane 0 to 4 for E, a policy code for F and I),
// a number the model can hold for the other number columns, a colour name for
// Z; blanks before a number and blanks or the line feed after it are allowed.
// Columns R and the unknown letters take any text. When not, `why` says
// what the reader makes of it.
bool readsAsWritten(char letter, const char* field, char* why, int whySize);

// One value of a column (not '#') stored into world.groups[group] by the
// rule a data row's field of that column follows; group is 0 to 49.
void applyGroupColumn(int group, char letter, const char* field);

// Reads the file into world.groups; returns carCountsRead. groupRowsRead 0
// means failure, with the reason in errorText; errorText set with rows read
// means the rest of the file was not read. A byte-order mark at the start is
// skipped. Sets fileOutput to 1 first, so a "-" in column R holds for this
// file only.
int readGroupsFile(const char* path);

// After a read that found rows, warns of what the next placement will do with
// the counts the groups hold: no car to place, or cars the road cannot hold
// (naming the line that last set each group of the file just read).
void warnOfPlacement(const char* path);

// As readGroupsFile, from an open file; `path` only names it in messages.
int readGroupsStream(std::FILE* file, const char* path);

// Stores `field` into group `group`'s column `letter` exactly as a data row
// of the groups file would: the same conversions, limits and console lines.
// Not for '#'.
void applyGroupField(int group, char letter, const char* field);
