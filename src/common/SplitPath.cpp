// Writes: g_Run.Parts. Reads: nothing else.
#include "SplitPath.h"

#include "RunState.h"
#include "Text.h"

enum { SplitLimit = PathBufferSize, PartLimit = 255 };

// Copies path[from, to) into a part buffer, at most 255 characters.
static void CopyPart(WCHAR* part, const WCHAR* path, int from, int to)
{
    WCHAR piece[SplitLimit + 1];
    int n = 0;
    for (int i = from; i < to; i++)
        piece[n++] = path[i];
    piece[n] = 0;
    TextCopyN(part, piece, PartLimit);
}

void SplitPath(const WCHAR* path)
{
    PathParts* parts = &g_Run.Parts;
    parts->Drive[0] = parts->Directory[0] = parts->BaseName[0] = parts->Extension[0] = 0;
    if (path == NULL)
        return;

    int length = 0;
    while (length < SplitLimit && path[length] != 0)
        length++;

    int start = 0;
    if (length >= 2 && path[1] == ':') {
        parts->Drive[0] = path[0];
        parts->Drive[1] = ':';
        parts->Drive[2] = 0;
        start = 2;
    }

    int lastSeparator = -1;
    int lastDot = -1;
    for (int i = start; i < length; i++) {
        WCHAR c = path[i];
        if (c == '\\' || c == '/') {
            lastSeparator = i;
            lastDot = -1;
        } else if (c == '.') {
            lastDot = i;
        }
    }

    int nameStart = start;
    if (lastSeparator >= 0) {
        CopyPart(parts->Directory, path, start, lastSeparator + 1);
        nameStart = lastSeparator + 1;
    }
    if (lastDot >= 0) {
        CopyPart(parts->BaseName, path, nameStart, lastDot);
        CopyPart(parts->Extension, path, lastDot, length);
    } else {
        CopyPart(parts->BaseName, path, nameStart, length);
    }
}
