// Windows of the program and of other programs: creation messages, the
// message loop, Z-order, enumeration order, visibility and texts.
#include <gtest/gtest.h>

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
}

TEST_F(WindowsTest, LoadIconFindsTheProgramsIconResourceWhenThereIsOne) {
  EXPECT_NE(nullptr, LoadIconA(SIM_PROGRAM_INSTANCE, "MyIcon"));
  EXPECT_NE(nullptr, LoadIconA(nullptr, IDI_APPLICATION));
  EXPECT_NE(nullptr, LoadCursorA(nullptr, IDC_ARROW));
  world.SetIconResource("MYICON", false);
  EXPECT_EQ(nullptr, LoadIconA(SIM_PROGRAM_INSTANCE, "MYICON"));
}

}  // namespace
