// Feeds arbitrary bytes to ombrane-lab's experiment reader and checks what
// an accepted experiment promises the runs: a plan of the counted runs, a
// description that reads back to itself, and run groups files whose rows
// the groups reader takes whole; with a scenario base, run scenarios that
// the scenario reader takes.
#include "experiment.h"
#include "files/scenario.h"
#include "scenario_base.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// Few enough runs to plan every one for every input.
constexpr long MostPlanned = 64;
constexpr std::size_t ReaderLineLimit = 1022;

void require(bool condition) {
    if (!condition)
        std::abort();
}

const std::string Base = "#Group,N,A\n0,10,60\n1,5,55\n";
const std::string BaseScenario = "groups = b.csv\nstart = even\nseed = 3\nnoise group 0 = 0.1\n"
                                 "at 0:02 group 1 A = 40\nat step 9 zone on\n"
                                 "at 0:05 car nearest 1 mi in lane 1 slows to 5 mph for 1 s\n";

void checkAccepted(const Experiment& parsed) {
    require(!parsed.basePath.empty());
    // A scenario base without steps takes the scenario's (here none: the
    // default) once the scenario is read, which may refuse the warm-up then.
    Experiment e = parsed;
    std::string groupsName, refused;
    bool scenarioRuns = e.scenarioBase && readScenarioBase(e, "b.scenario", BaseScenario, groupsName, refused) == 0;
    if (e.scenarioBase && !e.stepsGiven && !scenarioRuns)
        return;
    require(e.steps >= 1 && e.period >= 1 && e.warmup >= 0 && e.warmup < e.steps);
    for (std::size_t k = 0; k < e.varies.size(); k++) {
        const Vary& v = e.varies[k];
        require(!v.values.empty());
        if (v.kind == VaryColumn)
            require(v.group >= 0 && v.group < 50 && knownColumn(v.column));
        else
            require(e.scenarioBase && v.event >= 0);
        if (v.together)
            require(k > 0 && e.varies[k - 1].values.size() == v.values.size());
    }
    long total = runCount(e);
    require(total >= 1);

    // What the folder keeps must read back as the same experiment.
    const std::string baseName = e.scenarioBase ? "base.scenario" : "base.csv";
    std::string canonical = canonicalText(e, baseName);
    Experiment again;
    std::string problem;
    require(parseExperiment(canonical, "again.txt", again, problem, true));
    require(canonicalText(again, baseName) == canonical);
    require(runCount(again) == total);

    if (total > MostPlanned)
        return;
    std::vector<RunPlan> plans = planRuns(e);
    require(long(plans.size()) == total);
    for (std::size_t r = 0; r < plans.size(); r++) {
        const RunPlan& run = plans[r];
        require(run.number == int(r) + 1);
        require(run.repeat >= 1 && run.repeat <= e.repeat);
        for (std::size_t k = 0; k < e.varies.size(); k++)
            require(run.choice[k] >= 0 && std::size_t(run.choice[k]) < e.varies[k].values.size());
        if (scenarioRuns) {
            Scenario s;
            require(parseScenario(runScenarioText(e, run), "run.scenario", s, problem));
        }
        std::string groups = runGroupsText(Base, e, run);
        require(groups.compare(0, Base.size(), Base) == 0);
        std::size_t start = 0;
        while (start < groups.size()) {
            std::size_t feed = groups.find('\n', start);
            require(feed != std::string::npos);
            require(feed - start <= ReaderLineLimit);
            start = feed + 1;
        }
        // Distinct runs are distinct inputs, unless only their order differs.
        if (r > 0 && e.repeat == 1 && e.varies.size() == 1)
            require(runKey(e, run) != runKey(e, plans[r - 1]) ||
                    e.varies[0].values[std::size_t(run.choice[0])] ==
                        e.varies[0].values[std::size_t(plans[r - 1].choice[0])]);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    for (bool force : {false, true}) {
        Experiment e;
        std::string problem;
        if (parseExperiment(text, "fuzz.txt", e, problem, force, MostPlanned)) {
            require(problem.empty());
            checkAccepted(e);
        } else {
            require(problem.compare(0, 9, "fuzz.txt:") == 0);
        }
    }
    return 0;
}
