// Reading a whole text file into one zero-terminated global memory block of UTF-16 text. The
// file may be ANSI text in the system's code page, UTF-8 (with or without a byte-order mark) or
// UTF-16 little-endian with a byte-order mark.
#ifndef TAVIX_COMMON_TEXTFILE_H
#define TAVIX_COMMON_TEXTFILE_H

#include "win32.h"

enum TextFileResult {
    TextFileRead = 1,
    TextFileNotOpened = 0,
    TextFileNotRead = -1   // opened, but its size could not be taken or it was not read whole
};

// How the bytes of a file are read as text.
enum TextEncodings { TextAnsi = 0, TextUtf8 = 1, TextUtf16 = 2 };

// Opens path for reading (others may read it too) with the given creation disposition, reads
// it whole, closes it and gives its text in a zero-filled block of its length plus a
// terminating zero. On TextFileRead, *text and *length (in characters) describe the block,
// which the caller frees with ReleaseTextFile; on every other result nothing is left to
// release.
int ReadTextFile(const WCHAR* path, DWORD disposition, WCHAR** text, DWORD* length);

void ReleaseTextFile(WCHAR* text);

// The encoding of a file's bytes: a UTF-8 or UTF-16 LE byte-order mark says it; without one,
// bytes that are valid UTF-8 and hold at least one multi-byte sequence are UTF-8; all else is
// ANSI. *skip is the length of the mark.
int DetectTextEncoding(const BYTE* bytes, DWORD size, DWORD* skip);

#endif
