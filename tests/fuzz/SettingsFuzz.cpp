// Feeds arbitrary bytes through the settings loader: the part before the first 0xFF byte is the
// settings file, the part after it a search-path file named "p" in the program's folder (which
// is also the current folder, so "@path=p" reaches it). Every run must end normally with
// everything released and the tables within their limits.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "SimWorld.h"
#include "common/RunState.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showState);

static void Require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_settings: %s\n", what);
        std::abort();
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string bytes(reinterpret_cast<const char*>(data), size);
    size_t split = bytes.find('\xFF');
    std::string settings = bytes.substr(0, split);
    std::string searchFile = split == std::string::npos ? "" : bytes.substr(split + 1);

    sim::World world;
    world.SetCurrentDirectory("C:\\Tavix");
    world.AddFile("C:\\Tavix\\Tavix.ini", settings);
    world.AddFile("C:\\Tavix\\p", searchFile);
    world.AddFile("C:\\Tools\\viewer.exe", "MZ");
    world.AddFile("C:\\WINDOWS\\notepad.exe", "MZ");
    std::memset(&g_Run, 0, sizeof g_Run);

    char commandLine[] = "/#e";
    Require(WinMain(SIM_PROGRAM_INSTANCE, NULL, commandLine, SW_SHOWDEFAULT) == 0, "exit code");
    Require(world.OpenKernelHandles() == 0, "handle left open");
    Require(world.OutstandingGlobalBlocks() == 0, "global block not freed");
    Require(world.LiveWindowsOfCurrentProcess() == 0, "window left behind");
    Require(world.messageBoxes.empty(), "error box for a readable file");
    Require(g_Run.Exec.Count >= 0 && g_Run.Exec.Count <= 20, "exec count");
    Require(g_Run.TitleList.Count <= 20 && g_Run.FilerList.Count <= 20, "name count");
    Require(std::strlen(g_Run.SearchPathText) < sizeof g_Run.SearchPathText, "search path");
    for (int i = 0; i < g_Run.Exec.Count; i++) {
        Require(std::strlen(g_Run.Exec.ProgramPath[i]) <= 259, "program path length");
        Require(std::strlen(g_Run.Exec.Label[i]) <= 259, "label length");
        Require(std::strlen(g_Run.Exec.Template[i]) <= 259, "template length");
    }
    return 0;
}
