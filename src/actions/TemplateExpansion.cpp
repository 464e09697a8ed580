#include "TemplateExpansion.h"

#include "ClipboardExport.h"
#include "../common/RunState.h"
#include "../common/Text.h"
#include "../common/Trace.h"

// Replaces the removeLength characters at offset by insert, within a buffer of
// ExpandedTextSize characters. Returns 0, leaving the text unchanged, when the result would not
// fit (which a template of at most 259 characters never reaches).
static int ReplaceAt(WCHAR* text, int offset, int removeLength, const WCHAR* insert)
{
    int length = TextLength(text);
    int insertLength = TextLength(insert);
    int newLength = length - removeLength + insertLength;
    if (newLength >= ExpandedTextSize)
        return 0;
    int tail = length - offset - removeLength + 1;   // with the zero
    WCHAR* from = text + offset + removeLength;
    WCHAR* to = text + offset + insertLength;
    if (to < from) {
        for (int i = 0; i < tail; i++)
            to[i] = from[i];
    } else {
        for (int i = tail - 1; i >= 0; i--)
            to[i] = from[i];
    }
    for (int i = 0; i < insertLength; i++)
        text[offset + i] = insert[i];
    return 1;
}

void ExpandTemplate(const WCHAR* templateText, WCHAR* expanded)
{
    TextCopyN(expanded, templateText, PathBufferSize - 1);
    g_Run.QuoteMode = Undecided;

    // Each search starts again at the beginning: a removal may join characters into a new %C.
    int clipboardExports = 0;
    for (int at = TextFindNoCase(expanded, WTEXT("%C")); at >= 0;
         at = TextFindNoCase(expanded, WTEXT("%C"))) {
        ReplaceAt(expanded, at, 2, WTEXT(""));
        CopySelectionToClipboard(1);
        clipboardExports++;
        g_Run.QuoteMode = VerbatimText;
    }

    // The handle in signed decimal, as %d writes it; it holds no %, so no new placeholder forms.
    WCHAR handle[16];
    TextFromInt(handle, (int)(LONG_PTR)g_Run.TargetWindow);
    for (int at = TextFindNoCase(expanded, WTEXT("%$W")); at >= 0;
         at = TextFindNoCase(expanded, WTEXT("%$W"))) {
        if (!ReplaceAt(expanded, at, 3, handle)) {
            // Cannot happen for a template of at most 259 characters; drop the placeholder
            // rather than loop or cut.
            ReplaceAt(expanded, at, 3, WTEXT(""));
        }
    }

    if (TextFindNoCase(expanded, WTEXT("\"%M\"")) >= 0 ||
        TextFindNoCase(expanded, WTEXT("\"%-M\"")) >= 0)
        g_Run.QuoteMode = QuotedItems;
    else if (TextFindNoCase(expanded, WTEXT("%M")) >= 0 || TextFindNoCase(expanded, WTEXT("%-M")) >= 0)
        g_Run.QuoteMode = BareItems;

    if (g_Run.QuoteMode == Undecided) {
        ReplaceAt(expanded, TextLength(expanded), 0, WTEXT(" \"%M\""));
        g_Run.QuoteMode = QuotedItems;
    }
    Trace("template: \"%s\" gives quote mode %d after %d clipboard exports", expanded,
          g_Run.QuoteMode, clipboardExports);
}
