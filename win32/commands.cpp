// The menu commands and their dialogs.
#include "win32.h"

#include "core/platform.h"
#include "core/sim.h"
#include "commands/commands.h"
#include "commands/save_scenario.h"
#include "frontend/text.h"
#include "resources/resource.h"

#include <commdlg.h>

static OPENFILENAMEA openDialog;
static char filters[] = "Excel csv Files (*.csv)\0*.csv\0All Files (*.*)\0*.*\0";
// The edition that opens scenarios lists them beside the groups files.
static char scenarioFilters[] =
    "Groups files and scenarios (*.csv;*.scenario)\0*.csv;*.scenario\0"
    "Excel csv Files (*.csv)\0*.csv\0Scenarios (*.scenario)\0*.scenario\0All Files (*.*)\0*.*\0";

void PrepareOpenDialog(HWND owner) {
    openDialog.lStructSize = sizeof openDialog;
    openDialog.hwndOwner = owner;
    openDialog.hInstance = nullptr;
    openDialog.lpstrFilter = world.edition->opensScenarios ? scenarioFilters : filters;
    openDialog.lpstrCustomFilter = nullptr;
    openDialog.nMaxCustFilter = 0;
    openDialog.nFilterIndex = 1;
    openDialog.lpstrFile = nullptr;
    openDialog.nMaxFile = PathSize;
    openDialog.lpstrFileTitle = nullptr;
    openDialog.nMaxFileTitle = PathSize;
    openDialog.lpstrInitialDir = nullptr;
    openDialog.lpstrTitle = nullptr;
    openDialog.lpstrDefExt = "csv";
}

BOOL ChooseFile(HWND owner, char* path, char* title) {
    openDialog.hwndOwner = owner;
    openDialog.lpstrFile = path;
    openDialog.lpstrFileTitle = title;
    openDialog.Flags = OFN_HIDEREADONLY | OFN_CREATEPROMPT;
    return GetOpenFileNameA(&openDialog);
}

INT_PTR CALLBACK NumberDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        SendDlgItemMessageA(dialog, IDC_NUMBER, EM_LIMITTEXT, 14, 0);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            // 13 characters and the terminator, whatever the field holds.
            GetDlgItemTextA(dialog, IDC_NUMBER, commandText.inputText, 14);
            EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            EndDialog(dialog, 1);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

int AskNumber(HINSTANCE instance, HWND owner, const char* templateName, DLGPROC procedure, int* target) {
    for (;;) {
        commandText.inputText[0] = 0;
        INT_PTR result = DialogBoxParamA(instance, templateName, owner, procedure, 0);
        if (result != 1)
            return int(result);
        commandText.inputText[sizeof commandText.inputText - 1] = 0;
        if (DigitFilter(commandText.inputText)) {
            *target = numberFromDigits(commandText.inputText);
            return 1;
        }
        if (MessageBoxA(owner, commandText.inputText, "Do you mean?", MB_OKCANCEL) == IDOK) {
            *target = numberFromDigits(commandText.inputText);
            return 1;
        }
    }
}

int PathBesideProgram(const char* fileName, char* destination) {
    char program[PathSize];
    DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
    if (length == 0 || length >= sizeof program) {
        destination[0] = 0;
        return 0;
    }
    return joinBesideProgram(program, fileName, destination, PathSize);
}

void CommandOpen(HWND window) {
    if (!ChooseFile(window, commandText.chosenPath, commandText.chosenTitle))
        return;
    openGroupsFile(commandText.chosenPath, commandText.chosenTitle);
}

void CommandExit(HWND window) { SendMessageA(window, WM_CLOSE, 0, 0); }

void CommandHelp() {
    PathBesideProgram("helpfile.txt", commandText.helpPath);
    if (!PrintHelpFile(commandText.helpPath))
        ShowHints();
    BringWindowToTop(consoleWindow);
}

void CommandAbout(HWND window) { DialogBoxParamA(instanceHandle, "AboutBox", window, AboutDlgProc, 0); }

void CommandStepTo(HWND window) {
    AskNumber(instanceHandle, window, "StepToDlg", NumberDlgProc, &world.run.stepTo);
}

void CommandBackTo(HWND window) {
    int step = 0;
    if (AskNumber(instanceHandle, window, "BackToDlg", NumberDlgProc, &step) == 1)
        backCommand(step);
}

void CommandSpeed(HWND window) {
    AskNumber(instanceHandle, window, "SpeedDlg", NumberDlgProc, &world.run.speedMultiplier);
    if (world.run.speedMultiplier < 1)
        world.run.speedMultiplier = 1;
}

// The name is asked for; the text and the writing are the command's.
void CommandSaveScenario(HWND window) {
    static char path[PathSize];
    static char filter[] = "Scenarios (*.scenario)\0*.scenario\0All Files (*.*)\0*.*\0";
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window;
    dialog.lpstrFilter = filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = PathSize;
    dialog.lpstrTitle = "Save Scenario As";
    dialog.lpstrDefExt = "scenario";
    dialog.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
    if (GetSaveFileNameA(&dialog))
        saveScenarioCommand(path);
}
