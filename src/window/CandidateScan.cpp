// Writes: g_Run.Candidates, WindowTitle, and through the folder resolution CurrentFolder,
//         AddressBoxFound, Parts.
// Reads: g_Run.SearchMode, IsNtFamily.
#include "CandidateScan.h"

#include "../common/RunState.h"
#include "../common/SplitPath.h"
#include "../common/SystemText.h"
#include "../common/Text.h"
#include "../common/Trace.h"
#include "FolderResolution.h"
#include "ProcessImage.h"

void ScanCandidateWindows()
{
    EnumWindows(CollectCandidateWindow, 0);
    Trace("scan: %d candidate windows", g_Run.Candidates.Count);
}

BOOL CALLBACK CollectCandidateWindow(HWND window, LPARAM unused)
{
    (void)unused;
    CandidateTable* table = &g_Run.Candidates;
    g_Run.WindowTitle[0] = 0;
    ReadWindowTitle(window, g_Run.WindowTitle, LineBufferSize);
    WCHAR className[ClassNameSize];
    className[0] = 0;
    ReadClassName(window, className, ClassNameSize);

    if (!IsWindowVisible(window))
        return TRUE;
    if (TextEqual(className, WTEXT("Progman")))
        return TRUE;   // the desktop is never read
    if (TextLength(g_Run.WindowTitle) <= 0)
        return TRUE;
    if (!ResolveFolder(window))
        return TRUE;

    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    WCHAR image[PathBufferSize];
    ProcessImagePath(processId, image);
    SplitPath(image);
    TextCopy(table->Names[table->Count], PathBufferSize, g_Run.Parts.BaseName);
    table->Windows[table->Count] = window;
    table->Count++;
    Trace("scan: candidate %d: window %08lX of \"%s\" shows \"%s\"", table->Count,
          (unsigned long)(ULONG_PTR)window, image, g_Run.CurrentFolder);
    return table->Count < MaxCandidates;
}
