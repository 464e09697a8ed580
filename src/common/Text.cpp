#include "Text.h"

#include "win32.h"

// The length of the longest prefix of src, at most maxChars bytes, that does not end inside a
// two-byte character.
static int CutLength(const char* src, int maxChars)
{
    int n = 0;
    while (n < maxChars && src[n] != '\0') {
        if (IsDBCSLeadByte((BYTE)src[n]) && src[n + 1] != '\0') {
            if (n + 2 > maxChars)
                break;
            n += 2;
        } else {
            n += 1;
        }
    }
    return n;
}

int TextCopyN(char* dst, const char* src, int maxChars)
{
    if (maxChars < 0)
        maxChars = 0;
    int n = CutLength(src, maxChars);
    for (int i = 0; i < n; i++)
        dst[i] = src[i];
    dst[n] = '\0';
    return src[n] == '\0';
}

int TextCopy(char* dst, int dstSize, const char* src)
{
    return TextCopyN(dst, src, dstSize - 1);
}

int TextJoin(char* dst, int dstSize, const char* a, const char* b)
{
    int la = lstrlenA(a);
    int lb = lstrlenA(b);
    if (la + lb >= dstSize) {
        dst[0] = '\0';
        return 0;
    }
    // a or b may be dst itself only as the first part
    for (int i = 0; i < lb; i++)
        dst[la + i] = b[i];
    if (dst != a)
        for (int i = 0; i < la; i++)
            dst[i] = a[i];
    dst[la + lb] = '\0';
    return 1;
}

int TextAppend(char* dst, int dstSize, const char* src)
{
    int len = lstrlenA(dst);
    return TextCopyN(dst + len, src, dstSize - 1 - len);
}

int TextAddFinalBackslash(char* text, int textSize)
{
    char* last = NULL;
    char* end = text;
    for (; *end != '\0'; end = CharNextA(end))
        last = end;
    if (last == NULL || (*last == '\\' && last[1] == '\0'))
        return 1;   // an empty text stays empty, as with PathAddBackslashA
    int length = (int)(end - text);
    if (length + 2 > textSize)
        return 0;
    text[length] = '\\';
    text[length + 1] = '\0';
    return 1;
}

int TextStartsWithNoCase(const char* text, const char* key)
{
    return StrCmpNIA(text, key, lstrlenA(key)) == 0;
}

int TextFindNoCase(const char* text, const char* needle)
{
    const char* hit = StrStrIA(text, needle);
    return hit ? (int)(hit - text) : -1;
}

int TextCopyFromArea(char* dst, int dstSize, const char* area, int areaSize)
{
    int limit = dstSize - 1 < areaSize ? dstSize - 1 : areaSize;
    int n = 0;
    while (n < limit && area[n] != '\0') {
        int width = 1;
        if (IsDBCSLeadByte((BYTE)area[n]) && n + 1 < areaSize && area[n + 1] != '\0')
            width = 2;
        if (n + width > limit)
            break;
        n += width;
    }
    for (int i = 0; i < n; i++)
        dst[i] = area[i];
    dst[n] = '\0';
    return n < areaSize && area[n] == '\0';
}

int TextEqual(const char* a, const char* b)
{
    while (*a != '\0' && *a == *b) {
        a++;
        b++;
    }
    return *a == *b;
}

int TextRemoveFinalBackslash(char* text)
{
    char* last = NULL;
    for (char* p = text; *p != '\0'; p = CharNextA(p))
        last = p;
    if (last == NULL || *last != '\\' || last[1] != '\0')
        return 0;
    *last = '\0';
    return 1;
}
