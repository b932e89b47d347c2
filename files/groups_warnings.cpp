// The groups reader's judgement of what it reads: the rule of each column
// (what the reader takes as written), the header row in force, and what the
// next placement will make of the counts; each doubt becomes a warning that
// names the file and the line.
#include "files/groups.h"

#include "core/platform.h"
#include "core/sim.h"
#include "core/world.h"
#include "files/groups_internal.h"

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static_assert(sizeof reader.groupLine / sizeof reader.groupLine[0] == MaxGroups);

using namespace groupsReading;

const char* groupsReading::readingPath = nullptr;
int groupsReading::readingLine = 0;

namespace {
GroupsWarningSink warningSink = nullptr;
}  // namespace

void groupsReading::warn(int line, WarningKind kind, const char* format, ...) {
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

namespace {

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

}  // namespace

void groupsReading::checkField(char letter, const char* field) {
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

namespace {

bool knownLetter(char c) { return c && std::strchr("ZABCDEFGHIKLMNPQR1234", c) != nullptr; }

}  // namespace

// The header row in force is judged once, when a data row first uses it:
// only the last of several header rows counts, and comment rows are header
// rows too.
void groupsReading::judgeHeader(const char* letters) {
    if (reader.headerJudged || reader.headerLine == 0)
        return;
    reader.headerJudged = 1;
    int known = 0;
    for (const char* p = letters + 1; *p; p++)
        known += knownLetter(*p);
    const char* blanks =
        reader.headerBlankLetters ? "; its fields begin with blanks: remove the blanks after the commas" : "";
    const char* semicolons =
        reader.headerSemicolons ? "; it is split by semicolons: save the file with commas between fields" : "";
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
void groupsReading::noteHeader(const char* line, int lineNumber) {
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

void setGroupsWarningSink(GroupsWarningSink sink) { warningSink = sink; }

bool readsAsWritten(char letter, const char* field, char* why, int whySize) {
    char text[200];
    bool as = judgeField(letter, field, text, sizeof text) == AsWritten;
    if (why && whySize > 0)
        std::snprintf(why, std::size_t(whySize), "%s", text);
    return as;
}

