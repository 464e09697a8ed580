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

// ----- the W forms -----

// Ignoring case, letters equal after case folding, accented Latin, Greek, Cyrillic and
// full-width ones included; an accent, a width or a hyphen still tells texts apart.
TEST(WideComparison, FoldsTheCaseOfLettersButNotTheirAccents) {
  sim::World world;
  const char16_t* sameIgnoringCase[][2] = {
      {u"r\u00e9sum\u00e9", u"R\u00c9SUM\u00c9"}, {u"\u00fc", u"\u00dc"}, {u"\u010d", u"\u010c"},
      {u"\u00ff", u"\u0178"}, {u"\u03b1\u03b2\u03b3", u"\u0391\u0392\u0393"},
      {u"\u0444\u0430\u0439\u043b", u"\u0424\u0410\u0419\u041b"}, {u"\u0451", u"\u0401"},
      {u"\uff41", u"\uff21"},
  };
  for (auto& p : sameIgnoringCase) {
    int n = static_cast<int>(std::u16string(p[0]).size());
    EXPECT_EQ(0, lstrcmpiW(p[0], p[1])) << sim::Utf8(p[0]);
    EXPECT_EQ(0, StrCmpNIW(p[0], p[1], n)) << sim::Utf8(p[0]);
    EXPECT_LT(lstrcmpW(p[0], p[1]), 0) << sim::Utf8(p[0]);  // small letters first
    EXPECT_LT(StrCmpNW(p[0], p[1], n), 0) << sim::Utf8(p[0]);
  }
  const char16_t* different[][2] = {
      {u"r\u00e9sum\u00e9", u"resume"}, {u"\u00e9", u"\u00e8"}, {u"\uff41", u"a"},
      {u"a-b", u"ab"}, {u"a'b", u"ab"}, {u"\U0001F600", u"\U0001F601"}, {u"\u0131", u"i"},
  };
  for (auto& p : different) {
    EXPECT_NE(0, lstrcmpiW(p[0], p[1])) << sim::Utf8(p[0]);
    EXPECT_NE(0, StrCmpNIW(p[0], p[1], 8)) << sim::Utf8(p[0]);
  }
  // An accented letter sorts with its base letter, its marks in the system's order.
  EXPECT_LT(lstrcmpW(u"e", u"\u00e9"), 0);
  EXPECT_LT(lstrcmpW(u"\u00e9", u"\u00e8"), 0);
  EXPECT_LT(lstrcmpW(u"\u00e8", u"f"), 0);
  EXPECT_GT(lstrcmpiW(u"\u00e9b", u"eb"), 0);
  EXPECT_LT(lstrcmpW(u"\u0435", u"\u0451"), 0);
  EXPECT_LT(lstrcmpW(u"\u0451", u"\u0436"), 0);
  // Kana and kanji in the order of their codes in code page 932, after every letter.
  EXPECT_LT(lstrcmpW(u"\u8868", u"\u6016"), 0);
  EXPECT_GT(lstrcmpW(u"\u8868", u"z"), 0);
  EXPECT_GT(lstrcmpiW(u"\ud55c", u"\uae00"), 0);
  EXPECT_EQ(0, lstrcmpiW(nullptr, nullptr));
  EXPECT_LT(lstrcmpiW(nullptr, u"a"), 0);
}

// A surrogate pair compares as one character; a count that cuts it leaves its first half.
TEST(WideComparison, ASurrogatePairIsOneCharacter) {
  sim::World world;
  EXPECT_EQ(0, lstrcmpiW(u"\U00020BB7", u"\U00020BB7"));
  EXPECT_EQ(0, StrCmpNIW(u"x\U0001F600", u"x\U0001F601", 2));
  EXPECT_NE(0, StrCmpNIW(u"x\U0001F600", u"x\U0001F601", 3));
  EXPECT_EQ(0, StrCmpNIW(u"x\U0001F600", u"X", 1));
}

TEST(StrStrIW, FindsAccentedTextWithoutRegardToCase) {
  sim::World world;
  const char16_t text[] = u"Mon R\u00c9SUM\u00c9.txt";
  EXPECT_EQ(text + 4, StrStrIW(text, u"r\u00e9sum\u00e9"));
  EXPECT_EQ(nullptr, StrStrW(text, u"r\u00e9sum\u00e9"));
  EXPECT_EQ(text + 4, StrStrW(text, u"R\u00c9SUM\u00c9"));
  EXPECT_EQ(nullptr, StrStrIW(u"resume.txt", u"r\u00e9sum\u00e9"));
  EXPECT_EQ(nullptr, StrStrIW(u"r\u00e9sum\u00e9.txt", u"resume"));
  EXPECT_EQ(nullptr, StrStrIW(u"x\uff21\uff22", u"ab"));
  const char16_t greek[] = u"x\u03b1\u03b2";
  EXPECT_EQ(greek + 1, StrStrIW(greek, u"\u0391\u0392"));
  EXPECT_EQ(nullptr, StrStrIW(greek, u""));
  EXPECT_EQ(nullptr, StrStrIW(nullptr, u"a"));
  // The search goes unit by unit, as the system's: half a pair is found inside the pair.
  const char16_t smile[] = u"x\U0001F600y";
  EXPECT_EQ(smile + 1, StrStrIW(smile, u"\U0001F600"));
  const char16_t lowHalf[] = {0xDE00, 0};
  EXPECT_EQ(smile + 2, StrStrW(smile, lowHalf));
}

TEST(CharNextW, StepsOneUnitAndStopsAtTheEnds) {
  sim::World world;
  const char16_t text[] = u"a\U0001F600b";
  EXPECT_EQ(text + 1, CharNextW(text));
  EXPECT_EQ(text + 2, CharNextW(text + 1));
  EXPECT_EQ(text + 4, CharNextW(text + 4));
  EXPECT_EQ(text + 2, CharPrevW(text, text + 3));
  EXPECT_EQ(text, CharPrevW(text, text));
  EXPECT_EQ(text + 3, StrChrW(text, u'b'));
  EXPECT_EQ(text + 4, StrChrW(text, 0));  // unlike StrChrA, the zero is found
  EXPECT_EQ(nullptr, StrChrW(text, u'c'));
  EXPECT_EQ(4, lstrlenW(text));
  char16_t buf[8];
  lstrcpynW(buf, text, 3);  // the copy may cut a pair, as the system's does
  EXPECT_EQ(std::u16string(u"a\xD83D"), buf);
  lstrcpyW(buf, u"\u00e9");
  lstrcatW(buf, u"\U0001F600");
  EXPECT_EQ(std::u16string(u"\u00e9\U0001F600"), buf);
}

TEST(WsprintfW, FormatsWideTextsAndConvertsAnsiOnes) {
  sim::World world;
  char16_t buf[1100];
  struct Row {
    std::u16string expected;
    std::u16string actual;
    int result;
  };
  auto run = [&](const char16_t* expected, int n) { return Row{expected, buf, n}; };
  Row rows[] = {
      run(u"[r\u00e9sum\u00e9]", wsprintfW(buf, u"[%s]", u"r\u00e9sum\u00e9")),
      run(u"[\U0001F600]", wsprintfW(buf, u"[%ls]", u"\U0001F600")),
      run(u"[narrow]", wsprintfW(buf, u"[%hs]", "narrow")),
      run(u"[narrow]", wsprintfW(buf, u"[%S]", "narrow")),
      run(u"[\u8868\u793a]", wsprintfW(buf, u"[%hs]", "\x95\x5c\x8e\xa6")),
      run(u"[(null)]", wsprintfW(buf, u"[%s]", static_cast<const char16_t*>(nullptr))),
      run(u"[    \u00e9]", wsprintfW(buf, u"[%5s]", u"\u00e9")),
      run(u"[\u00e9    ]", wsprintfW(buf, u"[%-5s]", u"\u00e9")),
      run(u"[\u00e9t]", wsprintfW(buf, u"[%.2s]", u"\u00e9t\u00e9")),
      run(u"[\u00e9x]", wsprintfW(buf, u"[%c%hc]", 0xE9, 'x')),
      run(u"[-42 00042 0xff 0000BEEF]",
          wsprintfW(buf, u"[%d %05d %#x %08X]", -42, 42, 255, 0xBEEFu)),
      run(u"C:\\\u00e9\\\U00020BB7.txt", wsprintfW(buf, u"%s\\%s", u"C:\\\u00e9", u"\U00020BB7.txt")),
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.expected, r.actual);
    EXPECT_EQ(static_cast<int>(r.expected.size()), r.result) << sim::Utf8(r.expected);
  }
  // A lead byte without its trail byte becomes a zero character, written and counted.
  EXPECT_EQ(3, wsprintfW(buf, u"[%hs]", "\x8e"));
  EXPECT_EQ(std::u16string(u"[\0]", 3), std::u16string(buf, 3));
  // The output stops at 1023 characters and reports 1024.
  std::u16string longText(2000, u'\u00e9');
  std::u16string out(1100, u'#');
  EXPECT_EQ(1024, wsprintfW(&out[0], u"%s", longText.c_str()));
  EXPECT_EQ(u'\0', out[1023]);
  EXPECT_EQ(u'#', out[1024]);
}

// Wide texts reach the ANSI output through the code page with look-alikes, each unit on its
// own, so both halves of a pair become '?'.
TEST(WsprintfA, ConvertsWideTextsWithLookAlikes) {
  sim::World world;
  char buf[64];
  EXPECT_EQ(8, wsprintfA(buf, "[%S]", u"r\u00e9sum\u00e9"));
  EXPECT_STREQ("[resume]", buf);
  EXPECT_EQ(4, wsprintfA(buf, "[%S]", u"\u8868"));
  EXPECT_STREQ("[\x95\x5c]", buf);
  EXPECT_EQ(4, wsprintfA(buf, "[%ls]", u"\U0001F600"));
  EXPECT_STREQ("[\?\?]", buf);
  EXPECT_EQ(3, wsprintfA(buf, "[%C]", u'\u00e9'));
  EXPECT_STREQ("[e]", buf);
}

// In code page 1252 accented letters are single bytes, and fold their case as the system's
// comparison does.
TEST(LinguisticComparison, FoldsAccentedLettersOfCodePage1252) {
  sim::World world;
  world.SetCodePage(1252);
  EXPECT_EQ(0, lstrcmpiA("r\xe9sum\xe9", "R\xc9SUM\xc9"));
  EXPECT_NE(0, lstrcmpiA("r\xe9sum\xe9", "resume"));
  const char text[] = "Mon R\xc9SUM\xc9.txt";
  EXPECT_EQ(text + 4, StrStrIA(text, "r\xe9sum\xe9"));
  EXPECT_EQ(0, StrCmpNIA("\xfc" "ber", "\xdc" "BER", 4));
}

}  // namespace
