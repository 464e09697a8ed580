/*
 * floor_program: the least a run of Tavix.exe can cost, as a baseline for the benchmark.
 *
 *   floor_program
 *
 * Built like Tavix.exe (GUI subsystem, static, the same libraries, the same resources) and
 * importing the same DLLs, it does what every run of Tavix does before any work of its own:
 * it registers a window class as Tavix does (its icon MYICON, the arrow cursor, a solid brush
 * of the button-face colour), creates the same hidden top-most tool window, which closes
 * itself while it is being created, and runs the message loop until the quit message that
 * the closing posts.
 *
 * On the NT family Tavix works in UTF-16, so the floor does too: the wide module path, class,
 * window and message loop.
 *
 * One cheap call into each library keeps its DLL among the imports, so that the loader maps
 * and initialises it as it does for Tavix: PathUnquoteSpacesW (shlwapi) works on the module
 * path in memory, CreateSolidBrush (gdi32) makes the class brush and DragAcceptFiles (shell32)
 * only clears a window style bit; none of them touches the disk or another process.
 *
 * Exit code: 0 after the window closed itself and the loop ended on the quit message, 1 when
 * the window was not made and closed (the loop would then wait for a quit message that never
 * comes) or the loop failed.
 */
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

static const WCHAR CLASS_NAME[] = L"floor_program";
static int g_destroyed;

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        DragAcceptFiles(window, FALSE);
        SendMessageW(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_DESTROY:
        g_destroyed = 1;
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showState)
{
    (void)previous; (void)commandLine; (void)showState;

    WCHAR modulePath[2 * MAX_PATH];
    GetModuleFileNameW(NULL, modulePath, 2 * MAX_PATH);
    modulePath[2 * MAX_PATH - 1] = 0;
    PathUnquoteSpacesW(modulePath);

    WNDCLASSW windowClass = {0};
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, "MYICON");
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.hbrBackground = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    windowClass.lpszClassName = CLASS_NAME;
    if (!RegisterClassW(&windowClass))
        return 1;

    /* The window closes itself during creation, so no handle comes back; the quit message
       posted by its destruction is what the loop below ends on. */
    CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_TOOLWINDOW, CLASS_NAME, CLASS_NAME,
                    WS_POPUP,
                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                    NULL, NULL, instance, NULL);
    if (!g_destroyed)
        return 1;

    MSG message;
    BOOL got;
    while ((got = GetMessageW(&message, NULL, 0, 0)) > 0)
        DispatchMessageW(&message);
    return got == 0 ? (int)message.wParam : 1;
}
