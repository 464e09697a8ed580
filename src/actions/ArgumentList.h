// Writes the SelectionList into an expanded template and starts the chosen program with it.
// Reads: g_Run.Selection, QuoteMode, Exec.
#ifndef TAVIX_ACTIONS_ARGUMENTLIST_H
#define TAVIX_ACTIONS_ARGUMENTLIST_H

#include "../common/win32.h"

// expanded holds "%M" or "%-M" (QuotedItems) or %M or %-M (BareItems). The first plain form,
// else the first "-" form, is replaced by the paths separated by single spaces; the entry's
// program is then started with that parameter text. When memory runs out while the text is
// built, nothing is started.
void BuildArgumentList(const WCHAR* expanded, int entryIndex);

#endif
