#include "inspect.h"

#include "core/platform.h"
#include "core/sim.h"
#include "files/groups.h"
#include "frontend/road_canvas.h"

#include <cstdarg>
#include <cstdio>

void storeClickPoint(unsigned position) {
    roadCanvas.clickX = int(position & 0xFFFF);
    roadCanvas.clickY = int((position >> 16) & 0xFFFF);
}

// Bit 8 is the one the program has always tested for the group report (it
// is MK_CONTROL); bit 4, MK_SHIFT, is what a Shift-click really sets. Both
// ask for the group, so Shift-click works as the help says and Ctrl-click
// keeps working as before.
int isShiftClick(unsigned keyState) { return (keyState & (8 | 4)) != 0; }
int isLeftButtonHeld(unsigned keyState) { return (keyState & 1) != 0; }

// Row and lane of a client y, from the recorded lane lines; 0 when none.
static int findRowAndLane(int y, int* row, int* lane) {
    if (y < roadCanvas.laneLines[0][0].y)
        return 0;
    int lastRow = world.rowCount < 16 ? world.rowCount : 16;
    for (int r = 0; r <= lastRow; r++) {
        for (int k = 0; k < 4; k++) {
            if (y > roadCanvas.laneLines[r][k].y)
                continue;
            if (k > 0) {
                *row = r;
                *lane = 4 - k;
                return 1;
            }
            if (r > 0) {
                *row = r - 1;
                *lane = 0;
                return 1;
            }
            // The top edge of the first row is no lane's bottom: go on below.
            break;
        }
    }
    return 0;
}

int hitTestCar(int x, int y) {
    int row = 0, lane = 0;
    if (!findRowAndLane(y, &row, &lane) || roadCanvas.clientWidth <= 0)
        return -1;
    float pos = float(double(x) * world.viewWidth / roadCanvas.clientWidth
                      + double(row) * world.rowLength);
    int count = world.order.count;
    if (count > MaxCars)
        count = MaxCars;
    for (int i = 0; i < count; i++) {
        int car = world.order.slots[i];
        if (car < 0 || car >= MaxCars)
            continue;
        const Car& c = world.cars[car];
        bool candidate = c.lane == lane;
        if (world.edition->hitsChangingCars)
            candidate = candidate || (c.lane == lane + 1 && c.change == MovingRight)
                                  || (c.lane == lane - 1 && c.change == MovingLeft);
        if (candidate && c.position <= pos && double(pos) <= double(c.position) + world.carLength)
            return car;
    }
    return -1;
}

// snprintf that appends at *used and never runs past the end.
static void append(char* out, std::size_t size, std::size_t* used, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

static void append(char* out, std::size_t size, std::size_t* used, const char* format, ...) {
    if (*used >= size)
        return;
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(out + *used, size - *used, format, args);
    va_end(args);
    if (n < 0)
        return;
    *used += std::size_t(n);
    if (*used >= size)
        *used = size - 1;
}

static float gapOrNone(float distance) {
    if (distance == NoCarDistance)
        return -1;
    return float(double(distance) - world.carLength);
}

static bool validCar(int car) { return car >= 0 && car < MaxCars; }

void formatCarReport(char* out, std::size_t size, int car) {
    if (size == 0)
        return;
    out[0] = 0;
    std::size_t used = 0;
    if (!validCar(car)) {
        append(out, size, &used, "Car NOT_FOUND\r\n");
        return;
    }
    const Car& c = world.cars[car];
    char letter = c.change == MovingRight ? 'R' : c.change == MovingLeft ? 'L' : 'N';
    append(out, size, &used,
           "\r\nCAR NUMBER %d Group %d\r\nspeed=%.1fmph distance=%.0fft\r\n"
           "lane(0..3)=%d CL=%c Ypos=%.0f index=%d\r\n",
           car, c.group, c.speed, c.position, c.lane, letter, c.lateral, c.slot);

    // The search result lives in the world and the gap computation may reuse
    // it, so work from a copy.
    Neighbours n = findNeighbours(car);
    append(out, size, &used,
           "Aheads=[%3d, %3d, %3d, %3d]\r\nBehinds=[%3d, %3d, %3d, %3d]\r\n"
           "BehindEU=[%3d, %3d, %3d, %3d]\r\n",
           n.aheadByLane[3], n.aheadByLane[2], n.aheadByLane[1], n.aheadByLane[0],
           n.behindByLane[3], n.behindByLane[2], n.behindByLane[1], n.behindByLane[0],
           n.euBehindByLane[3], n.euBehindByLane[2], n.euBehindByLane[1], n.euBehindByLane[0]);

    GapView g = {};
    computeGaps(n, g);
    append(out, size, &used,
           "Ahead   dst=%.0fft spd=%.1fmph\r\nEU-Behind dst=%.0fft\r\n"
           "LAhead  dst=%.0fft spd=%.1fmph\r\nLBehind dst=%.0fft spd=%.1fmph\r\n"
           "RAhead  dst=%.0fft spd=%.1fmph\r\nRBehind dst=%.0fft spd=%.1fmph\r\n",
           gapOrNone(g.aheadDistance), g.aheadSpeed, gapOrNone(g.euBehindDistance),
           gapOrNone(g.leftAheadDistance), g.leftAheadSpeed,
           gapOrNone(g.leftBehindDistance), g.leftBehindSpeed,
           gapOrNone(g.rightAheadDistance), g.rightAheadSpeed,
           gapOrNone(g.rightBehindDistance), g.rightBehindSpeed);
}

void formatGroupReport(char* out, std::size_t size, int car) {
    if (size == 0)
        return;
    out[0] = 0;
    std::size_t used = 0;
    int g = validCar(car) ? world.cars[car].group : -1;
    if (g < 0 || g >= MaxGroups) {
        append(out, size, &used, "Car NOT_FOUND\r\n");
        return;
    }
    const Group& gr = world.groups[g];
    const char* colour = colourName(gr.colour);
    append(out, size, &used,
           "\r\nGROUP NUMBER: %d\r\ncolor (Z)=%s\r\nDesired Speed (A)=%.0f mph\r\n"
           "Acceleration (B)=%.0f fpsps\r\nDistance at Speed (C)=%.0f feet\r\n"
           "Delay before Accel (D)=%d steps\r\nPreferred Lane (E)=%d\r\n"
           "When Moves Left (F)=%s\r\nLeft Ahead (G)=%.0f feet\r\nLeft Behind (H)=%.0f feet\r\n"
           "When Moves Right (I)=%s\r\nRight Ahead (K)=%.0f feet\r\nRight Behind (L)=%.0f feet\r\n"
           "Ahead Zone=%.1f car lengths\r\nBehind Zone=%.1f car lengths\r\n"
           "Lane Change Time (M)=%.0f secs\r\nAverage Speed=%.1f mph\r\n",
           g, colour ? colour : "(null)", gr.desiredSpeed, gr.acceleration,
           gr.followDistance, gr.startDelay, gr.preferredLane,
           lanePolicyName(gr.leftPolicy), gr.leftAhead, gr.leftBehind,
           lanePolicyName(gr.rightPolicy), gr.rightAhead, gr.rightBehind,
           double(gr.aheadZone) / world.carLength, double(gr.behindZone) / world.carLength,
           gr.laneChangeTime, gr.averageSpeed);
}

void reportCar(int car) {
    char text[ReportSize];
    formatCarReport(text, sizeof text, car);
    ConsoleLog("%s-----------------------------------\r\n", text);
}

void reportGroup(int car) {
    char text[ReportSize];
    formatGroupReport(text, sizeof text, car);
    ConsoleLog("%s-----------------------------------\r\n", text);
}
