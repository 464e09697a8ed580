// Text functions in the world's code page (932 unless a test changes it).
#include <gtest/gtest.h>

#include <string>

#include "SimWorld.h"

namespace {

// "\x83\x41" is the katakana A: its trail byte is 'A'.
// "\x95\x5c" is a kanji whose trail byte is a backslash.
const char kKatakanaA[] = "\x83\x41";

TEST(StrStrIA, IgnoresCaseOfAsciiLettersAndFindsTheFirstOccurrence) {
  sim::World world;
  const char text[] = "C:\\Tools\\PATH=x path=y";
  EXPECT_EQ(text + 9, StrStrIA(text, "path="));
  EXPECT_EQ(nullptr, StrStrIA(text, "paths"));
  EXPECT_EQ(nullptr, StrStrIA(text, ""));
  EXPECT_EQ(nullptr, StrStrIA(nullptr, "a"));
}

TEST(StrStrIA, NeverStartsAMatchOnTheTrailByteOfATwoByteCharacter) {
  sim::World world;
  std::string text = std::string(kKatakanaA) + "A";
  EXPECT_EQ(text.c_str() + 2, StrStrIA(text.c_str(), "a"));
  EXPECT_EQ(nullptr, StrStrIA("\x95\x5c", "\\"));
}

TEST(StrStrIA, TreatsEveryByteAsACharacterInASingleByteCodePage) {
  sim::World world;
  world.SetCodePage(1252);
  EXPECT_EQ(kKatakanaA + 1, StrStrIA(kKatakanaA, "a"));
}

TEST(StrCmpNIA, ComparesOnlyTheGivenCountWithoutRegardToCase) {
  sim::World world;
  EXPECT_EQ(0, StrCmpNIA("@RESTORE=no", "@restore", 8));
  EXPECT_NE(0, StrCmpNIA("@restor", "@restore", 8));
  EXPECT_EQ(0, StrCmpNIA("Explorer2", "EXPLORER", 8));
  // The second byte of a two-byte character is not a letter to fold.
  EXPECT_NE(0, StrCmpNIA("\x83\x41", "\x83\x61", 2));
}

// Linguistic order: symbols, digits, letters; hyphens and apostrophes count
// only when all else is equal; full-width Latin, Greek and Cyrillic letters
// fold their case like ASCII ones.
TEST(LinguisticComparison, OrdersAndFoldsAsCompareStringDoes) {
  sim::World world;
  EXPECT_LT(lstrcmpiA("{", "a"), 0);
  EXPECT_LT(lstrcmpiA(":", "1"), 0);
  EXPECT_GT(lstrcmpiA("a-b", "ab"), 0);
  EXPECT_LT(lstrcmpA("ab", "a-b"), 0);
  EXPECT_GT(lstrcmpA("A", "a"), 0);
  const char* pairs[][2] = {
      {"\x82\x60", "\x82\x81"},  // full-width A a
      {"\x83\x9F", "\x83\xBF"},  // Greek alpha
      {"\x84\x4F", "\x84\x80"},  // Cyrillic letter across the gap at 0x847F
  };
  for (auto& p : pairs) {
    EXPECT_EQ(0, lstrcmpiA(p[0], p[1])) << p[0];
    EXPECT_GT(lstrcmpA(p[0], p[1]), 0) << p[0];
    EXPECT_EQ(0, StrCmpNIA(p[0], p[1], 2)) << p[0];
  }
  std::string text = std::string("x") + "\x82\x60";
  EXPECT_EQ(text.c_str() + 1, StrStrIA(text.c_str(), "\x82\x81"));
  // A lead byte cut off by the count is a symbol, before letters.
  EXPECT_LT(StrCmpNIA("\x82\x60", "A", 1), 0);
}

TEST(CharNextA, StepsOverTwoByteCharactersButNotOverTheEnd) {
  sim::World world;
  const char text[] = "\x95\x5c" "a";
  EXPECT_EQ(text + 2, CharNextA(text));
  EXPECT_EQ(text + 3, CharNextA(text + 2));
  EXPECT_EQ(text + 3, CharNextA(text + 3));
  const char dangling[] = "\x95";  // lead byte before the terminating NUL
  EXPECT_EQ(dangling + 1, CharNextA(dangling));
  EXPECT_EQ(text, CharPrevA(text, text + 2));
  EXPECT_TRUE(IsDBCSLeadByte(0x81));
  EXPECT_FALSE(IsDBCSLeadByte(0xA0));
}

TEST(Lstr, CopiesAtMostCountMinusOneCharacters) {
  sim::World world;
  char buf[8];
  lstrcpynA(buf, "abcdefghij", 4);
  EXPECT_STREQ("abc", buf);
  EXPECT_EQ(0, lstrlenA(nullptr));
  EXPECT_EQ(0, lstrcmpA("Progman", "Progman"));
  EXPECT_NE(0, lstrcmpA("progman", "Progman"));
  EXPECT_EQ(0, lstrcmpiA("progman", "Progman"));
}

TEST(WsprintfA, FormatsTheWin32Conversions) {
  sim::World world;
  char buf[1100];
  struct Row {
    std::string expected;
    std::string actual;
    int result;
  };
  auto run = [&](const char* expected, int n) {
    return Row{expected, std::string(buf), n};
  };
  Row rows[] = {
      run("C:\\Tools\\", wsprintfA(buf, "%s%s", "C:\\", "Tools\\")),
      run("656578", wsprintfA(buf, "%d", 656578)),
      run("-42", wsprintfA(buf, "%i", -42)),
      run("4294967295", wsprintfA(buf, "%lu", 0xFFFFFFFFu)),
      run("0000BEEF", wsprintfA(buf, "%08X", 0xBEEFu)),
      run("0xbeef", wsprintfA(buf, "%#x", 0xBEEFu)),
      run("  ab|", wsprintfA(buf, "%4s|", "ab")),
      run("ab  |", wsprintfA(buf, "%-4s|", "ab")),
      run("abc", wsprintfA(buf, "%.3s", "abcdef")),
      run("(null)", wsprintfA(buf, "%s", static_cast<const char*>(nullptr))),
      run("x%", wsprintfA(buf, "%c%%", 'x')),
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.expected, r.actual);
    EXPECT_EQ(static_cast<int>(r.expected.size()), r.result) << r.expected;
  }
}

// An output that reaches the limit reports 1024, one more than it holds.
TEST(WsprintfA, StopsAt1023CharactersAndAlwaysTerminates) {
  sim::World world;
  std::string longText(2000, 'p');
  std::string buf(1100, '#');
  int n = wsprintfA(&buf[0], "%s", longText.c_str());
  EXPECT_EQ(1024, n);
  EXPECT_EQ('\0', buf[1023]);
  EXPECT_EQ('#', buf[1024]);
}

}  // namespace
