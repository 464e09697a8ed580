// Feeds arbitrary command-line bytes through the switch parser and, for inputs whose first
// byte is odd, through a whole run on a small desktop: a file manager "filer" in front showing
// C:\work (a.txt selected), an "explorer" window behind it showing C:\work\sub (c.txt
// selected), Tavix.ini naming explorer in @title= and @filer= with one program labelled View,
// and alt.ini with one program labelled Alt and no lists. Bit 1 of the first byte leaves no
// window in front.
//
// Checked against a reference model of the switches (each found case-insensitively anywhere,
// at a character start; a value runs to the first blank): every text field the parser writes
// ends with a zero inside its buffer and holds at most 259 characters, and each field and flag
// is what the model says. A whole run exits with 0, leaves no handle, global block or window
// behind, and outputs what the model of the run says: the version box alone for /#v, the
// error box for a settings "file" that is a folder, otherwise the paths of the window the
// mode and name pick, to the program the label picks or to the clipboard.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "SimWorld.h"
#include "common/RunState.h"
#include "config/Switches.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showState);

namespace {

const char kTarget[] = "fuzz_switches";
const std::string kOwnDirectory = "C:\\Tavix\\";
const std::string kDefaultSettings = "Tavix.ini";

void Require(bool condition, const char* what, const std::string& detail = "")
{
    fuzz::Require(condition, kTarget, what, detail);
}

struct Found {
    bool present = false;
    std::string value;   // up to the first blank
};

Found FindSwitch(const std::string& commandLine, const std::string& name)
{
    Found f;
    size_t at = fuzz::FindNoCase(commandLine, name);
    if (at == std::string::npos)
        return f;
    f.present = true;
    size_t start = at + name.size();
    size_t end = commandLine.find(' ', start);
    f.value = commandLine.substr(start, end == std::string::npos ? std::string::npos : end - start);
    return f;
}

// What the parser should leave in the run state.
struct SwitchModel {
    std::string settingsPath;
    std::string label;
    int useFirstEntry = 0;
    int filerSwitch = 0;
    std::string filerName;
    int titleSwitch = 0;
    std::string titleName;
};

bool Exists(const sim::World& world, const std::string& path)
{
    return world.FileExists(path) || world.DirectoryExists(path);
}

SwitchModel ModelSwitches(const sim::World& world, const std::string& commandLine)
{
    SwitchModel m;
    m.settingsPath = kOwnDirectory + kDefaultSettings;
    Found s = FindSwitch(commandLine, "/#s=");
    if (s.present && s.value.size() < PathBufferSize - 1 &&
        kOwnDirectory.size() + s.value.size() < PathBufferSize &&
        Exists(world, kOwnDirectory + s.value))
        m.settingsPath = kOwnDirectory + s.value;

    Found e = FindSwitch(commandLine, "/#e=");
    if (e.present)
        m.label = fuzz::CutText(e.value, PathBufferSize - 1);
    else if (FindSwitch(commandLine, "/#e").present)
        m.useFirstEntry = 1;

    Found f = FindSwitch(commandLine, "/#f=");
    Found t = FindSwitch(commandLine, "/#t=");
    if (f.present) {
        m.filerName = fuzz::CutText(f.value, PathBufferSize - 1);
        m.filerSwitch = m.filerName.empty() ? 1 : 2;
    } else if (FindSwitch(commandLine, "/#f").present) {
        m.filerSwitch = 1;
    } else if (t.present) {
        m.titleName = fuzz::CutText(t.value, PathBufferSize - 1);
        m.titleSwitch = m.titleName.empty() ? 1 : 2;
    } else {
        m.titleSwitch = 1;   // "/#t" alone, or no mode switch at all
    }
    return m;
}

std::string Field(const char* buffer, size_t size, const char* name)
{
    size_t length = 0;
    Require(fuzz::Terminated(buffer, size, &length), name, "no terminating zero in the buffer");
    Require(length <= PathBufferSize - 1, name, "more than 259 characters");
    return std::string(buffer, length);
}

void CheckSwitches(const SwitchModel& m, const std::string& commandLine)
{
    const std::string detail = "command line [" + commandLine + "]";
    Require(Field(g_Run.SettingsPath, sizeof g_Run.SettingsPath, "SettingsPath") == m.settingsPath,
            "settings path", detail + " expected [" + m.settingsPath + "] got [" +
            g_Run.SettingsPath + "]");
    Require(Field(g_Run.FilerSwitchName, sizeof g_Run.FilerSwitchName, "FilerSwitchName") ==
                m.filerName, "filer name", detail);
    Require(Field(g_Run.TitleSwitchName, sizeof g_Run.TitleSwitchName, "TitleSwitchName") ==
                m.titleName, "title name", detail);
    Require(g_Run.FilerSwitch == m.filerSwitch, "filer switch", detail);
    Require(g_Run.TitleSwitch == m.titleSwitch, "title switch", detail);
    Require(g_Run.UseFirstEntry == m.useFirstEntry, "first entry", detail);
}

// The paths a whole run outputs, as the window search would find them.
std::vector<std::string> ModelRunPaths(const SwitchModel& m, bool foreground, bool nameLists)
{
    const bool filer = m.filerSwitch != 0;
    const std::vector<std::string> front = {filer ? "C:\\work\\a.txt" : "C:\\work"};
    const std::vector<std::string> behind = {filer ? "C:\\work\\sub\\c.txt" : "C:\\work\\sub"};
    const int state = filer ? m.filerSwitch : m.titleSwitch;
    const std::string& name = filer ? m.filerName : m.titleName;
    if (state == 1 && foreground)
        return front;
    if (state == 2 && fuzz::EqualNoCase(name, "filer"))
        return front;
    if (state == 2 && fuzz::EqualNoCase(name, "explorer"))
        return behind;
    if (nameLists)
        return behind;   // @title=explorer / @filer=explorer
    return {};
}

void WholeRun(const std::string& commandLine, unsigned flags)
{
    sim::World world;
    world.SetCommandLine("C:\\Tavix\\Tavix.exe " + commandLine);
    world.AddFile("C:\\Tavix\\Tavix.ini",
                  "[system]\n@title=explorer\n@filer=explorer\n%end\n"
                  "[exec]\nC:\\Tools\\viewer.exe | View\n%end\n");
    world.AddFile("C:\\Tavix\\alt.ini", "[exec]\nC:\\Tools\\viewer.exe | Alt\n>%-M\n%end\n");
    world.AddDirectory("C:\\Tavix\\sets");
    world.AddFile("C:\\Tools\\viewer.exe", "MZ");
    world.AddFile("C:\\work\\a.txt", "");
    world.AddFile("C:\\work\\b.txt", "");
    world.AddFile("C:\\work\\sub\\c.txt", "");
    world.SetClipboardText("earlier");

    DWORD filerProcess = world.AddProcess("C:\\Tools\\filer.exe");
    DWORD explorerProcess = world.AddProcess("C:\\WINDOWS\\explorer.exe");
    HWND behind = world.AddWindow("ExplorerLike", "C:\\work\\sub", true, nullptr, explorerProcess);
    HWND list = world.AddWindow("SysListView32", "", true, behind, explorerProcess);
    sim::ListViewControl& behindItems = world.MakeListView(list);
    behindItems.texts = {"c.txt"};
    behindItems.selected = {0};
    HWND front = world.AddWindow("FilerWindow", "C:\\work", true, nullptr, filerProcess);
    list = world.AddWindow("SysListView32", "", true, front, filerProcess);
    sim::ListViewControl& frontItems = world.MakeListView(list);
    frontItems.texts = {"a.txt", "b.txt"};
    frontItems.selected = {0};
    const bool foreground = (flags & 2) == 0;
    if (foreground)
        world.SetForeground(front);
    std::memset(&g_Run, 0, sizeof g_Run);

    std::string buffer = commandLine;
    const int exitCode = WinMain(SIM_PROGRAM_INSTANCE, NULL, &buffer[0], SW_SHOWDEFAULT);
    const std::string detail = "command line [" + commandLine + "]";
    Require(exitCode == 0, "exit code", detail);
    Require(world.OpenKernelHandles() == 0, "handle left open", detail);
    Require(world.OutstandingGlobalBlocks() == 0, "global block not freed", detail);
    Require(world.LiveWindowsOfCurrentProcess() == 0, "window left behind", detail);
    Require(!world.blockedInMessageLoop, "message loop would wait for ever", detail);
    Require(!world.ClipboardLeftOpen(), "clipboard left open", detail);
    Field(g_Run.RequestedLabel, sizeof g_Run.RequestedLabel, "RequestedLabel");

    if (fuzz::FindNoCase(commandLine, "/#v") != std::string::npos) {
        Require(world.messageBoxes.size() == 1, "/#v shows the version box", detail);
        Require(world.launches.empty() && world.clipboardWrites == 0, "/#v outputs nothing",
                detail);
        Require(g_Run.SettingsPath[0] == '\0', "/#v reads no switch", detail);
        return;
    }

    const SwitchModel m = ModelSwitches(world, commandLine);
    CheckSwitches(m, commandLine);
    if (world.DirectoryExists(m.settingsPath)) {
        Require(world.messageBoxes.size() == 1, "a folder as settings file gives the error box",
                detail);
        Require(world.launches.empty() && world.clipboardWrites == 0,
                "no output after the error box", detail);
        return;
    }
    Require(world.messageBoxes.empty(), "a message box for a readable settings file", detail);

    // Which file was read: Tavix.ini (lists and View), alt.ini (Alt, template %-M), or any other
    // existing file (no lists, no programs).
    const std::string settings = world.FileBytes(m.settingsPath);
    const bool lists = settings.find("@title=") != std::string::npos;
    const bool alt = settings.find("| Alt") != std::string::npos;
    const std::string fileLabel = lists ? "View" : alt ? "Alt" : "";
    std::string label = m.label;
    if (m.useFirstEntry)
        label = fileLabel;   // the first entry's, or none without programs
    Require(Field(g_Run.RequestedLabel, sizeof g_Run.RequestedLabel, "RequestedLabel") == label,
            "requested label", detail);

    const std::vector<std::string> paths = ModelRunPaths(m, foreground, lists);
    if (paths.empty()) {
        Require(world.launches.empty() && world.clipboardWrites == 0, "output without a window",
                detail);
        return;
    }
    if (!label.empty() && fuzz::EqualNoCase(label, fileLabel)) {
        // Tavix.ini's entry has no template (` "%M"`), alt.ini's is %-M.
        std::string item = paths[0];
        if (m.filerSwitch == 0 && !alt)   // a folder gets its backslash from "%M"
            item += '\\';
        std::string expected = alt ? item : " \"" + item + "\"";
        Require(world.launches.size() == 1, "one program start", detail);
        Require(world.launches[0].parameters == expected, "parameters of the start",
                detail + " expected [" + expected + "] got [" + world.launches[0].parameters + "]");
        Require(world.clipboardWrites == 0 && world.beeps.empty(), "clipboard untouched", detail);
    } else {
        Require(world.launches.empty(), "a start without a matching label", detail);
        Require(world.clipboardWrites == 1 && world.ClipboardText().Text() == fuzz::Join(paths, "\r\n"),
                "clipboard text", detail + " got [" + world.ClipboardText().Text() + "]");
        Require(world.beeps.size() == 1, "one beep", detail);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > 4096)
        return 0;
    const unsigned flags = data[0];
    std::string commandLine;
    for (size_t i = 1; i < size; i++)
        if (data[i] != 0)
            commandLine += (char)data[i];

    if (flags & 1) {
        WholeRun(commandLine, flags);
        return 0;
    }

    sim::World world;
    world.AddFile("C:\\Tavix\\Tavix.ini", "");
    world.AddFile("C:\\Tavix\\alt.ini", "");
    world.AddFile("C:\\Tavix\\sets\\work.ini", "");
    world.AddFile("C:\\Tavix\\" + std::string(250 - kOwnDirectory.size(), 'n'), "");
    std::memset(&g_Run, 0, sizeof g_Run);
    std::strcpy(g_Run.OwnDirectory, kOwnDirectory.c_str());
    std::strcpy(g_Run.DefaultSettingsName, kDefaultSettings.c_str());
    ParseSwitches(commandLine.c_str());
    CheckSwitches(ModelSwitches(world, commandLine), commandLine);
    Field(g_Run.RequestedLabel, sizeof g_Run.RequestedLabel, "RequestedLabel");
    Require(std::string(g_Run.RequestedLabel) == ModelSwitches(world, commandLine).label,
            "requested label", "command line [" + commandLine + "]");
    return 0;
}
