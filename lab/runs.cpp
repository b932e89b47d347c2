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
#include <fstream>
#include <sstream>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::string runDir(const std::string& dir, const Experiment& e, int number) {
    return dir + "/runs/" + runFolderName(number, runCount(e));
}

bool makeFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

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
pid_t startRun(const std::string& dir, const Experiment& e, const std::string& batch, int number) {
    std::string folder = runDir(dir, e, number);
    std::vector<std::string> args = batchArguments(e);
    std::fflush(nullptr);
    pid_t child = ::fork();
    if (child != 0)
        return child;
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
    std::string folder = runDir(dir, e, number);
    std::string problem;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        if (WIFSIGNALED(status))
            problem = "ended by signal " + std::to_string(WTERMSIG(status));
        else
            problem = "ombrane-batch exited with " + std::to_string(WEXITSTATUS(status));
    } else if (!readInFull(folder + "/console.log")) {
        problem = "its console shows that groups.csv was not read in full";
    } else {
        std::string measures, groupMeasures, laneRows, groupRows;
        if (!readWholeFile(folder + "/measures.csv", measures) ||
            !readWholeFile(folder + "/group-measures.csv", groupMeasures))
            problem = "its measures files are missing";
        else if (summarizeRun(measures, groupMeasures, e, laneRows, groupRows, problem)) {
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

// The runs going on, for the signal handler: a kill of ombrane-lab alone
// (SIGTERM from a scheduler, a closed terminal) ends them too, rather than
// leaving them to finish unseen. Ctrl+C reaches them through the terminal.
constexpr int MostJobs = 1024;
pid_t runningPids[MostJobs];
volatile std::sig_atomic_t runningCount = 0;

extern "C" void endRuns(int signal) {
    for (int k = 0; k < runningCount; k++)
        if (runningPids[k] > 0)
            ::kill(runningPids[k], SIGTERM);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
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

}  // namespace

bool writeFileAtomic(const std::string& path, const std::string& text) {
    std::string temporary = path + ".tmp";
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            return false;
        }
        done += std::size_t(n);
    }
    // On the disk before the name says so: a reboot leaves no empty result.
    if (::fsync(fd) != 0 || ::close(fd) != 0)
        return false;
    return ::rename(temporary.c_str(), path.c_str()) == 0;
}

bool readWholeFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream out;
    out << in.rdbuf();
    text = out.str();
    return !in.bad();
}

int prepareFolder(const Experiment& e, const std::string& baseText, const std::string& dir,
                  bool restart, std::string& problem) {
    if (!makeFolder(dir) || !makeFolder(dir + "/runs")) {
        problem = "cannot make " + dir + "/runs: " + std::strerror(errno);
        return 1;
    }
    std::string canonical = canonicalText(e, "base.csv");
    std::string oldCanonical, oldBase;
    bool before = readWholeFile(dir + "/experiment.txt", oldCanonical);
    bool same = before && oldCanonical == canonical && readWholeFile(dir + "/base.csv", oldBase) &&
                oldBase == baseText;
    if (before && !same && !restart) {
        problem = dir + " holds the runs of another experiment (see " + dir +
                  "/experiment.txt and base.csv); give --restart to start it afresh, or another --out";
        return 2;
    }
    // Starting afresh forgets the runs first, so that a kill half-way leaves
    // no run that looks finished under the new description.
    if (before && (!same || restart)) {
        for (const RunPlan& run : planRuns(e)) {
            std::string folder = runDir(dir, e, run.number);
            ::unlink((folder + "/result.csv").c_str());
            ::unlink((folder + "/result-groups.csv").c_str());
        }
        // Runs of an older, larger plan beyond this one's numbers.
        for (int n = int(runCount(e)) + 1;; n++) {
            std::string folder = runDir(dir, e, n);
            if (::access(folder.c_str(), F_OK) != 0)
                break;
            ::unlink((folder + "/result.csv").c_str());
            ::unlink((folder + "/result-groups.csv").c_str());
        }
        ::unlink((dir + "/results.csv").c_str());
        ::unlink((dir + "/results-groups.csv").c_str());
    }
    if (!writeFileAtomic(dir + "/base.csv", baseText) ||
        !writeFileAtomic(dir + "/experiment.txt", canonical)) {
        problem = "cannot write into " + dir + ": " + std::strerror(errno);
        return 1;
    }
    for (const RunPlan& run : planRuns(e)) {
        std::string folder = runDir(dir, e, run.number);
        std::string groups = runGroupsText(baseText, e, run), old;
        if (!makeFolder(folder)) {
            problem = "cannot make " + folder + ": " + std::strerror(errno);
            return 1;
        }
        if (readWholeFile(folder + "/groups.csv", old) && old == groups)
            continue;
        if (!writeFileAtomic(folder + "/groups.csv", groups)) {
            problem = "cannot write " + folder + "/groups.csv: " + std::strerror(errno);
            return 1;
        }
    }
    return 0;
}

int loadFolder(const std::string& dir, Experiment& e, std::string& problem) {
    int code = 0;
    if (!loadExperiment(dir + "/experiment.txt", e, problem, true, &code))
        return code;
    return 0;
}

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
    a.push_back("groups.csv");
    return a;
}

bool runFinished(const std::string& dir, const Experiment& e, int number) {
    return ::access((runDir(dir, e, number) + "/result.csv").c_str(), F_OK) == 0;
}

int runAll(const std::string& dir, const Experiment& e, const std::string& batch, int jobs) {
    std::vector<int> pending;
    for (const RunPlan& run : planRuns(e))
        if (!runFinished(dir, e, run.number))
            pending.push_back(run.number);
    long total = runCount(e);
    long done = total - long(pending.size());
    long doneHere = 0;
    int failed = 0;
    bool terminal = ::isatty(2);
    auto start = std::chrono::steady_clock::now();
    std::vector<std::pair<pid_t, int>> active;  // process, run number
    for (int signal : {SIGTERM, SIGHUP, SIGINT})
        std::signal(signal, endRuns);
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
    while (next < pending.size() || !active.empty()) {
        while (next < pending.size() && int(active.size()) < jobs) {
            int number = pending[next++];
            pid_t pid = startRun(dir, e, batch, number);
            if (pid < 0) {
                std::fprintf(stderr, "ombrane-lab: cannot start run %d: %s\n", number,
                             std::strerror(errno));
                failed++;
                continue;
            }
            active.push_back({pid, number});
            noteRunning(active);
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
    return failed;
}

bool runOne(const std::string& dir, const Experiment& e, const std::string& batch, int number) {
    pid_t pid = startRun(dir, e, batch, number);
    if (pid < 0) {
        std::fprintf(stderr, "ombrane-lab: cannot start run %d: %s\n", number, std::strerror(errno));
        return false;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return false;
    return finishRun(dir, e, number, status);
}

int collectResults(const std::string& dir, const Experiment& e, std::string& problem) {
    std::vector<RunPlan> plans = planRuns(e);
    std::vector<std::string> laneRows(plans.size()), groupRows(plans.size());
    int missing = 0;
    for (std::size_t r = 0; r < plans.size(); r++) {
        std::string folder = runDir(dir, e, plans[r].number), lanes, groups;
        // result.csv is renamed into place after result-groups.csv.
        if (!readWholeFile(folder + "/result.csv", lanes) ||
            !readWholeFile(folder + "/result-groups.csv", groups)) {
            missing++;
            continue;
        }
        laneRows[r] = lanes.substr(lanes.find('\n') + 1);
        groupRows[r] = groups.substr(groups.find('\n') + 1);
    }
    std::string results, resultsGroups;
    buildResults(e, laneRows, groupRows, results, resultsGroups);
    if (!writeFileAtomic(dir + "/results-groups.csv", resultsGroups) ||
        !writeFileAtomic(dir + "/results.csv", results)) {
        problem = "cannot write " + dir + "/results.csv: " + std::strerror(errno);
        return -1;
    }
    return missing;
}
