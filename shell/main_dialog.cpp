// The main dialog: initialisation, logo painting, terms-box colouring and
// command dispatch. What Start and Exit do lives in update_run.cpp and
// exit_restart.cpp; while an update runs, the dialog only paints and
// answers: Start, Exit and close requests do nothing, Windows may not end
// the session, and the pointer is the wait cursor.
#include <windows.h>
#include <commctrl.h>
#include "common/app_state.h"
#include "common/control_rect.h"
#include "res/resource.h"
#include "shell/exit_restart.h"
#include "shell/main_dialog.h"
#include "shell/update_run.h"

static const int LOGO_WIDTH = 110;
static const int LOGO_HEIGHT = 28;
static const COLORREF LOGO_TRANSPARENT = RGB(255, 255, 255);

// Puts the raw terms text (code page 932, zero-terminated) into the terms box.
static void ShowTermsText(HWND dialog)
{
    HRSRC found = FindResourceExA(AppInstance, RT_RCDATA,
                                  MAKEINTRESOURCEA(IDR_TERMS), 0);
    if (found == 0)
        return;
    HGLOBAL loaded = LoadResource(AppInstance, found);
    if (loaded == 0)
        return;
    const char* text = static_cast<const char*>(LockResource(loaded));
    if (text != 0)
        SetWindowTextA(GetDlgItem(dialog, IDC_TERMS), text);
}

static void InitUpdaterDialog(HWND dialog)
{
    InitCommonControls();
    SendDlgItemMessageA(dialog, IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    ShowTermsText(dialog);
}

// Draws the logo at the hidden IDC_LOGO frame with its white pixels
// transparent. The bitmap and image list are made and released on every paint.
static void PaintLogo(HWND dialog)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(dialog, &paint);
    HBITMAP logo = LoadBitmapA(AppInstance, MAKEINTRESOURCEA(IDB_LOGO));
    RECT where;
    GetControlRect(GetDlgItem(dialog, IDC_LOGO), &where);
    HIMAGELIST images = ImageList_Create(LOGO_WIDTH, LOGO_HEIGHT, ILC_COLORDDB | ILC_MASK, 1, 1);
    ImageList_AddMasked(images, logo, LOGO_TRANSPARENT);
    ImageList_Draw(images, 0, dc, where.left, where.top, ILD_TRANSPARENT);
    ImageList_Destroy(images);
    DeleteObject(logo);
    EndPaint(dialog, &paint);
}

// Gives a message the result `value`, as a dialog procedure must.
static INT_PTR Answer(HWND dialog, LONG_PTR value)
{
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, value);
    return TRUE;
}

INT_PTR CALLBACK UpdaterDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    RunPhase phase = CurrentRunPhase();
    switch (message) {
    case WM_INITDIALOG:
        InitUpdaterDialog(dialog);
        return TRUE;
    case WM_PAINT:
        PaintLogo(dialog);
        return TRUE;
    case WM_CTLCOLORSTATIC:
        // The read-only terms box would be grey; show it black on white.
        if (GetWindowLongA(reinterpret_cast<HWND>(lParam), GWL_ID) == IDC_TERMS) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetBkColor(dc, RGB(255, 255, 255));
            SetTextColor(dc, RGB(0, 0, 0));
            return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
        }
        return FALSE;
    case WM_SETCURSOR:
        if (phase != RunWorking)
            return FALSE;
        SetCursor(LoadCursorA(0, IDC_WAIT));
        return Answer(dialog, TRUE);
    case WM_QUERYENDSESSION:
        // A log-off or shutdown would end the update part-way.
        return phase == RunIdle ? FALSE : Answer(dialog, FALSE);
    case WM_CLOSE:
        // Only the dialog manager's own handling turns a close into Exit.
        return phase != RunIdle;
    case WM_COMMAND:
        if (phase != RunIdle)
            return TRUE;
        switch (LOWORD(wParam)) {
        case IDOK:
            RunStartSequence(dialog);
            break;
        case IDCANCEL:
            HandleExit(dialog);
            break;
        }
        return TRUE;
    }
    return FALSE;
}
