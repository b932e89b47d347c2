// ombrane.exe's painting: road and cars composed off screen, then copied to
// the window in one piece. Its DrawCar answers the platform's seam for this
// program only.
#pragma once

#include <windows.h>

void FillBox(HDC dc, COLORREF colour, int left, int top, int right, int bottom);
void DrawStroke(HDC dc, int x1, int y1, int x2, int y2, int width, int style, COLORREF colour);
void DrawRoad(HDC dc);
// Composes road and cars off screen and copies them to `target` at (0, 0).
void ComposeFrame(HDC target, int width, int height);
void PaintMainWindow(HWND window);
