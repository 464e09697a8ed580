// The program's own process: module path, version, current directory, trace.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

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

}  // namespace
