// Running an experiment's runs as separate ombrane-batch processes, one world
// each, and keeping the results folder resumable: a run counts as finished
// only once its result.csv has been renamed into place.
#include "runs.h"

#include "summary.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// The log's last lines, indented, for a failed run's message.
std::string lastLines(const std::string& path, int count) {
    std::string text;
    if (!readWholeFile(path, text))
        return "    (no console.log)\n";
    std::size_t at = text.size();
    if (at && text[at - 1] == '\n')
        at--;
    for (int k = 0; k < count && at != std::string::npos && at > 0; k++)
        at = text.rfind('\n', at - 1);
    std::string tail = text.substr(at == std::string::npos || at == 0 ? 0 : at + 1);
    std::string out;
    std::istringstream in(tail);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        out += "    " + line + "\n";
    }
    return out;
}

// Whether the run's console shows its groups file read to the end: the
// reader's "The error was" follows a read stopped part-way, even one whose
// rows were kept.
bool readInFull(const std::string& consolePath) {
    std::string text;
    return readWholeFile(consolePath, text) && text.find("\nRead ") != std::string::npos &&
           text.find("The error was ") == std::string::npos;
}

// Starts ombrane-batch in the run's folder, its output into console.log.
// The caller blocks the stopping signals around it, so that none arrives
// before the process is known to the handler.
pid_t startRun(const std::string& dir, const Experiment& e, const std::string& batch, int number,
               const sigset_t& callerMask) {
    std::string folder = runFolderPath(dir, e, number);
    std::vector<std::string> args = batchArguments(e);
    std::fflush(nullptr);
    pid_t child = ::fork();
    if (child != 0)
        return child;
    for (int signal : {SIGTERM, SIGHUP, SIGINT})
        std::signal(signal, SIG_DFL);
    ::sigprocmask(SIG_SETMASK, &callerMask, nullptr);
    if (::chdir(folder.c_str()) != 0)
        ::_exit(126);
    int log = ::open("console.log", O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (log < 0)
        ::_exit(126);
    ::dup2(log, 1);
    ::dup2(log, 2);
    ::close(log);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(batch.c_str()));
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(batch.c_str(), argv.data());
    std::fprintf(stderr, "ombrane-lab: cannot start %s: %s\n", batch.c_str(), std::strerror(errno));
    ::_exit(127);
}

// After the process ended: average its measures into result files. A message
// on standard error for a run that failed.
bool finishRun(const std::string& dir, const Experiment& e, int number, int status) {
    std::string folder = runFolderPath(dir, e, number);
    std::string problem;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        if (WIFSIGNALED(status))
            problem = "ended by signal " + std::to_string(WTERMSIG(status));
        else
            problem = "ombrane-batch exited with " + std::to_string(WEXITSTATUS(status));
    } else if (!readInFull(folder + "/console.log")) {
        problem = "its console shows that groups.csv was not read in full";
    } else {
        std::string measures, groupMeasures, sections, laneRows, groupRows;
        if (!readWholeFile(folder + "/measures.csv", measures) ||
            !readWholeFile(folder + "/group-measures.csv", groupMeasures))
            problem = "its measures files are missing";
        else if (!e.sections.empty() && !readWholeFile(folder + "/sections.csv", sections))
            problem = "its sections.csv is missing";
        else if (summarizeRun(measures, groupMeasures, e, laneRows, groupRows, problem) &&
                 (e.sections.empty() || useSections(sections, e, laneRows, problem))) {
            std::string head = std::string(LaneResultColumns) + "\n";
            std::string groupHead = std::string(GroupResultColumns) + "\n";
            if (writeFileAtomic(folder + "/result-groups.csv", groupHead + groupRows) &&
                writeFileAtomic(folder + "/result.csv", head + laneRows))
                return true;
            problem = std::string("cannot write its results: ") + std::strerror(errno);
        }
    }
    std::fprintf(stderr, "ombrane-lab: run %d failed (%s); the end of %s/console.log:\n%s", number,
                 problem.c_str(), folder.c_str(), lastLines(folder + "/console.log", 5).c_str());
    return false;
}

// The runs going on, for the signal handler: a kill of ombrane-lab (SIGTERM
// from a scheduler, a closed terminal) reaches them too, and ombrane-lab
// waits for them to end before it ends, so that nothing writes into the
// folder once its lock is free.
constexpr int MostJobs = 1024;
pid_t runningPids[MostJobs];
volatile std::sig_atomic_t runningCount = 0;
volatile std::sig_atomic_t stopSignal = 0;

extern "C" void forwardSignal(int signal) {
    stopSignal = signal;
    for (int k = 0; k < runningCount; k++)
        if (runningPids[k] > 0)
            ::kill(runningPids[k], signal);
}

void noteRunning(const std::vector<std::pair<pid_t, int>>& active) {
    runningCount = 0;
    for (std::size_t k = 0; k < active.size() && k < std::size_t(MostJobs); k++)
        runningPids[k] = active[k].first;
    runningCount = std::sig_atomic_t(active.size() < std::size_t(MostJobs) ? active.size() : MostJobs);
}

std::string clock(double seconds) {
    long s = long(seconds + 0.5);
    char buffer[32];
    if (s >= 3600)
        std::snprintf(buffer, sizeof buffer, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(buffer, sizeof buffer, "%ld:%02ld", s / 60, s % 60);
    return buffer;
}

// Runs the pending runs, at most jobs at a time; the number that failed.
// On SIGTERM, SIGHUP or SIGINT the runs going on get the signal, and once
// they have ended ombrane-lab ends by the same signal.
int runList(const std::string& dir, const Experiment& e, const std::string& batch, int jobs,
            const std::vector<int>& pending, bool progress) {
    long total = runCount(e);
    long done = total - long(pending.size());
    long doneHere = 0;
    int failed = 0;
    bool terminal = progress && ::isatty(2);
    auto start = std::chrono::steady_clock::now();
    std::vector<std::pair<pid_t, int>> active;  // process, run number
    sigset_t stopping, callerMask;
    sigemptyset(&stopping);
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        sigaddset(&stopping, signal);
        std::signal(signal, forwardSignal);
    }
    std::size_t next = 0;
    auto show = [&] {
        if (!terminal)
            return;
        double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::string left = "?";
        if (doneHere > 0)
            left = clock(elapsed / double(doneHere) * double(total - done - failed));
        std::fprintf(stderr, "\r%ld/%ld runs done, %d failed, %s elapsed, %s left   ", done, total,
                     failed, clock(elapsed).c_str(), left.c_str());
        std::fflush(stderr);
    };
    show();
    while ((next < pending.size() && !stopSignal) || !active.empty()) {
        while (next < pending.size() && int(active.size()) < jobs && !stopSignal) {
            int number = pending[next++];
            ::sigprocmask(SIG_BLOCK, &stopping, &callerMask);
            pid_t pid = startRun(dir, e, batch, number, callerMask);
            if (pid > 0) {
                active.push_back({pid, number});
                noteRunning(active);
            }
            ::sigprocmask(SIG_SETMASK, &callerMask, nullptr);
            if (pid < 0) {
                std::fprintf(stderr, "ombrane-lab: cannot start run %d: %s\n", number,
                             std::strerror(errno));
                failed++;
            }
        }
        if (active.empty())
            break;
        int status = 0;
        pid_t ended = ::waitpid(-1, &status, 0);
        if (ended < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (std::size_t k = 0; k < active.size(); k++) {
            if (active[k].first != ended)
                continue;
            int number = active[k].second;
            active.erase(active.begin() + long(k));
            noteRunning(active);
            bool whole = WIFEXITED(status) && WEXITSTATUS(status) == 0;
            // A run stopped on purpose has not failed; the next run redoes it.
            if (stopSignal && !whole)
                break;
            if (terminal)
                std::fputc('\n', stderr);
            if (finishRun(dir, e, number, status)) {
                done++;
                doneHere++;
            } else {
                failed++;
            }
            show();
            break;
        }
    }
    if (terminal)
        std::fputc('\n', stderr);
    if (stopSignal) {
        int signal = stopSignal;
        std::fprintf(stderr, "ombrane-lab: stopped by signal %d once its runs had ended; "
                             "the next run of the experiment redoes the unfinished ones\n", signal);
        std::fflush(nullptr);
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
    for (int signal : {SIGTERM, SIGHUP, SIGINT})
        std::signal(signal, SIG_DFL);
    return failed;
}

}  // namespace

std::vector<std::string> batchArguments(const Experiment& e) {
    std::vector<std::string> a = {"--steps", std::to_string(e.steps)};
    if (e.legacy) {
        a.push_back("--legacy");
    } else {
        // Sixteen steps per tick: the measures see every step either way.
        a.insert(a.end(), {"--multiplier", "16"});
    }
    if (e.zone)
        a.push_back("--zone");
    a.insert(a.end(), {"--measures", "measures.csv", "--group-measures", "group-measures.csv",
                       "--period", std::to_string(e.period)});
    for (const std::string& d : e.detectors)
        a.insert(a.end(), {"--detector", d});
    if (!e.sections.empty())
        a.insert(a.end(), {"--section-measures", "sections.csv"});
    for (const std::string& d : e.sections)
        a.insert(a.end(), {"--section", d});
    a.push_back(e.scenarioBase ? "run.scenario" : "groups.csv");
    return a;
}

int runAll(const std::string& dir, const Experiment& e, const std::string& batch, int jobs) {
    std::vector<int> pending;
    for (const RunPlan& run : planRuns(e))
        if (!runFinished(dir, e, run.number))
            pending.push_back(run.number);
    return runList(dir, e, batch, jobs, pending, true);
}

bool runOne(const std::string& dir, const Experiment& e, const std::string& batch, int number,
            std::string& problem) {
    if (!lockRun(dir, e, number, problem))
        return false;
    if (runFinished(dir, e, number))
        return true;
    return runList(dir, e, batch, 1, {number}, false) == 0;
}

