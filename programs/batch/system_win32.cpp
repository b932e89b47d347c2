#include "system.h"

#include <cerrno>
#include <cstdio>
#include <direct.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

bool stderrIsTerminal() { return ::_isatty(::_fileno(stderr)) != 0; }

// The Windows build draws no pictures: --plot says gnuplot is not found.
bool programOnPath(const char*) { return false; }

bool makeFolder(const char* dir) {
    struct _stat info;
    return ::_stat(dir, &info) == 0 || ::_mkdir(dir) == 0;
}

bool runGnuplotIn(const char*, const char* const*, int) { return false; }

// MinGW's stat gives every file the inode 0, so an existing file is known by
// its volume and file index, and a new one by its full path in one case.
std::string fileIdentity(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION about;
        bool known = ::GetFileInformationByHandle(file, &about) != 0;
        ::CloseHandle(file);
        if (known)
            return "file " + std::to_string(about.dwVolumeSerialNumber) + ":" +
                   std::to_string(about.nFileIndexHigh) + ":" + std::to_string(about.nFileIndexLow);
    }
    char full[MAX_PATH * 4];
    DWORD length = ::GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    std::string name = length > 0 && length < sizeof full ? std::string(full, length) : path;
    for (char& c : name)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return "path " + name;
}
