// Code pages: the conversions between UTF-16, which the world keeps every text
// in, and the ANSI code page of the world (932, Shift_JIS as Microsoft maps it,
// or 1252), and UTF-8. MultiByteToWideChar and WideCharToMultiByte are here, and
// the helpers the sim's A functions convert with.
//
// Each code page's tables are built once, on first use, from the host's
// converter (glibc's CP932 and CP1252 are close to Microsoft's mappings) and
// then corrected where Windows differs from it (CodePageTables.h, read off a
// real implementation): the codes Windows maps otherwise, the units it writes
// otherwise, and the best-fit look-alikes WideCharToMultiByte writes without
// WC_NO_BEST_FIT_CHARS. After that every conversion is a table lookup per
// character.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <limits>
#include <string>
#include <vector>

#include "CodePageTables.h"
#include "SimInternal.h"

namespace sim {

namespace {

constexpr size_t kNoLimit = std::numeric_limits<size_t>::max();

struct CodePageTable {
  UINT page = 0;
  bool leadBytes[256] = {};
  // What a code the page does not define converts to: U+30FB (katakana
  // middle dot) for 932, '?' for 1252.
  char16_t undefinedUnit = '?';
  // One-byte codes, and two-byte codes (lead << 8 | trail), to UTF-16; 0 where
  // the page defines nothing (the zero byte is handled apart).
  char16_t single[256] = {};
  std::vector<char16_t> pairs;  // 65536 entries for a page with lead bytes
  // UTF-16 unit -> code: 0 where the page lacks the unit; a value above 0xFF
  // is a two-byte code, lead byte first. exact: what WideCharToMultiByte
  // writes with WC_NO_BEST_FIT_CHARS; bestFit: that plus the look-alikes.
  std::vector<uint16_t> exact;
  std::vector<uint16_t> bestFit;
};

// Converts one text with iconv; false when the target lacks some of it.
bool IconvOne(iconv_t cd, const char* in, size_t inLen, char* out, size_t* outLen) {
  char* ip = const_cast<char*>(in);
  size_t il = inLen;
  char* op = out;
  size_t ol = *outLen;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0) return false;
  *outLen = static_cast<size_t>(op - out);
  return true;
}

void AppendUtf8(std::string* out, char32_t code) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

size_t Utf8Length(char32_t code) {
  return code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
}

// The one UTF-16 unit a code converted to by iconv stands for; 0 when iconv
// gave anything else (nothing, several characters, one beyond the BMP).
char16_t OneUnit(iconv_t toUtf8, const char* code, size_t n) {
  char out[16];
  size_t len = sizeof out;
  if (!IconvOne(toUtf8, code, n, out, &len)) return 0;
  bool bad = false;
  std::u16string w = DecodeUtf8(std::string(out, len), &bad);
  return !bad && w.size() == 1 ? w[0] : 0;
}

CodePageTable Build(UINT page) {
  CodePageTable t;
  t.page = page;
  const char* name = page == 932 ? "CP932" : "CP1252";
  iconv_t toUtf8 = iconv_open("UTF-8", name);
  iconv_t fromUtf8 = iconv_open(name, "UTF-8");
  if (toUtf8 == reinterpret_cast<iconv_t>(-1) || fromUtf8 == reinterpret_cast<iconv_t>(-1)) {
    std::fprintf(stderr, "sim: the host has no %s converter\n", name);
    std::abort();
  }
  if (page == 932) {
    for (int b = 0x81; b <= 0x9F; ++b) t.leadBytes[b] = true;
    for (int b = 0xE0; b <= 0xFC; ++b) t.leadBytes[b] = true;
    t.undefinedUnit = 0x30FB;
    t.pairs.assign(65536, 0);
  }
  for (int b = 1; b < 256; ++b) {
    if (t.leadBytes[b]) continue;
    char in[1] = {static_cast<char>(b)};
    t.single[b] = OneUnit(toUtf8, in, 1);
  }
  if (page == 932) {
    for (int lead = 0; lead < 256; ++lead) {
      if (!t.leadBytes[lead]) continue;
      for (int trail = 0x40; trail <= 0xFC; ++trail) {
        if (trail == 0x7F) continue;
        char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        t.pairs[(lead << 8) | trail] = OneUnit(toUtf8, in, 2);
      }
    }
  }
  for (const ByteMapping& m : ExtraByteMappings(page)) {
    if (m.code > 0xFF)
      t.pairs[m.code] = m.unit;
    else
      t.single[m.code] = m.unit;
  }
  t.exact.assign(65536, 0);
  std::string in;
  for (char32_t u = 1; u < 0x10000; ++u) {
    if (u >= 0xD800 && u <= 0xDFFF) continue;
    in.clear();
    AppendUtf8(&in, u);
    char out[8];
    size_t n = sizeof out;
    if (!IconvOne(fromUtf8, in.data(), in.size(), out, &n)) continue;
    if (n == 1)
      t.exact[u] = static_cast<unsigned char>(out[0]);
    else if (n == 2)
      t.exact[u] = static_cast<uint16_t>((static_cast<unsigned char>(out[0]) << 8) |
                                         static_cast<unsigned char>(out[1]));
  }
  for (const UnitMapping& m : ExtraUnitMappings(page)) t.exact[m.unit] = m.code;
  t.bestFit = t.exact;
  for (const UnitMapping& m : BestFitMappings(page))
    if (t.bestFit[m.unit] == 0) t.bestFit[m.unit] = m.code;
  iconv_close(toUtf8);
  iconv_close(fromUtf8);
  return t;
}

// The tables of 932 or 1252 (any other page gets 1252's), built on first use.
const CodePageTable& Table(UINT page) {
  if (page == 932) {
    static const CodePageTable t932 = Build(932);
    return t932;
  }
  static const CodePageTable t1252 = Build(1252);
  return t1252;
}

UINT AnsiPage() {
  UINT page = State().codePage;
  return page == 932 ? 932 : 1252;
}

bool PrivateUse(char16_t u) { return u >= 0xE000 && u <= 0xF8FF; }

// Bytes of the code page to UTF-16, at most `limit` units (a code page gives one
// unit per character). Returns the bytes used; *invalid tells whether
// MB_ERR_INVALID_CHARS would refuse them: a code the page does not define, a
// lead byte without its trail byte, or a byte that maps into the private-use
// area (932's 0xA0 and 0xFD-0xFF).
size_t DecodePage(const CodePageTable& t, const unsigned char* s, size_t n, size_t limit,
                  std::u16string* out, bool* invalid) {
  size_t i = 0;
  while (i < n && out->size() < limit) {
    unsigned char c = s[i];
    if (t.leadBytes[c]) {
      // A lead byte at the end, or before a zero byte (which stays a
      // character of its own), stands for nothing. Any other byte after it is
      // taken as its trail byte, defined or not.
      if (i + 1 >= n || s[i + 1] == 0) {
        out->push_back(t.undefinedUnit);
        *invalid = true;
        i += 1;
        continue;
      }
      char16_t u = t.pairs[(c << 8) | s[i + 1]];
      if (u == 0) {
        u = t.undefinedUnit;
        *invalid = true;
      }
      out->push_back(u);
      i += 2;
      continue;
    }
    char16_t u = t.single[c];
    if (c != 0 && (u == 0 || PrivateUse(u))) *invalid = true;
    out->push_back(c != 0 && u == 0 ? t.undefinedUnit : u);
    i += 1;
  }
  return i;
}

void PutCode(std::string* out, uint16_t code) {
  if (code > 0xFF) out->push_back(static_cast<char>(code >> 8));
  out->push_back(static_cast<char>(code & 0xFF));
}

size_t CodeLength(uint16_t code) { return code > 0xFF ? 2 : 1; }

// UTF-16 to the code page, whole characters only, while the output stays
// within `limit` bytes. Each unit is a character of its own: the two halves of
// a surrogate pair each become the default code, as Windows writes them.
// Returns the units used; *usedDefault tells whether the default was written.
size_t EncodePage(const CodePageTable& t, const char16_t* s, size_t n, bool bestFit,
                  uint16_t defaultCode, size_t limit, std::string* out, bool* usedDefault) {
  const std::vector<uint16_t>& map = bestFit ? t.bestFit : t.exact;
  size_t i = 0;
  for (; i < n; ++i) {
    char16_t u = s[i];
    uint16_t code = u == 0 ? 0 : map[u];
    bool lacks = u != 0 && code == 0;
    if (lacks) code = defaultCode;
    if (out->size() + CodeLength(code) > limit) break;
    if (lacks) *usedDefault = true;
    PutCode(out, code);
  }
  return i;
}

// UTF-8 to UTF-16, at most `limit` units (a surrogate pair is written whole or
// not at all). Returns the bytes used.
//
// An invalid sequence becomes U+FFFD as Windows cuts it: a byte that cannot
// start a character is one U+FFFD; a sequence that goes wrong ends before the
// byte that broke it, except that the byte after an overlong or surrogate
// prefix (E0 80-9F, ED A0-BF, F0 80-8F) still belongs to it. A sequence cut
// off by the end of the text takes the continuation bytes that follow it into
// its one U+FFFD, but never a byte that starts a character.
size_t DecodeUtf8Into(const unsigned char* p, size_t n, size_t limit, std::u16string* out,
                      bool* invalid) {
  size_t i = 0;
  while (i < n) {
    size_t start = i;
    unsigned char c = p[i++];
    char32_t code = 0xFFFD;
    size_t more = c >= 0xC2 && c <= 0xDF ? 1 : c >= 0xE0 && c <= 0xEF ? 2
                  : c >= 0xF0 && c <= 0xF4 ? 3 : 0;
    bool ok = false;
    if (c < 0x80) {
      code = c;
      ok = true;
    } else if (more > 0) {
      bool cut = i + more > n;
      bool onlyContinuations = true;
      for (size_t k = i; k < n; ++k)
        if ((p[k] & 0xC0) != 0x80) onlyContinuations = false;
      if (cut && onlyContinuations) {
        i = n;
      } else {
        char32_t v = c & (more == 1 ? 0x1F : more == 2 ? 0x0F : 0x07);
        ok = true;
        for (size_t k = 0; ok && k < more; ++k) {
          if (i >= n || (p[i] & 0xC0) != 0x80) {
            ok = false;
            break;
          }
          v = (v << 6) | (p[i] & 0x3F);
          size_t left = more - k - 1;  // continuation bytes still to come
          if (left == 1 && more == 3 && v >= (0x110000 >> 6)) {
            ok = false;  // beyond U+10FFFF: this byte starts the next attempt
            break;
          }
          ++i;
          if ((more == 3 && k == 0 && v < 0x10) ||               // overlong four bytes
              (more == 2 && k == 0 && (v < 0x20 ||               // overlong three bytes
                                       (v >= (0xD800 >> 6) && v <= (0xDFFF >> 6)))))  // surrogate
            ok = false;
        }
        if (ok) code = v;
      }
    }
    if (!ok) {
      code = 0xFFFD;
      *invalid = true;
    }
    size_t units = code >= 0x10000 ? 2 : 1;
    if (out->size() + units > limit) return start;
    if (code >= 0x10000) {
      code -= 0x10000;
      out->push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out->push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out->push_back(static_cast<char16_t>(code));
    }
  }
  return i;
}

// UTF-16 to UTF-8, whole characters only, while the output stays within
// `limit` bytes; an unpaired surrogate becomes U+FFFD. Returns the units used.
size_t EncodeUtf8Into(const char16_t* s, size_t n, size_t limit, std::string* out,
                      bool* invalid) {
  size_t i = 0;
  while (i < n) {
    char32_t code = s[i];
    size_t units = 1;
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      units = 2;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;
      *invalid = true;
    }
    if (out->size() + Utf8Length(code) > limit) break;
    AppendUtf8(out, code);
    i += units;
  }
  return i;
}

}  // namespace

bool IsLeadByteOf(UINT page, unsigned char c) { return page == 932 && Table(932).leadBytes[c]; }

std::u16string BytesToWide(UINT page, const char* s, size_t n, bool* invalid) {
  std::u16string out;
  bool bad = false;
  out.reserve(n);
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
  if (page == CP_UTF8)
    DecodeUtf8Into(p, n, kNoLimit, &out, &bad);
  else
    DecodePage(Table(page == 932 ? 932 : 1252), p, n, kNoLimit, &out, &bad);
  if (invalid) *invalid = bad;
  return out;
}

std::string WideToBytes(UINT page, const char16_t* s, size_t n, bool bestFit, char defaultChar,
                        bool* usedDefault) {
  std::string out;
  bool used = false;
  out.reserve(n);
  if (page == CP_UTF8) {
    bool invalid = false;
    EncodeUtf8Into(s, n, kNoLimit, &out, &invalid);
  } else {
    EncodePage(Table(page == 932 ? 932 : 1252), s, n, bestFit,
               static_cast<unsigned char>(defaultChar), kNoLimit, &out, &used);
  }
  if (usedDefault) *usedDefault = used;
  return out;
}

std::u16string AnsiToWide(const std::string& ansi) {
  return BytesToWide(AnsiPage(), ansi.data(), ansi.size(), nullptr);
}

std::u16string AnsiToWide(const char* ansi) {
  return ansi ? AnsiToWide(std::string(ansi)) : std::u16string();
}

std::string WideToAnsi(const std::u16string& wide, bool bestFit, bool* usedDefault) {
  return WideToBytes(AnsiPage(), wide.data(), wide.size(), bestFit, '?', usedDefault);
}

std::string WideToAnsi(const char16_t* wide, bool bestFit, bool* usedDefault) {
  return WideToBytes(AnsiPage(), wide, WideLength(wide), bestFit, '?', usedDefault);
}

std::u16string DecodeUtf8(const std::string& utf8, bool* invalid) {
  return BytesToWide(CP_UTF8, utf8.data(), utf8.size(), invalid);
}

std::string EncodeUtf8(const std::u16string& wide, bool* invalid) {
  std::string out;
  bool bad = false;
  out.reserve(wide.size());
  EncodeUtf8Into(wide.data(), wide.size(), kNoLimit, &out, &bad);
  if (invalid) *invalid = bad;
  return out;
}

std::u16string Text::Wide() const { return ansi_ ? AnsiToWide(bytes_) : wide_; }

std::u16string Utf16(const std::string& utf8) { return DecodeUtf8(utf8, nullptr); }
std::string Utf8(const std::u16string& utf16) { return EncodeUtf8(utf16, nullptr); }
std::string Ansi(const std::u16string& utf16) { return WideToAnsi(utf16, false, nullptr); }
std::u16string Widen(const std::string& ansi) { return AnsiToWide(ansi); }

}  // namespace sim

using sim::State;

namespace {

// CP_ACP is the world's code page; CP_OEMCP is 932 as well in a Japanese
// world (a Western world's OEM page, 437 or 850, is not simulated).
UINT PageOf(UINT codePage) {
  UINT ansi = sim::State().codePage == 932 ? 932 : 1252;
  if (codePage == CP_ACP) return ansi;
  if (codePage == CP_OEMCP && ansi == 932) return 932;
  return codePage;
}

bool KnownPage(UINT page) { return page == 932 || page == 1252 || page == CP_UTF8; }

}  // namespace

// ANSI or UTF-8 to UTF-16. A count of -1 (any negative count) converts up to
// and with the zero. Without MB_ERR_INVALID_CHARS what the text does not hold
// validly converts as Windows converts it (U+30FB or U+FFFD); with it the call
// fails with ERROR_NO_UNICODE_TRANSLATION (for a code page before anything is
// written, for UTF-8 after the buffer is filled, as Windows does). A buffer too
// small gets the characters that fit, and the call fails.
int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar) {
  UINT page = PageOf(CodePage);
  if (!lpMultiByteStr || cbMultiByte == 0 || cchWideChar < 0 ||
      (cchWideChar > 0 && !lpWideCharStr) || !KnownPage(page)) {
    sim::SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (dwFlags & ~static_cast<DWORD>(MB_PRECOMPOSED | MB_ERR_INVALID_CHARS)) {
    sim::SetError(ERROR_INVALID_FLAGS);
    return 0;
  }
  size_t n = cbMultiByte < 0 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
  const unsigned char* in = reinterpret_cast<const unsigned char*>(lpMultiByteStr);
  size_t limit = cchWideChar == 0 ? sim::kNoLimit : static_cast<size_t>(cchWideChar);
  std::u16string out;
  bool invalid = false;
  size_t used;
  if (page == CP_UTF8) {
    used = sim::DecodeUtf8Into(in, n, limit, &out, &invalid);
  } else {
    const sim::CodePageTable& t = sim::Table(page);
    if (dwFlags & MB_ERR_INVALID_CHARS) {
      std::u16string all;
      sim::DecodePage(t, in, n, sim::kNoLimit, &all, &invalid);
      if (invalid) {
        sim::SetError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
      }
    }
    used = sim::DecodePage(t, in, n, limit, &out, &invalid);
  }
  if (cchWideChar > 0 && !out.empty())
    std::memcpy(lpWideCharStr, out.data(), out.size() * sizeof(WCHAR));
  if (used < n) {
    sim::SetError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (invalid && (dwFlags & MB_ERR_INVALID_CHARS)) {
    sim::SetError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  return static_cast<int>(out.size());
}

// UTF-16 to the ANSI code page (with best-fit look-alikes unless
// WC_NO_BEST_FIT_CHARS) or to UTF-8. lpDefaultChar replaces what the code page
// lacks ('?' without it; in 932 its first two bytes when it has two). For
// UTF-8 the default-character arguments must be null, and WC_ERR_INVALID_CHARS
// makes an unpaired surrogate fail the call (after the buffer is filled). A
// buffer too small gets the characters that fit whole, and the call fails.
int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                        LPBOOL lpUsedDefaultChar) {
  UINT page = PageOf(CodePage);
  if (!lpWideCharStr || cchWideChar == 0 || cbMultiByte < 0 ||
      (cbMultiByte > 0 && !lpMultiByteStr) || !KnownPage(page) ||
      (page == CP_UTF8 && (lpDefaultChar || lpUsedDefaultChar))) {
    sim::SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  DWORD allowed = page == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  if (dwFlags & ~allowed) {
    sim::SetError(ERROR_INVALID_FLAGS);
    return 0;
  }
  size_t n = cchWideChar < 0 ? sim::WideLength(lpWideCharStr) + 1
                             : static_cast<size_t>(cchWideChar);
  size_t limit = cbMultiByte == 0 ? sim::kNoLimit : static_cast<size_t>(cbMultiByte);
  std::string out;
  bool invalid = false;
  bool usedDefault = false;
  size_t used;
  if (page == CP_UTF8) {
    used = sim::EncodeUtf8Into(lpWideCharStr, n, limit, &out, &invalid);
  } else {
    uint16_t defaultCode = '?';
    if (lpDefaultChar) {
      unsigned char first = static_cast<unsigned char>(lpDefaultChar[0]);
      unsigned char second = first ? static_cast<unsigned char>(lpDefaultChar[1]) : 0;
      defaultCode = page == 932 && second ? static_cast<uint16_t>((first << 8) | second) : first;
    }
    used = sim::EncodePage(sim::Table(page), lpWideCharStr, n, !(dwFlags & WC_NO_BEST_FIT_CHARS),
                           defaultCode, limit, &out, &usedDefault);
  }
  if (lpUsedDefaultChar) *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
  if (cbMultiByte > 0 && !out.empty()) std::memcpy(lpMultiByteStr, out.data(), out.size());
  if (used < n) {
    sim::SetError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (invalid && (dwFlags & WC_ERR_INVALID_CHARS)) {
    sim::SetError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  return static_cast<int>(out.size());
}

namespace sim {

namespace {

char16_t FoldUnit(char16_t c) {
  if (c >= 'A' && c <= 'Z') return static_cast<char16_t>(c + 0x20);
  if (c < 0xC0) return c;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return static_cast<char16_t>(c + 0x20);
  if (c >= 0x100 && c <= 0x17F) {
    // Latin Extended-A pairs letters as even upper, odd lower, except in the
    // run 0x139-0x148 and 0x179-0x17E, where the upper case letter is odd.
    bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (c == 0x178) return 0xFF;  // Y with diaeresis: its small letter is in Latin-1
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    if (oddUpper) return (c & 1) ? static_cast<char16_t>(c + 1) : c;
    return (c & 1) ? c : static_cast<char16_t>(c + 1);
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return static_cast<char16_t>(c + 0x20);
  if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 0x20);
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 0x50);
  if (c >= 0xFF21 && c <= 0xFF3A) return static_cast<char16_t>(c + 0x20);
  return c;
}

}  // namespace

std::u16string FoldWide(const std::u16string& s) {
  std::u16string out(s);
  for (char16_t& c : out) c = FoldUnit(c);
  return out;
}

size_t WideLength(const char16_t* s) {
  size_t n = 0;
  if (s)
    while (s[n]) ++n;
  return n;
}

}  // namespace sim
