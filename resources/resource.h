// Identifiers shared by the resource scripts and the window procedures.
#pragma once

// Commands (low word of WM_COMMAND's wParam)
#define IDM_NEW      40001
#define IDM_OPEN     40002
#define IDM_SAVE     40003
#define IDM_EXIT     40006
#define IDM_HELP     40017
#define IDM_ABOUT    40018
#define IDM_RESTART  40019
#define IDM_STEPTO   40020
#define IDM_SPEED    40023
#define IDM_BACKTO   40024
#define IDM_SPACETIME   40025
#define IDM_SPEEDCHART  40026
#define IDM_GROUPS      40027
#define IDM_SAVESCENARIO 40028
// Lane menu of the Space-Time Diagram (lane 1 is the rightmost)
#define IDM_LANE_1   40031
#define IDM_LANE_2   40032
#define IDM_LANE_3   40033
#define IDM_LANE_4   40034
#define IDM_LANE_ALL 40035

// Edit field of the Speed and Step To dialogs
#define IDC_NUMBER   1003
