// The in-memory file system as the kernel's file functions see it.
#include <gtest/gtest.h>

#include <string>

#include "SimWorld.h"

namespace {

struct OpenResult {
  bool opened;
  DWORD error;
};

OpenResult Open(const char* path, DWORD access, DWORD share, DWORD disposition) {
  HANDLE h = CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD error = GetLastError();
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  return OpenResult{h != INVALID_HANDLE_VALUE, error};
}

TEST(CreateFileA, DispositionsSucceedAndFailWithTheDocumentedErrors) {
  const struct {
    const char* path;
    DWORD disposition;
    bool opened;
    DWORD error;
  } cases[] = {
      {"C:\\Tavix\\Tavix.ini", OPEN_EXISTING, true, ERROR_SUCCESS},
      {"C:\\Tavix\\Tavix.ini", OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS},
      {"C:\\Tavix\\Tavix.ini", CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS},
      {"C:\\Tavix\\Tavix.ini", CREATE_NEW, false, ERROR_FILE_EXISTS},
      {"C:\\Tavix\\new.ini", OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND},
      {"C:\\Tavix\\new.ini", OPEN_ALWAYS, true, ERROR_SUCCESS},
      {"C:\\Tavix\\new.ini", TRUNCATE_EXISTING, false, ERROR_FILE_NOT_FOUND},
      {"C:\\Missing\\new.ini", OPEN_ALWAYS, false, ERROR_PATH_NOT_FOUND},
      {"Q:\\new.ini", OPEN_ALWAYS, false, ERROR_PATH_NOT_FOUND},
      {"C:\\Tavix", OPEN_EXISTING, false, ERROR_ACCESS_DENIED},
      {"C:\\Tavix\\", OPEN_ALWAYS, false, ERROR_ACCESS_DENIED},
      {"C:\\Tavix\\a?.ini", OPEN_ALWAYS, false, ERROR_INVALID_NAME},
      {"", OPEN_EXISTING, false, ERROR_PATH_NOT_FOUND},
  };
  for (const auto& c : cases) {
    sim::World world;
    world.AddFile("C:\\Tavix\\Tavix.ini", "[system]");
    OpenResult r = Open(c.path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, c.disposition);
    EXPECT_EQ(c.opened, r.opened) << c.path << " disposition " << c.disposition;
    EXPECT_EQ(c.error, r.error) << c.path << " disposition " << c.disposition;
  }
}

TEST(CreateFileA, OpenAlwaysCreatesAnEmptyFileThatKeepsTheGivenCase) {
  sim::World world;
  world.SetCurrentDirectory("C:\\Tavix");
  HANDLE h = CreateFileA("Tavix.INI", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  EXPECT_EQ(0u, GetFileSize(h, nullptr));
  CloseHandle(h);
  EXPECT_TRUE(world.FileExists("c:\\tavix\\tavix.ini"));
  EXPECT_EQ((std::vector<std::string>{"Tavix.exe", "Tavix.INI"}), world.FilesIn("C:\\Tavix"));
}

TEST(CreateFileA, ShareModesAreHonouredAgainstOtherOpens) {
  sim::World world;
  world.AddFile("C:\\a.txt", "x");
  // Locked by another program.
  world.HoldFileOpenElsewhere("C:\\A.TXT", 0);
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION),
            Open("C:\\a.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING).error);
  // Another program writes it and lets others read: a reader must share writing.
  world.HoldFileOpenElsewhere("C:\\a.txt", FILE_SHARE_READ, GENERIC_READ | GENERIC_WRITE);
  EXPECT_FALSE(Open("C:\\a.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING).opened);
  EXPECT_TRUE(
      Open("C:\\a.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING).opened);
  world.ReleaseFileHeldElsewhere("C:\\a.txt");
  // Two opens of the program itself.
  HANDLE first = CreateFileA("C:\\a.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, first);
  EXPECT_FALSE(Open("C:\\a.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING).opened);
  // An open for attributes only (no read, write or delete access) takes no
  // part in sharing, either way.
  EXPECT_TRUE(Open("C:\\a.txt", 0, 0, OPEN_EXISTING).opened);
  CloseHandle(first);
  EXPECT_TRUE(Open("C:\\a.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING).opened);
  HANDLE query = CreateFileA("C:\\a.txt", 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, query);
  EXPECT_TRUE(Open("C:\\a.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING).opened);
  CloseHandle(query);
}

// Names of MAX_PATH characters still reach the file system; longer ones are
// refused by the ANSI conversion. A trailing separator after a file name is a
// bad name to open but a missing path to the attribute query.
TEST(FileNames, LongNamesAndTrailingSeparators) {
  sim::World world;
  world.AddFile("C:\\a.txt", "x");
  std::string name260 = "C:\\" + std::string(100, 'd') + "\\" + std::string(156, 'f');
  ASSERT_EQ(260u, name260.size());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(name260.c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
  std::string name261 = name260 + "f";
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(name261.c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), GetLastError());
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_NAME),
            Open("C:\\a.txt\\", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING).error);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\a.txt\\"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
  // A name of blanks only names nothing (it is no way to the current directory).
  EXPECT_FALSE(PathFileExistsA("   "));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
}

TEST(ReadFile, DeliversInjectedFaultsAndShortReads) {
  sim::World world;
  world.AddFile("C:\\s.ini", "0123456789");
  world.ShortRead("C:\\s.ini", 4);
  HANDLE h = CreateFileA("C:\\s.ini", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  char buf[16] = {};
  DWORD got = 99;
  EXPECT_TRUE(ReadFile(h, buf, 10, &got, nullptr));
  EXPECT_EQ(4u, got);
  EXPECT_TRUE(ReadFile(h, buf, 10, &got, nullptr));
  EXPECT_EQ(4u, got);
  EXPECT_EQ(std::string("4567"), std::string(buf, 4));
  CloseHandle(h);

  world.FailRead("C:\\s.ini");
  world.FailGetFileSize("C:\\s.ini");
  h = CreateFileA("C:\\s.ini", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(INVALID_FILE_SIZE, GetFileSize(h, nullptr));
  EXPECT_FALSE(ReadFile(h, buf, 10, &got, nullptr));
  EXPECT_EQ(0u, got);
  CloseHandle(h);

  world.FailOpen("C:\\s.ini", ERROR_ACCESS_DENIED);
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED),
            Open("C:\\s.ini", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING).error);
}

TEST(CloseHandle, CountsOpenHandlesAndRefusesStaleOnes) {
  sim::World world;
  world.AddFile("C:\\a.txt", "x");
  HANDLE h = CreateFileA("C:\\a.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  EXPECT_EQ(1, world.OpenFileHandles());
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_EQ(0, world.OpenFileHandles());
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
  EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
  DWORD got = 0;
  char buf[4];
  EXPECT_FALSE(ReadFile(h, buf, 4, &got, nullptr));
  EXPECT_EQ(INVALID_FILE_SIZE, GetFileSize(h, nullptr));
}

TEST(GetFullPathNameA, ResolvesAgainstTheCurrentDirectoryAndDrive) {
  sim::World world;
  world.AddDrive('D');
  world.AddDirectory("C:\\Work\\Sub");
  world.SetCurrentDirectory("C:\\Work");
  const struct {
    const char* in;
    const char* out;
    const char* filePart;  // nullptr: none
  } cases[] = {
      {"notes.txt", "C:\\Work\\notes.txt", "notes.txt"},
      {"..\\x", "C:\\x", "x"},
      {".", "C:\\Work", "Work"},
      {"Sub\\", "C:\\Work\\Sub\\", nullptr},
      {"C:rel", "C:\\Work\\rel", "rel"},
      {"C:", "C:\\Work\\", nullptr},  // the drive's current directory, with its separator
      {"D:rel", "D:\\rel", "rel"},
      {"\\rooted", "C:\\rooted", "rooted"},
      {"C:/a//b/./c", "C:\\a\\b\\c", "c"},
      {"C:\\..\\..", "C:\\", nullptr},
      {"C:\\Tools ", "C:\\Tools", "Tools"},  // trailing blanks and dots go
      {"C:\\Tools\\x.", "C:\\Tools\\x", "x"},
  };
  for (const auto& c : cases) {
    char buf[MAX_PATH];
    LPSTR part = buf;
    DWORD n = GetFullPathNameA(c.in, MAX_PATH, buf, &part);
    EXPECT_STREQ(c.out, buf) << c.in;
    EXPECT_EQ(strlen(c.out), n) << c.in;
    if (c.filePart) {
      EXPECT_STREQ(c.filePart, part) << c.in;
    } else {
      EXPECT_EQ(nullptr, part) << c.in;
    }
  }
}

// Empty and blank texts have no full path; the last error is left alone.
TEST(GetFullPathNameA, GivesNothingForEmptyAndBlankTexts) {
  sim::World world;
  char buf[MAX_PATH];
  for (const char* text : {"", "   "}) {
    SetLastError(1234);
    EXPECT_EQ(0u, GetFullPathNameA(text, MAX_PATH, buf, nullptr)) << '"' << text << '"';
    EXPECT_EQ(1234u, GetLastError());
  }
  // A full path keeps its drive letter as written; a server name has no file part.
  LPSTR part = buf;
  GetFullPathNameA("c:\\x", MAX_PATH, buf, &part);
  EXPECT_STREQ("c:\\x", buf);
  GetFullPathNameA("\\\\server", MAX_PATH, buf, &part);
  EXPECT_EQ(nullptr, part);
}

TEST(GetFullPathNameA, ReportsTheSizeNeededWhenTheBufferIsTooSmall) {
  sim::World world;
  char buf[8] = "keep";
  EXPECT_EQ(strlen("C:\\notes.txt") + 1, GetFullPathNameA("notes.txt", sizeof buf, buf, nullptr));
  EXPECT_STREQ("keep", buf);
  EXPECT_EQ(0u, GetFullPathNameA("", sizeof buf, buf, nullptr));
}

TEST(SearchPathA, TriesTheGivenDirectoriesInOrderWithoutTrimmingThem) {
  sim::World world;
  world.AddFile("C:\\A\\tool.exe", "");
  world.AddFile("C:\\B\\tool.exe", "");
  world.AddFile("C:\\B\\other.exe", "");
  world.AddDirectory("C:\\B\\Folder");
  world.AddFile("C:\\Rel\\rel.exe", "");
  char buf[MAX_PATH];
  LPSTR part = nullptr;
  EXPECT_EQ(strlen("C:\\A\\tool.exe"), SearchPathA("C:\\A;C:\\B", "tool.exe", nullptr, MAX_PATH, buf, &part));
  EXPECT_STREQ("C:\\A\\tool.exe", buf);
  EXPECT_STREQ("tool.exe", part);
  EXPECT_NE(0u, SearchPathA("C:\\A;C:\\B", "other", ".exe", MAX_PATH, buf, nullptr));
  EXPECT_STREQ("C:\\B\\other.exe", buf);
  // The extension is added only to a name that has none: a name searched
  // along the path has none when it has no dot at all, also in a folder name.
  EXPECT_EQ(0u, SearchPathA("C:\\B", "other.e", ".exe", MAX_PATH, buf, nullptr));
  world.AddFile("C:\\B\\x.d\\tool", "");
  EXPECT_NE(0u, SearchPathA("C:\\B", "x.d\\tool", ".exe", MAX_PATH, buf, nullptr));
  EXPECT_STREQ("C:\\B\\x.d\\tool", buf);
  // Blanks around an entry are part of its name.
  EXPECT_EQ(0u, SearchPathA(" C:\\A;C:\\A ", "tool.exe", nullptr, MAX_PATH, buf, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  // Relative entries are taken against the current directory.
  EXPECT_NE(0u, SearchPathA("Rel", "rel.exe", nullptr, MAX_PATH, buf, nullptr));
  EXPECT_STREQ("C:\\Rel\\rel.exe", buf);
  // Directories are found as well as files.
  EXPECT_NE(0u, SearchPathA("C:\\B", "Folder", nullptr, MAX_PATH, buf, nullptr));
  EXPECT_STREQ("C:\\B\\Folder", buf);
  // A name with a drive is checked as it stands.
  EXPECT_NE(0u, SearchPathA("C:\\A", "C:\\B\\tool.exe", nullptr, MAX_PATH, buf, nullptr));
  EXPECT_STREQ("C:\\B\\tool.exe", buf);
  // Too small a buffer: the size needed, NUL included.
  char small[4];
  EXPECT_EQ(strlen("C:\\A\\tool.exe") + 1, SearchPathA("C:\\A", "tool.exe", nullptr, sizeof small, small, nullptr));
}

TEST(SearchPathA, WithoutAPathFollowsTheSystemOrder) {
  sim::World world;
  world.AddFile("C:\\WINDOWS\\notepad.exe", "windows");
  world.AddFile("C:\\WINDOWS\\system32\\notepad.exe", "system32");
  world.AddFile("C:\\Tavix\\notepad.exe", "module");
  world.AddFile("C:\\Cwd\\calc.exe", "cwd");
  world.AddFile("C:\\WINDOWS\\system32\\calc.exe", "system32");
  world.AddFile("C:\\OnPath\\only.exe", "path");
  world.SetPathVariable({"C:\\OnPath"});
  world.SetCurrentDirectory("C:\\Cwd");
  char buf[MAX_PATH];
  ASSERT_NE(0u, SearchPathA(nullptr, "notepad", ".exe", MAX_PATH, buf, nullptr));
  EXPECT_STREQ("C:\\Tavix\\notepad.exe", buf);
  ASSERT_NE(0u, SearchPathA(nullptr, "calc.exe", nullptr, MAX_PATH, buf, nullptr));
  EXPECT_STREQ("C:\\Cwd\\calc.exe", buf);
  ASSERT_NE(0u, SearchPathA(nullptr, "only.exe", nullptr, MAX_PATH, buf, nullptr));
  EXPECT_STREQ("C:\\OnPath\\only.exe", buf);
  world.SetSystemSearchPath({"C:\\WINDOWS"});
  ASSERT_NE(0u, SearchPathA(nullptr, "notepad.exe", nullptr, MAX_PATH, buf, nullptr));
  EXPECT_STREQ("C:\\WINDOWS\\notepad.exe", buf);
}

TEST(FileSystem, WritesDeletesAndCreatesDirectories) {
  sim::World world;
  EXPECT_TRUE(CreateDirectoryA("C:\\New", nullptr));
  EXPECT_FALSE(CreateDirectoryA("C:\\New", nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
  EXPECT_FALSE(CreateDirectoryA("C:\\No\\New", nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
  HANDLE h = CreateFileA("C:\\New\\f.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  DWORD put = 0;
  EXPECT_TRUE(WriteFile(h, "hello", 5, &put, nullptr));
  EXPECT_EQ(5u, put);
  EXPECT_FALSE(DeleteFileA("C:\\New\\f.txt"));  // still open without FILE_SHARE_DELETE
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
  CloseHandle(h);
  EXPECT_EQ("hello", world.FileBytes("C:\\new\\F.TXT"));
  EXPECT_TRUE(DeleteFileA("C:\\New\\f.txt"));
  EXPECT_FALSE(world.FileExists("C:\\New\\f.txt"));
  EXPECT_FALSE(DeleteFileA("C:\\New"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
}

}  // namespace
