// Feeds arbitrary window titles and address-box texts through the folder resolution.
//
// Input: byte 0 flags (bit 0 filer mode, bit 1 the first box answers without a terminating
// zero, bit 2 the folder buffer starts empty instead of holding an earlier folder, bit 3 the
// box texts are given to the window title as well, bit 4 Windows 98, where every text is one of
// the code page); byte 1 the kind of each of the three boxes, two bits each (ComboBox,
// ComboBoxEx32, hidden ComboBox, a plain Edit control); the rest, split at 0xFF, is the title
// (up to 519 units) and the texts of up to three boxes, each as UTF-16 (see fuzz::Wide).
// The desktop holds C:\work (a.txt, b.lnk, sub), folders and files with Shift_JIS names whose
// trail byte is 0x5C, folders named résumé and resume (names that differ only by their
// accents), 한국 (with 문서.txt), 😀 and one whose name holds a lone surrogate half, folders of
// 259 units (one of surrogate pairs), a second drive D: and the special folders.
//
// Checked: the result is 0 or 1; with 1 the folder is non-empty, ends with a zero inside its
// buffer, has fewer than 260 units and names an existing folder (in title mode an existing
// folder or file), as the file system resolves it, and it is résumé or resume only where the
// title or a box spells that name: never its look-alike. With 0 the folder buffer is exactly as
// it was. Nothing is left waiting on the other program's windows.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "SimWorld.h"
#include "common/RunState.h"
#include "window/FolderResolution.h"

namespace {

const char kTarget[] = "fuzz_folder";

void Require(bool condition, const char* what, const std::string& detail = "")
{
    fuzz::Require(condition, kTarget, what, detail);
}

const char16_t kEarlier[] = u"C:\\earlier folder";
const std::u16string kAccented = u"r\u00E9sum\u00E9";
const std::u16string kPlain = u"resume";

// The folder is C:\<name> or lies below it.
bool Within(const std::u16string& folder, const std::u16string& name)
{
    const std::u16string top = fuzz::Folded(u"C:\\" + name);
    const std::u16string f = fuzz::Folded(folder);
    return f.compare(0, top.size(), top) == 0 && (f.size() == top.size() || f[top.size()] == u'\\');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const unsigned flags = data[0];
    const unsigned boxKinds = data[1];
    const bool windows98 = (flags & 16) != 0;

    sim::World world;

    // The trace is read as a debug viewer reads it: every item has its line.

    world.SetDebugViewerListening(true);
    if (windows98)
        world.SetWindows98();
    std::vector<std::u16string> texts;
    for (const std::string& field : fuzz::Fields((const char*)data + 2, size - 2)) {
        std::u16string text = fuzz::Wide(field);
        texts.push_back(windows98 ? sim::Widen(sim::Ansi(text)) : text);
    }
    std::u16string title = texts[0];
    if (flags & 8)
        for (size_t i = 1; i < texts.size() && i < 4; i++)
            title += u" " + texts[i];
    title = fuzz::CutText(title, LineBufferSize - 1);

    world.AddFile("C:\\work\\a.txt", "");
    world.AddFile("C:\\work\\b.lnk", "");
    world.AddDirectory("C:\\work\\sub");
    world.AddDirectory("C:\\work\\Old Files");
    world.AddDirectory("C:\\\x95\x5C");                     // a folder whose name ends in 0x5C
    world.AddFile("C:\\\x95\x5C\\\x83\x5C.txt", "");
    world.AddDirectory("C:\\\x83\x5C\\\x83\x7D\x83\x43");   // a trail byte 0x5C inside the path
    world.AddFile(u"C:\\" + kAccented + u"\\note.txt", "");
    world.AddDirectory(u"C:\\" + kPlain);
    world.AddFile(u"C:\\\uD55C\uAD6D\\\uBB38\uC11C.txt", "");
    world.AddDirectory(u"C:\\\U0001F600");
    world.AddDirectory(u"C:\\x\xD800");
    world.AddDirectory(fuzz::LongFolder(259, 60, u"f", u'g'));
    world.AddDirectory(fuzz::LongFolder(259, 60, u"\U0001F600", u'g'));
    world.AddDrive('D');
    world.AddFile("D:\\x.txt", "");
    world.SetCurrentDirectory("C:\\work");

    DWORD process = world.AddProcess("C:\\Tools\\filer.exe");
    HWND window = world.AddWindow("FilerWindow", title, true, nullptr, process);
    static const char* const kClasses[] = {"ComboBox", "ComboBoxEx32", "ComboBox", "Edit"};
    for (size_t i = 1; i < texts.size() && i < 4; i++) {
        unsigned kind = (boxKinds >> (2 * (i - 1))) & 3;
        HWND box = world.AddWindow(kClasses[kind], texts[i], kind != 2, window, process);
        // An extended combo box holds a plain one, as the common control builds it.
        if (kind == 1)
            world.AddWindow("ComboBox", texts[i], true, box, process);
        if (i == 1 && (flags & 2))
            world.SetUnterminatedText(box, true);
    }

    std::memset(&g_Run, 0, sizeof g_Run);
    g_Run.UnicodeCalls = windows98 ? 0 : 1;
    g_Run.IsNtFamily = windows98 ? 0 : 1;
    g_Run.SearchMode = (flags & 1) ? FilerMode : TitleMode;
    fuzz::Store(g_Run.WindowTitle, title);
    if (!(flags & 4))
        fuzz::Store(g_Run.CurrentFolder, kEarlier);
    WCHAR before[PathBufferSize];
    std::memcpy(before, g_Run.CurrentFolder, sizeof before);

    const int result = ResolveFolder(window);

    std::string detail = "title [" + fuzz::Show(title) + "] mode " + std::to_string(g_Run.SearchMode);
    for (size_t i = 1; i < texts.size() && i < 4; i++)
        detail += " box [" + fuzz::Show(texts[i]) + "]";
    Require(result == 0 || result == 1, "result is 0 or 1", detail);
    Require(!world.blockedOnHungWindow, "waited on a window without a time-out", detail);
    if (result == 0) {
        Require(std::memcmp(before, g_Run.CurrentFolder, sizeof before) == 0,
                "a failed resolution changed the folder", detail);
        return 0;
    }
    std::u16string folder;
    Require(fuzz::Terminated(g_Run.CurrentFolder, &folder), "folder not terminated", detail);
    Require(!folder.empty() && folder.size() < PathBufferSize, "folder length", detail);
    detail += " got [" + fuzz::Show(folder) + "]";
    // "C:\x" and "C:\x\" name the same folder; the product tested the second spelling.
    const bool isFolder = world.DirectoryExists(folder) || world.DirectoryExists(folder + u"\\");
    if (g_Run.SearchMode == FilerMode)
        Require(isFolder, "filer mode gives an existing folder", detail);
    else
        Require(isFolder || world.FileExists(folder), "title mode gives an existing path", detail);

    // A name is found only as it is spelled: the title and the boxes hold it.
    std::u16string spelled = title;
    for (size_t i = 1; i < texts.size() && i < 4; i++) {
        std::u16string box = texts[i];
        // A box without a terminating zero repeats its text as far as it is read.
        while (i == 1 && (flags & 2) && !texts[i].empty() && box.size() < LineBufferSize)
            box += texts[i];
        spelled += u"\n" + box;
    }
    spelled = fuzz::Folded(spelled);
    for (const std::u16string& name : {kAccented, kPlain})
        if (Within(folder, name))
            Require(spelled.find(fuzz::Folded(name)) != std::u16string::npos,
                    "the folder is a look-alike of the name given", detail);
    return 0;
}
