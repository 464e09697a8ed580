// Splits a path into drive, directory, base name and extension.
// Writes: g_Run.Parts.
#ifndef TAVIX_COMMON_SPLITPATH_H
#define TAVIX_COMMON_SPLITPATH_H

#include "win32.h"

// Looks at most at the first 260 characters of path. Missing parts are empty texts.
void SplitPath(const WCHAR* path);

#endif
