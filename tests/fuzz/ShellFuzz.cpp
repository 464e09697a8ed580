// Feeds arbitrary bytes through the shell route: an Explorer window that only the shell can
// read, whose folder and selected items the shell gives as UTF-16 (made from the input's UTF-8,
// malformed sequences included, which the shell's conversion turns into U+FFFD). The first byte
// chooses the run (bit 0 filer mode, bit 1 code page 1252 instead of 932, bit 2 two tabs with
// the second one active, bit 3 a view that hands out item ID lists rather than shell items);
// the rest, split at 0xFF bytes, is the folder and the selected items' paths. C:\work holds
// a.txt, sub, café.txt, メモ.txt, 😀.txt, 한국 and a file named with U+FFFD; below C:\Long lie a
// folder of 259 UTF-16 units and one of 300.
//
// Every run must end normally with every shell object, string, apartment and library released,
// and output only what the shell selected. The folder is the shell's own; in filer mode the
// paths are, in the view's order, exactly the shell's UTF-16 paths of the selected items, names
// outside the code page included, up to the first item that gives no usable path (none at all,
// one of 260 units or more, one that is not a full path, or one that does not exist), which
// ends the selection; or the folder alone when the first item gives none. The clipboard holds
// the paths in both text forms.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "SimWorld.h"
#include "common/RunState.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showState);

namespace {

const char kTarget[] = "fuzz_shell";

void Require(bool condition, const char* what, const std::string& detail = "")
{
    fuzz::Require(condition, kTarget, what, detail);
}

// A full path as the shell's file-system paths are: a drive and its root, or a server.
bool IsFullPath(const std::u16string& path)
{
    const bool letter = !path.empty() && ((path[0] >= u'A' && path[0] <= u'Z') ||
                                          (path[0] >= u'a' && path[0] <= u'z'));
    return (letter && path.size() >= 3 && path[1] == u':' && path[2] == u'\\') ||
           (path.size() >= 3 && path[0] == u'\\' && path[1] == u'\\');
}

// A path of the shell that the program takes: one that names something, whole.
bool Usable(const sim::World& world, const std::u16string& path)
{
    return !path.empty() && path.size() < PathBufferSize && IsFullPath(path) &&
           (world.FileExists(path) || world.DirectoryExists(path));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const unsigned flags = data[0];
    std::vector<std::string> fields = fuzz::Fields(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string folder = fields[0];
    const std::vector<std::string> selection(fields.begin() + 1, fields.end());

    sim::World world;

    // The trace is read as a debug viewer reads it: every item has its line.

    world.SetDebugViewerListening(true);
    world.SetOsVersion(10, 0, 19045, VER_PLATFORM_WIN32_NT);
    if (flags & 2)
        world.SetCodePage(1252);
    world.AddFile("C:\\work\\a.txt", "");
    world.AddDirectory("C:\\work\\sub");
    world.AddFile(u"C:\\work\\caf\u00E9.txt", "");
    world.AddFile(u"C:\\work\\\u30E1\u30E2.txt", "");
    world.AddFile(u"C:\\work\\\U0001F600.txt", "");
    world.AddDirectory(u"C:\\work\\\uD55C\uAD6D");
    world.AddFile(u"C:\\work\\\uFFFD.txt", "");
    world.AddDirectory(fuzz::LongFolder(259, 60, u"\U0001F600", u'g'));
    world.AddDirectory(fuzz::LongFolder(300, 60, u"\U0001F600", u'g'));
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

    const std::u16string tail = (flags & 1) ? u"/#f" : u"";
    world.SetCommandLine(u"C:\\Tavix\\Tavix.exe " + tail);
    std::string ansiTail = sim::Ansi(tail);
    const std::u16string shellFolder = sim::Utf16(folder);
    std::string detail = "folder [" + fuzz::Show(shellFolder) + "]";
    for (const std::string& item : selection)
        detail += " item [" + fuzz::Show(sim::Utf16(item)) + "]";
    Require(WinMain(SIM_PROGRAM_INSTANCE, NULL, &ansiTail[0], SW_SHOWDEFAULT) == 0, "exit code",
            detail);
    Require(world.OpenKernelHandles() == 0, "handle left open", detail);
    Require(world.OutstandingGlobalBlocks() == 0, "global block not freed", detail);
    Require(world.LoadedLibraries() == 0, "library left loaded", detail);
    Require(world.LiveShellObjects() == 0, "shell object not released", detail);
    Require(world.OutstandingTaskMemory() == 0, "shell string not freed", detail);
    Require(world.OpenApartments() == 0, "apartment left open", detail);
    Require(!world.ClipboardLeftOpen(), "clipboard left open", detail);
    Require(g_Run.Selection.Count >= 0 && g_Run.Selection.Count <= MaxSelection,
            "selection count", detail);

    const std::vector<std::u16string> output = fuzz::OutputPaths(world);
    if (output.empty()) {
        Require(world.clipboardWrites == 0, "the clipboard written without output", detail);
        return 0;
    }
    for (const std::u16string& path : output)
        Require(path.size() < PathBufferSize, "output length", detail);
    Require(world.clipboardWrites == 2, "one clipboard export", detail);
    fuzz::CheckClipboard(world, output, true, kTarget, detail);

    // The folder the shell shows, without a final backslash (a drive root keeps none either).
    std::u16string current;
    Require(fuzz::Terminated(g_Run.CurrentFolder, &current), "folder not terminated", detail);
    detail += " folder taken [" + fuzz::Show(current) + "]";
    Require(!current.empty() && (current == shellFolder || current + u"\\" == shellFolder),
            "the folder is not the shell's folder", detail);
    Require(IsFullPath(current + u"\\"), "the folder is not a full path", detail);
    Require(world.DirectoryExists(current + u"\\"), "the folder does not exist", detail);

    // What the shell selected, up to the first item without a usable path.
    std::vector<std::u16string> expected;
    if (flags & 1) {
        for (size_t i = 0; i < selection.size() && expected.size() < MaxSelection; i++) {
            const std::u16string path = sim::Utf16(selection[i]);
            if (!Usable(world, path))
                break;
            expected.push_back(path);
        }
    }
    if (expected.empty())
        expected.push_back(current);
    Require(output == expected, "the paths are not the shell's selection",
            detail + " expected [" + fuzz::Show(fuzz::Join(expected, u"|")) + "] got [" +
                fuzz::Show(fuzz::Join(output, u"|")) + "]");
    return 0;
}
