// Messages to other programs' windows: time-outs, hung and slow processes,
// late writes, counters, unterminated texts, and windows that go away while
// the program looks at them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "RunTimeFunctions.h"
#include "SimWorld.h"

namespace {

// Waiting costs no time in the sim: the clock runs on by the wait.
TEST(SendMessageTimeout, HungAndSlowProcessesCostTheirWaitOnTheClock) {
  const struct {
    bool hung, abortAtOnce;
    DWORD delay;
    UINT flags, timeout;
    bool answered;
    DWORD elapsed;
  } cases[] = {
      {true, false, 0, SMTO_NORMAL, 5000, false, 5000},
      {true, false, 0, SMTO_ABORTIFHUNG, 5000, false, 5000},  // not yet known as hung
      {true, true, 0, SMTO_NORMAL, 5000, false, 5000},
      {true, true, 0, SMTO_ABORTIFHUNG, 5000, false, 0},
      {false, false, 300, SMTO_ABORTIFHUNG, 300, true, 300},
      {false, false, 300, SMTO_ABORTIFHUNG, 200, false, 200},
      {false, false, 300, SMTO_NOTIMEOUTIFNOTHUNG, 200, true, 300},
  };
  for (const auto& c : cases) {
    sim::World world;
    DWORD pid = world.AddProcess("C:\\filer.exe");
    HWND w = world.AddWindow("Filer", "C:\\Data", true, nullptr, pid);
    world.SetHung(pid, c.hung, c.abortAtOnce);
    world.SetMessageDelay(pid, c.delay);
    DWORD before = GetTickCount();
    DWORD_PTR answer = 77;
    LRESULT ok = SendMessageTimeoutA(w, WM_GETTEXTLENGTH, 0, 0, c.flags, c.timeout, &answer);
    EXPECT_EQ(c.answered, ok != 0) << c.hung << " " << c.flags << " " << c.timeout;
    EXPECT_EQ(c.answered ? 7u : 0u, answer);  // 0 when there is no answer
    if (!c.answered) {
      EXPECT_EQ(static_cast<DWORD>(ERROR_TIMEOUT), GetLastError());
    }
    EXPECT_EQ(c.elapsed, GetTickCount() - before) << c.hung << " " << c.flags << " " << c.timeout;
  }
}

TEST(SendMessageTimeout, AWindowThatIsGoneGivesNoAnswerAndAnInvalidHandleError) {
  sim::World world;
  HWND w = world.AddWindow("Filer", "C:\\Data", true);
  world.RemoveWindow(w);
  DWORD_PTR answer = 77;
  EXPECT_EQ(0, SendMessageTimeoutA(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 100, &answer));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
  EXPECT_EQ(0u, answer);
}

TEST(SendMessageTimeout, ReleasingMemoryATimedOutMessagePointsAtIsCounted) {
  sim::World world;
  DWORD pid = world.AddProcess("C:\\filer.exe");
  HWND w = world.AddWindow("SysListView32", "", true, nullptr, pid);
  HANDLE h = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
  ULONG_PTR target = RemoteAlloc(h, 64);
  ULONG_PTR untouched = RemoteAlloc(h, 64);
  world.SetHung(pid, true);
  EXPECT_EQ(0, SendMessageTimeoutA(w, LVM_GETITEMA, 0, static_cast<LPARAM>(target + 8),
                                   SMTO_ABORTIFHUNG, 100, nullptr));
  auto release = Kernel32<VirtualFreeExFn>("VirtualFreeEx");
  release(h, reinterpret_cast<LPVOID>(untouched), 0, MEM_RELEASE);
  EXPECT_EQ(0, world.lateWritesIntoReleasedMemory);
  release(h, reinterpret_cast<LPVOID>(target), 0, MEM_RELEASE);
  EXPECT_EQ(1, world.lateWritesIntoReleasedMemory);
  CloseHandle(h);

  // Windows 98: the record lies in a shared view, which the program unmaps.
  world.SetWindows98();
  HANDLE mapping =
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64, nullptr);
  void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
  EXPECT_EQ(0, SendMessageTimeoutA(w, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(view), SMTO_NORMAL,
                                   100, nullptr));
  CloseHandle(mapping);
  EXPECT_EQ(1, world.lateWritesIntoReleasedMemory);
  UnmapViewOfFile(view);
  EXPECT_EQ(2, world.lateWritesIntoReleasedMemory);
}

TEST(SendMessage, AHungWindowBlocksAndEveryForeignMessageIsCounted) {
  sim::World world;
  DWORD pid = world.AddProcess("C:\\filer.exe");
  HWND w = world.AddWindow("Filer", "C:\\Data", true, nullptr, pid);
  EXPECT_EQ(7, SendMessageA(w, WM_GETTEXTLENGTH, 0, 0));
  DWORD_PTR answer = 0;
  EXPECT_TRUE(SendMessageTimeoutA(w, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 100, &answer));
  world.SetHung(pid, true);
  EXPECT_FALSE(world.blockedOnHungWindow);
  EXPECT_EQ(0, SendMessageA(w, WM_GETTEXTLENGTH, 0, 0));
  EXPECT_TRUE(world.blockedOnHungWindow);
  EXPECT_EQ(3, world.counters.messages[WM_GETTEXTLENGTH]);
  EXPECT_EQ(3, world.counters.RoundTrips());
  world.RemoveWindow(w);
  EXPECT_FALSE(SendMessageTimeoutA(w, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 100, &answer));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
}

TEST(SendMessage, AnUnterminatedTextFillsTheWholeBuffer) {
  sim::World world;
  HWND combo = world.AddWindow("ComboBox", "C:\\Data", true);
  world.SetUnterminatedText(combo, true);
  char buffer[12];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(10, SendMessageA(combo, WM_GETTEXT, 10, reinterpret_cast<LPARAM>(buffer)));
  EXPECT_EQ("C:\\DataC:\\##", std::string(buffer, sizeof buffer));
}

// An address combo box whose folder has a name the code page lacks: W gives
// it as it is, counting UTF-16 units; A gives the look-alike in bytes, never
// cutting a two-byte character.
TEST(SendMessage, WmGetTextCountsUnitsForWAndBytesForA) {
  sim::World world;
  const std::u16string folder = u"D:\\r\u00e9sum\u00e9\\\u8868";  // D:\résumé\表
  HWND combo = world.AddWindow("ComboBox", folder, true);
  char16_t wide[32];
  EXPECT_EQ(11, SendMessageW(combo, WM_GETTEXT, 32, reinterpret_cast<LPARAM>(wide)));
  EXPECT_EQ(folder, std::u16string(wide));
  EXPECT_EQ(4, SendMessageW(combo, WM_GETTEXT, 5, reinterpret_cast<LPARAM>(wide)));
  EXPECT_EQ(u"D:\\r", std::u16string(wide));
  EXPECT_EQ(11, SendMessageW(combo, WM_GETTEXTLENGTH, 0, 0));
  char ansi[32];
  EXPECT_EQ(12, SendMessageA(combo, WM_GETTEXT, 32, reinterpret_cast<LPARAM>(ansi)));
  EXPECT_STREQ("D:\\resume\\\x95\x5C", ansi);
  EXPECT_EQ(10, SendMessageA(combo, WM_GETTEXT, 12, reinterpret_cast<LPARAM>(ansi)));
  EXPECT_STREQ("D:\\resume\\", ansi);
  EXPECT_EQ(12, SendMessageA(combo, WM_GETTEXTLENGTH, 0, 0));
  DWORD_PTR answer = 0;
  EXPECT_TRUE(SendMessageTimeoutW(combo, WM_GETTEXT, 32, reinterpret_cast<LPARAM>(wide),
                                  SMTO_ABORTIFHUNG, 100, &answer));
  EXPECT_EQ(11u, answer);
  EXPECT_EQ(5, world.counters.messages[WM_GETTEXT]);

  // Unterminated: the whole buffer, in units or in bytes.
  world.SetUnterminatedText(combo, true);
  char16_t filled[14];
  EXPECT_EQ(14, SendMessageW(combo, WM_GETTEXT, 14, reinterpret_cast<LPARAM>(filled)));
  EXPECT_EQ(folder + u"D:\\", std::u16string(filled, 14));
  char bytes[14];
  EXPECT_EQ(14, SendMessageA(combo, WM_GETTEXT, 14, reinterpret_cast<LPARAM>(bytes)));
  EXPECT_EQ(std::string("D:\\resume\\\x95\x5C" "D:", 14), std::string(bytes, 14));

  EXPECT_TRUE(SendMessageW(combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"\uD55C")));
  EXPECT_EQ(u"\uD55C", world.Window(combo).titleWide);
  EXPECT_TRUE(SendMessageA(combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("\x95\x5C")));
  EXPECT_EQ(u"\u8868", world.Window(combo).titleWide);
}

TEST(SendMessageTimeout, TheWFormWaitsAndTimesOutAsTheAForm) {
  sim::World world;
  DWORD pid = world.AddProcess("C:\\filer.exe");
  HWND w = world.AddWindow("Filer", u"C:\\\uD55C", true, nullptr, pid);
  world.SetMessageDelay(pid, 300);
  DWORD before = GetTickCount();
  DWORD_PTR answer = 77;
  EXPECT_FALSE(SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 200, &answer));
  EXPECT_EQ(static_cast<DWORD>(ERROR_TIMEOUT), GetLastError());
  EXPECT_EQ(0u, answer);
  EXPECT_TRUE(SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_NOTIMEOUTIFNOTHUNG, 200, &answer));
  EXPECT_EQ(4u, answer);
  EXPECT_EQ(500u, GetTickCount() - before);
  world.SetHung(pid, true);
  EXPECT_EQ(0, SendMessageW(w, WM_GETTEXTLENGTH, 0, 0));
  EXPECT_TRUE(world.blockedOnHungWindow);
  EXPECT_EQ(3, world.counters.messages[WM_GETTEXTLENGTH]);
}

std::vector<HWND> g_reported;

BOOL CALLBACK Report(HWND h, LPARAM) {
  g_reported.push_back(h);
  return TRUE;
}

TEST(BeforeWindowCall, AWindowRemovedJustBeforeItIsReportedIsSkipped) {
  sim::World world;
  HWND first = world.AddWindow("A", "a", true);
  HWND second = world.AddWindow("B", "b", true);
  std::vector<std::string> calls;
  world.beforeWindowCall = [&](const char* function, HWND h) {
    calls.push_back(function);
    if (h == first) world.RemoveWindow(first);
    char text[8];
    GetWindowTextA(h, text, sizeof text);  // the hook is not called again from inside itself
  };
  g_reported.clear();
  EXPECT_TRUE(EnumWindows(Report, 0));
  EXPECT_EQ(std::vector<HWND>{second}, g_reported);
  EXPECT_EQ((std::vector<std::string>{"EnumWindows", "EnumWindows"}), calls);
  char text[8] = "x";
  EXPECT_EQ(0, GetWindowTextA(first, text, sizeof text));
  EXPECT_STREQ("", text);
}

TEST(BeforeWindowCall, TheWFunctionsCallItWithTheirOwnNames) {
  sim::World world;
  HWND top = world.AddWindow("Top", u"\uD55C", true);
  std::vector<std::string> calls;
  world.beforeWindowCall = [&](const char* function, HWND) { calls.push_back(function); };
  char16_t text[8];
  GetWindowTextW(top, text, 8);
  GetClassNameW(top, text, 8);
  SendMessageW(top, WM_GETTEXTLENGTH, 0, 0);
  SendMessageTimeoutW(top, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 100, nullptr);
  FindWindowExW(nullptr, nullptr, u"Top", nullptr);
  char ansi[8];
  GetWindowTextA(top, ansi, 8);
  EXPECT_EQ((std::vector<std::string>{"GetWindowTextW", "GetClassNameW", "SendMessageW",
                                      "SendMessageTimeoutW", "FindWindowExW", "GetWindowTextA"}),
            calls);
}

TEST(BeforeWindowCall, AProcessEndedDuringEnumerationTakesItsChildrenOutOfIt) {
  sim::World world;
  DWORD pid = world.AddProcess("C:\\filer.exe");
  HWND top = world.AddWindow("Top", "", true);
  HWND a = world.AddWindow("A", "", true, top);
  HWND b = world.AddWindow("B", "", true, top, pid);
  world.AddWindow("B1", "", true, b, pid);
  HWND c = world.AddWindow("C", "", true, top);
  world.beforeWindowCall = [&](const char*, HWND h) {
    if (h == b) world.EndProcess(pid);
  };
  g_reported.clear();
  EXPECT_TRUE(EnumChildWindows(top, Report, 0));
  EXPECT_EQ((std::vector<HWND>{a, c}), g_reported);
  world.beforeWindowCall = [&](const char*, HWND h) { world.RemoveWindow(h); };
  EXPECT_EQ(0u, GetWindowThreadProcessId(c, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
  EXPECT_FALSE(IsWindowVisible(a));
}

}  // namespace
