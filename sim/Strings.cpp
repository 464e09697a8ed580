// Text functions in both forms: the code page (lead bytes), the lstr* family,
// the wsprintf formatters and the light-weight shell string functions.
//
// ANSI texts are bytes in the world's code page. In code page 932 (Shift_JIS)
// the bytes 0x81-0x9F and 0xE0-0xFC start a two-byte character whose second
// byte may look like an ASCII letter or a backslash; every A function here
// steps over such characters whole, as the system does. The W functions step
// and search unit by unit, as the system's do, also through the two halves of
// a surrogate pair (a character beyond the basic plane); the comparisons take
// a pair as one character.
#include <cstring>
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

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

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
// lstrcmp, lstrcmpi and the StrCmpN functions (A and W) compare
// linguistically, as the system's CompareString does, in levels:
//   1. the letters themselves: symbols before digits before letters before
//      everything else, hyphens and apostrophes left out; an accented Latin
//      letter counts as its base letter, full-width forms as the ASCII
//      characters they stand for, and the case of Latin, Greek and Cyrillic
//      letters is not looked at;
//   2. the first letter whose accent differs: the unaccented one comes first,
//      then the marks in the order of kMarkOrder;
//   3. unless case is ignored, the first letter whose case differs: lower
//      case comes first;
//   4. the first character whose width differs: the narrow one comes first;
//   5. the hyphens and apostrophes left out at level 1: a text without comes
//      first.
// Characters of no class above (kana, kanji, ...) keep the order of their
// codes in the world's code page, as the system's Japanese sort order does
// for code page 932, and come after those the code page lacks. Only the
// order within these classes is modelled; equality, which is what callers
// mostly need, ignores exactly the case of letters. An A function classifies
// each character as its UTF-16 form, as the system converts it first.

struct Unit {
  bool ignorable = false;  // a hyphen or an apostrophe
  int cls = 0;             // 0 symbol, 1 digit, 2 Latin, 3 Greek, 4 Cyrillic, 5 other
  unsigned primary = 0;
  unsigned accent = 0;     // 0: none
  bool upper = false;
  bool wide = false;
  unsigned raw = 0;
};

// The base letters of U+00C0-U+017F: '.' for a letter without one, '-' for a
// character that is no letter.
const char kLatinBase[] =
    "AAAAAA.CEEEEIIII.NOOOOO-OUUUUY.."                                   // C0-DF
    "aaaaaa.ceeeeiiii.nooooo-ouuuuy.y"                                   // E0-FF
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiI...JjKk.LlLlLlL"   // 100-13F
    "lLlNnNnNn...OoOoOo..RrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZz.";  // 140-17F
static_assert(sizeof kLatinBase == 0x180 - 0xC0 + 1, "one base per character");

// Their marks, in the order the system sorts them: a acute, g grave, b breve,
// c circumflex, v caron, r ring, d diaeresis, h double acute, t tilde, o dot
// above, l middle dot, s stroke, e cedilla, k ogonek, m macron; '.' none.
const char kLatinMark[] =
    "gactdr.egacdgacd.tgactd.sgacda.."   // C0-DF
    "gactdr.egacdgacd.tgactd.sgacda.d"   // E0-FF
    "mmbbkkaaccoovvvvssmmbbookkvvccbb"   // 100-11F
    "ooeeccssttmmbbkko...ccee.aaeevvl"   // 120-13F
    "lssaaeevv...mmbbhh..aaeevvaaccee"   // 140-15F
    "vveevvssttmmbbrrhhkkccccdaaoovv.";  // 160-17F
static_assert(sizeof kLatinMark == sizeof kLatinBase, "one mark per character");
const char kMarkOrder[] = ".agbcvrdhtolsekm";

unsigned MarkWeight(char32_t c) {
  const char* at = std::strchr(kMarkOrder, kLatinMark[c - 0xC0]);
  return at ? static_cast<unsigned>(at - kMarkOrder) : 0;
}

// The small letter of a Latin letter of U+00C0-U+017F (itself when it is one).
char32_t LatinSmall(char32_t c) {
  if (c == 0x178) return 0xFF;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  if (c >= 0x100 && c != 0x130) {
    char base = kLatinBase[c - 0xC0];
    if (base >= 'A' && base <= 'Z') return c + 1;
  }
  return c;
}

// The order of a character of class 5: its code in the world's code page,
// then those it lacks by their code points.
unsigned OtherOrder(char32_t c) {
  if (c < 0x10000) {
    char16_t unit = static_cast<char16_t>(c);
    bool lacks = false;
    std::string bytes = WideToBytes(GetACP() == 932 ? 932 : 1252, &unit, 1, false, '?', &lacks);
    if (!lacks && bytes.size() == 1) return static_cast<unsigned char>(bytes[0]);
    if (!lacks && bytes.size() == 2) {
      return ((static_cast<unsigned char>(bytes[0]) << 8) | static_cast<unsigned char>(bytes[1])) +
             0x100;
    }
  }
  return 0x20000 + c;
}

Unit UnitOfWide(char32_t c) {
  Unit u;
  u.raw = c;
  if (c >= 0xFF01 && c <= 0xFF5E) {  // full-width forms of ASCII
    u = UnitOfWide(c - 0xFEE0);
    u.wide = true;
    u.raw = c;
    return u;
  }
  if (c == '-' || c == '\'') {
    u.ignorable = true;
  } else if (c >= 'A' && c <= 'Z') {
    u.cls = 2, u.primary = c - 'A' + 'a', u.upper = true;
  } else if (c >= 'a' && c <= 'z') {
    u.cls = 2, u.primary = c;
  } else if (c >= '0' && c <= '9') {
    u.cls = 1, u.primary = c;
  } else if (c < 0xC0) {
    u.cls = 0, u.primary = c;
  } else if (c < 0x180) {
    char base = kLatinBase[c - 0xC0];
    char32_t small = LatinSmall(c);
    if (base == '-') {
      u.cls = 0, u.primary = c;
    } else if (base == '.') {
      u.cls = 2, u.primary = 0x100 + small, u.upper = small != c;
    } else {
      u.cls = 2, u.upper = base >= 'A' && base <= 'Z';
      u.primary = static_cast<unsigned>(u.upper ? base - 'A' + 'a' : base);
      u.accent = MarkWeight(c);
    }
  } else {
    char32_t folded = c < 0x10000 ? FoldWide(std::u16string(1, static_cast<char16_t>(c)))[0] : c;
    if (folded >= 0x3B1 && folded <= 0x3C9) {
      u.cls = 3, u.primary = folded, u.upper = folded != c;
    } else if (folded >= 0x430 && folded <= 0x44F) {
      // Cyrillic, with IO (U+0451) right after IE, as in the alphabet.
      u.cls = 4, u.primary = (folded - 0x430) * 2, u.upper = folded != c;
    } else if (folded == 0x451) {
      u.cls = 4, u.primary = (0x435 - 0x430) * 2 + 1, u.upper = folded != c;
    } else if (folded >= 0x450 && folded <= 0x45F) {
      u.cls = 4, u.primary = 0x100 + folded, u.upper = folded != c;
    } else {
      u.cls = 5, u.primary = OtherOrder(c);
    }
  }
  return u;
}

// The characters of at most n bytes of an ANSI text (n < 0: up to the NUL).
// A lead byte without its trail byte (at the end, or cut off by the count)
// is a symbol; a code the code page does not define is of class 5.
std::vector<Unit> Units(const char* s, int n) {
  std::vector<Unit> out;
  UINT page = GetACP() == 932 ? 932 : 1252;
  int i = 0;
  while ((n < 0 || i < n) && s[i]) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    bool pair = IsLead(c) && s[i + 1] && (n < 0 || i + 1 < n);
    Unit u;
    if (pair) {
      unsigned code = (c << 8) | static_cast<unsigned char>(s[i + 1]);
      bool invalid = false;
      std::u16string w = BytesToWide(page, s + i, 2, &invalid);
      if (invalid || w.size() != 1) {
        u.cls = 5, u.primary = code + 0x100;
      } else {
        u = UnitOfWide(w[0]);
        if (u.cls == 5) u.primary = code + 0x100;
      }
      u.wide = true;
      u.raw = code;
      i += 2;
    } else {
      if (c < 0x80) {
        u = UnitOfWide(c);
      } else if (IsLead(c)) {
        u.cls = 0, u.primary = c;
      } else {
        bool invalid = false;
        std::u16string w = BytesToWide(page, s + i, 1, &invalid);
        if (invalid || w.size() != 1) {
          u.cls = 5, u.primary = c;
        } else {
          u = UnitOfWide(w[0]);
          if (u.cls == 5) u.primary = c;
        }
      }
      u.raw = c;
      i += 1;
    }
    out.push_back(u);
  }
  return out;
}

// The same for at most n UTF-16 units; a surrogate pair is one character.
std::vector<Unit> Units(const char16_t* s, int n) {
  std::vector<Unit> out;
  int i = 0;
  while ((n < 0 || i < n) && s[i]) {
    char16_t c = s[i];
    if (IsHighSurrogate(c) && (n < 0 || i + 1 < n) && IsLowSurrogate(s[i + 1])) {
      out.push_back(UnitOfWide(0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00)));
      i += 2;
    } else {
      out.push_back(UnitOfWide(c));
      i += 1;
    }
  }
  return out;
}

// The length of a text within n units (n < 0: up to the zero), and whether it
// holds only ASCII characters that count at every level (no hyphen or
// apostrophe).
template <typename Char>
size_t PlainLength(const Char* s, int n, bool* plain) {
  size_t i = 0;
  *plain = true;
  while ((n < 0 || i < static_cast<size_t>(n)) && s[i]) {
    auto c = static_cast<typename std::make_unsigned<Char>::type>(s[i]);
    if (c >= 0x80 || c == '-' || c == '\'') *plain = false;
    ++i;
  }
  return i;
}

// Linguistic for two plain texts: the same order, without building the
// character lists (most names the program compares are plain ASCII).
template <typename Char>
int PlainLinguistic(const Char* a, size_t na, const Char* b, size_t nb, bool ignoreCase) {
  size_t common = na < nb ? na : nb;
  for (size_t i = 0; i < common; ++i) {
    Unit ua = UnitOfWide(static_cast<unsigned char>(a[i]));
    Unit ub = UnitOfWide(static_cast<unsigned char>(b[i]));
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

int CompareUnits(const std::vector<Unit>& ua, const std::vector<Unit>& ub, bool ignoreCase) {
  std::vector<const Unit*> la, lb;  // the characters that count at levels 1-4
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
  for (size_t i = 0; i < la.size(); ++i) {
    if (la[i]->accent != lb[i]->accent) return la[i]->accent < lb[i]->accent ? -1 : 1;
  }
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

// Compares up to n units of each text (n < 0: the whole texts).
template <typename Char>
int Linguistic(const Char* a, const Char* b, int n, bool ignoreCase) {
  if (!a || !b) return a == b ? 0 : (a ? 1 : -1);
  bool plainA, plainB;
  size_t na = PlainLength(a, n, &plainA), nb = PlainLength(b, n, &plainB);
  if (plainA && plainB) return PlainLinguistic(a, na, b, nb, ignoreCase);
  return CompareUnits(Units(a, n), Units(b, n), ignoreCase);
}

// Exact comparison of n UTF-16 units (wcsncmp).
int CompareUnitsExactly(const char16_t* a, const char16_t* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    if (!a[i]) return 0;
  }
  return 0;
}

// The shell's substring search: every character position is tried. An ANSI
// text is walked over two-byte characters, so a match never starts on a trail
// byte; a UTF-16 text unit by unit, so a search for half a surrogate pair
// finds it inside the pair. The case-blind search compares as StrCmpNI does.
template <typename Char>
Char* FindSubstring(const Char* str, const Char* search, bool fold) {
  if (!str || !search || !*search) return nullptr;
  size_t len = 0, total = 0;
  while (search[len]) ++len;
  while (str[total]) ++total;
  const Char* end = str + total;
  auto first = static_cast<typename std::make_unsigned<Char>::type>(search[0]);
  bool quickFirst = first < 0x80 && first != '-' && first != '\'';
  while (str + len <= end) {
    // Where both texts start with an ASCII character that counts in the comparison, a
    // different first letter settles it; the full comparison runs only where it may match.
    auto here = static_cast<typename std::make_unsigned<Char>::type>(*str);
    size_t step;
    if constexpr (sizeof(Char) == 1) {
      step = CharLen(str);
    } else {
      step = 1;
    }
    if (fold && quickFirst && here < 0x80 && here != '-' && here != '\'' &&
        FoldAscii(static_cast<unsigned char>(here)) != FoldAscii(static_cast<unsigned char>(first))) {
      str += step;
      continue;
    }
    int cmp;
    if constexpr (sizeof(Char) == 1) {
      cmp = fold ? Linguistic(str, search, static_cast<int>(len), true)
                 : CompareBytes(str, search, static_cast<int>(len), false);
    } else {
      cmp = fold ? Linguistic(str, search, static_cast<int>(len), true)
                 : CompareUnitsExactly(str, search, len);
    }
    if (cmp == 0) return const_cast<Char*>(str);
    str += step;
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

// ----- wsprintfA and wsprintfW -----

constexpr int kFormatLimit = 1024;  // output buffer of the formatter, zero included

template <typename Char>
struct Out {
  Char* buf;
  int len = 0;
  bool full = false;
  void Put(Char c) {
    if (len < kFormatLimit - 1) {
      buf[len++] = c;
    } else {
      full = true;
    }
  }
  void Pad(Char c, int n) {
    for (int i = 0; i < n; ++i) Put(c);
  }
  void Put(const std::basic_string<Char>& s) {
    for (Char c : s) Put(c);
  }
};

template <typename Char>
std::basic_string<Char> Digits(uint64_t v, int base, bool upper) {
  const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::basic_string<Char> d;
  do {
    d.insert(d.begin(), static_cast<Char>(set[v % base]));
    v /= base;
  } while (v);
  return d;
}

template <typename Char>
std::basic_string<Char> Ascii(const char* s) {
  std::basic_string<Char> out;
  for (; *s; ++s) out += static_cast<Char>(*s);
  return out;
}

// A text argument of the other width goes through the code page: an ANSI
// text is converted as a whole (a lead byte without its trail byte at its end
// becomes a zero character), a wide one unit by unit with best-fit, so each
// half of a surrogate pair becomes a '?'.
void AppendString(std::string* body, const char* s) { *body += s; }
void AppendString(std::u16string* body, const char16_t* s) { *body += s; }
void AppendString(std::string* body, const char16_t* s) {
  for (; *s; ++s) *body += WideToAnsi(std::u16string(1, *s));
}
void AppendString(std::u16string* body, const char* s) {
  std::string whole = ThroughUnicode(s);
  *body += AnsiToWide(whole);
  if (s[whole.size()]) body->push_back(0);  // a lead byte without its trail byte
}

// The user32 formatter: %[-][#][0][width][.precision][h|l|w|I64]type with the
// types c C d i u x X s S p and %%. No floating point; no '*' width. In
// wsprintfA %s and %c are ANSI and %S and %C wide; in wsprintfW the other way
// round; h makes either ANSI, l and w wide. The output holds at most 1023
// characters and a terminating zero; the result is the number of characters
// written, except that an output that reaches the limit gives 1024 (one more
// than it holds).
template <typename Char>
int Format(Char* lpOut, const Char* lpFmt, va_list args) {
  constexpr bool kWideOut = sizeof(Char) == 2;
  if (!lpOut) return 0;
  Out<Char> out;
  out.buf = lpOut;
  static const Char kEmpty[] = {0};
  const Char* f = lpFmt ? lpFmt : kEmpty;
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
    Char type = *f;
    if (!type) break;
    ++f;
    std::basic_string<Char> body;
    std::basic_string<Char> prefix;
    bool numeric = false;
    // The argument is wide: the type of the output's own width unless h says
    // ANSI, the other type only with l or w.
    bool lower = type == 'c' || type == 's';
    bool wideArg = (lower == kWideOut) ? !narrow : wide;
    switch (type) {
      case 'c':
      case 'C': {
        int c = va_arg(args, int);
        if ((c & (wideArg ? 0xFFFF : 0xFF)) == 0) {
          body.push_back(0);  // written, and counted, as any character
        } else if (wideArg) {
          const char16_t unit[] = {static_cast<char16_t>(c), 0};
          AppendString(&body, unit);
        } else {
          const char byte[] = {static_cast<char>(c), 0};
          AppendString(&body, byte);
        }
        break;
      }
      case 's':
      case 'S': {
        if (wideArg) {
          const char16_t* ws = va_arg(args, const char16_t*);
          if (ws) AppendString(&body, ws); else body = Ascii<Char>("(null)");
        } else {
          const char* s = va_arg(args, const char*);
          if (s) AppendString(&body, s); else body = Ascii<Char>("(null)");
        }
        if (precision >= 0 && static_cast<int>(body.size()) > precision) body.resize(precision);
        break;
      }
      case 'd':
      case 'i': {
        int64_t v = big ? va_arg(args, int64_t) : static_cast<int64_t>(va_arg(args, int));
        if (v < 0) prefix = Ascii<Char>("-");
        body = Digits<Char>(v < 0 ? static_cast<uint64_t>(-(v + 1)) + 1 : static_cast<uint64_t>(v),
                            10, false);
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
        body = Digits<Char>(v, type == 'u' ? 10 : 16, type == 'X');
        if (alt && type != 'u') prefix = Ascii<Char>(type == 'X' ? "0X" : "0x");  // also for 0
        numeric = true;
        break;
      }
      default:
        body = std::basic_string<Char>(1, type);  // an unknown type is written as it stands
        break;
    }
    if (numeric && precision >= 0 && static_cast<int>(body.size()) < precision) {
      body.insert(0, precision - body.size(), '0');
    }
    int total = static_cast<int>(prefix.size() + body.size());
    int pad = width > total ? width - total : 0;
    if (left) {
      out.Put(prefix);
      out.Put(body);
      out.Pad(' ', pad);
    } else if (zero && numeric) {
      out.Put(prefix);
      out.Pad('0', pad);
      out.Put(body);
    } else {
      out.Pad(' ', pad);
      out.Put(prefix);
      out.Put(body);
    }
  }
  lpOut[out.len] = 0;
  return out.len >= kFormatLimit - 1 ? kFormatLimit : out.len;
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

// One UTF-16 unit on or back, never past the end or before the start.
LPWSTR CharNextW(LPCWSTR lpsz) {
  sim::NoteWideCall("CharNextW");
  if (!lpsz) return nullptr;
  return const_cast<LPWSTR>(*lpsz ? lpsz + 1 : lpsz);
}

LPWSTR CharPrevW(LPCWSTR lpszStart, LPCWSTR lpszCurrent) {
  sim::NoteWideCall("CharPrevW");
  if (!lpszStart || !lpszCurrent || lpszCurrent <= lpszStart) {
    return const_cast<LPWSTR>(lpszStart);
  }
  return const_cast<LPWSTR>(lpszCurrent - 1);
}

int lstrlenA(LPCSTR lpString) { return lpString ? static_cast<int>(std::strlen(lpString)) : 0; }

int lstrlenW(LPCWSTR lpString) { return static_cast<int>(sim::WideLength(lpString)); }

LPSTR lstrcpyA(LPSTR lpString1, LPCSTR lpString2) {
  if (!lpString1 || !lpString2) return nullptr;
  std::memmove(lpString1, lpString2, std::strlen(lpString2) + 1);
  return lpString1;
}

LPWSTR lstrcpyW(LPWSTR lpString1, LPCWSTR lpString2) {
  sim::NoteWideCall("lstrcpyW");
  if (!lpString1 || !lpString2) return nullptr;
  std::memmove(lpString1, lpString2, (sim::WideLength(lpString2) + 1) * sizeof(WCHAR));
  return lpString1;
}

// Copies at most iMaxLength - 1 characters (bytes, or UTF-16 units) and a zero.
template <typename Char>
Char* CopyAtMost(Char* lpString1, const Char* lpString2, int iMaxLength) {
  if (!lpString1 || !lpString2) return nullptr;
  Char* d = lpString1;
  const Char* s = lpString2;
  int count = iMaxLength;
  while (count > 1 && *s) {
    --count;
    *d++ = *s++;
  }
  if (count) *d = 0;
  return lpString1;
}

LPSTR lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength) {
  return CopyAtMost(lpString1, lpString2, iMaxLength);
}

LPWSTR lstrcpynW(LPWSTR lpString1, LPCWSTR lpString2, int iMaxLength) {
  sim::NoteWideCall("lstrcpynW");
  return CopyAtMost(lpString1, lpString2, iMaxLength);
}

LPSTR lstrcatA(LPSTR lpString1, LPCSTR lpString2) {
  if (!lpString1 || !lpString2) return nullptr;
  std::memmove(lpString1 + std::strlen(lpString1), lpString2, std::strlen(lpString2) + 1);
  return lpString1;
}

LPWSTR lstrcatW(LPWSTR lpString1, LPCWSTR lpString2) {
  sim::NoteWideCall("lstrcatW");
  if (!lpString1 || !lpString2) return nullptr;
  std::memmove(lpString1 + sim::WideLength(lpString1), lpString2,
               (sim::WideLength(lpString2) + 1) * sizeof(WCHAR));
  return lpString1;
}

// These compare linguistically; see Linguistic above.
int lstrcmpA(LPCSTR lpString1, LPCSTR lpString2) {
  return sim::Linguistic(lpString1, lpString2, -1, false);
}

int lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) {
  return sim::Linguistic(lpString1, lpString2, -1, true);
}

int lstrcmpW(LPCWSTR lpString1, LPCWSTR lpString2) {
  sim::NoteWideCall("lstrcmpW");
  return sim::Linguistic(lpString1, lpString2, -1, false);
}

int lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2) {
  sim::NoteWideCall("lstrcmpiW");
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

int StrCmpNIW(LPCWSTR lpStr1, LPCWSTR lpStr2, int nChar) {
  sim::NoteWideCall("StrCmpNIW");
  if (nChar <= 0) return 0;
  return sim::Linguistic(lpStr1, lpStr2, nChar, true);
}

int StrCmpNW(LPCWSTR lpStr1, LPCWSTR lpStr2, int nChar) {
  sim::NoteWideCall("StrCmpNW");
  if (nChar <= 0) return 0;
  return sim::Linguistic(lpStr1, lpStr2, nChar, false);
}

LPSTR StrStrIA(LPCSTR lpFirst, LPCSTR lpSrch) { return sim::FindSubstring(lpFirst, lpSrch, true); }

LPSTR StrStrA(LPCSTR lpFirst, LPCSTR lpSrch) { return sim::FindSubstring(lpFirst, lpSrch, false); }

LPWSTR StrStrIW(LPCWSTR lpFirst, LPCWSTR lpSrch) {
  sim::NoteWideCall("StrStrIW");
  return sim::FindSubstring(lpFirst, lpSrch, true);
}

LPWSTR StrStrW(LPCWSTR lpFirst, LPCWSTR lpSrch) {
  sim::NoteWideCall("StrStrW");
  return sim::FindSubstring(lpFirst, lpSrch, false);
}

LPSTR StrChrA(LPCSTR lpStart, WORD wMatch) {
  if (!lpStart) return nullptr;
  for (const char* p = lpStart; *p; p = CharNextA(p)) {
    if (sim::CharMatches(p, wMatch)) return const_cast<LPSTR>(p);
  }
  return nullptr;
}

// Unlike StrChrA, a search for the zero finds the terminating zero.
LPWSTR StrChrW(LPCWSTR lpStart, WCHAR wMatch) {
  sim::NoteWideCall("StrChrW");
  if (!lpStart) return nullptr;
  for (const WCHAR* p = lpStart;; ++p) {
    if (*p == wMatch) return const_cast<LPWSTR>(p);
    if (!*p) return nullptr;
  }
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

int wvsprintfA(LPSTR lpOut, LPCSTR lpFmt, va_list args) { return sim::Format(lpOut, lpFmt, args); }

int wvsprintfW(LPWSTR lpOut, LPCWSTR lpFmt, va_list args) {
  return sim::Format(lpOut, lpFmt, args);
}

int wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...) {
  va_list args;
  va_start(args, lpFmt);
  int n = wvsprintfA(lpOut, lpFmt, args);
  va_end(args);
  return n;
}

int wsprintfW(LPWSTR lpOut, LPCWSTR lpFmt, ...) {
  va_list args;
  va_start(args, lpFmt);
  int n = wvsprintfW(lpOut, lpFmt, args);
  va_end(args);
  return n;
}
