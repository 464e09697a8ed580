// Reads: g_Run.Selection, UnicodeCalls.
//
// The clipboard gets the paths twice on the NT family: in UTF-16 (CF_UNICODETEXT), exactly as
// they are, and in the ANSI code page (CF_TEXT) for programs that read only that, with '?' for
// each character the code page cannot hold. Setting both keeps the system from making the ANSI
// text itself, which it would do with best-fit look-alikes, and '?' is in no file name, so an
// ANSI reader never gets a path to some other file. Windows 98/ME gets CF_TEXT alone.
#include "ClipboardExport.h"

#include "../common/RunState.h"
#include "../common/SystemText.h"
#include "../common/Text.h"
#include "../common/Trace.h"

enum { ClipboardBlockFlags = GMEM_MOVEABLE | GMEM_ZEROINIT };

// The paths joined by CR LF, in a block of exactly their length plus the zero, unlocked; NULL
// when no block could be had. *length is the number of characters.
static HGLOBAL MakeUnicodeText(const SelectionList* list, SIZE_T* length)
{
    SIZE_T total = 0;
    for (int i = 0; i < list->Count; i++)
        total += (SIZE_T)TextLength(list->Paths[i]) + (i > 0 ? 2 : 0);
    *length = total;
    HGLOBAL block = GlobalAlloc(ClipboardBlockFlags, (total + 1) * sizeof(WCHAR));
    if (block == NULL)
        return NULL;
    WCHAR* text = (WCHAR*)GlobalLock(block);
    if (text == NULL) {
        GlobalFree(block);
        return NULL;
    }
    SIZE_T at = 0;
    for (int i = 0; i < list->Count; i++) {
        if (i > 0) {
            text[at++] = '\r';
            text[at++] = '\n';
        }
        for (const WCHAR* p = list->Paths[i]; *p != 0; p++)
            text[at++] = *p;
    }
    text[at] = 0;
    GlobalUnlock(block);
    return block;
}

// The same text in the ANSI code page, in a block of exactly its length in bytes plus the zero.
static HGLOBAL MakeAnsiText(HGLOBAL unicodeBlock, SIZE_T length)
{
    const WCHAR* wide = (const WCHAR*)GlobalLock(unicodeBlock);
    if (wide == NULL)
        return NULL;
    int bytes = AnsiMarked(wide, (int)length, NULL, 0);
    HGLOBAL block = GlobalAlloc(ClipboardBlockFlags, (SIZE_T)bytes + 1);
    char* text = block != NULL ? (char*)GlobalLock(block) : NULL;
    if (text != NULL) {
        AnsiMarked(wide, (int)length, text, bytes);
        text[bytes] = '\0';
        GlobalUnlock(block);
    } else if (block != NULL) {
        GlobalFree(block);
        block = NULL;
    }
    GlobalUnlock(unicodeBlock);
    return block;
}

static void FreeBlock(HGLOBAL block)
{
    if (block != NULL)
        GlobalFree(block);
}

// Hands the blocks to the open clipboard. The clipboard then owns the blocks it took; a block
// it did not take is freed here. When it took the UTF-16 text but not the ANSI one, it is
// emptied again: left alone, the system would make the ANSI text from the UTF-16 one, with
// look-alikes.
static int HandOver(HGLOBAL unicodeBlock, HGLOBAL ansiBlock)
{
    if (unicodeBlock != NULL && SetClipboardData(CF_UNICODETEXT, unicodeBlock) == NULL) {
        FreeBlock(unicodeBlock);
        FreeBlock(ansiBlock);
        return 0;
    }
    if (SetClipboardData(CF_TEXT, ansiBlock) == NULL) {
        FreeBlock(ansiBlock);
        if (unicodeBlock != NULL)
            EmptyClipboard();
        return 0;
    }
    return 1;
}

void CopySelectionToClipboard(int silent)
{
    const SelectionList* list = &g_Run.Selection;
    if (list->Count <= 0)
        return;
    SIZE_T length = 0;
    HGLOBAL unicodeBlock = MakeUnicodeText(list, &length);
    HGLOBAL ansiBlock = unicodeBlock != NULL ? MakeAnsiText(unicodeBlock, length) : NULL;
    if (ansiBlock == NULL) {
        FreeBlock(unicodeBlock);
        Trace("clipboard: no memory for the text of %d paths; the clipboard is unchanged",
              list->Count);
        return;
    }
    if (!g_Run.UnicodeCalls) {
        GlobalFree(unicodeBlock);
        unicodeBlock = NULL;
    }
    if (!OpenClipboard(NULL)) {
        Trace("clipboard: cannot be opened (another program holds it); it is unchanged");
        FreeBlock(unicodeBlock);
        GlobalFree(ansiBlock);
        return;
    }
    EmptyClipboard();
    if (!silent)
        MessageBeep(MB_ICONASTERISK);
    if (HandOver(unicodeBlock, ansiBlock))
        Trace("clipboard: %d paths%hs", list->Count, silent ? " (without a beep)" : "");
    else
        Trace("clipboard: the text was not taken; the clipboard is left empty");
    CloseClipboard();
}
