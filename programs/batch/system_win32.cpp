#include "system.h"

#include <cerrno>
#include <cstdio>
#include <direct.h>
#include <io.h>
#include <sys/stat.h>

bool stderrIsTerminal() { return ::_isatty(::_fileno(stderr)) != 0; }

// The Windows build draws no pictures: --plot says gnuplot is not found.
bool programOnPath(const char*) { return false; }

bool makeFolder(const char* dir) {
    struct _stat info;
    return ::_stat(dir, &info) == 0 || ::_mkdir(dir) == 0;
}

bool runGnuplotIn(const char*, const char* const*, int) { return false; }
