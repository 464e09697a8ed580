// Writes: g_Run.OwnWindow (after creation returns). The run itself is RunSequence's.
#include "AppWindow.h"

#include "../common/RunState.h"
#include "RunSequence.h"

ATOM RegisterAppWindowClass(HINSTANCE instance, const char* className)
{
    WNDCLASSA windowClass;
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = AppWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, "MYICON");
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    // The brush lives until the process exits, like the class.
    windowClass.hbrBackground = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    windowClass.lpszMenuName = NULL;
    windowClass.lpszClassName = className;
    return RegisterClassA(&windowClass);
}

int CreateAppWindow(HINSTANCE instance, const char* className)
{
    HWND window = CreateWindowExA(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_TOOLWINDOW,
                                  className, className, WS_POPUP,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  NULL, NULL, instance, NULL);
    // The run closes the window while it is being created, so creation normally reports no
    // window at all; WinMain then ends at once.
    if (window == NULL)
        return 0;
    g_Run.OwnWindow = window;
    ShowWindow(window, SW_HIDE);
    UpdateWindow(window);
    return 1;
}

static LRESULT OnCreate(HWND window)
{
    RunSequence(window);
    return 0;
}

static LRESULT OnClose(HWND window)
{
    DestroyWindow(window);
    return 0;
}

static LRESULT OnDestroy()
{
    PostQuitMessage(0);
    return 0;
}

LRESULT CALLBACK AppWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(window);
    case WM_CLOSE:
        return OnClose(window);
    case WM_DESTROY:
        return OnDestroy();
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
