// Feeds arbitrary bytes through the window search and the list-view readers. The first byte
// chooses the run (bit 0 filer mode, bit 1 Windows 98, bit 2 a 64-bit file manager, bit 3 item
// texts without terminator, bit 4 an address box without terminator, bit 5 a list view that
// claims two billion items); the rest, split at 0xFF bytes, is the window title, the address
// box text and the item texts (an item is selected unless its text starts with 'u'). Every run
// must end normally, release everything and output only paths that fit their buffers.
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
    for (const std::string& line : world.trace)
        if (line.rfind("Tavix: output: \"", 0) == 0)
            Require(line.size() < 16 + 260 + 1, "output length");
    return 0;
}
