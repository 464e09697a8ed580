// Feeds arbitrary bytes through the shell route: an Explorer window that only the shell can
// read, whose folder and selected items the shell gives as UTF-16 (made from the input's UTF-8,
// malformed sequences and unpaired surrogates included). The first byte chooses the run (bit 0
// filer mode, bit 1 code page 1252 instead of 932, bit 2 two tabs with the second one active,
// bit 3 a view that hands out item ID lists rather than shell items);
// the rest, split at 0xFF bytes, is the folder and the selected items' paths. Every run must end
// normally with every shell object, string, apartment and library released, and output only
// what the shell selected: in the view's order, each path exactly the item's name in the code
// page, existing, stopping at the first item that has no such name; or the folder alone.
#include <iconv.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "SimWorld.h"
#include "common/RunState.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showState);

static const char kTarget[] = "fuzz_shell";

// The text converted from UTF-8 by the host's converter; false when some byte or character
// has no form in the target.
static bool Convert(const std::string& utf8, const char* target, std::string* converted)
{
    iconv_t cd = iconv_open(target, "UTF-8");
    if (cd == (iconv_t)-1)
        std::abort();
    std::string input = utf8;
    char* in = &input[0];
    size_t inLeft = input.size();
    std::string out(input.size() * 4 + 4, '\0');
    char* outPtr = &out[0];
    size_t outLeft = out.size();
    bool ok = iconv(cd, &in, &inLeft, &outPtr, &outLeft) != (size_t)-1;
    iconv_close(cd);
    converted->assign(&out[0], ok ? outPtr - &out[0] : 0);
    return ok;
}

// The item's name in the code page, or false when some character has no form there. Only
// valid UTF-8 is predicted: a malformed sequence reaches the program as some other UTF-16,
// which this model does not follow, so such an item is left out of the comparison.
static bool InCodePage(const std::string& utf8, const char* codePage, std::string* converted,
                       bool* predictable)
{
    std::string wide;
    *predictable = Convert(utf8, "UTF-16LE", &wide);
    return Convert(utf8, codePage, converted);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    unsigned flags = data[0];
    std::vector<std::string> fields = fuzz::Fields(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string folder = fields[0];
    std::vector<std::string> selection(fields.begin() + 1, fields.end());

    sim::World world;
    world.SetOsVersion(10, 0, 19045, VER_PLATFORM_WIN32_NT);
    if (flags & 2)
        world.SetCodePage(1252);
    world.AddFile("C:\\work\\a.txt", "");
    world.AddDirectory("C:\\work\\sub");
    world.AddFile(flags & 2 ? "C:\\work\\caf\xE9.txt" : "C:\\work\\\x83\x81\x83\x82.txt", "");
    world.SetCurrentDirectory("C:\\Tavix");
    DWORD explorer = world.AddProcess("C:\\Windows\\explorer.exe", 64);
    HWND frame = world.AddWindow("CabinetWClass", "work", true, nullptr, explorer);
    HWND tabs[2] = {nullptr, nullptr};
    if (flags & 4) {
        tabs[0] = world.AddWindow("ShellTabWindowClass", "work", true, frame, explorer);
        tabs[1] = world.AddWindow("ShellTabWindowClass", "other", true, frame, explorer);
        sim::World::ShellBrowser other;
        other.frame = frame;
        other.tab = tabs[1];
        other.folder = "C:\\work";
        other.selection = {"C:\\work\\a.txt"};
        world.AddShellBrowser(other);
    }
    HWND view = world.AddWindow("SHELLDLL_DefView", "", true, frame, explorer);
    world.AddWindow("DirectUIHWND", "", true, view, explorer);
    sim::World::ShellBrowser browser;
    browser.frame = frame;
    browser.tab = tabs[0];
    browser.folder = folder;
    browser.selection = selection;
    browser.shellItems = (flags & 8) == 0;
    world.AddShellBrowser(browser);
    world.SetForeground(frame);
    std::memset(&g_Run, 0, sizeof g_Run);

    char commandLine[8];
    std::strcpy(commandLine, (flags & 1) ? "/#f" : "");
    fuzz::Require(WinMain(SIM_PROGRAM_INSTANCE, NULL, commandLine, SW_SHOWDEFAULT) == 0, kTarget,
                  "exit code");
    fuzz::Require(world.OpenKernelHandles() == 0, kTarget, "handle left open");
    fuzz::Require(world.OutstandingGlobalBlocks() == 0, kTarget, "global block not freed");
    fuzz::Require(world.LoadedLibraries() == 0, kTarget, "library left loaded");
    fuzz::Require(world.LiveShellObjects() == 0, kTarget, "shell object not released");
    fuzz::Require(world.OutstandingTaskMemory() == 0, kTarget, "shell string not freed");
    fuzz::Require(world.OpenApartments() == 0, kTarget, "apartment left open");
    fuzz::Require(g_Run.Selection.Count >= 0 && g_Run.Selection.Count <= 1000, kTarget,
                  "selection count");

    std::vector<std::string> output;
    for (const std::string& line : world.trace)
        if (line.rfind("Tavix: output: \"", 0) == 0) {
            fuzz::Require(line.size() < 16 + 260 + 1, kTarget, "output length");
            output.push_back(line.substr(16, line.size() - 17));
        }
    if (output.empty())
        return 0;
    const char* codePage = (flags & 2) ? "CP1252" : "CP932";
    std::string folderName;
    bool predictable;
    bool folderFits = InCodePage(folder, codePage, &folderName, &predictable);
    // The folder the shell shows, without a final backslash (a drive root keeps none either);
    // the shell's paths are absolute, and a relative one is never taken.
    std::string current = g_Run.CurrentFolder;
    fuzz::Require(!predictable || (folderFits && !current.empty() &&
                                   (current == folderName || current + "\\" == folderName)),
                  kTarget, "the folder is not the shell's folder", current);
    fuzz::Require(current.size() >= 2 && ((current[1] == ':' && current.find('\\') == 2) ||
                                          current.rfind("\\\\", 0) == 0 ||
                                          (current.size() == 2 && current[1] == ':')),
                  kTarget, "the folder is not absolute", current);
    fuzz::Require(world.DirectoryExists(current + "\\"), kTarget, "the folder does not exist",
                  current);
    if (output.size() == 1 && output[0] == current)
        return 0;   // title mode, nothing selected, or the first item had no usable path
    fuzz::Require((flags & 1) != 0, kTarget, "title mode outputs the folder alone");
    fuzz::Require(output.size() <= selection.size(), kTarget, "more paths than selected items");
    for (size_t i = 0; i < output.size(); i++) {
        fuzz::Require(world.FileExists(output[i]) || world.DirectoryExists(output[i]), kTarget,
                      "output path does not exist", output[i]);
        std::string name;
        bool fits = InCodePage(selection[i], codePage, &name, &predictable);
        if (!predictable)
            continue;
        fuzz::Require(fits && output[i] == name, kTarget,
                      "output path is not the selected item's name", output[i]);
    }
    return 0;
}
