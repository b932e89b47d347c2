// The results folder: what a run has left there, whether it counts, the
// lock that keeps two labs apart, and the tables joined from the runs.
#include "runs.h"

#include "scenario_base.h"
#include "summary.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool makeFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

// The names in a folder, less . and ..; empty when it cannot be read.
std::vector<std::string> folderEntries(const std::string& path) {
    std::vector<std::string> names;
    DIR* folder = ::opendir(path.c_str());
    if (!folder)
        return names;
    while (dirent* entry = ::readdir(folder)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(folder);
    return names;
}

void forgetResults(const std::string& folder) {
    // result.csv first: it is what says the run has finished.
    ::unlink((folder + "/result.csv").c_str());
    ::unlink((folder + "/result-groups.csv").c_str());
}

// A run folder holds files only.
void removeRunFolder(const std::string& folder) {
    forgetResults(folder);
    for (const std::string& name : folderEntries(folder))
        ::unlink((folder + "/" + name).c_str());
    ::rmdir(folder.c_str());
}

std::string lockOwner = "ombrane-lab";
std::vector<int> heldLocks;

// Takes the lock of the file at path for the life of the process.
bool takeLock(const std::string& path, bool exclusive, const std::string& what,
              const std::string& advice, std::string& problem) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        problem = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        std::string holder;
        if (exclusive && ::flock(fd, LOCK_SH | LOCK_NB) == 0) {
            holder = "ombrane-lab one or collect";
        } else {
            readWholeFile(path, holder);
            while (!holder.empty() && (holder.back() == '\n' || holder.back() == '\r'))
                holder.pop_back();
            if (holder.empty() || holder.find('\n') != std::string::npos)
                holder = "another ombrane-lab";
        }
        ::close(fd);
        problem = what + " is in use by " + holder + "; " + advice;
        return false;
    }
    if (exclusive) {
        std::string text = lockOwner + "\n";
        if (::ftruncate(fd, 0) != 0 || ::write(fd, text.data(), text.size()) != ssize_t(text.size())) {
            // The lock holds all the same; only the message about it suffers.
        }
    }
    heldLocks.push_back(fd);
    return true;
}

}  // namespace

void unlockFolders() {
    for (int fd : heldLocks)
        ::close(fd);
    heldLocks.clear();
}

std::string runFolderPath(const std::string& dir, const Experiment& e, int number) {
    return dir + "/runs/" + runFolderName(number, runCount(e));
}

bool writeFileAtomic(const std::string& path, const std::string& text) {
    std::string temporary = path + ".tmp";
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    bool written = true;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            written = false;
            break;
        }
        done += std::size_t(n);
    }
    // On the disk before the name says so: a reboot leaves no empty result.
    written = written && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (written && ::rename(temporary.c_str(), path.c_str()) == 0)
        return true;
    // A full disk leaves no half file behind; the reason stays in errno.
    int reason = errno;
    ::unlink(temporary.c_str());
    errno = reason;
    return false;
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

void setLockOwner(const std::string& command) {
    char host[256] = "";
    ::gethostname(host, sizeof host - 1);
    std::time_t now = std::time(nullptr);
    char since[32] = "";
    std::strftime(since, sizeof since, "%Y-%m-%d %H:%M:%S UTC", std::gmtime(&now));
    lockOwner = "ombrane-lab " + command + " (process " + std::to_string(::getpid()) + " on " + host +
                ", since " + since + ")";
}

bool lockFolder(const std::string& dir, bool exclusive, std::string& problem) {
    return takeLock(dir + "/lock", exclusive, dir,
                    "wait until it has ended, or give another --out", problem);
}

int prepareFolder(const Experiment& e, const std::string& baseText, const std::string& dir,
                  bool restart, std::string& problem) {
    struct stat about;
    if (::stat(dir.c_str(), &about) == 0) {
        if (!S_ISDIR(about.st_mode)) {
            problem = dir + " is not a folder";
            return 1;
        }
        // Someone's own files, or a results folder whose record was deleted:
        // its runs could be reused under the wrong values.
        bool ours = ::access((dir + "/experiment.txt").c_str(), F_OK) == 0;
        std::vector<std::string> entries = folderEntries(dir);
        bool empty = entries.empty() || (entries.size() == 1 && entries[0] == "lock");
        if (!ours && !empty && !restart) {
            problem = dir + " holds files but no experiment.txt, so it is not a results folder of "
                      "ombrane-lab (or its record was deleted); give another --out, or --restart "
                      "to run into it all the same";
            return 2;
        }
    }
    if (!makeFolder(dir)) {
        problem = "cannot make " + dir + ": " + std::strerror(errno);
        return 1;
    }
    if (!lockFolder(dir, true, problem))
        return 1;
    if (!makeFolder(dir + "/runs")) {
        problem = "cannot make " + dir + "/runs: " + std::strerror(errno);
        return 1;
    }
    std::string canonical = canonicalText(e, e.scenarioBase ? "base.scenario" : "base.csv");
    std::string oldCanonical, oldBase, oldScenario;
    bool before = readWholeFile(dir + "/experiment.txt", oldCanonical);
    bool same = before && oldCanonical == canonical && readWholeFile(dir + "/base.csv", oldBase) &&
                oldBase == baseText &&
                (!e.scenarioBase ||
                 (readWholeFile(dir + "/base.scenario", oldScenario) && oldScenario == e.scenarioText));

    std::vector<RunPlan> plans = planRuns(e);
    long total = runCount(e);
    std::vector<std::string> keys, names;
    std::map<std::string, std::size_t> wanted;  // a run's inputs: its place in the plan
    for (const RunPlan& run : plans) {
        keys.push_back(runKey(e, run));
        names.push_back(runFolderName(run.number, total));
        wanted[keys.back()] = keys.size() - 1;
    }

    // Every finished run in runs/, known by its inputs, wherever it lies.
    std::map<std::string, std::string> kept;  // inputs: folder name
    std::vector<std::string> forgotten, spare;
    for (const std::string& name : folderEntries(dir + "/runs")) {
        std::string folder = dir + "/runs/" + name, key;
        if (::access((folder + "/result.csv").c_str(), F_OK) != 0)
            continue;
        if (!readWholeFile(folder + "/run.txt", key)) {
            // Finished before runs kept their inputs: this experiment's
            // only while its description is unchanged.
            long number = std::atol(name.c_str());
            if (same && number >= 1 && number <= total && names[std::size_t(number - 1)] == name) {
                key = keys[std::size_t(number - 1)];
                writeFileAtomic(folder + "/run.txt", key);
            }
        }
        auto place = wanted.find(key);
        if (key.empty() || place == wanted.end()) {
            forgotten.push_back(name);
        } else if (kept.count(key)) {
            // The same inputs twice (a move cut short): keep the one in its place.
            std::string& held = kept[key];
            if (names[place->second] == name) {
                spare.push_back(held);
                held = name;
            } else {
                spare.push_back(name);
            }
        } else {
            kept[key] = name;
        }
    }
    if (!forgotten.empty() && !restart) {
        problem = dir + " holds the runs of another experiment: " + std::to_string(forgotten.size()) +
                  " finished run" + (forgotten.size() > 1 ? "s" : "") + " this one does not have (runs/" +
                  forgotten[0] + "; see " + dir + "/experiment.txt and base.csv); give --restart to "
                  "forget them, or another --out";
        return 2;
    }
    if (restart) {
        for (const auto& entry : kept)
            forgotten.push_back(entry.second);
        kept.clear();
    }
    // Forgotten first, so that a kill half-way leaves no run that looks
    // finished under the new description.
    for (const std::string& name : forgotten)
        forgetResults(dir + "/runs/" + name);
    for (const std::string& name : spare)
        forgetResults(dir + "/runs/" + name);
    if (!same || restart) {
        ::unlink((dir + "/results.csv").c_str());
        ::unlink((dir + "/results-groups.csv").c_str());
        ::unlink((dir + "/summary.csv").c_str());
    }
    if (!writeFileAtomic(dir + "/base.csv", baseText) ||
        (e.scenarioBase && !writeFileAtomic(dir + "/base.scenario", e.scenarioText)) ||
        !writeFileAtomic(dir + "/experiment.txt", canonical)) {
        problem = "cannot write into " + dir + ": " + std::strerror(errno);
        return 1;
    }

    // Kept runs to their new numbers: all out of the way first, as one may
    // take the place of another.
    std::vector<std::pair<std::string, std::string>> moves;  // aside, final
    for (std::size_t k = 0; k < plans.size(); k++) {
        auto found = kept.find(keys[k]);
        if (found == kept.end() || found->second == names[k])
            continue;
        std::string aside = dir + "/runs/.moving-" + std::to_string(::getpid()) + "-" + names[k];
        if (::rename((dir + "/runs/" + found->second).c_str(), aside.c_str()) != 0) {
            problem = "cannot move " + dir + "/runs/" + found->second + ": " + std::strerror(errno);
            return 1;
        }
        moves.push_back({aside, dir + "/runs/" + names[k]});
    }
    for (const auto& move : moves) {
        removeRunFolder(move.second);
        if (::rename(move.first.c_str(), move.second.c_str()) != 0) {
            problem = "cannot move " + move.first + ": " + std::strerror(errno);
            return 1;
        }
    }
    // What no plan's run is: folders of older, larger plans, and moves cut short.
    std::map<std::string, bool> planned;
    for (const std::string& name : names)
        planned[name] = true;
    for (const std::string& name : folderEntries(dir + "/runs"))
        if (!planned.count(name) && ::access((dir + "/runs/" + name + "/result.csv").c_str(), F_OK) != 0)
            removeRunFolder(dir + "/runs/" + name);

    for (std::size_t k = 0; k < plans.size(); k++) {
        std::string folder = dir + "/runs/" + names[k];
        std::string groups = runGroupsText(baseText, e, plans[k], !e.scenarioBase), old;
        if (!makeFolder(folder)) {
            problem = "cannot make " + folder + ": " + std::strerror(errno);
            return 1;
        }
        if (!readWholeFile(folder + "/run.txt", old) || old != keys[k]) {
            forgetResults(folder);
            if (!writeFileAtomic(folder + "/run.txt", keys[k])) {
                problem = "cannot write " + folder + "/run.txt: " + std::strerror(errno);
                return 1;
            }
        }
        if (e.scenarioBase) {
            std::string scenario = runScenarioText(e, plans[k]);
            if ((!readWholeFile(folder + "/run.scenario", old) || old != scenario) &&
                !writeFileAtomic(folder + "/run.scenario", scenario)) {
                problem = "cannot write " + folder + "/run.scenario: " + std::strerror(errno);
                return 1;
            }
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
    std::string baseText, scenarioText, groupsName;
    if (!readInputFile(dir + "/base.csv", MostBaseBytes, baseText, problem))
        return 1;
    if (e.scenarioBase) {
        if (!readInputFile(dir + "/base.scenario", MostExperimentBytes, scenarioText, problem))
            return 1;
        if (int code = readScenarioBase(e, dir + "/base.scenario", scenarioText, groupsName, problem))
            return code;
    }
    e.baseChecksum = checksumOf(e.scenarioText + baseText);
    return 0;
}

bool lockRun(const std::string& dir, const Experiment& e, int number, std::string& problem) {
    return takeLock(runFolderPath(dir, e, number) + "/lock", true,
                    "run " + std::to_string(number) + " of " + dir, "it is being run already", problem);
}

bool runFinished(const std::string& dir, const Experiment& e, int number, std::string* why) {
    std::string folder = runFolderPath(dir, e, number);
    std::string key, lanes, groups, problem;
    if (::access((folder + "/result.csv").c_str(), F_OK) != 0)
        return false;
    RunPlan plan = planOf(e, number);
    if (!readWholeFile(folder + "/run.txt", key) || key != runKey(e, plan))
        problem = "run.txt does not describe run " + std::to_string(number) + " of " + dir +
                  "/experiment.txt";
    else if (!readWholeFile(folder + "/result.csv", lanes) ||
             !readWholeFile(folder + "/result-groups.csv", groups))
        problem = "its result files cannot be read";
    else if (checkRunResult(lanes, groups, problem))
        return true;
    if (why)
        *why = folder + ": " + problem;
    return false;
}

int collectResults(const std::string& dir, const Experiment& e, std::string& problem) {
    std::vector<RunPlan> plans = planRuns(e);
    std::vector<std::string> laneRows(plans.size()), groupRows(plans.size());
    int missing = 0;
    for (std::size_t r = 0; r < plans.size(); r++) {
        std::string folder = runFolderPath(dir, e, plans[r].number), lanes, groups, why;
        // result.csv is renamed into place after result-groups.csv.
        if (!runFinished(dir, e, plans[r].number, &why) ||
            !readWholeFile(folder + "/result.csv", lanes) ||
            !readWholeFile(folder + "/result-groups.csv", groups)) {
            if (!why.empty())
                std::fprintf(stderr, "ombrane-lab: %s; run %d counts as unfinished\n", why.c_str(),
                             plans[r].number);
            missing++;
            continue;
        }
        laneRows[r] = lanes.substr(lanes.find('\n') + 1);
        groupRows[r] = groups.substr(groups.find('\n') + 1);
    }
    std::string results, resultsGroups;
    buildResults(e, laneRows, groupRows, results, resultsGroups);
    if (!writeFileAtomic(dir + "/results-groups.csv", resultsGroups) ||
        !writeFileAtomic(dir + "/results.csv", results) ||
        !writeFileAtomic(dir + "/summary.csv", buildSummary(e, results))) {
        problem = "cannot write " + dir + "/results.csv: " + std::strerror(errno);
        return -1;
    }
    return missing;
}
