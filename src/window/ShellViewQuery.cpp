// Writes: g_Run.ShellView (on the worker thread, while the GUI thread waits), ShellViewFor,
//         ShellSilent.
//
// The shell's window list (CLSID_ShellWindows) holds one browser per folder window; the
// browser's active view names its folder and its selected items as shell items, whose
// file-system paths it gives in UTF-16, as the program keeps them. Everything the shell is asked runs on
// a worker thread with an apartment of its own, because a shell that hangs would otherwise
// hold the run: the GUI thread waits for the worker a bounded time, and a worker that does not
// finish in it is left behind (the process ends soon after) together with OLE32.DLL, which it
// may still be running in.
#include "ShellViewQuery.h"

#include "../common/RunState.h"
#include "../common/SystemText.h"
#include "../common/Text.h"
#include "../common/Trace.h"

static const CLSID ShellWindowsClass = {
    0x9BA05972, 0xF6A8, 0x11CF, {0xA4, 0x42, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}};
static const IID ShellWindowsInterface = {
    0x85CB6900, 0x4D95, 0x11CF, {0x96, 0x0C, 0x00, 0x80, 0xC7, 0xF4, 0xEE, 0x85}};
static const IID WebBrowserAppInterface = {
    0x0002DF05, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const IID ServiceProviderInterface = {
    0x6D5140C1, 0x7436, 0x11CE, {0x80, 0x34, 0x00, 0xAA, 0x00, 0x60, 0x09, 0xFA}};
static const GUID TopLevelBrowserService = {
    0x4C96BE40, 0x915C, 0x11CF, {0x99, 0xD3, 0x00, 0xAA, 0x00, 0x4A, 0xE8, 0x37}};
static const IID ShellBrowserInterface = {
    0x000214E2, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const IID FolderViewInterface = {
    0xCDE725B0, 0xCCC9, 0x4519, {0x91, 0x7E, 0x32, 0x5D, 0x72, 0xFA, 0xB4, 0xCE}};
static const IID ShellItemInterface = {
    0x43826D1E, 0xE718, 0x42EE, {0xBC, 0x55, 0xA1, 0xE2, 0x61, 0xC3, 0x7B, 0xFE}};
static const IID ShellItemArrayInterface = {
    0xB63EA76D, 0x1F85, 0x456F, {0xA1, 0x9C, 0x48, 0x15, 0x9E, 0xFA, 0x85, 0x8B}};

static const IID PersistFolder2Interface = {
    0x1AC3D9F0, 0x175C, 0x11D1, {0x95, 0xBE, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x4F}};
static const IID EnumIdListInterface = {
    0x000214F2, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

static const WCHAR TabWindowClass[] = WTEXT("ShellTabWindowClass");

// The ID lists the program joins are at most this long; the shell's are far shorter.
enum { MaxIdListSize = 4096 };

enum BrowserMatch { NotThisWindow = 0, ThisWindow = 1, MatchFailed = -1 };

// A view read through shell items gives 1 (read) or 0 (failed), or ViewRefused when it hands
// out no shell items: then it is read through item ID lists.
enum { ViewRefused = -2 };

int IsShellFolderClass(const WCHAR* className)
{
    return TextEqual(className, WTEXT("CabinetWClass")) || TextEqual(className, WTEXT("ExploreWClass"));
}

int IsShellFolderWindow(HWND window)
{
    WCHAR className[ClassNameSize];
    className[0] = 0;
    ReadClassName(window, className, ClassNameSize);
    return IsShellFolderClass(className);
}

const char* ShellPathStatusText(int status)
{
    switch (status) {
    case ShellPathTaken:
        return "a path";
    case ShellPathTooLong:
        return "a path of 260 characters or more";
    case ShellPathLost:
        return "no answer from the shell";
    default:
        return "no file-system path";
    }
}

// A failure that says the shell can no longer be reached (its process ended or stopped
// answering calls), rather than that the item has no such name: RPC's own errors, and the
// system errors "server unavailable" and "call failed" that the COM channel reports.
static int ShellUnreachable(HRESULT result)
{
    unsigned long code = (unsigned long)result;
    return ((code >> 16) & 0x1FFF) == 1 || code == 0x800706BAUL || code == 0x800706BEUL ||
           code == 0x800706BFUL;
}

// Records the call that ended the asking. Before the window was found in the list, that means
// the shell does not know it; after, that the shell did not answer about it.
static void NoteFailure(ShellViewReport* r, const char* call, HRESULT result)
{
    r->FailedCall = call;
    r->FailedResult = result;
}

static int IsFullPath(const WCHAR* path)
{
    WCHAR first = path[0];
    int drive = ((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z')) &&
                path[1] == ':' && path[2] == '\\';
    int server = path[0] == '\\' && path[1] == '\\' && path[2] != '\0';
    return drive || server;
}

// A view that does not hand out what it was asked for in this form.
static int Refused(HRESULT result)
{
    return result == E_NOINTERFACE || result == E_NOTIMPL;
}

// A file-system path from the shell, as it gave it. It is taken whole or not at all: a path cut
// to fit would name something else.
static int TakeShellPath(const WCHAR* wide, WCHAR* path)
{
    path[0] = 0;
    int length = 0;
    while (length < PathBufferSize && wide[length] != 0)
        length++;
    if (length >= PathBufferSize)
        return ShellPathTooLong;
    // A file-system path from the shell is a full one, with a drive or a server; anything else
    // (an empty, relative or root-relative name) would be taken relative to this program's
    // working folder or drive, which the shell never meant.
    if (!IsFullPath(wide))
        return ShellPathNone;
    TextCopy(path, PathBufferSize, wide);
    return ShellPathTaken;
}

// The shell item's file-system path.
static int TakeItemPath(ShellViewReport* r, IShellItem* item, WCHAR* path)
{
    path[0] = 0;
    LPWSTR wide = NULL;
    HRESULT hr = item->GetDisplayName(SIGDN_FILESYSPATH, &wide);
    if (FAILED(hr) && ShellUnreachable(hr)) {
        NoteFailure(r, "IShellItem::GetDisplayName", hr);
        return ShellPathLost;
    }
    if (FAILED(hr) || wide == NULL)
        return ShellPathNone;
    int status = TakeShellPath(wide, path);
    r->Ole.FreeTaskMemory(wide);
    return status;
}

// The length of an item ID list without its terminating zero size, or -1 when it is longer
// than MaxIdListSize. The proxy has copied the list into this process, whole.
static int IdListSize(LPCITEMIDLIST list)
{
    const BYTE* bytes = (const BYTE*)list;
    int size = 0;
    for (;;) {
        USHORT itemSize;
        CopyMemory(&itemSize, bytes + size, sizeof itemSize);
        if (itemSize == 0)
            return size;
        size += itemSize;
        if (itemSize < sizeof itemSize || size > MaxIdListSize)
            return -1;
    }
}

// The file-system path of the folder's ID list joined with a child's (NULL for the folder
// itself). Everything here happens in this process.
static int TakeIdListPath(ShellViewReport* r, LPCITEMIDLIST folder, LPCITEMIDLIST child,
                          WCHAR* path)
{
    path[0] = 0;
    BYTE joined[2 * MaxIdListSize + sizeof(USHORT)];
    int folderSize = IdListSize(folder);
    int childSize = child != NULL ? IdListSize(child) : 0;
    if (folderSize < 0 || childSize < 0)
        return ShellPathNone;
    CopyMemory(joined, folder, folderSize);
    if (child != NULL)
        CopyMemory(joined + folderSize, child, childSize);
    ZeroMemory(joined + folderSize + childSize, sizeof(USHORT));
    WCHAR wide[MAX_PATH];
    wide[0] = 0;
    if (!r->PathFromIdList((PCIDLIST_ABSOLUTE)joined, wide))
        return ShellPathNone;
    wide[MAX_PATH - 1] = 0;
    return TakeShellPath(wide, path);
}

// The number of selected items of the view.
static int CountSelected(ShellViewReport* r, IFolderView* view, int* selected)
{
    *selected = 0;
    HRESULT hr = view->ItemCount(SVGIO_SELECTION, selected);
    if (FAILED(hr)) {
        NoteFailure(r, "IFolderView::ItemCount", hr);
        return 0;
    }
    return 1;
}

// The selected items, in the view's order, until the first that gives no path or the
// selection list is full.
static int ReadSelectedItems(ShellViewReport* r, IFolderView* view)
{
    int selected = 0;
    if (!CountSelected(r, view, &selected))
        return 0;
    if (selected <= 0)
        return 1;
    IShellItemArray* items = NULL;
    HRESULT hr = view->Items(SVGIO_SELECTION | SVGIO_FLAG_VIEWORDER, ShellItemArrayInterface,
                             (void**)&items);
    if (Refused(hr))
        return ViewRefused;
    if (FAILED(hr) || items == NULL) {
        NoteFailure(r, "IFolderView::Items", hr);
        return 0;
    }
    DWORD count = 0;
    hr = items->GetCount(&count);
    if (FAILED(hr)) {
        NoteFailure(r, "IShellItemArray::GetCount", hr);
        items->Release();
        return 0;
    }
    r->ItemTotal = count > (DWORD)0x7FFFFFFF ? 0x7FFFFFFF : (int)count;
    int whole = 1;
    for (DWORD k = 0; k < count && r->ItemCount < MaxSelection; k++) {
        IShellItem* item = NULL;
        hr = items->GetItemAt(k, &item);
        if (FAILED(hr) || item == NULL) {
            NoteFailure(r, "IShellItemArray::GetItemAt", hr);
            whole = 0;
            break;
        }
        int status = TakeItemPath(r, item, r->Paths[r->ItemCount]);
        item->Release();
        if (status == ShellPathLost) {
            whole = 0;
            break;
        }
        if (status != ShellPathTaken) {
            r->ItemStatus = status;
            break;
        }
        r->ItemCount++;
    }
    items->Release();
    return whole;
}

// The selected items through item ID lists, each joined with the folder's, in the view's
// order, until the first that gives no path or the selection list is full.
static int ReadSelectedIdLists(ShellViewReport* r, IFolderView* view, LPCITEMIDLIST folder)
{
    int selected = 0;
    if (!CountSelected(r, view, &selected))
        return 0;
    if (selected <= 0)
        return 1;
    IEnumIDList* items = NULL;
    HRESULT hr = view->Items(SVGIO_SELECTION | SVGIO_FLAG_VIEWORDER, EnumIdListInterface,
                             (void**)&items);
    if (FAILED(hr) || items == NULL) {
        NoteFailure(r, "IFolderView::Items(IEnumIDList)", hr);
        return 0;
    }
    r->ItemTotal = selected;
    int whole = 1;
    while (r->ItemCount < MaxSelection) {
        LPITEMIDLIST child = NULL;
        ULONG fetched = 0;
        hr = items->Next(1, &child, &fetched);
        if (FAILED(hr)) {
            NoteFailure(r, "IEnumIDList::Next", hr);
            whole = 0;
            break;
        }
        if (hr != S_OK || fetched != 1 || child == NULL) {
            r->Ole.FreeTaskMemory(child);
            break;
        }
        int status = TakeIdListPath(r, folder, child, r->Paths[r->ItemCount]);
        r->Ole.FreeTaskMemory(child);
        if (status != ShellPathTaken) {
            r->ItemStatus = status;
            break;
        }
        r->ItemCount++;
    }
    items->Release();
    return whole;
}

// The view through item ID lists, as the shell has offered since before shell items: for a
// view that hands out no shell items.
static int ReadViewByIdLists(ShellViewReport* r, IFolderView* view)
{
    if (r->PathFromIdList == NULL) {
        NoteFailure(r, "GetProcAddress(SHGetPathFromIDListW)", E_NOINTERFACE);
        return 0;
    }
    IPersistFolder2* persist = NULL;
    HRESULT hr = view->GetFolder(PersistFolder2Interface, (void**)&persist);
    if (FAILED(hr) || persist == NULL) {
        NoteFailure(r, "IFolderView::GetFolder(IPersistFolder2)", hr);
        return 0;
    }
    LPITEMIDLIST folder = NULL;
    hr = persist->GetCurFolder(&folder);
    persist->Release();
    if (FAILED(hr) || folder == NULL) {
        NoteFailure(r, "IPersistFolder2::GetCurFolder", hr);
        r->Ole.FreeTaskMemory(folder);
        return 0;
    }
    r->FolderStatus = TakeIdListPath(r, folder, NULL, r->Folder);
    int read = !r->WithItems || ReadSelectedIdLists(r, view, folder);
    r->Ole.FreeTaskMemory(folder);
    return read;
}

// The view through shell items; ViewRefused when it hands out none.
static int ReadViewByShellItems(ShellViewReport* r, IFolderView* view)
{
    IShellItem* folder = NULL;
    HRESULT hr = view->GetFolder(ShellItemInterface, (void**)&folder);
    if (Refused(hr))
        return ViewRefused;
    if (FAILED(hr) || folder == NULL) {
        NoteFailure(r, "IFolderView::GetFolder", hr);
        return 0;
    }
    r->FolderStatus = TakeItemPath(r, folder, r->Folder);
    folder->Release();
    if (r->FolderStatus == ShellPathLost)
        return 0;
    return !r->WithItems || ReadSelectedItems(r, view);
}

static void ClearFindings(ShellViewReport* r)
{
    r->FolderStatus = ShellPathNone;
    r->Folder[0] = 0;
    r->ItemTotal = 0;
    r->ItemCount = 0;
    r->ItemStatus = ShellPathTaken;
}

// The folder of the browser's active view, and its selected items when they were asked for.
static int ReadBrowser(ShellViewReport* r, IShellBrowser* browser)
{
    IShellView* shellView = NULL;
    HRESULT hr = browser->QueryActiveShellView(&shellView);
    if (FAILED(hr) || shellView == NULL) {
        NoteFailure(r, "IShellBrowser::QueryActiveShellView", hr);
        return 0;
    }
    IFolderView* view = NULL;
    hr = shellView->QueryInterface(FolderViewInterface, (void**)&view);
    shellView->Release();
    if (FAILED(hr) || view == NULL) {
        NoteFailure(r, "IShellView::QueryInterface(IFolderView)", hr);
        return 0;
    }
    int read = ReadViewByShellItems(r, view);
    if (read == ViewRefused) {
        ClearFindings(r);
        read = ReadViewByIdLists(r, view);
    }
    view->Release();
    return read;
}

// Whether the list's browser number index belongs to the window (and, for a window with
// tabs, is its active tab); on ThisWindow *browser holds its shell browser.
static int BrowserOfWindow(ShellViewReport* r, IShellWindows* windows, LONG index,
                           IShellBrowser** browser)
{
    *browser = NULL;
    VARIANT which;
    ZeroMemory(&which, sizeof which);
    V_VT(&which) = VT_I4;
    V_I4(&which) = index;
    IDispatch* item = NULL;
    HRESULT hr = windows->Item(which, &item);
    if (hr != S_OK || item == NULL)
        return NotThisWindow;   // a browser that went away since the count was taken
    IWebBrowserApp* app = NULL;
    hr = item->QueryInterface(WebBrowserAppInterface, (void**)&app);
    item->Release();
    if (FAILED(hr) || app == NULL)
        return NotThisWindow;   // not a folder window (the desktop, for one)
    SHANDLE_PTR handle = 0;
    hr = app->get_HWND(&handle);
    if (FAILED(hr) || (HWND)(LONG_PTR)handle != r->Frame) {
        app->Release();
        return NotThisWindow;
    }
    IServiceProvider* services = NULL;
    hr = app->QueryInterface(ServiceProviderInterface, (void**)&services);
    app->Release();
    if (FAILED(hr) || services == NULL) {
        NoteFailure(r, "IWebBrowserApp::QueryInterface(IServiceProvider)", hr);
        return MatchFailed;
    }
    IShellBrowser* found = NULL;
    hr = services->QueryService(TopLevelBrowserService, ShellBrowserInterface, (void**)&found);
    services->Release();
    if (FAILED(hr) || found == NULL) {
        NoteFailure(r, "IServiceProvider::QueryService(IShellBrowser)", hr);
        return MatchFailed;
    }
    if (r->ActiveTab != NULL) {
        // Every tab of a window is a browser of its own with the same window handle; the
        // active one is the tab window that comes first among the window's children.
        HWND tab = NULL;
        hr = found->GetWindow(&tab);
        if (FAILED(hr)) {
            NoteFailure(r, "IShellBrowser::GetWindow", hr);
            found->Release();
            return MatchFailed;
        }
        if (tab != r->ActiveTab) {
            found->Release();
            return NotThisWindow;
        }
    }
    *browser = found;
    return ThisWindow;
}

static void AskShellWindows(ShellViewReport* r)
{
    IShellWindows* windows = NULL;
    HRESULT hr = r->Ole.CreateInstance(ShellWindowsClass, NULL, CLSCTX_ALL, ShellWindowsInterface,
                                       (void**)&windows);
    if (FAILED(hr) || windows == NULL) {
        NoteFailure(r, "CoCreateInstance(ShellWindows)", hr);
        return;
    }
    LONG count = 0;
    hr = windows->get_Count(&count);
    if (FAILED(hr))
        NoteFailure(r, "IShellWindows::get_Count", hr);
    for (LONG i = 0; SUCCEEDED(hr) && i < count; i++) {
        IShellBrowser* browser = NULL;
        int match = BrowserOfWindow(r, windows, i, &browser);
        if (match == NotThisWindow)
            continue;
        r->Answer = ShellFailed;
        if (match == ThisWindow) {
            if (ReadBrowser(r, browser))
                r->Answer = ShellAnswered;
            browser->Release();
        }
        break;
    }
    windows->Release();
}

static DWORD WINAPI AskShellOnOwnThread(LPVOID parameter)
{
    ShellViewReport* r = (ShellViewReport*)parameter;
    HRESULT hr = r->Ole.Initialize(NULL, COINIT_APARTMENTTHREADED);
    if (FAILED(hr)) {
        NoteFailure(r, "CoInitializeEx", hr);
        return 0;
    }
    AskShellWindows(r);
    r->Ole.Uninitialize();
    return 0;
}

static void TraceAnswer(const ShellViewReport* r)
{
    unsigned long window = (unsigned long)(ULONG_PTR)r->Frame;
    if (r->FailedCall != NULL)
        Trace("shell: %hs failed (0x%08lX)", r->FailedCall, (unsigned long)r->FailedResult);
    if (r->Answer == ShellNotListed) {
        Trace("shell: the shell's window list does not hold window %08lX", window);
        return;
    }
    if (r->Answer == ShellFailed) {
        Trace("shell: the shell lists window %08lX but did not tell what it shows", window);
        return;
    }
    if (r->FolderStatus == ShellPathTaken)
        Trace("shell: window %08lX shows \"%s\"", window, r->Folder);
    else
        Trace("shell: window %08lX shows a folder with %hs", window,
              ShellPathStatusText(r->FolderStatus));
    if (r->WithItems)
        Trace("shell: %d selected items, %d paths taken", r->ItemTotal, r->ItemCount);
}

int AskShell(HWND window, int withItems)
{
    g_Run.ShellViewFor = NULL;
    if (g_Run.ShellSilent) {
        Trace("shell: the shell stopped answering earlier; window %08lX is not asked about",
              (unsigned long)(ULONG_PTR)window);
        return ShellFailed;
    }
    ShellViewReport* r = &g_Run.ShellView;
    r->Frame = window;
    r->ActiveTab = FindChildWindow(window, TabWindowClass);
    r->WithItems = withItems;
    r->Answer = ShellNotListed;
    r->FailedCall = NULL;
    r->FailedResult = S_OK;
    ClearFindings(r);
    if (!LoadOle(&r->Ole)) {
        Trace("shell: OLE32.DLL cannot be loaded; the shell is not asked");
        return ShellNotListed;
    }
    // Looked up here rather than on the worker: a view that hands out shell items never
    // needs it, and one that does not then fails whole when it is missing.
    r->PathFromIdList = FindPathFromIdList();
    DWORD threadId = 0;
    HANDLE thread = CreateThread(NULL, 0, AskShellOnOwnThread, r, 0, &threadId);
    if (thread == NULL) {
        Trace("shell: no thread to ask the shell on (error %lu)", (unsigned long)GetLastError());
        FreeOle(&r->Ole);
        return ShellNotListed;
    }
    DWORD waited = WaitForSingleObject(thread, ShellAnswerTimeout);
    CloseHandle(thread);
    if (waited != WAIT_OBJECT_0) {
        g_Run.ShellSilent = 1;
        Trace("shell: no answer about window %08lX within %d ms; the shell is not asked again",
              (unsigned long)(ULONG_PTR)window, (int)ShellAnswerTimeout);
        return ShellFailed;
    }
    FreeOle(&r->Ole);
    TraceAnswer(r);
    if (r->Answer == ShellAnswered)
        g_Run.ShellViewFor = window;
    return r->Answer;
}
