// Writes: g_Run.CurrentFolder, AddressBoxFound, Parts (through the file test), and through the
//         shell query ShellView, ShellViewFor, ShellSilent.
// Reads: g_Run.WindowTitle, SearchMode, ShellItemsWanted.
#include "FolderResolution.h"

#include "../common/ForeignMessages.h"
#include "../common/RunState.h"
#include "../common/SplitPath.h"
#include "../common/SystemText.h"
#include "../common/Text.h"
#include "../common/Trace.h"
#include "ShellViewQuery.h"
#include "FolderDisplayNames.h"

// Only a text that fits the CurrentFolder is accepted as it. The empty text is never a result:
// the shell turns an empty candidate into the current drive's root "\", and removing its
// backslash leaves nothing that names a folder.
static int AcceptFolder(const WCHAR* text, const char* how)
{
    int length = TextLength(text);
    if (length == 0 || length >= PathBufferSize)
        return 0;
    TextCopy(g_Run.CurrentFolder, PathBufferSize, text);
    Trace("folder: \"%s\" %hs", g_Run.CurrentFolder, how);
    return 1;
}

int TryFolderText(const WCHAR* text)
{
    WCHAR candidate[LineBufferSize];
    WCHAR canonical[LineBufferSize];
    TextCopy(candidate, LineBufferSize, text);
    RemoveBlanks(candidate);
    // The shell's canonicalisation works on MAX_PATH characters; a longer text would fail it.
    if (TextLength(candidate) < PathBufferSize && CanonicalizePath(canonical, candidate))
        TextCopy(candidate, LineBufferSize, canonical);

    if (g_Run.SearchMode == TitleMode && FileExists(candidate)) {
        SplitPath(candidate);
        if (g_Run.Parts.Drive[0] != 0)
            return AcceptFolder(candidate, "exists (from the title)");
    }
    AddBackslash(candidate);
    if (!IsDirectory(candidate))
        return 0;
    TextRemoveFinalBackslash(candidate);
    return AcceptFolder(candidate, "is a folder (from the title)");
}

// A special folder's display name, taken as it is.
static int TrySpecialName(const WCHAR* text)
{
    WCHAR path[LineBufferSize];
    LookupSpecialFolder(text, path);
    if (path[0] == 0 || !IsDirectory(path))
        return 0;
    return AcceptFolder(path, "is a special folder (from the title)");
}

static int TryShellFolder(HWND window);

// The text, then the text without its first and last character (brackets, quotes, ...).
static int TryAttemptGroup(const WCHAR* text)
{
    if (TryFolderText(text) || TrySpecialName(text))
        return 1;
    WCHAR inner[LineBufferSize];
    int length = TextLength(text);
    int n = 0;
    for (int i = 1; i < length - 1; i++)
        inner[n++] = text[i];
    inner[n] = 0;
    return TryFolderText(inner) || TrySpecialName(inner);
}

// The title's first count characters.
static int TryTitleStart(const WCHAR* title, int count)
{
    WCHAR part[LineBufferSize];
    for (int i = 0; i < count; i++)
        part[i] = title[i];
    part[count] = 0;
    return TryAttemptGroup(part);
}

int ResolveFolder(HWND window)
{
    const WCHAR* title = g_Run.WindowTitle;
    int length = TextLength(title);

    if (length >= 2 && TryAttemptGroup(title))
        return 1;
    // Before a blank, the longest part first.
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
    WCHAR folder[LineBufferSize];
    TextCopy(folder, LineBufferSize, report->Folder);
    AddBackslash(folder);
    if (!IsDirectory(folder)) {
        Trace("folder: \"%s\" from the shell is not a folder", report->Folder);
        return 0;
    }
    TextRemoveFinalBackslash(folder);
    return AcceptFolder(folder, "is the folder the shell shows (from the shell's window list)");
}

BOOL CALLBACK ReadAddressBox(HWND window, LPARAM unused)
{
    (void)unused;
    WCHAR className[ClassNameSize];
    className[0] = 0;
    ReadClassName(window, className, ClassNameSize);
    if (!IsWindowVisible(window) || FindNoCase(className, WTEXT("ComboBox")) == NULL)
        return TRUE;

    // The text of another program's combo box: asked with a time-out, and taken only up to the
    // end of the buffer, whether or not the other program ended it.
    WCHAR asRead[PathBufferSize];
    if (!ReadForeignText(window, asRead, PathBufferSize))
        return TRUE;   // a combo box that does not answer has no text
    WCHAR text[LineBufferSize];
    TextCopy(text, LineBufferSize, asRead);
    RemoveBlanks(text);

    if (g_Run.SearchMode == TitleMode && FileExists(text)) {
        // Later combo boxes that name an existing path replace this one.
        if (AcceptFolder(text, "exists (from an address box)"))
            g_Run.AddressBoxFound = 1;
        return TRUE;
    }
    AddBackslash(text);
    if (IsDirectory(text)) {
        TextRemoveFinalBackslash(text);
        if (AcceptFolder(text, "is a folder (from an address box)")) {
            g_Run.AddressBoxFound = 1;
            return FALSE;
        }
        return TRUE;
    }
    WCHAR special[LineBufferSize];
    LookupSpecialFolder(asRead, special);
    if (special[0] != 0 && IsDirectory(special)) {
        TextRemoveFinalBackslash(special);
        if (AcceptFolder(special, "is a special folder (from an address box)")) {
            g_Run.AddressBoxFound = 1;
            return FALSE;
        }
    }
    return TRUE;
}
