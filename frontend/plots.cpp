// Layout, scales, colours and the space-time diagram's pixels.
#include "plots.h"

#include "core/scenario.h"

#include <cmath>
#include <cstdio>

namespace {

// Margins of the space-time diagram: position labels at the left, the lane
// line above, time labels below, the colour key at the right.
enum {
    AxisLabelWidth = 56,    // px left of the plot
    StripGap = 2,           // px between the zone strip and the plot
    StripWidth = 6,
    TopMargin = 24,
    BottomMargin = 24,
    KeyMargin = 76,         // px right of the plot: the bar and its labels
    KeyBarWidth = 14,
    ChartLeft = 44,         // px left of the speed chart: mph labels
    ChartTop = 24,
    KeyColumnWidth = 60,
    KeyRowHeight = 16,
    MaxColumnHeight = 16384,    // px of the tallest plot drawn
};

const uint32_t Background = 0xFFFFFF;
const uint32_t ZoneBackground = 0xE4E4E4;
const uint32_t ZoneStrip = 0xD0D000;       // the road's zone shading, as a DIB word

int clampInt(int value, int low, int high) { return value < low ? low : value > high ? high : value; }

bool empty(const PlotBox& box) { return box.right <= box.left || box.bottom <= box.top; }

// The box cut to the pixel buffer, so that nothing is written outside it.
PlotBox within(const PlotBox& box, int width, int height) {
    return PlotBox{clampInt(box.left, 0, width), clampInt(box.top, 0, height),
                   clampInt(box.right, 0, width), clampInt(box.bottom, 0, height)};
}

void fill(uint32_t* pixels, int width, int height, const PlotBox& area, uint32_t word) {
    PlotBox b = within(area, width, height);
    for (int y = b.top; y < b.bottom; y++)
        for (int x = b.left; x < b.right; x++)
            pixels[y * width + x] = word;
}

// The first of 1, 2, 5 times a power of ten that is at least `least`.
double roundStep(double least) {
    if (!(least > 0) || !std::isfinite(least))
        return 1;
    double power = std::pow(10.0, std::floor(std::log10(least)));
    static const double Multiples[] = {1, 2, 5, 10};
    for (double m : Multiples)
        if (m * power >= least * (1 - 1e-9))
            return m * power;
    return 10 * power;
}

double pixelsPerUnit(const Scale& scale) {
    double span = scale.high - scale.low;
    if (!(span > 0))
        return 0;
    return std::fabs(double(scale.pixelHigh - scale.pixelLow)) / span;
}

}  // namespace

int scalePixel(const Scale& scale, double value) {
    double span = scale.high - scale.low;
    if (!(span != 0) || !std::isfinite(span) || !(value == value))
        return scale.pixelLow;
    double t = (value - scale.low) / span;
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    return scale.pixelLow + int(std::lround(t * (scale.pixelHigh - scale.pixelLow)));
}

Rgb speedColour(float mph, float topSpeed) {
    double f = topSpeed > 0 && mph > 0 ? double(mph) / topSpeed : 0;
    if (!(f < 1))
        f = 1;
    if (f < 0.5)
        return Rgb{255, uint8_t(std::lround(510 * f)), 0};
    return Rgb{uint8_t(std::lround(510 * (1 - f))), 255, 0};
}

uint32_t pixelWord(Rgb c) { return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b; }
unsigned colourRef(Rgb c) { return unsigned(c.b) << 16 | unsigned(c.g) << 8 | c.r; }

void formatMinutesSeconds(int seconds, char* out, int size) {
    if (size <= 0)
        return;
    long long s = seconds;
    const char* sign = s < 0 ? "-" : "";
    if (s < 0)
        s = -s;
    if (s >= 3600)
        std::snprintf(out, size_t(size), "%s%lld:%02lld:%02lld", sign, s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(out, size_t(size), "%s%lld:%02lld", sign, s / 60, s % 60);
}

int timeTicks(const Scale& seconds, int minGap, Tick* ticks, int capacity) {
    static const int Spacings[] = {1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200,
                                   18000, 36000, 86400};
    double perSecond = pixelsPerUnit(seconds);
    if (!(perSecond > 0) || capacity <= 0)
        return 0;
    double step = 0;
    for (int s : Spacings)
        if (s * perSecond >= minGap) {
            step = s;
            break;
        }
    if (step == 0)
        return 0;
    double low = seconds.low < seconds.high ? seconds.low : seconds.high;
    double high = seconds.low < seconds.high ? seconds.high : seconds.low;
    int count = 0;
    for (double v = std::ceil(low / step) * step; v <= high && count < capacity; v += step) {
        if (v < 0)
            continue;
        Tick& t = ticks[count++];
        t.value = v;
        t.pixel = scalePixel(seconds, v);
        formatMinutesSeconds(int(v), t.label, LabelSize);
    }
    return count;
}

int valueTicks(const Scale& scale, int minGap, const char* format, Tick* ticks, int capacity) {
    double perUnit = pixelsPerUnit(scale);
    if (!(perUnit > 0) || capacity <= 0)
        return 0;
    double step = roundStep(minGap / perUnit);
    double low = scale.low < scale.high ? scale.low : scale.high;
    double high = scale.low < scale.high ? scale.high : scale.low;
    int count = 0;
    for (int k = int(std::ceil(low / step - 1e-9)); k * step <= high * (1 + 1e-9) && count < capacity; k++) {
        Tick& t = ticks[count++];
        t.value = k * step;
        t.pixel = scalePixel(scale, t.value);
        std::snprintf(t.label, LabelSize, format, t.value);
    }
    return count;
}

SpaceTimeLayout layoutSpaceTime(int width, int height, float roadLength) {
    SpaceTimeLayout l = {};
    if (width < 0)
        width = 0;
    if (height < 0)
        height = 0;
    l.plot = PlotBox{AxisLabelWidth, TopMargin, width - KeyMargin, height - BottomMargin};
    if (empty(l.plot))
        l.plot = PlotBox{0, 0, 0, 0};
    l.zoneStrip = PlotBox{l.plot.left - StripGap - StripWidth, l.plot.top, l.plot.left - StripGap,
                          l.plot.bottom};
    if (empty(l.plot))
        l.zoneStrip = l.plot;
    l.key = PlotBox{l.plot.right + 10, l.plot.top, l.plot.right + 10 + KeyBarWidth, l.plot.bottom};
    if (empty(l.plot))
        l.key = l.plot;
    l.laneTextX = AxisLabelWidth;
    l.laneTextY = 4;
    double length = roadLength >= 1 ? roadLength : 1;
    l.position = Scale{0, length, l.plot.top, l.plot.bottom - 1};
    l.miles = Scale{0, length / 5280, l.plot.top, l.plot.bottom - 1};
    l.keySpeed = Scale{0, liveViews.spaceTime.topSpeed, l.key.bottom - 1, l.key.top};
    l.zoneTop = scalePixel(l.position, 7.25 * world.rowLength);
    l.zoneBottom = scalePixel(l.position, 7.75 * world.rowLength) + 1;
    return l;
}

Scale spaceTimeSeconds(const PlotBox& plot, int newestStep) {
    double newest = double(newestStep) / double(int(SampleSteps));
    int columns = plot.right - plot.left;
    if (columns < 1)
        columns = 1;
    return Scale{newest - (columns - 1), newest, plot.left, plot.right - 1};
}

int spaceTimeStepAt(const SpaceTimeLayout& layout, int x, int y) {
    const PlotBox& p = layout.plot;
    if (x < p.left || x >= p.right || y < p.top || y >= p.bottom)
        return -1;
    int count = 0, step = 0, zone = 0;
    if (!sampleCars(p.right - 1 - x, &count, &step, &zone))
        return -1;
    return step;
}

void composeSpaceTime(uint32_t* pixels, int width, int height, const SpaceTimeLayout& layout,
                      int lane, int zoneOn) {
    if (!pixels || width <= 0 || height <= 0)
        return;
    const PlotBox plot = within(layout.plot, width, height);
    fill(pixels, width, height, plot, Background);
    fill(pixels, width, height, layout.zoneStrip, Background);
    if (zoneOn)
        fill(pixels, width, height,
             PlotBox{layout.zoneStrip.left, layout.zoneTop, layout.zoneStrip.right, layout.zoneBottom},
             ZoneStrip);

    const float top = liveViews.spaceTime.topSpeed;
    const PlotBox key = within(layout.key, width, height);
    for (int y = key.top; y < key.bottom; y++) {
        double span = key.bottom - 1 - key.top;
        float mph = span > 0 ? float(top * (key.bottom - 1 - y) / span) : 0;
        uint32_t word = pixelWord(speedColour(mph, top));
        for (int x = key.left; x < key.right; x++)
            pixels[y * width + x] = word;
    }
    if (empty(plot))
        return;

    // One column per sample, newest at the right. A column is composed in a
    // buffer of its own and copied once: the dots fall on rows all over the
    // plot, and the tables spare a scale and a colour computation per dot.
    static uint32_t colours[256];
    for (int s = 0; s < 256; s++)
        colours[s] = pixelWord(speedColour(float(s), top));
    static int16_t rowOf[65536];
    for (int p = 0; p < 65536; p++) {
        int y = scalePixel(layout.position, p);
        rowOf[p] = int16_t(y >= plot.top && y < plot.bottom ? y - plot.top : -1);
        if (p > layout.position.high && p > 0) {
            for (int q = p + 1; q < 65536; q++)
                rowOf[q] = rowOf[p];
            break;
        }
    }
    static uint32_t column[MaxColumnHeight + 1];
    const int rows = plot.bottom - plot.top < MaxColumnHeight ? plot.bottom - plot.top : MaxColumnHeight;
    const int zoneTop = clampInt(layout.zoneTop, plot.top, plot.bottom) - plot.top;
    const int zoneBottom = clampInt(layout.zoneBottom, plot.top, plot.bottom) - plot.top;
    for (int x = layout.plot.right - 1, age = 0; x >= plot.left; x--, age++) {
        int count = 0, step = 0, zone = 0;
        const CarSample* cars = sampleCars(age, &count, &step, &zone);
        if (!cars)
            break;
        if (x >= plot.right)
            continue;
        for (int y = 0; y < rows; y++)
            column[y] = Background;
        if (zone)
            for (int y = zoneTop; y < zoneBottom && y < rows; y++)
                column[y] = ZoneBackground;
        for (int c = 0; c < count; c++) {
            if (lane != AllLanes && cars[c].lane != lane)
                continue;
            int y = rowOf[cars[c].position];
            if (y < 0 || y >= rows)
                continue;
            // Two pixels tall; the spare entry past the end takes the second
            // pixel of a dot on the last row.
            column[y] = column[y + 1] = colours[cars[c].speed];
        }
        uint32_t* out = pixels + size_t(plot.top) * size_t(width) + size_t(x);
        for (int y = 0; y < rows; y++)
            out[size_t(y) * size_t(width)] = column[y];
    }
}

int reportedGroups(int* groups, int capacity) {
    const ChartPoint* newest = chartPoint(0);
    int count = 0;
    for (int g = 0; g < MaxGroups && count < capacity; g++)
        if (newest ? newest->group[g] >= 0 : world.groups[g].reportFlag != 0)
            groups[count++] = g;
    return count;
}

namespace {

void raiseTop(double& top, const ChartPoint& p) {
    if (p.overall > top && p.overall < 1e6f)
        top = p.overall;
    for (float v : p.group)
        if (v > top && v < 1e6f)
            top = v;
}

}  // namespace

double chartTopSpeed() {
    double top = 0;
    for (int age = 0; const ChartPoint* p = chartPoint(age); age++)
        raiseTop(top, *p);
    for (int age = 0; const ChartPoint* p = keptPoint(age); age++)
        raiseTop(top, *p);
    double step = top > 100 ? roundStep(top / 5) : 10;
    double rounded = std::ceil(top / step) * step;
    return rounded >= 10 ? rounded : 10;
}

ChartLayout layoutSpeedChart(int width, int height, int keyEntries) {
    ChartLayout l = {};
    if (width < 0)
        width = 0;
    if (height < 0)
        height = 0;
    int plotHeight = height - ChartTop - BottomMargin;
    l.keyRows = plotHeight / KeyRowHeight;
    if (l.keyRows < 1)
        l.keyRows = 1;
    int columns = keyEntries > 0 ? (keyEntries + l.keyRows - 1) / l.keyRows : 0;
    int most = (width / 2) / KeyColumnWidth;
    if (columns > most)
        columns = most;
    l.key = PlotBox{width - columns * KeyColumnWidth, ChartTop, width, height - BottomMargin};
    l.plot = PlotBox{ChartLeft, ChartTop, l.key.left - 10, height - BottomMargin};
    if (empty(l.plot)) {
        l.plot = PlotBox{0, 0, 0, 0};
        l.key = l.plot;
    }
    const ChartPoint* oldest = chartPoint(liveViews.chart.count - 1);
    const ChartPoint* newest = chartPoint(0);
    double first = oldest ? oldest->seconds : 0;
    double last = newest ? newest->seconds : 0;
    // The other future, while shown, is on the same axis.
    if (const ChartPoint* keptNewest = keptPoint(0)) {
        const ChartPoint* keptOldest = keptPoint(liveViews.kept.count - 1);
        if (!oldest || keptOldest->seconds < first)
            first = keptOldest->seconds;
        if (!newest || keptNewest->seconds > last)
            last = keptNewest->seconds;
    }
    if (last < first + 60)
        last = first + 60;
    l.seconds = Scale{first, last, l.plot.left, l.plot.right - 1};
    l.speed = Scale{0, chartTopSpeed(), l.plot.bottom - 1, l.plot.top};
    return l;
}

int eventPixels(const Scale& time, double stepsPerUnit, int* pixels, int capacity) {
    const double low = time.low < time.high ? time.low : time.high;
    const double high = time.low < time.high ? time.high : time.low;
    int count = 0;
    for (int k = 0; k < scenarioPlan.eventCount && count < capacity; k++) {
        double at = scenarioPlan.events[k].step / stepsPerUnit;
        if (at >= low && at <= high)
            pixels[count++] = scalePixel(time, at);
    }
    return count;
}
