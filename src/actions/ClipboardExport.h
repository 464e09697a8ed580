// Puts the SelectionList on the clipboard as text.
// Reads: g_Run.Selection.
#ifndef TAVIX_ACTIONS_CLIPBOARDEXPORT_H
#define TAVIX_ACTIONS_CLIPBOARDEXPORT_H

// The paths, in list order and exactly as stored, joined by CR LF with nothing after the last,
// become the clipboard's CF_TEXT. With silent 0 a beep confirms the export. When the text
// cannot be built or the clipboard cannot be opened, the clipboard keeps what it held and no
// beep sounds; an empty list changes nothing either.
void CopySelectionToClipboard(int silent);

#endif
