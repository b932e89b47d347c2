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
//   ombrane-conread --list <output.txt>
// writes the list view of the "Groups" window, one row a line, its cells
// separated by "|", after a first line "rect|<row>|<column>|left top right
// bottom" for row 0's cells in screen coordinates, one per column.
// Exit code 0 on success, 2 when the process is not found, 3 when its console
// cannot be read.
#include <windows.h>
#include <commctrl.h>
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

// The list view belongs to another process: its texts and rectangles are
// read through a buffer allocated in that process.
static int writeList(const char* path) {
    HWND groups = FindWindowA("OmbraneGroups", nullptr);
    HWND list = groups ? FindWindowExA(groups, nullptr, "SysListView32", nullptr) : nullptr;
    if (!list)
        return 2;
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process)
        return 3;
    struct Remote {
        LVITEMA item;
        RECT rect;
        char text[256];
    };
    Remote* remote = static_cast<Remote*>(VirtualAllocEx(process, nullptr, sizeof(Remote), MEM_COMMIT, PAGE_READWRITE));
    std::FILE* out = std::fopen(path, "wb");
    if (!remote || !out)
        return 4;
    HWND header = HWND(SendMessageA(list, LVM_GETHEADER, 0, 0));
    const int columns = int(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
    const int rows = int(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int c = 0; c < columns && rows > 0; c++) {
        RECT rect = {LVIR_LABEL, c, 0, 0};
        SIZE_T moved = 0;
        WriteProcessMemory(process, &remote->rect, &rect, sizeof rect, &moved);
        SendMessageA(list, LVM_GETSUBITEMRECT, 0, LPARAM(&remote->rect));
        ReadProcessMemory(process, &remote->rect, &rect, sizeof rect, &moved);
        POINT a = {rect.left, rect.top}, b = {rect.right, rect.bottom};
        ClientToScreen(list, &a);
        ClientToScreen(list, &b);
        std::fprintf(out, "rect|0|%d|%ld %ld %ld %ld\n", c, long(a.x), long(a.y), long(b.x), long(b.y));
    }
    for (int r = 0; r < rows; r++) {
        for (int c = 0; c < columns; c++) {
            LVITEMA item = {};
            item.iSubItem = c;
            item.pszText = remote->text;
            item.cchTextMax = sizeof remote->text;
            SIZE_T moved = 0;
            WriteProcessMemory(process, &remote->item, &item, sizeof item, &moved);
            SendMessageA(list, LVM_GETITEMTEXTA, WPARAM(r), LPARAM(&remote->item));
            char text[256] = "";
            ReadProcessMemory(process, remote->text, text, sizeof text, &moved);
            text[sizeof text - 1] = 0;
            std::fprintf(out, "%s%s", c ? "|" : "", text);
        }
        std::fputc('\n', out);
    }
    std::fclose(out);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return 0;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc < 3)
        return 1;
    if (std::strcmp(__argv[1], "--client") == 0)
        return writeClientArea(__argv[2]);
    if (std::strcmp(__argv[1], "--dialogs") == 0)
        return writeDialogs(__argv[2]);
    if (std::strcmp(__argv[1], "--list") == 0)
        return writeList(__argv[2]);
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
