// Feeds arbitrary command templates and selections through the output (DispatchAction) and
// compares what it did with a reference model of the template rules written here.
//
// Input: byte 0 flags (bits 0-2 the requested label, bit 3 @restore, bit 4 the program is
// gone, bit 5 another program holds the clipboard, bit 6 the target is a real window), byte 1
// the fault (low nibble: 0-9 none, 10 GlobalAlloc, 11 GlobalReAlloc, 12 GlobalLock,
// 13 ShellExecuteA fails, 14-15 none; high nibble + 1: which call fails), bytes 2-5 the window
// handle (little endian), byte 6 the selection size (below 200: as many paths as codes; from
// 200: the codes repeated to 20 * (byte - 199) paths, at most 1000). The rest, split at 0xFF,
// is the template, the selection codes (one byte per path: a row of kPaths, or a path text of
// its own field), then those path texts.
//
// Checked: the clipboard holds exactly the paths joined by CR LF whenever it was written, once
// per %C (removed case-insensitively, the text searched again after each removal) without a
// beep, or once with a beep when no program is picked; a started program gets exactly the
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
    std::string text;
    Kind kind;   // of the path without its enclosing quotes
};

std::string LongFolder(size_t length)
{
    return fuzz::LongFolder(length, 50, 'd', 'e');
}

const std::string kLong259 = LongFolder(259);
const std::string kLong258 = LongFolder(258);

const std::vector<PathRow> kPaths = {
    {"C:\\Data\\memo.txt", File},
    {"C:\\Data\\Old Files", Folder},
    {"C:\\", Folder},
    {"D:\\", Folder},
    {"C:\\Data\\Old Files\\", Folder},
    {"\"C:\\Data\\Old Files\"", Folder},
    {"\"C:\\Data\\memo.txt\"", File},
    {"\"C:\\\"", Folder},
    {"C:\\Data\\gone.txt", Missing},
    {kLong259, Folder},
    {kLong258 + "\\", Folder},
    {"C:\\\x95\x5C", Folder},                         // a folder whose name ends in trail byte 0x5C
    {"C:\\\x95\x5C\\\x83\x5C.txt", File},
    {"C:\\Data\\100%M", Folder},                      // placeholders inside paths stay as they are
    {"C:\\Data\\%C %$W %-M.txt", File},
    {"C:\\Data\\Old Files\\\x83\x5C", Folder},
    {"C:\\Data", Folder},
    {"\"C:\\Data\\memo.txt", File},                   // one quote only: kept as it is
};

const char* const kLabels[] = {"View", "view", "VIEW", "Edit", "Vie", "Views", "", "Nope"};
const char kProgram[] = "C:\\Tools\\viewer.exe";
const char kProgramGone[] = "C:\\Tools\\gone.exe";

struct Entry {
    std::string label;
    std::string tmpl;
};

// The model of the template rules.
struct Expansion {
    std::string text;       // after %C and %$W, with " \"%M\"" appended when due
    int clipboardExports = 0;
    bool verbatim = false;
    bool quoted = false;
};

Expansion Expand(std::string text, int handle)
{
    Expansion e;
    for (size_t at = fuzz::FindNoCase(text, "%C"); at != std::string::npos;
         at = fuzz::FindNoCase(text, "%C")) {
        text.erase(at, 2);
        e.clipboardExports++;
    }
    const std::string number = std::to_string(handle);
    for (size_t at = fuzz::FindNoCase(text, "%$W"); at != std::string::npos;
         at = fuzz::FindNoCase(text, "%$W"))
        text.replace(at, 3, number);
    bool quotedForm = fuzz::FindNoCase(text, "\"%M\"") != std::string::npos ||
                      fuzz::FindNoCase(text, "\"%-M\"") != std::string::npos;
    bool bareForm = fuzz::FindNoCase(text, "%M") != std::string::npos ||
                    fuzz::FindNoCase(text, "%-M") != std::string::npos;
    if (quotedForm) {
        e.quoted = true;
    } else if (!bareForm) {
        if (e.clipboardExports > 0) {
            e.verbatim = true;
        } else {
            text += " \"%M\"";
            e.quoted = true;
        }
    }
    e.text = text;
    return e;
}

std::string Unquote(const std::string& path)
{
    if (!path.empty() && path[0] == '"' && path.back() == '"')
        return path.size() == 1 ? std::string() : path.substr(1, path.size() - 2);
    return path;
}

// The parameter text for the expansion, as the rules say each path is written.
std::string Parameters(const Expansion& e, const std::vector<std::string>& paths,
                       const std::vector<bool>& isFolder)
{
    std::string plain = e.quoted ? "\"%M\"" : "%M";
    std::string dashed = e.quoted ? "\"%-M\"" : "%-M";
    size_t at = fuzz::FindNoCase(e.text, plain);
    size_t length = plain.size();
    bool withoutBackslash = false;
    if (at == std::string::npos) {
        at = fuzz::FindNoCase(e.text, dashed);
        length = dashed.size();
        withoutBackslash = true;
    }
    std::vector<std::string> items;
    for (size_t i = 0; i < paths.size(); i++) {
        std::string bare = Unquote(paths[i]);
        if (isFolder[i]) {
            if (withoutBackslash && fuzz::EndsWithBackslash(bare))
                bare.pop_back();
            else if (!withoutBackslash && !bare.empty() && !fuzz::EndsWithBackslash(bare))
                bare += '\\';
        }
        items.push_back(e.quoted ? "\"" + bare + "\"" : bare);
    }
    return e.text.substr(0, at) + fuzz::Join(items, " ") + e.text.substr(at + length);
}

// The entry FindExecEntry should pick: equal labels without regard to case, the first wins,
// an empty label never.
int PickEntry(const std::vector<Entry>& entries, const std::string& label)
{
    if (label.empty())
        return -1;
    for (size_t i = 0; i < entries.size(); i++)
        if (fuzz::EqualNoCase(entries[i].label, label))
            return (int)i;
    return -1;
}

void Store(char* buffer, const std::string& text)
{
    std::memcpy(buffer, text.c_str(), text.size() + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 7)
        return 0;
    const unsigned flags = data[0];
    const unsigned faultKind = data[1] & 15;
    const int faultAt = (data[1] >> 4) + 1;
    const uint32_t handleValue = data[2] | (data[3] << 8) | (data[4] << 16) | ((uint32_t)data[5] << 24);
    const unsigned sizeByte = data[6];
    std::vector<std::string> fields = fuzz::Fields((const char*)data + 7, size - 7);
    if (fields.size() > 1 && fields[1].empty())
        return 0;

    sim::World world;
    world.AddFile("C:\\Data\\memo.txt", "memo");
    world.AddDirectory("C:\\Data\\Old Files");
    world.AddDirectory("C:\\Data\\Old Files\\\x83\x5C");
    world.AddDirectory("C:\\Data\\100%M");
    world.AddFile("C:\\Data\\%C %$W %-M.txt", "");
    world.AddDrive('D');
    world.AddDirectory(kLong259);
    world.AddDirectory(kLong258);
    world.AddFile("C:\\\x95\x5C\\\x83\x5C.txt", "");
    if (!(flags & 16))
        world.AddFile(kProgram, "MZ");
    world.SetClipboardText("earlier");
    HWND filer = world.AddWindow("FilerWindow", "C:\\Data", true);
    std::memset(&g_Run, 0, sizeof g_Run);

    // The template as the settings loader stores it: at most 259 characters.
    const std::string tmpl = fuzz::CutText(fields[0], PathBufferSize - 1);
    const std::vector<Entry> entries = {
        {"Edit", "/e %-M"}, {"View", tmpl}, {"view", "/second %M"}, {"", "/empty"}};
    for (size_t i = 0; i < entries.size(); i++) {
        Store(g_Run.Exec.ProgramPath[i], (flags & 16) ? kProgramGone : kProgram);
        Store(g_Run.Exec.Label[i], entries[i].label);
        Store(g_Run.Exec.Template[i], entries[i].tmpl);
    }
    g_Run.Exec.Count = (int)entries.size();
    const std::string label = kLabels[flags & 7];
    Store(g_Run.RequestedLabel, label);
    g_Run.RestoreFlag = (flags & 8) ? 1 : 0;
    g_Run.TargetWindow = (flags & 64) ? filer : (HWND)(uintptr_t)handleValue;

    // The selection: rows of kPaths, or texts of their own.
    std::vector<std::string> paths;
    std::vector<bool> isFolder;
    const std::string codes = fields.size() > 1 ? fields[1] : std::string(1, '\0');
    size_t wanted = codes.size();
    if (sizeByte >= 200)
        wanted = std::min<size_t>(20 * (sizeByte - 199), MaxSelection);
    wanted = std::min<size_t>(wanted, MaxSelection);
    for (size_t i = 0; i < wanted; i++) {
        unsigned code = (unsigned char)codes[i % codes.size()];
        std::string path;
        bool folder;
        if (code < kPaths.size() * 8) {
            const PathRow& row = kPaths[code % kPaths.size()];
            path = row.text;
            folder = row.kind == Folder;
        } else {
            size_t field = 2 + (code - kPaths.size() * 8) % 4;
            path = fuzz::CutText(field < fields.size() ? fields[field] : "", PathBufferSize - 1);
            std::string bare = Unquote(path);
            folder = !bare.empty() && world.DirectoryExists(bare);
        }
        Store(g_Run.Selection.Paths[i], path);
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
    const std::string clipboardText = fuzz::Join(paths, "\r\n");
    const int handle = (int)(int32_t)(uint32_t)(uintptr_t)g_Run.TargetWindow;
    Expansion e;
    std::string expectedParameters;
    int expectedWrites = 1;   // the clipboard export of a run without a program
    bool launchExpected = false;
    if (picked >= 0) {
        e = Expand(entries[picked].tmpl, handle);
        expectedWrites = e.clipboardExports;
        expectedParameters = e.verbatim ? e.text : Parameters(e, paths, isFolder);
        launchExpected = !(flags & 16) || !expectedParameters.empty();
    }
    if (held)
        expectedWrites = 0;
    const bool faultFired = memoryFault && !world.GlobalFaultPending();
    const std::string detail = "template [" + tmpl + "] label [" + label + "] expected [" +
                               expectedParameters + "]";

    Require(world.OutstandingGlobalBlocks() == 0, "global block not freed", detail);
    Require(!world.ClipboardLeftOpen(), "clipboard left open", detail);
    Require(world.clipboardBlocksFreedByProgram == 0, "freed a block the clipboard owns", detail);

    // The clipboard: exactly the paths joined by CR LF, written once per export.
    sim::ClipboardTextRecord clip = world.ClipboardText();
    const int lostExports = expectedWrites - world.clipboardWrites;
    if (world.clipboardWrites > 0) {
        Require(clip.Text() == clipboardText, "clipboard text", detail);
        Require(clip.bytes.size() == clipboardText.size() + 1, "clipboard block size", detail);
    } else {
        Require(clip.Text() == "earlier", "clipboard changed without a write", detail);
    }
    Require(lostExports >= 0, "more clipboard writes than exports", detail);
    if (!memoryFault)
        Require(lostExports == 0, "clipboard writes differ from the exports", detail);
    const bool beepExpected = picked < 0 && world.clipboardWrites == 1;
    Require(world.beeps.size() == (beepExpected ? 1u : 0u), "beep count", detail);

    // The program start.
    if (picked < 0) {
        Require(world.launches.empty(), "a program started without a label", detail);
    } else if (!launchExpected) {
        Require(world.launches.empty(), "the empty text of a gone program was opened", detail);
    } else {
        Require(world.launches.size() <= 1, "more than one start", detail);
        if (world.launches.empty()) {
            Require(memoryFault && faultFired && !e.verbatim, "no start without a fault", detail);
        } else {
            const sim::ShellLaunchRecord& launch = world.launches[0];
            if (flags & 16) {
                Require(launch.file == expectedParameters && launch.parametersNull,
                        "the parameter text of a gone program is opened", detail +
                        " got [" + launch.file + "]");
            } else {
                Require(launch.file == kProgram, "program path", detail);
                Require(launch.parameters == expectedParameters, "parameter text",
                        detail + " got [" + launch.parameters + "]");
                Require(launch.directory == "C:\\Tools\\", "working folder", detail);
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
    std::vector<std::string> calls = world.outputCalls;
    if (g_Run.RestoreFlag == 1 && (flags & 64))
        Require(!calls.empty() && calls[0] == "ShowWindow 9", "restore first", detail);
    bool started = false;
    for (const std::string& call : calls) {
        if (call == "ShellExecuteA")
            started = true;
        else
            Require(!started || call.rfind("ShowWindow", 0) == 0, "output after the start", detail);
    }
    return 0;
}
