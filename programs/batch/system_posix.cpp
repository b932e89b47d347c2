#include "system.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

bool stderrIsTerminal() { return ::isatty(2) != 0; }

bool programOnPath(const char* name) {
    const char* path = std::getenv("PATH");
    if (!path)
        return false;
    char candidate[4096];
    for (const char* p = path;;) {
        const char* end = std::strchr(p, ':');
        int length = end ? int(end - p) : int(std::strlen(p));
        int n = std::snprintf(candidate, sizeof candidate, "%.*s/%s", length, p, name);
        if (length > 0 && n > 0 && n < int(sizeof candidate) && ::access(candidate, X_OK) == 0)
            return true;
        if (!end)
            return false;
        p = end + 1;
    }
}

bool makeFolder(const char* dir) {
    struct stat info;
    return ::stat(dir, &info) == 0 || ::mkdir(dir, 0777) == 0;
}

bool runGnuplotIn(const char* dir, const char* const scripts[], int count) {
    enum { MaxScripts = 8 };
    if (count < 0 || count > MaxScripts)
        return false;
    const char* argv[MaxScripts + 2] = {"gnuplot"};
    for (int i = 0; i < count; i++)
        argv[i + 1] = scripts[i];
    argv[count + 1] = nullptr;
    std::fflush(nullptr);
    pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        if (::chdir(dir) != 0)
            ::_exit(127);
        int log = ::open("gnuplot.log", O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (log < 0 || ::dup2(log, 1) < 0 || ::dup2(log, 2) < 0)
            ::_exit(127);
        ::execvp("gnuplot", const_cast<char* const*>(argv));
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR)
            return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string fileIdentity(const std::string& path) {
    struct stat about;
    if (::stat(path.c_str(), &about) == 0)
        return "inode " + std::to_string(about.st_dev) + ":" + std::to_string(about.st_ino);
    std::size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (::stat(folder.c_str(), &about) == 0)
        return "in " + std::to_string(about.st_dev) + ":" + std::to_string(about.st_ino) + " " + name;
    return "path " + path;
}
