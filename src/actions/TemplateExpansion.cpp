#include "TemplateExpansion.h"

#include "ClipboardExport.h"
#include "../common/RunState.h"
#include "../common/Text.h"
#include "../common/Trace.h"

// Replaces the removeLength characters at offset by insert, within a buffer of
// ExpandedTextSize bytes. Returns 0, leaving the text unchanged, when the result would not
// fit (which a template of at most 259 characters never reaches).
static int ReplaceAt(char* text, int offset, int removeLength, const char* insert)
{
    int length = lstrlenA(text);
    int insertLength = lstrlenA(insert);
    int newLength = length - removeLength + insertLength;
    if (newLength >= ExpandedTextSize)
        return 0;
    int tail = length - offset - removeLength + 1;   // with the zero
    char* from = text + offset + removeLength;
    char* to = text + offset + insertLength;
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

void ExpandTemplate(const char* templateText, char* expanded)
{
    TextCopyN(expanded, templateText, PathBufferSize - 1);
    g_Run.QuoteMode = Undecided;

    // Each search starts again at the beginning: a removal may join characters into a new %C.
    int clipboardExports = 0;
    for (int at = TextFindNoCase(expanded, "%C"); at >= 0; at = TextFindNoCase(expanded, "%C")) {
        ReplaceAt(expanded, at, 2, "");
        CopySelectionToClipboard(1);
        clipboardExports++;
        g_Run.QuoteMode = VerbatimText;
    }

    // The handle in signed decimal, as %d writes it; it holds no %, so no new placeholder forms.
    char handle[16];
    wsprintfA(handle, "%d", (int)(LONG_PTR)g_Run.TargetWindow);
    for (int at = TextFindNoCase(expanded, "%$W"); at >= 0; at = TextFindNoCase(expanded, "%$W")) {
        if (!ReplaceAt(expanded, at, 3, handle)) {
            // Cannot happen for a template of at most 259 characters; drop the placeholder
            // rather than loop or cut.
            ReplaceAt(expanded, at, 3, "");
        }
    }

    if (TextFindNoCase(expanded, "\"%M\"") >= 0 || TextFindNoCase(expanded, "\"%-M\"") >= 0)
        g_Run.QuoteMode = QuotedItems;
    else if (TextFindNoCase(expanded, "%M") >= 0 || TextFindNoCase(expanded, "%-M") >= 0)
        g_Run.QuoteMode = BareItems;

    if (g_Run.QuoteMode == Undecided) {
        ReplaceAt(expanded, lstrlenA(expanded), 0, " \"%M\"");
        g_Run.QuoteMode = QuotedItems;
    }
    Trace("template: \"%s\" gives quote mode %d after %d clipboard exports", expanded,
          g_Run.QuoteMode, clipboardExports);
}
