// ombrane-desk.exe: lays out the desktop of the virtual display that
// scripts/run.sh serves to a web browser, so that the console, the road and
// the two live views sit side by side instead of on top of each other. The
// programs keep Windows' own placement; this helper runs beside them in the
// same Wine session and moves their windows from outside.
//
// The console stays at the top left where the program puts it; the main
// window takes the rest of the width beside it, and the views share the
// height below the main window. A window is placed when it first shows and
// again only while it is still where it was put (the console settles its
// width in its own time); once the user moves it, it is left alone.
//
// Ends when the main window has come and gone, or after two minutes with
// none; scripts/run.sh also ends it with everything else.
#include <windows.h>

namespace {

enum Slot { MainSlot, SpaceTimeSlot, SpeedChartSlot, Slots };

struct Placed {
    HWND window;
    RECT wanted;                // the slot it was last put in
    RECT put;                   // where it went (Wine may clamp the size)
};

Placed placed[Slots];
HWND console;

bool same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool titled(HWND window, const char* title) {
    char text[64] = "";
    GetWindowTextA(window, text, sizeof text);
    return lstrcmpA(text, title) == 0;
}

bool ofClass(HWND window, const char* name) {
    char text[64] = "";
    GetClassNameA(window, text, sizeof text);
    return lstrcmpA(text, name) == 0;
}

// The main window is the one of class "Ombrane"; the console is found by
// its title, which only the current edition sets, or else as Wine's
// console window.
BOOL CALLBACK classify(HWND window, LPARAM) {
    if (!IsWindowVisible(window))
        return TRUE;
    if (ofClass(window, "Ombrane"))
        placed[MainSlot].window = window;
    else if (titled(window, "Space-Time Diagram") && ofClass(window, "OmbraneView"))
        placed[SpaceTimeSlot].window = window;
    else if (titled(window, "Speed Chart") && ofClass(window, "OmbraneView"))
        placed[SpeedChartSlot].window = window;
    else if (titled(window, "Ombrane Console") || (!console && ofClass(window, "WineConsoleClass")))
        console = window;
    return TRUE;
}

RECT box(int left, int top, int right, int bottom) {
    RECT r = {left, top, right, bottom};
    return r;
}

// The main window over 56 % of the height: the road keeps its four lanes
// readable, and the views keep room for their axes below it.
void layout(RECT (&slots)[Slots]) {
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    int left = 0;
    RECT consoleBox;
    if (console && GetWindowRect(console, &consoleBox) && consoleBox.left < width / 2)
        left = consoleBox.right > 0 ? consoleBox.right : 0;
    int split = height * 56 / 100;
    int middle = left + (width - left) * 55 / 100;
    slots[MainSlot] = box(left, 0, width, split);
    slots[SpaceTimeSlot] = box(left, split, middle, height);
    slots[SpeedChartSlot] = box(middle, split, width, height);
}

void place(Placed& p, const RECT& want, HWND previous) {
    RECT now;
    if (!GetWindowRect(p.window, &now))
        return;
    bool fresh = p.window != previous;
    if (!fresh && (same(want, p.wanted) || !same(now, p.put)))
        return;
    p.wanted = want;
    SetWindowPos(p.window, nullptr, want.left, want.top, want.right - want.left, want.bottom - want.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(p.window, &p.put);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    bool seenMain = false;
    for (int idle = 0; idle < 1200; idle++) {
        HWND previous[Slots];
        for (int s = 0; s < Slots; s++) {
            previous[s] = placed[s].window;
            placed[s].window = nullptr;
        }
        console = nullptr;
        EnumWindows(classify, 0);
        if (placed[MainSlot].window) {
            seenMain = true;
            idle = 0;
        } else if (seenMain) {
            return 0;
        }
        RECT slots[Slots];
        layout(slots);
        for (int s = 0; s < Slots; s++)
            if (placed[s].window)
                place(placed[s], slots[s], previous[s]);
        Sleep(100);
    }
    return 0;
}
