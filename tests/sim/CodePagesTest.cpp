// Conversions between the code pages (932, 1252, UTF-8) and UTF-16, as the
// platform makes them: MultiByteToWideChar, WideCharToMultiByte and the test
// helpers built on them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "SimWorld.h"

namespace {

// The result of MultiByteToWideChar with a buffer of `room` units (0: only
// the size is asked) that starts filled with 0xCCCC, and what it holds after.
struct Widened {
  int result;
  DWORD error;
  std::u16string units;  // the units counted, or after a failure those written
};

Widened ToWide(UINT page, const std::string& bytes, DWORD flags = 0, int room = 64,
               bool withZero = false) {
  std::vector<WCHAR> buf(64, 0xCCCC);
  SetLastError(0);
  int r = MultiByteToWideChar(page, flags, bytes.c_str(),
                              withZero ? -1 : static_cast<int>(bytes.size()),
                              room ? buf.data() : nullptr, room);
  Widened w{r, r ? 0 : GetLastError(), {}};
  size_t shown = r > 0 && room ? r : room;
  if (r <= 0)
    while (shown > 0 && buf[shown - 1] == 0xCCCC) --shown;
  w.units.assign(buf.begin(), buf.begin() + shown);
  return w;
}

// The same for WideCharToMultiByte: a buffer of 0xCC bytes, and what
// lpUsedDefaultChar got (7 when not asked).
struct Narrowed {
  int result;
  DWORD error;
  BOOL used;
  std::string bytes;
};

Narrowed ToBytes(UINT page, const std::u16string& text, DWORD flags = 0, int room = 64,
                 const char* defaultChar = nullptr, bool askUsed = true) {
  std::vector<char> buf(64, '\xCC');
  BOOL used = 7;
  SetLastError(0);
  int r = WideCharToMultiByte(page, flags, text.c_str(), static_cast<int>(text.size()),
                              room ? buf.data() : nullptr, room, defaultChar,
                              askUsed ? &used : nullptr);
  Narrowed n{r, r ? 0 : GetLastError(), used, {}};
  size_t shown = r > 0 && room ? r : room;
  if (r <= 0)
    while (shown > 0 && buf[shown - 1] == '\xCC') --shown;
  n.bytes.assign(buf.begin(), buf.begin() + shown);
  return n;
}

// ---------------------------------------------------------------------------
// Code page 932
// ---------------------------------------------------------------------------

// Codes that go to UTF-16 and come back as they were.
TEST(CodePage932, NamesAndSymbolsGoToUtf16AndBack) {
  sim::World world;
  const struct {
    const char* what;
    std::string bytes;
    std::u16string wide;
  } cases[] = {
      {"katakana so, trail byte 0x5C", "\x83\x5C", u"\u30BD"},
      {"kanji hyou, trail byte 0x5C", "\x95\x5C", u"\u8868"},
      {"a name with a 0x5C trail byte", "\x83\x5C\x83\x74\x83\x67.txt", u"\u30BD\u30D5\u30C8.txt"},
      {"a folder path", "C:\\\x95\x5C\\\x8E\xA6.txt", u"C:\\\u8868\\\u793A.txt"},
      {"half-width katakana", "\xB1\xB2\xB3\xDE\xDF\xA1", u"\uFF71\uFF72\uFF73\uFF9E\uFF9F\uFF61"},
      {"backslash and tilde stay ASCII", "\\~", u"\\~"},
      {"full-width backslash", "\x81\x5F", u"\uFF3C"},
      {"full-width tilde", "\x81\x60", u"\uFF5E"},
      {"full-width hyphen-minus", "\x81\x7C", u"\uFF0D"},
      {"full-width cent", "\x81\x91", u"\uFFE0"},
      {"full-width quotation mark (IBM extension)", "\xFA\x57", u"\uFF02"},
      {"circled one (NEC special)", "\x87\x40", u"\u2460"},
      {"katakana middle dot itself", "\x81\x45", u"\u30FB"},
      {"a trail byte with a lead byte's value", "\x81\x81@", u"\uFF1D@"},
      {"user-defined area", "\xF0\x40\xF9\xFC", u"\uE000\uE757"},
      {"0x80", "\x80", u"\u0080"},
      {"0xA0 and 0xFD-0xFF", "\xA0\xFD\xFE\xFF", u"\uF8F0\uF8F1\uF8F2\uF8F3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Widened w = ToWide(932, c.bytes);
    EXPECT_EQ(c.wide, w.units);
    EXPECT_EQ(static_cast<int>(c.wide.size()), w.result);
    Narrowed n = ToBytes(932, c.wide, WC_NO_BEST_FIT_CHARS);
    EXPECT_EQ(c.bytes, n.bytes);
    EXPECT_FALSE(n.used);
    EXPECT_EQ(c.bytes, sim::Ansi(c.wide));
    EXPECT_EQ(c.wide, sim::Widen(c.bytes));
  }
}

// Several codes for one character: going back gives the code Windows writes.
TEST(CodePage932, DuplicateCodesComeBackAsTheOneWindowsWrites) {
  sim::World world;
  const struct {
    std::string bytes;
    char16_t unit;
    std::string back;
  } cases[] = {
      {"\x87\x90", u'\u2252', "\x81\xE0"},  // NEC row 13 -> JIS
      {"\x87\x9A", u'\u2235', "\x81\xE6"},
      {"\xEE\xEF", u'\u2170', "\xFA\x40"},  // NEC-selected IBM -> IBM
      {"\xEE\xF9", u'\uFFE2', "\x81\xCA"},
      {"\xFA\x54", u'\uFFE2', "\x81\xCA"},
      {"\xED\x40", u'\u7E8A', "\xFA\x5C"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(std::u16string(1, c.unit), ToWide(932, c.bytes).units);
    EXPECT_EQ(c.back, ToBytes(932, std::u16string(1, c.unit), WC_NO_BEST_FIT_CHARS).bytes);
  }
}

// Lead bytes without a character after them, and codes the page does not
// define: U+30FB without MB_ERR_INVALID_CHARS, a failure with it.
TEST(CodePage932, UndefinedCodesGiveTheMiddleDotOrFail) {
  sim::World world;
  const struct {
    const char* what;
    std::string bytes;
    std::u16string wide;
  } cases[] = {
      {"lead byte at the end", "a\x81", u"a\u30FB"},
      {"lead byte and space: both bytes go", "\x81 x", u"\u30FBx"},
      {"lead byte and 0x7F", "\x81\x7Fx", u"\u30FBx"},
      {"lead byte and 0xFD", "\x81\xFDx", u"\u30FBx"},
      {"undefined pair", "\x85\x40x", u"\u30FBx"},
      {"undefined pair at the end of a row", "\xEB\x40", u"\u30FB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.wide, ToWide(932, c.bytes).units);
    Widened strict = ToWide(932, c.bytes, MB_ERR_INVALID_CHARS);
    EXPECT_EQ(0, strict.result);
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), strict.error);
    EXPECT_EQ(u"", strict.units);  // nothing written
  }
  // A lead byte before the terminating zero: the zero stays a character.
  Widened w = ToWide(932, "a\x81", 0, 64, true);
  EXPECT_EQ(3, w.result);
  EXPECT_EQ(std::u16string(u"a\u30FB\0", 3), w.units);
  // MB_ERR_INVALID_CHARS refuses the bytes that map into the private-use area,
  // and takes 0x80, U+30FB's own code and the user-defined pairs.
  for (const char* b : {"\xA0", "\xFD", "\xFE", "\xFF"})
    EXPECT_EQ(0, ToWide(932, b, MB_ERR_INVALID_CHARS).result) << b;
  for (const char* b : {"\x80", "\x81\x45", "\xF0\x40"})
    EXPECT_EQ(1, ToWide(932, b, MB_ERR_INVALID_CHARS).result) << b;
}

// Every unit the page writes exactly reads back as itself, and best-fit never
// changes a unit the page has.
TEST(AllUnits, EveryExactMappingRoundTripsAndBestFitOnlyFillsGaps) {
  sim::World world;
  for (UINT page : {932u, 1252u}) {
    int exact = 0;
    for (unsigned u = 1; u < 0x10000; ++u) {
      std::u16string one(1, static_cast<char16_t>(u));
      Narrowed strict = ToBytes(page, one, WC_NO_BEST_FIT_CHARS);
      Narrowed loose = ToBytes(page, one);
      if (strict.used) {
        ASSERT_EQ("?", strict.bytes) << page << " U+" << std::hex << u;
        continue;
      }
      ++exact;
      ASSERT_EQ(one, ToWide(page, strict.bytes).units) << page << " U+" << std::hex << u;
      ASSERT_EQ(strict.bytes, loose.bytes) << page << " U+" << std::hex << u;
      ASSERT_FALSE(loose.used);
    }
    EXPECT_EQ(page == 932 ? 9401 : 255, exact) << page;
  }
}

// ---------------------------------------------------------------------------
// Best-fit
// ---------------------------------------------------------------------------

// Without WC_NO_BEST_FIT_CHARS a character the page lacks may become a
// look-alike, and lpUsedDefaultChar says nothing of it; with the flag it is
// '?' and the flag is set.
TEST(BestFit, LookAlikesWithoutTheFlagQuestionMarksWithIt) {
  sim::World world;
  const struct {
    UINT page;
    std::u16string wide;
    std::string bestFit;  // "?" with the used flag set: no look-alike either
    std::string strict;   // with WC_NO_BEST_FIT_CHARS
  } cases[] = {
      {932, u"r\u00E9sum\u00E9.txt", "resume.txt", "r?sum?.txt"},
      {932, u"\u00C9", "E", "?"},
      {932, u"\u00A5", "\\", "?"},  // yen sign: a path separator
      {932, u"\u00A6", "|", "?"},
      {932, u"\u00A2\u00A3\u00AC", "\x81\x91\x81\x92\x81\xCA", "???"},
      {932, u"\u00B5", "\x83\xCA", "?"},  // micro sign -> Greek mu
      {932, u"\u3094", "\x83\x94", "?"},  // hiragana vu -> katakana vu
      {932, u"\u2014", "?", "?"},           // em dash: none
      {932, u"\u301C", "?", "?"},           // wave dash: none (Windows uses U+FF5E)
      {932, u"\u2212", "?", "?"},           // minus sign: none (Windows uses U+FF0D)
      {932, u"\u203E", "?", "?"},
      {932, u"\u0100", "?", "?"},
      {1252, u"\u0100\u0141\u0131", "ALi", "???"},
      {1252, u"\uFF3C\uFF0F\u2215", "\\//", "???"},  // full-width backslash, slashes
      {1252, u"\uFF21\u3000\u221E", "A 8", "???"},
      {1252, u"\u3042", "?", "?"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(sim::Utf8(c.wide));
    Narrowed loose = ToBytes(c.page, c.wide);
    EXPECT_EQ(c.bestFit, loose.bytes);
    EXPECT_EQ(c.bestFit == "?", loose.used != FALSE);
    Narrowed strict = ToBytes(c.page, c.wide, WC_NO_BEST_FIT_CHARS);
    EXPECT_EQ(c.strict, strict.bytes);
    EXPECT_TRUE(strict.used);
    if (c.page == 932) {
      EXPECT_EQ(c.strict, sim::Ansi(c.wide));
    }
  }
}

TEST(BestFit, TheDefaultCharacterIsTheCallersAndFollowsThePage) {
  sim::World world;
  EXPECT_EQ("*", ToBytes(932, u"\u00E9", WC_NO_BEST_FIT_CHARS, 64, "*").bytes);
  EXPECT_EQ("\x81\x45", ToBytes(932, u"\u00E9", WC_NO_BEST_FIT_CHARS, 64, "\x81\x45").bytes);
  EXPECT_EQ("ab", ToBytes(932, u"\u00E9", WC_NO_BEST_FIT_CHARS, 64, "ab").bytes);
  EXPECT_EQ("a", ToBytes(1252, u"\u8868", WC_NO_BEST_FIT_CHARS, 64, "ab").bytes);
  EXPECT_EQ(std::string("\0", 1), ToBytes(932, u"\u00E9", WC_NO_BEST_FIT_CHARS, 64, "").bytes);
  // Without lpUsedDefaultChar the text is the same.
  Narrowed n = ToBytes(932, u"\u00E9x", WC_NO_BEST_FIT_CHARS, 64, nullptr, false);
  EXPECT_EQ(2, n.result);
  EXPECT_EQ("?x", n.bytes);
  // A combining accent is not joined to its letter.
  EXPECT_EQ("e?", ToBytes(932, u"e\u0301").bytes);
}

// ---------------------------------------------------------------------------
// Surrogates
// ---------------------------------------------------------------------------

TEST(Surrogates, EachHalfIsOneDefaultCharacterInACodePage) {
  sim::World world;
  const struct {
    std::u16string wide;
    std::string bytes;
  } cases[] = {
      {u"\U00020BB7", "??"},  // 𠮷
      {u"a\U0001F600b", "a??b"},
      {std::u16string(u"\xD842" u"a"), "?a"},
      {std::u16string(u"\xDFB7" u"a"), "?a"},
      {std::u16string(u"a\xD842"), "a?"},
  };
  for (UINT page : {932u, 1252u}) {
    for (const auto& c : cases) {
      for (DWORD flags : {DWORD{0}, DWORD{WC_NO_BEST_FIT_CHARS}}) {
        Narrowed n = ToBytes(page, c.wide, flags);
        EXPECT_EQ(c.bytes, n.bytes) << page;
        EXPECT_TRUE(n.used);
      }
    }
  }
  EXPECT_EQ("**", ToBytes(932, u"\U00020BB7", 0, 64, "*").bytes);
}

TEST(Surrogates, Utf8KeepsPairsAndReplacesLoneHalves) {
  sim::World world;
  const struct {
    std::u16string wide;
    std::string utf8;
    bool lone;
  } cases[] = {
      {u"\U00020BB7", "\xF0\xA0\xAE\xB7", false},
      {u"a\U0001F600b", "a\xF0\x9F\x98\x80" "b", false},
      {u"\U0010FFFF", "\xF4\x8F\xBF\xBF", false},
      {std::u16string(u"\xD842" u"a"), "\xEF\xBF\xBD" "a", true},
      {std::u16string(u"\xDFB7" u"a"), "\xEF\xBF\xBD" "a", true},
      {std::u16string(u"a\xD842"), "a\xEF\xBF\xBD", true},
      {std::u16string(u"\xD842\xD842\xDFB7"), "\xEF\xBF\xBD\xF0\xA0\xAE\xB7", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.utf8);
    Narrowed n = ToBytes(CP_UTF8, c.wide, 0, 64, nullptr, false);
    EXPECT_EQ(c.utf8, n.bytes);
    Narrowed strict = ToBytes(CP_UTF8, c.wide, WC_ERR_INVALID_CHARS, 64, nullptr, false);
    EXPECT_EQ(c.lone ? 0 : static_cast<int>(c.utf8.size()), strict.result);
    EXPECT_EQ(c.lone ? static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION) : 0u, strict.error);
    EXPECT_EQ(c.utf8, strict.bytes);  // written even when the call fails
    if (!c.lone) {
      EXPECT_EQ(c.wide, ToWide(CP_UTF8, c.utf8).units);
    }
    EXPECT_EQ(c.utf8, sim::Utf8(c.wide));
  }
}

// ---------------------------------------------------------------------------
// UTF-8 input
// ---------------------------------------------------------------------------

TEST(Utf8, InvalidSequencesBecomeReplacementCharactersAsWindowsCutsThem) {
  sim::World world;
  const std::u16string R = u"\uFFFD";
  const struct {
    std::string utf8;
    std::u16string wide;
  } cases[] = {
      {"a\x80z", u"a" + R + u"z"},
      {"a\xC0\x80z", u"a" + R + R + u"z"},  // overlong two bytes: C0 and C1 start nothing
      {"a\xC3", u"a" + R},
      {"a\xE3\x81", u"a" + R},             // cut at the end: one for the whole sequence
      {"a\xE3\x81z", u"a" + R + u"z"},
      {"a\xE3zz", u"a" + R + u"zz"},
      {"a\xE0\x80\x80z", u"a" + R + R + u"z"},  // overlong three bytes
      {"a\xED\xA0\x80z", u"a" + R + R + u"z"},  // a surrogate
      {"\xED\xA0\xBD\xED\xB8\x80", R + R + R + R},
      {"a\xF0\x80\x80\x80z", u"a" + R + R + R + u"z"},
      {"a\xF0\x9F\x98", u"a" + R},
      {"a\xF0\x80\x80", u"a" + R},  // cut at the end, though already overlong
      {"a\xF4\x90\x80\x80z", u"a" + R + R + R + u"z"},  // beyond U+10FFFF
      {"a\xF5\x80\x80\x80z", u"a" + R + R + R + R + u"z"},
      {"a\xFE\xFFz", u"a" + R + R + u"z"},
      // A byte that starts a character is never swallowed by a cut sequence.
      {"a\xE3z", u"a" + R + u"z"},
      {"a\xF0\x9Fz", u"a" + R + u"z"},
      {"\xEF\xBB\xBFz\xEF\xBF\xBF", u"\uFEFFz\uFFFF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.utf8);
    Widened w = ToWide(CP_UTF8, c.utf8);
    EXPECT_EQ(c.wide, w.units);
    EXPECT_EQ(static_cast<int>(c.wide.size()), w.result);
    EXPECT_EQ(c.wide, sim::Utf16(c.utf8));
    bool valid = c.wide.find(R) == std::u16string::npos;
    Widened strict = ToWide(CP_UTF8, c.utf8, MB_ERR_INVALID_CHARS);
    EXPECT_EQ(valid ? w.result : 0, strict.result);
    if (!valid) {
      EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), strict.error);
    }
    EXPECT_EQ(c.wide, strict.units);  // written even when the call fails
  }
}

// ---------------------------------------------------------------------------
// Buffers and parameters
// ---------------------------------------------------------------------------

TEST(Buffers, TooSmallGetsWholeCharactersAndFails) {
  sim::World world;
  const struct {
    const char* what;
    UINT page;
    std::u16string wide;
    int room;
    std::string written;
  } narrow[] = {
      {"no room for a two-byte character", 932, u"\u30BDa", 1, ""},
      {"one character of two", 932, u"\u30BDa", 2, "\x83\x5C"},
      {"the second kanji does not fit", 932, u"\u8868\u793A", 3, "\x95\x5C"},
      {"single bytes", 1252, u"abc", 2, "ab"},
      {"a pair does not fit in UTF-8", CP_UTF8, u"a\U0001F600b", 4, "a"},
      {"e acute does not fit in UTF-8", CP_UTF8, u"\u00E9", 1, ""},
  };
  for (const auto& c : narrow) {
    SCOPED_TRACE(c.what);
    Narrowed n = ToBytes(c.page, c.wide, 0, c.room, nullptr, c.page != CP_UTF8);
    EXPECT_EQ(0, n.result);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), n.error);
    EXPECT_EQ(c.written, n.bytes);
    // Asked for the size, the call counts all.
    Narrowed size = ToBytes(c.page, c.wide, 0, 0, nullptr, c.page != CP_UTF8);
    EXPECT_EQ(static_cast<int>(ToBytes(c.page, c.wide, 0, 64, nullptr, false).bytes.size()),
              size.result);
  }
  const struct {
    const char* what;
    UINT page;
    std::string bytes;
    int room;
    std::u16string written;
  } wide[] = {
      {"two kanji in one unit", 932, "\x95\x5C\x8E\xA6", 1, u"\u8868"},
      {"single bytes", 1252, "abc", 2, u"ab"},
      {"UTF-8", CP_UTF8, "abc", 2, u"ab"},
      {"half a surrogate pair is not written", CP_UTF8, "aa\xF0\x9F\x98\x80", 3, u"aa"},
      {"nor into one unit", CP_UTF8, "\xF0\x9F\x98\x80", 1, u""},
  };
  for (const auto& c : wide) {
    SCOPED_TRACE(c.what);
    Widened w = ToWide(c.page, c.bytes, 0, c.room);
    EXPECT_EQ(0, w.result);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), w.error);
    EXPECT_EQ(c.written, w.units);
  }
  // With the terminating zero counted and exactly enough room.
  EXPECT_EQ(3, ToWide(932, "\x95\x5C\x8E\xA6", 0, 3, true).result);
  EXPECT_EQ(0, ToWide(932, "\x95\x5C\x8E\xA6", 0, 2, true).result);
  EXPECT_EQ(3, ToWide(932, "\x95\x5C\x8E\xA6", 0, 0, true).result);
  std::u16string kanji = u"\u8868\u793A";
  char out[5];
  EXPECT_EQ(5, WideCharToMultiByte(932, 0, kanji.c_str(), -1, out, 5, nullptr, nullptr));
  EXPECT_EQ(0, std::memcmp(out, "\x95\x5C\x8E\xA6", 5));
  EXPECT_EQ(0, WideCharToMultiByte(932, 0, kanji.c_str(), -1, out, 4, nullptr, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
}

TEST(Parameters, BadCallsFailWithTheErrorsOfWindows) {
  sim::World world;
  WCHAR w[8];
  char b[8];
  const char16_t abc[] = u"abc";
  BOOL used;
  struct Outcome {
    int result;
    DWORD error;
  };
  auto outcome = [](int result) { return Outcome{result, GetLastError()}; };
  const struct {
    const char* what;
    Outcome got;
    DWORD error;
  } cases[] = {
      {"null input", outcome(MultiByteToWideChar(932, 0, nullptr, 3, w, 8)),
       ERROR_INVALID_PARAMETER},
      {"empty input", outcome(MultiByteToWideChar(932, 0, "a", 0, w, 8)),
       ERROR_INVALID_PARAMETER},
      {"unknown page", outcome(MultiByteToWideChar(12345, 0, "a", 1, w, 8)),
       ERROR_INVALID_PARAMETER},
      {"unknown flag", outcome(MultiByteToWideChar(932, 0x100, "a", 1, w, 8)),
       ERROR_INVALID_FLAGS},
      {"wide null input", outcome(WideCharToMultiByte(932, 0, nullptr, 2, b, 8, nullptr, nullptr)),
       ERROR_INVALID_PARAMETER},
      {"wide empty input", outcome(WideCharToMultiByte(932, 0, abc, 0, b, 8, nullptr, nullptr)),
       ERROR_INVALID_PARAMETER},
      {"wide unknown flag",
       outcome(WideCharToMultiByte(932, 0x10000, abc, 1, b, 8, nullptr, nullptr)),
       ERROR_INVALID_FLAGS},
      {"UTF-8 with a default character",
       outcome(WideCharToMultiByte(CP_UTF8, 0, abc, 1, b, 8, "?", nullptr)),
       ERROR_INVALID_PARAMETER},
      {"UTF-8 with the used flag",
       outcome(WideCharToMultiByte(CP_UTF8, 0, abc, 1, b, 8, nullptr, &used)),
       ERROR_INVALID_PARAMETER},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(0, c.got.result);
    EXPECT_EQ(c.error, c.got.error);
  }
}

// ---------------------------------------------------------------------------
// Code page 1252, and the world's code page
// ---------------------------------------------------------------------------

TEST(CodePage1252, TheFiveUndefinedBytesMapToC1ControlsBothWays) {
  sim::World world;
  const std::string bytes = "\x81\x8D\x8F\x90\x9D";
  const std::u16string wide = u"\u0081\u008D\u008F\u0090\u009D";
  EXPECT_EQ(wide, ToWide(1252, bytes).units);
  EXPECT_EQ(5, ToWide(1252, bytes, MB_ERR_INVALID_CHARS).result);
  Narrowed n = ToBytes(1252, wide, WC_NO_BEST_FIT_CHARS);
  EXPECT_EQ(bytes, n.bytes);
  EXPECT_FALSE(n.used);
  EXPECT_EQ(u"\u20AC\u0160\u2122\u0178\u00E9", ToWide(1252, "\x80\x8A\x99\x9F\xE9").units);
  EXPECT_EQ("\x80\x8A\x99\x9F\xE9", ToBytes(1252, u"\u20AC\u0160\u2122\u0178\u00E9").bytes);
}

TEST(WorldCodePage, CpAcpAndTheHelpersFollowTheWorld) {
  sim::World world;
  EXPECT_EQ(u"\u30BD", ToWide(CP_ACP, "\x83\x5C").units);
  EXPECT_EQ(u"\u30BD", ToWide(CP_OEMCP, "\x83\x5C").units);
  EXPECT_EQ(u"\u30BD", sim::Text("\x83\x5C").Wide());
  EXPECT_EQ("r?sum?.txt", sim::Ansi(u"r\u00E9sum\u00E9.txt"));
  world.SetCodePage(1252);
  EXPECT_EQ(u"\u0192\\", ToWide(CP_ACP, "\x83\x5C").units);
  EXPECT_EQ(u"\u0192\\", sim::Widen("\x83\x5C"));
  EXPECT_EQ("r\xE9sum\xE9.txt", sim::Ansi(u"r\u00E9sum\u00E9.txt"));
  EXPECT_EQ("\xE9", ToBytes(CP_ACP, u"\u00E9").bytes);
}

}  // namespace
