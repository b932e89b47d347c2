#include "programs.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

std::string bashQuote(const std::string& s) {
    const char* plain = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_./=:,+@%";
    if (!s.empty() && s.find_first_not_of(plain) == std::string::npos)
        return s;
    std::string out;
    bool open = false;
    for (unsigned char c : s) {
        bool control = c < 0x20 || c == 0x7f;
        if (c == '\'' || control) {
            if (open)
                out += '\'';
            open = false;
            char octal[8];
            std::snprintf(octal, sizeof octal, "$'\\%03o'", unsigned(c));
            out += c == '\'' ? std::string("\\'") : std::string(octal);
            continue;
        }
        if (!open)
            out += '\'';
        open = true;
        out += char(c);
    }
    if (open)
        out += '\'';
    return out.empty() ? "''" : out;
}

std::string findOnPath(const std::string& name) {
    if (name.find('/') != std::string::npos)
        return ::access(name.c_str(), X_OK) == 0 ? name : std::string();
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t at = 0;
    while (at <= dirs.size()) {
        std::size_t end = dirs.find(':', at);
        if (end == std::string::npos)
            end = dirs.size();
        std::string dir = dirs.substr(at, end - at);
        std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        at = end + 1;
    }
    return "";
}

int runProgram(const std::vector<std::string>& argv, std::string& out, std::string& err) {
    out.clear();
    err.clear();
    std::string program = argv.empty() ? std::string() : findOnPath(argv[0]);
    if (program.empty()) {
        err = (argv.empty() ? std::string("nothing") : argv[0]) + " is not on PATH";
        return 127;
    }
    int outPipe[2], errPipe[2];
    if (::pipe(outPipe) != 0)
        return err = std::strerror(errno), 127;
    if (::pipe(errPipe) != 0) {
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return err = std::strerror(errno), 127;
    }
    std::fflush(nullptr);
    pid_t child = ::fork();
    if (child == 0) {
        ::dup2(outPipe[1], 1);
        ::dup2(errPipe[1], 2);
        for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1]})
            ::close(fd);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(program.c_str(), args.data());
        std::fprintf(stderr, "cannot run %s: %s\n", program.c_str(), std::strerror(errno));
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (child < 0) {
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        return err = std::string("cannot start ") + program + ": " + std::strerror(errno), 127;
    }
    // Both pipes at once: a program that fills one while we wait on the
    // other would never end.
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* into[2] = {&out, &err};
    int open = 2;
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (int k = 0; k < 2; k++) {
            if (fds[k].fd < 0 || !(fds[k].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buffer[4096];
            ssize_t n = ::read(fds[k].fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                ::close(fds[k].fd);
                fds[k].fd = -1;
                open--;
            } else {
                into[k]->append(buffer, std::size_t(n));
            }
        }
    }
    for (pollfd& p : fds)
        if (p.fd >= 0)
            ::close(p.fd);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR)
            return 127;
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}
