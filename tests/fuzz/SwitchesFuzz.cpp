// Feeds arbitrary wide command lines through the switch parser and, for inputs whose first byte
// is odd, through a whole run on a small desktop. The rest of the input is the command line's
// tail, as UTF-16 (see fuzz::Wide: é, Hangul, surrogate pairs and lone halves of them can all be
// written). Bit 1 of the first byte leaves no window in front, bit 2 repeats the tail until it
// holds at least 600 units (so that the limits are reached), bit 3 makes the whole run one on
// Windows 98, where the tail is the ANSI text the start-up hands over.
//
// The desktop: a file manager "filer" in front showing C:\work (a.txt selected), an "explorer"
// window behind it showing C:\work\sub (c.txt selected) and, on the NT family, windows of
// "résumé" (C:\café, 😀.txt selected) and of "resume" (C:\cafe, smile.txt selected), whose names
// differ only by their accents. Tavix.ini (UTF-8 with a byte-order mark) names explorer in
// @title= and @filer= and has the programs labelled View and 보기 (template %-M); alt.ini (UTF-16
// with a byte-order mark) has one program labelled Alt (template %-M) and no lists.
//
// Checked against a reference model of the switches (each found case-insensitively anywhere, at
// any unit; a value runs to the first blank): every text field the parser writes ends with a
// zero inside its buffer and holds at most 259 units, a cut one never ends in half a surrogate
// pair, and each field and flag is what the model says. A whole run exits with 0, leaves no
// handle, global block or window behind, and outputs what the model of the run says: the
// version box alone for /#v, the error box for a settings "file" that is a folder, otherwise
// the paths of the window the mode and name pick, to the program the label picks or to the
// clipboard (in both text forms).
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
const std::u16string kOwnDirectory = u"C:\\Tavix\\";
const std::u16string kDefaultSettings = u"Tavix.ini";

void Require(bool condition, const char* what, const std::string& detail = "")
{
    fuzz::Require(condition, kTarget, what, detail);
}

struct Found {
    bool present = false;
    std::u16string value;   // up to the first blank
};

Found FindSwitch(const std::u16string& commandLine, const std::u16string& name)
{
    Found f;
    size_t at = fuzz::FindNoCase(commandLine, name);
    if (at == std::u16string::npos)
        return f;
    f.present = true;
    size_t start = at + name.size();
    size_t end = commandLine.find(u' ', start);
    f.value = commandLine.substr(start, end == std::u16string::npos ? std::u16string::npos
                                                                     : end - start);
    return f;
}

// What the parser should leave in the run state.
struct SwitchModel {
    std::u16string settingsPath;
    std::u16string label;
    int useFirstEntry = 0;
    int filerSwitch = 0;
    std::u16string filerName;
    int titleSwitch = 0;
    std::u16string titleName;
};

bool Exists(const sim::World& world, const std::u16string& path)
{
    return world.FileExists(path) || world.DirectoryExists(path);
}

SwitchModel ModelSwitches(const sim::World& world, const std::u16string& commandLine)
{
    SwitchModel m;
    m.settingsPath = kOwnDirectory + kDefaultSettings;
    Found s = FindSwitch(commandLine, u"/#s=");
    if (s.present && s.value.size() < PathBufferSize - 1 &&
        kOwnDirectory.size() + s.value.size() < PathBufferSize &&
        Exists(world, kOwnDirectory + s.value))
        m.settingsPath = kOwnDirectory + s.value;

    Found e = FindSwitch(commandLine, u"/#e=");
    if (e.present)
        m.label = fuzz::CutText(e.value, PathBufferSize - 1);
    else if (FindSwitch(commandLine, u"/#e").present)
        m.useFirstEntry = 1;

    Found f = FindSwitch(commandLine, u"/#f=");
    Found t = FindSwitch(commandLine, u"/#t=");
    if (f.present) {
        m.filerName = fuzz::CutText(f.value, PathBufferSize - 1);
        m.filerSwitch = m.filerName.empty() ? 1 : 2;
    } else if (FindSwitch(commandLine, u"/#f").present) {
        m.filerSwitch = 1;
    } else if (t.present) {
        m.titleName = fuzz::CutText(t.value, PathBufferSize - 1);
        m.titleSwitch = m.titleName.empty() ? 1 : 2;
    } else {
        m.titleSwitch = 1;   // "/#t" alone, or no mode switch at all
    }
    return m;
}

std::u16string Field(const WCHAR (&buffer)[PathBufferSize], const char* name)
{
    std::u16string text;
    Require(fuzz::Terminated(buffer, &text), name, "no terminating zero in the buffer");
    Require(text.size() <= PathBufferSize - 1, name, "more than 259 units");
    return text;
}

void CheckSwitches(const SwitchModel& m, const std::u16string& commandLine)
{
    const std::string detail = "command line [" + fuzz::Show(commandLine) + "]";
    const std::u16string settingsPath = Field(g_Run.SettingsPath, "SettingsPath");
    Require(settingsPath == m.settingsPath, "settings path",
            detail + " expected [" + fuzz::Show(m.settingsPath) + "] got [" +
                fuzz::Show(settingsPath) + "]");
    Require(Field(g_Run.FilerSwitchName, "FilerSwitchName") == m.filerName, "filer name",
            detail + " expected [" + fuzz::Show(m.filerName) + "]");
    Require(Field(g_Run.TitleSwitchName, "TitleSwitchName") == m.titleName, "title name",
            detail + " expected [" + fuzz::Show(m.titleName) + "]");
    Require(g_Run.FilerSwitch == m.filerSwitch, "filer switch", detail);
    Require(g_Run.TitleSwitch == m.titleSwitch, "title switch", detail);
    Require(g_Run.UseFirstEntry == m.useFirstEntry, "first entry", detail);
}

// The settings files of the whole run.
const std::string kMainSettings =
    "\xEF\xBB\xBF" + sim::Utf8(u"[system]\n@title=explorer\n@filer=explorer\n%end\n"
                               u"[exec]\nC:\\Tools\\viewer.exe | View\n"
                               u"C:\\Tools\\viewer.exe | \uBCF4\uAE30\n>%-M\n%end\n");
const std::u16string kAltSettings = u"[exec]\r\nC:\\Tools\\viewer.exe | Alt\r\n>%-M\r\n%end\r\n";

struct Entry {
    std::u16string label;
    bool bare;   // template %-M: the paths bare, a folder without its backslash
};

// The paths a whole run outputs, as the window search would find them.
std::vector<std::u16string> ModelRunPaths(const SwitchModel& m, bool foreground, bool nameLists,
                                          bool accentWindows)
{
    const bool filer = m.filerSwitch != 0;
    const std::vector<std::u16string> front = {filer ? u"C:\\work\\a.txt" : u"C:\\work"};
    const std::vector<std::u16string> behind = {filer ? u"C:\\work\\sub\\c.txt" : u"C:\\work\\sub"};
    const int state = filer ? m.filerSwitch : m.titleSwitch;
    const std::u16string& name = filer ? m.filerName : m.titleName;
    if (state == 1 && foreground)
        return front;
    if (state == 2 && fuzz::EqualNoCase(name, u"filer"))
        return front;
    if (state == 2 && fuzz::EqualNoCase(name, u"explorer"))
        return behind;
    if (state == 2 && accentWindows && fuzz::EqualNoCase(name, u"r\u00E9sum\u00E9"))
        return {filer ? u"C:\\caf\u00E9\\\U0001F600.txt" : u"C:\\caf\u00E9"};
    if (state == 2 && accentWindows && fuzz::EqualNoCase(name, u"resume"))
        return {filer ? u"C:\\cafe\\smile.txt" : u"C:\\cafe"};
    if (nameLists)
        return behind;   // @title=explorer / @filer=explorer
    return {};
}

// A top-level window of a process showing a folder, with a list view of its items.
void AddFolderWindow(sim::World& world, const std::u16string& image, const std::u16string& folder,
                     const std::vector<std::u16string>& items)
{
    DWORD process = world.AddProcess(image);
    HWND window = world.AddWindow("FolderWindow", folder, true, nullptr, process);
    HWND list = world.AddWindow("SysListView32", "", true, window, process);
    sim::ListViewControl& control = world.MakeListView(list);
    for (const std::u16string& item : items)
        control.texts.push_back(item);
    control.selected = {0};
}

void WholeRun(sim::World& world, const std::u16string& commandLine, unsigned flags)
{
    const bool windows98 = (flags & 8) != 0;
    if (windows98)
        world.SetWindows98();
    world.SetCommandLine(u"C:\\Tavix\\Tavix.exe " + commandLine);
    world.AddFile("C:\\Tavix\\Tavix.ini", kMainSettings);
    world.AddFile("C:\\Tavix\\alt.ini", fuzz::Utf16FileBytes(kAltSettings));
    world.AddDirectory("C:\\Tavix\\sets");
    world.AddFile("C:\\Tools\\viewer.exe", "MZ");
    world.AddFile("C:\\work\\a.txt", "");
    world.AddFile("C:\\work\\b.txt", "");
    world.AddFile("C:\\work\\sub\\c.txt", "");
    world.AddFile(u"C:\\caf\u00E9\\\U0001F600.txt", "");
    world.AddFile(u"C:\\cafe\\smile.txt", "");
    world.SetClipboardText("earlier");

    AddFolderWindow(world, u"C:\\WINDOWS\\explorer.exe", u"C:\\work\\sub", {u"c.txt"});
    // Windows 98 has no texts outside its code page: these two windows are the NT family's.
    if (!windows98) {
        AddFolderWindow(world, u"C:\\Tools\\r\u00E9sum\u00E9.exe", u"C:\\caf\u00E9",
                        {u"\U0001F600.txt"});
        AddFolderWindow(world, u"C:\\Tools\\resume.exe", u"C:\\cafe", {u"smile.txt"});
    }
    DWORD filerProcess = world.AddProcess("C:\\Tools\\filer.exe");
    HWND front = world.AddWindow("FilerWindow", "C:\\work", true, nullptr, filerProcess);
    HWND list = world.AddWindow("SysListView32", "", true, front, filerProcess);
    sim::ListViewControl& frontItems = world.MakeListView(list);
    frontItems.texts = {"a.txt", "b.txt"};
    frontItems.selected = {0};
    const bool foreground = (flags & 2) == 0;
    if (foreground)
        world.SetForeground(front);
    std::memset(&g_Run, 0, sizeof g_Run);

    // The start-up hands WinMain the ANSI tail; Windows 98 knows no other, the NT family's
    // program reads the wide command line.
    std::string ansiTail = sim::Ansi(commandLine);
    const std::u16string seen = windows98 ? sim::Widen(ansiTail) : commandLine;
    const int exitCode = WinMain(SIM_PROGRAM_INSTANCE, NULL, &ansiTail[0], SW_SHOWDEFAULT);
    const std::string detail = "command line [" + fuzz::Show(commandLine) + "]" +
                               (windows98 ? " on Windows 98" : "");
    Require(exitCode == 0, "exit code", detail);
    Require(world.OpenKernelHandles() == 0, "handle left open", detail);
    Require(world.OutstandingGlobalBlocks() == 0, "global block not freed", detail);
    Require(world.LiveWindowsOfCurrentProcess() == 0, "window left behind", detail);
    Require(!world.blockedInMessageLoop, "message loop would wait for ever", detail);
    Require(!world.ClipboardLeftOpen(), "clipboard left open", detail);
    const std::u16string requested = Field(g_Run.RequestedLabel, "RequestedLabel");

    if (fuzz::FindNoCase(seen, u"/#v") != std::u16string::npos) {
        Require(world.messageBoxes.size() == 1, "/#v shows the version box", detail);
        Require(world.launches.empty() && world.clipboardWrites == 0, "/#v outputs nothing",
                detail);
        Require(g_Run.SettingsPath[0] == 0, "/#v reads no switch", detail);
        return;
    }

    const SwitchModel m = ModelSwitches(world, seen);
    CheckSwitches(m, seen);
    if (world.DirectoryExists(m.settingsPath)) {
        Require(world.messageBoxes.size() == 1, "a folder as settings file gives the error box",
                detail);
        Require(world.launches.empty() && world.clipboardWrites == 0,
                "no output after the error box", detail);
        return;
    }
    Require(world.messageBoxes.empty(), "a message box for a readable settings file", detail);

    // Which file was read: Tavix.ini (lists, View and 보기), alt.ini (Alt), or any other existing
    // file (no lists, no programs).
    const std::string settings = world.FileBytes(m.settingsPath);
    const bool main = settings == kMainSettings;
    const bool alt = settings == fuzz::Utf16FileBytes(kAltSettings);
    std::vector<Entry> entries;
    if (main)
        entries = {{u"View", false}, {u"\uBCF4\uAE30", true}};
    else if (alt)
        entries = {{u"Alt", true}};
    std::u16string label = m.label;
    if (m.useFirstEntry)
        label = entries.empty() ? u"" : entries[0].label;
    Require(requested == label, "requested label",
            detail + " expected [" + fuzz::Show(label) + "] got [" + fuzz::Show(requested) + "]");
    int picked = -1;
    for (size_t i = 0; i < entries.size() && picked < 0; i++)
        if (!label.empty() && fuzz::EqualNoCase(label, entries[i].label))
            picked = (int)i;

    const std::vector<std::u16string> paths = ModelRunPaths(m, foreground, main, !windows98);
    if (paths.empty()) {
        Require(world.launches.empty() && world.clipboardWrites == 0, "output without a window",
                detail);
        return;
    }
    if (picked >= 0) {
        // View has no template (` "%M"`: a folder gets its backslash), the others have %-M.
        std::u16string item = paths[0];
        if (m.filerSwitch == 0 && !entries[picked].bare)
            item += u'\\';
        const std::u16string expected = entries[picked].bare ? item : u" \"" + item + u"\"";
        Require(world.launches.size() == 1, "one program start", detail);
        Require(world.launches[0].wide == !windows98, "the start's form", detail);
        Require(world.launches[0].parametersWide == expected, "parameters of the start",
                detail + " expected [" + fuzz::Show(expected) + "] got [" +
                    fuzz::Show(world.launches[0].parametersWide) + "]");
        Require(world.clipboardWrites == 0 && world.beeps.empty(), "clipboard untouched", detail);
    } else {
        Require(world.launches.empty(), "a start without a matching label",
                detail + " label [" + fuzz::Show(label) + "]");
        Require(world.clipboardWrites == (windows98 ? 1 : 2), "one clipboard export", detail);
        fuzz::CheckClipboard(world, paths, !windows98, kTarget, detail);
        Require(world.beeps.size() == 1, "one beep", detail);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > 4096)
        return 0;
    const unsigned flags = data[0];
    sim::World world;
    // The trace is read as a debug viewer reads it: every item has its line.
    world.SetDebugViewerListening(true);
    std::u16string commandLine = fuzz::Wide(std::string((const char*)data + 1, size - 1));
    if ((flags & 4) && !commandLine.empty()) {
        const std::u16string once = commandLine;
        while (commandLine.size() < 600)
            commandLine += once;
    }

    if (flags & 1) {
        WholeRun(world, commandLine, flags);
        return 0;
    }

    world.AddFile("C:\\Tavix\\Tavix.ini", "");
    world.AddFile("C:\\Tavix\\alt.ini", "");
    world.AddFile("C:\\Tavix\\sets\\work.ini", "");
    world.AddFile(u"C:\\Tavix\\r\u00E9sum\u00E9.ini", "");
    world.AddFile(u"C:\\Tavix\\\uD55C\uAD6D.ini", "");
    world.AddFile(u"C:\\Tavix\\\U0001F600.ini", "");
    world.AddFile(u"C:\\Tavix\\\xD800.ini", "");
    world.AddFile(kOwnDirectory + std::u16string(250 - kOwnDirectory.size(), u'n'), "");
    std::u16string smiles;
    while (smiles.size() < 244)
        smiles += u"\U0001F600";
    world.AddFile(kOwnDirectory + smiles + u"x.ini", "");   // a path of 258 units
    std::memset(&g_Run, 0, sizeof g_Run);
    g_Run.UnicodeCalls = 1;
    fuzz::Store(g_Run.OwnDirectory, kOwnDirectory);
    fuzz::Store(g_Run.DefaultSettingsName, kDefaultSettings);
    ParseSwitches(commandLine.c_str());
    const SwitchModel m = ModelSwitches(world, commandLine);
    CheckSwitches(m, commandLine);
    const std::u16string label = Field(g_Run.RequestedLabel, "RequestedLabel");
    Require(label == m.label, "requested label",
            "command line [" + fuzz::Show(commandLine) + "] expected [" + fuzz::Show(m.label) +
                "] got [" + fuzz::Show(label) + "]");
    return 0;
}
