// How the live views look, whatever draws them: where the plot, the axes
// and the key go in a client area of any size, the scales from values to
// pixels, the speed colours, the ticks and their labels, and the space-time
// diagram's dots composed into a pixel buffer. The Win32 glue only copies
// the buffer to the screen and draws the text and lines laid out here.
#pragma once

#include <cstdint>

#include "live_views.h"

struct PlotBox {
    int left, top, right, bottom;   // px, right and bottom exclusive; empty when right <= left
};

// A linear scale from values to pixels; `low` maps to pixelLow, `high` to
// pixelHigh (either way round). Values outside are held to the ends.
struct Scale {
    double low, high;
    int pixelLow, pixelHigh;
};
int scalePixel(const Scale& scale, double value);

struct Rgb {
    uint8_t r, g, b;
};
// Red at 0 mph, yellow at half the top speed, green at the top and above;
// every colour of the scale has blue 0 and red or green at 255.
Rgb speedColour(float mph, float topSpeed);
uint32_t pixelWord(Rgb colour);     // 0x00RRGGBB, a 32-bit DIB pixel
unsigned colourRef(Rgb colour);     // 0x00BBGGRR, a COLORREF

enum { TickCapacity = 32, LabelSize = 16 };

struct Tick {
    int pixel;                      // along the axis
    double value;
    char label[LabelSize];
};

// Ticks at a round spacing (1, 2 or 5 times a power of ten, or for time
// whole seconds 1, 2, 5, 10, 15, 30 and minutes likewise) so that labels
// `minGap` pixels apart fit; returns how many (at most `capacity`).
int timeTicks(const Scale& seconds, int minGap, Tick* ticks, int capacity);
int valueTicks(const Scale& scale, int minGap, const char* format, Tick* ticks, int capacity);

// "m:ss" of simulated seconds; past an hour "h:mm:ss". Negative: "-m:ss".
void formatMinutesSeconds(int seconds, char* out, int size);

// The space-time diagram's parts for a client area.
struct SpaceTimeLayout {
    PlotBox plot;                   // the dots; one column per sample, newest at the right
    PlotBox zoneStrip;              // beside the position axis: shaded while the zone is on
    PlotBox key;                    // the colour key, a bar from 0 mph (bottom) to the top
    int     laneTextX, laneTextY;   // where "Lane n" goes
    int     zoneTop, zoneBottom;    // px rows of the zone's stretch, bottom exclusive
    Scale   position;               // ft -> y
    Scale   miles;                  // the same axis in miles, for its labels
    Scale   keySpeed;               // mph -> y along the key
};
SpaceTimeLayout layoutSpaceTime(int width, int height, float roadLength);

// The time scale of the diagram as drawn: the newest sample's step at the
// plot's right column, one sample (SampleSteps) a column to the left.
Scale spaceTimeSeconds(const PlotBox& plot, int newestStep);

// The step of the sample drawn at column x; -1 outside the plot or the samples.
int spaceTimeStepAt(const SpaceTimeLayout& layout, int x, int y);

// Composes the diagram into `pixels` (width x height, rows top down): the
// plot white, columns sampled while the zone was on light grey behind the
// dots, each car of `lane` (or AllLanes) a dot in its speed's colour, and
// the colour key, and the zone strip shaded while `zoneOn`. Nothing outside
// the plot, the strip and the key is touched.
void composeSpaceTime(uint32_t* pixels, int width, int height, const SpaceTimeLayout& layout,
                      int lane, int zoneOn);

// Where the scenario's events fall along a time scale whose unit is
// `stepsPerUnit` steps (a second of the chart, a sample of the space-time
// diagram): the pixel of each event inside the scale's range, in firing
// order; returns how many (at most `capacity`). None without a scenario.
int eventPixels(const Scale& time, double stepsPerUnit, int* pixels, int capacity);

// The speed chart's parts for a client area.
struct ChartLayout {
    PlotBox plot;
    PlotBox key;                    // group numbers beside their colours, in columns
    int     keyRows;                // entries in a key column, >= 1
    Scale   seconds;                // simulated s -> x
    Scale   speed;                  // mph -> y
};
// The key lists `keyEntries` series (the overall average and every reported
// group of the newest point).
ChartLayout layoutSpeedChart(int width, int height, int keyEntries);

// The groups of the newest point that are reported, in order; returns how many.
int reportedGroups(int* groups, int capacity);

// The highest average on the chart, rounded up to a tick (10 mph at least).
double chartTopSpeed();
