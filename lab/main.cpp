// ombrane-lab: an experiment is the same scenario run many times with a few
// values changed; this program plans the runs, runs them as ombrane-batch
// processes (here, or through another scheduler), and joins their measures
// into one table and one picture.
#include "base_check.h"
#include "experiment.h"
#include "ombrane_version.h"
#include "plot.h"
#include "runs.h"

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
    "       ombrane-lab collect DIR\n"
    "       ombrane-lab plot DIR\n"
    "       ombrane-lab one DIR RUN\n"
    "       ombrane-lab --help | --version\n"
    "  run      run every unfinished run, N at a time (default: the cores), then collect\n"
    "  jobs     prepare DIR and print one shell command per unfinished run\n"
    "  collect  join the finished runs into DIR/results.csv and DIR/results-groups.csv\n"
    "  plot     draw DIR/fundamental.png and DIR/groups.png from DIR/results.csv\n"
    "  one      run one run of DIR (what the commands of jobs call)\n"
    "  --out DIR    results folder (default: the experiment's name less .txt, plus -results)\n"
    "  --restart    forget the finished runs of DIR, even of another experiment\n"
    "  --force      allow more than 10,000 runs\n"
    "  --batch FILE the ombrane-batch to run (default: the one beside ombrane-lab)\n"
    "  --help, --version  print this, or the version, and exit\n"
    "exit: 0 done; 1 a file cannot be read or written; 2 bad usage or experiment;\n"
    "      3 collect found unfinished runs; 100 + N: N runs failed (at most 255)\n";

struct Arguments {
    std::string command, target, out, batch;
    long jobs = 0;
    int run = 0;
    bool restart = false, force = false;
};

const char UsageHint[] = "Try 'ombrane-lab --help' for more information.\n";

// False when the arguments are not usable, with problem naming the one at fault.
bool parseArguments(int argc, char** argv, Arguments& a, std::string& problem) {
    if (argc < 2) {
        problem = "a command is needed: run, jobs, collect, plot or one";
        return false;
    }
    a.command = argv[1];
    if (a.command != "run" && a.command != "jobs" && a.command != "collect" && a.command != "plot" &&
        a.command != "one") {
        problem = a.command + (a.command[0] == '-' ? ": unknown option" : ": unknown command");
        return false;
    }
    if (argc < 3 || argv[2][0] == '-') {
        problem = a.command + " needs " +
                  (a.command == "run" || a.command == "jobs" ? "an EXPERIMENT.txt" : "a results folder DIR");
        return false;
    }
    a.target = argv[2];
    int i = 3;
    if (a.command == "one") {
        char* end = nullptr;
        if (argc < 4 || (a.run = int(std::strtol(argv[3], &end, 10))) < 1 || *end) {
            problem = std::string("one: ") + (argc < 4 ? "needs a RUN number" : std::string("'") + argv[3] + "' is not a run number, 1 or more");
            return false;
        }
        i = 4;
    }
    for (; i < argc; i++) {
        std::string o = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool planning = a.command == "run" || a.command == "jobs";
        bool known = o == "--restart" || o == "--force" || o == "--out" || o == "--batch" || o == "--jobs";
        if (!known) {
            problem = o + (o[0] == '-' ? ": unknown option" : ": unexpected argument");
            return false;
        }
        if ((o == "--out" || o == "--batch" || o == "--jobs") && !value) {
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

std::string quote(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string defaultOut(const std::string& experimentPath) {
    std::string name = experimentPath.substr(experimentPath.rfind('/') + 1);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".txt") == 0)
        name.resize(name.size() - 4);
    return name + "-results";
}

int collect(const std::string& dir, const Experiment& e) {
    std::string problem;
    int missing = collectResults(dir, e, problem);
    if (missing < 0) {
        std::fprintf(stderr, "ombrane-lab: %s\n", problem.c_str());
        return 1;
    }
    std::printf("%ld runs, %ld finished: %s/results.csv\n", runCount(e), runCount(e) - missing,
                dir.c_str());
    return missing ? 3 : 0;
}

// run and jobs: read and check the experiment and its base, then the folder.
int prepare(const Arguments& a, Experiment& e, std::string& dir) {
    std::string problem, baseText;
    int code = 0;
    if (!loadExperiment(a.target, e, problem, a.force, &code)) {
        std::fprintf(stderr, "ombrane-lab: %s\n", problem.c_str());
        return code;
    }
    if (!readWholeFile(basePathOf(e), baseText)) {
        std::fprintf(stderr, "ombrane-lab: %s: cannot read the base file %s\n", a.target.c_str(),
                     basePathOf(e).c_str());
        return 1;
    }
    // Nothing runs that the runs' reader would read otherwise than written.
    if ((code = checkWithReader(e, baseText, problem))) {
        for (std::size_t at = 0; at < problem.size();) {
            std::size_t end = problem.find('\n', at);
            std::string line = problem.substr(at, end == std::string::npos ? std::string::npos : end - at);
            std::fprintf(stderr, "ombrane-lab: %s\n", line.c_str());
            at = end == std::string::npos ? problem.size() : end + 1;
        }
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
    Experiment e;
    std::string dir, problem;
    if (a.command == "run" || a.command == "jobs") {
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
        int code = collect(dir, e);
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
                std::printf("%s one %s %d --batch %s\n", quote(self).c_str(), quote(where).c_str(),
                            run.number, quote(batch).c_str());
        return 0;
    }
    if (a.command == "one") {
        if (a.run > runCount(e)) {
            std::fprintf(stderr, "ombrane-lab: %s has runs 1 to %ld\n", dir.c_str(), runCount(e));
            return 2;
        }
        if (runFinished(dir, e, a.run))
            return 0;
        return runOne(dir, e, batch, a.run) ? 0 : 100 + 1;
    }
    if (a.command == "collect")
        return collect(dir, e);
    return plotResults(dir, e);
}
