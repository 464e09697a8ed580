// Writes: g_Run.OwnWindow (after creation returns). Reads: g_Run.UnicodeCalls. The run itself is
// RunSequence's.
#include "AppWindow.h"

#include "../common/RunState.h"
#include "../common/SystemText.h"
#include "RunSequence.h"

// The class is registered with the wide function where the system has it, so that its window
// is a Unicode window; Windows 98/ME gets the ANSI class of the same name.
ATOM RegisterAppWindowClass(HINSTANCE instance, const WCHAR* className)
{
    HICON icon = LoadIconA(instance, "MYICON");
    HCURSOR cursor = LoadCursorA(NULL, IDC_ARROW);
    // The brush lives until the process exits, like the class.
    HBRUSH background = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    UINT style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    if (g_Run.UnicodeCalls) {
        WNDCLASSW windowClass;
        windowClass.style = style;
        windowClass.lpfnWndProc = AppWindowProc;
        windowClass.cbClsExtra = 0;
        windowClass.cbWndExtra = 0;
        windowClass.hInstance = instance;
        windowClass.hIcon = icon;
        windowClass.hCursor = cursor;
        windowClass.hbrBackground = background;
        windowClass.lpszMenuName = NULL;
        windowClass.lpszClassName = className;
        return RegisterClassW(&windowClass);
    }
    char ansiName[2 * PathBufferSize];
    AnsiMarkedText(className, ansiName, sizeof ansiName);
    WNDCLASSA windowClass;
    windowClass.style = style;
    windowClass.lpfnWndProc = AppWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = icon;
    windowClass.hCursor = cursor;
    windowClass.hbrBackground = background;
    windowClass.lpszMenuName = NULL;
    windowClass.lpszClassName = ansiName;
    return RegisterClassA(&windowClass);
}

int CreateAppWindow(HINSTANCE instance, const WCHAR* className)
{
    DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
    HWND window;
    if (g_Run.UnicodeCalls) {
        window = CreateWindowExW(exStyle, className, className, WS_POPUP, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, instance,
                                 NULL);
    } else {
        char ansiName[2 * PathBufferSize];
        AnsiMarkedText(className, ansiName, sizeof ansiName);
        window = CreateWindowExA(exStyle, ansiName, ansiName, WS_POPUP, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, instance,
                                 NULL);
    }
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
        return g_Run.UnicodeCalls ? DefWindowProcW(window, message, wParam, lParam)
                                  : DefWindowProcA(window, message, wParam, lParam);
    }
}
