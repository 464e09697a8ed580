// Feeds arbitrary bytes through the window search and the list-view readers. The first byte
// chooses the run (bit 0 filer mode, bit 1 Windows 98, bit 2 a 64-bit file manager, bit 3 item
// texts without terminator, bit 4 an address box without terminator, bit 5 a list view that
// claims two billion items); the rest, split at 0xFF bytes, is the window title, the address
// box text and the item texts (an item is selected unless its text starts with 'u'). Every run
// must end normally, release everything and output only paths that fit their buffers. When the
// item texts are read as given (bits 3 and 5 clear, not bits 1 and 2 together), every output
// path is what the list view selected: in title mode the folder alone; in filer mode, in the
// list view's order, the folder joined with the text of each selected item (or the special
// folder the text names, either also with ".lnk"), each existing, or the folder alone when no
// item gave a path.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "SimWorld.h"
#include "common/RunState.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showState);

static void Require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_windows: %s\n", what);
        std::abort();
    }
}

// The display names of the special folders, in Shift_JIS.
static bool IsSpecialFolderName(const std::string& text)
{
    static const char* const kNames[] = {
        "\x83\x7D\x83\x43 \x83\x68\x83\x4C\x83\x85\x83\x81\x83\x93\x83\x67",
        "\x82\xA8\x8B\x43\x82\xC9\x93\xFC\x82\xE8",
        "\x83\x7D\x83\x43 \x83\x73\x83\x4E\x83\x60\x83\x83",
        "\x83\x7D\x83\x43 \x83\x7E\x83\x85\x81\x5B\x83\x57\x83\x62\x83\x4E",
        "\x83\x7D\x83\x43 \x83\x72\x83\x66\x83\x49",
        "\x83\x66\x83\x58\x83\x4E\x83\x67\x83\x62\x83\x76",
        "\x8B\xA4\x97\x4C\x83\x68\x83\x4C\x83\x85\x83\x81\x83\x93\x83\x67",
        "\x8B\xA4\x97\x4C\x83\x73\x83\x4E\x83\x60\x83\x83",
        "\x8B\xA4\x97\x4C\x83\x7E\x83\x85\x81\x5B\x83\x57\x83\x62\x83\x4E",
        "\x8B\xA4\x97\x4C\x83\x72\x83\x66\x83\x49",
    };
    for (const char* name : kNames)
        if (text == name)
            return true;
    return false;
}

static std::vector<std::string> Fields(const std::string& bytes)
{
    std::vector<std::string> fields(1);
    for (char c : bytes) {
        if (c == '\xFF')
            fields.emplace_back();
        else if (c != '\0')
            fields.back() += c;
    }
    return fields;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    unsigned flags = data[0];
    std::vector<std::string> fields = Fields(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    std::string title = fields[0].substr(0, 519);
    std::string combo = fields.size() > 1 ? fields[1] : "";

    sim::World world;
    if (flags & 2)
        world.SetWindows98();
    world.AddFile("C:\\work\\a.txt", "");
    world.AddFile("C:\\work\\b.lnk", "");
    world.AddDirectory("C:\\work\\sub");
    world.SetCurrentDirectory("C:\\work");
    DWORD process = world.AddProcess("C:\\Tools\\filer.exe", (flags & 4) ? 64 : 32);
    HWND window = world.AddWindow("FilerWindow", title, true, nullptr, process);
    HWND box = world.AddWindow("ComboBox", combo, true, window, process);
    world.SetUnterminatedText(box, (flags & 16) != 0);
    HWND list = world.AddWindow("SysListView32", "", true, window, process);
    sim::ListViewControl& control = world.MakeListView(list);
    for (size_t i = 2; i < fields.size(); i++) {
        control.texts.push_back(fields[i]);
        if (fields[i].empty() || fields[i][0] != 'u')
            control.selected.insert((int)i - 2);
    }
    control.unterminatedTexts = (flags & 8) != 0;
    if (flags & 32)
        control.itemCount = 2147483647;
    world.SetForeground(window);
    std::memset(&g_Run, 0, sizeof g_Run);

    char commandLine[8];
    std::strcpy(commandLine, (flags & 1) ? "/#f" : "");
    Require(WinMain(SIM_PROGRAM_INSTANCE, NULL, commandLine, SW_SHOWDEFAULT) == 0, "exit code");
    Require(world.OpenKernelHandles() == 0, "handle left open");
    Require(world.OutstandingGlobalBlocks() == 0, "global block not freed");
    Require(world.LiveWindowsOfCurrentProcess() == 0, "window left behind");
    Require(world.LoadedLibraries() == 0, "library left loaded");
    Require(world.RemoteBlocks(process) == 0, "item block left in the file manager");
    Require(world.MappedViews() == 0, "view left mapped");
    Require(!world.blockedOnHungWindow, "waited on a window without a time-out");
    Require(g_Run.Selection.Count >= 0 && g_Run.Selection.Count <= 1000, "selection count");
    Require(std::strlen(g_Run.CurrentFolder) < 260, "folder length");
    Require(std::strlen(g_Run.WindowTitle) < 520, "title length");
    for (int i = 0; i < g_Run.Selection.Count; i++)
        Require(std::strlen(g_Run.Selection.Paths[i]) < 260, "path length");
    std::vector<std::string> output;
    for (const std::string& line : world.trace)
        if (line.rfind("Tavix: output: \"", 0) == 0) {
            Require(line.size() < 16 + 260 + 1, "output length");
            output.push_back(line.substr(16, line.size() - 17));
        }
    // Windows 98 has no 64-bit programs: a "64-bit" file manager there fills the record in a
    // layout the system never uses, so only the checks above apply to it.
    if (output.empty() || (flags & (8 | 32)) || (flags & 6) == 6)
        return 0;

    // What the list view selected, in its order.
    Require((int)output.size() == g_Run.Selection.Count, "output differs from the selection");
    const std::string folder = g_Run.CurrentFolder;
    std::vector<std::string> selectedTexts;
    for (int index : control.selected)
        selectedTexts.push_back(control.texts[index]);
    if (output.size() == 1 && output[0] == folder && !folder.empty())
        return 0;   // title mode, nothing selected, or no item resolvable
    Require((flags & 1) != 0, "title mode outputs the folder alone");
    Require(output.size() <= selectedTexts.size(), "more paths than selected items");
    for (size_t i = 0; i < output.size(); i++) {
        Require(output[i] == g_Run.Selection.Paths[i], "output differs from the selection");
        Require(world.FileExists(output[i]) || world.DirectoryExists(output[i]),
                "output path does not exist");
        const std::string& text = selectedTexts[i];
        const std::string joined = folder + "\\" + text;
        bool named = output[i] == joined || output[i] == joined + ".lnk";
        // A special folder's display name gives that folder, wherever the list view is.
        if (!named && IsSpecialFolderName(text))
            named = output[i].rfind("C:\\Documents and Settings\\", 0) == 0;
        if (!named) {
            for (const std::string& line : world.trace)
                std::fprintf(stderr, "%s\n", line.c_str());
            std::fprintf(stderr, "path %zu of %zu: folder [%s] item [%s] output [%s]\n", i, output.size(), folder.c_str(), text.c_str(),
                         output[i].c_str());
            Require(false, "output path is not the folder and the selected item's text");
        }
    }
    return 0;
}
