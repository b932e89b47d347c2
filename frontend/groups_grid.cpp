// The groups grid: rows, cell texts and edits.
#include "frontend/groups_grid.h"

#include "core/history.h"
#include "core/input_log.h"
#include "core/platform.h"
#include "core/sim.h"
#include "files/groups.h"
#include "frontend/live_views.h"

#include <cstdio>
#include <cstring>

static_assert(sizeof reader.groupLine / sizeof reader.groupLine[0] == MaxGroups, "a line for every group");

const GridColumn GridColumnTable[GridColumns] = {
    {'#', "Group", "group"},
    {'Z', "Z colour", "colour"},
    {'A', "A desired mph", "desired speed"},
    {'B', "B accel ft/s2", "acceleration"},
    {'C', "C follow cars", "follow distance"},
    {'D', "D start delay s", "start delay"},
    {'E', "E preferred lane", "preferred lane"},
    {'F', "F left policy", "left policy"},
    {'G', "G left ahead cars", "left ahead gap"},
    {'H', "H left behind cars", "left behind gap"},
    {'I', "I right policy", "right policy"},
    {'K', "K right ahead cars", "right ahead gap"},
    {'L', "L right behind cars", "right behind gap"},
    {'M', "M change time s", "change time"},
    {'N', "N cars any lane", "cars"},
    {'P', "P ahead zone cars", "ahead zone"},
    {'Q', "Q behind zone cars", "behind zone"},
    {'R', "R report period s", "report"},
    {'1', "1 right lane", "cars in lane 1"},
    {'2', "2", "cars in lane 2"},
    {'3', "3", "cars in lane 3"},
    {'4', "4 left lane", "cars in lane 4"},
};

namespace {

bool placesCars(char letter) { return letter == 'N' || (letter >= '1' && letter <= '4'); }

void number(char* out, int size, double value) { std::snprintf(out, std::size_t(size), "%.6g", value); }

const char* colourText(int value) {
    for (const ColourEntry& entry : ColourTable)
        if (entry.value == value)
            return entry.name;
    return value == -1 ? "none" : "?";
}

// The file's codes: F reads 0 as Always and 1 as FDist, I reads 1 to 4 as
// Always, FDist, Never and EuCarBehind; every other code is stored as read.
int leftCode(int policy) { return policy == Always ? 0 : policy == FDist ? 1 : policy; }
int rightCode(int policy) {
    return policy == Always ? 1 : policy == FDist ? 2 : policy == Never ? 3 : policy == EuCarBehind ? 4 : policy;
}

// The reader stores lane n as n - 1 for n above 0 and anything else as read.
int laneText(int preferredLane) { return preferredLane >= 0 ? preferredLane + 1 : preferredLane; }

bool blank(char c) { return c == ' ' || c == '\t'; }

// The text without blanks around it, cut to a cell.
void trimmed(const char* text, char* out, int size) {
    while (blank(*text))
        text++;
    int length = int(std::strlen(text));
    while (length > 0 && blank(text[length - 1]))
        length--;
    std::snprintf(out, std::size_t(size), "%.*s", length, text);
}

int carsOnRoad[MaxGroups][LaneTotal];

void countCars() {
    std::memset(carsOnRoad, 0, sizeof carsOnRoad);
    const int total = world.carTotal < MaxCars ? world.carTotal : MaxCars;
    for (int c = 0; c < total; c++) {
        const Car& car = world.cars[c];
        if (car.group >= 0 && car.group < MaxGroups && car.lane >= 0 && car.lane < LaneTotal)
            carsOnRoad[car.group][car.lane]++;
    }
}

int counted(int g, int lane) {
    if (lane >= 0)
        return carsOnRoad[g][lane];
    int sum = 0;
    for (int count : carsOnRoad[g])
        sum += count;
    return sum;
}

void cellOfCounted(int g, int column, char* out, int size) {
    const Group& group = world.groups[g];
    const double length = world.carLength != 0 ? world.carLength : 1;
    const int perSecond = world.stepsPerSecond > 0 ? world.stepsPerSecond : 1;
    const char letter = GridColumnTable[column].letter;
    switch (letter) {
    case '#': std::snprintf(out, std::size_t(size), "%d", g); break;
    case 'Z': std::snprintf(out, std::size_t(size), "%s", colourText(group.colour)); break;
    case 'A': number(out, size, group.desiredSpeed); break;
    case 'B': number(out, size, group.acceleration); break;
    case 'C': number(out, size, group.followDistance / length + 1); break;
    case 'D': number(out, size, double(group.startDelay) / perSecond); break;
    case 'E': std::snprintf(out, std::size_t(size), "%d", laneText(group.preferredLane)); break;
    case 'F': std::snprintf(out, std::size_t(size), "%d", leftCode(group.leftPolicy)); break;
    case 'G': number(out, size, group.leftAhead / length + 1); break;
    case 'H': number(out, size, group.leftBehind / length + 1); break;
    case 'I': std::snprintf(out, std::size_t(size), "%d", rightCode(group.rightPolicy)); break;
    case 'K': number(out, size, group.rightAhead / length + 1); break;
    case 'L': number(out, size, group.rightBehind / length + 1); break;
    case 'M': number(out, size, group.laneChangeTime); break;
    case 'N': std::snprintf(out, std::size_t(size), "%d", counted(g, -1)); break;
    case 'P': number(out, size, group.aheadZone / length); break;
    case 'Q': number(out, size, group.behindZone / length); break;
    case 'R':
        if (group.reportFlag)
            std::snprintf(out, std::size_t(size), "#%d", world.reportPeriod / perSecond);
        else
            out[0] = 0;
        break;
    default: std::snprintf(out, std::size_t(size), "%d", counted(g, letter - '1')); break;
    }
}

// Every group keeps its cars lane by lane; the edited cell's count replaces
// the group's own. A placement that would put no car on the road is
// refused, as a groups file that places none leaves the road as it is.
bool placeAfresh(int g, char letter, const char* text) {
    for (int h = 0; h < MaxGroups; h++) {
        Group& group = world.groups[h];
        group.carCount = 0;
        for (int k = 0; k < LaneTotal; k++)
            group.laneCount[k] = counted(h, k);
    }
    if (letter == 'N')
        for (int& count : world.groups[g].laneCount)
            count = 0;
    applyGroupField(g, letter, text);
    if (carsToPlace() > 0) {
        world.newGroupsPending = 1;
        return true;
    }
    for (Group& group : world.groups) {
        group.carCount = 0;
        for (int& count : group.laneCount)
            count = 0;
    }
    return false;
}

}  // namespace

int groupCarsOnRoad(int g, int lane) {
    if (g < 0 || g >= MaxGroups || lane >= LaneTotal)
        return 0;
    countCars();
    return counted(g, lane);
}

void groupCellText(int g, int column, char* out, int size) {
    if (size <= 0)
        return;
    out[0] = 0;
    if (g < 0 || g >= MaxGroups || column < 0 || column >= GridColumns)
        return;
    countCars();
    cellOfCounted(g, column, out, size);
}

void fillGroupGrid(GroupGrid& grid) {
    countCars();
    const bool fileInUse = world.groupsPath[0] != 0;
    grid.rowCount = 0;
    for (int g = 0; g < MaxGroups; g++) {
        if (counted(g, -1) == 0 && !(fileInUse && reader.groupLine[g] > 0))
            continue;
        const int row = grid.rowCount++;
        grid.group[row] = g;
        for (int column = 0; column < GridColumns; column++)
            cellOfCounted(g, column, grid.cell[row][column], CellSize);
    }
}

EditResult editGroupCell(int g, int column, const char* text, char* message, int size) {
    char line[EditMessageSize];
    const int step = world.run.stepCount;
    if (g < 0 || g >= MaxGroups || column < 0 || column >= GridColumns) {
        std::snprintf(line, sizeof line, "Step %d: no such cell of the groups", step);
        ConsoleLog("%s\r\n", line);
        std::snprintf(message, std::size_t(size), "%s", line);
        return EditRefused;
    }
    const GridColumn& c = GridColumnTable[column];
    char value[CellSize * 4], why[200];
    trimmed(text, value, sizeof value);
    EditResult result = EditApplied;
    if (c.letter == '#' || c.letter == 'R') {
        std::snprintf(why, sizeof why, "column %s cannot be edited while the run goes on",
                      c.letter == '#' ? "Group" : "R (the report file's columns and period)");
        result = EditRefused;
    } else if (!value[0]) {
        std::snprintf(why, sizeof why, "an empty field leaves the value as it is");
        result = EditRefused;
    } else if (std::strlen(text) >= sizeof value - 1) {
        std::snprintf(why, sizeof why, "the text is too long for column %c", c.letter);
        result = EditRefused;
    } else if (std::strchr(value, ',')) {
        std::snprintf(why, sizeof why, "'%s' holds a comma, which ends a field of the groups file", value);
        result = EditRefused;
    } else if (!readsAsWritten(c.letter, value, why, sizeof why)) {
        result = EditRefused;
    }
    if (result == EditRefused) {
        std::snprintf(line, sizeof line, "Step %d: group %d %s %c refused: %s; the group is unchanged",
                      step, g, c.name, c.letter, why);
        ConsoleLog("%s\r\n", line);
        std::snprintf(message, std::size_t(size), "%s", line);
        return EditRefused;
    }

    char before[CellSize], after[CellSize];
    groupCellText(g, column, before, sizeof before);
    const bool pending = carsToPlace() > 0;
    if (placesCars(c.letter) && !pending) {
        if (!placeAfresh(g, c.letter, value)) {
            std::snprintf(line, sizeof line,
                          "Step %d: group %d %s %c refused: no group would have a car; the road keeps its cars",
                          step, g, c.name, c.letter);
            ConsoleLog("%s\r\n", line);
            std::snprintf(message, std::size_t(size), "%s", line);
            return EditRefused;
        }
        notePlacementByEdit();
        std::snprintf(line, sizeof line, "Step %d: group %d %s %c %s -> %s: every car placed afresh",
                      step, g, c.name, c.letter, before, value);
        ConsoleLog("%s\r\n", line);
        std::snprintf(message, std::size_t(size), "%s", line);
        return EditPlacesAfresh;
    }
    const Group old = world.groups[g];
    applyGroupField(g, c.letter, value);
    if (std::memcmp(&old, &world.groups[g], sizeof old) == 0 && !placesCars(c.letter)) {
        message[0] = 0;
        return EditUnchanged;
    }
    noteGroupInput(g, c.letter, value);
    showKeptBranch();
    groupCellText(g, column, after, sizeof after);
    if (placesCars(c.letter))
        std::snprintf(after, sizeof after, "%s", value);
    std::snprintf(line, sizeof line, "Step %d: group %d %s %c %s -> %s", step, g, c.name, c.letter, before, after);
    ConsoleLog("%s\r\n", line);
    std::snprintf(message, std::size_t(size), "%s", line);
    return EditApplied;
}
