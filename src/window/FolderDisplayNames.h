// The Japanese display names of the special folders that file managers show instead of a path.
#ifndef TAVIX_WINDOW_FOLDERDISPLAYNAMES_H
#define TAVIX_WINDOW_FOLDERDISPLAYNAMES_H

#include "../common/win32.h"

// result (LineBufferSize characters) = the path of the special folder whose display name equals
// text exactly; the empty text when none does or the system gives no path for it.
void LookupSpecialFolder(const WCHAR* text, WCHAR* result);

#endif
