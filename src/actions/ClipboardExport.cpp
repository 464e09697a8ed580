#include "ClipboardExport.h"

#include "../common/RunState.h"
#include "../common/Trace.h"

// The clipboard text is measured first and written once into a block of exactly its length
// plus the zero, the block that the clipboard then owns.
static HGLOBAL MakeClipboardText(const SelectionList* list)
{
    SIZE_T length = 0;
    for (int i = 0; i < list->Count; i++)
        length += (SIZE_T)lstrlenA(list->Paths[i]) + (i > 0 ? 2 : 0);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, length + 1);
    if (block == NULL)
        return NULL;
    char* text = (char*)GlobalLock(block);
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
        for (const char* p = list->Paths[i]; *p != '\0'; p++)
            text[at++] = *p;
    }
    text[at] = '\0';
    GlobalUnlock(block);
    return block;
}

void CopySelectionToClipboard(int silent)
{
    const SelectionList* list = &g_Run.Selection;
    if (list->Count <= 0)
        return;
    HGLOBAL block = MakeClipboardText(list);
    if (block == NULL) {
        Trace("clipboard: no memory for the text of %d paths; the clipboard is unchanged",
              list->Count);
        return;
    }
    if (!OpenClipboard(NULL)) {
        Trace("clipboard: cannot be opened (another program holds it); it is unchanged");
        GlobalFree(block);
        return;
    }
    EmptyClipboard();
    if (!silent)
        MessageBeep(MB_ICONASTERISK);
    if (SetClipboardData(CF_TEXT, block) == NULL) {
        // The clipboard did not take the block, so it is still ours to free.
        Trace("clipboard: the text was not taken");
        GlobalFree(block);
    } else {
        Trace("clipboard: %d paths%s", list->Count, silent ? " (without a beep)" : "");
    }
    CloseClipboard();
}
