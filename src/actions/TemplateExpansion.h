// Prepares a program's command template: handles the clipboard and window placeholders and
// decides how the paths will be written.
// Reads: g_Run.TargetWindow, Selection. Writes: g_Run.QuoteMode.
#ifndef TAVIX_ACTIONS_TEMPLATEEXPANSION_H
#define TAVIX_ACTIONS_TEMPLATEEXPANSION_H

#include "../common/win32.h"

enum {
    // A template has at most 259 characters. Each %$W (3 characters) becomes at most 11
    // ("-2147483648"), and ` "%M"` may be appended: 86 * 11 + 1 + 5 = 952 characters at most,
    // so the expansion never has to be cut.
    ExpandedTextSize = 1024
};

// Expands templateText (its first 259 characters) into expanded, a buffer of ExpandedTextSize
// characters: every %C is removed, the SelectionList going to the clipboard without a beep for
// each; every %$W becomes the TargetWindow handle in signed decimal; a text without list
// placeholder and without %C gets ` "%M"` appended. Sets QuoteMode to QuotedItems, BareItems
// or VerbatimText.
void ExpandTemplate(const WCHAR* templateText, WCHAR* expanded);

#endif
