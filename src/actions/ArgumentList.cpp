#include "ArgumentList.h"

#include "ProgramLaunch.h"
#include "../common/GlobalText.h"
#include "../common/RunState.h"
#include "../common/Text.h"
#include "../common/Trace.h"

enum { ItemTextSize = PathBufferSize + 4 };   // a path, its backslash, two quotes, the zero

// Finds the list placeholder that the quote mode uses. Returns its offset, or -1.
static int FindListPlaceholder(const char* expanded, int* placeholderLength, int* withoutBackslash)
{
    const char* plain = g_Run.QuoteMode == QuotedItems ? "\"%M\"" : "%M";
    const char* dashed = g_Run.QuoteMode == QuotedItems ? "\"%-M\"" : "%-M";
    int at = TextFindNoCase(expanded, plain);
    *withoutBackslash = 0;
    *placeholderLength = lstrlenA(plain);
    if (at < 0) {
        at = TextFindNoCase(expanded, dashed);
        *withoutBackslash = 1;
        *placeholderLength = lstrlenA(dashed);
    }
    return at;
}

// The form of one path in the parameter text: enclosing quotes removed, a folder ending in a
// backslash (or in none, for the "-" forms: a drive root C:\ becomes C:), quoted again in
// QuotedItems. A folder of 259 characters is written with its backslash (260).
static void FormItem(const char* path, int withoutBackslash, char* item)
{
    char bare[ItemTextSize];
    TextCopy(bare, sizeof bare, path);
    PathUnquoteSpacesA(bare);
    if (PathIsDirectoryA(bare)) {
        if (withoutBackslash)
            TextRemoveFinalBackslash(bare);
        else
            TextAddFinalBackslash(bare, sizeof bare);
    }
    if (g_Run.QuoteMode == QuotedItems)
        wsprintfA(item, "\"%s\"", bare);
    else
        TextCopy(item, ItemTextSize, bare);
}

void BuildArgumentList(const char* expanded, int entryIndex)
{
    int placeholderLength;
    int withoutBackslash;
    int at = FindListPlaceholder(expanded, &placeholderLength, &withoutBackslash);
    if (at < 0 || entryIndex < 0 || entryIndex >= g_Run.Exec.Count) {
        Trace("arguments: \"%s\" holds no list placeholder; nothing is started", expanded);
        return;
    }

    GlobalText text;
    int built = GlobalTextStart(&text) && GlobalTextAppend(&text, expanded, (SIZE_T)at);
    const SelectionList* list = &g_Run.Selection;
    for (int i = 0; built && i < list->Count; i++) {
        char item[ItemTextSize + 1];
        FormItem(list->Paths[i], withoutBackslash, item);
        if (i > 0)
            built = GlobalTextAppend(&text, " ", 1);
        built = built && GlobalTextAppend(&text, item, (SIZE_T)lstrlenA(item));
    }
    const char* suffix = expanded + at + placeholderLength;
    built = built && GlobalTextAppend(&text, suffix, (SIZE_T)lstrlenA(suffix));
    if (!built) {
        // The block is already released; a partial text is never handed on.
        Trace("arguments: no memory for the parameter text of %d paths; nothing is started",
              list->Count);
        return;
    }
    Trace("arguments: %d paths give %lu characters", list->Count, (unsigned long)text.Length);
    LaunchProgram(g_Run.Exec.ProgramPath[entryIndex], text.Text);
    GlobalTextRelease(&text);
}
