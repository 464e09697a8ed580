#include "ArgumentList.h"

#include "ProgramLaunch.h"
#include "../common/GlobalText.h"
#include "../common/RunState.h"
#include "../common/SystemText.h"
#include "../common/Text.h"
#include "../common/Trace.h"

enum { ItemTextSize = PathBufferSize + 4 };   // a path, its backslash, two quotes, the zero

// Finds the list placeholder that the quote mode uses. Returns its offset, or -1.
static int FindListPlaceholder(const WCHAR* expanded, int* placeholderLength, int* withoutBackslash)
{
    const WCHAR* plain = g_Run.QuoteMode == QuotedItems ? WTEXT("\"%M\"") : WTEXT("%M");
    const WCHAR* dashed = g_Run.QuoteMode == QuotedItems ? WTEXT("\"%-M\"") : WTEXT("%-M");
    int at = TextFindNoCase(expanded, plain);
    *withoutBackslash = 0;
    *placeholderLength = TextLength(plain);
    if (at < 0) {
        at = TextFindNoCase(expanded, dashed);
        *withoutBackslash = 1;
        *placeholderLength = TextLength(dashed);
    }
    return at;
}

// The form of one path in the parameter text: enclosing quotes removed, a folder ending in a
// backslash (or in none, for the "-" forms: a drive root C:\ becomes C:), quoted again in
// QuotedItems. A folder of 259 characters is written with its backslash (260).
static void FormItem(const WCHAR* path, int withoutBackslash, WCHAR* item)
{
    WCHAR bare[ItemTextSize];
    TextCopy(bare, ItemTextSize, path);
    UnquoteSpaces(bare);
    if (IsDirectory(bare)) {
        if (withoutBackslash)
            TextRemoveFinalBackslash(bare);
        else
            TextAddFinalBackslash(bare, ItemTextSize);
    }
    if (g_Run.QuoteMode == QuotedItems) {
        // "\"%s\"": the item buffer holds a path, its backslash and both quotes.
        TextJoin(item, ItemTextSize + 1, WTEXT("\""), bare);
        TextAppend(item, ItemTextSize + 1, WTEXT("\""));
    } else {
        TextCopy(item, ItemTextSize, bare);
    }
}

void BuildArgumentList(const WCHAR* expanded, int entryIndex)
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
        WCHAR item[ItemTextSize + 1];
        FormItem(list->Paths[i], withoutBackslash, item);
        if (i > 0)
            built = GlobalTextAppend(&text, WTEXT(" "), 1);
        built = built && GlobalTextAppend(&text, item, (SIZE_T)TextLength(item));
    }
    const WCHAR* suffix = expanded + at + placeholderLength;
    built = built && GlobalTextAppend(&text, suffix, (SIZE_T)TextLength(suffix));
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
