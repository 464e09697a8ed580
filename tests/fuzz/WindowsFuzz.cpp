// Feeds arbitrary texts through the window search and the list-view readers. The first byte
// chooses the run (bit 0 filer mode, bit 1 Windows 98, bit 2 a 64-bit file manager, bit 3 item
// texts without terminator, bit 4 an address box without terminator, bit 5 a list view that
// claims two billion items); the rest, split at 0xFF bytes, is the window title, the address
// box text and the item texts (an item is selected unless its text starts with 'u'), each as
// UTF-16 (see fuzz::Wide; on Windows 98 each as the code page holds it). The folder C:\work
// holds a.txt, b.lnk, sub, café, résumé.txt beside resume.txt (names that differ only by their
// accents), 한국.txt, 😀.txt and a file whose name holds a lone surrogate half.
//
// Every run must end normally, release everything and output only paths that fit their
// buffers. When the item texts are read as given (bits 3 and 5 clear, not bits 1 and 2
// together), every output path is what the list view selected: in title mode the folder alone;
// in filer mode, in the list view's order, the folder joined with the text of each selected item
// (or the special folder the text names, either also with ".lnk"), each existing, or the folder
// alone when no item gave a path. The item's own text, unit for unit: a name is never taken for
// a look-alike. What goes to the clipboard is exactly those paths, in both text forms.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "SimWorld.h"
#include "common/RunState.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showState);

namespace {

const char kTarget[] = "fuzz_windows";

void Require(bool condition, const char* what, const std::string& detail = "")
{
    fuzz::Require(condition, kTarget, what, detail);
}

// The display names of the special folders.
bool IsSpecialFolderName(const std::u16string& text)
{
    static const char16_t* const kNames[] = {
        u"\u30DE\u30A4 \u30C9\u30AD\u30E5\u30E1\u30F3\u30C8",   // マイ ドキュメント
        u"\u304A\u6C17\u306B\u5165\u308A",                       // お気に入り
        u"\u30DE\u30A4 \u30D4\u30AF\u30C1\u30E3",                // マイ ピクチャ
        u"\u30DE\u30A4 \u30DF\u30E5\u30FC\u30B8\u30C3\u30AF",    // マイ ミュージック
        u"\u30DE\u30A4 \u30D3\u30C7\u30AA",                      // マイ ビデオ
        u"\u30C7\u30B9\u30AF\u30C8\u30C3\u30D7",                 // デスクトップ
        u"\u5171\u6709\u30C9\u30AD\u30E5\u30E1\u30F3\u30C8",     // 共有ドキュメント
        u"\u5171\u6709\u30D4\u30AF\u30C1\u30E3",                 // 共有ピクチャ
        u"\u5171\u6709\u30DF\u30E5\u30FC\u30B8\u30C3\u30AF",     // 共有ミュージック
        u"\u5171\u6709\u30D3\u30C7\u30AA",                       // 共有ビデオ
    };
    for (const char16_t* name : kNames)
        if (text == name)
            return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const unsigned flags = data[0];
    const bool windows98 = (flags & 2) != 0;

    sim::World world;

    // The trace is read as a debug viewer reads it: every item has its line.

    world.SetDebugViewerListening(true);
    if (windows98)
        world.SetWindows98();
    std::vector<std::u16string> fields;
    for (const std::string& field : fuzz::Fields((const char*)data + 1, size - 1)) {
        std::u16string text = fuzz::Wide(field);
        fields.push_back(windows98 ? sim::Widen(sim::Ansi(text)) : text);
    }
    const std::u16string title = fuzz::CutText(fields[0], LineBufferSize - 1);
    const std::u16string combo = fields.size() > 1 ? fields[1] : u"";

    world.AddFile("C:\\work\\a.txt", "");
    world.AddFile("C:\\work\\b.lnk", "");
    world.AddDirectory("C:\\work\\sub");
    world.AddDirectory(u"C:\\work\\caf\u00E9");
    world.AddFile(u"C:\\work\\r\u00E9sum\u00E9.txt", "");
    world.AddFile(u"C:\\work\\resume.txt", "");
    world.AddFile(u"C:\\work\\\uD55C\uAD6D.txt", "");
    world.AddFile(u"C:\\work\\\U0001F600.txt", "");
    world.AddFile(u"C:\\work\\\xDC00.txt", "");
    world.SetCurrentDirectory("C:\\work");
    DWORD process = world.AddProcess("C:\\Tools\\filer.exe", (flags & 4) ? 64 : 32);
    HWND window = world.AddWindow("FilerWindow", title, true, nullptr, process);
    HWND box = world.AddWindow("ComboBox", combo, true, window, process);
    world.SetUnterminatedText(box, (flags & 16) != 0);
    HWND list = world.AddWindow("SysListView32", "", true, window, process);
    sim::ListViewControl& control = world.MakeListView(list);
    for (size_t i = 2; i < fields.size(); i++) {
        control.texts.push_back(fields[i]);
        if (fields[i].empty() || fields[i][0] != u'u')
            control.selected.insert((int)i - 2);
    }
    control.unterminatedTexts = (flags & 8) != 0;
    if (flags & 32)
        control.itemCount = 2147483647;
    world.SetForeground(window);
    std::memset(&g_Run, 0, sizeof g_Run);

    std::u16string tail = (flags & 1) ? u"/#f" : u"";
    world.SetCommandLine(u"C:\\Tavix\\Tavix.exe " + tail);
    std::string ansiTail = sim::Ansi(tail);
    const std::string detail = "title [" + fuzz::Show(title) + "] box [" + fuzz::Show(combo) +
                               "] flags " + std::to_string(flags);
    Require(WinMain(SIM_PROGRAM_INSTANCE, NULL, &ansiTail[0], SW_SHOWDEFAULT) == 0, "exit code",
            detail);
    Require(world.OpenKernelHandles() == 0, "handle left open", detail);
    Require(world.OutstandingGlobalBlocks() == 0, "global block not freed", detail);
    Require(world.LiveWindowsOfCurrentProcess() == 0, "window left behind", detail);
    Require(world.LoadedLibraries() == 0, "library left loaded", detail);
    Require(world.RemoteBlocks(process) == 0, "item block left in the file manager", detail);
    Require(world.MappedViews() == 0, "view left mapped", detail);
    Require(!world.blockedOnHungWindow, "waited on a window without a time-out", detail);
    Require(!world.ClipboardLeftOpen(), "clipboard left open", detail);
    Require(g_Run.Selection.Count >= 0 && g_Run.Selection.Count <= MaxSelection,
            "selection count", detail);
    std::u16string folder, text;
    Require(fuzz::Terminated(g_Run.CurrentFolder, &folder), "folder not terminated", detail);
    Require(fuzz::Terminated(g_Run.WindowTitle, &text), "title not terminated", detail);
    std::vector<std::u16string> selection;
    for (int i = 0; i < g_Run.Selection.Count; i++) {
        std::u16string path;
        Require(fuzz::Terminated(g_Run.Selection.Paths[i], &path), "path not terminated", detail);
        selection.push_back(path);
    }
    const std::vector<std::u16string> output = fuzz::OutputPaths(world);
    for (const std::u16string& path : output)
        Require(path.size() < PathBufferSize, "output length", detail);
    if (output.empty()) {
        Require(world.clipboardWrites == 0, "the clipboard written without output", detail);
        return 0;
    }
    Require(output == selection, "output differs from the selection", detail);
    // No program is configured: the paths go to the clipboard.
    Require(world.clipboardWrites == (windows98 ? 1 : 2), "one clipboard export", detail);
    fuzz::CheckClipboard(world, output, !windows98, kTarget, detail);

    // Windows 98 has no 64-bit programs: a "64-bit" file manager there fills the record in a
    // layout the system never uses, so only the checks above apply to it.
    if ((flags & (8 | 32)) || (flags & 6) == 6)
        return 0;

    // What the list view selected, in its order.
    std::vector<std::u16string> selectedTexts;
    for (int index : control.selected)
        selectedTexts.push_back(control.texts[index].Wide());
    if (output.size() == 1 && output[0] == folder && !folder.empty())
        return 0;   // title mode, nothing selected, or no item resolvable
    Require((flags & 1) != 0, "title mode outputs the folder alone", detail);
    Require(output.size() <= selectedTexts.size(), "more paths than selected items", detail);
    for (size_t i = 0; i < output.size(); i++) {
        const std::string which = detail + " path " + std::to_string(i) + " folder [" +
                                  fuzz::Show(folder) + "] item [" + fuzz::Show(selectedTexts[i]) +
                                  "] output [" + fuzz::Show(output[i]) + "]";
        Require(world.FileExists(output[i]) || world.DirectoryExists(output[i]),
                "output path does not exist", which);
        const std::u16string joined = folder + u"\\" + selectedTexts[i];
        bool named = output[i] == joined || output[i] == joined + u".lnk";
        // A special folder's display name gives that folder, wherever the list view is.
        if (!named && IsSpecialFolderName(selectedTexts[i]))
            named = output[i].compare(0, 26, u"C:\\Documents and Settings\\") == 0;
        Require(named, "output path is not the folder and the selected item's text", which);
    }
    return 0;
}
