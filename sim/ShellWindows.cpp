// COM as far as a program needs it to ask the shell about its folder windows:
// OLE32.DLL's apartment, instance and task-memory functions, shell32's
// SHGetPathFromIDListW, and a fake shell behind CLSID_ShellWindows whose
// browsers, views, folders and selections the test describes
// (World::AddShellBrowser). A view hands out its folder and selection as shell
// items (Windows Vista and later, unless the browser refuses them) and as item
// ID lists.
//
// Every method the program calls (other than AddRef and Release) passes a
// fault point named "Interface::Method" and can be made to fail
// (FailShellCall) or never to answer (HangShellCall). Objects count
// themselves, so a test sees every reference the program did not release;
// strings handed out are CoTaskMem blocks the program must free.
#include <cstdio>
#include <cstdlib>

#include "SimInternal.h"

namespace sim {

namespace {

const CLSID kShellWindowsClass = {
    0x9BA05972, 0xF6A8, 0x11CF, {0xA4, 0x42, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}};
const IID kUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kShellWindows = {
    0x85CB6900, 0x4D95, 0x11CF, {0x96, 0x0C, 0x00, 0x80, 0xC7, 0xF4, 0xEE, 0x85}};
const IID kWebBrowserApp = {0x0002DF05, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kServiceProvider = {
    0x6D5140C1, 0x7436, 0x11CE, {0x80, 0x34, 0x00, 0xAA, 0x00, 0x60, 0x09, 0xFA}};
const GUID kTopLevelBrowser = {
    0x4C96BE40, 0x915C, 0x11CF, {0x99, 0xD3, 0x00, 0xAA, 0x00, 0x4A, 0xE8, 0x37}};
const IID kShellBrowser = {0x000214E2, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kOleWindow = {0x00000114, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kShellView = {0x000214E3, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kFolderView = {
    0xCDE725B0, 0xCCC9, 0x4519, {0x91, 0x7E, 0x32, 0x5D, 0x72, 0xFA, 0xB4, 0xCE}};
const IID kShellItem = {
    0x43826D1E, 0xE718, 0x42EE, {0xBC, 0x55, 0xA1, 0xE2, 0x61, 0xC3, 0x7B, 0xFE}};
const IID kShellItemArray = {
    0xB63EA76D, 0x1F85, 0x456F, {0xA1, 0x9C, 0x48, 0x15, 0x9E, 0xFA, 0x85, 0x8B}};
const IID kPersistFolder2 = {
    0x1AC3D9F0, 0x175C, 0x11D1, {0x95, 0xBE, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x4F}};
const IID kEnumIdList = {0x000214F2, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

thread_local int t_apartmentDepth = 0;

bool ShellItemsExist(const World::ShellBrowser& spec) {
  const World::Impl& s = State();
  return !IsWin9x() && s.osMajor >= 6 && spec.shellItems;
}

// A CoTaskMem block handed to the program, which frees it with CoTaskMemFree.
void* TaskMemory(size_t size) {
  void* block = std::malloc(size);
  if (!block) std::abort();
  State().taskMemory.insert(block);
  return block;
}

// The fake shell's item IDs: the size, a kind byte and UTF-8 text. 'F' holds a
// full path, 'N' a name inside the folder of the IDs before it, 'V' an item
// without a file-system path.
void AppendItemId(std::string* ids, char kind, const std::string& text) {
  size_t size = 2 + 1 + text.size();
  ids->push_back(static_cast<char>(size & 0xFF));
  ids->push_back(static_cast<char>(size >> 8));
  ids->push_back(kind);
  *ids += text;
}

LPITEMIDLIST IdListOf(const std::string& ids) {
  BYTE* block = static_cast<BYTE*>(TaskMemory(ids.size() + 2));
  std::memcpy(block, ids.data(), ids.size());
  block[ids.size()] = block[ids.size() + 1] = 0;
  return reinterpret_cast<LPITEMIDLIST>(block);
}

LPITEMIDLIST FolderIdList(const std::string& folder) {
  std::string ids;
  AppendItemId(&ids, folder.empty() ? 'V' : 'F', folder);
  return IdListOf(ids);
}

// A selected item's ID relative to the folder: its name when it lies in the
// folder (so that joining the two gives the path back), else its full path.
LPITEMIDLIST ChildIdList(const std::string& folder, const std::string& path) {
  std::string ids;
  std::string prefix = !folder.empty() && folder.back() == '\\' ? folder : folder + "\\";
  if (path.empty()) {
    AppendItemId(&ids, 'V', "");
  } else if (!folder.empty() && path.size() > prefix.size() &&
             path.compare(0, prefix.size(), prefix) == 0 && path[prefix.size()] != '\\') {
    AppendItemId(&ids, 'N', path.substr(prefix.size()));
  } else {
    AppendItemId(&ids, 'F', path);
  }
  return IdListOf(ids);
}

// The start of every method the program calls: the record, then a fault, a
// configured failure or a hang, in that order.
HRESULT ShellCall(const char* method) {
  World::Impl& s = State();
  s.shellCalls.push_back(method);
  // A failing call across processes fails as the channel reports a shell
  // that went away.
  if (FaultHere(method)) return RPC_E_DISCONNECTED;
  auto failure = s.shellFailures.find(method);
  if (failure != s.shellFailures.end()) return failure->second;
  if (s.shellHang == method) {
    HangThisThread();
    return RPC_E_DISCONNECTED;  // the world ended while the shell hung
  }
  return S_OK;
}

// A UTF-8 path as the shell hands it out: UTF-16 with its zero.
std::vector<WCHAR> ShellText(const std::string& text) {
  std::u16string wide = DecodeUtf8(text);
  std::vector<WCHAR> out(wide.begin(), wide.end());
  out.push_back(0);
  return out;
}

// Reference counting and the count of live objects.
class Counted {
 public:
  Counted() { State().liveShellObjects++; }
  virtual ~Counted() { State().liveShellObjects--; }
  Counted(const Counted&) = delete;
  Counted& operator=(const Counted&) = delete;

 protected:
  ULONG Up() { return ++refs_; }
  ULONG Down() {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  ULONG refs_ = 1;
};

#define SIM_COUNTED_METHODS                    \
  ULONG AddRef() override { return Up(); }     \
  ULONG Release() override { return Down(); }

// A shell item: a path (UTF-8, empty for an item without one).
class FakeItem : public IShellItem, public Counted {
 public:
  explicit FakeItem(std::string path) : path_(std::move(path)) {}
  SIM_COUNTED_METHODS
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    *ppv = nullptr;
    HRESULT hr = ShellCall("IShellItem::QueryInterface");
    if (FAILED(hr)) return hr;
    if (riid != kUnknown && riid != kShellItem) return E_NOINTERFACE;
    *ppv = static_cast<IShellItem*>(this);
    Up();
    return S_OK;
  }
  HRESULT GetDisplayName(SIGDN sigdnName, LPWSTR* ppszName) override {
    *ppszName = nullptr;
    HRESULT hr = ShellCall("IShellItem::GetDisplayName");
    if (FAILED(hr)) return hr;
    if (sigdnName != SIGDN_FILESYSPATH) return E_NOTIMPL;
    if (path_.empty()) return E_INVALIDARG;  // as the shell answers for a virtual item
    std::vector<WCHAR> wide = ShellText(path_);
    WCHAR* block = static_cast<WCHAR*>(TaskMemory(wide.size() * sizeof(WCHAR)));
    std::copy(wide.begin(), wide.end(), block);
    *ppszName = block;
    return S_OK;
  }

 private:
  std::string path_;
};

class FakeItemArray : public IShellItemArray, public Counted {
 public:
  explicit FakeItemArray(std::vector<std::string> paths) : paths_(std::move(paths)) {}
  SIM_COUNTED_METHODS
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    *ppv = nullptr;
    HRESULT hr = ShellCall("IShellItemArray::QueryInterface");
    if (FAILED(hr)) return hr;
    if (riid != kUnknown && riid != kShellItemArray) return E_NOINTERFACE;
    *ppv = static_cast<IShellItemArray*>(this);
    Up();
    return S_OK;
  }
  HRESULT GetCount(DWORD* pdwNumItems) override {
    *pdwNumItems = 0;
    HRESULT hr = ShellCall("IShellItemArray::GetCount");
    if (FAILED(hr)) return hr;
    *pdwNumItems = static_cast<DWORD>(paths_.size());
    return S_OK;
  }
  HRESULT GetItemAt(DWORD dwIndex, IShellItem** ppsi) override {
    *ppsi = nullptr;
    HRESULT hr = ShellCall("IShellItemArray::GetItemAt");
    if (FAILED(hr)) return hr;
    if (dwIndex >= paths_.size()) return E_INVALIDARG;
    *ppsi = new FakeItem(paths_[dwIndex]);
    return S_OK;
  }

 private:
  std::vector<std::string> paths_;
};

class FakePersistFolder : public IPersistFolder2, public Counted {
 public:
  explicit FakePersistFolder(std::string folder) : folder_(std::move(folder)) {}
  SIM_COUNTED_METHODS
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    *ppv = nullptr;
    HRESULT hr = ShellCall("IPersistFolder2::QueryInterface");
    if (FAILED(hr)) return hr;
    if (riid != kUnknown && riid != kPersistFolder2) return E_NOINTERFACE;
    *ppv = static_cast<IPersistFolder2*>(this);
    Up();
    return S_OK;
  }
  HRESULT GetCurFolder(PIDLIST_ABSOLUTE* ppidl) override {
    *ppidl = nullptr;
    HRESULT hr = ShellCall("IPersistFolder2::GetCurFolder");
    if (FAILED(hr)) return hr;
    *ppidl = FolderIdList(folder_);
    return S_OK;
  }

 private:
  std::string folder_;
};

// The selected items' IDs, relative to the folder, one by one.
class FakeEnumIdList : public IEnumIDList, public Counted {
 public:
  FakeEnumIdList(std::string folder, std::vector<std::string> paths)
      : folder_(std::move(folder)), paths_(std::move(paths)) {}
  SIM_COUNTED_METHODS
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    *ppv = nullptr;
    HRESULT hr = ShellCall("IEnumIDList::QueryInterface");
    if (FAILED(hr)) return hr;
    if (riid != kUnknown && riid != kEnumIdList) return E_NOINTERFACE;
    *ppv = static_cast<IEnumIDList*>(this);
    Up();
    return S_OK;
  }
  HRESULT Next(ULONG celt, PITEMID_CHILD* rgelt, ULONG* pceltFetched) override {
    if (pceltFetched) *pceltFetched = 0;
    HRESULT hr = ShellCall("IEnumIDList::Next");
    if (FAILED(hr)) return hr;
    ULONG fetched = 0;
    while (fetched < celt && next_ < paths_.size()) {
      rgelt[fetched++] = ChildIdList(folder_, paths_[next_++]);
    }
    if (pceltFetched) *pceltFetched = fetched;
    return fetched == celt ? S_OK : S_FALSE;
  }

 private:
  std::string folder_;
  std::vector<std::string> paths_;
  size_t next_ = 0;
};

// The active view of one browser: its folder and selection.
class FakeView : public IShellView, public IFolderView, public Counted {
 public:
  explicit FakeView(const World::ShellBrowser& spec) : spec_(spec) {}
  ULONG AddRef() override { return Up(); }
  ULONG Release() override { return Down(); }
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    *ppv = nullptr;
    HRESULT hr = ShellCall("IShellView::QueryInterface");
    if (FAILED(hr)) return hr;
    if (riid == kUnknown || riid == kShellView || riid == kOleWindow) {
      *ppv = static_cast<IShellView*>(this);
    } else if (riid == kFolderView) {
      *ppv = static_cast<IFolderView*>(this);
    } else {
      return E_NOINTERFACE;
    }
    Up();
    return S_OK;
  }
  HRESULT GetWindow(HWND* phwnd) override {
    *phwnd = nullptr;
    return ShellCall("IShellView::GetWindow");
  }
  HRESULT GetFolder(REFIID riid, void** ppv) override {
    *ppv = nullptr;
    HRESULT hr = ShellCall("IFolderView::GetFolder");
    if (FAILED(hr)) return hr;
    if (riid == kShellItem && ShellItemsExist(spec_)) {
      *ppv = static_cast<IShellItem*>(new FakeItem(spec_.folder));
    } else if (riid == kPersistFolder2) {
      *ppv = static_cast<IPersistFolder2*>(new FakePersistFolder(spec_.folder));
    } else {
      return E_NOINTERFACE;
    }
    return S_OK;
  }
  HRESULT ItemCount(UINT uFlags, int* pcItems) override {
    *pcItems = 0;
    HRESULT hr = ShellCall("IFolderView::ItemCount");
    if (FAILED(hr)) return hr;
    if ((uFlags & 0xFF) != SVGIO_SELECTION) return E_NOTIMPL;
    *pcItems = static_cast<int>(spec_.selection.size());
    return S_OK;
  }
  HRESULT Items(UINT uFlags, REFIID riid, void** ppv) override {
    *ppv = nullptr;
    HRESULT hr = ShellCall("IFolderView::Items");
    if (FAILED(hr)) return hr;
    if ((uFlags & 0xFF) != SVGIO_SELECTION) return E_NOTIMPL;
    if (riid == kShellItemArray && ShellItemsExist(spec_)) {
      // An empty selection gives no array.
      if (spec_.selection.empty()) return E_FAIL;
      *ppv = static_cast<IShellItemArray*>(new FakeItemArray(spec_.selection));
    } else if (riid == kEnumIdList) {
      *ppv = static_cast<IEnumIDList*>(new FakeEnumIdList(spec_.folder, spec_.selection));
    } else {
      return E_NOINTERFACE;
    }
    return S_OK;
  }

 private:
  World::ShellBrowser spec_;
};

class FakeShellBrowser : public IShellBrowser, public Counted {
 public:
  explicit FakeShellBrowser(const World::ShellBrowser& spec) : spec_(spec) {}
  SIM_COUNTED_METHODS
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    *ppv = nullptr;
    HRESULT hr = ShellCall("IShellBrowser::QueryInterface");
    if (FAILED(hr)) return hr;
    if (riid != kUnknown && riid != kShellBrowser && riid != kOleWindow) return E_NOINTERFACE;
    *ppv = static_cast<IShellBrowser*>(this);
    Up();
    return S_OK;
  }
  HRESULT GetWindow(HWND* phwnd) override {
    *phwnd = nullptr;
    HRESULT hr = ShellCall("IShellBrowser::GetWindow");
    if (FAILED(hr)) return hr;
    *phwnd = spec_.tab ? spec_.tab : spec_.frame;
    return S_OK;
  }
  HRESULT QueryActiveShellView(IShellView** ppshv) override {
    *ppshv = nullptr;
    HRESULT hr = ShellCall("IShellBrowser::QueryActiveShellView");
    if (FAILED(hr)) return hr;
    *ppshv = static_cast<IShellView*>(new FakeView(spec_));
    return S_OK;
  }

 private:
  World::ShellBrowser spec_;
};

// One entry of the window list: the browser object behind IDispatch.
class FakeBrowserEntry : public IWebBrowserApp, public IServiceProvider, public Counted {
 public:
  explicit FakeBrowserEntry(const World::ShellBrowser& spec) : spec_(spec) {}
  ULONG AddRef() override { return Up(); }
  ULONG Release() override { return Down(); }
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    *ppv = nullptr;
    HRESULT hr = ShellCall("IWebBrowserApp::QueryInterface");
    if (FAILED(hr)) return hr;
    if (riid == kUnknown || riid == kDispatch) {
      *ppv = static_cast<IWebBrowserApp*>(this);
    } else if (riid == kWebBrowserApp && spec_.webBrowser) {
      *ppv = static_cast<IWebBrowserApp*>(this);
    } else if (riid == kServiceProvider) {
      *ppv = static_cast<IServiceProvider*>(this);
    } else {
      return E_NOINTERFACE;
    }
    Up();
    return S_OK;
  }
  HRESULT GetTypeInfoCount(UINT* pctinfo) override {
    *pctinfo = 0;
    return S_OK;
  }
  HRESULT get_HWND(SHANDLE_PTR* pHWND) override {
    *pHWND = 0;
    HRESULT hr = ShellCall("IWebBrowserApp::get_HWND");
    if (FAILED(hr)) return hr;
    *pHWND = reinterpret_cast<SHANDLE_PTR>(spec_.frame);
    return S_OK;
  }
  HRESULT QueryService(REFGUID guidService, REFIID riid, void** ppvObject) override {
    *ppvObject = nullptr;
    HRESULT hr = ShellCall("IServiceProvider::QueryService");
    if (FAILED(hr)) return hr;
    if (guidService != kTopLevelBrowser || riid != kShellBrowser) return E_NOINTERFACE;
    *ppvObject = static_cast<IShellBrowser*>(new FakeShellBrowser(spec_));
    return S_OK;
  }

 private:
  World::ShellBrowser spec_;
};

class FakeShellWindows : public IShellWindows, public Counted {
 public:
  SIM_COUNTED_METHODS
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    *ppv = nullptr;
    HRESULT hr = ShellCall("IShellWindows::QueryInterface");
    if (FAILED(hr)) return hr;
    if (riid != kUnknown && riid != kDispatch && riid != kShellWindows) return E_NOINTERFACE;
    *ppv = static_cast<IShellWindows*>(this);
    Up();
    return S_OK;
  }
  HRESULT GetTypeInfoCount(UINT* pctinfo) override {
    *pctinfo = 0;
    return S_OK;
  }
  HRESULT get_Count(LONG* Count) override {
    *Count = 0;
    HRESULT hr = ShellCall("IShellWindows::get_Count");
    if (FAILED(hr)) return hr;
    *Count = static_cast<LONG>(State().shellBrowsers.size());
    return S_OK;
  }
  // An index past the end gives S_FALSE and no object, as the shell does.
  HRESULT Item(VARIANT index, IDispatch** Folder) override {
    *Folder = nullptr;
    HRESULT hr = ShellCall("IShellWindows::Item");
    if (FAILED(hr)) return hr;
    if (index.vt != VT_I4) return E_INVALIDARG;
    const auto& browsers = State().shellBrowsers;
    if (index.lVal < 0 || static_cast<size_t>(index.lVal) >= browsers.size()) return S_FALSE;
    *Folder = static_cast<IWebBrowserApp*>(new FakeBrowserEntry(browsers[index.lVal]));
    return S_OK;
  }
};

// --- OLE32.DLL ---

HRESULT WINAPI SimCoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
  World::Impl& s = State();
  if (FaultHere("CoInitializeEx")) return E_OUTOFMEMORY;
  if (pvReserved) return E_INVALIDARG;
  if (dwCoInit != COINIT_APARTMENTTHREADED && t_apartmentDepth == 0) {
    std::fprintf(stderr, "sim: CoInitializeEx: only apartment-threaded apartments are modelled\n");
    std::abort();
  }
  if (t_apartmentDepth++ > 0) return S_FALSE;
  s.openApartments++;
  return S_OK;
}

void WINAPI SimCoUninitialize() {
  if (t_apartmentDepth == 0) return;
  if (--t_apartmentDepth == 0) State().openApartments--;
}

HRESULT WINAPI SimCoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext,
                                   REFIID riid, LPVOID* ppv) {
  World::Impl& s = State();
  *ppv = nullptr;
  if (FaultHere("CoCreateInstance")) return E_OUTOFMEMORY;
  if (t_apartmentDepth == 0) return CO_E_NOTINITIALIZED;
  if (rclsid != kShellWindowsClass || !s.shellWindowListPresent || IsWin9x() ||
      !(dwClsContext & CLSCTX_LOCAL_SERVER)) {
    return REGDB_E_CLASSNOTREG;
  }
  if (pUnkOuter) return E_INVALIDARG;  // CLASS_E_NOAGGREGATION on Windows
  FakeShellWindows* windows = new FakeShellWindows;
  HRESULT hr = windows->QueryInterface(riid, ppv);
  windows->Release();
  return hr;
}

void WINAPI SimCoTaskMemFree(LPVOID pv) {
  if (!pv) return;
  World::Impl& s = State();
  auto it = s.taskMemory.find(pv);
  if (it == s.taskMemory.end()) {
    std::fprintf(stderr, "sim: CoTaskMemFree of a block the sim did not hand out\n");
    std::abort();
  }
  s.taskMemory.erase(it);
  std::free(pv);
}

// The path of an ID list of the fake shell: full paths and names inside them
// joined; an item without a file-system path, or a path of MAX_PATH
// characters or more, gives none.
BOOL WINAPI SimSHGetPathFromIDListW(PCIDLIST_ABSOLUTE pidl, LPWSTR pszPath) {
  if (!pidl || !pszPath) return FALSE;
  pszPath[0] = 0;
  const BYTE* bytes = reinterpret_cast<const BYTE*>(pidl);
  std::string path;
  bool any = false;
  for (size_t at = 0;;) {
    size_t size = bytes[at] | (bytes[at + 1] << 8);
    if (size == 0) break;
    if (size < 3) return FALSE;
    char kind = static_cast<char>(bytes[at + 2]);
    std::string text(reinterpret_cast<const char*>(bytes + at + 3), size - 3);
    if (kind == 'V') return FALSE;
    if (kind == 'F') {
      path = text;
    } else if (path.empty() || path.back() != '\\') {
      path += "\\" + text;
    } else {
      path += text;
    }
    any = true;
    at += size;
  }
  if (!any) return FALSE;
  std::vector<WCHAR> wide = ShellText(path);
  if (wide.size() > MAX_PATH) return FALSE;
  std::copy(wide.begin(), wide.end(), pszPath);
  return TRUE;
}

}  // namespace

FARPROC ComFunction(const std::string& module, const std::string& name) {
  if (module == "shell32.dll") {
    return name == "SHGetPathFromIDListW" ? AsFarProc(&SimSHGetPathFromIDListW) : nullptr;
  }
  if (module != "ole32.dll") return nullptr;
  if (name == "CoInitializeEx") return AsFarProc(&SimCoInitializeEx);
  if (name == "CoUninitialize") return AsFarProc(&SimCoUninitialize);
  if (name == "CoCreateInstance") return AsFarProc(&SimCoCreateInstance);
  if (name == "CoTaskMemFree") return AsFarProc(&SimCoTaskMemFree);
  return nullptr;
}

void World::AddShellBrowser(const ShellBrowser& browser) { impl_->shellBrowsers.push_back(browser); }
void World::RemoveShellWindowList() { impl_->shellWindowListPresent = false; }
void World::HangShellCall(const std::string& method) { impl_->shellHang = method; }
void World::FailShellCall(const std::string& method, HRESULT result) {
  impl_->shellFailures[method] = result;
}
int World::LiveShellObjects() const { return impl_->liveShellObjects; }
int World::OutstandingTaskMemory() const { return static_cast<int>(impl_->taskMemory.size()); }
int World::OpenApartments() const { return impl_->openApartments; }
const std::vector<std::string>& World::ShellCalls() const { return impl_->shellCalls; }

}  // namespace sim
