// Writes: g_Run.CurrentFolder, AddressBoxFound, Parts (through the file test), and through the
//         shell query ShellView, ShellViewFor, ShellSilent.
// Reads: g_Run.WindowTitle, SearchMode, ShellItemsWanted.
#include "FolderResolution.h"

#include "../common/ForeignMessages.h"
#include "../common/RunState.h"
#include "../common/SplitPath.h"
#include "../common/Text.h"
#include "../common/Trace.h"
#include "ShellViewQuery.h"
#include "FolderDisplayNames.h"

// Only a text that fits the CurrentFolder is accepted as it. The empty text is never a result:
// the shell turns an empty candidate into the current drive's root "\", and removing its
// backslash leaves nothing that names a folder.
static int AcceptFolder(const char* text, const char* how)
{
    int length = lstrlenA(text);
    if (length == 0 || length >= PathBufferSize)
        return 0;
    TextCopy(g_Run.CurrentFolder, sizeof g_Run.CurrentFolder, text);
    Trace("folder: \"%s\" %s", g_Run.CurrentFolder, how);
    return 1;
}

int TryFolderText(const char* text)
{
    char candidate[LineBufferSize];
    char canonical[LineBufferSize];
    TextCopy(candidate, sizeof candidate, text);
    PathRemoveBlanksA(candidate);
    // The shell's canonicalisation works on MAX_PATH characters; a longer text would fail it.
    if (lstrlenA(candidate) < PathBufferSize && PathCanonicalizeA(canonical, candidate))
        TextCopy(candidate, sizeof candidate, canonical);

    if (g_Run.SearchMode == TitleMode && PathFileExistsA(candidate)) {
        SplitPath(candidate);
        if (g_Run.Parts.Drive[0] != '\0')
            return AcceptFolder(candidate, "exists (from the title)");
    }
    PathAddBackslashA(candidate);
    if (!PathIsDirectoryA(candidate))
        return 0;
    TextRemoveFinalBackslash(candidate);
    return AcceptFolder(candidate, "is a folder (from the title)");
}

// A special folder's display name, taken as it is.
static int TrySpecialName(const char* text)
{
    char path[LineBufferSize];
    LookupSpecialFolder(text, path);
    if (path[0] == '\0' || !PathIsDirectoryA(path))
        return 0;
    return AcceptFolder(path, "is a special folder (from the title)");
}

static int TryShellFolder(HWND window);

// The text, then the text without its first and last byte (brackets, quotes, ...).
static int TryAttemptGroup(const char* text)
{
    if (TryFolderText(text) || TrySpecialName(text))
        return 1;
    char inner[LineBufferSize];
    int length = lstrlenA(text);
    int n = 0;
    for (int i = 1; i < length - 1; i++)
        inner[n++] = text[i];
    inner[n] = '\0';
    return TryFolderText(inner) || TrySpecialName(inner);
}

// The title's first count bytes.
static int TryTitleStart(const char* title, int count)
{
    char part[LineBufferSize];
    for (int i = 0; i < count; i++)
        part[i] = title[i];
    part[count] = '\0';
    return TryAttemptGroup(part);
}

int ResolveFolder(HWND window)
{
    const char* title = g_Run.WindowTitle;
    int length = lstrlenA(title);

    if (length >= 2 && TryAttemptGroup(title))
        return 1;
    // Before a blank, the longest part first. Blanks are found byte by byte: no byte of a
    // two-byte character is 0x20.
    for (int i = length - 2; i >= 0; i--)
        if (title[i] == ' ' && i >= 2 && TryTitleStart(title, i))
            return 1;
    // After a blank, the longest part first.
    for (int i = 0; i <= length - 3; i++)
        if (title[i] == ' ' && TryAttemptGroup(title + i + 1))
            return 1;

    g_Run.AddressBoxFound = 0;
    EnumChildWindows(window, ReadAddressBox, 0);
    if (g_Run.AddressBoxFound)
        return 1;
    return IsShellFolderWindow(window) && TryShellFolder(window);
}

// A shell folder window whose title and address bar name nothing usable (the title shows only
// the folder's display name, the address bar is a breadcrumb bar): the shell is asked. The
// selection reader asks for the selected items in the same go, since it reads them next; the
// candidate scan does not, as most windows it lists are never read.
static int TryShellFolder(HWND window)
{
    if (AskShell(window, g_Run.ShellItemsWanted) != ShellAnswered)
        return 0;
    const ShellViewReport* report = &g_Run.ShellView;
    if (report->FolderStatus != ShellPathTaken)
        return 0;
    char folder[LineBufferSize];
    TextCopy(folder, sizeof folder, report->Folder);
    PathAddBackslashA(folder);
    if (!PathIsDirectoryA(folder)) {
        Trace("folder: \"%s\" from the shell is not a folder", report->Folder);
        return 0;
    }
    TextRemoveFinalBackslash(folder);
    return AcceptFolder(folder, "is the folder the shell shows (from the shell's window list)");
}

// The text of a combo box of another program: asked with a time-out, and taken only up to the
// end of the buffer, whether or not the other program ended it.
static int ReadComboText(HWND window, char* text)
{
    char area[PathBufferSize];
    ZeroMemory(area, sizeof area);
    LRESULT answer;
    if (!SendForeignMessage(window, WM_GETTEXT, sizeof area, (LPARAM)area, &answer)) {
        text[0] = '\0';
        return 0;
    }
    TextCopyFromArea(text, PathBufferSize, area, sizeof area);
    return 1;
}

BOOL CALLBACK ReadAddressBox(HWND window, LPARAM unused)
{
    (void)unused;
    char className[ClassNameSize];
    className[0] = '\0';
    GetClassNameA(window, className, sizeof className);
    if (!IsWindowVisible(window) || StrStrIA(className, "ComboBox") == NULL)
        return TRUE;

    char asRead[PathBufferSize];
    if (!ReadComboText(window, asRead))
        return TRUE;   // a combo box that does not answer has no text
    char text[LineBufferSize];
    TextCopy(text, sizeof text, asRead);
    PathRemoveBlanksA(text);

    if (g_Run.SearchMode == TitleMode && PathFileExistsA(text)) {
        // Later combo boxes that name an existing path replace this one.
        if (AcceptFolder(text, "exists (from an address box)"))
            g_Run.AddressBoxFound = 1;
        return TRUE;
    }
    PathAddBackslashA(text);
    if (PathIsDirectoryA(text)) {
        TextRemoveFinalBackslash(text);
        if (AcceptFolder(text, "is a folder (from an address box)")) {
            g_Run.AddressBoxFound = 1;
            return FALSE;
        }
        return TRUE;
    }
    char special[LineBufferSize];
    LookupSpecialFolder(asRead, special);
    if (special[0] != '\0' && PathIsDirectoryA(special)) {
        TextRemoveFinalBackslash(special);
        if (AcceptFolder(special, "is a special folder (from an address box)")) {
            g_Run.AddressBoxFound = 1;
            return FALSE;
        }
    }
    return TRUE;
}
