// Windows and window classes: registration, creation and destruction with
// their messages, visibility, the Z-order, enumeration and inspection, and the
// icons, cursors and brushes a class uses.
//
// Windows of the program under test have a window procedure that the sim
// calls directly. Windows of other programs are records built by the test;
// messages to them are answered by their ControlBehavior.
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

const ClassObj* FindClass(LPCSTR name) {
  World::Impl& s = State();
  if (!name) return nullptr;
  if (IS_INTRESOURCE(name)) {
    ATOM atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
    for (const auto& c : s.classes) {
      if (c.second.atom == atom) return &c.second;
    }
    return nullptr;
  }
  auto it = s.classes.find(FoldName(name));
  return it == s.classes.end() ? nullptr : &it->second;
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
  CallWindowProcedure(*w, WM_DESTROY, 0, 0);
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
  CallWindowProcedure(*w, WM_NCDESTROY, 0, 0);
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

LRESULT CallWindowProcedure(WindowObj& w, UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND h = w.rec.hwnd;
  WNDPROC proc = w.proc;
  return proc ? proc(h, msg, wParam, lParam) : DefWindowProcA(h, msg, wParam, lParam);
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

}  // namespace sim

using namespace sim;

ATOM RegisterClassA(const WNDCLASSA* lpWndClass) {
  World::Impl& s = State();
  if (FaultHere("RegisterClassA")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  if (!lpWndClass || !lpWndClass->lpszClassName || lpWndClass->cbClsExtra < 0 ||
      lpWndClass->cbWndExtra < 0) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string name = IS_INTRESOURCE(lpWndClass->lpszClassName)
                         ? "#" + std::to_string(reinterpret_cast<uintptr_t>(lpWndClass->lpszClassName))
                         : std::string(lpWndClass->lpszClassName);
  std::string key = FoldName(name);
  if (s.classes.count(key)) {
    SetError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  ClassObj c;
  c.name = name;
  c.style = lpWndClass->style;
  c.proc = lpWndClass->lpfnWndProc;
  c.instance = lpWndClass->hInstance;
  c.icon = lpWndClass->hIcon;
  c.cursor = lpWndClass->hCursor;
  c.background = lpWndClass->hbrBackground;
  c.atom = s.nextAtom++;
  s.classes[key] = c;
  return c.atom;
}

BOOL UnregisterClassA(LPCSTR lpClassName, HINSTANCE) {
  World::Impl& s = State();
  const ClassObj* c = FindClass(lpClassName);
  if (!c) {
    SetError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  std::string key = FoldName(c->name);
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

HWND CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle,
                     int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                     HINSTANCE hInstance, LPVOID lpParam) {
  World::Impl& s = State();
  // A fault fails the creation before any message: no window ever existed.
  if (FaultHere("CreateWindowExA")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  const ClassObj* cls = FindClass(lpClassName);
  if (!cls) {
    SetError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  if (hWndParent && !FindWindowObj(hWndParent)) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  bool child = (dwStyle & WS_CHILD) != 0;
  if (child && !hWndParent) {
    SetError(1406);  // ERROR_TLW_WITH_WSCHILD
    return nullptr;
  }
  uintptr_t value = s.nextWindowHandle;
  s.nextWindowHandle += 0x12;
  HWND hwnd = ToHwnd(value);
  WindowObj w;
  w.rec.hwnd = hwnd;
  w.rec.className = cls->name;
  w.rec.title = lpWindowName ? lpWindowName : "";
  // WS_VISIBLE is applied after creation, as the system does.
  w.rec.style = dwStyle & ~static_cast<DWORD>(WS_VISIBLE);
  w.rec.exStyle = dwExStyle;
  w.rec.parent = child ? hWndParent : nullptr;
  w.rec.owner = child ? nullptr : (hWndParent ? TopLevelOf(hWndParent) : nullptr);
  w.rec.processId = kProgramProcessId;
  w.rec.everVisible = false;
  w.rec.destroyed = false;
  w.proc = cls->proc;
  w.instance = hInstance;
  w.classKey = FoldName(cls->name);
  w.createdByProgram = true;
  s.windows[value] = w;
  if (child) {
    FindWindowObj(hWndParent)->children.push_back(hwnd);
  } else {
    LinkTopLevel(hwnd, (dwExStyle & WS_EX_TOPMOST) != 0);
  }

  CREATESTRUCTA cs;
  cs.lpCreateParams = lpParam;
  cs.hInstance = hInstance;
  cs.hMenu = hMenu;
  cs.hwndParent = hWndParent;
  cs.cy = nHeight;
  cs.cx = nWidth;
  cs.y = Y;
  cs.x = X;
  cs.style = static_cast<LONG>(dwStyle);
  cs.lpszName = lpWindowName;
  cs.lpszClass = lpClassName;
  cs.dwExStyle = dwExStyle;

  // A window whose creation fails gets WM_NCDESTROY only (no WM_DESTROY), and
  // CreateWindowExA reports ERROR_INVALID_WINDOW_HANDLE; so does a window
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
  if (!CallWindowProcedure(*obj, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) return failed();
  if (!(obj = FindWindowObj(hwnd))) return failed();
  if (CallWindowProcedure(*obj, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) return failed();
  if (!(obj = FindWindowObj(hwnd))) return failed();
  if (dwStyle & WS_VISIBLE) MarkVisible(*obj, true);
  return hwnd;
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
  return CopyWindowText(w->rec.className, lpClassName, nMaxCount);
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
  return CopyWindowText(w->rec.title, lpString, nMaxCount);
}

int GetWindowTextLengthA(HWND hWnd) {
  WindowObj* w = FindWindowObj(hWnd);
  if (!w) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (IsProgramWindow(*w)) return static_cast<int>(SendMessageA(hWnd, WM_GETTEXTLENGTH, 0, 0));
  return static_cast<int>(w->rec.title.size());
}

BOOL SetWindowTextA(HWND hWnd, LPCSTR lpString) {
  if (!FindWindowObj(hWnd)) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return SendMessageA(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) ? TRUE : FALSE;
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

// Direct children of the parent (top-level windows for a NULL parent), after
// hWndChildAfter, whose class and title match; both compare without regard
// to case, and a NULL text matches anything. Finding nothing is no error: the
// last error is left alone, also when hWndChildAfter is no child of the
// parent (the search then finds nothing).
HWND FindWindowExA(HWND hWndParent, HWND hWndChildAfter, LPCSTR lpszClass, LPCSTR lpszWindow) {
  BeforeWindowCall("FindWindowExA", hWndParent);
  World::Impl& s = State();
  if (FaultHere("FindWindowExA")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
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
  const ClassObj* atomClass = nullptr;
  if (lpszClass && IS_INTRESOURCE(lpszClass)) {
    atomClass = FindClass(lpszClass);
    if (!atomClass) return nullptr;
  }
  for (; it != list.end(); ++it) {
    WindowObj* w = FindWindowObj(*it);
    if (!w) continue;
    if (lpszClass) {
      std::string wanted = atomClass ? atomClass->name : std::string(lpszClass);
      if (FoldName(wanted) != w->classKey) continue;
    }
    if (lpszWindow && FoldName(lpszWindow) != FoldName(w->rec.title)) continue;
    return *it;
  }
  return nullptr;
}

HWND FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) {
  return FindWindowExA(nullptr, nullptr, lpClassName, lpWindowName);
}

// System icons (NULL instance, IDI_*) always exist; the program's own icons
// are the resources the world gives it ("MYICON" by default). Resource names
// compare without regard to case.
HICON LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
  World::Impl& s = State();
  if (FaultHere("LoadIconA")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (!lpIconName) {
    SetError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  if (!hInstance) {
    uintptr_t id = reinterpret_cast<uintptr_t>(lpIconName);
    if (IS_INTRESOURCE(lpIconName) && id >= 32512 && id <= 32518) {
      return static_cast<HICON>(SharedUserObject("icon:" + std::to_string(id)));
    }
    SetError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  if (hInstance != SIM_PROGRAM_INSTANCE) {
    SetError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  }
  std::string name;
  if (IS_INTRESOURCE(lpIconName)) {
    name = "#" + std::to_string(reinterpret_cast<uintptr_t>(lpIconName));
  } else {
    name = lpIconName;
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (!s.iconResources.count(name)) {
    SetError(s.iconResources.empty() ? ERROR_RESOURCE_TYPE_NOT_FOUND
                                     : ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return static_cast<HICON>(SharedUserObject("program-icon:" + name));
}

HCURSOR LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
  if (FaultHere("LoadCursorA")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  uintptr_t id = reinterpret_cast<uintptr_t>(lpCursorName);
  bool system = !hInstance && lpCursorName && IS_INTRESOURCE(lpCursorName) &&
                ((id >= 32512 && id <= 32516) || (id >= 32640 && id <= 32651));
  if (!system) {
    SetError(hInstance ? ERROR_RESOURCE_TYPE_NOT_FOUND : ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return static_cast<HCURSOR>(SharedUserObject("cursor:" + std::to_string(id)));
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
