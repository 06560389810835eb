// Where a dialog control lies in its parent's client area.
#ifndef COMMON_CONTROL_RECT_H
#define COMMON_CONTROL_RECT_H

#include <windows.h>

// Fills `rect` with the control's left and top in its parent's client
// coordinates, and its width and height in the places of right and bottom.
void GetControlRect(HWND control, RECT* rect);

#endif
