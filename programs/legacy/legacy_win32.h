// The Win32 side of ombrane-legacy.exe, over the skeleton both programs share.
#pragma once

#include "win32/win32.h"

// Road and every car, straight onto the window.
void PaintAll(HWND window);
