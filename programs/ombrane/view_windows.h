// ombrane.exe's live views: the Space-Time Diagram and the Speed Chart, each
// a top-level window owned by the main window. Closing one hides it. They
// draw from the rings of frontend/live_views.h into an off-screen DIB section,
// only while shown, and only when a sample, a report point, the lane, the
// zone or the size changed since the last drawing.
#pragma once

#include <windows.h>

#include <cstdint>

// Opens the view (created at its first use) or brings it to the top.
void ShowSpaceTime(HWND owner);
void ShowSpeedChart(HWND owner);

// The pictures themselves, composed into a memory DC whose bitmap is a
// 32-bit top-down DIB section at `pixels` (width x height): the dots by the
// front end, then the axes, labels and key with GDI. The GDI tests call
// these directly.
void ComposeSpaceTimeView(HDC memory, uint32_t* pixels, int width, int height, int lane);
void ComposeSpeedChartView(HDC memory, int width, int height);
