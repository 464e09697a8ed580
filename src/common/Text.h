// Fixed-size text helpers. Texts are UTF-16 (WCHAR); every buffer of N characters holds at most
// N - 1 characters and a zero, and limits count UTF-16 units. Cuts never split a surrogate
// pair: a character beyond the basic plane is kept whole or not at all.
#ifndef TAVIX_COMMON_TEXT_H
#define TAVIX_COMMON_TEXT_H

#include "win32.h"

// The number of characters (elements) of an array: the size to hand to the helpers below.
#define CountOf(array) ((int)(sizeof(array) / sizeof((array)[0])))

// The number of UTF-16 units before the zero.
int TextLength(const WCHAR* text);

// Copies at most maxChars units of src into dst (which must hold maxChars + 1). Returns 1 when
// all of src fitted, 0 when it was cut.
int TextCopyN(WCHAR* dst, const WCHAR* src, int maxChars);

// Copies src into a buffer of dstSize characters. Returns 1 when it fitted, 0 when it was cut.
int TextCopy(WCHAR* dst, int dstSize, const WCHAR* src);

// dst = a followed by b ("%s%s"). When the result does not fit in dstSize characters, dst
// becomes the empty text and the result is 0: a cut path would name some other file.
int TextJoin(WCHAR* dst, int dstSize, const WCHAR* a, const WCHAR* b);

// Appends src to dst (a buffer of dstSize characters); cuts like TextCopy. Returns 1 when it
// fitted.
int TextAppend(WCHAR* dst, int dstSize, const WCHAR* src);

// Copies a text that another program wrote into an area of areaSize characters. The text
// ends at its first zero inside the area; when the area holds none, or the text does not fit
// in dstSize characters, it is cut to whole characters. Never reads beyond the area. Returns 1
// when the whole text was taken.
int TextCopyFromArea(WCHAR* dst, int dstSize, const WCHAR* area, int areaSize);

// 1 when the two texts are equal unit for unit.
int TextEqual(const WCHAR* a, const WCHAR* b);

// Removes the last character of text when it is a backslash. Returns 1 when one was removed.
int TextRemoveFinalBackslash(WCHAR* text);

// Appends a backslash to text (a buffer of textSize characters) unless it is empty or its last
// character is one already. Returns 0, leaving text unchanged, when there is no room.
int TextAddFinalBackslash(WCHAR* text, int textSize);

// 1 when text begins with key, compared as the system compares names without regard to letter
// case (StrCmpNI semantics), over key's length.
int TextStartsWithNoCase(const WCHAR* text, const WCHAR* key);

// The offset of the first occurrence of needle in text, found as the system's case-insensitive
// substring search finds it (StrStrI semantics), or -1.
int TextFindNoCase(const WCHAR* text, const WCHAR* needle);

// The first occurrence of needle in text, compared unit for unit, or NULL.
const WCHAR* TextFind(const WCHAR* text, const WCHAR* needle);

// Writes value in signed decimal, as the %d conversion of wsprintf writes it, into a buffer of
// at least 12 characters.
void TextFromInt(WCHAR* text, int value);

#endif
