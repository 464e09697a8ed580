// Writes: g_Run.Instance, ModulePath, DefaultSettingsName, CommandLine.
#include "../common/RunState.h"
#include "../common/SplitPath.h"
#include "../common/Text.h"
#include "AppWindow.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showState)
{
    (void)showState;
    char className[256];   // the program's base name: class name and window title

    g_Run.Instance = instance;
    // Without its own path the program cannot find its settings; going on would create an empty
    // ".ini" in the current folder and send the paths where the settings do not say.
    if (GetModuleFileNameA(NULL, g_Run.ModulePath, sizeof g_Run.ModulePath) == 0)
        return 0;
    g_Run.ModulePath[sizeof g_Run.ModulePath - 1] = '\0';
    PathUnquoteSpacesA(g_Run.ModulePath);

    SplitPath(g_Run.ModulePath);
    TextCopy(className, sizeof className, g_Run.Parts.BaseName);
    TextJoin(g_Run.DefaultSettingsName, sizeof g_Run.DefaultSettingsName, className, ".ini");
    g_Run.CommandLine = commandLine;

    if (previousInstance == NULL && RegisterAppWindowClass(instance, className) == 0)
        return 0;
    if (!CreateAppWindow(instance, className))
        return 0;

    // GetMessageA gives -1 on failure; that ends the loop too instead of spinning on it.
    MSG message;
    message.wParam = 0;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return (int)message.wParam;
}
