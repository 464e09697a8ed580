// ANSI text functions: the code page (lead bytes), the lstr* family, the
// wsprintfA formatter and the light-weight shell string functions.
//
// Texts are bytes in the world's ANSI code page. In code page 932 (Shift_JIS)
// the bytes 0x81-0x9F and 0xE0-0xFC start a two-byte character whose second
// byte may look like an ASCII letter or a backslash; every function here steps
// over such characters whole, as the system does.
#include <cstring>
#include <string>

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

// The shell's substring search: every character position is tried, stepping
// over two-byte characters, so a match never starts on a trail byte.
LPSTR FindSubstring(LPCSTR str, LPCSTR search, bool fold) {
  if (!str || !search || !*search) return nullptr;
  size_t len = std::strlen(search);
  const char* end = str + std::strlen(str);
  while (str + len <= end) {
    if (CompareBytes(str, search, static_cast<int>(len), fold) == 0) return const_cast<LPSTR>(str);
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

// lstrcmpA and lstrcmpiA compare linguistically (CompareStringA): letters
// first without regard to case, and only then lower case before upper case.
// Equality, which is what Tavix relies on, is exact for lstrcmpA and ignores
// the case of ASCII letters for lstrcmpiA.
int lstrcmpA(LPCSTR lpString1, LPCSTR lpString2) {
  int primary = sim::CompareBytes(lpString1, lpString2, -1, true);
  if (primary) return primary;
  int exact = sim::CompareBytes(lpString1, lpString2, -1, false);
  return -exact;  // 'a' (0x61) sorts before 'A' (0x41)
}

int lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) {
  return sim::CompareBytes(lpString1, lpString2, -1, true);
}

int StrCmpNIA(LPCSTR lpStr1, LPCSTR lpStr2, int nChar) {
  if (nChar <= 0) return 0;
  return sim::CompareBytes(lpStr1, lpStr2, nChar, true);
}

int StrCmpNA(LPCSTR lpStr1, LPCSTR lpStr2, int nChar) {
  if (nChar <= 0) return 0;
  return sim::CompareBytes(lpStr1, lpStr2, nChar, false);
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
// of characters written.
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
        if (alt && type != 'u' && v) prefix = (type == 'X') ? "0X" : "0x";
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
  return out.len;
}

int wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...) {
  va_list args;
  va_start(args, lpFmt);
  int n = wvsprintfA(lpOut, lpFmt, args);
  va_end(args);
  return n;
}
