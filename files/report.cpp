// The report file beside the groups file.
#include "files/report.h"

#include "core/platform.h"
#include "core/sim.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

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

namespace {

// The time of a report line, ", <seconds>, ..."; false for anything else.
bool lineSeconds(const char* line, int* seconds) {
    if (line[0] != ',' || line[1] != ' ')
        return false;
    char* end = nullptr;
    long value = std::strtol(line + 2, &end, 10);
    if (end == line + 2 || (*end != ',' && *end != '\r' && *end != '\n') || value < 0 || value > INT_MAX)
        return false;
    *seconds = int(value);
    return true;
}

}  // namespace

int cutReportFile(const char* path, int step, int stepsPerSecond, int* lastSecond) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return 0;
    char line[LineSize + 8];
    long keep = 0;
    int last = -1;
    bool header = true;
    while (std::fgets(line, sizeof line, file)) {
        std::size_t length = std::strlen(line);
        if (length == 0 || line[length - 1] != '\n')
            break;  // a line longer than any report line, or an unfinished one
        int seconds = 0;
        if (!header) {
            if (!lineSeconds(line, &seconds) || double(seconds) * stepsPerSecond >= step)
                break;
            last = seconds;
        }
        header = false;
        keep = std::ftell(file);
    }
    bool readWell = !std::ferror(file);
    std::fclose(file);
    if (!readWell || keep < 0)
        return 0;
    std::error_code error;
    std::filesystem::resize_file(path, std::uintmax_t(keep), error);
    if (error)
        return 0;
    *lastSecond = last;
    return 1;
}

void connectReportFile() { reportWriter = appendReportLine; }
