// Clicking on a car: which car is under the pointer, and the reports of its
// state and of its group.
#pragma once

#include <cstddef>

enum { ReportSize = 1000 };

// Stores the client point packed in a mouse message's position word.
void storeClickPoint(unsigned position);
int  isShiftClick(unsigned keyState);      // group report wanted (Shift, or bit 8)
int  isLeftButtonHeld(unsigned keyState);  // MK_LBUTTON

// Car under the point (client pixels) by the lane lines of the last paint;
// -1 when none.
int hitTestCar(int x, int y);

// The texts that reportCar and reportGroup log, without the closing hyphens.
void formatCarReport(char* out, std::size_t size, int car);
void formatGroupReport(char* out, std::size_t size, int car);

void reportCar(int car);
void reportGroup(int car);
