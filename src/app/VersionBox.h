#ifndef TAVIX_APP_VERSIONBOX_H
#define TAVIX_APP_VERSIONBOX_H

#include "../common/win32.h"

// The version box body: 70 bytes of Shift_JIS text, five lines joined by CR LF.
extern const char VersionText[];

// Shows the version box, owned by the given window: caption "Tavix", OK only, no icon.
void ShowVersionBox(HWND owner);

#endif
