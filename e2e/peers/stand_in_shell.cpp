/*
 * stand_in_shell: a stand-in for the shell's window list, with one folder window whose tabs a
 * test describes in a config file.
 *
 *   stand_in_shell CONFIG-FILE READY-FILE [TIME-LIMIT-SECONDS]
 *   stand_in_shell --remove-treat-as {CLSID}
 *
 * The second form only deletes the TreatAs key (see treat-as= below) from each registry view
 * where it names that CLSID, as an instance ended by force could not, and exits with code 0
 * (2 for a malformed CLSID).
 *
 * The program makes a top-level frame window with a child window per tab, and registers a
 * class object for CLSID_ShellWindows as a local server (CoRegisterClassObject,
 * CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE) on its single thread, an STA that pumps messages.
 * Another process that asks COM for the shell's window list gets an IShellWindows with one
 * browser per tab, in tab order:
 *
 *   IShellWindows         get_Count, Item(index as VT_I4 or anything VariantChangeType turns
 *                         into it; out of range: S_FALSE and NULL); IDispatch through the
 *                         registered type library; every other method E_NOTIMPL
 *   browser               IWebBrowser2 (so IWebBrowserApp, IWebBrowser, IDispatch): get_HWND
 *                         gives the frame for every tab, the rest E_NOTIMPL; IServiceProvider:
 *                         QueryService(SID_STopLevelBrowser or SID_SShellBrowser,
 *                         IID_IShellBrowser); IShellBrowser: GetWindow gives the tab's window
 *                         (the frame when tabs=0), QueryActiveShellView the tab's view
 *   view                  IShellView (GetWindow as the browser's) and IFolderView:
 *                         GetFolder(IID_IShellItem) the folder as a shell item,
 *                         GetFolder(IID_IPersistFolder2 / IPersistFolder / IPersist) an object
 *                         whose GetCurFolder gives the folder's ID list; Items(SVGIO_SELECTION
 *                         or SVGIO_ALLVIEW, with or without SVGIO_FLAG_VIEWORDER) as
 *                         IShellItemArray or as IEnumIDList of child IDs; ItemCount; Item.
 *                         The view holds only the selected items, so ALLVIEW and SELECTION
 *                         give the same items, in config order. An empty selection gives an
 *                         empty array (S_OK).
 *   shell item            GetDisplayName: SIGDN_FILESYSPATH gives the configured path, or
 *                         E_INVALIDARG for a virtual entry (no file-system path);
 *                         SIGDN_NORMALDISPLAY and the PARENTRELATIVE kinds the last path
 *                         component (the name of a virtual entry); the DESKTOPABSOLUTE kinds
 *                         the path (the name of a virtual entry). GetAttributes gives
 *                         SFGAO_FILESYSTEM for a path, 0 for a virtual entry.
 *
 * ID lists: a folder path that exists gets the ID list the shell parses for it
 * (ILCreateFromPathW), one that does not a simple ID list (SHSimpleIDListFromPath); a virtual
 * folder gets the Computer folder's. A selected path's child ID is the last ID of its own ID
 * list; a virtual item's child ID is the last ID of the Control Panel's ID list, which has no
 * file-system path wherever it is put. Wine 8's proxies carry only the first three bytes of an
 * ID list (its ITEMIDLIST has no wire form), so another process gets a broken copy that still
 * starts with the right size field; these methods are served all the same, so that a test
 * shows what such a client makes of them.
 *
 * The config file is read as bytes. One "key=value" per line, lines ending in LF or CR LF;
 * the value is everything after the first '='. Empty lines and lines starting with '#' are
 * skipped. An unknown key or a bad value ends the program with exit code 2 and a message on
 * stderr, before any window is made or anything is registered.
 *
 * Keys of the frame (before the first tab=):
 *   title=BYTES      frame title, passed to CreateWindowExA as it is (default "Stand-in shell")
 *   class=NAME       frame class (default "CabinetWClass")
 *   front=1          once shown, the frame makes itself the foreground window
 *   tabs=N           number of child windows of class "ShellTabWindowClass" (default 1, at
 *                    most 32); tabs=0 makes none, as a folder window without tabs, and still
 *                    serves one browser, whose window is the frame itself
 *   active=K         the active tab (default 0): its window is the only visible tab window
 *                    and the first ShellTabWindowClass child of the frame in z-order, so that
 *                    FindWindowExA(frame, NULL, "ShellTabWindowClass", NULL) finds it
 *   hang=METHOD      every call of that method sleeps 120 s (at most until the time limit)
 *                    without answering, as a hung shell does; the windows, on the same thread,
 *                    stop answering too. Repeatable. METHOD is one of
 *                      count    IShellWindows::get_Count
 *                      item     IShellWindows::Item
 *                      hwnd     IWebBrowserApp::get_HWND
 *                      service  IServiceProvider::QueryService
 *                      window   IShellBrowser::GetWindow
 *                      view     IShellBrowser::QueryActiveShellView
 *                      folder   IFolderView::GetFolder
 *                      items    IFolderView::Items
 *                      name     IShellItem::GetDisplayName
 *                      pidl     IPersistFolder2::GetCurFolder
 *   treat-as={CLSID} the class object is registered under this CLSID too, and the program
 *                    makes COM treat CLSID_ShellWindows as it: it writes
 *                    HKLM\Software\Classes\CLSID\{9BA05972-F6A8-11CF-A442-00A0C90A8F39}\TreatAs
 *                    in both registry views (32-bit and 64-bit programs each read their own),
 *                    and deletes the key again on its way out if the key still names this
 *                    CLSID. Under Wine this is what makes another program's
 *                    CoCreateInstance(CLSID_ShellWindows) reach this program: Wine's desktop
 *                    process registers its own class object for CLSID_ShellWindows when it
 *                    starts, and COM hands out the earliest registration of a CLSID. Giving
 *                    each start a CLSID of its own also keeps it clear of the registration
 *                    that an earlier instance, ended by force, left behind: Wine keeps such
 *                    a registration, and COM answers REGDB_E_CLASSNOTREG while it comes first.
 *   register=0       no class object is registered, under either CLSID (the ready file says
 *                    register=none); with treat-as= the key is still written, so that
 *                    CoCreateInstance(CLSID_ShellWindows) finds no class at all
 *
 * tab=K starts the keys of tab K; sections come in order (tab=0, tab=1, ...), at most one per
 * tab (tabs=0 still has a tab 0). A tab without a section shows C:\ with nothing selected.
 * Keys of a tab; texts are UTF-8 and served as UTF-16, so names outside the ANSI code page
 * can be served:
 *   folder=PATH            the folder the tab shows
 *   virtual-folder=NAME    the tab shows a folder without a file-system path, named NAME
 *   select=PATH            one selected item; repeatable, in order
 *   select-virtual=NAME    one selected item without a file-system path; repeatable, in
 *                          order with the select= lines
 *
 * READY-FILE is written once the windows are shown and the class object is registered. It
 * is written beside its name and renamed into place, and holds the lines
 *   hwnd=<hex of the frame>  pid=<decimal>  foreground=<hex of GetForegroundWindow()>
 *   register=<HRESULT of CoRegisterClassObject as 8 hex digits, or "none">
 *   treat-as=<8 hex digits: 0 when the class object was registered under the treat-as CLSID
 *             (or register=0) and the key written in both views; else the failing HRESULT>
 *             (only with treat-as=)
 *   first=<hex of the first ShellTabWindowClass child, 0 when there is none>
 *   tab=<index> hwnd=<hex of the tab window>          one line per tab window, in tab order
 *
 * The program runs until the frame gets WM_CLOSE or the time limit (default 120 s) has
 * passed, then revokes the class objects, removes its TreatAs key and exits with code 0.
 */
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <exdisp.h>
#include <servprov.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <shlguid.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

const DWORD HANG_MS = 120000;
const DWORD FRONT_WAIT_MS = 3000;
const UINT_PTR LIMIT_TIMER = 1;
const int MAX_TABS = 32;
const char TAB_CLASS[] = "ShellTabWindowClass";

// Typed out here so that the program does not depend on which GUIDs libuuid happens to hold.
const CLSID CLSID_ShellWindowsList = {0x9ba05972, 0xf6a8, 0x11cf,
                                      {0xa4, 0x42, 0x00, 0xa0, 0xc9, 0x0a, 0x8f, 0x39}};
const GUID LIBID_ShellDocView = {0xeab22ac0, 0x30c1, 0x11cf,
                                 {0xa7, 0xeb, 0x00, 0x00, 0xc0, 0x5b, 0xae, 0x0b}};
const CLSID CLSID_FileSystemFolder = {0xf3364ba0, 0x65b9, 0x11ce,
                                      {0xa9, 0xba, 0x00, 0xaa, 0x00, 0x4a, 0xe8, 0x37}};
const wchar_t TREAT_AS_KEY[] =
    L"Software\\Classes\\CLSID\\{9BA05972-F6A8-11CF-A442-00A0C90A8F39}\\TreatAs";
const REGSAM REGISTRY_VIEWS[] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};
const GUID SID_TopLevelBrowser = {0x4c96be40, 0x915c, 0x11cf,
                                  {0x99, 0xd3, 0x00, 0xaa, 0x00, 0x4a, 0xe8, 0x37}};

enum HangMethod : unsigned {
    HANG_COUNT = 1u << 0,
    HANG_ITEM = 1u << 1,
    HANG_HWND = 1u << 2,
    HANG_SERVICE = 1u << 3,
    HANG_WINDOW = 1u << 4,
    HANG_VIEW = 1u << 5,
    HANG_FOLDER = 1u << 6,
    HANG_ITEMS = 1u << 7,
    HANG_NAME = 1u << 8,
    HANG_PIDL = 1u << 9,
};

// A folder or a selected item: a file-system path, or only a name (a virtual one).
struct Entry {
    bool isVirtual = false;
    std::wstring text;
};

struct Tab {
    Entry folder;
    std::vector<Entry> selection;
    HWND hwnd = nullptr;                   // its ShellTabWindowClass window; null when tabs=0
    PIDLIST_ABSOLUTE pidl = nullptr;       // the folder's ID list
    std::vector<PITEMID_CHILD> childIds;   // one per selected item, null where none was made
};

struct Config {
    std::string title = "Stand-in shell";
    std::string cls = "CabinetWClass";
    bool front = false;
    int tabWindows = 1;
    int active = 0;
    unsigned hang = 0;
    bool registerObject = true;
    bool hasTreatAs = false;
    CLSID treatAs = {};
    std::wstring treatAsText;   // as written into the registry: "{...}", upper case
    std::vector<Tab> tabs;   // sections given in the config; filled up to the tab count later
};

Config g_cfg;
HWND g_frame;
DWORD g_deadline;

// ---- config -----------------------------------------------------------------------------

[[noreturn]] void Fail(const char *what, const char *detail = nullptr)
{
    fprintf(stderr, "stand_in_shell: %s%s%s\n", what, detail ? ": " : "", detail ? detail : "");
    exit(2);
}

long ParseNumber(const char *value, long low, long high)
{
    char *end;
    long n = strtol(value, &end, 10);
    if (end == value || *end || n < low || n > high)
        Fail("bad number", value);
    return n;
}

std::wstring FromUtf8(const char *value, size_t len)
{
    if (!len)
        return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, value, (int)len, nullptr, 0);
    if (n <= 0)
        Fail("not UTF-8", value);
    std::wstring text((size_t)n, L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, value, (int)len, &text[0], n);
    return text;
}

Entry MakeEntry(bool isVirtual, const char *value, size_t len)
{
    if (!len)
        Fail("an empty path or name");
    Entry e;
    e.isVirtual = isVirtual;
    e.text = FromUtf8(value, len);
    return e;
}

unsigned ParseHang(const char *value)
{
    static const struct {
        const char *name;
        unsigned bit;
    } methods[] = {{"count", HANG_COUNT},   {"item", HANG_ITEM},     {"hwnd", HANG_HWND},
                   {"service", HANG_SERVICE}, {"window", HANG_WINDOW}, {"view", HANG_VIEW},
                   {"folder", HANG_FOLDER}, {"items", HANG_ITEMS},   {"name", HANG_NAME},
                   {"pidl", HANG_PIDL}};
    for (const auto &m : methods)
        if (strcmp(value, m.name) == 0)
            return m.bit;
    Fail("unknown method for hang", value);
}

void CheckClassName(const char *value)
{
    if (!*value || strlen(value) >= 256)
        Fail("bad class name", value);
}

void SetTreatAs(const char *value, size_t len)
{
    std::wstring text = FromUtf8(value, len);
    CLSID clsid;
    if (len != 38 || FAILED(CLSIDFromString(text.c_str(), &clsid))
        || clsid == CLSID_ShellWindowsList)
        Fail("treat-as needs a CLSID of the form {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}", value);
    wchar_t canonical[40];
    StringFromGUID2(clsid, canonical, 40);
    g_cfg.hasTreatAs = true;
    g_cfg.treatAs = clsid;
    g_cfg.treatAsText = canonical;
}

void SetFrameKey(const char *key, const char *value, size_t len)
{
    if (strcmp(key, "title") == 0)
        g_cfg.title.assign(value, len);
    else if (strcmp(key, "class") == 0) {
        CheckClassName(value);
        g_cfg.cls = value;
    } else if (strcmp(key, "front") == 0)
        g_cfg.front = ParseNumber(value, 0, 1) != 0;
    else if (strcmp(key, "tabs") == 0)
        g_cfg.tabWindows = (int)ParseNumber(value, 0, MAX_TABS);
    else if (strcmp(key, "active") == 0)
        g_cfg.active = (int)ParseNumber(value, 0, MAX_TABS - 1);
    else if (strcmp(key, "hang") == 0)
        g_cfg.hang |= ParseHang(value);
    else if (strcmp(key, "register") == 0)
        g_cfg.registerObject = ParseNumber(value, 0, 1) != 0;
    else if (strcmp(key, "treat-as") == 0)
        SetTreatAs(value, len);
    else
        Fail("unknown frame key", key);
}

void SetTabKey(Tab &tab, const char *key, const char *value, size_t len)
{
    if (strcmp(key, "folder") == 0)
        tab.folder = MakeEntry(false, value, len);
    else if (strcmp(key, "virtual-folder") == 0)
        tab.folder = MakeEntry(true, value, len);
    else if (strcmp(key, "select") == 0)
        tab.selection.push_back(MakeEntry(false, value, len));
    else if (strcmp(key, "select-virtual") == 0)
        tab.selection.push_back(MakeEntry(true, value, len));
    else
        Fail("unknown tab key", key);
}

void ParseLine(char *line, size_t len)
{
    if (len && line[len - 1] == '\r')
        line[--len] = 0;
    if (!len || line[0] == '#')
        return;
    char *eq = (char *)memchr(line, '=', len);
    if (!eq)
        Fail("line without '='", line);
    *eq = 0;
    const char *key = line, *value = eq + 1;
    size_t valueLen = len - (size_t)(value - line);
    if (strcmp(key, "tab") == 0) {
        if (ParseNumber(value, 0, MAX_TABS - 1) != (long)g_cfg.tabs.size())
            Fail("tab sections must come in order from tab=0", value);
        g_cfg.tabs.emplace_back();
    } else if (g_cfg.tabs.empty())
        SetFrameKey(key, value, valueLen);
    else
        SetTabKey(g_cfg.tabs.back(), key, value, valueLen);
}

std::vector<char> ReadWholeFile(const char *path)
{
    FILE *f = fopen(path, "rb");
    if (!f)
        Fail("cannot open the config file", path);
    std::vector<char> data;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0)
        data.insert(data.end(), chunk, chunk + got);
    fclose(f);
    return data;
}

void ReadConfig(const char *path)
{
    std::vector<char> data = ReadWholeFile(path);
    data.push_back('\n');
    size_t start = 0;
    while (start < data.size()) {
        size_t end = start;
        while (data[end] != '\n')
            end++;
        data[end] = 0;
        ParseLine(&data[start], end - start);
        start = end + 1;
    }
    int browsers = g_cfg.tabWindows ? g_cfg.tabWindows : 1;
    if ((int)g_cfg.tabs.size() > browsers)
        Fail("more tab sections than tabs");
    if (g_cfg.active >= browsers)
        Fail("active names a tab that does not exist");
    while ((int)g_cfg.tabs.size() < browsers)
        g_cfg.tabs.emplace_back();
    for (Tab &tab : g_cfg.tabs)
        if (tab.folder.text.empty())
            tab.folder.text = L"C:\\";
}

// ---- helpers ----------------------------------------------------------------------------

// Sleeps as a hung program would, but not past the time limit.
void HangIf(unsigned method)
{
    if (!(g_cfg.hang & method))
        return;
    DWORD left = g_deadline - GetTickCount();
    if ((LONG)left > 0)
        Sleep(left < HANG_MS ? left : HANG_MS);
}

HRESULT CopyToTaskMem(const std::wstring &text, LPWSTR *out)
{
    size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    *out = (LPWSTR)CoTaskMemAlloc(bytes);
    if (!*out)
        return E_OUTOFMEMORY;
    memcpy(*out, text.c_str(), bytes);
    return S_OK;
}

// The last component of a path ("C:\" for a drive root); a virtual entry's name as it is.
std::wstring LastComponent(const Entry &e)
{
    if (e.isVirtual)
        return e.text;
    std::wstring path = e.text;
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/'))
        path.pop_back();
    size_t cut = path.find_last_of(L"\\/");
    if (cut == std::wstring::npos || cut + 1 == path.size())
        return path;
    return path.substr(cut + 1);
}

PIDLIST_ABSOLUTE IdListOfPath(const std::wstring &path)
{
    PIDLIST_ABSOLUTE pidl = ILCreateFromPathW(path.c_str());
    return pidl ? pidl : SHSimpleIDListFromPath(path.c_str());
}

PIDLIST_ABSOLUTE IdListOfSpecialFolder(int csidl)
{
    PIDLIST_ABSOLUTE pidl = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &pidl)))
        return nullptr;
    return pidl;
}

PITEMID_CHILD LastIdOf(PIDLIST_ABSOLUTE pidl)
{
    if (!pidl || ILIsEmpty(pidl))
        return nullptr;
    return (PITEMID_CHILD)ILClone(ILFindLastID(pidl));
}

void MakeIdLists()
{
    PIDLIST_ABSOLUTE controls = IdListOfSpecialFolder(CSIDL_CONTROLS);
    for (Tab &tab : g_cfg.tabs) {
        tab.pidl = tab.folder.isVirtual ? IdListOfSpecialFolder(CSIDL_DRIVES)
                                        : IdListOfPath(tab.folder.text);
        for (const Entry &e : tab.selection) {
            if (e.isVirtual) {
                tab.childIds.push_back(LastIdOf(controls));
            } else {
                PIDLIST_ABSOLUTE full = IdListOfPath(e.text);
                tab.childIds.push_back(LastIdOf(full));
                ILFree(full);
            }
        }
    }
    ILFree(controls);
}

ITypeInfo *TypeInfoOf(REFIID iid)
{
    ITypeLib *lib = nullptr;
    ITypeInfo *info = nullptr;
    if (SUCCEEDED(LoadRegTypeLib(LIBID_ShellDocView, 1, 1, LOCALE_NEUTRAL, &lib))) {
        lib->GetTypeInfoOfGuid(iid, &info);
        lib->Release();
    }
    return info;
}

// ---- COM objects ------------------------------------------------------------------------
//
// The shell window list, the browsers and the views live as long as the program; their
// counts are kept but never end them. Shell items, item arrays, ID list enumerators and
// folder objects are made per call and go when their last reference goes.

#define COUNTED_LIFETIME                                                                   \
    LONG refs_ = 1;                                                                        \
    ULONG STDMETHODCALLTYPE AddRef() override { return (ULONG)InterlockedIncrement(&refs_); } \
    ULONG STDMETHODCALLTYPE Release() override                                            \
    {                                                                                      \
        LONG left = InterlockedDecrement(&refs_);                                          \
        if (!left)                                                                         \
            delete this;                                                                   \
        return (ULONG)left;                                                                \
    }

#define STATIC_LIFETIME                                                                    \
    LONG refs_ = 1;                                                                        \
    ULONG STDMETHODCALLTYPE AddRef() override { return (ULONG)InterlockedIncrement(&refs_); } \
    ULONG STDMETHODCALLTYPE Release() override { return (ULONG)InterlockedDecrement(&refs_); }

#define NOT_IMPLEMENTED(name, params)                                                      \
    HRESULT STDMETHODCALLTYPE name params override { return E_NOTIMPL; }

template <class T> HRESULT Hand(T *object, void **out)
{
    object->AddRef();
    *out = object;
    return S_OK;
}

class ShellItem final : public IShellItem {
public:
    explicit ShellItem(const Entry &entry) : entry_(entry) {}
    COUNTED_LIFETIME

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IShellItem)
            return Hand(static_cast<IShellItem *>(this), out);
        return E_NOINTERFACE;
    }

    NOT_IMPLEMENTED(BindToHandler, (IBindCtx *, REFGUID, REFIID, void **))
    NOT_IMPLEMENTED(GetParent, (IShellItem **))
    NOT_IMPLEMENTED(Compare, (IShellItem *, SICHINTF, int *))

    HRESULT STDMETHODCALLTYPE GetDisplayName(SIGDN kind, LPWSTR *name) override
    {
        HangIf(HANG_NAME);
        if (!name)
            return E_POINTER;
        *name = nullptr;
        switch (kind) {
        case SIGDN_FILESYSPATH:
            if (entry_.isVirtual)
                return E_INVALIDARG;
            return CopyToTaskMem(entry_.text, name);
        case SIGDN_DESKTOPABSOLUTEPARSING:
        case SIGDN_DESKTOPABSOLUTEEDITING:
            return CopyToTaskMem(entry_.text, name);
        case SIGDN_NORMALDISPLAY:
        case SIGDN_PARENTRELATIVE:
        case SIGDN_PARENTRELATIVEPARSING:
        case SIGDN_PARENTRELATIVEEDITING:
        case SIGDN_PARENTRELATIVEFORADDRESSBAR:
            return CopyToTaskMem(LastComponent(entry_), name);
        default:
            return E_NOTIMPL;
        }
    }

    HRESULT STDMETHODCALLTYPE GetAttributes(SFGAOF mask, SFGAOF *attributes) override
    {
        if (!attributes)
            return E_POINTER;
        *attributes = (entry_.isVirtual ? 0 : SFGAO_FILESYSTEM) & mask;
        return *attributes == mask ? S_OK : S_FALSE;
    }

private:
    ~ShellItem() = default;
    Entry entry_;
};

class ShellItemArray final : public IShellItemArray {
public:
    explicit ShellItemArray(const std::vector<Entry> &entries) : entries_(entries) {}
    COUNTED_LIFETIME

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IShellItemArray)
            return Hand(static_cast<IShellItemArray *>(this), out);
        return E_NOINTERFACE;
    }

    NOT_IMPLEMENTED(BindToHandler, (IBindCtx *, REFGUID, REFIID, void **))
    NOT_IMPLEMENTED(GetPropertyStore, (GETPROPERTYSTOREFLAGS, REFIID, void **))
    NOT_IMPLEMENTED(GetPropertyDescriptionList, (REFPROPERTYKEY, REFIID, void **))
    NOT_IMPLEMENTED(GetAttributes, (SIATTRIBFLAGS, SFGAOF, SFGAOF *))
    NOT_IMPLEMENTED(EnumItems, (IEnumShellItems **))

    HRESULT STDMETHODCALLTYPE GetCount(DWORD *count) override
    {
        if (!count)
            return E_POINTER;
        *count = (DWORD)entries_.size();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetItemAt(DWORD index, IShellItem **item) override
    {
        if (!item)
            return E_POINTER;
        *item = nullptr;
        if (index >= entries_.size())
            return E_INVALIDARG;
        *item = new ShellItem(entries_[index]);
        return S_OK;
    }

private:
    ~ShellItemArray() = default;
    std::vector<Entry> entries_;
};

class IdListEnum final : public IEnumIDList {
public:
    IdListEnum(const std::vector<PITEMID_CHILD> &ids, size_t next) : ids_(ids), next_(next) {}
    COUNTED_LIFETIME

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IEnumIDList)
            return Hand(static_cast<IEnumIDList *>(this), out);
        return E_NOINTERFACE;
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG wanted, PITEMID_CHILD *ids, ULONG *fetched) override
    {
        if (!ids || (wanted > 1 && !fetched))
            return E_POINTER;
        ULONG got = 0;
        while (got < wanted && next_ < ids_.size()) {
            PITEMID_CHILD id = ids_[next_++];
            if (!id)
                continue;   // an item whose ID list could not be made is left out
            ids[got] = (PITEMID_CHILD)ILClone(id);
            if (!ids[got])
                break;
            got++;
        }
        if (fetched)
            *fetched = got;
        return got == wanted ? S_OK : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        size_t left = ids_.size() - next_;
        next_ += count < left ? count : left;
        return count <= left ? S_OK : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE Reset() override
    {
        next_ = 0;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Clone(IEnumIDList **copy) override
    {
        if (!copy)
            return E_POINTER;
        *copy = new IdListEnum(ids_, next_);
        return S_OK;
    }

private:
    ~IdListEnum() = default;
    std::vector<PITEMID_CHILD> ids_;   // owned by the tab
    size_t next_;
};

// What GetFolder gives for IPersistFolder2: the folder's ID list.
class FolderObject final : public IPersistFolder2 {
public:
    explicit FolderObject(PIDLIST_ABSOLUTE pidl) : pidl_(pidl) {}
    COUNTED_LIFETIME

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IPersist || iid == IID_IPersistFolder
            || iid == IID_IPersistFolder2)
            return Hand(static_cast<IPersistFolder2 *>(this), out);
        return E_NOINTERFACE;
    }

    HRESULT STDMETHODCALLTYPE GetClassID(CLSID *clsid) override
    {
        if (!clsid)
            return E_POINTER;
        *clsid = CLSID_FileSystemFolder;
        return S_OK;
    }

    NOT_IMPLEMENTED(Initialize, (PCIDLIST_ABSOLUTE))

    HRESULT STDMETHODCALLTYPE GetCurFolder(PIDLIST_ABSOLUTE *pidl) override
    {
        HangIf(HANG_PIDL);
        if (!pidl)
            return E_POINTER;
        *pidl = pidl_ ? ILClone(pidl_) : nullptr;
        return *pidl ? S_OK : E_FAIL;
    }

private:
    ~FolderObject() = default;
    PIDLIST_ABSOLUTE pidl_;   // owned by the tab
};

HWND WindowOfTab(const Tab &tab)
{
    return tab.hwnd ? tab.hwnd : g_frame;
}

class View : public IShellView, public IFolderView {
public:
    void Bind(Tab *tab) { tab_ = tab; }
    STATIC_LIFETIME

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IOleWindow || iid == IID_IShellView)
            return Hand(static_cast<IShellView *>(this), out);
        if (iid == IID_IFolderView)
            return Hand(static_cast<IFolderView *>(this), out);
        return E_NOINTERFACE;
    }

    // IOleWindow, IShellView
    HRESULT STDMETHODCALLTYPE GetWindow(HWND *hwnd) override
    {
        if (!hwnd)
            return E_POINTER;
        *hwnd = WindowOfTab(*tab_);
        return S_OK;
    }
    NOT_IMPLEMENTED(ContextSensitiveHelp, (WINBOOL))
    NOT_IMPLEMENTED(TranslateAccelerator, (MSG *))
    NOT_IMPLEMENTED(EnableModeless, (WINBOOL))
    NOT_IMPLEMENTED(UIActivate, (UINT))
    NOT_IMPLEMENTED(Refresh, ())
    NOT_IMPLEMENTED(CreateViewWindow,
                    (IShellView *, LPCFOLDERSETTINGS, IShellBrowser *, RECT *, HWND *))
    NOT_IMPLEMENTED(DestroyViewWindow, ())
    NOT_IMPLEMENTED(GetCurrentInfo, (LPFOLDERSETTINGS))
    NOT_IMPLEMENTED(AddPropertySheetPages, (DWORD, LPFNSVADDPROPSHEETPAGE, LPARAM))
    NOT_IMPLEMENTED(SaveViewState, ())
    NOT_IMPLEMENTED(SelectItem, (PCUITEMID_CHILD, SVSIF))
    NOT_IMPLEMENTED(GetItemObject, (UINT, REFIID, void **))

    // IFolderView
    HRESULT STDMETHODCALLTYPE GetCurrentViewMode(UINT *mode) override
    {
        if (!mode)
            return E_POINTER;
        *mode = FVM_DETAILS;
        return S_OK;
    }
    NOT_IMPLEMENTED(SetCurrentViewMode, (UINT))

    HRESULT STDMETHODCALLTYPE GetFolder(REFIID iid, void **out) override
    {
        HangIf(HANG_FOLDER);
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IShellItem || iid == IID_IUnknown) {
            *out = static_cast<IShellItem *>(new ShellItem(tab_->folder));
            return S_OK;
        }
        if (iid == IID_IPersistFolder2 || iid == IID_IPersistFolder || iid == IID_IPersist) {
            if (!tab_->pidl)
                return E_FAIL;
            *out = static_cast<IPersistFolder2 *>(new FolderObject(tab_->pidl));
            return S_OK;
        }
        return E_NOINTERFACE;
    }

    HRESULT STDMETHODCALLTYPE Item(int index, PITEMID_CHILD *id) override
    {
        if (!id)
            return E_POINTER;
        *id = nullptr;
        if (index < 0 || index >= (int)tab_->childIds.size() || !tab_->childIds[index])
            return E_INVALIDARG;
        *id = (PITEMID_CHILD)ILClone(tab_->childIds[index]);
        return *id ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT STDMETHODCALLTYPE ItemCount(UINT flags, int *count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        if (!KnownItemSet(flags))
            return E_INVALIDARG;
        *count = (int)tab_->selection.size();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Items(UINT flags, REFIID iid, void **out) override
    {
        HangIf(HANG_ITEMS);
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!KnownItemSet(flags))
            return E_INVALIDARG;
        if (iid == IID_IShellItemArray) {
            *out = static_cast<IShellItemArray *>(new ShellItemArray(tab_->selection));
            return S_OK;
        }
        if (iid == IID_IEnumIDList) {
            *out = static_cast<IEnumIDList *>(new IdListEnum(tab_->childIds, 0));
            return S_OK;
        }
        return E_NOINTERFACE;
    }

    HRESULT STDMETHODCALLTYPE GetSelectionMarkedItem(int *index) override
    {
        return FirstSelected(index);
    }
    HRESULT STDMETHODCALLTYPE GetFocusedItem(int *index) override { return FirstSelected(index); }
    NOT_IMPLEMENTED(GetItemPosition, (PCUITEMID_CHILD, POINT *))
    NOT_IMPLEMENTED(GetSpacing, (POINT *))
    NOT_IMPLEMENTED(GetDefaultSpacing, (POINT *))
    HRESULT STDMETHODCALLTYPE GetAutoArrange() override { return S_FALSE; }
    NOT_IMPLEMENTED(SelectItem, (int, DWORD))
    NOT_IMPLEMENTED(SelectAndPositionItems, (UINT, PCUITEMID_CHILD_ARRAY, POINT *, DWORD))

private:
    // The view holds only the selected items, so the selection and the whole view agree.
    static bool KnownItemSet(UINT flags)
    {
        UINT set = flags & SVGIO_TYPE_MASK;
        return set == SVGIO_SELECTION || set == SVGIO_ALLVIEW;
    }

    HRESULT FirstSelected(int *index)
    {
        if (!index)
            return E_POINTER;
        *index = tab_->selection.empty() ? -1 : 0;
        return tab_->selection.empty() ? S_FALSE : S_OK;
    }

    Tab *tab_ = nullptr;
};

// Answers IDispatch from the registered type library, as the shell's own objects do; without
// the library every IDispatch method answers E_NOTIMPL.
template <class Dual> class TypeLibDispatch {
protected:
    explicit TypeLibDispatch(REFIID iid) : iid_(iid) {}

    HRESULT CountInfo(UINT *count)
    {
        if (!count)
            return E_POINTER;
        *count = Info() ? 1 : 0;
        return S_OK;
    }
    HRESULT GiveInfo(UINT index, ITypeInfo **info)
    {
        if (!info)
            return E_POINTER;
        *info = nullptr;
        if (index != 0)
            return DISP_E_BADINDEX;
        if (!Info())
            return E_NOTIMPL;
        info_->AddRef();
        *info = info_;
        return S_OK;
    }
    HRESULT Names(LPOLESTR *names, UINT count, DISPID *ids)
    {
        return Info() ? DispGetIDsOfNames(info_, names, count, ids) : E_NOTIMPL;
    }
    HRESULT Call(Dual *self, DISPID id, WORD flags, DISPPARAMS *params, VARIANT *result,
                 EXCEPINFO *exception, UINT *argError)
    {
        return Info() ? DispInvoke(self, info_, id, flags, params, result, exception, argError)
                      : E_NOTIMPL;
    }

private:
    ITypeInfo *Info()
    {
        if (!info_ && !triedInfo_) {
            triedInfo_ = true;
            info_ = TypeInfoOf(iid_);
        }
        return info_;
    }
    IID iid_;
    ITypeInfo *info_ = nullptr;
    bool triedInfo_ = false;
};

#define DISPATCH_FROM_TYPELIB(Dual)                                                        \
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override { return CountInfo(count); } \
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo **info) override     \
    {                                                                                      \
        return GiveInfo(index, info);                                                      \
    }                                                                                      \
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *names, UINT count, LCID,     \
                                            DISPID *ids) override                          \
    {                                                                                      \
        return Names(names, count, ids);                                                   \
    }                                                                                      \
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS *params, \
                                     VARIANT *result, EXCEPINFO *exception, UINT *argError) \
        override                                                                           \
    {                                                                                      \
        return Call(static_cast<Dual *>(this), id, flags, params, result, exception, argError); \
    }

class Browser : public IWebBrowser2,
                public IServiceProvider,
                public IShellBrowser,
                private TypeLibDispatch<IWebBrowser2> {
public:
    Browser() : TypeLibDispatch<IWebBrowser2>(IID_IWebBrowser2) {}
    void Bind(Tab *tab)
    {
        tab_ = tab;
        view_.Bind(tab);
    }
    STATIC_LIFETIME

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IWebBrowser
            || iid == IID_IWebBrowserApp || iid == IID_IWebBrowser2)
            return Hand(static_cast<IWebBrowser2 *>(this), out);
        if (iid == IID_IServiceProvider)
            return Hand(static_cast<IServiceProvider *>(this), out);
        if (iid == IID_IOleWindow || iid == IID_IShellBrowser)
            return Hand(static_cast<IShellBrowser *>(this), out);
        return E_NOINTERFACE;
    }

    DISPATCH_FROM_TYPELIB(IWebBrowser2)

    // IWebBrowser
    NOT_IMPLEMENTED(GoBack, ())
    NOT_IMPLEMENTED(GoForward, ())
    NOT_IMPLEMENTED(GoHome, ())
    NOT_IMPLEMENTED(GoSearch, ())
    NOT_IMPLEMENTED(Navigate, (BSTR, VARIANT *, VARIANT *, VARIANT *, VARIANT *))
    NOT_IMPLEMENTED(Refresh, ())
    NOT_IMPLEMENTED(Refresh2, (VARIANT *))
    NOT_IMPLEMENTED(Stop, ())
    NOT_IMPLEMENTED(get_Application, (IDispatch **))
    NOT_IMPLEMENTED(get_Parent, (IDispatch **))
    NOT_IMPLEMENTED(get_Container, (IDispatch **))
    NOT_IMPLEMENTED(get_Document, (IDispatch **))
    NOT_IMPLEMENTED(get_TopLevelContainer, (VARIANT_BOOL *))
    NOT_IMPLEMENTED(get_Type, (BSTR *))
    NOT_IMPLEMENTED(get_Left, (LONG *))
    NOT_IMPLEMENTED(put_Left, (LONG))
    NOT_IMPLEMENTED(get_Top, (LONG *))
    NOT_IMPLEMENTED(put_Top, (LONG))
    NOT_IMPLEMENTED(get_Width, (LONG *))
    NOT_IMPLEMENTED(put_Width, (LONG))
    NOT_IMPLEMENTED(get_Height, (LONG *))
    NOT_IMPLEMENTED(put_Height, (LONG))
    NOT_IMPLEMENTED(get_LocationName, (BSTR *))
    NOT_IMPLEMENTED(get_LocationURL, (BSTR *))
    NOT_IMPLEMENTED(get_Busy, (VARIANT_BOOL *))

    // IWebBrowserApp
    NOT_IMPLEMENTED(Quit, ())
    NOT_IMPLEMENTED(ClientToWindow, (int *, int *))
    NOT_IMPLEMENTED(PutProperty, (BSTR, VARIANT))
    NOT_IMPLEMENTED(GetProperty, (BSTR, VARIANT *))
    NOT_IMPLEMENTED(get_Name, (BSTR *))
    HRESULT STDMETHODCALLTYPE get_HWND(SHANDLE_PTR *hwnd) override
    {
        HangIf(HANG_HWND);
        if (!hwnd)
            return E_POINTER;
        *hwnd = (SHANDLE_PTR)g_frame;
        return S_OK;
    }
    NOT_IMPLEMENTED(get_FullName, (BSTR *))
    NOT_IMPLEMENTED(get_Path, (BSTR *))
    NOT_IMPLEMENTED(get_Visible, (VARIANT_BOOL *))
    NOT_IMPLEMENTED(put_Visible, (VARIANT_BOOL))
    NOT_IMPLEMENTED(get_StatusBar, (VARIANT_BOOL *))
    NOT_IMPLEMENTED(put_StatusBar, (VARIANT_BOOL))
    NOT_IMPLEMENTED(get_StatusText, (BSTR *))
    NOT_IMPLEMENTED(put_StatusText, (BSTR))
    NOT_IMPLEMENTED(get_ToolBar, (int *))
    NOT_IMPLEMENTED(put_ToolBar, (int))
    NOT_IMPLEMENTED(get_MenuBar, (VARIANT_BOOL *))
    NOT_IMPLEMENTED(put_MenuBar, (VARIANT_BOOL))
    NOT_IMPLEMENTED(get_FullScreen, (VARIANT_BOOL *))
    NOT_IMPLEMENTED(put_FullScreen, (VARIANT_BOOL))

    // IWebBrowser2
    NOT_IMPLEMENTED(Navigate2, (VARIANT *, VARIANT *, VARIANT *, VARIANT *, VARIANT *))
    NOT_IMPLEMENTED(QueryStatusWB, (OLECMDID, OLECMDF *))
    NOT_IMPLEMENTED(ExecWB, (OLECMDID, OLECMDEXECOPT, VARIANT *, VARIANT *))
    NOT_IMPLEMENTED(ShowBrowserBar, (VARIANT *, VARIANT *, VARIANT *))
    NOT_IMPLEMENTED(get_ReadyState, (READYSTATE *))
    NOT_IMPLEMENTED(get_Offline, (VARIANT_BOOL *))
    NOT_IMPLEMENTED(put_Offline, (VARIANT_BOOL))
    NOT_IMPLEMENTED(get_Silent, (VARIANT_BOOL *))
    NOT_IMPLEMENTED(put_Silent, (VARIANT_BOOL))
    NOT_IMPLEMENTED(get_RegisterAsBrowser, (VARIANT_BOOL *))
    NOT_IMPLEMENTED(put_RegisterAsBrowser, (VARIANT_BOOL))
    NOT_IMPLEMENTED(get_RegisterAsDropTarget, (VARIANT_BOOL *))
    NOT_IMPLEMENTED(put_RegisterAsDropTarget, (VARIANT_BOOL))
    NOT_IMPLEMENTED(get_TheaterMode, (VARIANT_BOOL *))
    NOT_IMPLEMENTED(put_TheaterMode, (VARIANT_BOOL))
    NOT_IMPLEMENTED(get_AddressBar, (VARIANT_BOOL *))
    NOT_IMPLEMENTED(put_AddressBar, (VARIANT_BOOL))
    NOT_IMPLEMENTED(get_Resizable, (VARIANT_BOOL *))
    NOT_IMPLEMENTED(put_Resizable, (VARIANT_BOOL))

    // IServiceProvider
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void **out) override
    {
        HangIf(HANG_SERVICE);
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (service == SID_TopLevelBrowser || service == IID_IShellBrowser)
            return QueryInterface(iid, out);
        return E_NOINTERFACE;
    }

    // IOleWindow, IShellBrowser
    HRESULT STDMETHODCALLTYPE GetWindow(HWND *hwnd) override
    {
        HangIf(HANG_WINDOW);
        if (!hwnd)
            return E_POINTER;
        *hwnd = WindowOfTab(*tab_);
        return S_OK;
    }
    NOT_IMPLEMENTED(ContextSensitiveHelp, (WINBOOL))
    NOT_IMPLEMENTED(InsertMenusSB, (HMENU, LPOLEMENUGROUPWIDTHS))
    NOT_IMPLEMENTED(SetMenuSB, (HMENU, HOLEMENU, HWND))
    NOT_IMPLEMENTED(RemoveMenusSB, (HMENU))
    NOT_IMPLEMENTED(SetStatusTextSB, (LPCWSTR))
    NOT_IMPLEMENTED(EnableModelessSB, (WINBOOL))
    NOT_IMPLEMENTED(TranslateAcceleratorSB, (MSG *, WORD))
    NOT_IMPLEMENTED(BrowseObject, (PCUIDLIST_RELATIVE, UINT))
    NOT_IMPLEMENTED(GetViewStateStream, (DWORD, IStream **))
    NOT_IMPLEMENTED(GetControlWindow, (UINT, HWND *))
    NOT_IMPLEMENTED(SendControlMsg, (UINT, UINT, WPARAM, LPARAM, LRESULT *))
    HRESULT STDMETHODCALLTYPE QueryActiveShellView(IShellView **view) override
    {
        HangIf(HANG_VIEW);
        if (!view)
            return E_POINTER;
        view_.AddRef();
        *view = &view_;
        return S_OK;
    }
    NOT_IMPLEMENTED(OnViewWindowActive, (IShellView *))
    NOT_IMPLEMENTED(SetToolbarItems, (LPTBBUTTONSB, UINT, UINT))

private:
    Tab *tab_ = nullptr;
    View view_;
};

class ShellWindows : public IShellWindows, private TypeLibDispatch<IShellWindows> {
public:
    ShellWindows() : TypeLibDispatch<IShellWindows>(IID_IShellWindows) {}
    void Bind(std::vector<Tab> &tabs)
    {
        browsers_ = std::vector<Browser>(tabs.size());
        for (size_t i = 0; i < tabs.size(); i++)
            browsers_[i].Bind(&tabs[i]);
    }
    STATIC_LIFETIME

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IShellWindows)
            return Hand(static_cast<IShellWindows *>(this), out);
        return E_NOINTERFACE;
    }

    DISPATCH_FROM_TYPELIB(IShellWindows)

    HRESULT STDMETHODCALLTYPE get_Count(LONG *count) override
    {
        HangIf(HANG_COUNT);
        if (!count)
            return E_POINTER;
        *count = (LONG)browsers_.size();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Item(VARIANT index, IDispatch **folder) override
    {
        HangIf(HANG_ITEM);
        if (!folder)
            return E_POINTER;
        *folder = nullptr;
        VARIANT number;
        VariantInit(&number);
        if (FAILED(VariantChangeType(&number, &index, 0, VT_I4)))
            return E_INVALIDARG;
        LONG i = V_I4(&number);
        if (i < 0 || i >= (LONG)browsers_.size())
            return S_FALSE;
        return Hand(static_cast<IWebBrowser2 *>(&browsers_[(size_t)i]), (void **)folder);
    }

    NOT_IMPLEMENTED(_NewEnum, (IUnknown **))
    NOT_IMPLEMENTED(Register, (IDispatch *, LONG, int, LONG *))
    NOT_IMPLEMENTED(RegisterPending, (LONG, VARIANT *, VARIANT *, int, LONG *))
    NOT_IMPLEMENTED(Revoke, (LONG))
    NOT_IMPLEMENTED(OnNavigate, (LONG, VARIANT *))
    NOT_IMPLEMENTED(OnActivated, (LONG, VARIANT_BOOL))
    NOT_IMPLEMENTED(FindWindowSW, (VARIANT *, VARIANT *, int, LONG *, int, IDispatch **))
    NOT_IMPLEMENTED(OnCreated, (LONG, IUnknown *))
    NOT_IMPLEMENTED(ProcessAttachDetach, (VARIANT_BOOL))

private:
    std::vector<Browser> browsers_;
};

ShellWindows g_shellWindows;

class ClassFactory : public IClassFactory {
public:
    STATIC_LIFETIME

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IClassFactory)
            return Hand(static_cast<IClassFactory *>(this), out);
        return E_NOINTERFACE;
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID iid, void **out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return g_shellWindows.QueryInterface(iid, out);
    }

    HRESULT STDMETHODCALLTYPE LockServer(WINBOOL) override { return S_OK; }
};

ClassFactory g_factory;

// ---- windows ----------------------------------------------------------------------------

// What a tab window (or the frame, without tabs) shows: its folder and its selection.
std::wstring Description(const Tab &tab)
{
    std::wstring text = tab.folder.isVirtual ? L"[virtual] " : L"";
    text += tab.folder.text;
    for (const Entry &e : tab.selection)
        text += (e.isVirtual ? L"\r\n  * [virtual] " : L"\r\n  * ") + e.text;
    return text;
}

void PaintDescription(HWND hwnd, const Tab &tab)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    InflateRect(&r, -8, -8);
    SetBkMode(dc, TRANSPARENT);
    std::wstring text = Description(tab);
    DrawTextW(dc, text.c_str(), (int)text.size(), &r, DT_LEFT | DT_TOP | DT_NOPREFIX);
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_PAINT:
        if (g_cfg.tabWindows == 0) {
            PaintDescription(hwnd, g_cfg.tabs[0]);
            return 0;
        }
        break;
    case WM_TIMER:
        if (wp == LIMIT_TIMER)
            DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

LRESULT CALLBACK TabProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_PAINT) {
        PaintDescription(hwnd, g_cfg.tabs[(size_t)GetWindowLongPtrA(hwnd, GWLP_USERDATA)]);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void RegisterWindowClass(const char *name, WNDPROC proc)
{
    WNDCLASSEXA wc;
    memset(&wc, 0, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = name;
    if (!RegisterClassExA(&wc))
        Fail("cannot register the class", name);
}

void MakeWindows()
{
    RegisterWindowClass(g_cfg.cls.c_str(), FrameProc);
    if (g_cfg.cls != TAB_CLASS)
        RegisterWindowClass(TAB_CLASS, TabProc);
    g_frame = CreateWindowExA(0, g_cfg.cls.c_str(), g_cfg.title.c_str(),
                              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 60, 60, 800, 600, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!g_frame)
        Fail("cannot create the frame window");
    RECT r;
    GetClientRect(g_frame, &r);
    for (int i = 0; i < g_cfg.tabWindows; i++) {
        DWORD visible = i == g_cfg.active ? WS_VISIBLE : 0;
        HWND tab = CreateWindowExA(0, TAB_CLASS, "", WS_CHILD | WS_CLIPSIBLINGS | visible, 0, 0,
                                   r.right, r.bottom, g_frame, (HMENU)(INT_PTR)(100 + i),
                                   GetModuleHandleA(nullptr), nullptr);
        if (!tab)
            Fail("cannot create a tab window");
        SetWindowLongPtrA(tab, GWLP_USERDATA, (LONG_PTR)i);
        g_cfg.tabs[(size_t)i].hwnd = tab;
    }
    // Whatever order the children were linked in, the active tab's window goes first.
    if (g_cfg.tabWindows)
        SetWindowPos(g_cfg.tabs[(size_t)g_cfg.active].hwnd, HWND_TOP, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// Handles what is waiting, without blocking, so that the windows have painted.
void PumpPending()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void ComeToFront()
{
    DWORD start = GetTickCount();
    do {
        SetForegroundWindow(g_frame);
        PumpPending();
        if (GetForegroundWindow() == g_frame)
            return;
        Sleep(20);
    } while (GetTickCount() - start < FRONT_WAIT_MS);
}

// ---- the TreatAs key --------------------------------------------------------------------

// Writes the key in both views; returns the first failure as an HRESULT.
HRESULT WriteTreatAs()
{
    HRESULT result = S_OK;
    for (REGSAM view : REGISTRY_VIEWS) {
        HKEY key;
        LONG error = RegCreateKeyExW(HKEY_LOCAL_MACHINE, TREAT_AS_KEY, 0, nullptr, 0,
                                     KEY_SET_VALUE | view, nullptr, &key, nullptr);
        if (error == ERROR_SUCCESS) {
            const std::wstring &text = g_cfg.treatAsText;
            error = RegSetValueExW(key, nullptr, 0, REG_SZ, (const BYTE *)text.c_str(),
                                   (DWORD)((text.size() + 1) * sizeof(wchar_t)));
            RegCloseKey(key);
        }
        if (error != ERROR_SUCCESS && result == S_OK)
            result = HRESULT_FROM_WIN32(error);
    }
    return result;
}

// Deletes the key from each view where it still names this program's CLSID; a later
// instance may have pointed it at its own.
void RemoveTreatAs()
{
    for (REGSAM view : REGISTRY_VIEWS) {
        HKEY key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TREAT_AS_KEY, 0, KEY_QUERY_VALUE | view, &key)
            != ERROR_SUCCESS)
            continue;
        wchar_t text[64] = L"";
        DWORD size = sizeof text - sizeof(wchar_t);
        DWORD type = 0;
        LONG error = RegQueryValueExW(key, nullptr, nullptr, &type, (BYTE *)text, &size);
        RegCloseKey(key);
        if (error == ERROR_SUCCESS && type == REG_SZ
            && _wcsicmp(text, g_cfg.treatAsText.c_str()) == 0)
            RegDeleteKeyExW(HKEY_LOCAL_MACHINE, TREAT_AS_KEY, view, 0);
    }
}

// ---- the ready file ---------------------------------------------------------------------

unsigned long Hex(HWND hwnd)
{
    // Window handles keep to 32 bits in 64-bit processes too, so that both bitnesses can
    // exchange them.
    return (unsigned long)(ULONG_PTR)hwnd;
}

void WriteReady(const char *path, HRESULT registration, HRESULT treatAs)
{
    std::string partial = std::string(path) + ".part";
    FILE *out = fopen(partial.c_str(), "wb");
    if (!out)
        Fail("cannot write the ready file", partial.c_str());
    fprintf(out, "hwnd=%lx\npid=%lu\nforeground=%lx\n", Hex(g_frame),
            (unsigned long)GetCurrentProcessId(), Hex(GetForegroundWindow()));
    if (g_cfg.registerObject)
        fprintf(out, "register=%08lx\n", (unsigned long)registration);
    else
        fprintf(out, "register=none\n");
    if (g_cfg.hasTreatAs)
        fprintf(out, "treat-as=%08lx\n", (unsigned long)treatAs);
    fprintf(out, "first=%lx\n", Hex(FindWindowExA(g_frame, nullptr, TAB_CLASS, nullptr)));
    for (int i = 0; i < g_cfg.tabWindows; i++)
        fprintf(out, "tab=%d hwnd=%lx\n", i, Hex(g_cfg.tabs[(size_t)i].hwnd));
    fclose(out);
    if (!MoveFileExA(partial.c_str(), path, MOVEFILE_REPLACE_EXISTING))
        Fail("cannot rename the ready file into place", path);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && strcmp(argv[1], "--remove-treat-as") == 0) {
        SetTreatAs(argv[2], strlen(argv[2]));
        RemoveTreatAs();
        return 0;
    }
    if (argc < 3 || argc > 4) {
        fprintf(stderr, "usage: stand_in_shell CONFIG-FILE READY-FILE [TIME-LIMIT-SECONDS]\n"
                        "       stand_in_shell --remove-treat-as {CLSID}\n");
        return 2;
    }
    DWORD limitMs = argc == 4 ? (DWORD)(atof(argv[3]) * 1000.0) : 120000;
    g_deadline = GetTickCount() + limitMs;
    ReadConfig(argv[1]);

    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(hr))
        Fail("CoInitializeEx failed");
    MakeIdLists();
    g_shellWindows.Bind(g_cfg.tabs);
    MakeWindows();
    ShowWindow(g_frame, SW_SHOWNORMAL);
    UpdateWindow(g_frame);
    if (g_cfg.front)
        ComeToFront();
    SetTimer(g_frame, LIMIT_TIMER, limitMs, nullptr);

    DWORD cookie = 0, treatAsCookie = 0;
    HRESULT registration = E_FAIL, treatAs = S_OK;
    if (g_cfg.registerObject)
        registration = CoRegisterClassObject(CLSID_ShellWindowsList, &g_factory,
                                             CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    if (g_cfg.hasTreatAs) {
        if (g_cfg.registerObject)
            treatAs = CoRegisterClassObject(g_cfg.treatAs, &g_factory, CLSCTX_LOCAL_SERVER,
                                            REGCLS_MULTIPLEUSE, &treatAsCookie);
        HRESULT written = WriteTreatAs();
        if (SUCCEEDED(treatAs))
            treatAs = written;
    }
    PumpPending();
    WriteReady(argv[2], registration, treatAs);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (g_cfg.hasTreatAs)
        RemoveTreatAs();
    if (cookie)
        CoRevokeClassObject(cookie);
    if (treatAsCookie)
        CoRevokeClassObject(treatAsCookie);
    CoUninitialize();
    return 0;
}
