#include "GlobalText.h"

enum { GlobalTextFlags = GMEM_MOVEABLE | GMEM_ZEROINIT };

int GlobalTextStart(GlobalText* text)
{
    text->Text = NULL;
    text->Length = 0;
    text->Capacity = 0;
    text->Block = GlobalAlloc(GlobalTextFlags, sizeof(WCHAR));
    if (text->Block == NULL)
        return 0;
    text->Text = (WCHAR*)GlobalLock(text->Block);
    if (text->Text == NULL) {
        GlobalTextRelease(text);
        return 0;
    }
    text->Text[0] = 0;
    text->Capacity = 1;
    return 1;
}

// The block grows at least to double its size, so that a thousand appended paths cost a
// handful of reallocations rather than a thousand copies of an ever longer text.
static int GrowTo(GlobalText* text, SIZE_T needed)
{
    SIZE_T capacity = text->Capacity * 2;
    if (capacity < needed)
        capacity = needed;
    if (capacity > ((SIZE_T)-1) / sizeof(WCHAR)) {   // the size in bytes cannot be represented
        GlobalTextRelease(text);
        return 0;
    }
    GlobalUnlock(text->Block);
    text->Text = NULL;
    HGLOBAL grown = GlobalReAlloc(text->Block, capacity * sizeof(WCHAR), GlobalTextFlags);
    if (grown == NULL) {
        GlobalTextRelease(text);
        return 0;
    }
    text->Block = grown;
    text->Text = (WCHAR*)GlobalLock(text->Block);
    if (text->Text == NULL) {
        GlobalTextRelease(text);
        return 0;
    }
    text->Capacity = capacity;
    return 1;
}

int GlobalTextAppend(GlobalText* text, const WCHAR* characters, SIZE_T length)
{
    if (text->Block == NULL)
        return 0;
    SIZE_T needed = text->Length + length + 1;
    if (needed <= text->Length) {   // the length cannot be represented
        GlobalTextRelease(text);
        return 0;
    }
    if (needed > text->Capacity && !GrowTo(text, needed))
        return 0;
    for (SIZE_T i = 0; i < length; i++)
        text->Text[text->Length + i] = characters[i];
    text->Length += length;
    text->Text[text->Length] = 0;
    return 1;
}

void GlobalTextRelease(GlobalText* text)
{
    if (text->Block != NULL) {
        if (text->Text != NULL)
            GlobalUnlock(text->Block);
        GlobalFree(text->Block);
    }
    text->Block = NULL;
    text->Text = NULL;
    text->Length = 0;
    text->Capacity = 0;
}
