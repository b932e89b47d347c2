// The report file beside the groups file.
#include "files/report.h"

#include "core/platform.h"
#include "core/sim.h"

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

void connectReportFile() { reportWriter = appendReportLine; }
