// Writes: g_Run.SettingsPath, RequestedLabel, UseFirstEntry, FilerSwitch, FilerSwitchName,
//         TitleSwitch, TitleSwitchName.
// Reads: g_Run.OwnDirectory, DefaultSettingsName.
#include "Switches.h"

#include "../common/RunState.h"
#include "../common/SystemText.h"
#include "../common/Text.h"
#include "../common/Trace.h"

// Switches are not tokenised: each is found as a case-insensitive substring anywhere.
static const WCHAR* FindSwitch(const WCHAR* commandLine, const WCHAR* name)
{
    return FindNoCase(commandLine, name);
}

// Copies the value that follows a switch ("/#x=") up to the first blank, keeping at most
// maxChars characters. TABs and quotes are ordinary characters of a value.
static void CopySwitchValue(WCHAR* dst, const WCHAR* valueStart, int maxChars)
{
    WCHAR value[LineBufferSize];
    int n = 0;
    while (valueStart[n] != 0 && valueStart[n] != ' ' && n < LineBufferSize - 1) {
        value[n] = valueStart[n];
        n++;
    }
    value[n] = 0;
    TextCopyN(dst, value, maxChars);
}

static void UseDefaultSettingsPath()
{
    TextJoin(g_Run.SettingsPath, PathBufferSize, g_Run.OwnDirectory, g_Run.DefaultSettingsName);
}

// /#s= names a file relative to the program's directory; anything unusable falls back to the
// default name there.
static void ChooseSettingsFile(const WCHAR* commandLine)
{
    const WCHAR* found = FindSwitch(commandLine, WTEXT("/#s="));
    if (found == NULL) {
        UseDefaultSettingsPath();
        return;
    }
    const WCHAR* valueStart = found + 4;
    WCHAR value[LineBufferSize];
    ZeroMemory(value, sizeof value);
    int n = 0;
    while (valueStart[n] != 0 && valueStart[n] != ' ') {
        value[n] = valueStart[n];
        n++;
        if (n == PathBufferSize - 1) {
            Trace("switches: /#s= value is too long; using the default settings file");
            UseDefaultSettingsPath();
            return;
        }
    }
    if (!TextJoin(g_Run.SettingsPath, PathBufferSize, g_Run.OwnDirectory, value)) {
        Trace("switches: /#s= value does not fit beside the program; using the default settings file");
        UseDefaultSettingsPath();
        return;
    }
    if (!FileExists(g_Run.SettingsPath)) {
        Trace("switches: /#s= names no existing file \"%s\"; using the default settings file",
              g_Run.SettingsPath);
        UseDefaultSettingsPath();
    }
}

static void ChooseLabel(const WCHAR* commandLine)
{
    ZeroMemory(g_Run.RequestedLabel, sizeof g_Run.RequestedLabel);
    const WCHAR* found = FindSwitch(commandLine, WTEXT("/#e="));
    if (found != NULL)
        CopySwitchValue(g_Run.RequestedLabel, found + 4, PathBufferSize - 1);
    else if (FindSwitch(commandLine, WTEXT("/#e")) != NULL)
        g_Run.UseFirstEntry = 1;
}

// A /#f switch always wins over /#t; the "=" form of a letter is looked for before the bare one.
static void ChooseMode(const WCHAR* commandLine)
{
    const WCHAR* found = FindSwitch(commandLine, WTEXT("/#f="));
    if (found != NULL) {
        ZeroMemory(g_Run.FilerSwitchName, sizeof g_Run.FilerSwitchName);
        CopySwitchValue(g_Run.FilerSwitchName, found + 4, PathBufferSize - 1);
        g_Run.FilerSwitch = g_Run.FilerSwitchName[0] != 0 ? 2 : 1;
    } else if (FindSwitch(commandLine, WTEXT("/#f")) != NULL) {
        g_Run.FilerSwitch = 1;
    } else if ((found = FindSwitch(commandLine, WTEXT("/#t="))) != NULL) {
        ZeroMemory(g_Run.TitleSwitchName, sizeof g_Run.TitleSwitchName);
        CopySwitchValue(g_Run.TitleSwitchName, found + 4, PathBufferSize - 1);
        g_Run.TitleSwitch = g_Run.TitleSwitchName[0] != 0 ? 2 : 1;
    } else if (FindSwitch(commandLine, WTEXT("/#t")) != NULL) {
        g_Run.TitleSwitch = 1;
    }
    if (g_Run.FilerSwitch == 0 && g_Run.TitleSwitch == 0)
        g_Run.TitleSwitch = 1;
}

void ParseSwitches(const WCHAR* commandLine)
{
    if (commandLine == NULL)
        commandLine = WTEXT("");
    ChooseSettingsFile(commandLine);
    ChooseLabel(commandLine);
    ChooseMode(commandLine);

    Trace("switches: settings file \"%s\"", g_Run.SettingsPath);
    if (g_Run.RequestedLabel[0] != 0)
        Trace("switches: run the program labelled \"%s\"", g_Run.RequestedLabel);
    else if (g_Run.UseFirstEntry)
        Trace("switches: run the first configured program");
    else
        Trace("switches: output to the clipboard");
    if (g_Run.FilerSwitch == 2)
        Trace("switches: filer mode, windows of \"%s\"", g_Run.FilerSwitchName);
    else if (g_Run.FilerSwitch == 1)
        Trace("switches: filer mode, foreground window first");
    else if (g_Run.TitleSwitch == 2)
        Trace("switches: title mode, windows of \"%s\"", g_Run.TitleSwitchName);
    else
        Trace("switches: title mode, foreground window first");
}
