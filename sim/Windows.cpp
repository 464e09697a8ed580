// Windows and window classes: registration, creation and destruction with
// their messages, visibility, the Z-order, enumeration and inspection, and the
// icons, cursors and brushes a class uses.
//
// Windows of the program under test have a window procedure that the sim
// calls directly. Windows of other programs are records built by the test;
// messages to them are answered by their ControlBehavior.
//
// Class names and titles are kept in UTF-16. The A functions take ANSI texts
// of the world's code page and give them back converted with best-fit, as the
// system converts them. A class registered with RegisterClassW makes Unicode
// windows: their procedure gets W messages, whichever function created them.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "SimInternal.h"

namespace sim {

namespace {

HWND ToHwnd(uintptr_t v) { return reinterpret_cast<HWND>(v); }

// The desktop window, parent of all top-level windows.
const uintptr_t kDesktopWindow = 0x00010014;

std::vector<HWND>* SiblingsOf(const WindowObj& w) {
  if (w.rec.parent) {
    WindowObj* parent = FindWindowObj(w.rec.parent);
    return parent ? &parent->children : nullptr;
  }
  return &State().zOrder;
}

void Unlink(WindowObj& w) {
  if (std::vector<HWND>* sib = SiblingsOf(w)) {
    sib->erase(std::remove(sib->begin(), sib->end(), w.rec.hwnd), sib->end());
  }
}

// A class as a function names it: an atom, or a name.
struct ClassArg {
  bool isAtom = false;
  ATOM atom = 0;
  std::u16string name;
};

ClassArg ClassArgOf(LPCSTR name) {
  ClassArg c;
  if (IS_INTRESOURCE(name)) {
    c.isAtom = true;
    c.atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
  } else {
    c.name = AnsiText(name);
  }
  return c;
}

ClassArg ClassArgOf(LPCWSTR name) {
  ClassArg c;
  if (IS_INTRESOURCE(name)) {
    c.isAtom = true;
    c.atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
  } else {
    c.name = name;
  }
  return c;
}

// The system's classes. The common controls' list view exists while
// comctl32.dll is loaded, which registers it.
const std::vector<ClassObj>& SystemClasses() {
  static const std::vector<ClassObj> classes = [] {
    std::vector<ClassObj> list;
    const struct {
      const char16_t* name;
      SystemControl control;
      ATOM atom;
    } known[] = {{u"Edit", SystemControl::kEdit, 0xFF01},
                 {u"ComboBox", SystemControl::kComboBox, 0xFF02},
                 {u"SysListView32", SystemControl::kListView, 0xFF03}};
    for (const auto& k : known) {
      ClassObj c;
      c.name = k.name;
      c.unicode = true;
      c.control = k.control;
      c.style = CS_DBLCLKS | CS_GLOBALCLASS;
      c.atom = k.atom;
      list.push_back(c);
    }
    return list;
  }();
  return classes;
}

bool SystemClassPresent(const ClassObj& c) {
  return c.control != SystemControl::kListView || LoadedLibraryHandle("comctl32.dll") != nullptr;
}

// The program's classes first, then the system's.
const ClassObj* FindClass(const ClassArg& arg) {
  World::Impl& s = State();
  if (arg.isAtom) {
    for (const auto& c : s.classes) {
      if (c.second.atom == arg.atom) return &c.second;
    }
    for (const ClassObj& c : SystemClasses()) {
      if (c.atom == arg.atom && SystemClassPresent(c)) return &c;
    }
    return nullptr;
  }
  std::u16string key = FoldWide(arg.name);
  auto it = s.classes.find(key);
  if (it != s.classes.end()) return &it->second;
  for (const ClassObj& c : SystemClasses()) {
    if (FoldWide(c.name) == key && SystemClassPresent(c)) return &c;
  }
  return nullptr;
}

void MarkVisible(WindowObj& w, bool visible) {
  if (visible) {
    w.rec.style |= WS_VISIBLE;
    w.rec.everVisible = true;
  } else {
    w.rec.style &= ~static_cast<DWORD>(WS_VISIBLE);
  }
}

void SendDestroy(HWND h) {
  WindowObj* w = FindWindowObj(h);
  if (!w) return;
  CallWindowProcedure(*w, WM_DESTROY, 0, 0, w->unicode);
  w = FindWindowObj(h);
  if (!w) return;
  std::vector<HWND> children = w->children;
  for (HWND c : children) SendDestroy(c);
}

void SendNcDestroy(HWND h) {
  WindowObj* w = FindWindowObj(h);
  if (!w) return;
  std::vector<HWND> children = w->children;
  for (HWND c : children) SendNcDestroy(c);
  w = FindWindowObj(h);
  if (!w) return;
  CallWindowProcedure(*w, WM_NCDESTROY, 0, 0, w->unicode);
  w = FindWindowObj(h);
  if (!w) return;
  Unlink(*w);
  w->rec.destroyed = true;
  MarkVisible(*w, false);
}

// After the foreground window goes away the system activates the next
// visible top-level window.
void ForegroundLost(HWND gone) {
  World::Impl& s = State();
  if (s.foreground != gone) return;
  s.foreground = nullptr;
  for (HWND h : s.zOrder) {
    if (h != gone && IsWindowVisible(h)) {
      s.foreground = h;
      break;
    }
  }
}

HWND TopLevelOf(HWND h) {
  WindowObj* w = FindWindowObj(h);
  while (w && w->rec.parent) {
    h = w->rec.parent;
    w = FindWindowObj(h);
  }
  return h;
}

bool EnumChildren(HWND parent, WNDENUMPROC proc, LPARAM lParam) {
  WindowObj* p = FindWindowObj(parent);
  if (!p) return true;
  std::vector<HWND> children = p->children;
  for (HWND c : children) {
    BeforeWindowCall("EnumChildWindows", c);
    if (!FindWindowObj(c)) continue;
    if (!proc(c, lParam)) return false;
    if (!EnumChildren(c, proc, lParam)) return false;
  }
  return true;
}

// Top-level windows in Z-order, front first. The list is taken before the
// first call, so windows created by the callback are not reported and
// windows destroyed by it are skipped.
bool EnumTopLevel(WNDENUMPROC proc, LPARAM lParam) {
  std::vector<HWND> list = State().zOrder;
  for (HWND h : list) {
    BeforeWindowCall("EnumWindows", h);
    if (!FindWindowObj(h)) continue;
    if (!proc(h, lParam)) return false;
  }
  return true;
}

HANDLE SharedUserObject(const std::string& name) {
  World::Impl& s = State();
  auto it = s.icons.find(name);
  if (it == s.icons.end()) {
    it = s.icons.emplace(name, s.nextUserObject).first;
    s.nextUserObject += 0x20;
  }
  return reinterpret_cast<HANDLE>(it->second);
}

}  // namespace

WindowObj* FindWindowObj(HWND hwnd) {
  auto& windows = State().windows;
  auto it = windows.find(reinterpret_cast<uintptr_t>(hwnd));
  if (it == windows.end() || it->second.rec.destroyed) return nullptr;
  return &it->second;
}

bool IsProgramWindow(const WindowObj& w) { return w.rec.processId == kProgramProcessId; }

// The hook may call window functions itself; they do not call it again. It
// is copied first because it may replace itself.
void BeforeWindowCall(const char* function, HWND hwnd) {
  World& world = Current();
  World::Impl& s = world.impl();
  if (!world.beforeWindowCall || s.inWindowHook) return;
  std::function<void(const char*, HWND)> hook = world.beforeWindowCall;
  s.inWindowHook = true;
  hook(function, hwnd);
  s.inWindowHook = false;
}

void LinkTopLevel(HWND hwnd, bool topmost) {
  World::Impl& s = State();
  auto& z = s.zOrder;
  z.erase(std::remove(z.begin(), z.end(), hwnd), z.end());
  auto pos = z.begin();
  if (!topmost) {
    while (pos != z.end()) {
      WindowObj* w = FindWindowObj(*pos);
      if (!w || !(w->rec.exStyle & WS_EX_TOPMOST)) break;
      ++pos;
    }
  }
  z.insert(pos, hwnd);
}

int CopyWindowText(const std::string& text, char* buffer, int max) {
  if (!buffer || max <= 0) return 0;
  size_t n = 0;
  const char* p = text.c_str();
  while (*p && n + CharLen(p) <= static_cast<size_t>(max - 1)) {
    n += CharLen(p);
    p += CharLen(p);
  }
  std::memcpy(buffer, text.data(), n);
  buffer[n] = 0;
  return static_cast<int>(n);
}

int CopyWideText(const std::u16string& text, char16_t* buffer, int max) {
  if (!buffer || max <= 0) return 0;
  size_t n = std::min(text.size(), static_cast<size_t>(max - 1));
  std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), buffer);
  buffer[n] = 0;
  return static_cast<int>(n);
}

std::u16string AnsiText(const char* ansi) {
  if (!ansi) return std::u16string();
  size_t n = 0, last = 0;
  while (ansi[n]) {
    last = n;
    n += CharLen(ansi + n);
  }
  // A final lead byte with no trail byte after it stands for nothing.
  if (n > 0 && n - last == 1 && IsLead(static_cast<unsigned char>(ansi[last]))) n = last;
  std::u16string wide = AnsiToWide(std::string(ansi, n));
  size_t zero = wide.find(u'\0');
  if (zero != std::u16string::npos) wide.resize(zero);
  return wide;
}

WindowRecord Observed(const WindowObj& w) {
  WindowRecord r = w.rec;
  r.className = WideToAnsi(r.classNameWide, false);
  r.title = WideToAnsi(r.titleWide, false);
  return r;
}

}  // namespace sim

namespace sim {

namespace {

// The fields of WNDCLASSA and WNDCLASSW that do not depend on the kind.
template <typename WndClass>
ATOM RegisterClassFrom(const WndClass* wc, const ClassArg& nameArg, bool unicode) {
  World::Impl& s = State();
  if (!wc || !wc->lpszClassName || wc->cbClsExtra < 0 || wc->cbWndExtra < 0) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string name = nameArg.isAtom ? AnsiToWide("#" + std::to_string(nameArg.atom))
                                       : nameArg.name;
  std::u16string key = FoldWide(name);
  if (s.classes.count(key)) {
    SetError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  ClassObj c;
  c.name = name;
  c.unicode = unicode;
  c.style = wc->style;
  c.proc = wc->lpfnWndProc;
  c.instance = wc->hInstance;
  c.icon = wc->hIcon;
  c.cursor = wc->hCursor;
  c.background = wc->hbrBackground;
  c.atom = s.nextAtom++;
  s.classes[key] = c;
  return c.atom;
}

BOOL UnregisterClassNamed(const ClassArg& arg) {
  World::Impl& s = State();
  const ClassObj* c = FindClass(arg);
  std::u16string key = c ? FoldWide(c->name) : std::u16string();
  if (!c || !s.classes.count(key)) {  // the system's classes stay
    SetError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  for (const auto& w : s.windows) {
    if (!w.second.rec.destroyed && w.second.createdByProgram && w.second.classKey == key) {
      SetError(ERROR_CLASS_HAS_WINDOWS);
      return FALSE;
    }
  }
  // The class's background brush goes with it.
  s.brushes.erase(reinterpret_cast<uintptr_t>(c->background));
  s.classes.erase(key);
  return TRUE;
}

// A window text as CreateWindowExA or CreateWindowExW got it: its pointer
// (null, or a resource number, which has no text) and the text in UTF-16.
struct NameArg {
  const void* pointer = nullptr;
  bool text = false;
  std::u16string wide;
};

NameArg NameArgOf(LPCSTR name) {
  NameArg n;
  n.pointer = name;
  n.text = name && !IS_INTRESOURCE(name);
  if (n.text) n.wide = AnsiText(name);
  return n;
}

NameArg NameArgOf(LPCWSTR name) {
  NameArg n;
  n.pointer = name;
  n.text = name && !IS_INTRESOURCE(name);
  if (n.text) n.wide = name;
  return n;
}

struct Creation {
  DWORD exStyle;
  ClassArg cls;
  const void* classPointer;  // as the caller passed it
  NameArg title;
  DWORD style;
  int x, y, width, height;
  HWND parent;
  HMENU menu;
  HINSTANCE instance;
  LPVOID param;
  bool wide;  // CreateWindowExW
};

// The creation messages carry a CREATESTRUCT of the kind the window's
// procedure takes: the caller's own texts when it is of that kind, else the
// texts converted (to ANSI with best-fit).
template <typename CreateStruct, typename Char>
void FillCreateStruct(CreateStruct* cs, const Creation& c, const Char* name, const Char* cls) {
  cs->lpCreateParams = c.param;
  cs->hInstance = c.instance;
  cs->hMenu = c.menu;
  cs->hwndParent = c.parent;
  cs->cy = c.height;
  cs->cx = c.width;
  cs->y = c.y;
  cs->x = c.x;
  cs->style = static_cast<LONG>(c.style);
  cs->lpszName = name;
  cs->lpszClass = cls;
  cs->dwExStyle = c.exStyle;
}

HWND CreateWindowFrom(const Creation& c) {
  World::Impl& s = State();
  const ClassObj* cls = FindClass(c.cls);
  if (!cls) {
    SetError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  if (c.parent && !FindWindowObj(c.parent)) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  bool child = (c.style & WS_CHILD) != 0;
  if (child && !c.parent) {
    SetError(1406);  // ERROR_TLW_WITH_WSCHILD
    return nullptr;
  }
  uintptr_t value = s.nextWindowHandle;
  s.nextWindowHandle += 0x12;
  HWND hwnd = ToHwnd(value);
  WindowObj w;
  w.rec.hwnd = hwnd;
  w.rec.classNameWide = cls->name;
  w.rec.titleWide = c.title.wide;
  // WS_VISIBLE is applied after creation, as the system does.
  w.rec.style = c.style & ~static_cast<DWORD>(WS_VISIBLE);
  w.rec.exStyle = c.exStyle;
  w.rec.parent = child ? c.parent : nullptr;
  w.rec.owner = child ? nullptr : (c.parent ? TopLevelOf(c.parent) : nullptr);
  w.rec.processId = kProgramProcessId;
  w.rec.everVisible = false;
  w.rec.destroyed = false;
  w.proc = cls->proc;
  w.unicode = cls->unicode;
  w.control = cls->control;
  w.instance = c.instance;
  w.classKey = FoldWide(cls->name);
  w.createdByProgram = true;
  if (cls->control == SystemControl::kListView) w.behavior = NewProgramListView();
  s.windows[value] = w;
  if (child) {
    FindWindowObj(c.parent)->children.push_back(hwnd);
  } else {
    LinkTopLevel(hwnd, (c.exStyle & WS_EX_TOPMOST) != 0);
  }

  // The texts of the CREATESTRUCT, converted when the caller used the other
  // kind; resource numbers and atoms pass as they are.
  std::u16string wideName = c.title.wide;
  std::u16string wideClass = c.cls.name;
  std::string ansiName = WideToAnsi(c.title.wide);
  std::string ansiClass = WideToAnsi(c.cls.name);
  CREATESTRUCTA csa;
  CREATESTRUCTW csw;
  LPARAM createStruct;
  if (w.unicode) {
    LPCWSTR name = c.wide || !c.title.text ? static_cast<LPCWSTR>(c.title.pointer)
                                           : wideName.c_str();
    LPCWSTR clsName = c.wide || c.cls.isAtom ? static_cast<LPCWSTR>(c.classPointer)
                                             : wideClass.c_str();
    FillCreateStruct(&csw, c, name, clsName);
    createStruct = reinterpret_cast<LPARAM>(&csw);
  } else {
    LPCSTR name = !c.wide || !c.title.text ? static_cast<LPCSTR>(c.title.pointer)
                                           : ansiName.c_str();
    LPCSTR clsName = !c.wide || c.cls.isAtom ? static_cast<LPCSTR>(c.classPointer)
                                             : ansiClass.c_str();
    FillCreateStruct(&csa, c, name, clsName);
    createStruct = reinterpret_cast<LPARAM>(&csa);
  }

  // A window whose creation fails gets WM_NCDESTROY only (no WM_DESTROY), and
  // the creation reports ERROR_INVALID_WINDOW_HANDLE; so does a window
  // destroyed while it handled its creation messages.
  auto failed = [hwnd]() -> HWND {
    if (WindowObj* w = FindWindowObj(hwnd)) {
      w->destroying = true;
      MarkVisible(*w, false);
      ForegroundLost(hwnd);
      SendNcDestroy(hwnd);
    }
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  };
  WindowObj* obj = FindWindowObj(hwnd);
  bool unicode = obj->unicode;
  if (!CallWindowProcedure(*obj, WM_NCCREATE, 0, createStruct, unicode)) return failed();
  if (!(obj = FindWindowObj(hwnd))) return failed();
  if (CallWindowProcedure(*obj, WM_CREATE, 0, createStruct, unicode) == -1) return failed();
  if (!(obj = FindWindowObj(hwnd))) return failed();
  if (c.style & WS_VISIBLE) MarkVisible(*obj, true);
  return hwnd;
}

}  // namespace

}  // namespace sim

using namespace sim;

ATOM RegisterClassA(const WNDCLASSA* lpWndClass) {
  if (FaultHere("RegisterClassA")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  ClassArg name;
  if (lpWndClass && lpWndClass->lpszClassName) name = ClassArgOf(lpWndClass->lpszClassName);
  return RegisterClassFrom(lpWndClass, name, false);
}

ATOM RegisterClassW(const WNDCLASSW* lpWndClass) {
  sim::NoteWideCall("RegisterClassW");
  if (FaultHere("RegisterClassW")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  ClassArg name;
  if (lpWndClass && lpWndClass->lpszClassName) name = ClassArgOf(lpWndClass->lpszClassName);
  return RegisterClassFrom(lpWndClass, name, true);
}

BOOL UnregisterClassA(LPCSTR lpClassName, HINSTANCE) {
  if (!lpClassName) {
    SetError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  return UnregisterClassNamed(ClassArgOf(lpClassName));
}

BOOL UnregisterClassW(LPCWSTR lpClassName, HINSTANCE) {
  sim::NoteWideCall("UnregisterClassW");
  if (!lpClassName) {
    SetError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  return UnregisterClassNamed(ClassArgOf(lpClassName));
}

// A fault fails the creation before any message: no window ever existed.
HWND CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle,
                     int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                     HINSTANCE hInstance, LPVOID lpParam) {
  if (FaultHere("CreateWindowExA")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (!lpClassName) {
    SetError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  Creation c{dwExStyle, ClassArgOf(lpClassName), lpClassName, NameArgOf(lpWindowName), dwStyle,
             X, Y, nWidth, nHeight, hWndParent, hMenu, hInstance, lpParam, false};
  return CreateWindowFrom(c);
}

HWND CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle,
                     int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                     HINSTANCE hInstance, LPVOID lpParam) {
  sim::NoteWideCall("CreateWindowExW");
  if (FaultHere("CreateWindowExW")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (!lpClassName) {
    SetError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  Creation c{dwExStyle, ClassArgOf(lpClassName), lpClassName, NameArgOf(lpWindowName), dwStyle,
             X, Y, nWidth, nHeight, hWndParent, hMenu, hInstance, lpParam, true};
  return CreateWindowFrom(c);
}

// A handle that names no window (any more) is refused like another
// program's window, with ERROR_ACCESS_DENIED.
BOOL DestroyWindow(HWND hWnd) {
  World::Impl& s = State();
  WindowObj* w = FindWindowObj(hWnd);
  if (!w) {
    SetError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!IsProgramWindow(*w)) {
    SetError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (w->destroying) return TRUE;
  w->destroying = true;
  MarkVisible(*w, false);
  // Owned windows go first.
  std::vector<HWND> owned;
  for (const auto& other : s.windows) {
    if (!other.second.rec.destroyed && other.second.rec.owner == hWnd) {
      owned.push_back(other.second.rec.hwnd);
    }
  }
  for (HWND o : owned) DestroyWindow(o);
  ForegroundLost(hWnd);
  SendDestroy(hWnd);
  SendNcDestroy(hWnd);
  return TRUE;
}

BOOL ShowWindow(HWND hWnd, int nCmdShow) {
  World& world = Current();
  WindowObj* w = FindWindowObj(hWnd);
  if (!w) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  world.showWindowCalls.push_back(ShowWindowRecord{hWnd, nCmdShow});
  world.outputCalls.push_back("ShowWindow " + std::to_string(nCmdShow));
  bool wasVisible = (w->rec.style & WS_VISIBLE) != 0;
  switch (nCmdShow) {
    case SW_HIDE:
      MarkVisible(*w, false);
      break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
    case SW_FORCEMINIMIZE:
      w->rec.style = (w->rec.style | WS_MINIMIZE) & ~static_cast<DWORD>(WS_MAXIMIZE);
      MarkVisible(*w, true);
      break;
    case SW_SHOWMAXIMIZED:
      w->rec.style = (w->rec.style | WS_MAXIMIZE) & ~static_cast<DWORD>(WS_MINIMIZE);
      MarkVisible(*w, true);
      break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
      w->rec.style &= ~static_cast<DWORD>(WS_MINIMIZE | WS_MAXIMIZE);
      MarkVisible(*w, true);
      break;
    default:
      MarkVisible(*w, true);
      break;
  }
  if (nCmdShow == SW_HIDE && !w->rec.parent) ForegroundLost(hWnd);
  return wasVisible ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND hWnd) {
  if (!FindWindowObj(hWnd)) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TRUE;
}

BOOL IsWindow(HWND hWnd) { return FindWindowObj(hWnd) ? TRUE : FALSE; }

// Visible only when the window and every ancestor have WS_VISIBLE.
BOOL IsWindowVisible(HWND hWnd) {
  BeforeWindowCall("IsWindowVisible", hWnd);
  WindowObj* w = FindWindowObj(hWnd);
  if (!w) return FALSE;
  while (w) {
    if (!(w->rec.style & WS_VISIBLE)) return FALSE;
    if (!w->rec.parent) return TRUE;
    w = FindWindowObj(w->rec.parent);
  }
  return FALSE;
}

HWND GetForegroundWindow(void) {
  World::Impl& s = State();
  return FindWindowObj(s.foreground) ? s.foreground : nullptr;
}

// A fault leaves the foreground where it is, as the system's foreground lock
// often does.
BOOL SetForegroundWindow(HWND hWnd) {
  World& world = Current();
  world.setForegroundCalls++;
  world.lastSetForeground = hWnd;
  if (FaultHere("SetForegroundWindow")) return FALSE;
  if (!FindWindowObj(hWnd)) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  HWND top = TopLevelOf(hWnd);
  world.impl().foreground = top;
  WindowObj* w = FindWindowObj(top);
  LinkTopLevel(top, w && (w->rec.exStyle & WS_EX_TOPMOST));
  return TRUE;
}

int GetClassNameA(HWND hWnd, LPSTR lpClassName, int nMaxCount) {
  BeforeWindowCall("GetClassNameA", hWnd);
  if (FaultHere("GetClassNameA")) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  WindowObj* w = FindWindowObj(hWnd);
  if (!w) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (!lpClassName || nMaxCount <= 0) return 0;
  return CopyWindowText(WideToAnsi(w->rec.classNameWide), lpClassName, nMaxCount);
}

int GetClassNameW(HWND hWnd, LPWSTR lpClassName, int nMaxCount) {
  sim::NoteWideCall("GetClassNameW");
  BeforeWindowCall("GetClassNameW", hWnd);
  if (FaultHere("GetClassNameW")) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  WindowObj* w = FindWindowObj(hWnd);
  if (!w) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  // No room for a character: the buffer is left alone.
  if (!lpClassName || nMaxCount <= 1) {
    SetError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  return CopyWideText(w->rec.classNameWide, lpClassName, nMaxCount);
}

// The program's own windows are asked with WM_GETTEXT; the title of another
// program's window is read directly, without a message, as the system does.
int GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
  BeforeWindowCall("GetWindowTextA", hWnd);
  if (!lpString || nMaxCount <= 0) return 0;
  lpString[0] = 0;
  if (FaultHere("GetWindowTextA")) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  WindowObj* w = FindWindowObj(hWnd);
  if (!w) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (IsProgramWindow(*w)) {
    return static_cast<int>(SendMessageA(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount),
                                         reinterpret_cast<LPARAM>(lpString)));
  }
  return CopyWindowText(WideToAnsi(w->rec.titleWide), lpString, nMaxCount);
}

int GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount) {
  sim::NoteWideCall("GetWindowTextW");
  BeforeWindowCall("GetWindowTextW", hWnd);
  if (!lpString || nMaxCount <= 0) return 0;
  lpString[0] = 0;
  if (FaultHere("GetWindowTextW")) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  WindowObj* w = FindWindowObj(hWnd);
  if (!w) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (IsProgramWindow(*w)) {
    return static_cast<int>(SendMessageW(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount),
                                         reinterpret_cast<LPARAM>(lpString)));
  }
  return CopyWideText(w->rec.titleWide, lpString, nMaxCount);
}

// For another program's window: the length of its title in bytes of the
// code page (A) or in UTF-16 units (W).
int GetWindowTextLengthA(HWND hWnd) {
  WindowObj* w = FindWindowObj(hWnd);
  if (!w) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (IsProgramWindow(*w)) return static_cast<int>(SendMessageA(hWnd, WM_GETTEXTLENGTH, 0, 0));
  return static_cast<int>(WideToAnsi(w->rec.titleWide).size());
}

int GetWindowTextLengthW(HWND hWnd) {
  sim::NoteWideCall("GetWindowTextLengthW");
  WindowObj* w = FindWindowObj(hWnd);
  if (!w) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (IsProgramWindow(*w)) return static_cast<int>(SendMessageW(hWnd, WM_GETTEXTLENGTH, 0, 0));
  return static_cast<int>(w->rec.titleWide.size());
}

BOOL SetWindowTextA(HWND hWnd, LPCSTR lpString) {
  if (!FindWindowObj(hWnd)) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return SendMessageA(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) ? TRUE : FALSE;
}

BOOL SetWindowTextW(HWND hWnd, LPCWSTR lpString) {
  sim::NoteWideCall("SetWindowTextW");
  if (!FindWindowObj(hWnd)) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return SendMessageW(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) ? TRUE : FALSE;
}

DWORD GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
  BeforeWindowCall("GetWindowThreadProcessId", hWnd);
  WindowObj* w = FindWindowObj(hWnd);
  if (!w) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (lpdwProcessId) *lpdwProcessId = w->rec.processId;
  return IsProgramWindow(*w) ? kProgramThreadId : w->rec.processId + 1;
}

// A child's parent; for a top-level pop-up window its owner.
HWND GetParent(HWND hWnd) {
  WindowObj* w = FindWindowObj(hWnd);
  if (!w) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (w->rec.style & WS_CHILD) return w->rec.parent;
  if (w->rec.style & WS_POPUP) return w->rec.owner;
  return nullptr;
}

HWND GetWindow(HWND hWnd, UINT uCmd) {
  WindowObj* w = FindWindowObj(hWnd);
  if (!w) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (uCmd == GW_OWNER) return w->rec.parent ? nullptr : w->rec.owner;
  if (uCmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
  std::vector<HWND>* sib = SiblingsOf(*w);
  if (!sib || sib->empty()) return nullptr;
  auto it = std::find(sib->begin(), sib->end(), hWnd);
  switch (uCmd) {
    case GW_HWNDFIRST: return sib->front();
    case GW_HWNDLAST: return sib->back();
    case GW_HWNDNEXT: return (it == sib->end() || it + 1 == sib->end()) ? nullptr : *(it + 1);
    case GW_HWNDPREV: return (it == sib->end() || it == sib->begin()) ? nullptr : *(it - 1);
    default:
      SetError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

HWND GetDesktopWindow(void) { return ToHwnd(kDesktopWindow); }

// Top-level windows in Z-order, front first (see EnumTopLevel). A fault fails
// the call before the first window, as when the system cannot take the list.
BOOL EnumWindows(WNDENUMPROC lpEnumFunc, LPARAM lParam) {
  if (FaultHere("EnumWindows")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  if (!lpEnumFunc) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return EnumTopLevel(lpEnumFunc, lParam) ? TRUE : FALSE;
}

// Every descendant, depth first: each child is followed by its own
// descendants before its next sibling. The desktop window's descendants are
// all windows; a NULL parent stands for the top-level windows alone, as the
// documentation says (it is EnumWindows then).
BOOL EnumChildWindows(HWND hWndParent, WNDENUMPROC lpEnumFunc, LPARAM lParam) {
  if (FaultHere("EnumChildWindows")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  if (!lpEnumFunc) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!hWndParent) return EnumTopLevel(lpEnumFunc, lParam) ? TRUE : FALSE;
  if (reinterpret_cast<uintptr_t>(hWndParent) == kDesktopWindow) {
    std::vector<HWND> list = State().zOrder;
    for (HWND h : list) {
      BeforeWindowCall("EnumChildWindows", h);
      if (!FindWindowObj(h)) continue;
      if (!lpEnumFunc(h, lParam) || !EnumChildren(h, lpEnumFunc, lParam)) return FALSE;
    }
    return TRUE;
  }
  if (!FindWindowObj(hWndParent)) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return EnumChildren(hWndParent, lpEnumFunc, lParam) ? TRUE : FALSE;
}

namespace sim {

namespace {

// Direct children of the parent (top-level windows for a NULL parent), after
// hWndChildAfter, whose class and title match; both compare without regard
// to case, and a NULL text matches anything. Finding nothing is no error: the
// last error is left alone, also when hWndChildAfter is no child of the
// parent (the search then finds nothing).
HWND FindChildWindow(HWND hWndParent, HWND hWndChildAfter, const ClassArg* cls,
                     const std::u16string* title) {
  World::Impl& s = State();
  std::vector<HWND> list;
  if (!hWndParent || reinterpret_cast<uintptr_t>(hWndParent) == kDesktopWindow) {
    list = s.zOrder;
  } else {
    WindowObj* p = FindWindowObj(hWndParent);
    if (!p) {
      SetError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    list = p->children;
  }
  auto it = list.begin();
  if (hWndChildAfter) {
    it = std::find(list.begin(), list.end(), hWndChildAfter);
    if (it == list.end()) return nullptr;
    ++it;
  }
  std::u16string classKey;
  if (cls) {
    if (cls->isAtom) {
      const ClassObj* atomClass = FindClass(*cls);
      if (!atomClass) return nullptr;
      classKey = FoldWide(atomClass->name);
    } else {
      classKey = FoldWide(cls->name);
    }
  }
  std::u16string titleKey = title ? FoldWide(*title) : std::u16string();
  for (; it != list.end(); ++it) {
    WindowObj* w = FindWindowObj(*it);
    if (!w) continue;
    if (cls && classKey != w->classKey) continue;
    if (title && titleKey != FoldWide(w->rec.titleWide)) continue;
    return *it;
  }
  return nullptr;
}

// System icons (NULL instance, IDI_*) always exist; the program's own icons
// are the resources the world gives it ("MYICON" by default). Resource names
// compare without regard to case.
HICON LoadIconNamed(HINSTANCE hInstance, const void* pointer, const std::string& name) {
  World::Impl& s = State();
  if (!pointer) {
    SetError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  uintptr_t id = reinterpret_cast<uintptr_t>(pointer);
  bool number = IS_INTRESOURCE(pointer);
  if (!hInstance) {
    if (number && id >= 32512 && id <= 32518) {
      return static_cast<HICON>(SharedUserObject("icon:" + std::to_string(id)));
    }
    SetError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  if (hInstance != SIM_PROGRAM_INSTANCE) {
    SetError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  }
  std::string key = number ? "#" + std::to_string(id) : name;
  if (!number) {
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (!s.iconResources.count(key)) {
    SetError(s.iconResources.empty() ? ERROR_RESOURCE_TYPE_NOT_FOUND
                                     : ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return static_cast<HICON>(SharedUserObject("program-icon:" + key));
}

// Only the system's cursors exist.
HCURSOR LoadCursorNamed(HINSTANCE hInstance, const void* pointer) {
  uintptr_t id = reinterpret_cast<uintptr_t>(pointer);
  bool system = !hInstance && pointer && IS_INTRESOURCE(pointer) &&
                ((id >= 32512 && id <= 32516) || (id >= 32640 && id <= 32651));
  if (!system) {
    SetError(hInstance ? ERROR_RESOURCE_TYPE_NOT_FOUND : ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return static_cast<HCURSOR>(SharedUserObject("cursor:" + std::to_string(id)));
}

}  // namespace

}  // namespace sim

HWND FindWindowExA(HWND hWndParent, HWND hWndChildAfter, LPCSTR lpszClass, LPCSTR lpszWindow) {
  BeforeWindowCall("FindWindowExA", hWndParent);
  if (FaultHere("FindWindowExA")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  ClassArg cls;
  if (lpszClass) cls = ClassArgOf(lpszClass);
  std::u16string title = lpszWindow ? AnsiText(lpszWindow) : std::u16string();
  return FindChildWindow(hWndParent, hWndChildAfter, lpszClass ? &cls : nullptr,
                         lpszWindow ? &title : nullptr);
}

HWND FindWindowExW(HWND hWndParent, HWND hWndChildAfter, LPCWSTR lpszClass, LPCWSTR lpszWindow) {
  sim::NoteWideCall("FindWindowExW");
  BeforeWindowCall("FindWindowExW", hWndParent);
  if (FaultHere("FindWindowExW")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  ClassArg cls;
  if (lpszClass) cls = ClassArgOf(lpszClass);
  std::u16string title = lpszWindow ? std::u16string(lpszWindow) : std::u16string();
  return FindChildWindow(hWndParent, hWndChildAfter, lpszClass ? &cls : nullptr,
                         lpszWindow ? &title : nullptr);
}

HWND FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) {
  return FindWindowExA(nullptr, nullptr, lpClassName, lpWindowName);
}

HWND FindWindowW(LPCWSTR lpClassName, LPCWSTR lpWindowName) {
  sim::NoteWideCall("FindWindowW");
  return FindWindowExW(nullptr, nullptr, lpClassName, lpWindowName);
}

HICON LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
  if (FaultHere("LoadIconA")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::string name = lpIconName && !IS_INTRESOURCE(lpIconName) ? lpIconName : "";
  return LoadIconNamed(hInstance, lpIconName, name);
}

// Resource names are ASCII; a character the code page lacks matches none.
HICON LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName) {
  sim::NoteWideCall("LoadIconW");
  if (FaultHere("LoadIconW")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::string name =
      lpIconName && !IS_INTRESOURCE(lpIconName) ? WideToAnsi(lpIconName, false) : "";
  return LoadIconNamed(hInstance, lpIconName, name);
}

HCURSOR LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
  if (FaultHere("LoadCursorA")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return LoadCursorNamed(hInstance, lpCursorName);
}

HCURSOR LoadCursorW(HINSTANCE hInstance, LPCWSTR lpCursorName) {
  sim::NoteWideCall("LoadCursorW");
  if (FaultHere("LoadCursorW")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return LoadCursorNamed(hInstance, lpCursorName);
}

// The colours of the Windows XP default theme.
DWORD GetSysColor(int nIndex) {
  switch (nIndex) {
    case COLOR_WINDOW: return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT: return RGB(0, 0, 0);
    case COLOR_BTNFACE: return RGB(236, 233, 216);
    default: return 0;
  }
}

HBRUSH CreateSolidBrush(COLORREF) {
  World::Impl& s = State();
  if (FaultHere("CreateSolidBrush")) return nullptr;  // GDI sets no last error
  uintptr_t value = s.nextGdiHandle;
  s.nextGdiHandle += 4;
  s.brushes.insert(value);
  return reinterpret_cast<HBRUSH>(value);
}

BOOL DeleteObject(HGDIOBJ ho) {
  return State().brushes.erase(reinterpret_cast<uintptr_t>(ho)) ? TRUE : FALSE;
}
