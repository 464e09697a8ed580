// Writes: g_Run.ProgramFound, SearchPathText, SearchPathPresent.
// Reads: g_Run.SearchPathText, SearchPathPresent.
#include "ProgramLookup.h"

#include "../common/RunState.h"
#include "../common/SystemText.h"
#include "../common/Text.h"
#include "../common/TextFile.h"
#include "../common/Trace.h"

// A Win32 path call that gives 0, or a length that does not fit in MAX_PATH, has failed.
static int PathCallSucceeded(DWORD length)
{
    return length != 0 && length < PathBufferSize;
}

// The full path of an existing name, relative to the current directory; the name itself when
// the full path cannot be had.
static void FoundAsWritten(const WCHAR* name, WCHAR* result)
{
    WCHAR full[PathBufferSize];
    g_Run.ProgramFound = 1;
    if (PathCallSucceeded(FullPathName(name, PathBufferSize, full)))
        TextCopy(result, LineBufferSize, full);
    else
        TextCopy(result, LineBufferSize, name);
}

static int FoundAlong(const WCHAR* searchPath, const WCHAR* name, WCHAR* result)
{
    WCHAR found[PathBufferSize];
    if (!PathCallSucceeded(SearchAlongPath(searchPath, name, PathBufferSize, found)))
        return 0;
    g_Run.ProgramFound = 1;
    TextCopy(result, LineBufferSize, found);
    return 1;
}

void LookUpProgram(const WCHAR* name, int allowExe, WCHAR* result)
{
    // The ".exe" variant is added also to a name that has an extension already.
    WCHAR exeVariant[LineBufferSize + 8];
    if (!TextJoin(exeVariant, CountOf(exeVariant), name, WTEXT(".exe")))
        allowExe = 0;   // names come from lines of at most 517 characters; never in practice

    g_Run.ProgramFound = 0;
    if (FileExists(name)) {
        FoundAsWritten(name, result);
        return;
    }
    if (allowExe && FileExists(exeVariant)) {
        FoundAsWritten(exeVariant, result);
        return;
    }
    if (g_Run.SearchPathPresent) {
        if (FoundAlong(g_Run.SearchPathText, name, result))
            return;
        if (allowExe && FoundAlong(g_Run.SearchPathText, exeVariant, result))
            return;
    }
    if (FoundAlong(NULL, name, result))
        return;
    if (allowExe && FoundAlong(NULL, exeVariant, result))
        return;
    TextCopy(result, LineBufferSize, name);
}

// Appends one character to SearchPathText unless it is full.
// A zero cannot be part of a path and would cut the text short, so it is skipped too.
static void AppendSearchPathChar(WCHAR c, int* length)
{
    if (c == 0 || *length >= SearchPathSize - 1)
        return;
    g_Run.SearchPathText[(*length)++] = c;
    g_Run.SearchPathPresent = 1;
}

void ReadSearchPathFile(const WCHAR* path)
{
    g_Run.SearchPathPresent = 0;   // an earlier search path is out of use from here on
    WCHAR* text;
    DWORD size;
    if (ReadTextFile(path, OPEN_EXISTING, &text, &size) != TextFileRead) {
        Trace("settings: search-path file \"%s\" cannot be read; no search path", path);
        return;
    }
    ZeroMemory(g_Run.SearchPathText, sizeof g_Run.SearchPathText);
    int length = 0;
    int start = TextFindNoCase(text, WTEXT("path="));
    if (start >= 0) {
        for (DWORD i = (DWORD)start + 5; i < size && text[i] != '\r' && text[i] != '\n'; i++)
            if (text[i] != '\t')
                AppendSearchPathChar(text[i], &length);
    } else {
        for (DWORD i = 0; i < size; i++)
            if (text[i] != '\t' && text[i] != '\r' && text[i] != '\n')
                AppendSearchPathChar(text[i], &length);
    }
    ReleaseTextFile(text);
    if (g_Run.SearchPathPresent)
        Trace("settings: search path from \"%s\": \"%s\"", path, g_Run.SearchPathText);
    else
        Trace("settings: search-path file \"%s\" gives no search path", path);
}
