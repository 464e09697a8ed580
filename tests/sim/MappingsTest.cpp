// Paging-file mappings and their views, and the shell's special folders and
// launches.
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

// The W form gives the folder as it is; the A form its look-alike, and
// neither a path that does not fit MAX_PATH characters.
TEST(SHGetSpecialFolderPath, TheWFormGivesAWideFolderAsItIs) {
  sim::World world;
  char16_t wide[MAX_PATH];
  EXPECT_TRUE(SHGetSpecialFolderPathW(nullptr, wide, CSIDL_DESKTOP, FALSE));
  EXPECT_EQ(u"C:\\Documents and Settings\\user\\Desktop", std::u16string(wide));
  const std::u16string folder = u"C:\\Docs\\r\u00e9sum\u00e9 \uD55C";
  world.SetSpecialFolder(CSIDL_PERSONAL, folder);
  EXPECT_TRUE(SHGetSpecialFolderPathW(nullptr, wide, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, FALSE));
  EXPECT_EQ(folder, std::u16string(wide));
  EXPECT_TRUE(world.DirectoryExists(folder));
  EXPECT_FALSE(world.DirectoryExists("C:\\Docs\\resume ?"));
  char ansi[MAX_PATH];
  EXPECT_TRUE(SHGetSpecialFolderPathA(nullptr, ansi, CSIDL_PERSONAL, FALSE));
  EXPECT_STREQ("C:\\Docs\\resume ?", ansi);

  // 259 units fit; 260 do not. In the code page, 259 two-byte characters do
  // not fit the A form's MAX_PATH bytes.
  std::u16string longest = u"C:\\" + std::u16string(256, u'\u8868');
  world.SetSpecialFolder(CSIDL_FAVORITES, longest);
  EXPECT_TRUE(SHGetSpecialFolderPathW(nullptr, wide, CSIDL_FAVORITES, FALSE));
  EXPECT_EQ(longest, std::u16string(wide));
  EXPECT_FALSE(SHGetSpecialFolderPathA(nullptr, ansi, CSIDL_FAVORITES, FALSE));
  world.SetSpecialFolder(CSIDL_FAVORITES, longest + u"x");
  EXPECT_FALSE(SHGetSpecialFolderPathW(nullptr, wide, CSIDL_FAVORITES, FALSE));
}

// The record holds the wide texts, and the narrow ones a started ANSI program
// would see in its command line: look-alikes.
TEST(ShellExecute, TheWFormIsRecordedWithItsWideTextsAndTheirLookAlikes) {
  sim::World world;
  const std::u16string tool = u"C:\\Tools\\vi\u00e9wer.exe";
  world.AddFile(tool, "MZ");
  HINSTANCE r = ShellExecuteW(nullptr, u"open", tool.c_str(), u"\"D:\\r\u00e9sum\u00e9.txt\"",
                              nullptr, SW_SHOWNORMAL);
  EXPECT_EQ(42, static_cast<int>(reinterpret_cast<INT_PTR>(r)));
  ASSERT_EQ(1u, world.launches.size());
  const sim::ShellLaunchRecord& launch = world.launches[0];
  EXPECT_TRUE(launch.wide);
  EXPECT_EQ(tool, launch.fileWide);
  EXPECT_EQ("C:\\Tools\\viewer.exe", launch.file);
  EXPECT_EQ(u"\"D:\\r\u00e9sum\u00e9.txt\"", launch.parametersWide);
  EXPECT_EQ("\"D:\\resume.txt\"", launch.parameters);
  EXPECT_EQ("open", launch.verb);
  EXPECT_TRUE(launch.directoryNull);
  EXPECT_EQ(std::vector<std::string>{"ShellExecuteW"}, world.outputCalls);
  // The look-alike of the program is no file.
  r = ShellExecuteW(nullptr, nullptr, u"C:\\Tools\\viewer.exe", nullptr, nullptr, SW_SHOW);
  EXPECT_EQ(SE_ERR_FNF, static_cast<int>(reinterpret_cast<INT_PTR>(r)));
  r = ShellExecuteA(nullptr, nullptr, "C:\\Tools\\viewer.exe", "\x95\x5C", nullptr, SW_SHOW);
  EXPECT_EQ(SE_ERR_FNF, static_cast<int>(reinterpret_cast<INT_PTR>(r)));
  EXPECT_FALSE(world.launches[2].wide);
  EXPECT_EQ(u"\u8868", world.launches[2].parametersWide);
  EXPECT_EQ("\x95\x5C", world.launches[2].parameters);
}

}  // namespace
