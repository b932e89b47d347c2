// Test helper: dumps the console of a running program to a text file, so a
// script can check what the program logged. Usage:
//   ombrane-conread <program.exe> <output.txt>
// Attaches to the console of the first process with that image name and
// writes every row up to the cursor, trailing blanks removed. A second file,
// <output.txt>.info, gets the console's settings as "key value" lines.
//   ombrane-conread --client <output.txt>
// writes "left top width height" of the client area of the "Ombrane" window,
// in screen coordinates.
//   ombrane-conread --dialogs <output.txt>
// writes every visible dialog box as "dialog|<caption>" followed by one
// "control|<class>|<text>" line per control.
// Exit code 0 on success, 2 when the process is not found, 3 when its console
// cannot be read.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>

static DWORD findProcess(const char* image) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, image) == 0) {
            found = entry.th32ProcessID;
            break;
        }
    }
    CloseHandle(snapshot);
    return found;
}

static int writeClientArea(const char* path) {
    HWND window = FindWindowA("Ombrane", nullptr);
    if (!window)
        return 2;
    RECT client = {};
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    std::FILE* out = std::fopen(path, "wb");
    if (!out)
        return 4;
    std::fprintf(out, "%ld %ld %ld %ld\n", long(origin.x), long(origin.y), long(client.right), long(client.bottom));
    std::fclose(out);
    return 0;
}

static BOOL CALLBACK writeControl(HWND control, LPARAM file) {
    char name[64] = "", text[512] = "";
    GetClassNameA(control, name, sizeof name);
    GetWindowTextA(control, text, sizeof text);
    std::fprintf(reinterpret_cast<std::FILE*>(file), "control|%s|%s\n", name, text);
    return TRUE;
}

static BOOL CALLBACK writeDialog(HWND window, LPARAM file) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    if (!IsWindowVisible(window) || std::strcmp(name, "#32770") != 0)
        return TRUE;
    char caption[512] = "";
    GetWindowTextA(window, caption, sizeof caption);
    std::fprintf(reinterpret_cast<std::FILE*>(file), "dialog|%s\n", caption);
    EnumChildWindows(window, writeControl, file);
    return TRUE;
}

static int writeDialogs(const char* path) {
    std::FILE* out = std::fopen(path, "wb");
    if (!out)
        return 4;
    EnumWindows(writeDialog, reinterpret_cast<LPARAM>(out));
    std::fclose(out);
    return 0;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc < 3)
        return 1;
    if (std::strcmp(__argv[1], "--client") == 0)
        return writeClientArea(__argv[2]);
    if (std::strcmp(__argv[1], "--dialogs") == 0)
        return writeDialogs(__argv[2]);
    DWORD pid = findProcess(__argv[1]);
    if (!pid)
        return 2;
    FreeConsole();
    if (!AttachConsole(pid))
        return 3;
    HANDLE output = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    if (output == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(output, &info))
        return 3;

    std::FILE* text = std::fopen(__argv[2], "wb");
    if (!text)
        return 4;
    int width = info.dwSize.X;
    static char row[4096];
    if (width > int(sizeof row))
        width = int(sizeof row);
    for (SHORT y = 0; y <= info.dwCursorPosition.Y; y++) {
        DWORD read = 0;
        COORD at = {0, y};
        ReadConsoleOutputCharacterA(output, row, DWORD(width), at, &read);
        int length = int(read);
        while (length > 0 && (row[length - 1] == ' ' || row[length - 1] == 0))
            length--;
        std::fwrite(row, 1, size_t(length), text);
        std::fputc('\n', text);
    }
    std::fclose(text);

    char infoName[1024];
    std::snprintf(infoName, sizeof infoName, "%s.info", __argv[2]);
    std::FILE* settings = std::fopen(infoName, "wb");
    if (settings) {
        char title[512] = "";
        GetConsoleTitleA(title, sizeof title);
        WORD attribute = 0;
        DWORD read = 0;
        COORD origin = {0, 0};
        ReadConsoleOutputAttribute(output, &attribute, 1, origin, &read);
        RECT place = {};
        HWND window = GetConsoleWindow();
        if (window)
            GetWindowRect(window, &place);
        std::fprintf(settings, "buffer %d %d\n", info.dwSize.X, info.dwSize.Y);
        std::fprintf(settings, "window %d %d %d %d\n", info.srWindow.Left, info.srWindow.Top,
                     info.srWindow.Right, info.srWindow.Bottom);
        std::fprintf(settings, "attribute %d\n", info.wAttributes);
        std::fprintf(settings, "cellattribute %d\n", attribute);
        std::fprintf(settings, "title %s\n", title);
        std::fprintf(settings, "position %ld %ld\n", long(place.left), long(place.top));
        std::fclose(settings);
    }
    FreeConsole();
    return 0;
}
