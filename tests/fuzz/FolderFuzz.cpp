// Feeds arbitrary window titles and address-box texts through the folder resolution.
//
// Input: byte 0 flags (bit 0 filer mode, bit 1 the first box answers without a terminating
// zero, bit 2 the folder buffer starts empty instead of holding an earlier folder, bit 3 the
// box texts are given to the window title as well); byte 1 the kind of each of the three
// boxes, two bits each (ComboBox, ComboBoxEx32, hidden ComboBox, a plain Edit control); the
// rest, split at 0xFF, is the title (up to 519 bytes) and the texts of up to three boxes.
// The desktop holds C:\work (a.txt, b.lnk, sub), folders and files with Shift_JIS names whose
// trail byte is 0x5C, a folder of 259 characters, a second drive D: and the special folders.
//
// Checked: the result is 0 or 1; with 1 the folder is non-empty, ends with a zero inside its
// buffer, has fewer than 260 characters and names an existing folder (in title mode an
// existing folder or file), as the file system resolves it; with 0 the folder buffer is
// exactly as it was. Nothing is left waiting on the other program's windows.
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

std::string LongFolder(size_t length)
{
    return fuzz::LongFolder(length, 60, 'f', 'g');
}

const std::string kLong259 = LongFolder(259);
const char kEarlier[] = "C:\\earlier folder";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const unsigned flags = data[0];
    const unsigned boxKinds = data[1];
    std::vector<std::string> fields = fuzz::Fields((const char*)data + 2, size - 2);
    std::string title = fields[0].substr(0, LineBufferSize - 1);
    if (flags & 8) {
        for (size_t i = 1; i < fields.size() && i < 4; i++)
            title += " " + fields[i];
        title = title.substr(0, LineBufferSize - 1);
    }

    sim::World world;
    world.AddFile("C:\\work\\a.txt", "");
    world.AddFile("C:\\work\\b.lnk", "");
    world.AddDirectory("C:\\work\\sub");
    world.AddDirectory("C:\\work\\Old Files");
    world.AddDirectory("C:\\\x95\x5C");                     // a folder whose name ends in 0x5C
    world.AddFile("C:\\\x95\x5C\\\x83\x5C.txt", "");
    world.AddDirectory("C:\\\x83\x5C\\\x83\x7D\x83\x43");   // a trail byte 0x5C inside the path
    world.AddDirectory(kLong259);
    world.AddDrive('D');
    world.AddFile("D:\\x.txt", "");
    world.SetCurrentDirectory("C:\\work");

    DWORD process = world.AddProcess("C:\\Tools\\filer.exe");
    HWND window = world.AddWindow("FilerWindow", title, true, nullptr, process);
    static const char* const kClasses[] = {"ComboBox", "ComboBoxEx32", "ComboBox", "Edit"};
    for (size_t i = 1; i < fields.size() && i < 4; i++) {
        unsigned kind = (boxKinds >> (2 * (i - 1))) & 3;
        HWND box = world.AddWindow(kClasses[kind], fields[i], kind != 2, window, process);
        // An extended combo box holds a plain one, as the common control builds it.
        if (kind == 1)
            world.AddWindow("ComboBox", fields[i], true, box, process);
        if (i == 1 && (flags & 2))
            world.SetUnterminatedText(box, true);
    }

    std::memset(&g_Run, 0, sizeof g_Run);
    g_Run.IsNtFamily = 1;
    g_Run.SearchMode = (flags & 1) ? FilerMode : TitleMode;
    std::memcpy(g_Run.WindowTitle, title.c_str(), title.size() + 1);
    if (!(flags & 4))
        std::strcpy(g_Run.CurrentFolder, kEarlier);
    char before[sizeof g_Run.CurrentFolder];
    std::memcpy(before, g_Run.CurrentFolder, sizeof before);

    const int result = ResolveFolder(window);

    const std::string detail = "title [" + title + "] mode " + std::to_string(g_Run.SearchMode);
    Require(result == 0 || result == 1, "result is 0 or 1", detail);
    Require(!world.blockedOnHungWindow, "waited on a window without a time-out", detail);
    if (result == 0) {
        Require(std::memcmp(before, g_Run.CurrentFolder, sizeof before) == 0,
                "a failed resolution changed the folder", detail);
        return 0;
    }
    size_t length = 0;
    Require(fuzz::Terminated(g_Run.CurrentFolder, sizeof g_Run.CurrentFolder, &length),
            "folder not terminated", detail);
    const std::string folder(g_Run.CurrentFolder, length);
    Require(length > 0 && length < PathBufferSize, "folder length", detail);
    // "C:\x" and "C:\x\" name the same folder; the product tested the second spelling.
    const bool isFolder = world.DirectoryExists(folder) || world.DirectoryExists(folder + "\\");
    if (g_Run.SearchMode == FilerMode)
        Require(isFolder, "filer mode gives an existing folder", detail + " got [" + folder + "]");
    else
        Require(isFolder || world.FileExists(folder), "title mode gives an existing path",
                detail + " got [" + folder + "]");
    return 0;
}
