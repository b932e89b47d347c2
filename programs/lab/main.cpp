// ombrane-lab: an experiment is the same scenario run many times with a few
// values changed; this program plans the runs, runs them as ombrane-batch
// processes (here, or through another scheduler), and joins their measures
// into one table and one picture.
#include "base_check.h"
#include "experiment.h"
#include "files/key_lines.h"
#include "ombrane_version.h"
#include "plot.h"
#include "runs.h"
#include "scenario_base.h"
#include "shell_quote.h"
#include "slurm.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits.h>
#include <string>
#include <unistd.h>

namespace {

const char Usage[] =
    "usage: ombrane-lab run EXPERIMENT.txt [--jobs N] [--out DIR] [--restart] [--force]\n"
    "       ombrane-lab jobs EXPERIMENT.txt [--out DIR] [--restart] [--force]\n"
    "       ombrane-lab submit EXPERIMENT.txt [--out DIR] [--partition P] [--time T]\n"
    "                          [--max-array N] [--restart] [--force] [--dry-run]\n"
    "       ombrane-lab status DIR\n"
    "       ombrane-lab collect DIR\n"
    "       ombrane-lab plot DIR [--lane 1..4|all|used|each]\n"
    "       ombrane-lab one DIR RUN\n"
    "       ombrane-lab --help | --version\n"
    "  run      run every unfinished run, N at a time (default: the cores), then collect\n"
    "  jobs     prepare DIR and print one shell command per unfinished run\n"
    "  submit   prepare DIR and submit its unfinished runs to Slurm as job arrays,\n"
    "           then a job that collects and plots after them (scripts in DIR/slurm)\n"
    "  status   runs finished, running and pending in Slurm, failed and left\n"
    "  collect  join the finished runs into DIR/results.csv and DIR/results-groups.csv,\n"
    "           and their means over the seeds into DIR/summary.csv\n"
    "  plot     draw DIR/fundamental.png and DIR/groups.png from DIR/results.csv\n"
    "  one      run one run of DIR (what the commands of jobs call)\n"
    "  --out DIR    results folder (default: the experiment's name less .txt, plus -results)\n"
    "  --restart    forget the finished runs of DIR, even of another experiment\n"
    "  --force      allow more than 10,000 runs\n"
    "  --batch FILE the ombrane-batch to run (default: the one beside ombrane-lab)\n"
    "  --partition P, --time T  sbatch's --partition and --time for every job of submit\n"
    "  --max-array N  at most N tasks per array (default: Slurm's MaxArraySize)\n"
    "  --dry-run    write DIR/slurm's scripts and print the sbatch lines only\n"
    "  --lane L     plot's lanes: 1 to 4, all (the whole road), used (default: the\n"
    "               lanes that held cars, per lane) or each (those, a curve each)\n"
    "  --help, --version  print this, or the version, and exit\n"
    "exit: 0 done; 1 a file cannot be read or written; 2 bad usage or experiment;\n"
    "      3 collect or status found unfinished runs; 100 + N: N runs failed (at most 255)\n";

struct Arguments {
    std::string command, target, out, batch, lane = "used";
    long jobs = 0;
    int run = 0;
    bool restart = false, force = false;
    SubmitOptions slurm;
};

const char UsageHint[] = "Try 'ombrane-lab --help' for more information.\n";

// submit's own options: false with problem set when o is one of them and
// its value is bad; known is set when o is one of them.
bool parseSubmitOption(const std::string& o, const char* value, SubmitOptions& s, int& i,
                       bool& known, std::string& problem) {
    known = o == "--dry-run" || o == "--partition" || o == "--time" || o == "--max-array";
    if (!known)
        return true;
    if (o == "--dry-run") {
        s.dryRun = true;
        return true;
    }
    if (!value || *value == '\0') {
        problem = o + " needs a value";
        return false;
    }
    if (o == "--partition") {
        s.partition = value;
    } else if (o == "--time") {
        s.time = value;
    } else {
        char* end = nullptr;
        s.maxArray = std::strtol(value, &end, 10);
        if (*end || s.maxArray < 1 || s.maxArray > 1000000) {
            problem = "--max-array: '" + std::string(value) + "' is not a number from 1 to 1000000";
            return false;
        }
    }
    i++;
    return true;
}

// False when the arguments are not usable, with problem naming the one at fault.
bool parseArguments(int argc, char** argv, Arguments& a, std::string& problem) {
    if (argc < 2) {
        problem = "a command is needed: run, jobs, submit, status, collect, plot or one";
        return false;
    }
    a.command = argv[1];
    if (a.command != "run" && a.command != "jobs" && a.command != "collect" && a.command != "plot" &&
        a.command != "one" && a.command != "submit" && a.command != "status") {
        problem = a.command + (a.command[0] == '-' ? ": unknown option" : ": unknown command");
        return false;
    }
    if (argc < 3 || argv[2][0] == '-') {
        problem = a.command + " needs " +
                  (a.command == "run" || a.command == "jobs" || a.command == "submit"
                       ? "an EXPERIMENT.txt"
                       : "a results folder DIR");
        return false;
    }
    a.target = argv[2];
    int i = 3;
    if (a.command == "one") {
        char* end = nullptr;
        errno = 0;
        long run = argc < 4 ? 0 : std::strtol(argv[3], &end, 10);
        // 4294967297 would wrap to run 1 in an int.
        if (argc < 4 || errno || *end || run < 1 || run > INT_MAX) {
            problem = std::string("one: ") + (argc < 4 ? "needs a RUN number" : std::string("'") + argv[3] + "' is not a run number, 1 or more");
            return false;
        }
        a.run = int(run);
        i = 4;
    }
    for (; i < argc; i++) {
        std::string o = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool planning = a.command == "run" || a.command == "jobs" || a.command == "submit";
        bool known = false;
        if (a.command == "submit") {
            if (!parseSubmitOption(o, value, a.slurm, i, known, problem))
                return false;
            if (known)
                continue;
        }
        known = o == "--restart" || o == "--force" || o == "--out" || o == "--batch" || o == "--jobs" ||
                o == "--lane";
        if (!known) {
            problem = o + (o[0] == '-' ? ": unknown option" : ": unexpected argument");
            return false;
        }
        if ((o == "--out" || o == "--batch" || o == "--jobs" || o == "--lane") && !value) {
            problem = o + " needs a value";
            return false;
        }
        if (o == "--restart" && planning) {
            a.restart = true;
        } else if (o == "--force" && planning) {
            a.force = true;
        } else if (o == "--out" && planning) {
            a.out = value;
            i++;
        } else if (o == "--batch" && a.command != "collect" && a.command != "plot") {
            a.batch = value;
            i++;
        } else if (o == "--lane" && a.command == "plot") {
            if (!laneChoice(value)) {
                problem = std::string("--lane: '") + value + "' is not 1 to 4, all, used or each";
                return false;
            }
            a.lane = value;
            i++;
        } else if (o == "--jobs" && a.command == "run") {
            char* end = nullptr;
            a.jobs = std::strtol(value, &end, 10);
            if (*end || a.jobs < 1 || a.jobs > 1024) {
                problem = "--jobs: '" + std::string(value) + "' is not a number from 1 to 1024";
                return false;
            }
            i++;
        } else {
            problem = o + ": not an option of " + a.command;
            return false;
        }
    }
    return true;
}

std::string absolute(const std::string& path) {
    char buffer[PATH_MAX];
    if (::realpath(path.c_str(), buffer))
        return buffer;
    return path;
}

// The folder that holds this program (and, by default, ombrane-batch).
std::string labFolder() {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return ".";
    std::string self(buffer, std::size_t(n));
    return self.substr(0, self.rfind('/'));
}

// ombrane-batch beside this program, unless --batch names one.
std::string findBatch(const std::string& given) {
    if (!given.empty())
        return absolute(given);
    return absolute(labFolder() + "/ombrane-batch");
}

std::string defaultOut(const std::string& experimentPath) {
    std::string name = experimentPath.substr(experimentPath.rfind('/') + 1);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".txt") == 0)
        name.resize(name.size() - 4);
    return name + "-results";
}

// run collects under the lock it holds already.
int collect(const std::string& dir, const Experiment& e, bool lock) {
    std::string problem;
    if (lock && !lockFolder(dir, false, problem)) {
        std::fprintf(stderr, "ombrane-lab: %s\n", problem.c_str());
        return 1;
    }
    int missing = collectResults(dir, e, problem);
    if (missing < 0) {
        std::fprintf(stderr, "ombrane-lab: %s\n", problem.c_str());
        return 1;
    }
    std::printf("%ld runs, %ld finished: %s/results.csv\n", runCount(e), runCount(e) - missing,
                dir.c_str());
    return missing ? 3 : 0;
}

// The commands jobs prints are read a line each (GNU Parallel, a job
// array), and no quoting the plain shell reads keeps a control character in
// a word on one line: such paths are refused before anything is made.
int checkJobPaths(const Arguments& a, const std::string& batch) {
    std::string out = a.out.empty() ? defaultOut(a.target) : a.out;
    char here[PATH_MAX] = "";
    if (out[0] != '/' && !::getcwd(here, sizeof here))
        here[0] = 0;
    const std::pair<const char*, std::string> paths[] = {
        {"--out", out}, {"the current folder", here}, {"ombrane-lab's own path", absolute("/proc/self/exe")},
        {"--batch", batch}};
    for (const auto& [what, path] : paths)
        if (char c = controlCharacterIn(path)) {
            std::fprintf(stderr,
                         "ombrane-lab: %s holds the control character 0x%02x; jobs writes one "
                         "command a line, so the paths in them may hold none\n",
                         what, unsigned(static_cast<unsigned char>(c)));
            return 2;
        }
    return 0;
}

void printLines(const std::string& problem) {
    for (std::size_t at = 0; at < problem.size();) {
        std::size_t end = problem.find('\n', at);
        std::string line = problem.substr(at, end == std::string::npos ? std::string::npos : end - at);
        std::fprintf(stderr, "ombrane-lab: %s\n", line.c_str());
        at = end == std::string::npos ? problem.size() : end + 1;
    }
}

// run and jobs: read and check the experiment and its base, then the folder.
int prepare(const Arguments& a, Experiment& e, std::string& dir) {
    std::string problem, baseText;
    int code = 0;
    if (!loadExperiment(a.target, e, problem, a.force, &code)) {
        std::fprintf(stderr, "ombrane-lab: %s\n", problem.c_str());
        return code;
    }
    bool notAGroupsFile = false;
    std::string groupsPath = basePathOf(e);
    if (e.scenarioBase) {
        std::string scenarioText, groupsName;
        if (!readInputFile(basePathOf(e), MostExperimentBytes, scenarioText, problem, &notAGroupsFile)) {
            std::fprintf(stderr, "ombrane-lab: %s: cannot read the base scenario %s\n", a.target.c_str(),
                         problem.c_str());
            return notAGroupsFile ? 2 : 1;
        }
        if ((code = readScenarioBase(e, basePathOf(e), scenarioText, groupsName, problem))) {
            printLines(problem);
            std::fprintf(stderr, "ombrane-lab: nothing was run\n");
            return code;
        }
        groupsPath = besideFile(basePathOf(e), groupsName);
    }
    if (!readInputFile(groupsPath, MostBaseBytes, baseText, problem, &notAGroupsFile)) {
        std::fprintf(stderr, "ombrane-lab: %s: cannot read the %s %s\n", a.target.c_str(),
                     e.scenarioBase ? "groups file of the base scenario" : "base file", problem.c_str());
        // A folder, a device or a FIFO is there but is no groups file: a bad experiment.
        return notAGroupsFile ? 2 : 1;
    }
    e.baseChecksum = checksumOf(e.scenarioText + baseText);
    // Nothing runs that the runs' reader would read otherwise than written.
    if ((code = checkWithReader(e, baseText, problem, groupsPath))) {
        printLines(problem);
        std::fprintf(stderr, "ombrane-lab: nothing was run\n");
        return code;
    }
    dir = a.out.empty() ? defaultOut(a.target) : a.out;
    code = prepareFolder(e, baseText, dir, a.restart, problem);
    if (code) {
        std::fprintf(stderr, "ombrane-lab: %s\n", problem.c_str());
        return code;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; i++) {
        if (!std::strcmp(argv[i], "--help")) {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (!std::strcmp(argv[i], "--version")) {
            std::printf("ombrane-lab %s\n", OMBRANE_VERSION);
            return 0;
        }
    }
    Arguments a;
    std::string wrong;
    if (argc < 2) {
        std::fputs(Usage, stderr);
        return 2;
    }
    if (!parseArguments(argc, argv, a, wrong)) {
        std::fprintf(stderr, "ombrane-lab: %s\n%s", wrong.c_str(), UsageHint);
        return 2;
    }
    setLockOwner(a.command);
    Experiment e;
    std::string dir, problem;
    if (a.command == "jobs" || a.command == "submit")
        if (int code = checkJobPaths(a, findBatch(a.batch)))
            return code;
    // Slurm's commands are looked for before DIR is made, so that a machine
    // without them is told so with nothing half-made.
    if (a.command == "submit") {
        if (int code = checkSlurm(a.slurm))
            return code;
        if (::access(findBatch(a.batch).c_str(), X_OK) != 0) {
            std::fprintf(stderr, "ombrane-lab: cannot run %s; give --batch FILE\n",
                         findBatch(a.batch).c_str());
            return 1;
        }
    }
    if (a.command == "run" || a.command == "jobs" || a.command == "submit") {
        if (int code = prepare(a, e, dir))
            return code;
    } else {
        dir = a.target;
        if (int code = loadFolder(dir, e, problem)) {
            std::fprintf(stderr, "ombrane-lab: %s is not a results folder: %s\n", dir.c_str(),
                         problem.c_str());
            return code;
        }
    }
    std::string batch = findBatch(a.batch);
    if ((a.command == "run" || a.command == "one") && ::access(batch.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "ombrane-lab: cannot run %s; give --batch FILE\n", batch.c_str());
        return 1;
    }

    if (a.command == "run") {
        long jobs = a.jobs ? a.jobs : ::sysconf(_SC_NPROCESSORS_ONLN);
        int failed = runAll(dir, e, batch, int(jobs < 1 ? 1 : jobs));
        int code = collect(dir, e, false);
        if (failed) {
            std::fprintf(stderr, "ombrane-lab: %d of %ld runs failed\n", failed, runCount(e));
            return 100 + (failed < 155 ? failed : 155);
        }
        return code;
    }
    if (a.command == "jobs") {
        std::string self = absolute("/proc/self/exe");
        std::string where = absolute(dir);
        for (const RunPlan& run : planRuns(e))
            if (!runFinished(dir, e, run.number))
                std::printf("%s one %s %d --batch %s\n", shellQuote(self).c_str(),
                            shellQuote(where).c_str(), run.number, shellQuote(batch).c_str());
        return 0;
    }
    if (a.command == "one") {
        if (a.run > runCount(e)) {
            std::fprintf(stderr, "ombrane-lab: %s has runs 1 to %ld\n", dir.c_str(), runCount(e));
            return 2;
        }
        if (!lockFolder(dir, false, problem)) {
            std::fprintf(stderr, "ombrane-lab: %s\n", problem.c_str());
            return 1;
        }
        if (runOne(dir, e, batch, a.run, problem))
            return 0;
        if (!problem.empty()) {
            std::fprintf(stderr, "ombrane-lab: %s\n", problem.c_str());
            return 1;
        }
        return 100 + 1;
    }
    if (a.command == "submit")
        return submitRuns(absolute(dir), e, a.slurm, absolute("/proc/self/exe"), batch);
    if (a.command == "status")
        return showStatus(dir, e);
    if (a.command == "collect")
        return collect(dir, e, true);
    return plotResults(dir, e, a.lane);
}
