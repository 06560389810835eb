// GetControlRect: window rectangle turned into parent-client origin plus size.
#include "common/control_rect.h"

void GetControlRect(HWND control, RECT* rect)
{
    GetWindowRect(control, rect);
    rect->right -= rect->left;
    rect->bottom -= rect->top;
    POINT origin = { rect->left, rect->top };
    ScreenToClient(GetParent(control), &origin);
    rect->left = origin.x;
    rect->top = origin.y;
}
