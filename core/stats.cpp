// Per-group and overall average speeds, and the report and title lines.
#include "platform.h"
#include "sim.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

// Appends one formatted field if the whole of it fits in `room` bytes of the
// line (terminator not counted); a field that does not fit is left out whole,
// so that a line never holds half a number. Returns the new length.
int appendField(char* line, int length, int room, const char* format, ...) {
    char field[LineSize];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(field, sizeof field, format, args);
    va_end(args);
    if (n < 0 || length + n > room)
        return length;
    std::memcpy(line + length, field, size_t(n) + 1);
    return length + n;
}

}  // namespace

void computeAverages() {
    float total = 0;
    long long count = 0;
    for (Group& g : world.groups) {
        if (g.speedSamples == 0)
            continue;
        g.averageSpeed = float(double(g.speedSum) / g.speedSamples);
        count += g.speedSamples;
        total += g.speedSum;
        g.speedSamples = 0;
        g.speedSum = 0;
    }
    world.overallAverage = count != 0 ? float(double(total) / double(count)) : -1.0f;
}

// Both lines live in 600-byte buffers. Averages of absurd size (a groups file
// may ask for any desired speed) could need more: fields that do not fit are
// dropped from the end, and the report line always keeps its line feed.
void buildReportLines(int seconds) {
    computeAverages();

    char* report = world.reportLine;
    const int reportRoom = LineSize - 2;  // keep room for "\n"
    report[0] = 0;
    int length = appendField(report, 0, reportRoom, ", %d", seconds);
    length = appendField(report, length, reportRoom, ", %2.0f", double(world.overallAverage));
    for (const Group& g : world.groups)
        if (g.reportFlag)
            length = appendField(report, length, reportRoom, ", %2.0f", double(g.averageSpeed));
    report[length] = '\n';
    report[length + 1] = 0;

    char* title = world.titleLine;
    const int titleRoom = LineSize - 1;
    title[0] = 0;
    length = appendField(title, 0, titleRoom, "%2.0f(A)", double(world.overallAverage));
    for (int i = 0; i < MaxGroups; i++)
        if (world.groups[i].reportFlag)
            length = appendField(title, length, titleRoom, " %2.0f(%2d)",
                                 double(world.groups[i].averageSpeed), i);
    world.hasTitleLine = 1;
}

const char* buildReportHeader() {
    static char header[LineSize];
    char columns[LineSize];
    int used = std::snprintf(columns, sizeof columns, "%s", ", Time, AVG ALL");
    for (int g = 0; g < MaxGroups; g++)
        if (world.groups[g].reportFlag)
            used += std::snprintf(columns + used, sizeof columns - std::size_t(used), ", AVG %2d", g);
    // 50 reported groups take 400 characters; the columns always fit, and a
    // very long file name gives way to them so that they line up with the data.
    int room = int(sizeof header) - 2 - used;
    int nameLength = int(std::strlen(world.groupsName));
    if (nameLength > room) {
        ConsoleLog(">> Report header: file name %s shortened to %d characters\r\n",
                   world.groupsName, room);
        nameLength = room;
    }
    std::memcpy(header, world.groupsName, std::size_t(nameLength));
    std::memcpy(header + nameLength, columns, std::size_t(used));
    header[nameLength + used] = '\n';
    header[nameLength + used + 1] = 0;
    return header;
}
