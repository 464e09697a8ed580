#include "Text.h"

#include "SystemText.h"

static int IsHighSurrogate(WCHAR c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

static int IsLowSurrogate(WCHAR c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

int TextLength(const WCHAR* text)
{
    int n = 0;
    while (text[n] != 0)
        n++;
    return n;
}

// The length of the longest prefix of src, at most maxChars units, that does not end between
// the two halves of a surrogate pair.
static int CutLength(const WCHAR* src, int maxChars)
{
    int n = 0;
    while (n < maxChars && src[n] != 0)
        n++;
    if (n > 0 && src[n] != 0 && IsHighSurrogate(src[n - 1]) && IsLowSurrogate(src[n]))
        n--;
    return n;
}

int TextCopyN(WCHAR* dst, const WCHAR* src, int maxChars)
{
    if (maxChars < 0)
        maxChars = 0;
    int n = CutLength(src, maxChars);
    // dst may be src itself, or lie before it (a copy onto the start of the same text).
    for (int i = 0; i < n; i++)
        dst[i] = src[i];
    int whole = src[n] == 0;
    dst[n] = 0;
    return whole;
}

int TextCopy(WCHAR* dst, int dstSize, const WCHAR* src)
{
    return TextCopyN(dst, src, dstSize - 1);
}

int TextJoin(WCHAR* dst, int dstSize, const WCHAR* a, const WCHAR* b)
{
    int la = TextLength(a);
    int lb = TextLength(b);
    if (la + lb >= dstSize) {
        dst[0] = 0;
        return 0;
    }
    // a or b may be dst itself only as the first part
    for (int i = 0; i < lb; i++)
        dst[la + i] = b[i];
    if (dst != a)
        for (int i = 0; i < la; i++)
            dst[i] = a[i];
    dst[la + lb] = 0;
    return 1;
}

int TextAppend(WCHAR* dst, int dstSize, const WCHAR* src)
{
    int length = TextLength(dst);
    return TextCopyN(dst + length, src, dstSize - 1 - length);
}

int TextAddFinalBackslash(WCHAR* text, int textSize)
{
    int length = TextLength(text);
    if (length == 0 || text[length - 1] == '\\')
        return 1;   // an empty text stays empty, as with PathAddBackslash
    if (length + 2 > textSize)
        return 0;
    text[length] = '\\';
    text[length + 1] = 0;
    return 1;
}

int TextStartsWithNoCase(const WCHAR* text, const WCHAR* key)
{
    return CompareNoCaseN(text, key, TextLength(key)) == 0;
}

int TextFindNoCase(const WCHAR* text, const WCHAR* needle)
{
    const WCHAR* hit = FindNoCase(text, needle);
    return hit ? (int)(hit - text) : -1;
}

int TextCopyFromArea(WCHAR* dst, int dstSize, const WCHAR* area, int areaSize)
{
    int limit = dstSize - 1 < areaSize ? dstSize - 1 : areaSize;
    int n = 0;
    while (n < limit && area[n] != 0)
        n++;
    // A pair cut by the limit (of the area or of dst) is dropped whole.
    if (n > 0 && n < areaSize && area[n] != 0 && IsHighSurrogate(area[n - 1]) &&
        IsLowSurrogate(area[n]))
        n--;
    for (int i = 0; i < n; i++)
        dst[i] = area[i];
    dst[n] = 0;
    return n < areaSize && area[n] == 0;
}

int TextEqual(const WCHAR* a, const WCHAR* b)
{
    while (*a != 0 && *a == *b) {
        a++;
        b++;
    }
    return *a == *b;
}

int TextRemoveFinalBackslash(WCHAR* text)
{
    int length = TextLength(text);
    if (length == 0 || text[length - 1] != '\\')
        return 0;
    text[length - 1] = 0;
    return 1;
}

const WCHAR* TextFind(const WCHAR* text, const WCHAR* needle)
{
    if (needle[0] == 0)
        return NULL;
    for (; *text != 0; text++) {
        int i = 0;
        while (needle[i] != 0 && text[i] == needle[i])
            i++;
        if (needle[i] == 0)
            return text;
    }
    return NULL;
}

void TextFromInt(WCHAR* text, int value)
{
    // Digits from the end; the unsigned magnitude also holds the most negative value.
    WCHAR digits[12];
    unsigned int magnitude = value < 0 ? 0u - (unsigned int)value : (unsigned int)value;
    int n = 0;
    do {
        digits[n++] = (WCHAR)('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    int at = 0;
    if (value < 0)
        text[at++] = '-';
    while (n > 0)
        text[at++] = digits[--n];
    text[at] = 0;
}
