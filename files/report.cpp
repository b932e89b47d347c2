// The report file beside the groups file, and the Save command's file name.
#include "files/report.h"

#include "core/platform.h"
#include "core/world.h"
#include "files/paths.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

namespace {

// A failing report file is logged once, with the system's reason, and then
// not again at every report point until a write has worked in between or a
// new report file is started ("w").
int reportFailure(const char* what, const char* path, int error) {
    if (world.reportLinesLost < INT_MAX)
        world.reportLinesLost++;
    if (!world.reportFailing)
        ConsoleLog("%s %s: %s; report lines are lost until it can be written\r\n", what, path,
                   std::strerror(error));
    world.reportFailing = 1;
    return -1;
}

}  // namespace

int appendReportLine(const char* text, const char* path, const char* mode) {
    // Binary, with the line ends written out by hand, so that the file holds
    // the same bytes whichever system wrote it.
    char binaryMode[4] = {mode[0], 'b', 0, 0};
    if (mode[0] && mode[1] == '+')
        binaryMode[2] = '+';
    if (mode[0] == 'w')
        world.reportFailing = 0;
    errno = 0;
    std::FILE* file = std::fopen(path, binaryMode);
    if (!file)
        return reportFailure("Cannot open filename", path, errno ? errno : EIO);
    world.errorText[0] = 0;
    int error = 0;  // errno of the first failure; EIO when the library set none
    char previous = 0;
    for (const char* p = text; *p && !error; p++) {
        if ((*p == '\n' && previous != '\r' && std::fputc('\r', file) == EOF) ||
            std::fputc(*p, file) == EOF)
            error = errno ? errno : EIO;
        previous = *p;
    }
    // A full disk often shows only when the buffered line is flushed.
    if (std::fclose(file) != 0 && !error)
        error = errno ? errno : EIO;
    if (error)
        return reportFailure("Cannot write filename", path, error);
    world.reportFailing = 0;
    return 0;
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

const char* saveFileName() {
    if (!world.groupsPath[0])
        copyText(world.groupsPath, PathSize, "Default.csv");
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".%d(%s).omb", world.run.stepCount, world.edition->version);
    const char* extension = pathExtension(world.groupsPath);
    int keep = int(extension - world.groupsPath);
    if (!joinText(world.chosenPath, PathSize, world.groupsPath, keep, suffix, "")) {
        std::snprintf(world.errorText, sizeof world.errorText,
                      "Save-file name would need %d characters, at most %d fit",
                      keep + int(std::strlen(suffix)), PathSize - 1);
        ConsoleLog("Can't save: The error was %s\r\n", world.errorText);
        return nullptr;
    }
    world.reportToFile = 0;
    return world.chosenPath;
}
