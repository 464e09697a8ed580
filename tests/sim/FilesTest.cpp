// The in-memory file system as the kernel's file functions see it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// ----- wide names -----

// The bytes of a file read through CreateFileW, or "error <n>".
std::string ReadW(const char16_t* path) {
  HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "error " + std::to_string(GetLastError());
  char buf[64];
  DWORD got = 0;
  ReadFile(h, buf, sizeof buf, &got, nullptr);
  CloseHandle(h);
  return std::string(buf, got);
}

TEST(WideNames, AccentsTellFilesApartAndCaseDoesNot) {
  sim::World world;
  world.AddFile(u"C:\\Docs\\r\u00e9sum\u00e9.txt", "accent");
  world.AddFile(u"C:\\Docs\\resume.txt", "plain");
  EXPECT_EQ("accent", ReadW(u"C:\\docs\\R\u00c9SUM\u00c9.TXT"));
  EXPECT_EQ("plain", ReadW(u"C:\\Docs\\RESUME.txt"));
  EXPECT_EQ("error 2", ReadW(u"C:\\Docs\\r\u00e9sume.txt"));
  EXPECT_EQ((std::vector<std::u16string>{u"resume.txt", u"r\u00e9sum\u00e9.txt"}),
            world.FileNamesIn(u"C:\\DOCS"));
  EXPECT_EQ((std::vector<std::string>{"resume.txt", "r?sum?.txt"}), world.FilesIn("C:\\Docs"));
  // Full-width letters fold their case among themselves, but are not ASCII ones.
  world.AddFile(u"C:\\Docs\\\uff21.txt", "wide");
  EXPECT_EQ("wide", ReadW(u"C:\\Docs\\\uff41.txt"));
  EXPECT_EQ("error 2", ReadW(u"C:\\Docs\\a.txt"));

  HANDLE h = CreateFileW(u"C:\\Docs\\RESUME.TXT", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  EXPECT_EQ(INVALID_HANDLE_VALUE, h);
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), GetLastError());
  h = CreateFileW(u"C:\\Docs\\r\u00e9sum\u00e8.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  CloseHandle(h);
  EXPECT_EQ(4u, world.FileNamesIn(u"C:\\Docs").size());
  // Faults and holds set up by name apply to the file whatever the case.
  world.FailOpen(u"C:\\DOCS\\R\u00c9SUM\u00c9.TXT", ERROR_ACCESS_DENIED);
  EXPECT_EQ("error 5", ReadW(u"C:\\Docs\\r\u00e9sum\u00e9.txt"));
  EXPECT_EQ("plain", ReadW(u"C:\\Docs\\resume.txt"));
  world.HoldFileOpenElsewhere(u"c:\\docs\\resume.TXT", 0);
  EXPECT_EQ("error 32", ReadW(u"C:\\Docs\\RESUME.TXT"));
}

TEST(WideNames, NamesOfOtherScriptsAndPlanesAreKeptAsGiven) {
  sim::World world;
  const std::u16string dirs[] = {u"C:\\\ud55c\uae00", u"C:\\\U00020BB7", u"C:\\\u0444\u0430\u0439\u043b"};
  for (const std::u16string& dir : dirs) {
    std::u16string file = dir + u"\\\U0001F600.png";
    EXPECT_TRUE(CreateDirectoryW(dir.c_str(), nullptr)) << sim::Utf8(dir);
    EXPECT_FALSE(CreateDirectoryW(dir.c_str(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h) << sim::Utf8(file);
    DWORD put = 0;
    WriteFile(h, "png", 3, &put, nullptr);
    CloseHandle(h);
    EXPECT_EQ("png", world.FileBytes(file));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY), GetFileAttributesW(dir.c_str()));
    EXPECT_EQ((std::vector<std::u16string>{u"\U0001F600.png"}), world.FileNamesIn(dir));
    EXPECT_TRUE(DeleteFileW(file.c_str()));
    EXPECT_FALSE(world.FileExists(file));
    EXPECT_FALSE(DeleteFileW(file.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  }
  // The Cyrillic folder in capitals is the same folder.
  EXPECT_TRUE(world.DirectoryExists(u"C:\\\u0424\u0410\u0419\u041b"));
}

// The A functions see wide names through the code page, with look-alikes where it lacks a
// character: a look-alike names another file, or none.
TEST(WideNames, TheAnsiViewOfAWideNameIsALookAlike) {
  sim::World world;
  world.AddFile(u"C:\\r\u00e9sum\u00e9.txt", "accent");
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND),
            Open("C:\\resume.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING).error);
  world.AddFile("C:\\resume.txt", "plain");
  HANDLE h = CreateFileA("C:\\resume.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  char buf[MAX_PATH];
  DWORD got = 0;
  ReadFile(h, buf, sizeof buf, &got, nullptr);
  CloseHandle(h);
  EXPECT_EQ("plain", std::string(buf, got));

  world.AddFile(u"C:\\\u00c9t\u00e9\\inner.txt", "inner");
  world.SetCurrentDirectory(u"C:\\\u00c9t\u00e9");
  EXPECT_EQ(strlen("C:\\Ete"), GetCurrentDirectoryA(MAX_PATH, buf));
  EXPECT_STREQ("C:\\Ete", buf);
  EXPECT_EQ("C:\\?t?", world.CurrentDirectory());
  // A relative name is resolved in UTF-16 and reaches the file; its full path in the code
  // page does not.
  EXPECT_TRUE(Open("inner.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING).opened);
  ASSERT_EQ(strlen("C:\\Ete\\inner.txt"), GetFullPathNameA("inner.txt", MAX_PATH, buf, nullptr));
  EXPECT_STREQ("C:\\Ete\\inner.txt", buf);
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND),
            Open(buf, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING).error);
  // Hangul has no look-alike: '?', which no name may hold.
  world.AddFile(u"C:\\\ud55c\\x.txt", "x");
  world.SetCurrentDirectory(u"C:\\\ud55c");
  GetFullPathNameA("x.txt", MAX_PATH, buf, nullptr);
  EXPECT_STREQ("C:\\?\\x.txt", buf);
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_NAME),
            Open(buf, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING).error);
  // A lead byte without its trail byte ends the name.
  EXPECT_TRUE(Open("x.txt\x95", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING).opened);
}

// The W form counts UTF-16 units (a character beyond the basic plane is two), the A form
// bytes of its text in the code page.
TEST(GetFullPathNameW, CountsUnitsWhereTheAFormCountsBytes) {
  sim::World world;
  world.AddDirectory(u"C:\\\u65e5\u672c");
  world.SetCurrentDirectory(u"C:\\\u65e5\u672c");
  WCHAR wide[MAX_PATH];
  LPWSTR part = nullptr;
  EXPECT_EQ(12u, GetFullPathNameW(u"\U0001F600.txt", MAX_PATH, wide, &part));
  EXPECT_EQ(std::u16string(u"C:\\\u65e5\u672c\\\U0001F600.txt"), wide);
  EXPECT_EQ(wide + 6, part);
  EXPECT_EQ(11u, GetFullPathNameW(u"x.txt", MAX_PATH, wide, nullptr));
  char ansi[MAX_PATH];
  LPSTR ansiPart = nullptr;
  EXPECT_EQ(13u, GetFullPathNameA("x.txt", MAX_PATH, ansi, &ansiPart));
  EXPECT_STREQ("C:\\\x93\xfa\x96\x7b\\x.txt", ansi);
  EXPECT_EQ(ansi + 8, ansiPart);
  // Too small a buffer: the size needed with the terminating zero, and the buffer left alone.
  WCHAR small[11] = u"keep";
  EXPECT_EQ(12u, GetFullPathNameW(u"x.txt", 11, small, nullptr));
  EXPECT_EQ(std::u16string(u"keep"), small);
  EXPECT_EQ(14u, GetFullPathNameA("x.txt", 13, ansi, nullptr));
  // Blanks, drives and dots as in the A form.
  EXPECT_EQ(0u, GetFullPathNameW(u"  ", MAX_PATH, wide, nullptr));
  GetFullPathNameW(u"C:\\\u00e9t\u00e9\\..\\\ud55c. ", MAX_PATH, wide, &part);
  EXPECT_EQ(std::u16string(u"C:\\\ud55c"), wide);
  GetFullPathNameW(u"\u00e9\\", MAX_PATH, wide, &part);
  EXPECT_EQ(std::u16string(u"C:\\\u65e5\u672c\\\u00e9\\"), wide);
  EXPECT_EQ(nullptr, part);
}

TEST(SearchPathW, FindsWideNamesWhereTheAFormFindsTheirLookAlikes) {
  sim::World world;
  world.AddFile(u"C:\\Outils\\\u00e9t\u00e9.exe", "MZ");
  WCHAR buf[MAX_PATH];
  LPWSTR part = nullptr;
  EXPECT_EQ(17u, SearchPathW(u"C:\\A;C:\\Outils", u"\u00c9T\u00c9", u".exe", MAX_PATH, buf, &part));
  EXPECT_EQ(std::u16string(u"C:\\Outils\\\u00c9T\u00c9.exe"), buf);
  EXPECT_EQ(buf + 10, part);
  EXPECT_EQ(18u, SearchPathW(u"C:\\Outils", u"\u00e9t\u00e9.exe", nullptr, 17, buf, nullptr));
  char ansi[MAX_PATH];
  EXPECT_EQ(0u, SearchPathA("C:\\Outils", "ete.exe", nullptr, MAX_PATH, ansi, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());

  // Without a path the module's folder comes first; the A form hands out a path that
  // names nothing when the folder's name has no look-alike.
  world.SetModulePath(u"C:\\\ud55c\uae00\\Tavix.exe");
  world.AddFile(u"C:\\\ud55c\uae00\\tool.exe", "MZ");
  ASSERT_NE(0u, SearchPathW(nullptr, u"tool", u".exe", MAX_PATH, buf, nullptr));
  EXPECT_EQ(std::u16string(u"C:\\\ud55c\uae00\\tool.exe"), buf);
  ASSERT_NE(0u, SearchPathA(nullptr, "tool", ".exe", MAX_PATH, ansi, nullptr));
  EXPECT_STREQ("C:\\??\\tool.exe", ansi);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(ansi));
}

// The W functions that can fail fail as their A twins; an A twin, built on the same work,
// passes one fault point, its own.
TEST(FallibleCalls, WideFileFunctionsFailAsTheirAnsiTwins) {
  sim::World world;
  world.AddFile(u"C:\\\u00e9.txt", "x");
  world.CountFallibleCalls();
  world.FailFallibleCallsFrom(1);
  EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileW(u"C:\\new.txt", GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, 0, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
  EXPECT_FALSE(world.FileExists("C:\\new.txt"));
  WCHAR buf[MAX_PATH] = u"keep";
  EXPECT_EQ(0u, GetFullPathNameW(u"x", MAX_PATH, buf, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
  EXPECT_EQ(0u, SearchPathW(u"C:\\", u"\u00e9.txt", nullptr, MAX_PATH, buf, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
  EXPECT_EQ(std::u16string(u"keep"), buf);
  EXPECT_EQ((std::vector<std::string>{"CreateFileW failed", "GetFullPathNameW failed",
                                      "SearchPathW failed"}),
            world.FallibleCallRecord());

  world.FailFallibleCallsFrom(0);
  world.CountFallibleCalls();
  char ansi[MAX_PATH];
  EXPECT_NE(0u, SearchPathA("C:\\", "x", ".txt", MAX_PATH, ansi, nullptr) +
                    GetFullPathNameA("x", MAX_PATH, ansi, nullptr));
  Open("C:\\x.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_ALWAYS);
  EXPECT_EQ((std::vector<std::string>{"SearchPathA", "GetFullPathNameA", "CreateFileA"}),
            world.FallibleCallRecord());
}

}  // namespace
