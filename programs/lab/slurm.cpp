// Slurm runs each task on whichever node it likes, so everything a task
// needs is named by absolute path in a script kept under DIR/slurm/, and
// every run's state is read back from DIR (result.csv) and from squeue,
// never from what submit believed at the time.
#include "slurm.h"

#include "runs.h"
#include "programs.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Slurm's MaxArraySize when scontrol cannot say (a dry run without Slurm).
constexpr long DefaultMaxArraySize = 1001;

std::string runDir(const std::string& dir, const Experiment& e, int number) {
    return dir + "/runs/" + runFolderName(number, runCount(e));
}

// One job recorded in DIR/slurm/jobs.txt.
struct Job {
    std::string id;
    bool collect = false;
    std::vector<int> runs;  // an array's runs, by task index
};

std::vector<Job> readJobs(const std::string& dir) {
    std::vector<Job> jobs;
    std::string text;
    if (!readWholeFile(dir + "/slurm/jobs.txt", text))
        return jobs;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string kind, id, label;
        words >> kind >> id;
        if (id.empty() || (kind != "array" && kind != "collect"))
            continue;
        Job job{id, kind == "collect", {}};
        if (kind == "array" && words >> label && label == "runs")
            for (int run; words >> run;)
                job.runs.push_back(run);
        jobs.push_back(job);
    }
    return jobs;
}

bool appendJob(const std::string& dir, const std::string& line) {
    std::ofstream out(dir + "/slurm/jobs.txt", std::ios::app);
    out << line << '\n';
    out.flush();
    return bool(out);
}

std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ' || s.back() == '\r'))
        s.pop_back();
    return s;
}

// What squeue says of this user's jobs: each ("JOB_TASK" for an array's
// task, else "JOB") pending, or running (or ending).
struct Queue {
    bool known = false;
    std::string problem;
    std::map<std::string, bool> pending;  // false: running
};

Queue readQueue() {
    Queue q;
    std::string out, err;
    int code = runProgram({"squeue", "--noheader", "--array", "--user=" + std::to_string(::getuid()),
                           "--format=%F %K %t"},
                          out, err);
    if (code != 0) {
        // Slurm's commands end with their fatal line.
        std::string said = trimmed(err.empty() ? out : err);
        said = said.substr(said.rfind('\n') == std::string::npos ? 0 : said.rfind('\n') + 1);
        q.problem = said.empty() ? "squeue exited with " + std::to_string(code) : said;
        return q;
    }
    q.known = true;
    std::istringstream in(out);
    std::string job, task, state;
    while (in >> job >> task >> state)
        q.pending[task == "N/A" ? job : job + "_" + task] = state == "PD";
    return q;
}

// For each run, the last array task that was to run it: "JOB_TASK".
std::map<int, std::string> lastTasks(const std::vector<Job>& jobs) {
    std::map<int, std::string> task;
    for (const Job& job : jobs)
        for (std::size_t k = 0; k < job.runs.size(); k++)
            task[job.runs[k]] = job.id + "_" + std::to_string(k);
    return task;
}

// The line of a task's output that says why it ended: Slurm's own (a
// cancelled or timed-out task) or ombrane-lab's, else the last.
std::string reasonIn(const std::string& path) {
    std::string text;
    if (!readWholeFile(path, text))
        return "";
    std::istringstream in(text);
    std::string line, last;
    while (std::getline(in, line)) {
        if (line.rfind("slurmstepd", 0) == 0 || line.rfind("ombrane-lab:", 0) == 0)
            return line;
        if (!line.empty())
            last = line;
    }
    return last;
}

bool writeScript(const std::string& path, const std::string& text) {
    return writeFileAtomic(path, text) && ::chmod(path.c_str(), 0755) == 0;
}

bool makeFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

// sbatch's arguments for every job: where its output goes, and the user's
// partition and time limit.
std::vector<std::string> commonArguments(const std::string& outDir, const SubmitOptions& o) {
    // Relative output names under --chdir: a '%' or '\' in DIR would
    // otherwise be read as Slurm's own file name patterns.
    std::vector<std::string> a = {"sbatch", "--parsable", "--chdir=" + outDir};
    if (!o.partition.empty())
        a.push_back("--partition=" + o.partition);
    if (!o.time.empty())
        a.push_back("--time=" + o.time);
    return a;
}

std::string joined(const std::vector<std::string>& words, const char* between) {
    std::string text;
    for (const std::string& w : words)
        text.append(text.empty() ? "" : between).append(w);
    return text;
}

std::string commandLine(const std::vector<std::string>& argv) {
    std::string line;
    for (const std::string& a : argv)
        line.append(line.empty() ? "" : " ").append(bashQuote(a));
    return line;
}

// Runs sbatch; the job id, or empty with sbatch's message in problem.
std::string sbatch(const std::vector<std::string>& argv, std::string& problem) {
    std::string out, err;
    int code = runProgram(argv, out, err);
    std::string id = trimmed(out).substr(0, trimmed(out).find(';'));
    if (code != 0 || id.empty() || id.find_first_not_of("0123456789") != std::string::npos) {
        problem = trimmed(err.empty() ? out : err);
        if (problem.empty())
            problem = "sbatch exited with " + std::to_string(code);
        else if (code == 0)
            problem = "sbatch printed '" + problem + "', not a job id";
        return "";
    }
    return id;
}

}  // namespace

std::string runRanges(const std::vector<int>& runs) {
    std::string text;
    for (std::size_t k = 0; k < runs.size();) {
        std::size_t end = k;
        while (end + 1 < runs.size() && runs[end + 1] == runs[end] + 1)
            end++;
        text.append(text.empty() ? "" : ",").append(std::to_string(runs[k]));
        if (end > k)
            text += "-" + std::to_string(runs[end]);
        k = end + 1;
    }
    return text;
}

int checkSlurm(SubmitOptions& o) {
    if (!o.dryRun && findOnPath("sbatch").empty()) {
        std::fprintf(stderr, "ombrane-lab: sbatch is not on PATH: submit needs Slurm's commands "
                             "(or give --dry-run to write the scripts only)\n");
        return 1;
    }
    if (o.maxArray > 0)
        return 0;
    std::string out, err;
    int code = runProgram({"scontrol", "show", "config"}, out, err);
    std::istringstream in(out);
    std::string line;
    while (code == 0 && std::getline(in, line)) {
        std::istringstream words(line);
        std::string key, equals;
        long value = 0;
        if (words >> key >> equals >> value && key == "MaxArraySize" && equals == "=" && value > 0) {
            // Task indices run from 0 to MaxArraySize - 1.
            o.maxArray = value;
            return 0;
        }
    }
    if (o.dryRun) {
        o.maxArray = DefaultMaxArraySize;
        return 0;
    }
    std::string said = trimmed(err.empty() ? out : err);
    std::fprintf(stderr,
                 "ombrane-lab: `scontrol show config` gave no MaxArraySize%s%s; give --max-array N\n",
                 said.empty() ? "" : ": ", said.c_str());
    return 1;
}

namespace {

// What one submit sends: its arrays of runs, their sbatch lines and the
// collect job's, whose --dependency is completed once the arrays have ids.
struct Submission {
    std::string slurm, outDir, tag;
    std::vector<std::vector<int>> arrays;
    std::vector<std::vector<std::string>> commands;
    std::vector<std::string> collect;
    std::vector<std::string> waitFor;  // earlier arrays whose tasks are still queued
};

// The runs to submit: unfinished and not queued. A queued run is printed,
// and its array is one the collect job must wait for. False with a message
// when squeue cannot tell.
bool pickRuns(const std::string& dir, const Experiment& e, bool dryRun, std::vector<int>& runs,
              std::vector<std::string>& waitFor) {
    std::vector<Job> jobs = readJobs(dir);
    Queue queue;
    if (!jobs.empty()) {
        queue = readQueue();
        if (!queue.known && !dryRun) {
            // Submitting a queued run again would run it twice in one folder.
            std::fprintf(stderr,
                         "ombrane-lab: cannot ask squeue which runs of %s are still queued: %s\n",
                         dir.c_str(), queue.problem.c_str());
            return false;
        }
    }
    std::map<int, std::string> task = lastTasks(jobs);
    std::vector<int> queued;
    for (const RunPlan& plan : planRuns(e)) {
        if (runFinished(dir, e, plan.number))
            continue;
        auto t = task.find(plan.number);
        if (t != task.end() && queue.pending.count(t->second)) {
            queued.push_back(plan.number);
            std::string job = t->second.substr(0, t->second.find('_'));
            if (std::find(waitFor.begin(), waitFor.end(), job) == waitFor.end())
                waitFor.push_back(job);
        } else {
            runs.push_back(plan.number);
        }
    }
    if (!queued.empty())
        std::printf("still queued, not submitted again: runs %s\n", runRanges(queued).c_str());
    if (runs.empty() && queued.empty())
        std::printf("all %ld runs of %s have finished; nothing to submit "
                    "(ombrane-lab collect joins them)\n",
                    runCount(e), dir.c_str());
    return true;
}

const char DryMark[] = "# A dry run: nothing of this was submitted.\n";

// Writes the arrays' scripts, the collect script and submit-S.sh, the
// sbatch lines a user can run by hand. False with a message when a file
// cannot be written.
bool writeSubmission(const std::string& dir, const SubmitOptions& o, const std::string& self,
                     const std::string& batch, const std::vector<int>& runs, Submission& s) {
    s.slurm = dir + "/slurm";
    s.outDir = s.slurm + "/out";
    auto cannot = [](const std::string& path) {
        std::fprintf(stderr, "ombrane-lab: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    };
    if (!makeFolder(s.slurm) || !makeFolder(s.outDir))
        return cannot(s.outDir);
    // A dry run's number is taken again by the next submit.
    int number = 1;
    for (std::string old; readWholeFile(s.slurm + "/submit-" + std::to_string(number) + ".sh", old) &&
                          old.find(DryMark) == std::string::npos;)
        number++;
    s.tag = std::to_string(number);
    std::string lab = bashQuote(self), where = bashQuote(dir), program = bashQuote(batch);

    for (std::size_t k = 0; k < runs.size(); k += std::size_t(o.maxArray))
        s.arrays.emplace_back(runs.begin() + long(k),
                              runs.begin() + long(std::min(runs.size(), k + std::size_t(o.maxArray))));
    std::string text = "#!/bin/bash\n# Submission " + s.tag + " of " + where +
                       " (ombrane-lab submit): its arrays, then the collect job after them.\n"
                       "set -e\n" +
                       std::string(o.dryRun ? DryMark : "");
    std::string after;
    for (const std::string& job : s.waitFor)
        after += ":" + job;
    for (std::size_t k = 0; k < s.arrays.size(); k++) {
        std::string name = s.slurm + "/array-" + s.tag + "-" + std::to_string(k + 1) + ".sh";
        std::string list;
        for (int run : s.arrays[k])
            list.append(list.empty() ? "" : " ").append(std::to_string(run));
        std::string script =
            "#!/bin/bash\n"
            "# Runs " + runRanges(s.arrays[k]) + " of " + where + ", one per task of a Slurm array\n"
            "# (ombrane-lab submit); task I runs the I-th run of the list, from 0.\n"
            "runs=(" + list + ")\n"
            "run=${runs[${SLURM_ARRAY_TASK_ID:?not a task of a Slurm array}]}\n"
            "echo \"== run $run on $(hostname), task ${SLURM_ARRAY_JOB_ID}_${SLURM_ARRAY_TASK_ID}\"\n"
            "exec " + lab + " one " + where + " \"$run\" --batch " + program + "\n";
        if (!writeScript(name, script))
            return cannot(name);
        std::vector<std::string> argv = commonArguments(s.outDir, o);
        argv.insert(argv.end(), {"--job-name=ombrane-lab", "--output=%A_%a.out",
                                 "--array=0-" + std::to_string(s.arrays[k].size() - 1), name});
        s.commands.push_back(argv);
        text += "a" + std::to_string(k + 1) + "=$(" + commandLine(argv) + ")\n";
        after += ":${a" + std::to_string(k + 1) + "%%;*}";
    }
    // Arrays of a dry run under this number beyond this submission's.
    for (std::size_t k = s.arrays.size() + 1;; k++)
        if (::unlink((s.slurm + "/array-" + s.tag + "-" + std::to_string(k) + ".sh").c_str()) != 0)
            break;

    std::string collectName = s.slurm + "/collect-" + s.tag + ".sh";
    std::string collectScript =
        "#!/bin/bash\n"
        "# Joins the finished runs of " + where + " into results.csv and draws its\n"
        "# pictures (ombrane-lab submit). Exit 3: some runs have not finished, and\n"
        "# `ombrane-lab status` names them.\n" +
        lab + " collect " + where + " || exit\n"
        "exec " + lab + " plot " + where + "\n";
    if (!writeScript(collectName, collectScript))
        return cannot(collectName);
    s.collect = commonArguments(s.outDir, o);
    s.collect.insert(s.collect.end(), {"--job-name=ombrane-lab-collect", "--output=collect-%j.out"});
    // The dependency in double quotes: job ids and ${aK%%;*}, which the
    // shell must expand to the ids sbatch printed.
    text += commandLine(s.collect) + " \"--dependency=afterany" + after + "\" " +
            bashQuote(collectName) + "\n";
    s.collect.push_back(collectName);
    std::string submitName = s.slurm + "/submit-" + s.tag + ".sh";
    if (!writeScript(submitName, text))
        return cannot(submitName);
    if (o.dryRun) {
        std::printf("%s", text.c_str());
        std::printf("# not submitted (--dry-run); the scripts are in %s\n", s.slurm.c_str());
    }
    return true;
}

// Submits the arrays, recording each in jobs.txt as soon as it has an id,
// then the collect job after them. The exit code.
int send(const std::string& dir, Submission& s) {
    std::vector<std::string> ids;
    std::string problem;
    for (std::size_t k = 0; k < s.arrays.size(); k++) {
        std::string id = sbatch(s.commands[k], problem);
        if (id.empty()) {
            std::fprintf(stderr, "ombrane-lab: sbatch refused the array of runs %s: %s\n",
                         runRanges(s.arrays[k]).c_str(), problem.c_str());
            if (!ids.empty())
                std::fprintf(stderr, "ombrane-lab: jobs %s were submitted and run; submit again "
                                     "to submit the rest\n",
                             joined(ids, ", ").c_str());
            return 1;
        }
        std::string line = "array " + id + " runs";
        for (int run : s.arrays[k])
            line += " " + std::to_string(run);
        if (!appendJob(dir, line)) {
            std::fprintf(stderr, "ombrane-lab: cannot write %s/jobs.txt: job %s runs unrecorded\n",
                         s.slurm.c_str(), id.c_str());
            return 1;
        }
        std::printf("job %s: runs %s (%zu task%s), output in %s/%s_*.out\n", id.c_str(),
                    runRanges(s.arrays[k]).c_str(), s.arrays[k].size(),
                    s.arrays[k].size() == 1 ? "" : "s", s.outDir.c_str(), id.c_str());
        ids.push_back(id);
        s.waitFor.push_back(id);
    }
    std::string dependency = "--dependency=afterany";
    for (const std::string& job : s.waitFor)
        dependency += ":" + job;
    s.collect.insert(s.collect.end() - 1, dependency);
    std::string id = sbatch(s.collect, problem);
    if (id.empty()) {
        std::fprintf(stderr, "ombrane-lab: sbatch refused the collect job: %s\n"
                             "ombrane-lab: the runs are submitted; once they end, run "
                             "ombrane-lab collect and plot yourself\n",
                     problem.c_str());
        return 1;
    }
    appendJob(dir, "collect " + id);
    ids.push_back(id);
    std::printf("job %s: collect and plot after them, output in %s/collect-%s.out\n"
                "watch: ombrane-lab status %s   (or: squeue --jobs=%s)\n",
                id.c_str(), s.outDir.c_str(), id.c_str(), bashQuote(dir).c_str(),
                joined(ids, ",").c_str());
    return 0;
}

}  // namespace

int submitRuns(const std::string& dir, const Experiment& e, const SubmitOptions& o,
               const std::string& self, const std::string& batch) {
    std::vector<int> runs;
    Submission s;
    if (!pickRuns(dir, e, o.dryRun, runs, s.waitFor))
        return 1;
    if (runs.empty())
        return 0;
    if (!writeSubmission(dir, o, self, batch, runs, s))
        return 1;
    unlockFolders();
    return o.dryRun ? 0 : send(dir, s);
}

int showStatus(const std::string& dir, const Experiment& e) {
    std::vector<Job> jobs = readJobs(dir);
    // A folder never submitted has nothing queued, with or without Slurm.
    Queue queue;
    queue.known = jobs.empty();
    if (!jobs.empty())
        queue = readQueue();
    std::map<int, std::string> task = lastTasks(jobs);
    long finished = 0, running = 0, pending = 0;
    std::vector<int> failed, left;
    for (const RunPlan& plan : planRuns(e)) {
        int n = plan.number;
        auto t = task.find(n);
        auto q = t == task.end() ? queue.pending.end() : queue.pending.find(t->second);
        if (runFinished(dir, e, n))
            finished++;
        else if (q != queue.pending.end())
            (q->second ? pending : running)++;
        else if (::access((runDir(dir, e, n) + "/console.log").c_str(), F_OK) == 0 ||
                 t != task.end())
            failed.push_back(n);
        else
            left.push_back(n);
    }
    std::printf("%s: %ld runs\n", dir.c_str(), runCount(e));
    std::printf("  finished  %ld\n", finished);
    if (queue.known) {
        std::printf("  running   %ld\n  pending   %ld\n", running, pending);
    } else {
        std::printf("  queued    unknown: %s\n", queue.problem.c_str());
    }
    std::printf("  failed    %zu%s\n", failed.size(),
                queue.known || failed.empty() ? "" : " (or still queued: squeue did not answer)");
    for (std::size_t k = 0; k < failed.size() && k < 10; k++) {
        int n = failed[k];
        auto t = task.find(n);
        std::string file, reason;
        if (t != task.end()) {
            file = "slurm/out/" + t->second + ".out";
            reason = reasonIn(dir + "/" + file);
            if (reason.empty())
                reason = ::access((dir + "/" + file).c_str(), F_OK) == 0 ? "ended without a result"
                                                                          : "its task never started";
        } else {
            file = "runs/" + runFolderName(n, runCount(e)) + "/console.log";
            reason = "started, not finished";
        }
        std::printf("            run %d: %s (%s)\n", n, reason.c_str(), file.c_str());
    }
    if (failed.size() > 10)
        std::printf("            and %zu more: runs %s\n", failed.size() - 10,
                    runRanges(std::vector<int>(failed.begin() + 10, failed.end())).c_str());
    std::printf("  left      %zu\n", left.size());
    if (!failed.empty() || !left.empty())
        std::printf("submit what is left: ombrane-lab submit %s --out %s\n",
                    bashQuote(dir + "/experiment.txt").c_str(), bashQuote(dir).c_str());
    return finished == runCount(e) ? 0 : 3;
}
