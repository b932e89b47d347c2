// The groups-file reader: a header row of column letters, then one row per
// group. Everything is read into world.groups in place; the file's bytes are
// trusted for nothing, so every store is bounded and every number checked.
#include "files/groups.h"

#include "core/platform.h"
#include "core/sim.h"
#include "core/world.h"
#include "files/groups_internal.h"
#include "files/paths.h"

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

GroupsReader reader;
char groupNames[50][GroupNameSize];
static_assert(sizeof groupNames / sizeof groupNames[0] == MaxGroups, "a name per group");

void resetReader() { std::memset(&reader, 0, sizeof reader); }

using namespace groupsReading;

int groupsReading::clampToInt(long long value) {
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return int(value);
}

int groupsReading::readCount(const char* field) {
    char* end = nullptr;
    long long count = std::strtoll(field, &end, 10);
    if (count > CountLimit)
        return int(CountLimit);
    if (count < -CountLimit)
        return int(-CountLimit);
    return int(count);
}

namespace {

// The leading decimal integer, as the standard conversion reads it; 0 when
// there is none. Read as long long so that both builds saturate alike.
int readNumber(const char* text, bool* found = nullptr) {
    char* end = nullptr;
    long long value = std::strtoll(text, &end, 10);
    if (found)
        *found = end != text;
    return clampToInt(value);
}

double readReal(const char* text) {
    return std::strtod(text, nullptr);
}

void saturatingIncrement(int& counter) {
    if (counter < INT_MAX)
        counter++;
}

bool inGroupRange(int group) { return group >= 0 && group < MaxGroups; }

// A value the model cannot use leaves the field as it was; the user is told
// which column held it.
bool usable(char letter, const char* field, double value) {
    if (std::isfinite(value) && std::fabs(value) <= FLT_MAX)
        return true;
    int length = int(std::strlen(field));
    if (length > 0 && field[length - 1] == '\n')
        length--;
    ConsoleLog(">> Column %c value %.*s is not a usable number\r\n", letter, length, field);
    return false;
}

void storeLength(float& target, char letter, const char* field) {
    // In car lengths, counted from the car's own front: 1 means bumper to bumper.
    double value = (readReal(field) - 1.0) * world.carLength;
    if (usable(letter, field, value))
        target = float(value);
}

void storeZone(float& target, char letter, const char* field) {
    double real = readReal(field);
    if (!usable(letter, field, real))
        return;
    double value = double(float(real)) * world.carLength;
    if (usable(letter, field, value))
        target = float(value);
}

void storeReal(float& target, char letter, const char* field) {
    double value = readReal(field);
    if (usable(letter, field, value))
        target = float(value);
}

void readColour(Group& group, const char* field) {
    int colour = colourByName(field);
    if (colour == -1 && world.edition->logsUnknownColour) {
        ConsoleLog(">> Color Name %s is unknown.  Using Black\r\n", field);
        colour = colourByName("Black");
    }
    group.colour = colour;
}

// Column R marks the group as reported and may carry one world-wide option.
void readReportField(Group& group, const char* field) {
    group.reportFlag = 0;
    for (const char* p = field; *p; p++) {
        if (*p == ' ')
            continue;
        group.reportFlag = 1;
        if (*p == '#') {
            long long seconds = readNumber(p + 1);
            world.reportPeriod = clampToInt(seconds * world.stepsPerSecond);
            int perSecond = world.stepsPerSecond > 0 ? world.stepsPerSecond : 1;
            ConsoleLog("cvs_report_period=%d secs\r\n", world.reportPeriod / perSecond);
            return;
        }
        if (*p == '-') {
            world.fileOutput = 0;
            ConsoleLog("File Output Turned Off\r\n");
            return;
        }
    }
}

// Blanks and the line feed around the name are dropped; a long name is cut.
void storeName(int group, const char* field) {
    while (*field == ' ')
        field++;
    int length = int(std::strlen(field));
    while (length > 0 && (field[length - 1] == '\n' || field[length - 1] == ' '))
        length--;
    std::snprintf(groupNames[group], GroupNameSize, "%.*s", length, field);
}

// Applies one non-empty field; may select another group through `group`.
void applyField(char letter, const char* field, int& group) {
    checkField(letter, field);
    Group& g = world.groups[group];
    switch (letter) {
    case '#':
        group = readNumber(field);
        saturatingIncrement(world.groupRowsRead);
        reader.groupLine[inGroupRange(group) ? group : 0] = readingLine;
        break;
    case 'Z': readColour(g, field); break;
    case 'A': storeReal(g.desiredSpeed, letter, field); break;
    case 'B': storeReal(g.acceleration, letter, field); break;
    case 'C': storeLength(g.followDistance, letter, field); break;
    case 'D': {
        double steps = readReal(field) * world.stepsPerSecond;
        if (usable(letter, field, steps))
            g.startDelay = steps >= double(INT_MAX) ? INT_MAX
                         : steps <= double(INT_MIN) ? INT_MIN
                         : int(steps);
        break;
    }
    case 'E': {
        int n = readNumber(field);
        g.preferredLane = n > 0 ? n - 1 : n;
        g.hasPreferredLane = g.preferredLane >= 0 && g.preferredLane < LaneTotal;
        break;
    }
    case 'F': {
        int code = readNumber(field);
        g.leftPolicy = code == 0 ? Always : code == 1 ? FDist : code;
        break;
    }
    case 'G': storeLength(g.leftAhead, letter, field); break;
    case 'H': storeLength(g.leftBehind, letter, field); break;
    case 'I': {
        int code = readNumber(field);
        g.rightPolicy = code == 1 ? Always : code == 2 ? FDist : code == 3 ? Never
                      : code == 4 ? EuCarBehind : code;
        break;
    }
    case 'K': storeLength(g.rightAhead, letter, field); break;
    case 'L': storeLength(g.rightBehind, letter, field); break;
    case 'M': storeReal(g.laneChangeTime, letter, field); break;
    case 'N':
        g.carCount = readCount(field);
        saturatingIncrement(world.carCountsRead);
        break;
    case 'P': storeZone(g.aheadZone, letter, field); break;
    case 'Q': storeZone(g.behindZone, letter, field); break;
    case 'R': readReportField(g, field); break;
    case '1': case '2': case '3': case '4':
        g.laneCount[letter - '1'] = readCount(field);
        break;
    case 'W': storeName(group, field); break;
    default:
        break;
    }
}


// A spreadsheet's "CSV UTF-8" starts the file with a byte-order mark, which
// would hide the header row's "#".
void skipByteOrderMark(char* line) {
    if (std::strncmp(line, "\xEF\xBB\xBF", 3) == 0)
        std::memmove(line, line + 3, std::strlen(line + 3) + 1);
}

// readLine stores a NUL byte like any other, but every later step stops at it.
void warnOfNulByte(const char* line, int stored, int lineNumber) {
    if (int(std::strlen(line)) < stored) {
        ConsoleLog(">> Line %d holds a NUL byte: the rest of the line was ignored\r\n", lineNumber);
        warn(lineNumber, Logged, "a NUL byte: the rest of the line was ignored");
    }
}

// Whether the file's first line ends in a carriage return alone; looks at
// no more than one line's worth of bytes from the start.
bool endsLinesInCarriageReturn(std::FILE* file) {
    std::clearerr(file);
    if (std::fseek(file, 0, SEEK_SET) != 0)
        return false;
    for (int i = 0; i < ReaderLineSize; i++) {
        int c = std::getc(file);
        if (c == '\r')
            return true;
        if (c == EOF || c == '\n')
            return false;
    }
    return false;
}

// Nothing could be used: the verdict keeps the reader's own error beside it,
// and a file without a line feed says that its line ends are the likely cause.
void explainNoGroups(std::FILE* file, bool noLineFeed) {
    // The reader's own errors are short; a long one gives way to the verdict.
    char reason[80];
    std::snprintf(reason, sizeof reason, "%.*s", int(sizeof reason) - 1, world.errorText);
    const char* lineEnds = noLineFeed && endsLinesInCarriageReturn(file)
        ? "; its lines end in a carriage return alone: save it with CR LF or LF line ends" : "";
    std::snprintf(world.errorText, sizeof world.errorText, "No Groups -- this may not be a groups-file%s%s%s%s",
                  reason[0] ? " (" : "", reason, reason[0] ? ")" : "", lineEnds);
}

}  // namespace

void applyGroupColumn(int group, char letter, const char* field) {
    if (letter == '#' || !inGroupRange(group))
        return;
    applyField(letter, field, group);
}

int readLine(char* buffer, int limit, std::FILE* file, int* full) {
    *full = 0;
    if (limit < 1) {
        *full = 1;
        return 0;
    }
    int stored = 0;
    for (;;) {
        if (stored >= limit - 1) {
            *full = 1;
            break;
        }
        int c = std::getc(file);
        if (c == EOF)
            break;
        if (c == '\r')
            continue;
        if (c == '\n') {
            if (world.edition->readerKeepsLineFeed)
                buffer[stored++] = '\n';
            break;
        }
        buffer[stored++] = char(c);
    }
    buffer[stored] = 0;
    return stored + 1;
}

char* nextField(char** cursor) {
    if (!cursor || !*cursor)
        return nullptr;
    char* field = *cursor;
    char* comma = std::strchr(field, ',');
    if (comma) {
        *comma = 0;
        *cursor = comma + 1;
    } else {
        *cursor = nullptr;
    }
    return field;
}

int readHeaderRow(char* letters, char* line) {
    int count = 0;
    char* cursor = line;
    for (char* field; (field = nextField(&cursor)) != nullptr;) {
        if (count >= ReaderLineSize - 1)
            break;
        letters[count++] = field[0] ? field[0] : ' ';
    }
    letters[count] = 0;
    return count;
}

int readGroupRow(char* line, const char* letters) {
    char* cursor = line;
    char* field = nextField(&cursor);
    if (!field || !letters[0])
        return 0;
    int group = 0;
    for (int i = 0;; i++) {
        if (!inGroupRange(group))
            group = 0;
        if (i == 0) {
            bool found = false;
            readNumber(field, &found);
            if (!found)
                return group;
            judgeHeader(letters);
        }
        if (field[0])
            applyField(letters[i], field, group);
        field = nextField(&cursor);
        if (!field || !letters[i + 1])
            break;
    }
    return inGroupRange(group) ? group : 0;
}

int readGroupsFile(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        world.carCountsRead = 0;
        world.groupRowsRead = 0;
        reader.warnings = 0;
        reader.errorLine = 0;
        world.fileOutput = 1;
        std::snprintf(world.errorText, sizeof world.errorText, "Can't open %s", path);
        return 0;
    }
    int count = readGroupsStream(file, path);
    std::fclose(file);
    return count;
}

// Whether the line holds more than blanks.
static bool holdsText(const char* line) {
    return line[std::strspn(line, " \t\n")] != 0;
}

int readGroupsStream(std::FILE* file, const char* path) {
    world.carCountsRead = 0;
    world.groupRowsRead = 0;
    world.errorText[0] = 0;
    // A "-" in column R silences the report of the file that holds it only.
    world.fileOutput = 1;
    reader.warnings = 0;
    reader.errorLine = 0;
    reader.headerLine = 0;
    reader.headerJudged = 0;
    reader.headerKnowsNothing = 0;
    std::memset(reader.groupLine, 0, sizeof reader.groupLine);
    readingPath = path;

    int lineNumber = 1;
    int full = 0;
    for (;;) {
        errno = 0;
        readingLine = lineNumber;
        int stored = readLine(reader.lineBuffer, sizeof reader.lineBuffer, file, &full) - 1;
        // A last line without a line feed is not used.
        if (std::feof(file)) {
            if (stored > 0 && lineNumber > 1 && holdsText(reader.lineBuffer))
                warn(lineNumber, Ordinary,
                     "the last line has no line feed at its end, so it was not read: end the file with a line break");
            break;
        }
        if (std::ferror(file)) {
            std::snprintf(world.errorText, sizeof world.errorText, "Line %d read error: %s", lineNumber,
                          std::strerror(errno ? errno : EIO));
            reader.errorLine = lineNumber;
            break;
        }
        if (full) {
            std::snprintf(world.errorText, sizeof world.errorText, "Line %d too long", lineNumber);
            reader.errorLine = lineNumber;
            break;
        }
        warnOfNulByte(reader.lineBuffer, stored, lineNumber);
        if (lineNumber == 1)
            skipByteOrderMark(reader.lineBuffer);
        if (reader.lineBuffer[0] == '#') {
            noteHeader(reader.lineBuffer, lineNumber);
            readHeaderRow(reader.columnLetters, reader.lineBuffer);
        } else if (reader.columnLetters[0] == '#') {
            if (!world.newGroupsPending) {
                world.newGroupsPending = 1;
                for (Group& group : world.groups)
                    group.reportFlag = 0;
            }
            readGroupRow(reader.lineBuffer, reader.columnLetters);
        }
        saturatingIncrement(lineNumber);
    }
    if (world.groupRowsRead == 0)
        explainNoGroups(file, lineNumber == 1);
    readingPath = nullptr;
    readingLine = 0;
    return world.carCountsRead;
}

void applyGroupField(int group, char letter, const char* field) {
    if (inGroupRange(group) && letter != '#')
        applyField(letter, field, group);
}
