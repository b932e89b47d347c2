// The report file beside the groups file, and the Save command's file name.
#include "files/report.h"

#include "core/platform.h"
#include "core/world.h"
#include "files/paths.h"

#include <cstdio>
#include <cstring>

int appendReportLine(const char* text, const char* path, const char* mode) {
    // Binary, with the line ends written out by hand, so that the file holds
    // the same bytes whichever system wrote it.
    char binaryMode[4] = {mode[0], 'b', 0, 0};
    if (mode[0] && mode[1] == '+')
        binaryMode[2] = '+';
    std::FILE* file = std::fopen(path, binaryMode);
    if (!file) {
        ConsoleLog("Cannot open filename %s for line: %s", path, text);
        return -1;
    }
    world.errorText[0] = 0;
    char previous = 0;
    for (const char* p = text; *p; p++) {
        if (*p == '\n' && previous != '\r')
            std::fputc('\r', file);
        std::fputc(*p, file);
        previous = *p;
    }
    std::fclose(file);
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
