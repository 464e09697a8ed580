// Feeds arbitrary bytes through the settings loader: the part before the first four 0xFF bytes
// is the settings file, the part after them a search-path file named "p" in the program's
// folder (which is also the current folder, so "@path=p" reaches it). Either file may be ANSI
// (Shift_JIS), UTF-8 with or without a byte-order mark, or UTF-16 LE with one, or bytes that
// are none of these well (malformed UTF-8, an odd number of UTF-16 bytes).
//
// A reference model reads the bytes as the program should: a byte-order mark EF BB BF says
// UTF-8 and FF FE says UTF-16 LE; without one the bytes are UTF-8 when they are valid UTF-8
// holding at least one multi-byte sequence, else ANSI. UTF-8 that is not valid gives U+FFFD for
// each byte that starts no valid sequence; a last odd UTF-16 byte is dropped. The model then
// reads the [system] section as the program does (lines end at LF, CR and TAB are dropped,
// leading blanks do not count, the first "%end" line ends the section) and says the title and
// filer lists and the restore flag exactly; the search-path file gives the search path exactly.
// The [exec] section is checked for what it can be without looking the programs up: each stored
// template is the text after '>' of some line, each label the text after " | " of some line or
// the program's base name, each program exists. Every run ends normally with everything
// released and the tables within their limits.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "SimWorld.h"
#include "common/RunState.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showState);

namespace {

const char kTarget[] = "fuzz_settings";

void Require(bool condition, const char* what, const std::string& detail = "")
{
    fuzz::Require(condition, kTarget, what, detail);
}

enum Encoding { Ansi, Utf8, Utf16 };
const char* const kEncodingNames[] = {"ANSI", "UTF-8", "UTF-16"};

// The UTF-8 sequence at bytes[i]: its length when it is a valid one (shortest form, no
// surrogate half, at most U+10FFFF), else 0.
size_t ValidSequence(const std::string& bytes, size_t i, char32_t* code)
{
    const unsigned char c = (unsigned char)bytes[i];
    if (c < 0x80) {
        *code = c;
        return 1;
    }
    size_t length;
    char32_t min;
    if (c >= 0xC0 && c <= 0xDF) {
        length = 2, min = 0x80, *code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3, min = 0x800, *code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF7) {
        length = 4, min = 0x10000, *code = c & 0x07;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (size_t k = 1; k < length; k++) {
        const unsigned char t = (unsigned char)bytes[i + k];
        if ((t & 0xC0) != 0x80)
            return 0;
        *code = (*code << 6) | (t & 0x3F);
    }
    if (*code < min || *code > 0x10FFFF || (*code >= 0xD800 && *code <= 0xDFFF))
        return 0;
    return length;
}

Encoding Detect(const std::string& bytes, size_t* mark)
{
    *mark = 0;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        *mark = 3;
        return Utf8;
    }
    if (bytes.compare(0, 2, "\xFF\xFE") == 0) {
        *mark = 2;
        return Utf16;
    }
    bool multiByte = false;
    for (size_t i = 0; i < bytes.size();) {
        char32_t code;
        const size_t length = ValidSequence(bytes, i, &code);
        if (length == 0)
            return Ansi;
        multiByte = multiByte || length > 1;
        i += length;
    }
    return multiByte ? Utf8 : Ansi;
}

std::u16string Decode(const std::string& file, Encoding* encoding)
{
    size_t mark;
    *encoding = Detect(file, &mark);
    const std::string bytes = file.substr(mark);
    std::u16string text;
    if (*encoding == Utf16) {
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            text += (char16_t)((unsigned char)bytes[i] | ((unsigned char)bytes[i + 1] << 8));
    } else if (*encoding == Utf8) {
        for (size_t i = 0; i < bytes.size();) {
            char32_t code;
            size_t length = ValidSequence(bytes, i, &code);
            if (length == 0) {
                code = 0xFFFD;
                length = 1;
            }
            if (code >= 0x10000) {
                text += (char16_t)(0xD800 + ((code - 0x10000) >> 10));
                text += (char16_t)(0xDC00 + ((code - 0x10000) & 0x3FF));
            } else {
                text += (char16_t)code;
            }
            i += length;
        }
    } else {
        text = sim::Widen(bytes);
    }
    return text;
}

// The text up to its first zero, as a C string holds it.
std::u16string UpToZero(const std::u16string& s)
{
    return s.substr(0, s.find(u'\0'));
}

bool StartsNoCase(const std::u16string& s, const std::u16string& key)
{
    return s.size() >= key.size() && fuzz::EqualNoCase(s.substr(0, key.size()), key);
}

// One line as the program keeps it: to the next LF, without CR and TAB, at most 517 units.
struct Line {
    std::u16string content;   // up to its first zero, leading blanks gone (unless all blanks)
    size_t next;              // the offset after it
};

Line ReadLine(const std::u16string& text, size_t offset)
{
    std::u16string kept;
    size_t i = offset;
    while (i < text.size()) {
        const char16_t c = text[i++];
        if (c == u'\n')
            break;
        if (c != u'\r' && c != u'\t' && kept.size() < 517)
            kept += c;
    }
    kept = UpToZero(kept);
    const size_t first = kept.find_first_not_of(u' ');
    return {first == std::u16string::npos ? kept : kept.substr(first), i};
}

// The lines of a section: those after the line that holds the header, up to a "%end" line.
std::vector<std::u16string> SectionLines(const std::u16string& text, const std::u16string& header)
{
    std::vector<std::u16string> lines;
    const size_t found = fuzz::FindNoCase(UpToZero(text), header);
    if (found == std::u16string::npos)
        return lines;
    size_t offset = ReadLine(text, found).next;
    while (offset < text.size()) {
        Line line = ReadLine(text, offset);
        offset = line.next;
        if (!line.content.empty() && line.content[0] == u';')
            continue;
        if (StartsNoCase(line.content, u"%end"))
            break;
        lines.push_back(line.content);
    }
    return lines;
}

// The names of a list line after its key: split at commas, empty ones left out, each cut to
// 259 units, at most 20.
std::vector<std::u16string> ModelNames(const std::u16string& line)
{
    std::vector<std::u16string> names;
    std::u16string rest = line.substr(7);
    size_t start = 0;
    while (start <= rest.size() && names.size() < MaxNames) {
        size_t comma = rest.find(u',', start);
        std::u16string name = rest.substr(start, comma == std::u16string::npos ? std::u16string::npos
                                                                              : comma - start);
        if (!name.empty())
            names.push_back(fuzz::CutText(name, PathBufferSize - 1));
        if (comma == std::u16string::npos)
            break;
        start = comma + 1;
    }
    return names;
}

// The search path a search-path file gives: the rest of the line after its first "path=", or,
// without one, the whole text without line ends; TABs and zeros left out, at most 5199 units.
std::u16string SearchPathOf(const std::u16string& text)
{
    std::u16string path;
    const size_t found = fuzz::FindNoCase(UpToZero(text), u"path=");
    const size_t start = found == std::u16string::npos ? 0 : found + 5;
    for (size_t i = start; i < text.size(); i++) {
        const char16_t c = text[i];
        if (found != std::u16string::npos && (c == u'\r' || c == u'\n'))
            break;
        if (c != u'\t' && c != u'\r' && c != u'\n' && c != 0 && path.size() < SearchPathSize - 1)
            path += c;
    }
    return path;
}

std::vector<std::u16string> Names(const NameList& list)
{
    std::vector<std::u16string> names;
    for (int i = 0; i < list.Count; i++) {
        std::u16string name;
        Require(fuzz::Terminated(list.Names[i], &name), "name not terminated");
        names.push_back(name);
    }
    return names;
}

std::u16string Stored(const WCHAR (&buffer)[PathBufferSize], const char* what)
{
    std::u16string text;
    Require(fuzz::Terminated(buffer, &text), what, "not terminated");
    return text;
}

// The base name the program gives an entry without a label: the file name without extension.
std::u16string BaseName(const std::u16string& path)
{
    size_t slash = path.find_last_of(u"\\:");
    std::u16string name = slash == std::u16string::npos ? path : path.substr(slash + 1);
    size_t dot = name.rfind(u'.');
    return dot == std::u16string::npos ? name : name.substr(0, dot);
}

// The first trace line that starts with the text, or the empty text.
std::u16string FirstTrace(const sim::World& world, const std::u16string& start)
{
    for (const std::u16string& line : world.traceWide)
        if (line.compare(0, start.size(), start) == 0)
            return line;
    return std::u16string();
}

// The last trace line that starts with the text, or the empty text.
std::u16string LastTrace(const sim::World& world, const std::u16string& start)
{
    std::u16string last;
    for (const std::u16string& line : world.traceWide)
        if (line.compare(0, start.size(), start) == 0)
            last = line;
    return last;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const size_t split = bytes.find("\xFF\xFF\xFF\xFF");
    const std::string settings = bytes.substr(0, split);
    const std::string searchFile = split == std::string::npos ? "" : bytes.substr(split + 4);

    sim::World world;

    // The trace is read as a debug viewer reads it: every item has its line.

    world.SetDebugViewerListening(true);
    world.SetCurrentDirectory("C:\\Tavix");
    world.AddFile("C:\\Tavix\\Tavix.ini", settings);
    world.AddFile("C:\\Tavix\\p", searchFile);
    world.AddFile("C:\\Tools\\viewer.exe", "MZ");
    world.AddFile(u"C:\\Tools\\r\u00E9sum\u00E9.exe", "MZ");
    world.AddFile(u"C:\\Tools\\\uBCF4\uAE30.exe", "MZ");
    world.AddFile(u"C:\\Tools\\\U0001F600.exe", "MZ");
    world.AddFile("C:\\WINDOWS\\notepad.exe", "MZ");
    world.SetCommandLine("C:\\Tavix\\Tavix.exe /#e");
    std::memset(&g_Run, 0, sizeof g_Run);

    char commandLine[] = "/#e";
    Require(WinMain(SIM_PROGRAM_INSTANCE, NULL, commandLine, SW_SHOWDEFAULT) == 0, "exit code");
    Require(world.OpenKernelHandles() == 0, "handle left open");
    Require(world.OutstandingGlobalBlocks() == 0, "global block not freed");
    Require(world.LiveWindowsOfCurrentProcess() == 0, "window left behind");
    Require(world.messageBoxes.empty(), "error box for a readable file");
    Require(g_Run.Exec.Count >= 0 && g_Run.Exec.Count <= MaxExecEntries, "exec count");
    Require(g_Run.TitleList.Count <= MaxNames && g_Run.FilerList.Count <= MaxNames, "name count");
    std::u16string searchPath;
    Require(fuzz::Terminated(g_Run.SearchPathText, &searchPath), "search path not terminated");

    // How the file was read.
    Encoding encoding;
    const std::u16string text = Decode(settings, &encoding);
    const std::u16string how = u"Tavix: file: " + sim::Utf16(std::to_string(settings.size())) +
                               u" bytes read as " + sim::Utf16(kEncodingNames[encoding]) + u" text";
    const std::u16string firstFileLine = FirstTrace(world, u"Tavix: file: ");
    Require(firstFileLine == how, "the encoding of the settings file",
            "expected [" + fuzz::Show(how) + "] got [" + fuzz::Show(firstFileLine) + "]");
    const std::u16string read = LastTrace(world, u"Tavix: settings: read ");
    const std::u16string count = u"(" + sim::Utf16(std::to_string(text.size())) + u" characters)";
    Require(read.size() >= count.size() &&
                read.compare(read.size() - count.size(), count.size(), count) == 0,
            "the length of the settings text", "expected " + fuzz::Show(count) + " in [" +
                                                   fuzz::Show(read) + "]");

    // [system]: the lists and the restore flag.
    std::vector<std::u16string> titles, filers;
    bool restore = false;
    for (const std::u16string& line : SectionLines(text, u"[system]")) {
        if (StartsNoCase(line, u"@title=") && line.size() > 7)
            titles = ModelNames(line);
        else if (StartsNoCase(line, u"@filer=") && line.size() > 7)
            filers = ModelNames(line);
        else if (StartsNoCase(line, u"@restore"))
            restore = true;
    }
    const std::vector<std::u16string> gotTitles = Names(g_Run.TitleList);
    const std::vector<std::u16string> gotFilers = Names(g_Run.FilerList);
    Require(gotTitles == titles, "title list",
            "expected [" + fuzz::Show(fuzz::Join(titles, u"|")) + "] got [" +
                fuzz::Show(fuzz::Join(gotTitles, u"|")) + "]");
    Require(gotFilers == filers, "filer list",
            "expected [" + fuzz::Show(fuzz::Join(filers, u"|")) + "] got [" +
                fuzz::Show(fuzz::Join(gotFilers, u"|")) + "]");
    Require(g_Run.RestoreFlag == (restore ? 1 : 0), "restore flag");

    // The search path, when the last one set came from the file "p".
    const std::u16string fromFile = u"Tavix: settings: search path from \"";
    const std::u16string last = LastTrace(world, u"Tavix: settings: search path");
    if (last.compare(0, fromFile.size(), fromFile) == 0 &&
        fuzz::EqualNoCase(last.substr(fromFile.size(), 11), u"C:\\Tavix\\p\"")) {
        Encoding searchEncoding;
        const std::u16string expected = SearchPathOf(Decode(searchFile, &searchEncoding));
        Require(searchPath == expected, "search path from the file",
                "expected [" + fuzz::Show(expected) + "] got [" + fuzz::Show(searchPath) + "]");
    }

    // [exec]: what each stored entry came from.
    const std::vector<std::u16string> execLines = SectionLines(text, u"[exec]");
    Require(g_Run.Exec.Count <= (int)execLines.size(), "more programs than lines");
    for (int i = 0; i < g_Run.Exec.Count; i++) {
        const std::u16string program = Stored(g_Run.Exec.ProgramPath[i], "program path");
        const std::u16string label = Stored(g_Run.Exec.Label[i], "label");
        const std::u16string tmpl = Stored(g_Run.Exec.Template[i], "template");
        const std::string detail = "program [" + fuzz::Show(program) + "] label [" +
                                   fuzz::Show(label) + "] template [" + fuzz::Show(tmpl) + "]";
        Require(world.FileExists(program) || world.DirectoryExists(program),
                "a stored program does not exist", detail);
        bool labelFound = label == BaseName(program);
        bool templateFound = tmpl.empty();
        for (const std::u16string& line : execLines) {
            const size_t separator = line.find(u" | ");
            if (separator != std::u16string::npos &&
                label == fuzz::CutText(line.substr(separator + 3), PathBufferSize - 1))
                labelFound = true;
            if (!line.empty() && line[0] == u'>' &&
                tmpl == fuzz::CutText(line.substr(1), PathBufferSize - 1))
                templateFound = true;
        }
        Require(labelFound, "a label that no line holds", detail);
        Require(templateFound, "a template that no line holds", detail);
    }
    return 0;
}
