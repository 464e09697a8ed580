// Libraries loaded at run time and what they export on each Windows version.
#include <gtest/gtest.h>

#include "RunTimeFunctions.h"
#include "SimWorld.h"

namespace {

using Version = void (sim::World::*)();

struct VersionCase {
  const char* name;
  Version set;
};

const VersionCase kVersions[] = {
    {"98", &sim::World::SetWindows98},   {"ME", &sim::World::SetWindowsMe},
    {"NT4", &sim::World::SetWindowsNt4}, {"2000", &sim::World::SetWindows2000},
    {"XP", &sim::World::SetWindowsXp},
};

TEST(GetProcAddress, Kernel32ExportsFollowTheWindowsVersion) {
  // Columns: 98, ME, NT4, 2000, XP.
  const struct {
    const char* function;
    bool exported[5];
  } cases[] = {
      {"VirtualAllocEx", {false, false, true, true, true}},
      {"VirtualFreeEx", {false, false, true, true, true}},
      {"CreateToolhelp32Snapshot", {true, true, false, true, true}},
      {"Process32Next", {true, true, false, true, true}},
      {"IsWow64Process", {false, false, false, false, true}},
      {"Wow64DisableWow64FsRedirection", {false, false, false, false, true}},
      {"QueryFullProcessImageNameA", {false, false, false, false, false}},
      {"QueryFullProcessImageNameW", {false, false, false, false, false}},
      {"OpenProcess", {true, true, true, true, true}},
      {"virtualallocex", {false, false, false, false, false}},  // names keep their case
  };
  sim::World world;  // one world: the version may change after it is built
  HMODULE kernel32 = GetModuleHandleA("KERNEL32");
  for (const auto& c : cases) {
    for (int v = 0; v < 5; ++v) {
      (world.*kVersions[v].set)();
      SetLastError(0);
      bool found = GetProcAddress(kernel32, c.function) != nullptr;
      EXPECT_EQ(c.exported[v], found) << c.function << " on " << kVersions[v].name;
      if (!found) {
        EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());
      }
    }
  }
  world.SetOsVersion(6, 0, 6002, VER_PLATFORM_WIN32_NT);
  EXPECT_NE(nullptr, GetProcAddress(kernel32, "QueryFullProcessImageNameA"));
  EXPECT_NE(nullptr, GetProcAddress(kernel32, "QueryFullProcessImageNameW"));
}

TEST(LoadLibrary, PsapiLoadsOnTheNtFamilyOnlyAndEachLoadIsCounted) {
  sim::World world;
  world.SetWindows98();
  EXPECT_EQ(nullptr, LoadLibraryA("psapi.dll"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
  world.SetWindowsXp();
  HMODULE first = LoadLibraryA("PSAPI");
  HMODULE second = LoadLibraryA("C:\\WINDOWS\\system32\\Psapi.DLL");
  HMODULE kernel32 = LoadLibraryA("kernel32");
  ASSERT_NE(nullptr, first);
  EXPECT_EQ(first, second);
  EXPECT_EQ(GetModuleHandleA("kernel32.dll"), kernel32);
  EXPECT_EQ(nullptr, LoadLibraryA("psapi."));  // a trailing dot: no extension is added
  EXPECT_EQ(nullptr, LoadLibraryA("nosuch.dll"));
  EXPECT_EQ(3, world.LoadedLibraries());
  EXPECT_EQ(first, GetModuleHandleA("psapi.dll"));

  EXPECT_TRUE(FreeLibrary(kernel32));
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_NE(nullptr, GetProcAddress(second, "EnumProcessModules"));
  auto enumModules = Lookup<EnumProcessModulesFn>(second, "EnumProcessModules");
  EXPECT_TRUE(FreeLibrary(second));
  EXPECT_EQ(0, world.LoadedLibraries());
  EXPECT_EQ(0, world.unmatchedFreeLibraryCalls);

  // Unloaded now: its handle names nothing, and its code is gone.
  EXPECT_EQ(nullptr, GetModuleHandleA("psapi.dll"));
  EXPECT_EQ(nullptr, GetProcAddress(first, "EnumProcessModules"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
  EXPECT_FALSE(FreeLibrary(first));
  EXPECT_EQ(1, world.unmatchedFreeLibraryCalls);
  HMODULE module = nullptr;
  DWORD needed = 0;
  EXPECT_FALSE(enumModules(GetCurrentProcess(), &module, sizeof module, &needed));
  EXPECT_EQ(1, world.callsIntoFreedLibraries);

  // LoadLibraryW counts in the same way; a name the code page lacks is none.
  HMODULE wide = LoadLibraryW(u"PSAPI.DLL");
  EXPECT_NE(nullptr, wide);
  EXPECT_NE(nullptr, GetProcAddress(wide, "GetModuleFileNameExW"));
  EXPECT_EQ(nullptr, LoadLibraryW(u"ps\u00e1pi.dll"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
  EXPECT_EQ(1, world.LoadedLibraries());
  EXPECT_TRUE(FreeLibrary(wide));
}

TEST(LoadLibrary, TheTestCanAddAndRemoveExportsAndLibraries) {
  sim::World world;
  HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  world.RemoveExport("KERNEL32", "VirtualAllocEx");
  EXPECT_EQ(nullptr, GetProcAddress(kernel32, "VirtualAllocEx"));
  EXPECT_NE(nullptr, GetProcAddress(kernel32, "VirtualFreeEx"));
  world.SetWindowsNt4();
  world.AddExport("kernel32.dll", "CreateToolhelp32Snapshot");
  EXPECT_NE(nullptr, GetProcAddress(kernel32, "CreateToolhelp32Snapshot"));
  world.RemoveLibrary("psapi");
  EXPECT_EQ(nullptr, LoadLibraryA("psapi.dll"));
  world.SetWindowsMe();
  world.AddExport("psapi.dll", "EnumProcessModules");  // brings the library with it
  HMODULE psapi = LoadLibraryA("psapi.dll");
  ASSERT_NE(nullptr, psapi);
  EXPECT_NE(nullptr, GetProcAddress(psapi, "EnumProcessModules"));
  EXPECT_EQ(nullptr, GetProcAddress(psapi, MAKEINTRESOURCEA(4)));  // ordinals are not modelled
  FreeLibrary(psapi);
  EXPECT_EQ(0, world.LoadedLibraries());
}

}  // namespace
