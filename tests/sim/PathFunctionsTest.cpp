// The light-weight shell's path functions, including the corners Tavix's
// folder resolution walks into (empty texts, drive roots, Shift_JIS names).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "SimWorld.h"

namespace {

std::string Canonical(const std::string& in, BOOL* ok = nullptr) {
  char out[MAX_PATH] = "junk";
  BOOL r = PathCanonicalizeA(out, in.c_str());
  if (ok) *ok = r;
  return out;
}

TEST(PathCanonicalizeA, RemovesDotSegmentsAsTheShellDoes) {
  sim::World world;
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"C:\\a\\.\\b\\..\\c", "C:\\a\\c"},
      {"C:\\a\\b\\..\\..\\..\\x", "C:\\x"},
      {"C:\\..", "C:\\"},
      {"C:", "C:\\"},
      {"C:\\work\\", "C:\\work\\"},
      {"", "\\"},  // an empty text becomes the root of the current drive
      {"docs", "docs"},
      {"..\\x", "..\\x"},  // a leading ".." of a relative text stays
      {"..", ".."},
      {"a\\..\\x", "\\x"},
      // The trail byte 0x5C of the kanji is no separator.
      {"C:\\\x95\x5c\\..\\x", "C:\\x"},
  };
  for (const auto& c : cases) {
    BOOL ok = FALSE;
    EXPECT_EQ(c.out, Canonical(c.in, &ok)) << "input: " << c.in;
    EXPECT_TRUE(ok) << "input: " << c.in;
  }
}

TEST(PathCanonicalizeA, FailsWithAnEmptyResultForASourceOfMaxPathCharacters) {
  sim::World world;
  BOOL ok = TRUE;
  EXPECT_EQ("", Canonical("C:\\" + std::string(257, 'a'), &ok));
  EXPECT_FALSE(ok);
  EXPECT_EQ(std::string("C:\\") + std::string(256, 'a'), Canonical("C:\\" + std::string(256, 'a'), &ok));
  EXPECT_TRUE(ok);
}

TEST(PathAddBackslashA, AddsOneUnlessPresentAndLeavesAnEmptyTextAlone) {
  sim::World world;
  char path[MAX_PATH + 8] = "C:\\work";
  EXPECT_EQ(path + 8, PathAddBackslashA(path));
  EXPECT_STREQ("C:\\work\\", path);
  EXPECT_EQ(path + 8, PathAddBackslashA(path));
  EXPECT_STREQ("C:\\work\\", path);

  char empty[4] = "";
  EXPECT_EQ(empty, PathAddBackslashA(empty));
  EXPECT_STREQ("", empty);

  // A name ending in a kanji whose trail byte is 0x5C still gets its backslash.
  char kanji[16] = "C:\\\x95\x5c";
  PathAddBackslashA(kanji);
  EXPECT_STREQ("C:\\\x95\x5c\\", kanji);
}

TEST(PathAddBackslashA, RefusesAResultLongerThanMaxPath) {
  sim::World world;
  std::string fits(258, 'a');
  char buf[MAX_PATH + 8];
  strcpy(buf, fits.c_str());
  EXPECT_NE(nullptr, PathAddBackslashA(buf));
  EXPECT_EQ(259u, strlen(buf));
  std::string tooLong(259, 'a');
  strcpy(buf, tooLong.c_str());
  EXPECT_EQ(nullptr, PathAddBackslashA(buf));
  EXPECT_EQ(tooLong, buf);
}

TEST(PathTextFunctions, TrimUnquoteAndSplitLikeTheShell) {
  sim::World world;
  const struct {
    const char* in;
    const char* blanksRemoved;
    const char* unquoted;
  } cases[] = {
      {"  C:\\a b  ", "C:\\a b", "  C:\\a b  "},
      {"\"C:\\a b\"", "\"C:\\a b\"", "C:\\a b"},
      {"\"C:\\a", "\"C:\\a", "\"C:\\a"},
      {"   ", "", "   "},
      {"\t x\t", "\t x\t", "\t x\t"},  // only blanks, not TABs
  };
  for (const auto& c : cases) {
    char a[64], b[64];
    strcpy(a, c.in);
    strcpy(b, c.in);
    PathRemoveBlanksA(a);
    PathUnquoteSpacesA(b);
    EXPECT_STREQ(c.blanksRemoved, a) << "input: [" << c.in << "]";
    EXPECT_STREQ(c.unquoted, b) << "input: [" << c.in << "]";
  }
  EXPECT_STREQ(".txt", PathFindExtensionA("C:\\a.b\\notes.txt"));
  EXPECT_STREQ("", PathFindExtensionA("C:\\a.b\\notes"));
  EXPECT_STREQ("notes.txt", PathFindFileNameA("C:\\a\\notes.txt"));
  EXPECT_TRUE(PathIsRelativeA("docs\\x"));
  EXPECT_FALSE(PathIsRelativeA("\\docs"));
  EXPECT_FALSE(PathIsRelativeA("C:docs"));
  char fileSpec[32] = "C:\\a\\b.txt";
  EXPECT_TRUE(PathRemoveFileSpecA(fileSpec));
  EXPECT_STREQ("C:\\a", fileSpec);
  char root[8] = "C:\\x";
  PathRemoveFileSpecA(root);
  EXPECT_STREQ("C:\\", root);
}

TEST(PathFileExistsA, SeesFilesAndDirectoriesWhileIsDirectorySeesOnlyDirectories) {
  sim::World world;
  world.AddFile("C:\\Work\\notes.txt", "x");
  EXPECT_TRUE(PathFileExistsA("c:\\work\\NOTES.TXT"));
  EXPECT_TRUE(PathFileExistsA("C:\\Work"));
  EXPECT_FALSE(PathFileExistsA(""));
  EXPECT_FALSE(PathFileExistsA("\"C:\\Work\""));
  EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, PathIsDirectoryA("C:\\Work\\"));
  EXPECT_FALSE(PathIsDirectoryA("C:\\Work\\notes.txt"));
  EXPECT_FALSE(PathIsDirectoryA("C:\\Work\\notes.txt\\"));
  // The canonical form of an empty title is "\", the current drive's root.
  EXPECT_TRUE(PathIsDirectoryA("\\"));
  // Relative texts are taken against the current directory.
  world.SetCurrentDirectory("C:\\Work");
  EXPECT_TRUE(PathFileExistsA("notes.txt"));
  EXPECT_FALSE(PathFileExistsA("Work"));
}

// ----- the W forms -----

// In UTF-16 a backslash is always one: the texts around it may be of any script or plane.
TEST(PathFunctionsW, SplitTrimAndUnquoteTextsOfEveryScript) {
  sim::World world;
  const struct {
    std::u16string in;
    std::u16string fileSpecRemoved;
    size_t fileName;   // offset of PathFindFileNameW
    size_t extension;  // offset of PathFindExtensionW
  } cases[] = {
      {u"C:\\\u00e9\\r\u00e9sum\u00e9.txt", u"C:\\\u00e9", 5, 11},
      {u"C:\\\ud55c\uae00\\", u"C:\\\ud55c\uae00", 3, 6},
      {u"\U0001F600.tar.gz", u"", 0, 6},
      {u"a.b\\\U00020BB7", u"a.b", 4, 6},
      {u"C:\\", u"C:\\", 0, 3},
  };
  for (const auto& c : cases) {
    std::u16string spec = c.in;
    PathRemoveFileSpecW(&spec[0]);
    EXPECT_EQ(c.fileSpecRemoved, spec.c_str()) << sim::Utf8(c.in);
    EXPECT_EQ(c.in.c_str() + c.fileName, PathFindFileNameW(c.in.c_str())) << sim::Utf8(c.in);
    EXPECT_EQ(c.in.c_str() + c.extension, PathFindExtensionW(c.in.c_str())) << sim::Utf8(c.in);
  }
  WCHAR blanks[] = u"  C:\\\u00e9 \u00e9  ";
  PathRemoveBlanksW(blanks);
  EXPECT_EQ(std::u16string(u"C:\\\u00e9 \u00e9"), blanks);
  WCHAR quoted[] = u"\"C:\\\ud55c \uae00\"";
  PathUnquoteSpacesW(quoted);
  EXPECT_EQ(std::u16string(u"C:\\\ud55c \uae00"), quoted);
  WCHAR trailing[] = u"C:\\\u00e9\\";
  EXPECT_EQ(trailing + 4, PathRemoveBackslashW(trailing));
  EXPECT_EQ(std::u16string(u"C:\\\u00e9"), trailing);
  WCHAR root[] = u"C:\\";
  PathRemoveBackslashW(root);
  EXPECT_EQ(std::u16string(u"C:\\"), root);
  EXPECT_TRUE(PathIsRelativeW(u"\u00e9\\x"));
  EXPECT_FALSE(PathIsRelativeW(u"C:\u00e9"));
  EXPECT_TRUE(PathIsUNCServerShareW(u"\\\\\u00e9\\\ud55c"));
  EXPECT_FALSE(PathIsUNCServerShareW(u"\\\\\u00e9\\\ud55c\\x"));
}

// As in the A form: nothing is added to an empty text, and a result that would not fit
// MAX_PATH characters is refused with the text unchanged.
TEST(PathAddBackslashW, AddsOneWithinMaxPathCharacters) {
  sim::World world;
  WCHAR path[MAX_PATH + 8] = u"C:\\\U0001F600";
  EXPECT_EQ(path + 6, PathAddBackslashW(path));
  EXPECT_EQ(std::u16string(u"C:\\\U0001F600\\"), path);
  EXPECT_EQ(path + 6, PathAddBackslashW(path));
  WCHAR empty[4] = u"";
  EXPECT_EQ(empty, PathAddBackslashW(empty));
  EXPECT_EQ(u'\0', empty[0]);
  std::u16string fits(258, u'\u00e9');
  std::copy(fits.begin(), fits.end(), path);
  path[258] = 0;
  EXPECT_EQ(path + 259, PathAddBackslashW(path));
  std::u16string tooLong(259, u'\u00e9');
  std::copy(tooLong.begin(), tooLong.end(), path);
  path[259] = 0;
  EXPECT_EQ(nullptr, PathAddBackslashW(path));
  EXPECT_EQ(tooLong, path);
}

// The buffer holds MAX_PATH characters, so a source that long is refused with an empty
// result rather than written past it.
TEST(PathCanonicalizeW, RemovesDotSegmentsAndRefusesSourcesOfMaxPathCharacters) {
  sim::World world;
  WCHAR out[MAX_PATH + 64];
  EXPECT_TRUE(PathCanonicalizeW(out, u"C:\\\u00e9\\..\\\ud55c\\.\\\U0001F600"));
  EXPECT_EQ(std::u16string(u"C:\\\ud55c\\\U0001F600"), out);
  EXPECT_TRUE(PathCanonicalizeW(out, u""));
  EXPECT_EQ(std::u16string(u"\\"), out);
  std::u16string longest = u"C:\\" + std::u16string(256, u'c');
  EXPECT_TRUE(PathCanonicalizeW(out, longest.c_str()));
  EXPECT_EQ(longest, out);
  for (size_t length : {260u, 300u}) {
    std::u16string source = u"C:\\" + std::u16string(length - 3, u'c');
    out[0] = u'#';
    out[MAX_PATH] = u'#';
    EXPECT_FALSE(PathCanonicalizeW(out, source.c_str())) << length;
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), GetLastError());
    EXPECT_EQ(u'\0', out[0]);
    EXPECT_EQ(u'#', out[MAX_PATH]);
  }
}

TEST(PathFileExistsW, FindsTheNameWithItsAccentsInAnyCase) {
  sim::World world;
  world.AddFile(u"C:\\\u00c9t\u00e9\\r\u00e9sum\u00e9.txt", "x");
  EXPECT_TRUE(PathFileExistsW(u"c:\\\u00e9t\u00e9\\R\u00c9SUM\u00c9.TXT"));
  EXPECT_FALSE(PathFileExistsW(u"C:\\\u00c9t\u00e9\\resume.txt"));
  EXPECT_FALSE(PathFileExistsW(u"C:\\Ete"));
  EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, PathIsDirectoryW(u"C:\\\u00c9T\u00c9\\"));
  EXPECT_FALSE(PathIsDirectoryW(u"C:\\\u00c9t\u00e9\\r\u00e9sum\u00e9.txt"));
  EXPECT_FALSE(PathFileExistsW(nullptr));
}

}  // namespace
