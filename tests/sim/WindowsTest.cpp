// Windows of the program and of other programs: creation messages, the
// message loop, Z-order, enumeration order, visibility and texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "SimWorld.h"

namespace {

std::vector<std::string> g_log;
bool g_closeInCreate = false;
LRESULT g_createResult = 0;

LRESULT CALLBACK LoggingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_NCCREATE:
      g_log.push_back("WM_NCCREATE");
      break;
    case WM_CREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
      g_log.push_back(std::string("WM_CREATE ") + cs->lpszName);
      if (g_closeInCreate) SendMessageA(hwnd, WM_CLOSE, 0, 0);
      return g_createResult;
    }
    case WM_DESTROY:
      g_log.push_back("WM_DESTROY");
      PostQuitMessage(7);
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

ATOM Register(const char* name) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = LoggingProc;
  wc.hInstance = SIM_PROGRAM_INSTANCE;
  wc.hbrBackground = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
  wc.lpszClassName = name;
  return RegisterClassA(&wc);
}

HWND Create(const char* cls, DWORD exStyle = 0) {
  return CreateWindowExA(exStyle, cls, cls, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                         CW_USEDEFAULT, nullptr, nullptr, SIM_PROGRAM_INSTANCE, nullptr);
}

class WindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_log.clear();
    g_closeInCreate = false;
    g_createResult = 0;
  }
  sim::World world;
};

TEST_F(WindowsTest, ClassNamesAreCaseInsensitiveAndRegisteredOnce) {
  EXPECT_NE(0, Register("Tavix"));
  EXPECT_EQ(0, Register("TAVIX"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS), GetLastError());
  EXPECT_EQ(nullptr, Create("NoSuchClass"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS), GetLastError());
  HWND w = Create("tavix");
  ASSERT_NE(nullptr, w);
  char cls[16];
  EXPECT_EQ(5, GetClassNameA(w, cls, sizeof cls));
  EXPECT_STREQ("Tavix", cls);  // the registered spelling
  // The registered class's background brush belongs to the class; the brush
  // made for the refused registration is the program's and was never deleted.
  EXPECT_EQ(1, world.OutstandingGdiObjects());
  EXPECT_FALSE(UnregisterClassA("Tavix", SIM_PROGRAM_INSTANCE));
}

TEST_F(WindowsTest, CreationSendsNcCreateThenCreateInsideTheCall) {
  Register("Tavix");
  HWND w = Create("Tavix", WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
  ASSERT_NE(nullptr, w);
  EXPECT_EQ((std::vector<std::string>{"WM_NCCREATE", "WM_CREATE Tavix"}), g_log);
  EXPECT_FALSE(IsWindowVisible(w));
  EXPECT_EQ(1, world.LiveWindowsOfCurrentProcess());
}

TEST_F(WindowsTest, AWindowClosedDuringCreationGivesNoHandleAndLeavesTheQuitMessage) {
  Register("Tavix");
  g_closeInCreate = true;
  EXPECT_EQ(nullptr, Create("Tavix"));
  EXPECT_EQ((std::vector<std::string>{"WM_NCCREATE", "WM_CREATE Tavix", "WM_DESTROY"}), g_log);
  EXPECT_EQ(0, world.LiveWindowsOfCurrentProcess());
  HWND recorded = world.FindWindowByClass("Tavix");
  ASSERT_NE(nullptr, recorded);
  EXPECT_FALSE(IsWindow(recorded));
  EXPECT_EQ(0, SendMessageA(recorded, WM_GETTEXTLENGTH, 0, 0));
  MSG msg;
  EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(static_cast<UINT>(WM_QUIT), msg.message);
  EXPECT_EQ(7u, msg.wParam);
  EXPECT_FALSE(world.blockedInMessageLoop);
  // A second loop would now wait forever; the sim reports that instead.
  EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_TRUE(world.blockedInMessageLoop);
}

// The failed window gets no WM_DESTROY (so a procedure that posts the quit
// message there does not), and the creation reports an invalid handle.
TEST_F(WindowsTest, CreateReturningMinusOneDestroysTheWindow) {
  Register("Tavix");
  g_createResult = -1;
  SetLastError(0);
  EXPECT_EQ(nullptr, Create("Tavix"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
  EXPECT_EQ("WM_CREATE Tavix", g_log.back());
  EXPECT_EQ(0, world.LiveWindowsOfCurrentProcess());
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

std::vector<HWND> g_seen;
int g_stopAfter = -1;

BOOL CALLBACK Collect(HWND h, LPARAM) {
  g_seen.push_back(h);
  return static_cast<int>(g_seen.size()) != g_stopAfter;
}

TEST_F(WindowsTest, EnumWindowsReportsTopLevelWindowsFrontFirst) {
  HWND older = world.AddWindow("CabinetWClass", "Data", true);
  HWND newer = world.AddWindow("Notepad", "memo.txt - Notepad", true);
  Register("Tavix");
  HWND own = Create("Tavix", WS_EX_TOPMOST);
  HWND newest = world.AddWindow("Other", "x", false);  // below the topmost window
  g_seen.clear();
  g_stopAfter = -1;
  EXPECT_TRUE(EnumWindows(Collect, 0));
  EXPECT_EQ((std::vector<HWND>{own, newest, newer, older}), g_seen);
  g_seen.clear();
  g_stopAfter = 2;
  EXPECT_FALSE(EnumWindows(Collect, 0));
  EXPECT_EQ(2u, g_seen.size());
  // Raising a window puts it in front of the other normal windows.
  SetForegroundWindow(older);
  EXPECT_EQ(older, GetForegroundWindow());
  EXPECT_EQ(older, GetWindow(own, GW_HWNDNEXT));
}

TEST_F(WindowsTest, EnumChildWindowsVisitsEachChildThenItsDescendants) {
  HWND top = world.AddWindow("ExploreWClass", "Data", true);
  HWND a = world.AddWindow("A", "", true, top);
  HWND a1 = world.AddWindow("A1", "", true, a);
  HWND a2 = world.AddWindow("A2", "", true, a);
  HWND a1x = world.AddWindow("A1x", "", true, a1);
  HWND b = world.AddWindow("B", "", true, top);
  g_seen.clear();
  g_stopAfter = -1;
  EnumChildWindows(top, Collect, 0);
  EXPECT_EQ((std::vector<HWND>{a, a1, a1x, a2, b}), g_seen);
  EXPECT_EQ(a, GetWindow(top, GW_CHILD));
  EXPECT_EQ(a1, FindWindowExA(a, nullptr, "a1", nullptr));
  EXPECT_EQ(a2, FindWindowExA(a, a1, nullptr, nullptr));
  EXPECT_EQ(nullptr, FindWindowExA(top, nullptr, "A1", nullptr));  // direct children only
}

// The desktop window's descendants are every window; a NULL parent stands for
// the top-level windows only, as EnumWindows reports them.
TEST_F(WindowsTest, EnumChildWindowsOfTheDesktopReachesEveryWindowAndOfNullOnlyTopLevelOnes) {
  HWND top = world.AddWindow("ExploreWClass", "Data", true);
  HWND child = world.AddWindow("A", "", true, top);
  HWND second = world.AddWindow("Notepad", "memo", true);
  g_seen.clear();
  g_stopAfter = -1;
  EnumChildWindows(GetDesktopWindow(), Collect, 0);
  EXPECT_EQ((std::vector<HWND>{second, top, child}), g_seen);
  g_seen.clear();
  EnumChildWindows(nullptr, Collect, 0);
  EXPECT_EQ((std::vector<HWND>{second, top}), g_seen);
}

TEST_F(WindowsTest, FindWindowExFindingNothingLeavesTheLastErrorAlone) {
  HWND top = world.AddWindow("ExploreWClass", "Data", true);
  HWND child = world.AddWindow("A", "", true, top);
  HWND grandchild = world.AddWindow("A", "", true, child);
  SetLastError(1234);
  EXPECT_EQ(nullptr, FindWindowExA(top, nullptr, "NoSuchClass", nullptr));
  EXPECT_EQ(nullptr, FindWindowExA(top, child, "A", nullptr));
  EXPECT_EQ(nullptr, FindWindowExA(top, grandchild, "A", nullptr));  // not a child of top
  EXPECT_EQ(nullptr, FindWindowExA(top, nullptr, nullptr, "no such title"));
  EXPECT_EQ(1234u, GetLastError());
}

// The system keeps the program's window texts in Unicode: a final lead byte
// with nothing after it does not survive the conversion.
TEST_F(WindowsTest, AFinalLoneLeadByteIsLostFromTheProgramsWindowText) {
  Register("Tavix");
  HWND own = CreateWindowExA(0, "Tavix", "ab\x88", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             SIM_PROGRAM_INSTANCE, nullptr);
  char buf[16];
  EXPECT_EQ(2, GetWindowTextA(own, buf, sizeof buf));
  EXPECT_STREQ("ab", buf);
  EXPECT_TRUE(SetWindowTextA(own, "\x95\x95\x95"));
  EXPECT_EQ(2, GetWindowTextLengthA(own));
  EXPECT_TRUE(SetWindowTextA(own, "\x95\x5C"));  // a whole character stays
  EXPECT_EQ(2, GetWindowTextLengthA(own));
  world.SetCodePage(1252);  // no lead bytes there
  EXPECT_TRUE(SetWindowTextA(own, "ab\x88"));
  EXPECT_EQ(3, GetWindowTextLengthA(own));
}

TEST_F(WindowsTest, AWindowIsVisibleOnlyWhenItsAncestorsAreToo) {
  HWND top = world.AddWindow("Top", "t", false);
  HWND child = world.AddWindow("Child", "", true, top);
  EXPECT_FALSE(IsWindowVisible(child));
  world.SetWindowVisible(top, true);
  EXPECT_TRUE(IsWindowVisible(child));
  EXPECT_FALSE(ShowWindow(top, SW_RESTORE) == FALSE);  // was visible
  EXPECT_EQ(1u, world.showWindowCalls.size());
}

TEST_F(WindowsTest, TextsAreCutToTheBufferWithTheirTerminator) {
  HWND other = world.AddWindow("CabinetWClass", "C:\\Data", true);
  char buf[5];
  EXPECT_EQ(4, GetWindowTextA(other, buf, sizeof buf));
  EXPECT_STREQ("C:\\D", buf);
  char text[64];
  EXPECT_EQ(7, SendMessageA(other, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text)));
  EXPECT_STREQ("C:\\Data", text);
  DWORD pid = 0;
  GetWindowThreadProcessId(other, &pid);
  EXPECT_NE(sim::kProgramProcessId, pid);
  world.RemoveWindow(other);
  EXPECT_EQ(0, GetWindowTextA(other, buf, sizeof buf));
  EXPECT_STREQ("", buf);
}

TEST_F(WindowsTest, MessageBoxesAreRecordedWithTheirOwnersClass) {
  Register("Tavix");
  HWND w = Create("Tavix");
  SetForegroundWindow(w);
  EXPECT_EQ(IDOK, MessageBoxA(w, "text", "caption", MB_ICONERROR));
  ASSERT_EQ(1u, world.messageBoxes.size());
  const sim::MessageBoxRecord& box = world.messageBoxes[0];
  EXPECT_EQ(w, box.owner);
  EXPECT_EQ("Tavix", box.ownerClass);
  EXPECT_EQ("caption", box.caption);
  EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), box.type);
  EXPECT_TRUE(box.ownerMadeForeground);
  EXPECT_FALSE(box.wide);
  // MessageBoxW: the record holds its texts in the code page, with no look-alikes.
  EXPECT_EQ(IDOK, MessageBoxW(w, u"r\u00e9sum\u00e9 \u8868", nullptr, MB_OK));
  ASSERT_EQ(2u, world.messageBoxes.size());
  EXPECT_TRUE(world.messageBoxes[1].wide);
  EXPECT_EQ("r?sum? \x95\x5C", world.messageBoxes[1].text);
  EXPECT_EQ("Error", world.messageBoxes[1].caption);
  EXPECT_EQ("Tavix", world.messageBoxes[1].ownerClass);
}

// Texts of another program's windows, one per kind of character: a letter
// the code page lacks but has a look-alike for, Hangul (no look-alike), a
// kanji beyond the basic plane, an emoji.
const std::u16string kResume = u"r\u00e9sum\u00e9.txt";
const std::u16string kWideTitles[] = {kResume, u"resume.txt", u"\uD55C\uAE00",
                                      u"\U00020BB7\u91CE\u5BB6", u"\U0001F600 smile"};

// What an ANSI program reads: the look-alike, '?' where there is none.
std::string AnsiLookAlike(const std::u16string& title) {
  if (title == kResume) return "resume.txt";
  if (title == u"\uD55C\uAE00") return "??";
  if (title == u"\U00020BB7\u91CE\u5BB6") return sim::Ansi(u"\U00020BB7") + "\x96\xEC\x89\xC6";
  if (title == u"\U0001F600 smile") return sim::Ansi(u"\U0001F600") + " smile";
  return sim::Ansi(title);
}

TEST_F(WindowsTest, AnotherProgramsTextsComeWholeThroughWAndAsLookAlikesThroughA) {
  for (const std::u16string& title : kWideTitles) {
    HWND w = world.AddWindow(u"Viewer\u00e9", title, true);
    char16_t wide[64];
    EXPECT_EQ(static_cast<int>(title.size()), GetWindowTextW(w, wide, 64));
    EXPECT_EQ(title, std::u16string(wide));
    EXPECT_EQ(static_cast<int>(title.size()), GetWindowTextLengthW(w));
    char ansi[64];
    std::string expected = AnsiLookAlike(title);
    EXPECT_EQ(static_cast<int>(expected.size()), GetWindowTextA(w, ansi, sizeof ansi));
    EXPECT_EQ(expected, std::string(ansi));
    EXPECT_EQ(static_cast<int>(expected.size()), GetWindowTextLengthA(w));
    // The record a test reads has no look-alikes.
    EXPECT_EQ(title, world.Window(w).titleWide);
    EXPECT_EQ(sim::Ansi(title), world.Window(w).title);
    EXPECT_EQ("Viewer?", world.Window(w).className);
    EXPECT_EQ(7, GetClassNameW(w, wide, 64));
    EXPECT_EQ(u"Viewer\u00e9", std::u16string(wide));
    EXPECT_EQ(7, GetClassNameA(w, ansi, sizeof ansi));
    EXPECT_STREQ("Viewere", ansi);
  }
  // Cut to the buffer: the W form counts UTF-16 units, and cuts a surrogate
  // pair as any other pair of units.
  HWND emoji = world.AddWindow("Viewer", u"\U0001F600 smile", true);
  char16_t cut[4] = {u'#', u'#', u'#', u'#'};
  EXPECT_EQ(1, GetWindowTextW(emoji, cut, 2));
  EXPECT_EQ(std::u16string(u"\xD83D"), std::u16string(cut));
  EXPECT_EQ(3, GetClassNameW(emoji, cut, 4));
  EXPECT_EQ(u"Vie", std::u16string(cut));
  // With no room for a character GetClassNameW fails and leaves the buffer alone.
  cut[0] = u'#';
  EXPECT_EQ(0, GetClassNameW(emoji, cut, 1));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
  EXPECT_EQ(u'#', cut[0]);
}

// Two files whose names differ only by an accent are told apart through W;
// through A both look like the one without it.
TEST_F(WindowsTest, TitlesThatDifferOnlyByAnAccentAreFoundApartThroughW) {
  HWND plain = world.AddWindow("Viewer", u"resume.txt", true);
  HWND accented = world.AddWindow("Viewer", kResume, true);
  EXPECT_EQ(accented, FindWindowW(nullptr, kResume.c_str()));
  EXPECT_EQ(accented, FindWindowW(u"VIEWER", u"R\u00c9SUM\u00c9.TXT"));  // É folds to é
  EXPECT_EQ(plain, FindWindowW(nullptr, u"resume.txt"));
  EXPECT_EQ(plain, FindWindowA(nullptr, "resume.txt"));
  EXPECT_EQ(nullptr, FindWindowExW(nullptr, accented, nullptr, kResume.c_str()));
  char a1[16], a2[16];
  GetWindowTextA(plain, a1, sizeof a1);
  GetWindowTextA(accented, a2, sizeof a2);
  EXPECT_STREQ(a1, a2);
}

std::u16string g_wideCreateName;
std::string g_ansiCreateName;

LRESULT CALLBACK WideProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CREATE) g_wideCreateName = reinterpret_cast<CREATESTRUCTW*>(lp)->lpszName;
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK AnsiProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CREATE) g_ansiCreateName = reinterpret_cast<CREATESTRUCTA*>(lp)->lpszName;
  return DefWindowProcA(hwnd, msg, wp, lp);
}

HWND CreateW(const char16_t* cls, const char16_t* title) {
  return CreateWindowExW(0, cls, title, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                         SIM_PROGRAM_INSTANCE, nullptr);
}

// The class decides what the procedure gets: a class registered with W gets
// W messages also from CreateWindowExA and SendMessageA, converted; one
// registered with A gets A messages, and keeps the converted title.
TEST_F(WindowsTest, TheClassDecidesWhetherTheProcedureGetsWOrAMessages) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = WideProc;
  wc.hInstance = SIM_PROGRAM_INSTANCE;
  wc.lpszClassName = u"Tavix\u00e9";
  ASSERT_NE(0, RegisterClassW(&wc));
  EXPECT_EQ(0, RegisterClassW(&wc));
  EXPECT_EQ(static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS), GetLastError());
  HWND wide = CreateW(u"TAVIX\u00c9", u"r\u00e9sum\u00e9 \U0001F600");
  ASSERT_NE(nullptr, wide);
  EXPECT_EQ(u"r\u00e9sum\u00e9 \U0001F600", g_wideCreateName);
  EXPECT_EQ(u"Tavix\u00e9", world.Window(wide).classNameWide);
  char16_t text[16];
  EXPECT_EQ(9, GetWindowTextW(wide, text, 16));
  EXPECT_EQ(9, GetWindowTextLengthW(wide));
  char ansi[16];
  std::string lookAlike = "resume " + sim::Ansi(u"\U0001F600");
  EXPECT_EQ(static_cast<int>(lookAlike.size()), GetWindowTextA(wide, ansi, sizeof ansi));
  EXPECT_EQ(lookAlike, std::string(ansi));
  EXPECT_EQ(static_cast<int>(lookAlike.size()), GetWindowTextLengthA(wide));
  // The look-alike of the class name names no class.
  EXPECT_EQ(nullptr, CreateWindowExA(0, "tavixe", "x", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                     SIM_PROGRAM_INSTANCE, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS), GetLastError());
  // WM_GETTEXT counts bytes for A and units for W.
  EXPECT_TRUE(SetWindowTextA(wide, "ab\x95\x5C"));
  EXPECT_EQ(3, GetWindowTextLengthW(wide));
  EXPECT_EQ(u"ab\u8868", world.Window(wide).titleWide);
  std::memset(ansi, '#', sizeof ansi);
  EXPECT_EQ(2, SendMessageA(wide, WM_GETTEXT, 4, reinterpret_cast<LPARAM>(ansi)));
  EXPECT_STREQ("ab", ansi);  // the kanji does not fit with the zero: whole characters only
  EXPECT_EQ(4, SendMessageA(wide, WM_GETTEXT, 5, reinterpret_cast<LPARAM>(ansi)));
  EXPECT_STREQ("ab\x95\x5C", ansi);
  EXPECT_EQ(2, SendMessageW(wide, WM_GETTEXT, 3, reinterpret_cast<LPARAM>(text)));
  EXPECT_EQ(u"ab", std::u16string(text));

  WNDCLASSA ac = {};
  ac.lpfnWndProc = AnsiProc;
  ac.hInstance = SIM_PROGRAM_INSTANCE;
  ac.lpszClassName = "TavixA";
  ASSERT_NE(0, RegisterClassA(&ac));
  HWND narrow = CreateW(u"TavixA", u"caf\u00e9 \uD55C");
  ASSERT_NE(nullptr, narrow);
  EXPECT_EQ("cafe ?", g_ansiCreateName);
  EXPECT_EQ(6, GetWindowTextW(narrow, text, 16));
  EXPECT_EQ(u"cafe ?", std::u16string(text));  // the window kept what its procedure got
  EXPECT_TRUE(SetWindowTextW(narrow, u"\u8868\u00e9"));
  EXPECT_EQ(u"\u8868e", world.Window(narrow).titleWide);
  EXPECT_TRUE(UnregisterClassW(u"tavixa", SIM_PROGRAM_INSTANCE) == FALSE);  // it has a window
  EXPECT_EQ(static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS), GetLastError());
  EXPECT_EQ(narrow, world.FindWindowByClass(u"TAVIXA"));
}

// The system's edit field (and the combo box around one) ends an ANSI text
// at the last byte of the buffer, even inside a two-byte character; a
// window of the program's own class gives whole characters only.
TEST_F(WindowsTest, AnEditFieldCutsItsAnsiTextAtTheLastByteOfTheBuffer) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = WideProc;
  wc.hInstance = SIM_PROGRAM_INSTANCE;
  wc.lpszClassName = u"Own";
  ASSERT_NE(0, RegisterClassW(&wc));
  HWND own = CreateW(u"Own", u"ab\u8868\U0001F600");
  HWND edit = CreateWindowExW(0, u"EDIT", u"", WS_CHILD, 0, 0, 10, 10, own, nullptr,
                              SIM_PROGRAM_INSTANCE, nullptr);
  HWND combo = CreateWindowExW(0, u"ComboBox", u"", WS_CHILD | 0x0002, 0, 0, 10, 10, own,
                               nullptr, SIM_PROGRAM_INSTANCE, nullptr);
  ASSERT_NE(nullptr, edit);
  ASSERT_NE(nullptr, combo);
  for (HWND box : {edit, combo}) {
    EXPECT_TRUE(SetWindowTextW(box, u"ab\u8868\U0001F600"));
    char ansi[8];
    EXPECT_EQ(3, SendMessageA(box, WM_GETTEXT, 4, reinterpret_cast<LPARAM>(ansi)));
    EXPECT_STREQ("ab\x95", ansi);
    EXPECT_EQ(4, SendMessageA(box, WM_GETTEXT, 5, reinterpret_cast<LPARAM>(ansi)));
    EXPECT_STREQ("ab\x95\x5C", ansi);
    char16_t wide[8];
    EXPECT_EQ(3, SendMessageW(box, WM_GETTEXT, 4, reinterpret_cast<LPARAM>(wide)));
    EXPECT_EQ(u"ab\u8868", std::u16string(wide));
  }
  char ansi[8];
  EXPECT_EQ(2, SendMessageA(own, WM_GETTEXT, 4, reinterpret_cast<LPARAM>(ansi)));
  EXPECT_STREQ("ab", ansi);
  EXPECT_TRUE(DestroyWindow(own));
  EXPECT_FALSE(IsWindow(edit));
}

TEST_F(WindowsTest, LoadIconFindsTheProgramsIconResourceWhenThereIsOne) {
  EXPECT_NE(nullptr, LoadIconA(SIM_PROGRAM_INSTANCE, "MyIcon"));
  EXPECT_NE(nullptr, LoadIconA(nullptr, IDI_APPLICATION));
  EXPECT_NE(nullptr, LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_EQ(LoadIconA(SIM_PROGRAM_INSTANCE, "MYICON"), LoadIconW(SIM_PROGRAM_INSTANCE, u"myicon"));
  EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW),
            LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
  world.SetIconResource("MYICON", false);
  EXPECT_EQ(nullptr, LoadIconA(SIM_PROGRAM_INSTANCE, "MYICON"));
}

}  // namespace
