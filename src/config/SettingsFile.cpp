// Writes: g_Run.SettingsPath, and through the sections every settings field.
// Reads: g_Run.SettingsPath (as the switches left it), OwnDirectory, DefaultSettingsName.
#include "SettingsFile.h"

#include "../common/RunState.h"
#include "../common/SystemText.h"
#include "../common/Text.h"
#include "../common/TextFile.h"
#include "../common/Trace.h"
#include "SettingsSections.h"

static const WCHAR FallbackSettingsName[] = WTEXT("Tavix.ini");

// Chooses the file to open and how: an existing SettingsPath as it is; otherwise the default
// name, then "Tavix.ini", beside the program, and when neither exists the default name is
// created empty.
static DWORD ChooseSettingsFile()
{
    if (FileExists(g_Run.SettingsPath))
        return OPEN_EXISTING;
    TextJoin(g_Run.SettingsPath, PathBufferSize, g_Run.OwnDirectory, g_Run.DefaultSettingsName);
    if (!FileExists(g_Run.SettingsPath)) {
        TextJoin(g_Run.SettingsPath, PathBufferSize, g_Run.OwnDirectory, FallbackSettingsName);
        if (!FileExists(g_Run.SettingsPath))
            TextJoin(g_Run.SettingsPath, PathBufferSize, g_Run.OwnDirectory,
                     g_Run.DefaultSettingsName);
    }
    Trace("settings: opening \"%s\", creating it empty when it does not exist", g_Run.SettingsPath);
    return OPEN_ALWAYS;
}

static void ShowSettingsErrorBox(HWND window)
{
    SetForegroundWindow(window);
    MessageBoxA(window,
                "\x90\xDD\x92\xE8\x83\x74\x83\x40\x83\x43\x83\x8B\x88\xD9\x8F\xED",  // 設定ファイル異常
                "\x83\x47\x83\x89\x81\x5B",                                          // エラー
                MB_ICONERROR);
}

int LoadSettings(HWND window)
{
    DWORD disposition = ChooseSettingsFile();
    WCHAR* text;
    DWORD length;
    if (ReadTextFile(g_Run.SettingsPath, disposition, &text, &length) != TextFileRead) {
        Trace("settings: \"%s\" cannot be opened or read; showing the error box",
              g_Run.SettingsPath);
        ShowSettingsErrorBox(window);
        return 0;
    }
    Trace("settings: read \"%s\" (%lu characters)", g_Run.SettingsPath, (unsigned long)length);

    // [system] first, whatever the order in the file: its search path serves every [exec] lookup.
    ParseSystemSection(text, length);
    ParseExecSection(text, length);
    ReleaseTextFile(text);
    Trace("settings: %d programs, %d title names, %d filer names", g_Run.Exec.Count,
          g_Run.TitleList.Count, g_Run.FilerList.Count);
    return 1;
}
