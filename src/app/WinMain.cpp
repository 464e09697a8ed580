// Writes: g_Run.Instance, UnicodeCalls, TraceListening, ModulePath, DefaultSettingsName, CommandLine.
#include "../common/RunState.h"
#include "../common/SplitPath.h"
#include "../common/SystemText.h"
#include "../common/Text.h"
#include "../common/Trace.h"
#include "AppWindow.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showState)
{
    (void)showState;
    WCHAR className[256];   // the program's base name: class name and window title

    g_Run.Instance = instance;
    DetectTextCalls();
    // Without its own path the program cannot find its settings; going on would create an empty
    // ".ini" in the current folder and send the paths where the settings do not say.
    if (ReadModulePath(g_Run.ModulePath, LineBufferSize) == 0)
        return 0;
    g_Run.ModulePath[LineBufferSize - 1] = 0;
    UnquoteSpaces(g_Run.ModulePath);
    DetectTraceListener();

    SplitPath(g_Run.ModulePath);
    TextCopy(className, 256, g_Run.Parts.BaseName);
    TextJoin(g_Run.DefaultSettingsName, PathBufferSize, className, WTEXT(".ini"));
    // On the NT family the tail is taken from the system's wide command line, so that switch
    // values (labels, program names) outside the ANSI code page arrive whole.
    g_Run.CommandLine = TakeCommandLineTail(commandLine);

    if (previousInstance == NULL && RegisterAppWindowClass(instance, className) == 0)
        return 0;
    if (!CreateAppWindow(instance, className))
        return 0;

    // GetMessage gives -1 on failure; that ends the loop too instead of spinning on it.
    MSG message;
    message.wParam = 0;
    for (;;) {
        BOOL got = g_Run.UnicodeCalls ? GetMessageW(&message, NULL, 0, 0)
                                      : GetMessageA(&message, NULL, 0, 0);
        if (got <= 0)
            break;
        TranslateMessage(&message);
        if (g_Run.UnicodeCalls)
            DispatchMessageW(&message);
        else
            DispatchMessageA(&message);
    }
    return (int)message.wParam;
}
