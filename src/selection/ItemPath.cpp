// Reads: g_Run.CurrentFolder. Writes: g_Run.Parts.
#include "ItemPath.h"

#include "../common/RunState.h"
#include "../common/SplitPath.h"
#include "../common/Text.h"
#include "../target/SpecialFolders.h"

static const char ShortcutExtension[] = ".lnk";

static int Exists(const char* candidate)
{
    return PathIsDirectoryA(candidate) || PathFileExistsA(candidate);
}

int ResolveItemPath(const char* itemText, char* path)
{
    // A candidate of 260 characters or more counts as not existing, so it is never formed.
    char candidate[LineBufferSize];
    LookupSpecialFolder(itemText, candidate);
    if (candidate[0] == '\0') {
        if (lstrlenA(g_Run.CurrentFolder) + 1 + lstrlenA(itemText) >= PathBufferSize)
            return 0;
        wsprintfA(candidate, "%s\\%s", g_Run.CurrentFolder, itemText);
    }
    int length = lstrlenA(candidate);
    if (length >= PathBufferSize)
        return 0;
    if (!Exists(candidate)) {
        SplitPath(candidate);
        if (g_Run.Parts.Extension[0] != '\0')
            return 0;
        if (length + lstrlenA(ShortcutExtension) >= PathBufferSize)
            return 0;
        lstrcatA(candidate, ShortcutExtension);
        if (!Exists(candidate))
            return 0;
    }
    TextCopy(path, PathBufferSize, candidate);
    return 1;
}
