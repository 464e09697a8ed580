// Fixed-size text helpers. Every buffer of N bytes holds at most N - 1 characters and a zero.
// Texts are ANSI bytes in the system code page; cuts never split a two-byte character.
#ifndef TAVIX_COMMON_TEXT_H
#define TAVIX_COMMON_TEXT_H

// Copies at most maxChars characters of src into dst (which must hold maxChars + 1 bytes).
// Returns 1 when all of src fitted, 0 when it was cut.
int TextCopyN(char* dst, const char* src, int maxChars);

// Copies src into a buffer of dstSize bytes. Returns 1 when it fitted, 0 when it was cut.
int TextCopy(char* dst, int dstSize, const char* src);

// dst = a followed by b ("%s%s"). When the result does not fit in dstSize bytes, dst becomes
// the empty text and the result is 0: a cut path would name some other file.
int TextJoin(char* dst, int dstSize, const char* a, const char* b);

// Appends src to dst (a buffer of dstSize bytes); cuts like TextCopy. Returns 1 when it fitted.
int TextAppend(char* dst, int dstSize, const char* src);

// Copies a text that another program wrote into an area of areaSize bytes. The text ends at
// its first zero inside the area; when the area holds none, or the text does not fit in
// dstSize bytes, it is cut to whole characters. Never reads beyond the area. Returns 1 when
// the whole text was taken.
int TextCopyFromArea(char* dst, int dstSize, const char* area, int areaSize);

// 1 when the two texts are equal byte for byte.
int TextEqual(const char* a, const char* b);

// Removes the last character of text when it is a backslash (the second byte of a two-byte
// character is not one). Returns 1 when one was removed.
int TextRemoveFinalBackslash(char* text);

// Appends a backslash to text (a buffer of textSize bytes) unless it is empty or its last
// character is one already (the second byte of a two-byte character is not one). Returns 0, leaving text unchanged, when there is no room.
int TextAddFinalBackslash(char* text, int textSize);

// 1 when text begins with key, compared without regard to letter case over key's length.
int TextStartsWithNoCase(const char* text, const char* key);

// The offset of the first occurrence of needle in text (case-insensitive), or -1.
int TextFindNoCase(const char* text, const char* needle);

#endif
