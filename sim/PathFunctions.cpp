// The light-weight shell's path functions (PathXxxA and PathXxxW). They work
// on the text alone, except PathFileExists and PathIsDirectory, which ask the
// file system. Every walk over an ANSI text steps over two-byte characters, so
// the trail byte 0x5C of a Shift_JIS character is never taken for a
// backslash; in UTF-16 a backslash is always one.
#include <cstring>
#include <vector>

#include "SimInternal.h"

namespace {

// A text split into characters: one-byte characters keep their value, a
// two-byte character becomes a value above 0xFF, so it equals no separator.
std::vector<unsigned> ToChars(const char* s) {
  std::vector<unsigned> out;
  while (*s) {
    size_t n = sim::CharLen(s);
    unsigned c = static_cast<unsigned char>(s[0]);
    if (n == 2) c = (c << 8) | static_cast<unsigned char>(s[1]);
    out.push_back(c);
    s += n;
  }
  return out;
}

std::vector<unsigned> ToChars(const char16_t* s) {
  std::vector<unsigned> out;
  for (; *s; ++s) out.push_back(*s);
  return out;
}

std::string FromChars(const std::vector<unsigned>& chars, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    unsigned c = chars[i];
    if (c > 0xFF) out += static_cast<char>(c >> 8);
    out += static_cast<char>(c & 0xFF);
  }
  return out;
}

bool IsUncServerShare(const std::vector<unsigned>& p, size_t len) {
  if (len < 2 || p[0] != '\\' || p[1] != '\\') return false;
  bool seen = false;
  for (size_t i = 2; i < len; ++i) {
    if (p[i] == '\\') {
      if (seen) return false;
      seen = true;
    }
  }
  return seen;
}

// Removes "." and ".." segments the way the shell does: ".." backs up one
// segment but not over a drive root or a "\\server\share" prefix; ".\" is
// dropped; a bare drive "X:" gets its backslash; an empty text becomes "\".
std::vector<unsigned> Canonicalize(const std::vector<unsigned>& src) {
  if (src.empty()) return {'\\'};
  std::vector<unsigned> dst(src.size() + 2, 0);
  size_t s = 0, d = 0;
  auto at = [&](size_t i) -> unsigned { return i < src.size() ? src[i] : 0; };
  if (at(0) == '\\') {
    dst[d++] = src[s++];
  } else if (at(0) && at(1) == ':') {
    dst[d++] = src[s++];
    dst[d++] = src[s++];
    if (at(s) == '\\') dst[d++] = src[s++];
  }
  while (s < src.size()) {
    if (src[s] == '.') {
      if (at(s + 1) == '\\' && (s == 0 || src[s - 1] == '\\' || src[s - 1] == ':')) {
        s += 2;  // skip ".\"
      } else if (at(s + 1) == '.' && d != 0 && dst[d - 1] == '\\') {
        // "..": back up one segment, but not over the root or a UNC share;
        // a ".." at the start of a relative text stays
        dst[d] = 0;
        if (d > 1 && dst[d - 1] == '\\' && (dst[d - 2] != '\\' || d > 2)) {
          if (dst[d - 2] == ':' && (d > 3 || (d == 3 && dst[0] == ':'))) {
            d -= 2;
            while (d > 0 && dst[d] != '\\') --d;
            if (dst[d] == '\\') {
              ++d;
            } else {
              d = 0;
            }
          } else if (dst[d - 2] != ':' && !IsUncServerShare(dst, d)) {
            d -= 2;
          }
        }
        while (d > 0 && dst[d] != '\\') --d;
        if (d == 0) {
          dst[d++] = '\\';
          ++s;
        }
        s += 2;
      } else {
        dst[d++] = src[s++];
      }
    } else {
      dst[d++] = src[s++];
    }
  }
  if (d == 2 && dst[1] == ':') dst[d++] = '\\';
  dst.resize(d);
  return dst;
}

}  // namespace

BOOL PathFileExistsA(LPCSTR pszPath) {
  if (!pszPath) return FALSE;
  return GetFileAttributesA(pszPath) != INVALID_FILE_ATTRIBUTES;
}

// Like the shell, the result is the directory attribute itself (0x10) rather
// than TRUE.
BOOL PathIsDirectoryA(LPCSTR pszPath) {
  if (!pszPath) return FALSE;
  DWORD attributes = GetFileAttributesA(pszPath);
  if (attributes == INVALID_FILE_ATTRIBUTES) return FALSE;
  return attributes & FILE_ATTRIBUTE_DIRECTORY;
}

// The source must fit MAX_PATH characters; the result is written into a
// buffer of MAX_PATH bytes.
BOOL PathCanonicalizeA(LPSTR pszBuf, LPCSTR pszPath) {
  if (pszBuf) *pszBuf = 0;
  if (!pszBuf || !pszPath) {
    sim::SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<unsigned> chars = ToChars(pszPath);
  if (chars.size() >= MAX_PATH) {
    sim::SetError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::vector<unsigned> result = Canonicalize(chars);
  std::string text = FromChars(result, result.size());
  if (text.size() > MAX_PATH - 1) {
    // The shell's conversion back to ANSI stops at the buffer's end; keep
    // whole characters and a terminating NUL.
    std::string cut;
    const char* p = text.c_str();
    while (*p && cut.size() + sim::CharLen(p) <= MAX_PATH - 1) {
      size_t n = sim::CharLen(p);
      cut.append(p, n);
      p += n;
    }
    text = cut;
  }
  std::memcpy(pszBuf, text.c_str(), text.size() + 1);
  return TRUE;
}

// Adds a backslash unless the text already ends with one. An empty text is
// left empty. When the result would not fit MAX_PATH bytes nothing is changed
// and the result is NULL; otherwise it points at the terminating NUL.
LPSTR PathAddBackslashA(LPSTR pszPath) {
  if (!pszPath) return nullptr;
  size_t len = std::strlen(pszPath);
  if (len >= MAX_PATH) return nullptr;
  if (len == 0) return pszPath;
  char* prev = pszPath;
  for (char* p = pszPath; *p; p = CharNextA(p)) prev = p;
  if (*prev == '\\' && sim::CharLen(prev) == 1) return pszPath + len;
  if (len + 1 >= MAX_PATH) return nullptr;
  pszPath[len] = '\\';
  pszPath[len + 1] = 0;
  return pszPath + len + 1;
}

LPSTR PathRemoveBackslashA(LPSTR pszPath) {
  if (!pszPath) return nullptr;
  char* prev = pszPath;
  for (char* p = pszPath; *p; p = CharNextA(p)) prev = p;
  if (*prev == '\\' && sim::CharLen(prev) == 1) {
    // A root ("C:\" or "\") keeps its backslash.
    bool root = (prev == pszPath) || (prev == pszPath + 2 && pszPath[1] == ':');
    if (!root) *prev = 0;
  }
  return prev;
}

// Removes leading and trailing blanks (0x20 only).
void PathRemoveBlanksA(LPSTR pszPath) {
  if (!pszPath || !*pszPath) return;
  char* start = pszPath;
  char* first = pszPath;
  while (*pszPath == ' ') ++pszPath;
  while (*pszPath) *start++ = *pszPath++;
  if (start != first) {
    while (start > first && start[-1] == ' ') --start;
  }
  *start = 0;
}

// Removes a leading and a trailing double quote, only when both are there.
void PathUnquoteSpacesA(LPSTR lpsz) {
  if (!lpsz || *lpsz != '"') return;
  size_t last = std::strlen(lpsz) - 1;
  if (lpsz[last] != '"') return;
  lpsz[last] = 0;
  for (; *lpsz; ++lpsz) *lpsz = lpsz[1];
}

BOOL PathRemoveFileSpecA(LPSTR pszPath) {
  if (!pszPath) return FALSE;
  char* cut = pszPath;  // where the last component starts (or its separator)
  char* p = pszPath;
  if (*p == '\\') cut = ++p;
  if (*p == '\\') cut = ++p;
  while (*p) {
    if (*p == '\\') {
      cut = p;
    } else if (*p == ':') {
      cut = ++p;
      if (*p == '\\') ++cut;
      if (!*p) break;
    }
    p = CharNextA(p);
  }
  if (*cut) {
    *cut = 0;
    return TRUE;
  }
  return FALSE;
}

LPSTR PathFindFileNameA(LPCSTR pszPath) {
  if (!pszPath) return nullptr;
  const char* last = pszPath;
  for (const char* p = pszPath; *p; p = CharNextA(p)) {
    if ((*p == '\\' || *p == '/' || *p == ':') && p[1] && p[1] != '\\' && p[1] != '/') {
      last = p + 1;
    }
  }
  return const_cast<LPSTR>(last);
}

// The last dot of the last component, or the terminating NUL; a blank after
// the dot cancels it, as in the shell.
LPSTR PathFindExtensionA(LPCSTR pszPath) {
  if (!pszPath) return nullptr;
  const char* dot = nullptr;
  const char* p = pszPath;
  while (*p) {
    if (*p == '\\' || *p == ' ') {
      dot = nullptr;
    } else if (*p == '.') {
      dot = p;
    }
    p = CharNextA(p);
  }
  return const_cast<LPSTR>(dot ? dot : p);
}

BOOL PathIsRelativeA(LPCSTR pszPath) {
  if (!pszPath || !*pszPath || IsDBCSLeadByte(static_cast<BYTE>(*pszPath))) return TRUE;
  if (*pszPath == '\\' || pszPath[1] == ':') return FALSE;
  return TRUE;
}

BOOL PathIsUNCServerShareA(LPCSTR pszPath) {
  if (!pszPath) return FALSE;
  std::vector<unsigned> chars = ToChars(pszPath);
  return IsUncServerShare(chars, chars.size());
}

BOOL PathFileExistsW(LPCWSTR pszPath) {
  sim::NoteWideCall("PathFileExistsW");
  if (!pszPath) return FALSE;
  return GetFileAttributesW(pszPath) != INVALID_FILE_ATTRIBUTES;
}

BOOL PathIsDirectoryW(LPCWSTR pszPath) {
  sim::NoteWideCall("PathIsDirectoryW");
  if (!pszPath) return FALSE;
  DWORD attributes = GetFileAttributesW(pszPath);
  if (attributes == INVALID_FILE_ATTRIBUTES) return FALSE;
  return attributes & FILE_ATTRIBUTE_DIRECTORY;
}

// The source must be shorter than MAX_PATH characters, as the buffer holds
// MAX_PATH; the result is never longer than that.
BOOL PathCanonicalizeW(LPWSTR pszBuf, LPCWSTR pszPath) {
  sim::NoteWideCall("PathCanonicalizeW");
  if (pszBuf) *pszBuf = 0;
  if (!pszBuf || !pszPath) {
    sim::SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<unsigned> chars = ToChars(pszPath);
  if (chars.size() >= MAX_PATH) {
    sim::SetError(ERROR_FILENAME_EXCED_RANGE);
    return FALSE;
  }
  std::vector<unsigned> result = Canonicalize(chars);
  if (result.size() > MAX_PATH - 1) result.resize(MAX_PATH - 1);
  for (size_t i = 0; i < result.size(); ++i) pszBuf[i] = static_cast<WCHAR>(result[i]);
  pszBuf[result.size()] = 0;
  return TRUE;
}

// As PathAddBackslashA, in characters.
LPWSTR PathAddBackslashW(LPWSTR pszPath) {
  sim::NoteWideCall("PathAddBackslashW");
  if (!pszPath) return nullptr;
  size_t len = sim::WideLength(pszPath);
  if (len >= MAX_PATH) return nullptr;
  if (len == 0) return pszPath;
  if (pszPath[len - 1] == u'\\') return pszPath + len;
  if (len + 1 >= MAX_PATH) return nullptr;
  pszPath[len] = u'\\';
  pszPath[len + 1] = 0;
  return pszPath + len + 1;
}

LPWSTR PathRemoveBackslashW(LPWSTR pszPath) {
  sim::NoteWideCall("PathRemoveBackslashW");
  if (!pszPath) return nullptr;
  size_t len = sim::WideLength(pszPath);
  WCHAR* last = len ? pszPath + len - 1 : pszPath;
  if (*last == u'\\') {
    bool root = (last == pszPath) || (last == pszPath + 2 && pszPath[1] == u':');
    if (!root) *last = 0;
  }
  return last;
}

void PathRemoveBlanksW(LPWSTR pszPath) {
  sim::NoteWideCall("PathRemoveBlanksW");
  if (!pszPath || !*pszPath) return;
  WCHAR* start = pszPath;
  WCHAR* first = pszPath;
  while (*pszPath == u' ') ++pszPath;
  while (*pszPath) *start++ = *pszPath++;
  if (start != first) {
    while (start > first && start[-1] == u' ') --start;
  }
  *start = 0;
}

void PathUnquoteSpacesW(LPWSTR lpsz) {
  sim::NoteWideCall("PathUnquoteSpacesW");
  if (!lpsz || *lpsz != u'"') return;
  size_t last = sim::WideLength(lpsz) - 1;
  if (lpsz[last] != u'"') return;
  lpsz[last] = 0;
  for (; *lpsz; ++lpsz) *lpsz = lpsz[1];
}

BOOL PathRemoveFileSpecW(LPWSTR pszPath) {
  sim::NoteWideCall("PathRemoveFileSpecW");
  if (!pszPath) return FALSE;
  WCHAR* cut = pszPath;  // where the last component starts (or its separator)
  WCHAR* p = pszPath;
  if (*p == u'\\') cut = ++p;
  if (*p == u'\\') cut = ++p;
  while (*p) {
    if (*p == u'\\') {
      cut = p;
    } else if (*p == u':') {
      cut = ++p;
      if (*p == u'\\') ++cut;
      if (!*p) break;
    }
    ++p;
  }
  if (*cut) {
    *cut = 0;
    return TRUE;
  }
  return FALSE;
}

LPWSTR PathFindFileNameW(LPCWSTR pszPath) {
  sim::NoteWideCall("PathFindFileNameW");
  if (!pszPath) return nullptr;
  const WCHAR* last = pszPath;
  for (const WCHAR* p = pszPath; *p; ++p) {
    if ((*p == u'\\' || *p == u'/' || *p == u':') && p[1] && p[1] != u'\\' && p[1] != u'/') {
      last = p + 1;
    }
  }
  return const_cast<LPWSTR>(last);
}

LPWSTR PathFindExtensionW(LPCWSTR pszPath) {
  sim::NoteWideCall("PathFindExtensionW");
  if (!pszPath) return nullptr;
  const WCHAR* dot = nullptr;
  const WCHAR* p = pszPath;
  for (; *p; ++p) {
    if (*p == u'\\' || *p == u' ') {
      dot = nullptr;
    } else if (*p == u'.') {
      dot = p;
    }
  }
  return const_cast<LPWSTR>(dot ? dot : p);
}

BOOL PathIsRelativeW(LPCWSTR pszPath) {
  sim::NoteWideCall("PathIsRelativeW");
  if (!pszPath || !*pszPath) return TRUE;
  if (*pszPath == u'\\' || pszPath[1] == u':') return FALSE;
  return TRUE;
}

BOOL PathIsUNCServerShareW(LPCWSTR pszPath) {
  sim::NoteWideCall("PathIsUNCServerShareW");
  if (!pszPath) return FALSE;
  std::vector<unsigned> chars = ToChars(pszPath);
  return IsUncServerShare(chars, chars.size());
}
