// The Groups window's grid without the window: which groups are its rows,
// the text of every cell, and an edit of a cell checked and applied as the
// groups reader would read that text in that column.
#pragma once

#include "core/world.h"

enum {
    GridColumns = 22,           // the group, Z, A to I, K to N, P, Q, R, lanes 1 to 4
    CellSize    = 24,           // a cell's text and its terminator
    EditMessageSize = 360,
};

struct GridColumn {
    char letter;                // the groups file's column letter; '#' the group
    const char* header;         // the groups file's own name and unit
    const char* name;           // what the console line calls it
};
extern const GridColumn GridColumnTable[GridColumns];

struct GroupGrid {
    int  rowCount;
    int  group[MaxGroups];                      // the group of each row, ascending
    char cell[MaxGroups][GridColumns][CellSize];
};

// The cars of group `g` on the road: in every lane (lane -1) or in one lane.
int groupCarsOnRoad(int g, int lane);

// Rows: every group with a car on the road or set by the groups file in use.
// Cells: the values as they are now, written as the groups file writes them
// (car lengths, seconds, the file's policy codes, lanes from 1), so that a
// cell read back by the reader gives the value it shows. N and 1 to 4 hold
// the group's cars on the road now, in any lane and lane by lane; R holds
// "#" and the report period in seconds for a reported group.
void fillGroupGrid(GroupGrid& grid);

// One cell's text, as fillGroupGrid writes it.
void groupCellText(int g, int column, char* out, int size);

enum EditResult {
    EditApplied,                // takes effect at the next step
    EditPlacesAfresh,           // N or 1 to 4: every car placed again at the next tick
    EditUnchanged,              // the value the cell already shows
    EditRefused,                // the group is as it was; the reason is logged
};

// Applies `text` to group `g`'s cell in `column`, logging one console line:
// "Step 4800: group 0 right policy I 1 -> 3", or the reason it is refused.
// The value is checked by the groups reader's own rule for the column
// (readsAsWritten) and stored by the reader's own code, so an edit stores
// what a file holding that text would. Column R, the group number and the
// group's report statistics cannot be edited. An edit of N or of a lane
// count 1 to 4 mid-run places the cars afresh at the next tick (step 0, the
// history and both views started again, the report file begun anew): every
// group keeps its cars lane by lane, and the edited group gets the cars the
// cell now asks for, as a groups file with those counts would place them.
// Any other edit keeps the run going and marks the model changed, so that
// going back to a step before it brings the old value back and running on
// from there does not replay it. `message` receives the console line.
EditResult editGroupCell(int g, int column, const char* text, char* message, int size);
