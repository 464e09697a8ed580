// The program's own process: module path, version, current directory, trace.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "SimWorld.h"

namespace {

TEST(GetModuleFileNameA, ReturnsTheLengthOrCutsTheWayTheWindowsVersionDoes) {
  sim::World world;
  char buf[32];
  EXPECT_EQ(strlen("C:\\Tavix\\Tavix.exe"), GetModuleFileNameA(nullptr, buf, sizeof buf));
  EXPECT_STREQ("C:\\Tavix\\Tavix.exe", buf);

  // Windows XP: nSize characters and no terminating NUL.
  char xp[8];
  memset(xp, '#', sizeof xp);
  SetLastError(0);
  EXPECT_EQ(5u, GetModuleFileNameA(nullptr, xp, 5));
  EXPECT_EQ(std::string("C:\\Ta###", 8), std::string(xp, 8));
  EXPECT_EQ(0u, GetLastError());

  // Later versions keep the NUL and report the short buffer.
  world.SetOsVersion(6, 1, 7601, VER_PLATFORM_WIN32_NT);
  memset(xp, '#', sizeof xp);
  EXPECT_EQ(5u, GetModuleFileNameA(nullptr, xp, 5));
  EXPECT_STREQ("C:\\T", xp);
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
}

TEST(GetVersionExA, AcceptsOnlyTheTwoRecordSizes) {
  sim::World world;
  OSVERSIONINFOA info;
  memset(&info, 0, sizeof info);
  static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA has the Win32 size");
  static_assert(sizeof(OSVERSIONINFOEXA) == 156, "OSVERSIONINFOEXA has the Win32 size");
  info.dwOSVersionInfoSize = 100;
  EXPECT_FALSE(GetVersionExA(&info));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(5u, info.dwMajorVersion);
  EXPECT_EQ(1u, info.dwMinorVersion);
  EXPECT_EQ(2600u, info.dwBuildNumber);
  EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_NT), info.dwPlatformId);

  world.SetWindows98();
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(4u, info.dwMajorVersion);
  EXPECT_EQ(10u, info.dwMinorVersion);
  EXPECT_EQ(2222u, LOWORD(info.dwBuildNumber));
  EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS), info.dwPlatformId);
  OSVERSIONINFOEXA ex;
  memset(&ex, 0, sizeof ex);
  ex.dwOSVersionInfoSize = sizeof ex;
  EXPECT_FALSE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&ex)));
}

TEST(CurrentDirectory, ReportsSizesLikeTheOtherPathFunctions) {
  sim::World world;
  world.AddDirectory("C:\\Work\\Deep");
  EXPECT_TRUE(SetCurrentDirectoryA("c:\\work\\deep\\"));
  char buf[MAX_PATH];
  // The directory keeps the spelling it was set with, drive letter included.
  EXPECT_EQ(strlen("c:\\work\\deep"), GetCurrentDirectoryA(MAX_PATH, buf));
  EXPECT_STREQ("c:\\work\\deep", buf);
  char small[4];
  EXPECT_EQ(strlen("C:\\Work\\Deep") + 1, GetCurrentDirectoryA(sizeof small, small));
  EXPECT_TRUE(SetCurrentDirectoryA(".."));
  EXPECT_EQ("c:\\work", world.CurrentDirectory());
  EXPECT_FALSE(SetCurrentDirectoryA("Missing"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST(OutputDebugStringA, RecordsOneLinePerCallWithoutTheLineBreak) {
  sim::World world;
  OutputDebugStringA("first\r\n");
  OutputDebugStringA("second\n");
  OutputDebugStringA("third");
  EXPECT_EQ((std::vector<std::string>{"first", "second", "third"}), world.trace);
}

// ----- the W forms -----

TEST(GetModuleFileNameW, CountsUnitsAndCutsAsTheAFormDoes) {
  sim::World world;
  world.SetModulePath(u"C:\\\ud55c\uae00\\Tavix.exe");
  EXPECT_EQ("C:\\??\\Tavix.exe", world.ModulePath());
  char16_t buf[32];
  EXPECT_EQ(15u, GetModuleFileNameW(nullptr, buf, 32));
  EXPECT_EQ(std::u16string(u"C:\\\ud55c\uae00\\Tavix.exe"), buf);
  char ansi[32];
  EXPECT_EQ(15u, GetModuleFileNameA(nullptr, ansi, sizeof ansi));
  EXPECT_STREQ("C:\\??\\Tavix.exe", ansi);
  EXPECT_EQ(0, lstrcmpW(u"\"C:\\\ud55c\uae00\\Tavix.exe\"", GetCommandLineW()));

  // Windows XP: nSize characters and no terminating zero.
  std::u16string cut(8, u'#');
  SetLastError(5);
  EXPECT_EQ(4u, GetModuleFileNameW(nullptr, &cut[0], 4));
  EXPECT_EQ(std::u16string(u"C:\\\ud55c####"), cut);
  EXPECT_EQ(0u, GetLastError());
  // Later versions keep the zero and report the short buffer.
  world.SetOsVersion(6, 1, 7601, VER_PLATFORM_WIN32_NT);
  cut.assign(8, u'#');
  EXPECT_EQ(4u, GetModuleFileNameW(nullptr, &cut[0], 4));
  EXPECT_EQ(std::u16string(u"C:\\\0####", 8), cut);
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());

  // A fault fails it as it fails the A form, and the A form passes its own fault point only.
  world.CountFallibleCalls();
  world.FailFallibleCall(1);
  cut.assign(8, u'#');
  EXPECT_EQ(0u, GetModuleFileNameW(nullptr, &cut[0], 8));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
  EXPECT_EQ(std::u16string(8, u'#'), cut);
  EXPECT_NE(0u, GetModuleFileNameA(nullptr, ansi, sizeof ansi));
  EXPECT_EQ((std::vector<std::string>{"GetModuleFileNameW failed", "GetModuleFileNameA"}),
            world.FallibleCallRecord());
}

// Module names compare with their accents, without regard to case.
TEST(GetModuleHandleW, FindsTheProgramAndTheSystemModules) {
  sim::World world;
  world.SetModulePath(u"C:\\Outils\\\u00c9t\u00e9.exe");
  EXPECT_EQ(SIM_PROGRAM_INSTANCE, GetModuleHandleW(u"\u00e9t\u00e9.EXE"));
  EXPECT_EQ(SIM_PROGRAM_INSTANCE, GetModuleHandleW(nullptr));
  EXPECT_EQ(nullptr, GetModuleHandleA("ete.exe"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
  EXPECT_EQ(GetModuleHandleA("kernel32.dll"), GetModuleHandleW(u"KERNEL32"));
  EXPECT_NE(nullptr, GetModuleHandleW(u"KERNEL32"));
  EXPECT_EQ(nullptr, GetModuleHandleW(u"\ud55c.dll"));
}

TEST(CurrentDirectoryW, KeepsTheNameAsSetWhereTheAFormSeesItsLookAlike) {
  sim::World world;
  world.AddDirectory(u"C:\\Donn\u00e9es\\\u00c9t\u00e9");
  EXPECT_TRUE(SetCurrentDirectoryW(u"c:\\donn\u00e9es\\\u00c9T\u00c9\\"));
  char16_t buf[MAX_PATH];
  EXPECT_EQ(14u, GetCurrentDirectoryW(MAX_PATH, buf));
  EXPECT_EQ(std::u16string(u"c:\\donn\u00e9es\\\u00c9T\u00c9"), buf);
  EXPECT_EQ(15u, GetCurrentDirectoryW(14, buf));
  char ansi[MAX_PATH];
  EXPECT_EQ(14u, GetCurrentDirectoryA(MAX_PATH, ansi));
  EXPECT_STREQ("c:\\donnees\\ETE", ansi);
  EXPECT_TRUE(SetCurrentDirectoryW(u".."));
  EXPECT_EQ("c:\\donn?es", world.CurrentDirectory());
  EXPECT_FALSE(SetCurrentDirectoryW(u"Missing \u00e9"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  EXPECT_FALSE(SetCurrentDirectoryW(u""));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_NAME), GetLastError());
  // The A form reaches only what its text converts to.
  EXPECT_FALSE(SetCurrentDirectoryA("c:\\donnees"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());

  EXPECT_EQ(10u, GetWindowsDirectoryW(buf, MAX_PATH));
  EXPECT_EQ(std::u16string(u"C:\\WINDOWS"), buf);
  EXPECT_EQ(11u, GetWindowsDirectoryW(buf, 3));
  EXPECT_EQ(19u, GetSystemDirectoryW(buf, MAX_PATH));
  EXPECT_EQ(std::u16string(u"C:\\WINDOWS\\system32"), buf);
}

// The trace keeps every line twice: in the code page as the program's ANSI lines are, with
// '?' (never a look-alike) for what it lacks, and in UTF-16.
TEST(OutputDebugString, KeepsEachLineInTheCodePageAndInUtf16) {
  sim::World world;
  OutputDebugStringA("\x95\x5c x\r\n");
  OutputDebugStringW(u"r\u00e9sum\u00e9 \ud55c\n");
  OutputDebugStringW(u"\u8868");
  OutputDebugStringW(nullptr);
  EXPECT_EQ((std::vector<std::string>{"\x95\x5c x", "r?sum? ?", "\x95\x5c"}), world.trace);
  EXPECT_EQ((std::vector<std::u16string>{u"\u8868 x", u"r\u00e9sum\u00e9 \ud55c", u"\u8868"}),
            world.traceWide);
}

TEST(GetCommandLineW, GivesTheLineAsSetAndTheAFormItsLookAlike) {
  sim::World world;
  world.SetCommandLine(u"\"C:\\Tavix\\Tavix.exe\" r\u00e9sum\u00e9.txt");
  EXPECT_EQ(std::u16string(u"\"C:\\Tavix\\Tavix.exe\" r\u00e9sum\u00e9.txt"), GetCommandLineW());
  EXPECT_STREQ("\"C:\\Tavix\\Tavix.exe\" resume.txt", GetCommandLineA());
  world.SetCommandLine("Tavix.exe \x95\x5c");
  EXPECT_EQ(std::u16string(u"Tavix.exe \u8868"), GetCommandLineW());
  EXPECT_STREQ("Tavix.exe \x95\x5c", GetCommandLineA());
}

// Windows 95/98/ME has W functions only as stubs; the world notes every call a program makes
// of one there, but not of those that work there, nor the sim's own.
TEST(WideCallsOnWindows9x, AreNotedForThePrograms) {
  sim::World world;
  world.SetWindows98();
  char16_t buffer[MAX_PATH];
  GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  PathFileExistsW(u"C:\\WINDOWS");
  MultiByteToWideChar(CP_ACP, 0, "a", -1, buffer, MAX_PATH);
  lstrlenW(u"abc");
  world.SetCurrentDirectory("C:\\WINDOWS");
  // PathFileExistsW asks GetFileAttributesW, as the shell's own does.
  EXPECT_EQ((std::vector<std::string>{"GetModuleFileNameW", "PathFileExistsW",
                                      "GetFileAttributesW"}),
            world.wideCallsOnWindows9x);
}

TEST(WideCallsOnWindows9x, AreNotNotedOnTheNtFamily) {
  sim::World world;
  char16_t buffer[MAX_PATH];
  GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  EXPECT_TRUE(world.wideCallsOnWindows9x.empty());
}

}  // namespace
