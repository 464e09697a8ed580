// Splits a path into drive, directory, base name and extension.
// Writes: g_Run.Parts.
#ifndef TAVIX_COMMON_SPLITPATH_H
#define TAVIX_COMMON_SPLITPATH_H

// Looks at most at the first 260 characters of path. A trail byte of a two-byte character is
// never taken for a separator or a dot. Missing parts are empty texts.
void SplitPath(const char* path);

#endif
