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
//
// Window texts are UTF-16. A message sent with an A function carries ANSI
// texts of the world's code page (WM_GETTEXT: wParam counts bytes, the answer
// is converted with best-fit and cut to whole characters), one sent with a W
// function UTF-16 texts (wParam counts UTF-16 units). Posted messages are not
// converted: none of the messages the sim's windows take from the queue
// carries a text.
#include <algorithm>
#include <cstring>

#include "SimInternal.h"

namespace sim {

namespace {

// WM_GETTEXT into a buffer of max units from a text; unterminated: the text
// repeated over the whole buffer, without a zero.
template <typename Char, typename String>
LRESULT FillTextBuffer(const String& text, Char* buffer, WPARAM max, bool unterminated) {
  if (unterminated && buffer && max > 0 && !text.empty()) {
    for (WPARAM i = 0; i < max; ++i) buffer[i] = static_cast<Char>(text[i % text.size()]);
    return static_cast<LRESULT>(max);
  }
  return 0;
}

// Messages that other programs' windows answer without a special control:
// the window text.
LRESULT DefaultForeignAnswer(WindowObj& w, UINT msg, WPARAM wParam, LPARAM lParam, bool wide) {
  switch (msg) {
    case WM_GETTEXT: {
      const std::u16string& title = w.rec.titleWide;
      if (wide) {
        auto* buffer = reinterpret_cast<char16_t*>(lParam);
        if (LRESULT n = FillTextBuffer(title, buffer, wParam, w.unterminatedText)) return n;
        return CopyWideText(title, buffer, static_cast<int>(wParam));
      }
      auto* buffer = reinterpret_cast<char*>(lParam);
      std::string ansi = WideToAnsi(title);
      if (LRESULT n = FillTextBuffer(ansi, buffer, wParam, w.unterminatedText)) return n;
      return CopyWindowText(ansi, buffer, static_cast<int>(wParam));
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(wide ? w.rec.titleWide.size()
                                       : WideToAnsi(w.rec.titleWide).size());
    case WM_SETTEXT:
      w.rec.titleWide = wide ? std::u16string(reinterpret_cast<const char16_t*>(lParam)
                                                  ? reinterpret_cast<const char16_t*>(lParam)
                                                  : u"")
                             : AnsiText(reinterpret_cast<const char*>(lParam));
      return TRUE;
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
bool AnswerForeign(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool wide,
                   LRESULT* result) {
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
  *result = DefaultForeignAnswer(*w, msg, wParam, lParam, wide);
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

// The window's procedure as it is, with the message in its own kind.
LRESULT CallProcedure(WindowObj& w, UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND h = w.rec.hwnd;
  if (w.behavior) {
    std::shared_ptr<ControlBehavior> behavior = w.behavior;
    LRESULT result = 0;
    if (behavior->Handle(Current(), h, msg, wParam, lParam, &result)) return result;
  }
  if (w.proc) return w.proc(h, msg, wParam, lParam);
  return w.unicode ? DefWindowProcW(h, msg, wParam, lParam) : DefWindowProcA(h, msg, wParam, lParam);
}

// An A message to a window that takes W messages.
LRESULT AnsiToUnicodeWindow(WindowObj& w, UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND h = w.rec.hwnd;
  switch (msg) {
    case WM_SETTEXT: {
      const char* text = reinterpret_cast<const char*>(lParam);
      std::u16string wide = AnsiText(text);
      return CallProcedure(w, msg, wParam, text ? reinterpret_cast<LPARAM>(wide.c_str()) : 0);
    }
    case WM_GETTEXT: {
      auto* buffer = reinterpret_cast<char*>(lParam);
      if (!buffer || wParam == 0) return CallProcedure(w, msg, 0, lParam);
      if (w.control == SystemControl::kEdit || w.control == SystemControl::kComboBox) {
        // An edit field converts its whole text into the buffer and ends it
        // at the last byte when it did not fit: a two-byte character may
        // lose its second byte there.
        std::string ansi = WideToAnsi(w.rec.titleWide);
        size_t n = std::min(ansi.size(), static_cast<size_t>(wParam - 1));
        std::memcpy(buffer, ansi.data(), n);
        buffer[n] = 0;
        return static_cast<LRESULT>(n);
      }
      std::u16string wide(wParam + 1, u'\0');
      LRESULT n = CallProcedure(w, msg, wParam, reinterpret_cast<LPARAM>(&wide[0]));
      wide.resize(std::min(wide.find(u'\0'), static_cast<size_t>(std::max<LRESULT>(n, 0))));
      return CopyWindowText(WideToAnsi(wide), buffer, static_cast<int>(wParam));
    }
    case WM_GETTEXTLENGTH: {
      // The length in bytes is that of the text itself, which is asked for.
      LRESULT units = CallProcedure(w, msg, wParam, lParam);
      if (units < 0) return units;
      std::u16string wide(static_cast<size_t>(units) + 1, u'\0');
      if (!FindWindowObj(h)) return 0;
      LRESULT n = CallProcedure(w, WM_GETTEXT, wide.size(), reinterpret_cast<LPARAM>(&wide[0]));
      wide.resize(std::min(wide.find(u'\0'), static_cast<size_t>(std::max<LRESULT>(n, 0))));
      return static_cast<LRESULT>(WideToAnsi(wide).size());
    }
    default:
      return CallProcedure(w, msg, wParam, lParam);
  }
}

// A W message to a window that takes A messages. Its WM_GETTEXTLENGTH answer
// (in bytes) is passed on as it is: it is at least the length in units.
LRESULT UnicodeToAnsiWindow(WindowObj& w, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SETTEXT: {
      const char16_t* text = reinterpret_cast<const char16_t*>(lParam);
      std::string ansi = WideToAnsi(text);
      return CallProcedure(w, msg, wParam, text ? reinterpret_cast<LPARAM>(ansi.c_str()) : 0);
    }
    case WM_GETTEXT: {
      auto* buffer = reinterpret_cast<char16_t*>(lParam);
      if (!buffer || wParam == 0) return CallProcedure(w, msg, 0, lParam);
      // Every unit may take two bytes.
      std::string ansi(wParam * 2 + 1, '\0');
      LRESULT n = CallProcedure(w, msg, wParam * 2, reinterpret_cast<LPARAM>(&ansi[0]));
      ansi.resize(std::min(ansi.find('\0'), static_cast<size_t>(std::max<LRESULT>(n, 0))));
      return CopyWideText(AnsiText(ansi.c_str()), buffer, static_cast<int>(wParam));
    }
    default:
      return CallProcedure(w, msg, wParam, lParam);
  }
}

// The process's thread first handles, in order, the messages handed to it
// without a wait.
void DeliverNotifies(DWORD processId) {
  for (;;) {
    ProcessObj* p = FindProcess(processId);
    if (!p || p->notifies.empty() || p->hung || p->ended) return;
    ProcessObj::Notify n = p->notifies.front();
    p->notifies.pop_front();
    ForgetLateWrite(processId, n.lParam);
    State().tickCount += p->messageDelay;
    LRESULT ignored = 0;
    if (FindWindowObj(n.window)) AnswerForeign(n.window, n.msg, n.wParam, n.lParam, true, &ignored);
  }
}

LRESULT SendToWindow(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam, bool wide,
                     const char* function) {
  World::Impl& s = State();
  WindowObj* w = FindWindowObj(hWnd);
  if (!w) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (IsProgramWindow(*w)) return CallWindowProcedure(*w, Msg, wParam, lParam, wide);
  Current().counters.messages[Msg]++;
  DeliverNotifies(w->rec.processId);
  w = FindWindowObj(hWnd);
  if (!w) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  // A fault: the system refused to deliver the message (as it refuses one to
  // a process of higher integrity).
  if (FaultHere(function)) {
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
  return AnswerForeign(hWnd, Msg, wParam, lParam, wide, &result) ? result : 0;
}

// *lpdwResult gets the answer, or 0 when there is none (a window that is
// gone, a time-out), as the system writes it either way.
LRESULT SendToWindowWithTimeout(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam, UINT fuFlags,
                                UINT uTimeout, PDWORD_PTR lpdwResult, bool wide,
                                const char* function) {
  if (lpdwResult) *lpdwResult = 0;
  World::Impl& s = State();
  WindowObj* w = FindWindowObj(hWnd);
  if (!w) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  LRESULT result = 0;
  if (IsProgramWindow(*w)) {
    result = CallWindowProcedure(*w, Msg, wParam, lParam, wide);
  } else {
    Current().counters.messages[Msg]++;
    DeliverNotifies(w->rec.processId);
    w = FindWindowObj(hWnd);
    if (!w) {
      SetError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    ProcessObj* p = FindProcess(w->rec.processId);
    DWORD id = w->rec.processId;
    // A fault is a time-out: the other program may still handle the message
    // later, after the time it took.
    if (FaultHere(function)) return TimedOut(id, lParam, uTimeout);
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
    if (!AnswerForeign(hWnd, Msg, wParam, lParam, wide, &result)) return 0;
  }
  if (lpdwResult) *lpdwResult = static_cast<DWORD_PTR>(result);
  return TRUE;
}

BOOL PostToQueue(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
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

BOOL GetFromQueue(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
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

BOOL PeekAtQueue(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                 UINT wRemoveMsg) {
  if (!lpMsg) {
    SetError(ERROR_NOACCESS);
    return FALSE;
  }
  return NextMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, (wRemoveMsg & PM_REMOVE) != 0)
             ? TRUE
             : FALSE;
}

LRESULT Dispatch(const MSG* lpMsg, bool wide) {
  if (!lpMsg || !lpMsg->hwnd) return 0;
  WindowObj* w = FindWindowObj(lpMsg->hwnd);
  if (!w) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (!IsProgramWindow(*w)) return 0;
  return CallWindowProcedure(*w, lpMsg->message, lpMsg->wParam, lpMsg->lParam, wide);
}

// What the default window procedure does; its texts are the window's title.
LRESULT DefaultWindowAnswer(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam, bool wide) {
  WindowObj* w = FindWindowObj(hWnd);
  if (!w) return 0;
  switch (Msg) {
    case WM_NCCREATE: {
      if (wide) {
        auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) w->rec.titleWide = cs->lpszName;
      } else {
        auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) {
          w->rec.titleWide = AnsiText(cs->lpszName);
        }
      }
      return TRUE;
    }
    case WM_CLOSE:
      DestroyWindow(hWnd);
      return 0;
    case WM_GETTEXT:
      if (wide) {
        return CopyWideText(w->rec.titleWide, reinterpret_cast<char16_t*>(lParam),
                            static_cast<int>(wParam));
      }
      return CopyWindowText(WideToAnsi(w->rec.titleWide), reinterpret_cast<char*>(lParam),
                            static_cast<int>(wParam));
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(wide ? w->rec.titleWide.size()
                                       : WideToAnsi(w->rec.titleWide).size());
    case WM_SETTEXT:
      if (wide) {
        const char16_t* text = reinterpret_cast<const char16_t*>(lParam);
        w->rec.titleWide = text ? text : u"";
      } else {
        w->rec.titleWide = AnsiText(reinterpret_cast<const char*>(lParam));
      }
      return TRUE;
    default:
      return 0;
  }
}

}  // namespace

LRESULT CallWindowProcedure(WindowObj& w, UINT msg, WPARAM wParam, LPARAM lParam, bool wide) {
  if (wide == w.unicode) return CallProcedure(w, msg, wParam, lParam);
  return wide ? UnicodeToAnsiWindow(w, msg, wParam, lParam)
              : AnsiToUnicodeWindow(w, msg, wParam, lParam);
}

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

void World::SetDebuggerAttached(bool attached) { impl_->debuggerAttached = attached; }

void World::SetDebugViewerListening(bool listening) { impl_->debugViewerListening = listening; }

}  // namespace sim

using namespace sim;

LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  BeforeWindowCall("SendMessageA", hWnd);
  return SendToWindow(hWnd, Msg, wParam, lParam, false, "SendMessageA");
}

LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  sim::NoteWideCall("SendMessageW");
  BeforeWindowCall("SendMessageW", hWnd);
  return SendToWindow(hWnd, Msg, wParam, lParam, true, "SendMessageW");
}

LRESULT SendMessageTimeoutA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam, UINT fuFlags,
                            UINT uTimeout, PDWORD_PTR lpdwResult) {
  BeforeWindowCall("SendMessageTimeoutA", hWnd);
  return SendToWindowWithTimeout(hWnd, Msg, wParam, lParam, fuFlags, uTimeout, lpdwResult, false,
                                 "SendMessageTimeoutA");
}

LRESULT SendMessageTimeoutW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam, UINT fuFlags,
                            UINT uTimeout, PDWORD_PTR lpdwResult) {
  sim::NoteWideCall("SendMessageTimeoutW");
  BeforeWindowCall("SendMessageTimeoutW", hWnd);
  return SendToWindowWithTimeout(hWnd, Msg, wParam, lParam, fuFlags, uTimeout, lpdwResult, true,
                                 "SendMessageTimeoutW");
}

// Handed to another process's thread, which handles it before the next
// message sent to it with a wait; to the program's own window, handled at once.
BOOL SendNotifyMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  sim::NoteWideCall("SendNotifyMessageW");
  BeforeWindowCall("SendNotifyMessageW", hWnd);
  WindowObj* w = FindWindowObj(hWnd);
  if (!w) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (IsProgramWindow(*w)) {
    CallWindowProcedure(*w, Msg, wParam, lParam, true);
    return TRUE;
  }
  Current().counters.messages[Msg]++;
  Current().counters.notifies++;
  if (FaultHere("SendNotifyMessageW")) {
    SetError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  ProcessObj* p = FindProcess(w->rec.processId);
  if (!p) return TRUE;
  // Until it is handled, it may write into memory the program gave the process.
  NoteLateWrite(p->id, lParam);
  p->notifies.push_back(ProcessObj::Notify{hWnd, Msg, wParam, lParam});
  return TRUE;
}

BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return PostToQueue(hWnd, Msg, wParam, lParam);
}

BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  sim::NoteWideCall("PostMessageW");
  return PostToQueue(hWnd, Msg, wParam, lParam);
}

void PostQuitMessage(int nExitCode) {
  World::Impl& s = State();
  s.quitPending = true;
  s.quitCode = nExitCode;
}

BOOL GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  return GetFromQueue(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax);
}

BOOL GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  sim::NoteWideCall("GetMessageW");
  return GetFromQueue(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax);
}

BOOL PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                  UINT wRemoveMsg) {
  return PeekAtQueue(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg);
}

BOOL PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                  UINT wRemoveMsg) {
  sim::NoteWideCall("PeekMessageW");
  return PeekAtQueue(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg);
}

// Keyboard messages are what it would translate; the sim has no keyboard.
BOOL TranslateMessage(const MSG* lpMsg) {
  return lpMsg && (lpMsg->message == WM_KEYDOWN) ? TRUE : FALSE;
}

LRESULT DispatchMessageA(const MSG* lpMsg) { return Dispatch(lpMsg, false); }

LRESULT DispatchMessageW(const MSG* lpMsg) { return Dispatch(lpMsg, true); }

LRESULT DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return DefaultWindowAnswer(hWnd, Msg, wParam, lParam, false);
}

LRESULT DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  sim::NoteWideCall("DefWindowProcW");
  return DefaultWindowAnswer(hWnd, Msg, wParam, lParam, true);
}
