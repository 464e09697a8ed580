// Feeds arbitrary command templates and selections through the output (DispatchAction) and
// compares what it did with a reference model of the template rules written here.
//
// Input: byte 0 flags (bits 0-2 the requested label, bit 3 @restore, bit 4 the program is
// gone, bit 5 another program holds the clipboard, bit 6 the target is a real window, bit 7
// Windows 98), byte 1 the fault (low nibble: 0-9 none, 10 GlobalAlloc, 11 GlobalReAlloc,
// 12 GlobalLock, 13 the shell's start fails, 14-15 none; high nibble + 1: which call fails),
// bytes 2-5 the window handle (little endian), byte 6 the selection size (below 200: as many
// paths as codes; from 200: the codes repeated to 20 * (byte - 199) paths, at most 1000). The
// rest, split at 0xFF, is the template, the selection codes (one byte per path: a row of
// kPaths, or a path text of its own field), then those path texts. Template and path texts are
// UTF-16 (see fuzz::Wide; on Windows 98 each as the code page holds it), cut to 259 units as the
// settings loader and the readers cut them; the rows hold names with é, Hangul, a surrogate
// pair and a lone surrogate half, and a folder of 259 units made of pairs.
//
// Checked: the clipboard holds exactly the paths joined by CR LF whenever it was written, as
// CF_UNICODETEXT and as CF_TEXT in the code page ('?' for what it lacks, never a look-alike),
// once per %C (removed case-insensitively, the text searched again after each removal) without
// a beep, or once with a beep when no program is picked; a started program gets exactly the
// parameter text of the model (prefix, each path once in the placeholder's form, suffix) or,
// under a memory fault, nothing at all; the window is restored first with @restore; every
// global block is freed and the clipboard closed.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "SimWorld.h"
#include "actions/ActionDispatch.h"
#include "common/RunState.h"

namespace {

const char kTarget[] = "fuzz_templates";

void Require(bool condition, const char* what, const std::string& detail = "")
{
    fuzz::Require(condition, kTarget, what, detail);
}

enum Kind { File, Folder, Missing };

struct PathRow {
    std::u16string text;
    Kind kind;   // of the path without its enclosing quotes
};

std::u16string LongFolder(size_t length, const std::u16string& fill)
{
    return fuzz::LongFolder(length, 50, fill, u'e');
}

const std::u16string kLong259 = LongFolder(259, u"d");
const std::u16string kLong258 = LongFolder(258, u"d");
const std::u16string kLongPairs259 = LongFolder(259, u"\U0001F600");

const std::vector<PathRow> kPaths = {
    {u"C:\\Data\\memo.txt", File},
    {u"C:\\Data\\Old Files", Folder},
    {u"C:\\", Folder},
    {u"D:\\", Folder},
    {u"C:\\Data\\Old Files\\", Folder},
    {u"\"C:\\Data\\Old Files\"", Folder},
    {u"\"C:\\Data\\memo.txt\"", File},
    {u"\"C:\\\"", Folder},
    {u"C:\\Data\\gone.txt", Missing},
    {kLong259, Folder},
    {kLong258 + u"\\", Folder},
    {u"C:\\\u8868", Folder},                     // 表: its Shift_JIS trail byte is 0x5C
    {u"C:\\\u8868\\\u30BD.txt", File},
    {u"C:\\Data\\100%M", Folder},                // placeholders inside paths stay as they are
    {u"C:\\Data\\%C %$W %-M.txt", File},
    {u"C:\\Data\\Old Files\\\u30BD", Folder},
    {u"C:\\Data", Folder},
    {u"\"C:\\Data\\memo.txt", File},             // one quote only: kept as it is
    {u"C:\\Data\\r\u00E9sum\u00E9.txt", File},   // beside resume.txt
    {u"C:\\Data\\resume.txt", File},
    {u"C:\\Data\\\uD55C\uAD6D", Folder},
    {u"\"C:\\Data\\\U0001F600.txt\"", File},
    {u"C:\\Data\\\xD800", Folder},               // a lone surrogate half
    {kLongPairs259, Folder},
};

const char16_t* const kLabels[] = {u"View", u"view", u"VIEW", u"Edit", u"Vie", u"Views", u"",
                                   u"\uBCF4\uAE30"};
const char16_t kProgram[] = u"C:\\Tools\\viewer.exe";
const char16_t kProgramGone[] = u"C:\\Tools\\gone.exe";

struct Entry {
    std::u16string label;
    std::u16string tmpl;
};

// The model of the template rules.
struct Expansion {
    std::u16string text;    // after %C and %$W, with " \"%M\"" appended when due
    int clipboardExports = 0;
    bool verbatim = false;
    bool quoted = false;
};

Expansion Expand(std::u16string text, int handle)
{
    Expansion e;
    for (size_t at = fuzz::FindNoCase(text, u"%C"); at != std::u16string::npos;
         at = fuzz::FindNoCase(text, u"%C")) {
        text.erase(at, 2);
        e.clipboardExports++;
    }
    const std::u16string number = sim::Utf16(std::to_string(handle));
    for (size_t at = fuzz::FindNoCase(text, u"%$W"); at != std::u16string::npos;
         at = fuzz::FindNoCase(text, u"%$W"))
        text.replace(at, 3, number);
    bool quotedForm = fuzz::FindNoCase(text, u"\"%M\"") != std::u16string::npos ||
                      fuzz::FindNoCase(text, u"\"%-M\"") != std::u16string::npos;
    bool bareForm = fuzz::FindNoCase(text, u"%M") != std::u16string::npos ||
                    fuzz::FindNoCase(text, u"%-M") != std::u16string::npos;
    if (quotedForm) {
        e.quoted = true;
    } else if (!bareForm) {
        if (e.clipboardExports > 0) {
            e.verbatim = true;
        } else {
            text += u" \"%M\"";
            e.quoted = true;
        }
    }
    e.text = text;
    return e;
}

// Enclosing quotes taken off. On Windows 98 the program takes them off itself, and a text that
// is one quote alone stays as it is there (no path is).
std::u16string Unquote(const std::u16string& path, bool windows98)
{
    if (!path.empty() && path[0] == u'"' && path.back() == u'"') {
        if (path.size() == 1)
            return windows98 ? path : std::u16string();
        return path.substr(1, path.size() - 2);
    }
    return path;
}

// The parameter text for the expansion, as the rules say each path is written.
std::u16string Parameters(const Expansion& e, const std::vector<std::u16string>& paths,
                          const std::vector<bool>& isFolder, bool windows98)
{
    std::u16string plain = e.quoted ? u"\"%M\"" : u"%M";
    std::u16string dashed = e.quoted ? u"\"%-M\"" : u"%-M";
    size_t at = fuzz::FindNoCase(e.text, plain);
    size_t length = plain.size();
    bool withoutBackslash = false;
    if (at == std::u16string::npos) {
        at = fuzz::FindNoCase(e.text, dashed);
        length = dashed.size();
        withoutBackslash = true;
    }
    std::vector<std::u16string> items;
    for (size_t i = 0; i < paths.size(); i++) {
        std::u16string bare = Unquote(paths[i], windows98);
        if (isFolder[i]) {
            const bool backslash = !bare.empty() && bare.back() == u'\\';
            if (withoutBackslash && backslash)
                bare.pop_back();
            else if (!withoutBackslash && !bare.empty() && !backslash)
                bare += u'\\';
        }
        items.push_back(e.quoted ? u"\"" + bare + u"\"" : bare);
    }
    return e.text.substr(0, at) + fuzz::Join(items, u" ") + e.text.substr(at + length);
}

// The entry FindExecEntry should pick: equal labels without regard to case, the first wins,
// an empty label never.
int PickEntry(const std::vector<Entry>& entries, const std::u16string& label)
{
    if (label.empty())
        return -1;
    for (size_t i = 0; i < entries.size(); i++)
        if (fuzz::EqualNoCase(entries[i].label, label))
            return (int)i;
    return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 7)
        return 0;
    const unsigned flags = data[0];
    const bool windows98 = (flags & 128) != 0;
    const unsigned faultKind = data[1] & 15;
    const int faultAt = (data[1] >> 4) + 1;
    const uint32_t handleValue = data[2] | (data[3] << 8) | (data[4] << 16) | ((uint32_t)data[5] << 24);
    const unsigned sizeByte = data[6];
    std::vector<std::string> fields = fuzz::Fields((const char*)data + 7, size - 7);
    if (fields.size() > 1 && fields[1].empty())
        return 0;

    sim::World world;

    // The trace is read as a debug viewer reads it: every item has its line.

    world.SetDebugViewerListening(true);
    if (windows98)
        world.SetWindows98();
    // A text as the program holds it: on Windows 98 only what the code page holds exists.
    auto seen = [&](const std::u16string& text) {
        return windows98 ? sim::Widen(sim::Ansi(text)) : text;
    };
    world.AddFile("C:\\Data\\memo.txt", "memo");
    world.AddDirectory("C:\\Data\\Old Files");
    world.AddDirectory(u"C:\\Data\\Old Files\\\u30BD");
    world.AddDirectory("C:\\Data\\100%M");
    world.AddFile("C:\\Data\\%C %$W %-M.txt", "");
    world.AddDrive('D');
    world.AddDirectory(kLong259);
    world.AddDirectory(kLong258);
    world.AddDirectory(kLongPairs259);
    world.AddFile(u"C:\\\u8868\\\u30BD.txt", "");
    world.AddFile(u"C:\\Data\\r\u00E9sum\u00E9.txt", "");
    world.AddFile(u"C:\\Data\\resume.txt", "");
    world.AddDirectory(u"C:\\Data\\\uD55C\uAD6D");
    world.AddFile(u"C:\\Data\\\U0001F600.txt", "");
    world.AddDirectory(u"C:\\Data\\\xD800");
    if (!(flags & 16))
        world.AddFile(kProgram, "MZ");
    world.SetClipboardText("earlier");
    HWND filer = world.AddWindow("FilerWindow", "C:\\Data", true);
    std::memset(&g_Run, 0, sizeof g_Run);
    g_Run.UnicodeCalls = windows98 ? 0 : 1;
    g_Run.IsNtFamily = windows98 ? 0 : 1;

    // The template as the settings loader stores it: at most 259 units.
    const std::u16string tmpl = fuzz::CutText(seen(fuzz::Wide(fields[0])), PathBufferSize - 1);
    const std::vector<Entry> entries = {{u"Edit", u"/e %-M"},
                                        {u"View", tmpl},
                                        {u"view", u"/second %M"},
                                        {u"", u"/empty"},
                                        {u"\uBCF4\uAE30", u"/k \"%M\""}};
    for (size_t i = 0; i < entries.size(); i++) {
        fuzz::Store(g_Run.Exec.ProgramPath[i], (flags & 16) ? kProgramGone : kProgram);
        fuzz::Store(g_Run.Exec.Label[i], entries[i].label);
        fuzz::Store(g_Run.Exec.Template[i], entries[i].tmpl);
    }
    g_Run.Exec.Count = (int)entries.size();
    const std::u16string label = seen(kLabels[flags & 7]);
    fuzz::Store(g_Run.RequestedLabel, label);
    g_Run.RestoreFlag = (flags & 8) ? 1 : 0;
    g_Run.TargetWindow = (flags & 64) ? filer : (HWND)(uintptr_t)handleValue;

    // The selection: rows of kPaths, or texts of their own.
    std::vector<std::u16string> paths;
    std::vector<bool> isFolder;
    const std::string codes = fields.size() > 1 ? fields[1] : std::string(1, '\0');
    size_t wanted = codes.size();
    if (sizeByte >= 200)
        wanted = std::min<size_t>(20 * (sizeByte - 199), MaxSelection);
    wanted = std::min<size_t>(wanted, MaxSelection);
    for (size_t i = 0; i < wanted; i++) {
        unsigned code = (unsigned char)codes[i % codes.size()];
        std::u16string path;
        bool folder;
        if (code < kPaths.size() * 8) {
            const PathRow& row = kPaths[code % kPaths.size()];
            path = seen(row.text);
            folder = path == row.text ? row.kind == Folder
                                      : world.DirectoryExists(Unquote(path, windows98));
        } else {
            size_t field = 2 + (code - kPaths.size() * 8) % 4;
            path = fuzz::CutText(seen(field < fields.size() ? fuzz::Wide(fields[field]) : u""),
                                 PathBufferSize - 1);
            std::u16string bare = Unquote(path, windows98);
            folder = !bare.empty() && world.DirectoryExists(bare);
        }
        fuzz::Store(g_Run.Selection.Paths[i], path);
        paths.push_back(path);
        isFolder.push_back(folder);
    }
    g_Run.Selection.Count = (int)paths.size();

    const bool held = (flags & 32) != 0;
    world.HoldClipboardElsewhere(held);
    bool memoryFault = true;
    switch (faultKind) {
    case 10: world.FailGlobalAlloc(faultAt); break;
    case 11: world.FailGlobalReAlloc(faultAt); break;
    case 12: world.FailGlobalLock(faultAt); break;
    case 13: world.SetShellExecuteResult(SE_ERR_ACCESSDENIED); memoryFault = false; break;
    default: memoryFault = false; break;
    }

    DispatchAction();

    // The model's answer.
    const int picked = PickEntry(entries, label);
    const std::u16string clipboardText = fuzz::Join(paths, u"\r\n");
    const int handle = (int)(int32_t)(uint32_t)(uintptr_t)g_Run.TargetWindow;
    Expansion e;
    std::u16string expectedParameters;
    int expectedExports = 1;   // the clipboard export of a run without a program
    bool launchExpected = false;
    if (picked >= 0) {
        e = Expand(entries[picked].tmpl, handle);
        expectedExports = e.clipboardExports;
        expectedParameters = e.verbatim ? e.text : Parameters(e, paths, isFolder, windows98);
        launchExpected = !(flags & 16) || !expectedParameters.empty();
        // Windows 98 opens the parameter text of a gone program only when it fits the buffer
        // of a file name there.
        if (windows98 && (flags & 16) && sim::Ansi(expectedParameters).size() >= 2 * LineBufferSize)
            launchExpected = false;
    }
    if (held)
        expectedExports = 0;
    const bool faultFired = memoryFault && !world.GlobalFaultPending();
    const std::string detail = "template [" + fuzz::Show(tmpl) + "] label [" + fuzz::Show(label) +
                               "] expected [" + fuzz::Show(expectedParameters) + "]" +
                               (windows98 ? " on Windows 98" : "");

    Require(world.OutstandingGlobalBlocks() == 0, "global block not freed", detail);
    Require(!world.ClipboardLeftOpen(), "clipboard left open", detail);
    Require(world.clipboardBlocksFreedByProgram == 0, "freed a block the clipboard owns", detail);

    // The clipboard: exactly the paths joined by CR LF, written once per export, in each of the
    // text forms of the system.
    const int formats = windows98 ? 1 : 2;
    Require(world.clipboardWrites % formats == 0, "an export without both text forms", detail);
    const int exports = world.clipboardWrites / formats;
    const int lostExports = expectedExports - exports;
    if (exports > 0)
        fuzz::CheckClipboard(world, paths, !windows98, kTarget, detail);
    else
        Require(world.ClipboardText().Text() == "earlier", "clipboard changed without a write",
                detail);
    Require(lostExports >= 0, "more clipboard writes than exports", detail);
    if (!memoryFault)
        Require(lostExports == 0, "clipboard writes differ from the exports", detail);
    const bool beepExpected = picked < 0 && exports == 1;
    Require(world.beeps.size() == (beepExpected ? 1u : 0u), "beep count", detail);

    // The program start.
    const std::string start = windows98 ? "ShellExecuteA" : "ShellExecuteW";
    if (picked < 0) {
        Require(world.launches.empty(), "a program started without a label", detail);
    } else if (!launchExpected) {
        Require(world.launches.empty(), "the empty text of a gone program was opened", detail);
    } else {
        Require(world.launches.size() <= 1, "more than one start", detail);
        if (world.launches.empty()) {
            // Windows 98 makes the ANSI parameter text in a block of its own, which a fault
            // may refuse as well.
            Require(memoryFault && faultFired && (!e.verbatim || windows98),
                    "no start without a fault", detail);
        } else {
            const sim::ShellLaunchRecord& launch = world.launches[0];
            const std::u16string file = windows98 ? sim::Widen(launch.file) : launch.fileWide;
            const std::u16string parameters =
                windows98 ? sim::Widen(launch.parameters) : launch.parametersWide;
            Require(launch.wide == !windows98, "the start's form", detail);
            if (flags & 16) {
                Require(file == expectedParameters && launch.parametersNull,
                        "the parameter text of a gone program is opened",
                        detail + " got [" + fuzz::Show(file) + "]");
            } else {
                Require(file == kProgram, "program path", detail);
                Require(parameters == expectedParameters, "parameter text",
                        detail + " got [" + fuzz::Show(parameters) + "]");
                const std::u16string directory =
                    windows98 ? sim::Widen(launch.directory) : launch.directoryWide;
                Require(directory == u"C:\\Tools\\", "working folder", detail);
            }
            Require(launch.show == SW_SHOWNORMAL, "show state", detail);
        }
    }
    // A single fault goes to one call: it loses one export or the start, never both.
    if (memoryFault && !held) {
        int lost = lostExports + (launchExpected && world.launches.empty() ? 1 : 0);
        Require(lost == (faultFired ? 1 : 0), "a fault lost more or less than one output", detail);
    }

    // Order: the restore comes first, the clipboard exports before the start.
    const std::vector<std::string>& calls = world.outputCalls;
    if (g_Run.RestoreFlag == 1 && (flags & 64))
        Require(!calls.empty() && calls[0] == "ShowWindow 9", "restore first", detail);
    bool started = false;
    for (const std::string& call : calls) {
        if (call == start)
            started = true;
        else
            Require(!started || call.rfind("ShowWindow", 0) == 0, "output after the start", detail);
    }
    return 0;
}
