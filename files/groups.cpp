// The groups-file reader: a header row of column letters, then one row per
// group. Everything is read into world.groups in place; the file's bytes are
// trusted for nothing, so every store is bounded and every number checked.
#include "files/groups.h"

#include "core/platform.h"
#include "core/sim.h"
#include "core/world.h"
#include "files/paths.h"

#include <cerrno>
#include <cstdarg>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

GroupsReader reader;
static_assert(sizeof reader.groupLine / sizeof reader.groupLine[0] == MaxGroups);

void resetReader() { std::memset(&reader, 0, sizeof reader); }

namespace {

GroupsWarningSink warningSink = nullptr;
// The file being read and its line, for the warnings; null and 0 outside a read.
const char* readingPath = nullptr;
int readingLine = 0;

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

void warn(int line, WarningKind kind, const char* format, ...) {
    char text[320];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (reader.warnings < INT_MAX)
        reader.warnings++;
    const char* path = readingPath ? readingPath : "(groups row)";
    if (warningSink) {
        warningSink(path, line, text);
        return;
    }
    if (kind == Logged || (kind == Ordinary && !world.edition->logsFileWarnings))
        return;
    if (line > 0)
        ConsoleLog(">> %s:%d: %s\r\n", path, line, text);
    else
        ConsoleLog(">> %s: %s\r\n", path, text);
}

// The field as quoted in a message: at most 40 characters, no line feed.
struct Quoted {
    char text[48];
    explicit Quoted(const char* field) {
        int length = int(std::strcspn(field, "\n"));
        if (length > 40)
            std::snprintf(text, sizeof text, "%.37s...", field);
        else
            std::snprintf(text, sizeof text, "%.*s", length, field);
    }
};

// Car counts are summed over 50 groups and five columns each by placement;
// this bound keeps that sum far inside an int whatever a file asks for, and is
// still far more cars than the road holds.
constexpr long long CountLimit = 1000000;

int clampToInt(long long value) {
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return int(value);
}

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

int readCount(const char* field) {
    long long count = readNumber(field);
    if (count > CountLimit)
        return int(CountLimit);
    if (count < -CountLimit)
        return int(-CountLimit);
    return int(count);
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

void checkField(char letter, const char* field);

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
    default:
        break;
    }
}

enum FieldVerdict { AsWritten, ReadOtherwise, Unusable, UnknownColour };

bool onlyBlanksFrom(const char* p) {
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r')
        p++;
    return *p == 0;
}

bool isWholeColumn(char letter) { return letter && std::strchr("#EFIN1234", letter); }
bool isRealColumn(char letter) { return letter && std::strchr("ABCDGHKLMPQ", letter); }

// What a whole number of that column means outside the values it holds; null
// when the value is one it holds.
const char* outsideWhole(char letter, long long n, char* why, int size) {
    switch (letter) {
    case '#':
        if (n < 0 || n >= MaxGroups)
            std::snprintf(why, size_t(size), "group %lld is outside 0 to 49: the row's fields went to group 0", n);
        break;
    case 'E':
        if (n < 0 || n > LaneTotal)
            std::snprintf(why, size_t(size), "%lld is no lane (1 to 4): the group has no preferred lane", n);
        break;
    case 'F':
        if (n != 0 && n != 1 && (n < Never || n > Crazily))
            std::snprintf(why, size_t(size),
                          "%lld is no left-change code (0, 1, 10 to 15): the group's cars never move left", n);
        break;
    case 'I':
        if ((n < 1 || n > 4) && (n < Never || n > Crazily))
            std::snprintf(why, size_t(size),
                          "%lld is no right-change code (1 to 4, 10 to 15): the group's cars never move right", n);
        break;
    default:  // counts of cars
        if (n < 0)
            std::snprintf(why, size_t(size), "a count of %lld cars places none", n);
        else if (n > CountLimit)
            std::snprintf(why, size_t(size), "%lld cars were held to %lld", n, CountLimit);
        break;
    }
    return why[0] ? why : nullptr;
}

FieldVerdict judgeField(char letter, const char* field, char* why, int size) {
    why[0] = 0;
    if (isWholeColumn(letter)) {
        char* end = nullptr;
        errno = 0;
        long long n = std::strtoll(field, &end, 10);
        if (end == field) {
            std::snprintf(why, size_t(size), "'%s' is no whole number: read as 0", Quoted(field).text);
            return ReadOtherwise;
        }
        if (errno == ERANGE || !onlyBlanksFrom(end)) {
            std::snprintf(why, size_t(size), "'%s' is read as %d", Quoted(field).text,
                          letter == '#' || letter == 'E' || letter == 'F' || letter == 'I'
                              ? clampToInt(n) : readCount(field));
            return ReadOtherwise;
        }
        return outsideWhole(letter, n, why, size) ? ReadOtherwise : AsWritten;
    }
    if (isRealColumn(letter)) {
        char* end = nullptr;
        double value = std::strtod(field, &end);
        if (end == field) {
            std::snprintf(why, size_t(size), "'%s' is no number: read as 0", Quoted(field).text);
            return ReadOtherwise;
        }
        double scale = std::strchr("CGHKLPQ", letter) ? world.carLength
                     : letter == 'D' ? world.stepsPerSecond : 1;
        double held = std::strchr("CGHKL", letter) ? (value - 1) * scale : value * scale;
        if (!std::isfinite(value) || !std::isfinite(held) || std::fabs(value) > FLT_MAX ||
            std::fabs(held) > FLT_MAX) {
            std::snprintf(why, size_t(size), "'%s' is not a usable number: the value before it was kept",
                          Quoted(field).text);
            return Unusable;
        }
        if (!onlyBlanksFrom(end)) {
            std::snprintf(why, size_t(size), "'%s' is read as %g", Quoted(field).text, value);
            return ReadOtherwise;
        }
        return AsWritten;
    }
    if (letter == 'Z' && colourByName(field) == -1) {
        const char* instead = world.edition->logsUnknownColour ? "Black is used" : "the group has no colour";
        int length = int(std::strlen(field));
        if (length > 0 && field[length - 1] == '\n') {
            char name[ReaderLineSize];
            std::snprintf(name, sizeof name, "%.*s", length - 1, field);
            if (colourByName(name) != -1) {
                std::snprintf(why, size_t(size),
                              "'%s' in the last column keeps the line feed, so it is no colour name: "
                              "%s (add a column after it)", Quoted(field).text, instead);
                return UnknownColour;
            }
        }
        std::snprintf(why, size_t(size), "'%s' is no colour name%s: %s", Quoted(field).text,
                      field[0] == ' ' ? " (it begins with a blank)" : "", instead);
        return UnknownColour;
    }
    return AsWritten;
}

// Says so when the field is not read as written.
void checkField(char letter, const char* field) {
    // Under a header that knows no column, the header's warning says it all.
    if (reader.headerKnowsNothing)
        return;
    char why[200];
    FieldVerdict verdict = judgeField(letter, field, why, sizeof why);
    if (verdict == AsWritten)
        return;
    bool logged = verdict == Unusable || (verdict == UnknownColour && world.edition->logsUnknownColour);
    warn(readingLine, logged ? Logged : Ordinary, "column %c: %s", letter, why);
}

bool knownLetter(char c) { return c && std::strchr("ZABCDEFGHIKLMNPQR1234", c) != nullptr; }

// The header row in force is judged once, when a data row first uses it:
// only the last of several header rows counts, and comment rows are header
// rows too.
void judgeHeader(const char* letters) {
    if (reader.headerJudged || reader.headerLine == 0)
        return;
    reader.headerJudged = 1;
    int known = 0;
    for (const char* p = letters + 1; *p; p++)
        known += knownLetter(*p);
    const char* blanks = reader.headerBlankLetters ? "; its fields begin with blanks: remove the blanks after the commas" : "";
    const char* semicolons = reader.headerSemicolons ? "; it is split by semicolons: save the file with commas between fields" : "";
    reader.headerKnowsNothing = known == 0;
    if (known == 0)
        warn(reader.headerLine, Gross,
             "the header row names no known column (Z, A to I, K to N, P to R, 1 to 4), "
             "so the rows below it set nothing but their group%s%s", blanks, semicolons);
    else if (reader.headerBlankLetters)
        warn(reader.headerLine, Ordinary,
             "%d fields of the header row begin with a blank, so their columns were ignored: "
             "remove the blanks after the commas", reader.headerBlankLetters);
}

// Notes what readHeaderRow cannot keep: fields that begin with a blank, and
// semicolons, a spreadsheet's separator in some countries.
void noteHeader(const char* line, int lineNumber) {
    reader.headerLine = lineNumber;
    reader.headerJudged = 0;
    reader.headerKnowsNothing = 0;
    reader.headerBlankLetters = 0;
    reader.headerSemicolons = std::strchr(line, ';') != nullptr;
    for (const char* field = line;;) {
        if ((field[0] == ' ' || field[0] == '\t') && knownLetter(field[std::strspn(field, " \t")]))
            reader.headerBlankLetters++;
        const char* comma = std::strchr(field, ',');
        if (!comma)
            break;
        field = comma + 1;
    }
}

}  // namespace

void warnOfPlacement(const char* path) {
    readingPath = path;
    if (carsToPlace() <= 0) {
        warn(0, Gross,
             "no row places a car (no count above 0 in columns N and 1 to 4): the road keeps the cars it has");
        readingPath = nullptr;
        return;
    }
    static int unplaced[MaxGroups][LaneTotal + 1];
    if (unplacedCars(unplaced) == 0) {
        readingPath = nullptr;
        return;
    }
    const int perLane = world.placementSpacing > 0 ? int(world.roadLength / world.placementSpacing) : 0;
    int told = 0;
    for (int k = 0; k <= LaneTotal; k++)
        for (int g = 0; g < MaxGroups; g++) {
            if (unplaced[g][k] == 0)
                continue;
            if (++told > 10)
                continue;
            const Group& group = world.groups[g];
            if (k < LaneTotal)
                warn(reader.groupLine[g], Ordinary,
                     "lane %d holds %d cars: %d of the %d that group %d asks for in column %d were not placed",
                     k + 1, perLane, unplaced[g][k], group.laneCount[k], g, k + 1);
            else
                warn(reader.groupLine[g], Ordinary,
                     "the road holds %d cars: %d of the %d that group %d asks for in column N were not placed",
                     perLane * LaneTotal, unplaced[g][k], group.carCount, g);
        }
    if (told > 10)
        warn(0, Ordinary, "the cars of %d more groups and lanes were not placed either", told - 10);
    readingPath = nullptr;
}

namespace {

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

void setGroupsWarningSink(GroupsWarningSink sink) { warningSink = sink; }

bool readsAsWritten(char letter, const char* field, char* why, int whySize) {
    char text[200];
    bool as = judgeField(letter, field, text, sizeof text) == AsWritten;
    if (why && whySize > 0)
        std::snprintf(why, std::size_t(whySize), "%s", text);
    return as;
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
