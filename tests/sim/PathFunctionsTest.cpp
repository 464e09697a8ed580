// The light-weight shell's path functions, including the corners Tavix's
// folder resolution walks into (empty texts, drive roots, Shift_JIS names).
#include <gtest/gtest.h>

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

}  // namespace
