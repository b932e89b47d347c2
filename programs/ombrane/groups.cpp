// The Groups window: a report-style list view of frontend/groups_grid.h's
// grid, refreshed while shown, with an edit control put over a cell to edit
// it in place. The rows, the texts and what an edit does are the front end's.
#include "view_windows.h"

#include <commctrl.h>
#include <windowsx.h>

#include <cstring>

#include "frontend/groups_grid.h"
#include "win32/win32.h"

namespace {

const char* const GroupsClass = "OmbraneGroups";
enum { ListId = 1, EditId = 2, RefreshMillis = 250 };

HWND groupsWindow;
HWND list;
HWND editor;                    // the edit control over a cell, while editing
WNDPROC editorProcedure;        // the edit control's own
int editRow = -1, editColumn = -1;
int chosenColumn = 2;           // the column F2 and Enter edit: the last clicked, A at first
GroupGrid shown;                // what the list view holds
GroupGrid now;                  // what it should hold

void addColumns() {
    for (int c = 0; c < GridColumns; c++) {
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<char*>(GridColumnTable[c].header);
        column.cx = c == 0 ? 50 : ListView_GetStringWidth(list, GridColumnTable[c].header) + 16;
        column.iSubItem = c;
        SendMessageA(list, LVM_INSERTCOLUMNA, WPARAM(c), LPARAM(&column));
    }
}

void setCell(int row, int column, char* text) {
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    SendMessageA(list, LVM_SETITEMTEXTA, WPARAM(row), LPARAM(&item));
}

void insertRow(int row) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = now.cell[row][0];
    SendMessageA(list, LVM_INSERTITEMA, 0, LPARAM(&item));
    for (int c = 1; c < GridColumns; c++)
        setCell(row, c, now.cell[row][c]);
}

bool sameRows() {
    return shown.rowCount == now.rowCount &&
           std::memcmp(shown.group, now.group, sizeof(int) * size_t(now.rowCount)) == 0;
}

// Only what changed is set again, so the list does not flicker as the run goes.
void refresh() {
    if (!list || editor)
        return;
    fillGroupGrid(now);
    if (!sameRows()) {
        SendMessageA(list, WM_SETREDRAW, FALSE, 0);
        ListView_DeleteAllItems(list);
        for (int row = 0; row < now.rowCount; row++)
            insertRow(row);
        SendMessageA(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, nullptr, TRUE);
    } else {
        for (int row = 0; row < now.rowCount; row++)
            for (int c = 0; c < GridColumns; c++)
                if (std::strcmp(shown.cell[row][c], now.cell[row][c]) != 0)
                    setCell(row, c, now.cell[row][c]);
    }
    shown = now;
}

void endEdit(bool apply) {
    if (!editor)
        return;
    HWND closing = editor;
    editor = nullptr;           // before anything can send the editor's kill-focus again
    if (apply && editRow >= 0 && editRow < shown.rowCount) {
        char text[CellSize * 4] = {};
        GetWindowTextA(closing, text, sizeof text);
        char message[EditMessageSize];
        if (editGroupCell(shown.group[editRow], editColumn, text, message, sizeof message) == EditRefused)
            MessageBeep(MB_ICONWARNING);
    }
    DestroyWindow(closing);
    SetFocus(list);
    refresh();
}

LRESULT CALLBACK EditorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS;
    case WM_KEYDOWN:
        if (wParam == VK_RETURN || wParam == VK_ESCAPE) {
            endEdit(wParam == VK_RETURN);
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == '\r' || wParam == 27)
            return 0;           // no beep for the keys that end the edit
        break;
    case WM_KILLFOCUS:
        endEdit(false);
        return 0;
    }
    return CallWindowProcA(editorProcedure, window, message, wParam, lParam);
}

void beginEdit(int row, int column) {
    if (row < 0 || row >= shown.rowCount || column <= 0 || column >= GridColumns)
        return;
    endEdit(false);
    chosenColumn = column;
    RECT cell = {};
    cell.top = column;
    cell.left = LVIR_LABEL;
    if (!SendMessageA(list, LVM_GETSUBITEMRECT, WPARAM(row), LPARAM(&cell)))
        return;
    editRow = row;
    editColumn = column;
    editor = CreateWindowExA(0, "EDIT", shown.cell[row][column],
                             WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, cell.left, cell.top,
                             cell.right - cell.left < 60 ? 60 : cell.right - cell.left,
                             cell.bottom - cell.top + 4, list, HMENU(EditId), instanceHandle, nullptr);
    if (!editor)
        return;
    SendMessageA(editor, WM_SETFONT, SendMessageA(list, WM_GETFONT, 0, 0), TRUE);
    SendMessageA(editor, EM_LIMITTEXT, CellSize * 4 - 2, 0);
    editorProcedure = WNDPROC(SetWindowLongPtrA(editor, GWLP_WNDPROC, LONG_PTR(EditorProc)));
    SendMessageA(editor, EM_SETSEL, 0, -1);
    SetFocus(editor);
}

int selectedRow() { return int(SendMessageA(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED)); }

LRESULT OnNotify(const NMHDR* header) {
    if (header->hwndFrom != list)
        return 0;
    switch (header->code) {
    case NM_CLICK:
        if (reinterpret_cast<const NMITEMACTIVATE*>(header)->iSubItem > 0)
            chosenColumn = reinterpret_cast<const NMITEMACTIVATE*>(header)->iSubItem;
        return 0;
    case NM_DBLCLK: {
        const NMITEMACTIVATE* activate = reinterpret_cast<const NMITEMACTIVATE*>(header);
        beginEdit(activate->iItem, activate->iSubItem > 0 ? activate->iSubItem : chosenColumn);
        return 0;
    }
    case NM_RETURN:
        beginEdit(selectedRow(), chosenColumn);
        return 0;
    case LVN_KEYDOWN:
        if (reinterpret_cast<const NMLVKEYDOWN*>(header)->wVKey == VK_F2)
            beginEdit(selectedRow(), chosenColumn);
        return 0;
    }
    return 0;
}

void OnSize(int width, int height) {
    if (list)
        MoveWindow(list, 0, 0, width, height, TRUE);
}

void OnShow(HWND window, bool showing) {
    if (showing) {
        refresh();
        SetTimer(window, 1, RefreshMillis, nullptr);
    } else {
        endEdit(false);
        KillTimer(window, 1);
    }
}

void OnDestroy(HWND window) {
    KillTimer(window, 1);
    groupsWindow = list = editor = nullptr;
    shown.rowCount = -1;
}

LRESULT CALLBACK GroupsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:       OnSize(LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_NOTIFY:     return OnNotify(reinterpret_cast<const NMHDR*>(lParam));
    case WM_TIMER:      refresh(); return 0;
    case WM_SHOWWINDOW: OnShow(window, wParam != 0); break;
    case WM_SETFOCUS:   SetFocus(editor ? editor : list); return 0;
    case WM_CLOSE:      ShowWindow(window, SW_HIDE); return 0;
    case WM_DESTROY:    OnDestroy(window); return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool registerClass(HINSTANCE instance) {
    static bool registered = false;
    if (registered)
        return true;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = GroupsWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = HBRUSH(COLOR_WINDOW + 1);
    windowClass.lpszClassName = GroupsClass;
    registered = RegisterClassA(&windowClass) != 0;
    return registered;
}

void create(HWND owner) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!registerClass(instance))
        return;
    RECT ownerBox = {};
    GetWindowRect(owner, &ownerBox);
    groupsWindow = CreateWindowA(GroupsClass, "Groups", WS_OVERLAPPEDWINDOW, ownerBox.left + 40,
                                 ownerBox.top + 200, 900, 360, owner, nullptr, instance, nullptr);
    if (!groupsWindow)
        return;
    RECT client;
    GetClientRect(groupsWindow, &client);
    list = CreateWindowExA(0, WC_LISTVIEWA, "",
                           WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 0, 0,
                           client.right, client.bottom, groupsWindow, HMENU(ListId), instance, nullptr);
    if (!list)
        return;
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    addColumns();
    shown.rowCount = -1;
}

}  // namespace

void ShowGroups(HWND owner) {
    if (!groupsWindow)
        create(owner);
    if (!groupsWindow)
        return;
    ShowWindow(groupsWindow, SW_SHOWNORMAL);
    refresh();
    SetForegroundWindow(groupsWindow);
    BringWindowToTop(groupsWindow);
    SetFocus(list);
}
