// ANSI text functions: the code page (lead bytes), the lstr* family, the
// wsprintfA formatter and the light-weight shell string functions.
//
// Texts are bytes in the world's ANSI code page. In code page 932 (Shift_JIS)
// the bytes 0x81-0x9F and 0xE0-0xFC start a two-byte character whose second
// byte may look like an ASCII letter or a backslash; every function here steps
// over such characters whole, as the system does.
#include <cstring>
#include <iconv.h>
#include <string>
#include <utility>
#include <vector>

#include "SimInternal.h"

namespace sim {

bool IsLead(unsigned char c) {
  if (State().codePage != 932) return false;
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

size_t CharLen(const char* s) {
  if (!*s) return 0;
  if (IsLead(static_cast<unsigned char>(s[0])) && s[1]) return 2;
  return 1;
}

std::string ThroughUnicode(const std::string& s) {
  const char* p = s.c_str();
  while (*p && !(CharLen(p) == 1 && IsLead(static_cast<unsigned char>(*p)))) p += CharLen(p);
  return std::string(s.c_str(), p);
}

std::string FoldName(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  const char* p = s.c_str();
  while (*p) {
    size_t n = CharLen(p);
    if (n == 1 && *p >= 'A' && *p <= 'Z') {
      out += static_cast<char>(*p - 'A' + 'a');
    } else {
      out.append(p, n);
    }
    p += n;
  }
  return out;
}

namespace {

unsigned char FoldAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// Compares up to n bytes (n < 0: the whole texts). Letters are folded only
// when fold is set and the byte is not the second byte of a two-byte character.
int CompareBytes(const char* a, const char* b, int n, bool fold) {
  if (!a || !b) return a == b ? 0 : (a ? 1 : -1);
  bool trail = false;
  for (int i = 0; n < 0 || i < n; ++i) {
    unsigned char ca = static_cast<unsigned char>(a[i]);
    unsigned char cb = static_cast<unsigned char>(b[i]);
    unsigned char fa = (fold && !trail) ? FoldAscii(ca) : ca;
    unsigned char fb = (fold && !trail) ? FoldAscii(cb) : cb;
    if (fa != fb) return fa < fb ? -1 : 1;
    if (!ca) return 0;
    trail = !trail && IsLead(ca);
  }
  return 0;
}

// ----- linguistic comparison -----
//
// lstrcmpA, lstrcmpiA and the StrCmpN functions compare linguistically, as the
// system's CompareStringA does, in levels:
//   1. the letters themselves: symbols before digits before letters, hyphens
//      and apostrophes left out; full-width Latin letters count as the same
//      letters as ASCII ones, and the case of Latin, Greek and Cyrillic
//      letters (also full-width ones in code page 932) is not looked at;
//   2. unless case is ignored, the first letter whose case differs: lower
//      case comes first;
//   3. the first character whose width differs: the ASCII one comes first;
//   4. the hyphens and apostrophes left out at level 1: a text without comes
//      first.
// Only the order within these classes is modelled; equality, which is what
// callers mostly need, ignores exactly the case of letters.

struct Unit {
  bool ignorable = false;  // a hyphen or an apostrophe
  int cls = 0;             // 0 symbol, 1 digit, 2 Latin, 3 Greek, 4 Cyrillic, 5 other
  unsigned primary = 0;
  bool upper = false;
  bool wide = false;
  unsigned raw = 0;
};

Unit UnitOf(unsigned code, bool twoBytes) {
  Unit u;
  u.raw = code;
  if (!twoBytes) {
    if (code == '-' || code == '\'') {
      u.ignorable = true;
    } else if (code >= 'A' && code <= 'Z') {
      u.cls = 2, u.primary = code - 'A' + 'a', u.upper = true;
    } else if (code >= 'a' && code <= 'z') {
      u.cls = 2, u.primary = code;
    } else if (code >= '0' && code <= '9') {
      u.cls = 1, u.primary = code;
    } else if (code < 0x80 || IsLead(static_cast<unsigned char>(code))) {
      u.cls = 0, u.primary = code;  // also a lead byte cut off from its trail byte
    } else {
      u.cls = 5, u.primary = code;
    }
    return u;
  }
  u.wide = true;
  if (code >= 0x8260 && code <= 0x8279) {  // full-width A-Z
    u.cls = 2, u.primary = code - 0x8260 + 'a', u.upper = true;
  } else if (code >= 0x8281 && code <= 0x829A) {  // full-width a-z
    u.cls = 2, u.primary = code - 0x8281 + 'a';
  } else if (code >= 0x839F && code <= 0x83B6) {  // Greek capitals
    u.cls = 3, u.primary = code - 0x839F, u.upper = true;
  } else if (code >= 0x83BF && code <= 0x83D6) {  // Greek small letters
    u.cls = 3, u.primary = code - 0x83BF;
  } else if (code >= 0x8440 && code <= 0x8460) {  // Cyrillic capitals
    u.cls = 4, u.primary = code - 0x8440, u.upper = true;
  } else if (code >= 0x8470 && code <= 0x8491 && code != 0x847F) {  // Cyrillic small letters
    u.cls = 4, u.primary = code - 0x8470 - (code > 0x847F ? 1 : 0);
  } else {
    u.cls = 5, u.primary = code + 0x100;
  }
  return u;
}

// The characters of at most n bytes of a text (n < 0: up to the NUL).
std::vector<Unit> Units(const char* s, int n) {
  std::vector<Unit> out;
  int i = 0;
  while ((n < 0 || i < n) && s[i]) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    bool pair = IsLead(c) && s[i + 1] && (n < 0 || i + 1 < n);
    if (pair) {
      out.push_back(UnitOf((c << 8) | static_cast<unsigned char>(s[i + 1]), true));
      i += 2;
    } else {
      out.push_back(UnitOf(c, false));
      i += 1;
    }
  }
  return out;
}

// The length of a text within n bytes (n < 0: up to the NUL), and whether it
// holds only one-byte characters that count at every level (no byte of 0x80
// or above, no hyphen or apostrophe).
size_t PlainLength(const char* s, int n, bool* plain) {
  size_t i = 0;
  *plain = true;
  while ((n < 0 || i < static_cast<size_t>(n)) && s[i]) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0x80 || c == '-' || c == '\'') *plain = false;
    ++i;
  }
  return i;
}

// Linguistic for two plain texts: the same order, without building the
// character lists (most names the program compares are plain ASCII).
int PlainLinguistic(const char* a, size_t na, const char* b, size_t nb, bool ignoreCase) {
  size_t common = na < nb ? na : nb;
  for (size_t i = 0; i < common; ++i) {
    Unit ua = UnitOf(static_cast<unsigned char>(a[i]), false);
    Unit ub = UnitOf(static_cast<unsigned char>(b[i]), false);
    if (ua.cls != ub.cls) return ua.cls < ub.cls ? -1 : 1;
    if (ua.primary != ub.primary) return ua.primary < ub.primary ? -1 : 1;
  }
  if (na != nb) return na < nb ? -1 : 1;
  if (!ignoreCase) {
    for (size_t i = 0; i < na; ++i) {
      bool upperA = a[i] >= 'A' && a[i] <= 'Z';
      bool upperB = b[i] >= 'A' && b[i] <= 'Z';
      if (upperA != upperB) return upperA ? 1 : -1;
    }
  }
  return 0;
}

int Linguistic(const char* a, const char* b, int n, bool ignoreCase) {
  if (!a || !b) return a == b ? 0 : (a ? 1 : -1);
  bool plainA, plainB;
  size_t na = PlainLength(a, n, &plainA), nb = PlainLength(b, n, &plainB);
  if (plainA && plainB) return PlainLinguistic(a, na, b, nb, ignoreCase);
  std::vector<Unit> ua = Units(a, n), ub = Units(b, n);
  std::vector<const Unit*> la, lb;  // the characters that count at levels 1-3
  std::vector<std::pair<unsigned, size_t>> pa, pb;  // the others, with their positions
  for (size_t i = 0; i < ua.size(); ++i) {
    if (ua[i].ignorable) pa.emplace_back(ua[i].raw, i); else la.push_back(&ua[i]);
  }
  for (size_t i = 0; i < ub.size(); ++i) {
    if (ub[i].ignorable) pb.emplace_back(ub[i].raw, i); else lb.push_back(&ub[i]);
  }
  for (size_t i = 0; i < la.size() && i < lb.size(); ++i) {
    if (la[i]->cls != lb[i]->cls) return la[i]->cls < lb[i]->cls ? -1 : 1;
    if (la[i]->primary != lb[i]->primary) return la[i]->primary < lb[i]->primary ? -1 : 1;
  }
  if (la.size() != lb.size()) return la.size() < lb.size() ? -1 : 1;
  if (!ignoreCase) {
    for (size_t i = 0; i < la.size(); ++i) {
      if (la[i]->upper != lb[i]->upper) return la[i]->upper ? 1 : -1;
    }
  }
  for (size_t i = 0; i < la.size(); ++i) {
    if (la[i]->wide != lb[i]->wide) return la[i]->wide ? 1 : -1;
  }
  if (pa != pb) return pa < pb ? -1 : 1;
  return 0;
}

// The shell's substring search: every character position is tried, stepping
// over two-byte characters, so a match never starts on a trail byte. The
// case-blind search compares as StrCmpNIA does.
LPSTR FindSubstring(LPCSTR str, LPCSTR search, bool fold) {
  if (!str || !search || !*search) return nullptr;
  size_t len = std::strlen(search);
  const char* end = str + std::strlen(str);
  unsigned char first = static_cast<unsigned char>(search[0]);
  bool quickFirst = first < 0x80 && first != '-' && first != '\'';
  while (str + len <= end) {
    // Where both texts start with an ASCII character that counts in the comparison, a
    // different first letter settles it; the full comparison runs only where it may match.
    unsigned char here = static_cast<unsigned char>(*str);
    if (fold && quickFirst && here < 0x80 && here != '-' && here != '\'' &&
        FoldAscii(here) != FoldAscii(first)) {
      ++str;
      continue;
    }
    int cmp = fold ? Linguistic(str, search, static_cast<int>(len), true)
                   : CompareBytes(str, search, static_cast<int>(len), false);
    if (cmp == 0) return const_cast<LPSTR>(str);
    str = CharNextA(str);
  }
  return nullptr;
}

bool CharMatches(const char* p, WORD ch) {
  unsigned char c0 = static_cast<unsigned char>(p[0]);
  if (IsLead(c0) && p[1]) {
    return (c0 | (static_cast<unsigned char>(p[1]) << 8)) == ch;
  }
  return c0 == ch;
}

// ----- wsprintfA -----

constexpr int kFormatLimit = 1024;  // output buffer of wvsprintfA, NUL included

struct Out {
  char* buf;
  int len = 0;
  bool full = false;
  void Put(char c) {
    if (len < kFormatLimit - 1) {
      buf[len++] = c;
    } else {
      full = true;
    }
  }
  void Pad(char c, int n) {
    for (int i = 0; i < n; ++i) Put(c);
  }
};

std::string Digits(uint64_t v, int base, bool upper) {
  const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string d;
  do {
    d.insert(d.begin(), set[v % base]);
    v /= base;
  } while (v);
  return d;
}

}  // namespace

}  // namespace sim

using sim::IsLead;

BOOL IsDBCSLeadByte(BYTE TestChar) { return IsLead(TestChar) ? TRUE : FALSE; }

LPSTR CharNextA(LPCSTR lpsz) {
  if (!lpsz) return nullptr;
  return const_cast<LPSTR>(lpsz + sim::CharLen(lpsz));
}

LPSTR CharPrevA(LPCSTR lpszStart, LPCSTR lpszCurrent) {
  if (!lpszStart || !lpszCurrent) return const_cast<LPSTR>(lpszStart);
  while (*lpszStart && lpszStart < lpszCurrent) {
    LPCSTR next = CharNextA(lpszStart);
    if (next >= lpszCurrent) break;
    lpszStart = next;
  }
  return const_cast<LPSTR>(lpszStart);
}

int lstrlenA(LPCSTR lpString) { return lpString ? static_cast<int>(std::strlen(lpString)) : 0; }

LPSTR lstrcpyA(LPSTR lpString1, LPCSTR lpString2) {
  if (!lpString1 || !lpString2) return nullptr;
  std::memmove(lpString1, lpString2, std::strlen(lpString2) + 1);
  return lpString1;
}

LPSTR lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength) {
  if (!lpString1 || !lpString2) return nullptr;
  char* d = lpString1;
  const char* s = lpString2;
  int count = iMaxLength;
  while (count > 1 && *s) {
    --count;
    *d++ = *s++;
  }
  if (count) *d = 0;
  return lpString1;
}

LPSTR lstrcatA(LPSTR lpString1, LPCSTR lpString2) {
  if (!lpString1 || !lpString2) return nullptr;
  std::memmove(lpString1 + std::strlen(lpString1), lpString2, std::strlen(lpString2) + 1);
  return lpString1;
}

// These compare linguistically; see Linguistic above.
int lstrcmpA(LPCSTR lpString1, LPCSTR lpString2) {
  return sim::Linguistic(lpString1, lpString2, -1, false);
}

int lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) {
  return sim::Linguistic(lpString1, lpString2, -1, true);
}

int StrCmpNIA(LPCSTR lpStr1, LPCSTR lpStr2, int nChar) {
  if (nChar <= 0) return 0;
  return sim::Linguistic(lpStr1, lpStr2, nChar, true);
}

int StrCmpNA(LPCSTR lpStr1, LPCSTR lpStr2, int nChar) {
  if (nChar <= 0) return 0;
  return sim::Linguistic(lpStr1, lpStr2, nChar, false);
}

LPSTR StrStrIA(LPCSTR lpFirst, LPCSTR lpSrch) { return sim::FindSubstring(lpFirst, lpSrch, true); }

LPSTR StrStrA(LPCSTR lpFirst, LPCSTR lpSrch) { return sim::FindSubstring(lpFirst, lpSrch, false); }

LPSTR StrChrA(LPCSTR lpStart, WORD wMatch) {
  if (!lpStart) return nullptr;
  for (const char* p = lpStart; *p; p = CharNextA(p)) {
    if (sim::CharMatches(p, wMatch)) return const_cast<LPSTR>(p);
  }
  return nullptr;
}

LPSTR StrRChrA(LPCSTR lpStart, LPCSTR lpEnd, WORD wMatch) {
  if (!lpStart) return nullptr;
  if (!lpEnd) lpEnd = lpStart + std::strlen(lpStart);
  const char* found = nullptr;
  for (const char* p = lpStart; *p && p < lpEnd; p = CharNextA(p)) {
    if (sim::CharMatches(p, wMatch)) found = p;
  }
  return const_cast<LPSTR>(found);
}

// The user32 formatter: %[-][#][0][width][.precision][h|l|I64]type with the
// types c C d i u x X s S p and %%. No floating point; no '*' width. The
// output holds at most 1023 characters and a NUL; the result is the number
// of characters written, except that an output that reaches the limit gives
// 1024 (one more than it holds).
int wvsprintfA(LPSTR lpOut, LPCSTR lpFmt, va_list args) {
  if (!lpOut) return 0;
  sim::Out out;
  out.buf = lpOut;
  const char* f = lpFmt ? lpFmt : "";
  while (*f && !out.full) {
    if (*f != '%') {
      out.Put(*f++);
      continue;
    }
    ++f;
    if (*f == '%') {
      out.Put(*f++);
      continue;
    }
    bool left = false, alt = false, zero = false;
    for (;; ++f) {
      if (*f == '-') left = true;
      else if (*f == '#') alt = true;
      else if (*f == '0') zero = true;
      else break;
    }
    int width = 0;
    while (*f >= '0' && *f <= '9') width = width * 10 + (*f++ - '0');
    int precision = -1;
    if (*f == '.') {
      ++f;
      precision = 0;
      while (*f >= '0' && *f <= '9') precision = precision * 10 + (*f++ - '0');
    }
    bool wide = false, narrow = false, big = false;
    if (*f == 'l' || *f == 'w') {
      wide = true;
      ++f;
    } else if (*f == 'h') {
      narrow = true;
      ++f;
    } else if (f[0] == 'I' && f[1] == '6' && f[2] == '4') {
      big = true;
      f += 3;
    }
    char type = *f;
    if (!type) break;
    ++f;
    std::string body;
    std::string prefix;
    bool numeric = false;
    switch (type) {
      case 'c':
      case 'C': {
        int c = va_arg(args, int);
        bool w = (type == 'C' && !narrow) || (type == 'c' && wide);
        body = std::string(1, static_cast<char>(w ? (c & 0xFF) : c));
        break;
      }
      case 's':
      case 'S': {
        bool w = (type == 'S' && !narrow) || (type == 's' && wide);
        if (w) {
          const WCHAR* ws = va_arg(args, const WCHAR*);
          if (!ws) {
            body = "(null)";
          } else {
            for (; *ws; ++ws) body += static_cast<char>(*ws < 0x80 ? *ws : '?');
          }
        } else {
          const char* s = va_arg(args, const char*);
          body = s ? s : "(null)";
        }
        if (precision >= 0 && static_cast<int>(body.size()) > precision) body.resize(precision);
        break;
      }
      case 'd':
      case 'i': {
        int64_t v = big ? va_arg(args, int64_t) : static_cast<int64_t>(va_arg(args, int));
        if (v < 0) prefix = "-";
        body = sim::Digits(v < 0 ? static_cast<uint64_t>(-(v + 1)) + 1 : static_cast<uint64_t>(v), 10,
                           false);
        numeric = true;
        break;
      }
      case 'u':
      case 'x':
      case 'X':
      case 'p': {
        uint64_t v;
        if (type == 'p') {
          v = reinterpret_cast<uintptr_t>(va_arg(args, void*)) & 0xFFFFFFFFu;
          type = 'X';
          width = 8;
          zero = true;
        } else {
          v = big ? va_arg(args, uint64_t) : static_cast<uint64_t>(va_arg(args, unsigned int));
        }
        body = sim::Digits(v, type == 'u' ? 10 : 16, type == 'X');
        if (alt && type != 'u') prefix = (type == 'X') ? "0X" : "0x";  // also for 0
        numeric = true;
        break;
      }
      default:
        body = std::string(1, type);  // an unknown type is written as it stands
        break;
    }
    if (numeric && precision >= 0 && static_cast<int>(body.size()) < precision) {
      body.insert(0, precision - body.size(), '0');
    }
    int total = static_cast<int>(prefix.size() + body.size());
    int pad = width > total ? width - total : 0;
    if (left) {
      for (char c : prefix) out.Put(c);
      for (char c : body) out.Put(c);
      out.Pad(' ', pad);
    } else if (zero && numeric) {
      for (char c : prefix) out.Put(c);
      out.Pad('0', pad);
      for (char c : body) out.Put(c);
    } else {
      out.Pad(' ', pad);
      for (char c : prefix) out.Put(c);
      for (char c : body) out.Put(c);
    }
  }
  lpOut[out.len] = 0;
  return out.len >= sim::kFormatLimit - 1 ? sim::kFormatLimit : out.len;
}

int wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...) {
  va_list args;
  va_start(args, lpFmt);
  int n = wvsprintfA(lpOut, lpFmt, args);
  va_end(args);
  return n;
}

// UTF-16 to the world's ANSI code page (932 or 1252) or to UTF-8, character
// by character through the host's converter. A character the code page lacks
// becomes '?' (no best-fit look-alikes are modelled) and sets the used-default
// flag; for UTF-8 the flag must not be asked for, and with
// WC_ERR_INVALID_CHARS an unpaired surrogate fails the call.
int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                        LPBOOL lpUsedDefaultChar) {
  UINT page = CodePage == CP_ACP ? GetACP() : CodePage;
  if (!lpWideCharStr || cbMultiByte < 0 || (cbMultiByte > 0 && !lpMultiByteStr) ||
      (page == CP_UTF8 && (lpDefaultChar || lpUsedDefaultChar))) {
    sim::SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  DWORD allowed = page == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  if (dwFlags & ~allowed) {
    sim::SetError(ERROR_INVALID_FLAGS);
    return 0;
  }
  size_t count = 0;
  if (cchWideChar < 0) {
    while (lpWideCharStr[count]) count++;
    count++;  // the terminating zero is converted too
  } else {
    count = static_cast<size_t>(cchWideChar);
  }
  const char* target = page == 932 ? "CP932" : page == 1252 ? "CP1252" : "UTF-8";
  iconv_t cd = iconv_open(target, "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    std::abort();
  }
  std::string out;
  bool usedDefault = false;
  for (size_t i = 0; i < count; i++) {
    uint32_t code = lpWideCharStr[i];
    bool valid = true;
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < count && lpWideCharStr[i + 1] >= 0xDC00 &&
        lpWideCharStr[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (lpWideCharStr[i + 1] - 0xDC00);
      i++;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      valid = false;
    }
    if (!valid) {
      if (page == CP_UTF8 && (dwFlags & WC_ERR_INVALID_CHARS)) {
        iconv_close(cd);
        sim::SetError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
      }
      code = 0xFFFD;
    }
    char utf8[4];
    size_t n = 0;
    if (code < 0x80) {
      utf8[n++] = static_cast<char>(code);
    } else if (code < 0x800) {
      utf8[n++] = static_cast<char>(0xC0 | (code >> 6));
      utf8[n++] = static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      utf8[n++] = static_cast<char>(0xE0 | (code >> 12));
      utf8[n++] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      utf8[n++] = static_cast<char>(0x80 | (code & 0x3F));
    } else {
      utf8[n++] = static_cast<char>(0xF0 | (code >> 18));
      utf8[n++] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      utf8[n++] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      utf8[n++] = static_cast<char>(0x80 | (code & 0x3F));
    }
    char converted[8];
    char* in = utf8;
    size_t inLeft = n;
    char* outPtr = converted;
    size_t outLeft = sizeof converted;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
      out += lpDefaultChar ? *lpDefaultChar : '?';
      usedDefault = true;
    } else {
      out.append(converted, outPtr - converted);
    }
  }
  iconv_close(cd);
  if (lpUsedDefaultChar) *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
  if (cbMultiByte == 0) return static_cast<int>(out.size());
  if (out.size() > static_cast<size_t>(cbMultiByte)) {
    // Windows fills the buffer as far as it goes before it fails.
    std::memcpy(lpMultiByteStr, out.data(), cbMultiByte);
    sim::SetError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(lpMultiByteStr, out.data(), out.size());
  return static_cast<int>(out.size());
}
