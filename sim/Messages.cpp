// Sending and posting messages, the program's message queue and the default
// window procedure.
//
// The sim has one thread, so a message loop that finds its queue empty with
// no quit message pending would wait forever. Instead GetMessageA notes that
// in the world (blockedInMessageLoop) and returns 0, so a faulty program ends
// its test with a clear failure rather than a hang. SendMessageA to a window
// of a hung process is handled the same way (blockedOnHungWindow).
//
// Other processes answer at once unless the test made them slow or hung;
// waiting advances the world's clock instead of taking time.
#include <cstring>

#include "SimInternal.h"

namespace sim {

namespace {

// Messages that other programs' windows answer without a special control:
// the window text.
LRESULT DefaultForeignAnswer(WindowObj& w, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_GETTEXT: {
      char* buffer = reinterpret_cast<char*>(lParam);
      const std::string& title = w.rec.title;
      if (w.unterminatedText && buffer && wParam > 0 && !title.empty()) {
        for (WPARAM i = 0; i < wParam; ++i) buffer[i] = title[i % title.size()];
        return static_cast<LRESULT>(wParam);
      }
      return CopyWindowText(title, buffer, static_cast<int>(wParam));
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w.rec.title.size());
    case WM_SETTEXT: {
      const char* text = reinterpret_cast<const char*>(lParam);
      w.rec.title = text ? text : "";
      return TRUE;
    }
    default:
      return 0;
  }
}

bool Matches(const MSG& m, HWND hwnd, UINT lo, UINT hi) {
  if (hwnd && m.hwnd != hwnd) return false;
  if (lo == 0 && hi == 0) return true;
  return m.message >= lo && m.message <= hi;
}

// Takes the next message for the filter; the quit message comes once the
// queue holds nothing else for the filter.
bool NextMessage(LPMSG msg, HWND hwnd, UINT lo, UINT hi, bool remove) {
  World::Impl& s = State();
  for (auto it = s.queue.begin(); it != s.queue.end(); ++it) {
    if (!Matches(*it, hwnd, lo, hi)) continue;
    *msg = *it;
    if (remove) s.queue.erase(it);
    return true;
  }
  if (s.quitPending) {
    std::memset(msg, 0, sizeof *msg);
    msg->message = WM_QUIT;
    msg->wParam = static_cast<WPARAM>(s.quitCode);
    msg->time = s.tickCount;
    if (remove) s.quitPending = false;
    return true;
  }
  return false;
}

// Another program's window answers: its control, else the default answer.
// False (with the error set) when the window went away before answering.
bool AnswerForeign(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  WindowObj* w = FindWindowObj(hwnd);
  if (w && w->behavior) {
    std::shared_ptr<ControlBehavior> behavior = w->behavior;  // may detach itself
    bool handled = behavior->Handle(Current(), hwnd, msg, wParam, lParam, result);
    w = FindWindowObj(hwnd);
    if (handled && w) return true;
  }
  if (!w) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  *result = DefaultForeignAnswer(*w, msg, wParam, lParam);
  return true;
}

// A message to a process that did not answer in time: the clock has run on
// by the time-out, and the process may still handle the message later.
LRESULT TimedOut(DWORD processId, LPARAM lParam, UINT timeout) {
  State().tickCount += timeout;
  NoteLateWrite(processId, lParam);
  SetError(ERROR_TIMEOUT);
  return 0;
}

}  // namespace

void World::SetUnterminatedText(HWND w, bool on) {
  if (WindowObj* obj = FindWindowObj(w)) obj->unterminatedText = on;
}

void World::SetHung(DWORD processId, bool hung, bool abortAtOnce) {
  ProcessObj& p = ProcessForSetUp(processId, "SetHung");
  p.hung = hung;
  p.abortAtOnce = hung && abortAtOnce;
}

void World::SetMessageDelay(DWORD processId, DWORD milliseconds) {
  ProcessForSetUp(processId, "SetMessageDelay").messageDelay = milliseconds;
}

}  // namespace sim

using namespace sim;

LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  BeforeWindowCall("SendMessageA", hWnd);
  World::Impl& s = State();
  WindowObj* w = FindWindowObj(hWnd);
  if (!w) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (IsProgramWindow(*w)) return CallWindowProcedure(*w, Msg, wParam, lParam);
  Current().counters.messages[Msg]++;
  // A fault: the system refused to deliver the message (as it refuses one to
  // a process of higher integrity).
  if (FaultHere("SendMessageA")) {
    SetError(ERROR_ACCESS_DENIED);
    return 0;
  }
  ProcessObj* p = FindProcess(w->rec.processId);
  if (p && p->hung) {
    Current().blockedOnHungWindow = true;  // would wait for ever
    return 0;
  }
  if (p) s.tickCount += p->messageDelay;
  LRESULT result = 0;
  return AnswerForeign(hWnd, Msg, wParam, lParam, &result) ? result : 0;
}

// *lpdwResult gets the answer, or 0 when there is none (a window that is
// gone, a time-out), as the system writes it either way.
LRESULT SendMessageTimeoutA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam, UINT fuFlags,
                            UINT uTimeout, PDWORD_PTR lpdwResult) {
  BeforeWindowCall("SendMessageTimeoutA", hWnd);
  if (lpdwResult) *lpdwResult = 0;
  World::Impl& s = State();
  WindowObj* w = FindWindowObj(hWnd);
  if (!w) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  LRESULT result = 0;
  if (IsProgramWindow(*w)) {
    result = CallWindowProcedure(*w, Msg, wParam, lParam);
  } else {
    Current().counters.messages[Msg]++;
    ProcessObj* p = FindProcess(w->rec.processId);
    DWORD id = w->rec.processId;
    // A fault is a time-out: the other program may still handle the message
    // later, after the time it took.
    if (FaultHere("SendMessageTimeoutA")) return TimedOut(id, lParam, uTimeout);
    if (p && p->hung) {
      // A process the system already knows as hung is not even asked.
      if ((fuFlags & SMTO_ABORTIFHUNG) && p->abortAtOnce) {
        SetError(ERROR_TIMEOUT);
        return 0;
      }
      return TimedOut(id, lParam, uTimeout);
    }
    DWORD delay = p ? p->messageDelay : 0;
    // A slow process is waited for without limit when the caller said so.
    if (delay > uTimeout && !(fuFlags & SMTO_NOTIMEOUTIFNOTHUNG)) {
      return TimedOut(id, lParam, uTimeout);
    }
    s.tickCount += delay;
    if (!AnswerForeign(hWnd, Msg, wParam, lParam, &result)) return 0;
  }
  if (lpdwResult) *lpdwResult = static_cast<DWORD_PTR>(result);
  return TRUE;
}

BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  World::Impl& s = State();
  if (hWnd) {
    WindowObj* w = FindWindowObj(hWnd);
    if (!w) {
      SetError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    // Another program's queue is not simulated; the message is accepted.
    if (!IsProgramWindow(*w)) return TRUE;
  }
  MSG m;
  std::memset(&m, 0, sizeof m);
  m.hwnd = hWnd;
  m.message = Msg;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = s.tickCount;
  s.queue.push_back(m);
  return TRUE;
}

void PostQuitMessage(int nExitCode) {
  World::Impl& s = State();
  s.quitPending = true;
  s.quitCode = nExitCode;
}

BOOL GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  if (!lpMsg) {
    SetError(ERROR_NOACCESS);
    return -1;
  }
  if (hWnd && !FindWindowObj(hWnd)) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  if (NextMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true)) {
    return lpMsg->message == WM_QUIT ? FALSE : TRUE;
  }
  Current().blockedInMessageLoop = true;
  std::memset(lpMsg, 0, sizeof *lpMsg);
  lpMsg->message = WM_QUIT;
  return FALSE;
}

BOOL PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                  UINT wRemoveMsg) {
  if (!lpMsg) {
    SetError(ERROR_NOACCESS);
    return FALSE;
  }
  return NextMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, (wRemoveMsg & PM_REMOVE) != 0)
             ? TRUE
             : FALSE;
}

// Keyboard messages are what it would translate; the sim has no keyboard.
BOOL TranslateMessage(const MSG* lpMsg) {
  return lpMsg && (lpMsg->message == WM_KEYDOWN) ? TRUE : FALSE;
}

LRESULT DispatchMessageA(const MSG* lpMsg) {
  if (!lpMsg || !lpMsg->hwnd) return 0;
  WindowObj* w = FindWindowObj(lpMsg->hwnd);
  if (!w) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (!IsProgramWindow(*w)) return 0;
  return CallWindowProcedure(*w, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

LRESULT DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  WindowObj* w = FindWindowObj(hWnd);
  if (!w) return 0;
  switch (Msg) {
    // The system keeps a window's text in Unicode; what the program reads
    // back is that text converted again.
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) {
        w->rec.title = ThroughUnicode(cs->lpszName);
      }
      return TRUE;
    }
    case WM_CLOSE:
      DestroyWindow(hWnd);
      return 0;
    case WM_GETTEXT:
      return CopyWindowText(w->rec.title, reinterpret_cast<char*>(lParam), static_cast<int>(wParam));
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->rec.title.size());
    case WM_SETTEXT: {
      const char* text = reinterpret_cast<const char*>(lParam);
      w->rec.title = text ? ThroughUnicode(text) : "";
      return TRUE;
    }
    default:
      return 0;
  }
}
