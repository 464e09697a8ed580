// Writes: g_Run.SearchPathText, SearchPathPresent, TitleList, FilerList, RestoreFlag, Exec.
#include "SettingsSections.h"

#include "../common/SplitPath.h"
#include "../common/SystemText.h"
#include "../common/Text.h"
#include "../common/Trace.h"
#include "ProgramLookup.h"

int ReadSettingsLine(DWORD offset, DWORD length, const WCHAR* text, WCHAR* line)
{
    int kept = 0;
    DWORD i = offset;
    while (i < length) {
        WCHAR c = text[i++];
        if (c == '\n')
            break;
        if (c == '\r' || c == '\t')
            continue;
        if (kept < MaxSettingsLineChars)
            line[kept++] = c;
    }
    line[kept] = 0;
    return (int)(i - offset);
}

void ParseNameList(const WCHAR* line, int start, NameList* list)
{
    WCHAR name[PathBufferSize];
    int nameLength = 0;
    list->Count = 0;
    ZeroMemory(name, sizeof name);
    for (int i = start; line[i] != 0; i++) {
        WCHAR c = line[i];
        int endsList = c == '\r' || c == '\n';
        if (c == ',' || endsList) {
            if (nameLength > 0) {
                name[nameLength] = 0;
                TextCopy(list->Names[list->Count++], PathBufferSize, name);
                if (list->Count == MaxNames)
                    return;
            }
            nameLength = 0;
            if (endsList)
                return;
        } else if (nameLength < PathBufferSize - 1) {
            name[nameLength++] = c;
        }
    }
}

// Handles one line of a section; returns 0 when the line ends the section.
typedef int (*SectionLineHandler)(WCHAR* line);

// Leading blanks go before the keys are tested; a line of blanks only stays as it is.
static WCHAR* SkipLeadingBlanks(WCHAR* line)
{
    WCHAR* p = line;
    while (*p == ' ')
        p++;
    return *p == 0 ? line : p;
}

static int IsBlankText(const WCHAR* text)
{
    while (*text == ' ')
        text++;
    return *text == 0;
}

// Finds header anywhere in the text, skips the rest of the line it stands in, and hands every
// following line to the handler until one ends the section or the text ends.
static void WalkSection(const WCHAR* text, DWORD length, const WCHAR* header,
                        SectionLineHandler handle)
{
    int found = TextFindNoCase(text, header);
    if (found < 0) {
        Trace("settings: no %s section", header);
        return;
    }
    WCHAR line[LineBufferSize];
    DWORD offset = (DWORD)found;
    offset += ReadSettingsLine(offset, length, text, line);
    while (offset < length) {
        offset += ReadSettingsLine(offset, length, text, line);
        WCHAR* content = SkipLeadingBlanks(line);
        if (content[0] == ';')
            continue;
        if (TextStartsWithNoCase(content, WTEXT("%end")))
            return;
        if (!handle(content))
            return;
    }
}

// "@path=" gives either a directory list or the name of a search-path file.
static void SetSearchPath(const WCHAR* value)
{
    WCHAR found[LineBufferSize];
    LookUpProgram(value, 0, found);
    if (g_Run.ProgramFound && !IsDirectory(found)) {
        ReadSearchPathFile(found);
        return;
    }
    TextCopy(g_Run.SearchPathText, SearchPathSize, value);
    g_Run.SearchPathPresent = 1;
    Trace("settings: search path \"%s\"", g_Run.SearchPathText);
}

static void SetNameList(WCHAR* line, NameList* list, const char* key)
{
    // The line holds at most 517 characters, so CR LF always fits.
    TextAppend(line, LineBufferSize, WTEXT("\r\n"));
    ParseNameList(line, 7, list);
    Trace("settings: %hs list has %d names", key, list->Count);
}

static int HandleSystemLine(WCHAR* line)
{
    if (TextStartsWithNoCase(line, WTEXT("@path="))) {
        if (line[6] != 0)
            SetSearchPath(line + 6);
    } else if (TextStartsWithNoCase(line, WTEXT("@title="))) {
        if (line[7] != 0)
            SetNameList(line, &g_Run.TitleList, "title");
    } else if (TextStartsWithNoCase(line, WTEXT("@filer="))) {
        if (line[7] != 0)
            SetNameList(line, &g_Run.FilerList, "filer");
    } else if (TextStartsWithNoCase(line, WTEXT("@foreground"))) {
        // recognised, so that it is not taken for another key; it changes nothing
    } else if (TextStartsWithNoCase(line, WTEXT("@restore"))) {
        g_Run.RestoreFlag = 1;
        Trace("settings: the target window is restored before output");
    }
    return 1;
}

void ParseSystemSection(const WCHAR* text, DWORD length)
{
    WalkSection(text, length, WTEXT("[system]"), HandleSystemLine);
}

// An entry line: "program | label", or just "program" whose base name becomes the label.
static void AddExecEntry(const WCHAR* line)
{
    WCHAR program[LineBufferSize];
    WCHAR label[LineBufferSize];
    const WCHAR* separator = TextFind(line, WTEXT(" | "));
    if (separator != NULL) {
        int programLength = (int)(separator - line);
        for (int i = 0; i < programLength; i++)
            program[i] = line[i];
        program[programLength] = 0;
        TextCopy(label, CountOf(label), separator + 3);
    } else {
        TextCopy(program, CountOf(program), line);
        label[0] = 0;
    }

    // A program text of blanks only names no program. It is not handed to the lookup: the
    // system drops trailing blanks from file names, and some versions would take such a
    // text for the current folder.
    if (IsBlankText(program)) {
        Trace("settings: line without a program ignored");
        return;
    }
    WCHAR path[LineBufferSize];
    LookUpProgram(program, 1, path);
    if (!g_Run.ProgramFound) {
        Trace("settings: program \"%s\" not found; line ignored", program);
        return;
    }
    // A found path longer than MAX_PATH is cut, like every stored text.
    TextCopyN(path, path, PathBufferSize - 1);
    WCHAR canonical[PathBufferSize];
    if (CanonicalizePath(canonical, path))
        TextCopy(path, CountOf(path), canonical);
    if (separator == NULL) {
        SplitPath(path);
        TextCopy(label, CountOf(label), g_Run.Parts.BaseName);
    }

    int index = g_Run.Exec.Count++;
    TextCopy(g_Run.Exec.ProgramPath[index], PathBufferSize, path);
    TextCopy(g_Run.Exec.Label[index], PathBufferSize, label);
    g_Run.Exec.Template[index][0] = 0;
    Trace("settings: program %d \"%s\" labelled \"%s\"", index + 1, g_Run.Exec.ProgramPath[index],
          g_Run.Exec.Label[index]);
}

static int HandleExecLine(WCHAR* line)
{
    // A template belongs to the last stored entry, not to the line above it.
    if (g_Run.Exec.Count > 0 && line[0] == '>') {
        TextCopy(g_Run.Exec.Template[g_Run.Exec.Count - 1], PathBufferSize, line + 1);
        Trace("settings: template of program %d: \"%s\"", g_Run.Exec.Count,
              g_Run.Exec.Template[g_Run.Exec.Count - 1]);
        return 1;
    }
    if (g_Run.Exec.Count == MaxExecEntries) {
        Trace("settings: %d programs stored; the [exec] section ends here", MaxExecEntries);
        return 0;
    }
    AddExecEntry(line);
    return 1;
}

void ParseExecSection(const WCHAR* text, DWORD length)
{
    g_Run.Exec.Count = 0;
    WalkSection(text, length, WTEXT("[exec]"), HandleExecLine);
}
