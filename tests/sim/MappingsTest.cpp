// Paging-file mappings and their views, and the shell's special folders.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "SimWorld.h"

namespace {

HANDLE NewMapping(DWORD size, DWORD protect = PAGE_READWRITE) {
  return CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, protect, 0, size, nullptr);
}

TEST(MapViewOfFile, ViewsAreZeroedHostMemoryBelow4GiBSharingTheirMappingsBytes) {
  sim::World world;
  HANDLE mapping = NewMapping(100);
  ASSERT_NE(nullptr, mapping);
  auto* first = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  auto* second = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
  ASSERT_NE(nullptr, first);
  ASSERT_NE(nullptr, second);
  EXPECT_LT(reinterpret_cast<uintptr_t>(first), 0x100000000ull);
  EXPECT_EQ(std::string(4096, '\0'), std::string(first, 4096));  // whole pages
  std::strcpy(first + 10, "shared");
  EXPECT_STREQ("shared", second + 10);
  EXPECT_EQ(2, world.MappedViews());
  EXPECT_TRUE(CloseHandle(mapping));  // the views outlive the handle
  EXPECT_STREQ("shared", second + 10);
  EXPECT_TRUE(UnmapViewOfFile(first + 50));  // any address inside the view
  EXPECT_FALSE(UnmapViewOfFile(first));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_ADDRESS), GetLastError());
  EXPECT_TRUE(UnmapViewOfFile(second));
  EXPECT_EQ(0, world.MappedViews());
  EXPECT_EQ(0, world.OpenKernelHandles());
}

TEST(CreateFileMapping, RefusalsAndInjectedFaults) {
  sim::World world;
  world.AddFile("C:\\data.bin", "x");
  HANDLE file = CreateFileA("C:\\data.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(nullptr, CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  CloseHandle(file);
  EXPECT_EQ(nullptr, NewMapping(0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());

  // Success sets the last error too: ERROR_ALREADY_EXISTS would name an
  // existing mapping, and every paging-file mapping here is new.
  SetLastError(1234);
  HANDLE fresh = NewMapping(0x20000);
  ASSERT_NE(nullptr, fresh);
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
  // A view that starts past the end, then one that runs past it.
  EXPECT_EQ(nullptr, MapViewOfFile(fresh, FILE_MAP_ALL_ACCESS, 0, 0x20000, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  EXPECT_EQ(nullptr, MapViewOfFile(fresh, FILE_MAP_ALL_ACCESS, 0, 0x10000, 0x10001));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  CloseHandle(fresh);

  HANDLE readOnly = NewMapping(64, PAGE_READONLY);
  EXPECT_EQ(nullptr, MapViewOfFile(readOnly, FILE_MAP_WRITE, 0, 0, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  EXPECT_EQ(nullptr, MapViewOfFile(readOnly, FILE_MAP_READ, 0, 0, 65));
  EXPECT_EQ(nullptr, MapViewOfFile(readOnly, FILE_MAP_READ, 0, 4096, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_MAPPED_ALIGNMENT), GetLastError());
  CloseHandle(readOnly);

  world.FailCreateFileMapping(true);
  EXPECT_EQ(nullptr, NewMapping(64));
  world.FailCreateFileMapping(false);
  HANDLE mapping = NewMapping(64);
  world.FailMapViewOfFile(true);
  EXPECT_EQ(nullptr, MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
  EXPECT_EQ(0, world.MappedViews());
  EXPECT_EQ(nullptr, MapViewOfFile(nullptr, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  CloseHandle(mapping);
}

TEST(SHGetSpecialFolderPath, GivesTheXpFoldersOrTheTestsOwn) {
  const struct {
    int csidl;
    const char* path;
  } cases[] = {
      {CSIDL_DESKTOP, "C:\\Documents and Settings\\user\\Desktop"},
      {CSIDL_PERSONAL, "C:\\Documents and Settings\\user\\My Documents"},
      {CSIDL_FAVORITES, "C:\\Documents and Settings\\user\\Favorites"},
      {CSIDL_MYPICTURES, "C:\\Documents and Settings\\user\\My Documents\\My Pictures"},
      {CSIDL_MYMUSIC, "C:\\Documents and Settings\\user\\My Documents\\My Music"},
      {CSIDL_MYVIDEO, "C:\\Documents and Settings\\user\\My Documents\\My Videos"},
      {CSIDL_COMMON_DOCUMENTS, "C:\\Documents and Settings\\All Users\\Documents"},
      {CSIDL_COMMON_PICTURES, "C:\\Documents and Settings\\All Users\\Documents\\My Pictures"},
      {CSIDL_COMMON_MUSIC, "C:\\Documents and Settings\\All Users\\Documents\\My Music"},
      {CSIDL_COMMON_VIDEO, "C:\\Documents and Settings\\All Users\\Documents\\My Videos"},
  };
  sim::World world;
  for (const auto& c : cases) {
    char path[MAX_PATH] = "";
    EXPECT_TRUE(SHGetSpecialFolderPathA(nullptr, path, c.csidl, FALSE)) << c.csidl;
    EXPECT_STREQ(c.path, path);
    EXPECT_TRUE(world.DirectoryExists(c.path));
  }
  char path[MAX_PATH];
  EXPECT_FALSE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_APPDATA, FALSE));
  // The test's folder replaces the default, and is created on request.
  world.SetSpecialFolder(CSIDL_PERSONAL, "");
  EXPECT_FALSE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_PERSONAL, FALSE));
  world.SetSpecialFolder(CSIDL_PERSONAL, "D:\\Docs");
  world.AddDrive('D');
  EXPECT_TRUE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_PERSONAL, FALSE));
  EXPECT_STREQ("D:\\Docs", path);
  EXPECT_FALSE(world.DirectoryExists("D:\\Docs"));
  EXPECT_TRUE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, FALSE));
  EXPECT_TRUE(world.DirectoryExists("D:\\Docs"));
}

}  // namespace
