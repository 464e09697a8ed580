// Conformance probe: runs the same Win32 calls on the real platform (built with
// MinGW, run under Wine) and on the simulated desktop (built natively against
// the sim), and prints one line per case: "case-name<TAB>result". A test
// compares the two outputs line by line, so every disagreement between the sim
// and the platform shows up as a differing line.
//
// Usage: conformance_probe BASE [OUTPUT]
//   BASE    a folder on drive C: that exists and holds this program (on the
//           simulated desktop it is created); the probe builds its file tree in it
//   OUTPUT  the file the lines go to (default: standard output)
// The exit code is 0 once the lines are written; a failed set-up shows as the
// first line "set-up<TAB>FAILED".
//
// The output holds nothing specific to the machine: the base folder is printed
// as <base>, lengths of long names are printed relative to the base, and bytes
// outside printable ASCII are written as {HH}.
#ifdef _WIN32
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>
#else
#include "SimWorld.h"
#include "sim_win32.h"
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string g_base;  // e.g. C:\conformance
FILE* g_out = nullptr;

// A value that no call sets, so that "err=keep" shows a call that left the
// last error alone.
const DWORD kSentinel = 0x0BADC0DE;

// ---------------------------------------------------------------------------
// Output
// ---------------------------------------------------------------------------

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Replaces every occurrence of the base folder (ASCII case ignored) by <base>.
std::string Tokenize(const std::string& s) {
  std::string out;
  size_t i = 0;
  while (i < s.size()) {
    bool match = !g_base.empty() && i + g_base.size() <= s.size();
    for (size_t k = 0; match && k < g_base.size(); ++k) {
      match = LowerAscii(s[i + k]) == LowerAscii(g_base[k]);
    }
    if (match) {
      out += "<base>";
      i += g_base.size();
    } else {
      out += s[i++];
    }
  }
  return out;
}

std::string Escape(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c < 0x20 || c > 0x7E || c == '{' || c == '}') {
      char hex[8];
      std::snprintf(hex, sizeof hex, "{%02X}", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// A text result: quoted, with the base replaced and odd bytes escaped.
std::string Q(const std::string& s) { return "\"" + Escape(Tokenize(s)) + "\""; }
std::string Q(const char* s) { return s ? Q(std::string(s)) : std::string("NULL"); }

std::string Num(long long v) { return std::to_string(v); }

std::string Hex(unsigned long long v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%llX", v);
  return buf;
}

void Arm() { SetLastError(kSentinel); }

std::string Err() {
  DWORD e = GetLastError();
  return e == kSentinel ? std::string(" err=keep") : " err=" + Num(e);
}

void Line(const std::string& name, const std::string& result) {
  std::fprintf(g_out, "%s\t%s\n", name.c_str(), result.c_str());
}

// An offset into a buffer, or NULL.
std::string Offset(const void* p, const void* base) {
  if (!p) return "NULL";
  return "+" + Num(static_cast<const char*>(p) - static_cast<const char*>(base));
}

// A name for a case built from an input text (escaped, base replaced).
std::string CaseName(const std::string& group, const std::string& input) {
  return group + "(" + Escape(Tokenize(input)) + ")";
}

std::string In(const std::string& rel) { return g_base + "\\" + rel; }

// ---------------------------------------------------------------------------
// Set-up: the file tree, made with the platform's own calls
// ---------------------------------------------------------------------------

bool MakeDir(const std::string& path) {
  if (CreateDirectoryA(path.c_str(), nullptr)) return true;
  return GetLastError() == ERROR_ALREADY_EXISTS;
}

bool MakeFile(const std::string& path, const std::string& bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = bytes.empty() ||
            (WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
             written == bytes.size());
  CloseHandle(h);
  return ok;
}

// Shift_JIS texts, used in texts only: file names in Shift_JIS need a host
// locale under Wine that a test machine may not have. The first byte of each kanji is a lead byte; the second
// byte of 0x95 0x5C is a backslash when read as single bytes.
const char kHyou[] = "\x95\x5C";          // one kanji whose trail byte is 0x5C
const char kHyouJi[] = "\x95\x5C\x8E\xA6";  // two kanji
const char kFullA[] = "\x82\x60";           // full-width capital A
const char kFullSmallA[] = "\x82\x81";      // full-width small a

bool SetUpTree() {
  bool ok = MakeDir(g_base);
  for (const char* dir : {"dir", "dir\\sub", "dir2", "a.b", "path1", "path2", "sp ace"}) {
    ok = MakeDir(In(dir)) && ok;
  }
  ok = MakeFile(In("file.txt"), "hello\r\n") && ok;
  ok = MakeFile(In("empty.txt"), "") && ok;
  ok = MakeFile(In("noext"), "n") && ok;
  ok = MakeFile(In("tool.exe"), "MZ") && ok;
  ok = MakeFile(In("dir\\inner.txt"), "x") && ok;
  ok = MakeFile(In("dir\\sub\\deep.txt"), "deep") && ok;
  ok = MakeFile(In("a.b\\c"), "c") && ok;
  ok = MakeFile(In("path1\\p1.exe"), "MZ") && ok;
  ok = MakeFile(In("path2\\p2.exe"), "MZ") && ok;
  ok = MakeFile(In("path2\\shared.txt"), "2") && ok;
  ok = MakeFile(In("sp ace\\x.txt"), "x") && ok;
  return ok;
}

// A full path of exactly `length` characters below the base folder, made of
// components of at most 100 characters (none of which exists).
std::string LongPath(size_t length) {
  std::string p = g_base;
  while (p.size() < length) {
    size_t room = length - p.size() - 1;  // after the backslash
    size_t n = room > 100 ? 100 : room;
    if (room > 100 && room - n < 2) n = room - 2;  // keep the last component non-empty
    p += "\\" + std::string(n, 'L');
  }
  return p;
}

// ---------------------------------------------------------------------------
// Cases
// ---------------------------------------------------------------------------

void ModuleFileName() {
  char full[1024];
  DWORD len = GetModuleFileNameA(nullptr, full, sizeof full);
  std::string path(full, len);
  Line("GetModuleFileNameA(full)", "ret=len " + Q(path));
  // Buffer sizes: one that fits exactly, then ones that are too small (one
  // line for all of these, as they follow one rule).
  const DWORD sizes[] = {len + 1, len, len - 1, 5, 1};
  const char* labels[] = {"len+1", "len", "len-1", "5", "1"};
  std::string tooSmall;
  for (size_t i = 0; i < sizeof sizes / sizeof sizes[0]; ++i) {
    char buf[1024];
    std::memset(buf, '#', sizeof buf);
    Arm();
    DWORD ret = GetModuleFileNameA(nullptr, buf, sizes[i]);
    std::string err = Err();
    // How many bytes are the start of the path, and what the next two are.
    size_t same = 0;
    while (same < sizes[i] && same < path.size() && buf[same] == path[same]) ++same;
    long long d = static_cast<long long>(ret) - static_cast<long long>(sizes[i]);
    long long sd = static_cast<long long>(same) - static_cast<long long>(sizes[i]);
    std::string r = "ret=size" + std::string(d >= 0 ? "+" : "") + Num(d) + err + " path-bytes=size" +
                    (sd >= 0 ? "+" : "") + Num(sd) + " then=" + Escape(std::string(buf + same, 2));
    if (i == 0) {
      Line(std::string("GetModuleFileNameA(size=") + labels[i] + ")", r);
    } else {
      tooSmall += std::string(tooSmall.empty() ? "" : " | ") + labels[i] + ": " + r;
    }
  }
  Line("GetModuleFileNameA(too small)", tooSmall);
  Arm();
  DWORD ret = GetModuleFileNameA(nullptr, full, 0);
  Line("GetModuleFileNameA(size=0)", "ret=" + Num(ret) + Err());
}

void VersionInfo() {
  const DWORD sizes[] = {0, 147, 148, 149, 155, 156, 157, 300};
  for (DWORD size : sizes) {
    union {
      OSVERSIONINFOEXA ex;
      char raw[400];
    } u;
    std::memset(&u, 0, sizeof u);
    u.ex.dwOSVersionInfoSize = size;
    Arm();
    BOOL ok = GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&u.ex));
    std::string r = "ret=" + Num(ok) + Err();
    if (ok) {
      r += " v=" + Num(u.ex.dwMajorVersion) + "." + Num(u.ex.dwMinorVersion) + "." +
           Num(u.ex.dwBuildNumber) + " platform=" + Num(u.ex.dwPlatformId) + " csd=" +
           Q(u.ex.szCSDVersion);
      if (size >= sizeof(OSVERSIONINFOEXA)) {
        r += " sp=" + Num(u.ex.wServicePackMajor) + "." + Num(u.ex.wServicePackMinor) +
             " type=" + Num(u.ex.wProductType);
      }
    }
    Line("GetVersionExA(size=" + Num(size) + ")", r);
  }
}

void FileExistence() {
  const std::string names[] = {
      "", "   ", "file.txt", "FILE.TXT", "file.txt\\", "file.txt.", "file.txt ", "file.txt\\.",
      "file.txt\\x", "dir", "dir\\", "dir\\.", "dir\\..", "dir/inner.txt", "dir\\inner.txt\\",
      "missing", "missing\\x", "C:", "C:\\", "\"file.txt\"", In("dir\\."), In("dir\\.."),
      In("dir\\"), "a?b", "a*b", "a<b", "a|b", "a\"b", ".", "..",
      // What folder resolution tries after blanks were taken off or a backslash added.
      "\\", "dir ", " dir", "sp ace", "sp ace\\", "dir\\sub\\",
  };
  for (const std::string& n : names) {
    Arm();
    BOOL e = PathFileExistsA(n.c_str());
    std::string err = Err();
    Arm();
    BOOL d = PathIsDirectoryA(n.c_str());
    std::string derr = Err();
    Arm();
    DWORD a = GetFileAttributesA(n.c_str());
    std::string aerr = Err();
    Line(CaseName("PathFileExistsA", n), "ret=" + Num(e != 0) + err);
    Line(CaseName("PathIsDirectoryA", n), "ret=" + Hex(static_cast<unsigned>(d)) + derr);
    // Attribute bits other than the directory bit depend on the file system.
    std::string attr = a == INVALID_FILE_ATTRIBUTES
                           ? std::string("INVALID")
                           : ((a & FILE_ATTRIBUTE_DIRECTORY) ? "dir" : "file");
    Line(CaseName("GetFileAttributesA", n), attr + (a == INVALID_FILE_ATTRIBUTES ? aerr : ""));
  }
  // Long names: full paths of 259, 260 and 300 characters, none existing.
  for (size_t length : {259u, 260u, 261u, 300u}) {
    std::string p = LongPath(length);
    Arm();
    DWORD a = GetFileAttributesA(p.c_str());
    std::string aerr = Err();
    Arm();
    BOOL e = PathFileExistsA(p.c_str());
    std::string eerr = Err();
    Arm();
    HANDLE h = CreateFileA(p.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string cerr = Err();
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    std::string label = "chars=" + Num(static_cast<long long>(length));
    Line("GetFileAttributesA(long " + label + ")",
         (a == INVALID_FILE_ATTRIBUTES ? "INVALID" : "found") + aerr);
    Line("PathFileExistsA(long " + label + ")", "ret=" + Num(e != 0) + eerr);
    Line("CreateFileA(long " + label + ")",
         std::string(h == INVALID_HANDLE_VALUE ? "INVALID" : "opened") + cerr);
  }
}

std::string OpenResult(HANDLE h) {
  return std::string(h == INVALID_HANDLE_VALUE ? "INVALID" : "opened") + Err();
}

void FileOpening() {
  struct Open {
    const char* label;
    std::string name;
    DWORD access;
    DWORD disposition;
  };
  const Open opens[] = {
      {"open-existing file", "file.txt", GENERIC_READ, OPEN_EXISTING},
      {"open-existing missing", "missing.txt", GENERIC_READ, OPEN_EXISTING},
      {"open-existing missing folder", "nodir\\x.txt", GENERIC_READ, OPEN_EXISTING},
      {"open-existing on a folder", "dir", GENERIC_READ, OPEN_EXISTING},
      {"open-existing on a folder with backslash", "dir\\", GENERIC_READ, OPEN_EXISTING},
      {"open-existing trailing backslash", "file.txt\\", GENERIC_READ, OPEN_EXISTING},
      {"open-existing trailing dot", "file.txt.", GENERIC_READ, OPEN_EXISTING},
      {"open-existing empty name", "", GENERIC_READ, OPEN_EXISTING},
      {"open-existing blanks", "   ", GENERIC_READ, OPEN_EXISTING},
      {"open-existing through a file", "file.txt\\x", GENERIC_READ, OPEN_EXISTING},
      {"open-always existing", "file.txt", GENERIC_READ, OPEN_ALWAYS},
      {"open-always missing", "made-open-always.txt", GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS},
      {"create-always existing", "made-open-always.txt", GENERIC_WRITE, CREATE_ALWAYS},
      {"create-always missing", "made-create-always.txt", GENERIC_WRITE, CREATE_ALWAYS},
      {"create-new existing", "file.txt", GENERIC_WRITE, CREATE_NEW},
      {"create-new missing", "made-create-new.txt", GENERIC_WRITE, CREATE_NEW},
      {"create-always trailing backslash", "made-slash.txt\\", GENERIC_WRITE, CREATE_ALWAYS},
      {"create-always on a folder", "dir2", GENERIC_WRITE, CREATE_ALWAYS},
      {"truncate-existing read only access", "made-create-always.txt", GENERIC_READ, TRUNCATE_EXISTING},
      {"truncate-existing missing", "made-never.txt", GENERIC_WRITE, TRUNCATE_EXISTING},
      {"bad disposition", "file.txt", GENERIC_READ, 0},
      {"invalid character", "a?b.txt", GENERIC_READ, OPEN_EXISTING},
  };
  for (const Open& o : opens) {
    Arm();
    HANDLE h = CreateFileA(o.name.c_str(), o.access, FILE_SHARE_READ, nullptr, o.disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    Line(std::string("CreateFileA(") + o.label + ")", OpenResult(h));
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }

  // Share modes: a first open is kept while a second one is tried.
  struct Share {
    const char* label;
    DWORD access1, share1, access2, share2;
  };
  const Share shares[] = {
      {"read/none then read/read", GENERIC_READ, 0, GENERIC_READ, FILE_SHARE_READ},
      {"read/read then read/read", GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ},
      {"read/read then write/read+write", GENERIC_READ, FILE_SHARE_READ, GENERIC_WRITE,
       FILE_SHARE_READ | FILE_SHARE_WRITE},
      {"write/read+write then read/read", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
       GENERIC_READ, FILE_SHARE_READ},
      {"read/none then no-access/none", GENERIC_READ, 0, 0, 0},
      {"no-access/none then read/read", 0, 0, GENERIC_READ, FILE_SHARE_READ},
      {"read/read+write then read/read+write", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
       GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE},
  };
  for (const Share& s : shares) {
    std::string name = In("file.txt");
    HANDLE h1 = CreateFileA(name.c_str(), s.access1, s.share1, nullptr, OPEN_EXISTING, 0, nullptr);
    Arm();
    HANDLE h2 = CreateFileA(name.c_str(), s.access2, s.share2, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string r = "first=" + std::string(h1 == INVALID_HANDLE_VALUE ? "INVALID" : "opened") +
                    " second=" + OpenResult(h2);
    if (h2 != INVALID_HANDLE_VALUE) CloseHandle(h2);
    if (h1 != INVALID_HANDLE_VALUE) CloseHandle(h1);
    Line(std::string("CreateFileA(share ") + s.label + ")", r);
  }

  // Sizes and reads.
  HANDLE e = CreateFileA("empty.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD high = 77;
  Arm();
  DWORD size = GetFileSize(e, &high);
  Line("GetFileSize(empty file)", "ret=" + Num(size) + " high=" + Num(high) + Err());
  char buf[16] = "untouched";
  DWORD read = 99;
  Arm();
  BOOL ok = ReadFile(e, buf, sizeof buf, &read, nullptr);
  Line("ReadFile(empty file)", "ret=" + Num(ok) + " read=" + Num(read) + Err() + " buf=" + Q(buf));
  CloseHandle(e);

  HANDLE f = CreateFileA("file.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  Arm();
  size = GetFileSize(f, nullptr);
  Line("GetFileSize(file)", "ret=" + Num(size) + Err());
  read = 99;
  Arm();
  ok = ReadFile(f, buf, 0, &read, nullptr);
  Line("ReadFile(0 bytes)", "ret=" + Num(ok) + " read=" + Num(read) + Err());
  std::memset(buf, 0, sizeof buf);
  Arm();
  ok = ReadFile(f, buf, sizeof buf, &read, nullptr);
  Line("ReadFile(whole file)", "ret=" + Num(ok) + " read=" + Num(read) + Err() + " buf=" + Q(buf));
  Arm();
  ok = ReadFile(f, buf, sizeof buf, &read, nullptr);
  Line("ReadFile(at end)", "ret=" + Num(ok) + " read=" + Num(read) + Err());
  CloseHandle(f);

  HANDLE w = CreateFileA("made-create-always.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  read = 99;
  Arm();
  ok = ReadFile(w, buf, sizeof buf, &read, nullptr);
  Line("ReadFile(write-only handle)", "ret=" + Num(ok) + " read=" + Num(read) + Err());
  CloseHandle(w);

  Arm();
  size = GetFileSize(INVALID_HANDLE_VALUE, nullptr);
  Line("GetFileSize(invalid handle)", "ret=" + Hex(size) + Err());
}

void FullPathNames() {
  const std::string names[] = {
      "file.txt", "file.txt...", "file.txt   ", "file.txt. . ", "dir\\..\\x", "dir\\.\\x",
      "C:relative", "c:relative", "c:\\lower\\Case", "C:", "c:", "C:\\", "C:.", "C:..",
      "\\rooted", "\\", "/", "..", ".", "..\\..\\..\\..\\..\\x", "   ", "", " lead", "a\\b.\\c",
      "a\\b..\\c", "a\\b \\c", "a\\.b\\c", "dir\\", "dir\\\\x", "dir//x", "dir/x", "Q:foo",
      "Q:\\foo", "\\\\server\\share\\a\\..\\b", "\\\\server\\share\\..", "\\\\server\\share",
      "\\\\server", "\\\\server\\", "//server/share/x", std::string(kHyou) + "\\x",
      std::string(kHyouJi), "a*b?c", "x\\...\\y", "...", "x.",
  };
  for (const std::string& n : names) {
    char buf[600];
    std::memset(buf, '#', sizeof buf);
    buf[sizeof buf - 1] = 0;
    char* part = reinterpret_cast<char*>(1);
    Arm();
    DWORD ret = GetFullPathNameA(n.c_str(), sizeof buf, buf, &part);
    std::string r = "ret=" + Num(ret) + Err();
    if (ret && ret < sizeof buf) {
      // The returned length is checked against the text, so a wrong count shows.
      r += " full=" + Q(buf) + " len-ok=" + Num(std::strlen(buf) == ret) +
           " part=" + (part == reinterpret_cast<char*>(1) ? std::string("unset") : Offset(part, buf));
    }
    Line(CaseName("GetFullPathNameA", n), r);
  }
  // Buffers that do not fit: the size needed, and the buffer left alone.
  char full[600];
  DWORD len = GetFullPathNameA("file.txt", sizeof full, full, nullptr);
  const DWORD sizes[] = {len + 1, len, 5, 0};
  const char* labels[] = {"len+1", "len", "5", "0"};
  for (size_t i = 0; i < 4; ++i) {
    char buf[600];
    std::memset(buf, '#', sizeof buf);
    buf[sizeof buf - 1] = 0;
    Arm();
    DWORD ret = GetFullPathNameA("file.txt", sizes[i], buf, nullptr);
    long long d = static_cast<long long>(ret) - static_cast<long long>(len);
    Line(std::string("GetFullPathNameA(size=") + labels[i] + ")",
         "ret=len" + std::string(d >= 0 ? "+" : "") + Num(d) + Err() + " first=" + Escape(std::string(buf, 3)));
  }
  Arm();
  DWORD ret = GetFullPathNameA("file.txt", 0, nullptr, nullptr);
  Line("GetFullPathNameA(NULL buffer)",
       "ret=len" + std::string(static_cast<long long>(ret) - static_cast<long long>(len) >= 0 ? "+" : "") +
           Num(static_cast<long long>(ret) - static_cast<long long>(len)) + Err());
}

// The current directory set with a lower-case drive letter and a trailing
// separator: what is kept, and what relative names then resolve to. The drive
// letter is printed apart, as <base> hides letter case.
void CurrentDirectoryCase() {
  std::string lower = "c" + g_base.substr(1) + "\\dir\\";
  Arm();
  BOOL ok = SetCurrentDirectoryA(lower.c_str());
  std::string err = Err();
  char buf[600];
  DWORD n = GetCurrentDirectoryA(sizeof buf, buf);
  Line("SetCurrentDirectoryA(lower-case drive, trailing backslash)",
       "ret=" + Num(ok != 0) + err + " now=" + Q(buf) + " drive=" + std::string(buf, 2) +
           " len-ok=" + Num(std::strlen(buf) == n));
  for (const char* name : {"x", "C:y", "\\z"}) {
    DWORD m = GetFullPathNameA(name, sizeof buf, buf, nullptr);
    Line(std::string("GetFullPathNameA(after lower-case current directory, ") + name + ")",
         "ret=" + Num(m) + " full=" + Q(buf) + " drive=" + std::string(buf, 2));
  }
  Arm();
  ok = SetCurrentDirectoryA("..");
  n = GetCurrentDirectoryA(sizeof buf, buf);
  Line("SetCurrentDirectoryA(.. from lower-case drive)",
       "ret=" + Num(ok != 0) + " now=" + Q(buf) + " drive=" + std::string(buf, 2));
  Arm();
  ok = SetCurrentDirectoryA("missing-folder");
  Line("SetCurrentDirectoryA(missing)", "ret=" + Num(ok != 0) + Err());
  Arm();
  ok = SetCurrentDirectoryA("file.txt");
  Line("SetCurrentDirectoryA(a file)", "ret=" + Num(ok != 0) + Err());
  SetCurrentDirectoryA(g_base.c_str());
  n = GetCurrentDirectoryA(3, buf);
  Line("GetCurrentDirectoryA(size=3)", "ret=" + Num(static_cast<long long>(n) - static_cast<long long>(g_base.size())) + "+len");
}

void Canonicalize() {
  const std::string sources[] = {
      "", "..\\x", "\\\\server\\share\\..", "\\\\server\\share\\a\\..\\..", "C:\\a\\..\\..\\b",
      "C:\\a\\.\\b\\", "C:\\a\\b.", "C:\\a\\b..", "C:\\a\\...", "C:\\a\\b.\\c", "a\\..\\x", "a\\b\\..\\..\\x", "a\\..\\..\\x",
      ".", "..", "\\..\\x", "C:\\..", "C:..\\x", "x\\.\\y", "x.\\y", "C:", "C:\\a\\..", "C:\\a\\.\\",
      "a/../b", "C:\\a\\.", ".\\x", "..\\..\\x", "\\\\server\\..\\x", "C:\\" + std::string(kHyou) + "\\..\\x",
      std::string(kHyou) + "\\.\\x", "C:\\a\\\\b", "C:\\a\\ .\\b", "x\\..y", "x\\...\\y",
      "c:\\A\\..\\b",
  };
  for (const std::string& s : sources) {
    char buf[MAX_PATH + 16];
    std::memset(buf, '#', sizeof buf);
    Arm();
    BOOL ok = PathCanonicalizeA(buf, s.c_str());
    Line(CaseName("PathCanonicalizeA", s), "ret=" + Num(ok != 0) + Err() + " out=" + Q(buf));
  }
  for (size_t length : {258u, 259u, 260u, 300u}) {
    std::string s = "C:\\" + std::string(length - 3, 'c');
    char buf[MAX_PATH + 16];
    std::memset(buf, '#', sizeof buf);
    buf[sizeof buf - 1] = 0;
    Arm();
    BOOL ok = PathCanonicalizeA(buf, s.c_str());
    std::string e = Err();
    Line("PathCanonicalizeA(chars=" + Num(static_cast<long long>(length)) + ")",
         "ret=" + Num(ok != 0) + e + " out-len=" + Num(static_cast<long long>(std::strlen(buf))) +
             " same=" + Num(s.compare(0, std::string::npos, buf) == 0));
  }
  // A result longer than the source: "C:" gains a backslash.
  {
    std::string s = "a\\..\\" + std::string(255, 'c');
    char buf[MAX_PATH + 16];
    Arm();
    BOOL ok = PathCanonicalizeA(buf, s.c_str());
    Line("PathCanonicalizeA(dots then 255 chars)",
         "ret=" + Num(ok != 0) + Err() + " out-len=" + Num(static_cast<long long>(std::strlen(buf))));
  }
}

void ShellTextFunctions() {
  // PathAddBackslashA
  struct Add {
    const char* label;
    std::string text;
  };
  const Add adds[] = {
      {"empty", ""},
      {"abc", "abc"},
      {"abc\\", "abc\\"},
      {"kanji with trail 5C", kHyou},
      {"C:", "C:"},
      {"257 chars", std::string(257, 'p')},
      {"258 chars", std::string(258, 'p')},
      {"259 chars", std::string(259, 'p')},
      {"259 chars ending in backslash", std::string(258, 'p') + "\\"},
      {"backslash", "\\"},
      {"folder then kanji with trail 5C", std::string("C:\\dir\\") + kHyou},
      {"kanji with lead-valued trail then backslash", "\x95\x95\\"},
  };
  for (const Add& a : adds) {
    char buf[MAX_PATH + 16];
    std::memset(buf, '#', sizeof buf);
    std::memcpy(buf, a.text.c_str(), a.text.size() + 1);
    Arm();
    char* ret = PathAddBackslashA(buf);
    std::string shown = a.text.size() > 20 ? "len=" + Num(static_cast<long long>(std::strlen(buf))) +
                                                 " last=" + Escape(std::string(buf + std::strlen(buf) - 1, 1))
                                           : "out=" + Q(buf);
    Line(std::string("PathAddBackslashA(") + a.label + ")", "ret=" + Offset(ret, buf) + Err() + " " + shown);
  }

  // PathRemoveBlanksA
  // Only blanks are taken off, never tabs; a text of blanks only becomes empty.
  for (const std::string& t :
       {std::string("  a b  "), std::string(""), std::string("   "), std::string("\t a \t"),
        std::string("a"), std::string(" ") + kHyou + " ", std::string(" "), std::string("\t"),
        std::string(" \t "), std::string("\t\t"), std::string("  C:\\dir  "),
        std::string("\tC:\\dir\t"), std::string("C:\\dir  "), std::string("  C:\\dir"),
        std::string(" \t C:\\dir \t ")}) {
    char buf[64];
    std::strcpy(buf, t.c_str());
    PathRemoveBlanksA(buf);
    Line(CaseName("PathRemoveBlanksA", t), Q(buf));
  }

  // PathUnquoteSpacesA
  for (const char* t : {"\"a b\"", "\"a", "a\"", "\"\"", "\"", "\"a\"b\"", "a b", "\"\"\"", " \"a\" "}) {
    char buf[64];
    std::strcpy(buf, t);
    PathUnquoteSpacesA(buf);
    Line(CaseName("PathUnquoteSpacesA", t), Q(buf));
  }

  // Code page
  std::string leads;
  for (int b = 0x80; b <= 0xFF; ++b) leads += IsDBCSLeadByte(static_cast<BYTE>(b)) ? '1' : '0';
  Line("IsDBCSLeadByte(80..FF)", leads);
  Line("IsDBCSLeadByte(5C)", Num(IsDBCSLeadByte(0x5C) != 0));
  Line("GetACP", Num(GetACP()));
  {
    const char* texts[] = {"ab", kHyouJi, "\x81", "", "\x81\x40", "\xA0x", "\xFDx"};
    const char* labels[] = {"ab", "kanji", "lead at end", "empty", "81 40", "A0 x", "FD x"};
    for (int i = 0; i < 7; ++i) {
      Line(std::string("CharNextA(") + labels[i] + ")", Offset(CharNextA(texts[i]), texts[i]));
    }
    const char* k = kHyouJi;
    Line("CharPrevA(kanji, end)", Offset(CharPrevA(k, k + 4), k));
    Line("CharPrevA(kanji, second)", Offset(CharPrevA(k, k + 2), k));
    Line("CharPrevA(kanji, start)", Offset(CharPrevA(k, k), k));
  }
  Line("lstrlenA(abc)", Num(lstrlenA("abc")));
  Line("lstrlenA(kanji)", Num(lstrlenA(kHyouJi)));
  Line("lstrlenA(NULL)", Num(lstrlenA(nullptr)));
}

int Sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

void Comparisons() {
  struct Pair {
    const char* label;
    std::string a, b;
  };
  const std::string fullA(kFullA), fullSmallA(kFullSmallA);
  const Pair pairs[] = {
      {"abc ABC", "abc", "ABC"},
      {"a b", "a", "b"},
      {"B a", "B", "a"},
      {"a A", "a", "A"},
      {"_ a", "_", "a"},
      {"a-b ab", "a-b", "ab"},
      {"ab a", "ab", "a"},
      {"fullwidth A a", fullA, fullSmallA},
      {"fullwidth A ascii A", fullA, "A"},
      {"kanji kanji", kHyouJi, kHyouJi},
      {"kanji ascii", kHyou, "\x95|"},
      {"[ a", "[", "a"},
      {"1 a", "1", "a"},
      {"{ a", "{", "a"},
      {"~ a", "~", "a"},
      {": 1", ":", "1"},
      {"a'b ab", "a'b", "ab"},
      {"ab a-b", "ab", "a-b"},
      {"a-c ab", "a-c", "ab"},
      {"a-b a'b", "a-b", "a'b"},
      {"A-b a-B", "A-b", "a-B"},
      {"fullwidth greek alpha", "\x83\x9F", "\x83\xBF"},
      {"fullwidth greek omega", "\x83\xB6", "\x83\xD6"},
      {"fullwidth cyrillic A", "\x84\x40", "\x84\x70"},
      {"fullwidth cyrillic YA", "\x84\x60", "\x84\x91"},
      {"fullwidth cyrillic N", "\x84\x4F", "\x84\x80"},
      {"fullwidth Z z", "\x82\x79", "\x82\x9A"},
      {"fullwidth A ascii a", "\x82\x60", "a"},
      {"kanji a", "\x88\x9F", "a"},
      {"halfwidth katakana a", "\xB1", "a"},
  };
  for (const Pair& p : pairs) {
    Line(std::string("lstrcmpiA(") + p.label + ")", Num(Sign(lstrcmpiA(p.a.c_str(), p.b.c_str()))));
    Line(std::string("lstrcmpA(") + p.label + ")", Num(Sign(lstrcmpA(p.a.c_str(), p.b.c_str()))));
    int n = static_cast<int>(p.a.size() < p.b.size() ? p.a.size() : p.b.size());
    if (n == 0) n = 1;
    Line(std::string("StrCmpNIA(") + p.label + ", n=" + Num(n) + ")",
         Num(Sign(StrCmpNIA(p.a.c_str(), p.b.c_str(), n))));
  }
  Line("StrCmpNIA(ABCdef abcXYZ, n=3)", Num(Sign(StrCmpNIA("ABCdef", "abcXYZ", 3))));
  Line("StrCmpNIA(ABCdef abcXYZ, n=4)", Num(Sign(StrCmpNIA("ABCdef", "abcXYZ", 4))));
  Line("StrCmpNIA(ab abc, n=3)", Num(Sign(StrCmpNIA("ab", "abc", 3))));
  Line("StrCmpNIA(x y, n=0)", Num(Sign(StrCmpNIA("x", "y", 0))));
  Line("StrCmpNIA(PATH= path=, n=5)", Num(Sign(StrCmpNIA("PATH=x", "path=", 5))));

  struct Find {
    const char* label;
    std::string hay, needle;
  };
  const Find finds[] = {
      {"Hello World / WORLD", "Hello World", "WORLD"},
      {"x/#V y / /#v", "x/#V y", "/#v"},
      {"kanji / backslash (trail byte)", kHyouJi, "\\"},
      {"kanji / second kanji", kHyouJi, "\x8E\xA6"},
      {"kanji / A6 (trail byte)", kHyouJi, "\xA6"},
      {"fullwidth A / fullwidth a", std::string("x") + kFullA, fullSmallA},
      {"abc / empty", "abc", ""},
      {"empty / a", "", "a"},
      {"a + lead at end / lead", "a\x81", "\x81"},
      {"aaab / aab", "aaab", "aab"},
      {"kanji then P / P", std::string(kHyou) + "P", "P"},
      {"81 61 / A (trail byte a)", "\x81\x61", "A"},
  };
  for (const Find& f : finds) {
    const char* r = StrStrIA(f.hay.c_str(), f.needle.c_str());
    Line(std::string("StrStrIA(") + f.label + ")", Offset(r, f.hay.c_str()));
    const char* s = StrStrA(f.hay.c_str(), f.needle.c_str());
    Line(std::string("StrStrA(") + f.label + ")", Offset(s, f.hay.c_str()));
  }
}

void Formatting() {
  char buf[2100];
#define FMT(label, ...)                                  \
  do {                                                   \
    std::memset(buf, '#', sizeof buf);                   \
    int r = wsprintfA(buf, __VA_ARGS__);                 \
    Line(std::string("wsprintfA(") + label + ")", "ret=" + Num(r) + " out=" + Q(buf)); \
  } while (0)
  FMT("%d -5", "%d", -5);
  FMT("%5d", "[%5d]", 42);
  FMT("%-5d", "[%-5d]", 42);
  FMT("%05d", "[%05d]", -42);
  FMT("%x", "%x", 255);
  FMT("%#x", "%#x", 255);
  FMT("%#X", "%#X", 255);
  FMT("%#x 0", "%#x", 0);
  FMT("%u -1", "%u", -1);
  FMT("%ld", "%ld", 123456L);
  FMT("%lu", "%lu", 4000000000UL);
  FMT("%s", "[%s]", "text");
  FMT("%s NULL", "[%s]", static_cast<const char*>(nullptr));
  FMT("%5s", "[%5s]", "ab");
  FMT("%-5s", "[%-5s]", "ab");
  FMT("%.2s", "[%.2s]", "abcdef");
  FMT("%c", "[%c]", 'A');
  FMT("%%", "100%%");
  FMT("%.3d", "[%.3d]", 7);
  FMT("%hd", "[%hd]", 70000);
  FMT("%y unknown", "[%y]", 1);
  FMT("% at end", "abc%");
  FMT("%s kanji", "[%s]", kHyouJi);
#undef FMT
  // Overflow: the formatter stops at its own limit.
  std::string big(2000, 'z');
  for (size_t n : {1022u, 1023u, 1024u, 1025u, 2000u}) {
    std::memset(buf, '#', sizeof buf);
    int r = wsprintfA(buf, "%s", big.substr(0, n).c_str());
    size_t written = std::strlen(buf);
    Line("wsprintfA(%s of " + Num(static_cast<long long>(n)) + " chars)",
         "ret=" + Num(r) + " strlen=" + Num(static_cast<long long>(written)) + " after=" +
             Escape(std::string(buf + 1022, 4)));
  }
  {
    std::memset(buf, '#', sizeof buf);
    int r = wsprintfA(buf, "%s%s", big.substr(0, 1020).c_str(), kHyouJi);
    Line("wsprintfA(kanji across the limit)",
         "ret=" + Num(r) + " strlen=" + Num(static_cast<long long>(std::strlen(buf))) + " tail=" +
             Escape(std::string(buf + 1019, 6)));
  }
}

void SearchPaths() {
  const std::string p1 = In("path1"), p2 = In("path2");
  const std::string both = p1 + ";" + p2;
  struct Search {
    const char* label;
    std::string path;  // "<null>" for NULL
    std::string name;
    const char* ext;
  };
  const std::string relBase = g_base.substr(2);  // "\conformance..."
  const std::string baseName = g_base.substr(g_base.find_last_of('\\') + 1);
  const Search searches[] = {
      {"in second entry", both, "p2.exe", nullptr},
      {"in first entry", both, "p1.exe", nullptr},
      {"extension added", both, "p2", ".exe"},
      {"extension not added after a dot", both, "p2.x", ".exe"},
      {"extension not added to a name ending in a dot", both, "p2.", ".exe"},
      {"extension added when only a folder has a dot", In("a.b"), "c", ".txt"},
      {"extension added to a folder-dotted relative name", g_base, "a.b\\c", ".x"},
      {"subfolder name searched along the path", In("dir"), "sub\\deep.txt", nullptr},
      {"subfolder name not in the current folder", p1, "dir\\inner.txt", nullptr},
      {"dot-backslash name is taken as it is", p1, ".\\file.txt", nullptr},
      {"dot-dot-backslash name", p1, "..\\" + baseName + "\\file.txt", nullptr},
      {"drive-relative name", p1, "C:file.txt", nullptr},
      {"rooted name", p1, relBase + "\\file.txt", nullptr},
      {"full name", p1, In("file.txt"), nullptr},
      {"full name missing", p1, In("nothing.txt"), nullptr},
      {"full name extension added", p1, In("tool"), ".exe"},
      {"empty entry searches the current folder", p1 + ";;" + p2, "file.txt", nullptr},
      {"leading empty entry", ";" + p1, "file.txt", nullptr},
      {"trailing semicolon", p1 + ";", "file.txt", nullptr},
      {"folder found", g_base, "dir", nullptr},
      {"folder with extension", g_base, "dir", ".txt"},
      {"blank before an entry", " " + p2, "p2.exe", nullptr},
      {"blank after an entry", p2 + " ", "p2.exe", nullptr},
      {"blanks around entries", p1 + " ; " + p2, "p2.exe", nullptr},
      {"relative entry", "path2", "p2.exe", nullptr},
      {"relative entry dot", ".", "file.txt", nullptr},
      {"entry with trailing backslash", p2 + "\\", "p2.exe", nullptr},
      {"entry with forward slashes", g_base + "/path2", "p2.exe", nullptr},
      {"first match wins", g_base + ";" + p2, "shared.txt", nullptr},
      {"missing", both, "nothing.exe", nullptr},
      {"trailing backslash on the name", p2, "p2.exe\\", nullptr},
      {"dots in the middle", p1, "..\\path2\\p2.exe", nullptr},
      {"name with blanks", In("sp ace"), "x.txt", nullptr},
      {"empty name", both, "", nullptr},
      {"NULL path, file in the program's folder", "<null>", "file.txt", nullptr},
      {"NULL path, the program itself", "<null>", "conformance_probe.exe", nullptr},
      {"NULL path, the program with extension", "<null>", "conformance_probe", ".exe"},
      {"NULL path, a folder", "<null>", "dir", nullptr},
      {"NULL path, subfolder name", "<null>", "dir\\inner.txt", nullptr},
      {"NULL path, missing", "<null>", "nothing-anywhere-7q.exe", nullptr},
      {"empty path, file in the program's folder", "", "file.txt", nullptr},
  };
  for (const Search& s : searches) {
    char buf[600];
    std::memset(buf, '#', sizeof buf);
    buf[sizeof buf - 1] = 0;
    char* part = reinterpret_cast<char*>(1);
    const char* path = s.path == "<null>" ? nullptr : s.path.c_str();
    Arm();
    DWORD ret = SearchPathA(path, s.name.c_str(), s.ext, sizeof buf, buf, &part);
    std::string r = "ret=" + std::string(ret ? "len" : "0") + Err();
    if (ret && ret < sizeof buf) {
      r += " found=" + Q(buf) + " len-ok=" + Num(std::strlen(buf) == ret) + " part=" +
           (part == reinterpret_cast<char*>(1) ? std::string("unset") : Offset(part, buf));
    }
    Line(std::string("SearchPathA(") + s.label + ")", r);
  }
  // A buffer that is too small.
  char full[600];
  DWORD len = SearchPathA(both.c_str(), "p2.exe", nullptr, sizeof full, full, nullptr);
  for (DWORD size : {len + 1, len, DWORD(5), DWORD(0)}) {
    char buf[600];
    std::memset(buf, '#', sizeof buf);
    buf[sizeof buf - 1] = 0;
    Arm();
    DWORD ret = SearchPathA(both.c_str(), "p2.exe", nullptr, size, size ? buf : nullptr, nullptr);
    long long d = static_cast<long long>(ret) - static_cast<long long>(len);
    long long sd = static_cast<long long>(size) - static_cast<long long>(len);
    Line("SearchPathA(size=len" + std::string(sd >= 0 ? "+" : "") + Num(sd) + ")",
         "ret=len" + std::string(d >= 0 ? "+" : "") + Num(d) + Err() + " first=" + Escape(std::string(buf, 3)));
  }
}

// ---------------------------------------------------------------------------
// Wide texts: file names, path and string functions in UTF-16. Results are
// printed as UTF-8 with the usual escapes, offsets into wide buffers in
// characters (UTF-16 units).
// ---------------------------------------------------------------------------

#ifndef WTEXT
#ifdef _WIN32
#define WTEXT(s) L##s
#else
#define WTEXT(s) u##s
#endif
#endif

namespace widetext {

typedef std::basic_string<WCHAR> WString;

// UTF-16 to UTF-8; a unit that pairs with nothing becomes U+FFFD.
std::string Utf8(const WCHAR* s, size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    unsigned long c = static_cast<unsigned short>(s[i]);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<unsigned short>(s[i + 1]) - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

size_t Len(const WCHAR* s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

std::string Utf8(const WString& s) { return Utf8(s.data(), s.size()); }

// A wide text result: quoted as Q quotes, with its UTF-8 bytes escaped.
std::string QW(const WCHAR* s) { return s ? Q(Utf8(s, Len(s))) : std::string("NULL"); }

// The units of a buffer in hexadecimal, for results that need not end in a zero.
std::string Units(const WCHAR* s, size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%s%04X", i ? " " : "", static_cast<unsigned short>(s[i]));
    out += hex;
  }
  return out;
}

std::string OffsetW(const WCHAR* p, const WCHAR* base) {
  if (!p) return "NULL";
  return "+" + Num(p - base);
}

std::string Name(const std::string& group, const WString& input) {
  return group + "(" + Escape(Tokenize(Utf8(input))) + ")";
}

WString Widen(const std::string& ansi) {
  WCHAR buf[1024];
  int n = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, buf, 1024);
  return n > 0 ? WString(buf, n - 1) : WString();
}

WString InW(const WString& rel) { return Widen(g_base) + WTEXT("\\") + rel; }

bool MakeDirW(const WString& path) {
  if (CreateDirectoryW(path.c_str(), nullptr)) return true;
  return GetLastError() == ERROR_ALREADY_EXISTS;
}

bool MakeFileW(const WString& path, const std::string& bytes) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = bytes.empty() ||
            (WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
             written == bytes.size());
  CloseHandle(h);
  return ok;
}

// What a file holds, read through a handle opened with CreateFileW.
std::string Content(const WString& path) {
  Arm();
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return "INVALID" + Err();
  char buf[64] = {};
  DWORD got = 0;
  ReadFile(h, buf, sizeof buf - 1, &got, nullptr);
  CloseHandle(h);
  return "opened content=" + Q(std::string(buf, got));
}

// Names that differ only by an accent, and names of scripts and planes that
// code page 932 lacks, in a folder of their own.
void Files() {
  bool ok = MakeDirW(InW(WTEXT("wide")));
  ok = MakeFileW(InW(WTEXT("wide\\r\u00e9sum\u00e9.txt")), "accent") && ok;
  ok = MakeFileW(InW(WTEXT("wide\\resume.txt")), "plain") && ok;
  ok = MakeFileW(InW(WTEXT("wide\\\ud55c\uae00.txt")), "hangul") && ok;
  ok = MakeFileW(InW(WTEXT("wide\\\U00020BB7.txt")), "beyond") && ok;
  ok = MakeFileW(InW(WTEXT("wide\\\U0001F600.png")), "smile") && ok;
  ok = MakeFileW(InW(WTEXT("wide\\\u03b1\u03b2\u03b3.txt")), "greek") && ok;
  ok = MakeFileW(InW(WTEXT("wide\\\u0444\u0430\u0439\u043b.txt")), "cyrillic") && ok;
  ok = MakeDirW(InW(WTEXT("wide\\\u00e9 dir"))) && ok;
  ok = MakeFileW(InW(WTEXT("wide\\\u00e9 dir\\inner.txt")), "inner") && ok;
  Line("wide set-up", ok ? "ok" : "FAILED");

  const WString names[] = {
      WTEXT("wide\\r\u00e9sum\u00e9.txt"), WTEXT("wide\\R\u00c9SUM\u00c9.TXT"),
      WTEXT("wide\\resume.txt"), WTEXT("wide\\RESUME.TXT"), WTEXT("wide\\r\u00e9sume.txt"),
      WTEXT("wide\\\ud55c\uae00.txt"), WTEXT("wide\\\U00020BB7.txt"),
      WTEXT("wide\\\U0001F600.png"), WTEXT("wide\\\U0001F601.png"),
      WTEXT("wide\\\u0391\u0392\u0393.TXT"), WTEXT("wide\\\u0424\u0410\u0419\u041b.TXT"),
      WTEXT("wide\\\uff52esume.txt"), WTEXT("wide\\\u00c9 DIR"), WTEXT("wide\\\u00e9 dir\\"),
      WTEXT("wide\\\u00e9 dir\\inner.txt"), WTEXT("wide\\e dir\\inner.txt"),
      WTEXT("wide\\r\u00e9sum\u00e9.txt\\"), WTEXT("wide\\r\u00e9sum\u00e9.txt."),
  };
  for (const WString& n : names) {
    WString full = InW(n);
    Line(Name("CreateFileW", n), Content(full));
    Arm();
    DWORD a = GetFileAttributesW(full.c_str());
    std::string aerr = Err();
    Line(Name("GetFileAttributesW", n),
         a == INVALID_FILE_ATTRIBUTES ? "INVALID" + aerr
                                      : ((a & FILE_ATTRIBUTE_DIRECTORY) ? "dir" : "file"));
    Arm();
    BOOL e = PathFileExistsW(full.c_str());
    std::string eerr = Err();
    Arm();
    BOOL d = PathIsDirectoryW(full.c_str());
    Line(Name("PathFileExistsW", n), "ret=" + Num(e != 0) + eerr);
    Line(Name("PathIsDirectoryW", n), "ret=" + Hex(static_cast<unsigned>(d)) + Err());
  }
  // The A view of the same folder: names the code page lacks come back as
  // look-alikes, which may name another file or none.
  Arm();
  ok = SetCurrentDirectoryW(InW(WTEXT("wide\\\u00e9 dir")).c_str()) != 0;
  std::string err = Err();
  char abuf[600];
  WCHAR wbuf[600];
  DWORD an = GetCurrentDirectoryA(sizeof abuf, abuf);
  DWORD wn = GetCurrentDirectoryW(600, wbuf);
  Line("SetCurrentDirectoryW(accented folder)",
       "ret=" + Num(ok) + err + " W=" + QW(wbuf) + " W-len-ok=" + Num(Len(wbuf) == wn) +
           " A=" + Q(abuf) + " A-len-ok=" + Num(std::strlen(abuf) == an));
  DWORD small = GetCurrentDirectoryW(3, wbuf);
  Line("GetCurrentDirectoryW(size=3)", "ret=len+" + Num(static_cast<long long>(small) - static_cast<long long>(wn)));
  Arm();
  HANDLE h = CreateFileA("inner.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  Line("CreateFileA(relative name in the accented folder)", OpenResult(h));
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  DWORD fn = GetFullPathNameA("inner.txt", sizeof abuf, abuf, nullptr);
  Line("GetFullPathNameA(in the accented folder)", "ret=" + Num(fn) + " full=" + Q(abuf));
  Arm();
  h = CreateFileA(abuf, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  Line("CreateFileA(the A full path of a file in the accented folder)", OpenResult(h));
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  SetCurrentDirectoryA(g_base.c_str());
  // A name that ends in a lead byte without its trail byte.
  {
    char lead[600];
    DWORD n = GetFullPathNameA("wide\\lead\x95", sizeof lead, lead, nullptr);
    Line("GetFullPathNameA(lone lead byte at the end)", "ret=" + Num(n) + " full=" + Q(lead));
    Arm();
    HANDLE made = CreateFileA(In("wide\\lead\x95").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    Line("CreateFileA(lone lead byte at the end)", OpenResult(made));
    if (made != INVALID_HANDLE_VALUE) CloseHandle(made);
    Line("GetFileAttributesW(lead, after the lone lead byte)",
         std::string(GetFileAttributesW(InW(WTEXT("wide\\lead")).c_str()) == INVALID_FILE_ATTRIBUTES ? "INVALID" : "found") +
             " with-U+30FB=" +
             (GetFileAttributesW(InW(WTEXT("wide\\lead\u30fb")).c_str()) == INVALID_FILE_ATTRIBUTES ? "INVALID" : "found"));
  }

  // Creating and deleting.
  WString made = InW(WTEXT("wide\\\uc0c8 \ud3f4\ub354"));
  Arm();
  BOOL c1 = CreateDirectoryW(made.c_str(), nullptr);
  std::string e1 = Err();
  Arm();
  BOOL c2 = CreateDirectoryW(made.c_str(), nullptr);
  Line("CreateDirectoryW(Hangul, twice)", "first=" + Num(c1 != 0) + e1 + " second=" + Num(c2 != 0) + Err());
  WString gone = InW(WTEXT("wide\\\U0001F600.png"));
  Arm();
  BOOL d1 = DeleteFileW(gone.c_str());
  std::string de1 = Err();
  Arm();
  BOOL d2 = DeleteFileW(gone.c_str());
  Line("DeleteFileW(emoji name, twice)", "first=" + Num(d1 != 0) + de1 + " second=" + Num(d2 != 0) + Err());
  Arm();
  h = CreateFileW(InW(WTEXT("wide\\RESUME.TXT")).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  Line("CreateFileW(create-new over resume.txt in capitals)", OpenResult(h));
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  Arm();
  h = CreateFileW(InW(WTEXT("wide\\r\u00e9sum\u00e8.txt")).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  Line("CreateFileW(create-new, another accent)", OpenResult(h));
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

void FullPaths() {
  const WString names[] = {
      WTEXT("r\u00e9sum\u00e9.txt"), WTEXT("wide\\..\\\ud55c\uae00"), WTEXT("C:\U0001F600"),
      WTEXT("\\\U00020BB7\\x."), WTEXT("\u00e9 dir\\ "), WTEXT("\u00e9\\..\\.."), WTEXT(""),
      WTEXT("   "), WTEXT("\\\\server\\share\\\u00e9\\..\\x"), WTEXT("\\\\\u00e9"),
      WTEXT("x\\\U0001F600"), WTEXT("\U0001F600\\"),
  };
  for (const WString& n : names) {
    WCHAR buf[600];
    for (WCHAR& c : buf) c = '#';
    buf[599] = 0;
    WCHAR* part = reinterpret_cast<WCHAR*>(1);
    Arm();
    DWORD ret = GetFullPathNameW(n.c_str(), 600, buf, &part);
    std::string r = "ret=" + Num(ret) + Err();
    if (ret && ret < 600) {
      r += " full=" + QW(buf) + " len-ok=" + Num(Len(buf) == ret) + " part=" +
           (part == reinterpret_cast<WCHAR*>(1) ? std::string("unset") : OffsetW(part, buf));
    }
    Line(Name("GetFullPathNameW", n), r);
  }
  WCHAR full[600];
  WString name = WTEXT("\ud55c\uae00.txt");
  DWORD len = GetFullPathNameW(name.c_str(), 600, full, nullptr);
  const DWORD sizes[] = {len + 1, len, 5, 0};
  const char* labels[] = {"len+1", "len", "5", "0"};
  for (int i = 0; i < 4; ++i) {
    WCHAR buf[600];
    for (WCHAR& c : buf) c = '#';
    Arm();
    DWORD ret = GetFullPathNameW(name.c_str(), sizes[i], buf, nullptr);
    long long d = static_cast<long long>(ret) - static_cast<long long>(len);
    Line(std::string("GetFullPathNameW(size=") + labels[i] + ")",
         "ret=len" + std::string(d >= 0 ? "+" : "") + Num(d) + Err() + " first=" + Units(buf, 3));
  }

  // The search along a path.
  const WString dir = InW(WTEXT("wide"));
  struct Search {
    const char* label;
    WString path, name;
    const WCHAR* ext;
  };
  const Search searches[] = {
      {"accented name", InW(WTEXT("path1")) + WTEXT(";") + dir, WTEXT("r\u00e9sum\u00e9.txt"), nullptr},
      {"accented name in capitals", dir, WTEXT("R\u00c9SUM\u00c9.TXT"), nullptr},
      {"plain name next to the accented one", dir, WTEXT("resume.txt"), nullptr},
      {"extension added", dir, WTEXT("r\u00e9sum\u00e9"), WTEXT(".txt")},
      {"Hangul", dir, WTEXT("\ud55c\uae00.txt"), nullptr},
      {"beyond the basic plane", dir, WTEXT("\U00020BB7"), WTEXT(".txt")},
      {"accented folder", dir, WTEXT("\u00e9 dir\\inner.txt"), nullptr},
      {"missing", dir, WTEXT("r\u00e9sum\u00e9.doc"), nullptr},
      {"full name", dir, InW(WTEXT("wide\\\ud55c\uae00.txt")), nullptr},
      {"empty name", dir, WTEXT(""), nullptr},
  };
  for (const Search& s : searches) {
    WCHAR buf[600];
    WCHAR* part = reinterpret_cast<WCHAR*>(1);
    Arm();
    DWORD ret = SearchPathW(s.path.c_str(), s.name.c_str(), s.ext, 600, buf, &part);
    std::string r = "ret=" + std::string(ret ? "len" : "0") + Err();
    if (ret && ret < 600) {
      r += " found=" + QW(buf) + " len-ok=" + Num(Len(buf) == ret) + " part=" +
           (part == reinterpret_cast<WCHAR*>(1) ? std::string("unset") : OffsetW(part, buf));
    }
    Line(std::string("SearchPathW(") + s.label + ")", r);
  }
  WCHAR buf[600];
  len = SearchPathW(dir.c_str(), WTEXT("\ud55c\uae00.txt"), nullptr, 600, buf, nullptr);
  for (DWORD size : {len + 1, len, DWORD(0)}) {
    Arm();
    DWORD ret = SearchPathW(dir.c_str(), WTEXT("\ud55c\uae00.txt"), nullptr, size, size ? buf : nullptr, nullptr);
    long long d = static_cast<long long>(ret) - static_cast<long long>(len);
    long long sd = static_cast<long long>(size) - static_cast<long long>(len);
    Line("SearchPathW(size=len" + std::string(sd >= 0 ? "+" : "") + Num(sd) + ")",
         "ret=len" + std::string(d >= 0 ? "+" : "") + Num(d) + Err());
  }
}

void PathFunctions() {
  const WString sources[] = {
      WTEXT("C:\\\u00e9\\..\\\ud55c\uae00"), WTEXT("\U0001F600\\.\\x"), WTEXT(""), WTEXT("C:"),
      WTEXT("\u00e9\\..\\..\\x"), WTEXT("C:\\a\\\U00020BB7.\\b"), WTEXT("\\\\server\\share\\..\\\u00e9"),
  };
  for (const WString& s : sources) {
    WCHAR buf[MAX_PATH + 16];
    for (WCHAR& c : buf) c = '#';
    Arm();
    BOOL ok = PathCanonicalizeW(buf, s.c_str());
    Line(Name("PathCanonicalizeW", s), "ret=" + Num(ok != 0) + Err() + " out=" + QW(buf));
  }
  // Longer sources are left out: Wine writes results of more than MAX_PATH
  // characters into the MAX_PATH buffer, which the sim refuses.
  for (size_t length : {258u, 259u}) {
    WString s = WTEXT("C:\\") + WString(length - 3, 'c');
    WCHAR buf[MAX_PATH + 64];
    for (WCHAR& c : buf) c = '#';
    buf[MAX_PATH + 63] = 0;
    Arm();
    BOOL ok = PathCanonicalizeW(buf, s.c_str());
    std::string e = Err();
    Line("PathCanonicalizeW(chars=" + Num(static_cast<long long>(length)) + ")",
         "ret=" + Num(ok != 0) + e + " out-len=" + Num(static_cast<long long>(Len(buf))));
  }

  struct Add {
    const char* label;
    WString text;
  };
  const Add adds[] = {
      {"empty", WTEXT("")},
      {"accented", WTEXT("C:\\\u00e9")},
      {"accented with backslash", WTEXT("C:\\\u00e9\\")},
      {"emoji", WTEXT("\U0001F600")},
      {"257 chars", WString(257, 'p')},
      {"258 chars", WString(258, 'p')},
      {"259 chars ending in backslash", WString(258, 'p') + WTEXT("\\")},
      {"260 chars", WString(260, 'p')},
  };
  for (const Add& a : adds) {
    WCHAR buf[MAX_PATH + 16];
    for (WCHAR& c : buf) c = '#';
    for (size_t i = 0; i <= a.text.size(); ++i) buf[i] = a.text.c_str()[i];
    Arm();
    WCHAR* ret = PathAddBackslashW(buf);
    std::string shown = a.text.size() > 20
                            ? "len=" + Num(static_cast<long long>(Len(buf))) + " last=" + Units(buf + Len(buf) - 1, 1)
                            : "out=" + QW(buf);
    Line(std::string("PathAddBackslashW(") + a.label + ")", "ret=" + OffsetW(ret, buf) + Err() + " " + shown);
  }

  const WString texts[] = {
      WTEXT("  C:\\\u00e9 \u00e9  "), WTEXT("\"C:\\\ud55c \uae00\""), WTEXT("\""), WTEXT("\"\""),
      WTEXT("C:\\\u00e9\\r\u00e9sum\u00e9.txt"), WTEXT("C:\\\u00e9\\"), WTEXT("C:\\"), WTEXT("\\"),
      WTEXT(""), WTEXT("\U0001F600.tar.gz"), WTEXT("a.b\\\U00020BB7"), WTEXT("x. y"),
      WTEXT("\\\\\u00e9\\\ud55c"), WTEXT("\\\\\u00e9\\\ud55c\\x"), WTEXT("C:\u00e9"),
      WTEXT("\u00e9:\\x"), WTEXT("\\\\server"),
  };
  for (const WString& t : texts) {
    WCHAR a[128], b[128], c[128], d[128];
    for (size_t i = 0; i <= t.size(); ++i) a[i] = b[i] = c[i] = d[i] = t.c_str()[i];
    PathRemoveBlanksW(a);
    PathUnquoteSpacesW(b);
    BOOL spec = PathRemoveFileSpecW(c);
    WCHAR* back = PathRemoveBackslashW(d);
    Line(Name("PathRemoveBlanksW", t), QW(a));
    Line(Name("PathUnquoteSpacesW", t), QW(b));
    Line(Name("PathRemoveFileSpecW", t), "ret=" + Num(spec != 0) + " out=" + QW(c));
    Line(Name("PathRemoveBackslashW", t), "ret=" + OffsetW(back, d) + " out=" + QW(d));
    Line(Name("PathFindFileNameW", t), OffsetW(PathFindFileNameW(t.c_str()), t.c_str()));
    Line(Name("PathFindExtensionW", t), OffsetW(PathFindExtensionW(t.c_str()), t.c_str()));
    Line(Name("PathIsRelativeW", t), Num(PathIsRelativeW(t.c_str()) != 0));
    Line(Name("PathIsUNCServerShareW", t), Num(PathIsUNCServerShareW(t.c_str()) != 0));
  }
}

void Strings() {
  struct Pair {
    const char* label;
    WString a, b;
  };
  const Pair pairs[] = {
      {"resume accented, in capitals", WTEXT("r\u00e9sum\u00e9"), WTEXT("R\u00c9SUM\u00c9")},
      {"resume accented, plain", WTEXT("r\u00e9sum\u00e9"), WTEXT("resume")},
      {"e e-acute", WTEXT("e"), WTEXT("\u00e9")},
      {"e-acute f", WTEXT("\u00e9"), WTEXT("f")},
      {"e-acute e-grave", WTEXT("\u00e9"), WTEXT("\u00e8")},
      {"e-acute E-acute", WTEXT("\u00e9"), WTEXT("\u00c9")},
      {"E-acute e", WTEXT("\u00c9"), WTEXT("e")},
      {"u-umlaut U-umlaut", WTEXT("\u00fc"), WTEXT("\u00dc")},
      {"c-caron C-caron", WTEXT("\u010d"), WTEXT("\u010c")},
      {"greek", WTEXT("\u03b1\u03b2\u03b3"), WTEXT("\u0391\u0392\u0393")},
      {"cyrillic", WTEXT("\u0444\u0430\u0439\u043b"), WTEXT("\u0424\u0410\u0419\u041b")},
      {"cyrillic io ie", WTEXT("\u0451"), WTEXT("\u0435")},
      {"cyrillic zhe io", WTEXT("\u0436"), WTEXT("\u0451")},
      {"cyrillic IO io", WTEXT("\u0401"), WTEXT("\u0451")},
      {"fullwidth A a", WTEXT("\uff21"), WTEXT("\uff41")},
      {"fullwidth A ascii a", WTEXT("\uff21"), WTEXT("a")},
      {"fullwidth a ascii b", WTEXT("\uff41"), WTEXT("b")},
      {"fullwidth 1 ascii 1", WTEXT("\uff11"), WTEXT("1")},
      {"a-b ab", WTEXT("a-b"), WTEXT("ab")},
      {"a'b ab", WTEXT("a'b"), WTEXT("ab")},
      {"ab A-B", WTEXT("ab"), WTEXT("A-B")},
      {"hangul hangul", WTEXT("\ud55c\uae00"), WTEXT("\ud55c\uae00")},
      {"hangul han geul", WTEXT("\ud55c"), WTEXT("\uae00")},
      {"kanji in JIS order", WTEXT("\u8868"), WTEXT("\u6016")},
      {"kanji a", WTEXT("\u8868"), WTEXT("a")},
      {"emoji emoji", WTEXT("\U0001F600"), WTEXT("\U0001F601")},
      {"emoji a", WTEXT("\U0001F600"), WTEXT("a")},
      {"beyond plane twice", WTEXT("\U00020BB7"), WTEXT("\U00020BB7")},
      {"x-emoji x", WTEXT("x\U0001F600"), WTEXT("x")},
      {"abc ABC", WTEXT("abc"), WTEXT("ABC")},
      {"a A", WTEXT("a"), WTEXT("A")},
      {"_ a", WTEXT("_"), WTEXT("a")},
      {"1 a", WTEXT("1"), WTEXT("a")},
      {"e-acute-b ebb", WTEXT("\u00e9b"), WTEXT("eb")},
  };
  for (const Pair& p : pairs) {
    Line(std::string("lstrcmpiW(") + p.label + ")", Num(Sign(lstrcmpiW(p.a.c_str(), p.b.c_str()))));
    Line(std::string("lstrcmpW(") + p.label + ")", Num(Sign(lstrcmpW(p.a.c_str(), p.b.c_str()))));
    int n = static_cast<int>(p.a.size() < p.b.size() ? p.a.size() : p.b.size());
    if (n == 0) n = 1;
    Line(std::string("StrCmpNIW(") + p.label + ", n=" + Num(n) + ")",
         Num(Sign(StrCmpNIW(p.a.c_str(), p.b.c_str(), n))));
    Line(std::string("StrCmpNW(") + p.label + ", n=" + Num(n) + ")",
         Num(Sign(StrCmpNW(p.a.c_str(), p.b.c_str(), n))));
  }
  Line("StrCmpNIW(RESUME.TXT resume.doc, n=6)",
       Num(Sign(StrCmpNIW(WTEXT("R\u00c9SUM\u00c9.TXT"), WTEXT("r\u00e9sum\u00e9.doc"), 6))));
  Line("StrCmpNIW(x y, n=0)", Num(Sign(StrCmpNIW(WTEXT("x"), WTEXT("y"), 0))));
  Line("lstrcmpiW(NULL a)", Num(Sign(lstrcmpiW(nullptr, WTEXT("a")))));

  struct Find {
    const char* label;
    WString hay, needle;
  };
  const Find finds[] = {
      {"Mon RESUME / resume accented", WTEXT("Mon R\u00c9SUM\u00c9.txt"), WTEXT("r\u00e9sum\u00e9")},
      {"resume plain / accented", WTEXT("resume.txt"), WTEXT("r\u00e9sum\u00e9")},
      {"resume accented / plain", WTEXT("r\u00e9sum\u00e9.txt"), WTEXT("resume")},
      {"fullwidth AB / ab", WTEXT("x\uff21\uff22"), WTEXT("ab")},
      {"hangul folder / folder", WTEXT("\ud55c\uae00 \ud3f4\ub354"), WTEXT("\ud3f4\ub354")},
      {"emoji / its low half", WTEXT("x\U0001F600y"), WString(1, static_cast<WCHAR>(0xDE00))},
      {"emoji / emoji", WTEXT("x\U0001F600y"), WTEXT("\U0001F600")},
      {"greek / capitals", WTEXT("x\u03b1\u03b2"), WTEXT("\u0391\u0392")},
      {"abc / empty", WTEXT("abc"), WTEXT("")},
      {"aaab / aab", WTEXT("aaab"), WTEXT("aab")},
      {"PATH= / path=", WTEXT("C:\\PATH=x"), WTEXT("path=")},
  };
  for (const Find& f : finds) {
    Line(std::string("StrStrIW(") + f.label + ")",
         OffsetW(StrStrIW(f.hay.c_str(), f.needle.c_str()), f.hay.c_str()));
    Line(std::string("StrStrW(") + f.label + ")",
         OffsetW(StrStrW(f.hay.c_str(), f.needle.c_str()), f.hay.c_str()));
  }
  const WString chars = WTEXT("a\U0001F600b\u00e9");
  const WCHAR* c = chars.c_str();
  Line("StrChrW(b)", OffsetW(StrChrW(c, 'b'), c));
  Line("StrChrW(e-acute)", OffsetW(StrChrW(c, 0xE9), c));
  Line("StrChrW(low half of the emoji)", OffsetW(StrChrW(c, 0xDE00), c));
  Line("StrChrW(zero)", OffsetW(StrChrW(c, 0), c));
  Line("CharNextW(a emoji)", OffsetW(CharNextW(c), c));
  Line("CharNextW(emoji)", OffsetW(CharNextW(c + 1), c));
  Line("CharNextW(end)", OffsetW(CharNextW(c + chars.size()), c));
  Line("CharPrevW(after the emoji)", OffsetW(CharPrevW(c, c + 3), c));
  Line("CharPrevW(start)", OffsetW(CharPrevW(c, c), c));
  Line("lstrlenW(a emoji b e-acute)", Num(lstrlenW(c)));
  Line("lstrlenW(NULL)", Num(lstrlenW(nullptr)));
  WCHAR buf[16];
  for (int max : {1, 2, 3, 4}) {
    for (WCHAR& x : buf) x = '#';
    lstrcpynW(buf, c, max);
    Line("lstrcpynW(a emoji b e-acute, " + Num(max) + ")", Units(buf, 5));
  }
  lstrcpyW(buf, WTEXT("\u00e9"));
  lstrcatW(buf, WTEXT("\U0001F600"));
  Line("lstrcpyW/lstrcatW", QW(buf));
}

void Formatting() {
  WCHAR buf[2100];
#define FMTW(label, ...)                                                                  \
  do {                                                                                    \
    for (WCHAR& x : buf) x = '#';                                                         \
    int r = wsprintfW(buf, __VA_ARGS__);                                                  \
    Line(std::string("wsprintfW(") + label + ")", "ret=" + Num(r) + " out=" + QW(buf)); \
  } while (0)
  FMTW("%s", WTEXT("[%s]"), WTEXT("r\u00e9sum\u00e9"));
  FMTW("%s emoji", WTEXT("[%s]"), WTEXT("\U0001F600"));
  FMTW("%ls", WTEXT("[%ls]"), WTEXT("\ud55c\uae00"));
  FMTW("%ws", WTEXT("[%ws]"), WTEXT("w"));
  FMTW("%hs", WTEXT("[%hs]"), "narrow");
  FMTW("%S", WTEXT("[%S]"), "narrow");
  FMTW("%hS", WTEXT("[%hS]"), "narrow");
  FMTW("%lS", WTEXT("[%lS]"), WTEXT("wide"));
  FMTW("%s NULL", WTEXT("[%s]"), static_cast<const WCHAR*>(nullptr));
  FMTW("%hs NULL", WTEXT("[%hs]"), static_cast<const char*>(nullptr));
  FMTW("%5s", WTEXT("[%5s]"), WTEXT("\u00e9"));
  FMTW("%-5s", WTEXT("[%-5s]"), WTEXT("\u00e9"));
  FMTW("%.2s", WTEXT("[%.2s]"), WTEXT("\u00e9t\u00e9"));
  FMTW("%c", WTEXT("[%c]"), 0xE9);
  FMTW("%hc", WTEXT("[%hc]"), 'x');
  FMTW("%C", WTEXT("[%C]"), 'y');
  FMTW("%d", WTEXT("[%d]"), -42);
  FMTW("%05d", WTEXT("[%05d]"), 42);
  FMTW("%u", WTEXT("[%u]"), 4000000000u);
  FMTW("%#x", WTEXT("[%#x]"), 255);
  FMTW("%08X", WTEXT("[%08X]"), 0xBEEFu);
  FMTW("%lu", WTEXT("[%lu]"), 123456ul);
  FMTW("%%", WTEXT("100%%"));
  FMTW("%y unknown", WTEXT("[%y]"), 1);
  FMTW("% at end", WTEXT("abc%"));
  FMTW("path", WTEXT("%s\\%s"), WTEXT("C:\\\u00e9 dir"), WTEXT("\U00020BB7.txt"));
  // Texts of the other width.
  FMTW("%hs kanji", WTEXT("[%hs]"), kHyouJi);
  FMTW("%hs 8E", WTEXT("[%hs]"), "\x8E");
  FMTW("%hc E9", WTEXT("[%hc]"), 0xE9);
#undef FMTW
  char abuf[64];
  const struct {
    const char* label;
    const WCHAR* text;
  } wides[] = {{"ascii", WTEXT("abc")}, {"e-acute", WTEXT("\u00e9")}, {"kanji", WTEXT("\u8868")},
               {"emoji", WTEXT("\U0001F600")}};
  for (const auto& w : wides) {
    std::memset(abuf, '#', sizeof abuf);
    int r = wsprintfA(abuf, "[%S]", w.text);
    Line(std::string("wsprintfA(%S ") + w.label + ")", "ret=" + Num(r) + " out=" + Q(abuf));
    std::memset(abuf, '#', sizeof abuf);
    r = wsprintfA(abuf, "[%C]", w.text[0]);
    Line(std::string("wsprintfA(%C ") + w.label + ")", "ret=" + Num(r) + " out=" + Q(abuf));
  }
  WString big(2000, 'z');
  for (size_t n : {1022u, 1023u, 1024u, 2000u}) {
    for (WCHAR& x : buf) x = '#';
    int r = wsprintfW(buf, WTEXT("%s"), big.substr(0, n).c_str());
    Line("wsprintfW(%s of " + Num(static_cast<long long>(n)) + " chars)",
         "ret=" + Num(r) + " len=" + Num(static_cast<long long>(Len(buf))) + " after=" + Units(buf + 1022, 3));
  }
}

void Module() {
  WCHAR full[1024];
  Arm();
  DWORD len = GetModuleFileNameW(nullptr, full, 1024);
  Line("GetModuleFileNameW(full)", "ret=len-ok:" + Num(Len(full) == len) + Err() + " path=" + QW(full));
  for (WCHAR& x : full) x = '#';
  Arm();
  DWORD ret = GetModuleFileNameW(nullptr, full, len + 1);
  Line("GetModuleFileNameW(size=len+1)", "ret=size" + Num(static_cast<long long>(ret) - len - 1) + Err() + " end=" + Units(full + len, 2));
  Arm();
  ret = GetModuleFileNameW(nullptr, full, 0);
  Line("GetModuleFileNameW(size=0)", "ret=" + Num(ret) + Err());
  for (const WCHAR* name : {WTEXT("KERNEL32.DLL"), WTEXT("kernel32"), WTEXT("User32.dll"),
                            WTEXT("no-such-module.dll"), WTEXT("conformance_probe.exe")}) {
    Arm();
    HMODULE h = GetModuleHandleW(name);
    Line(Name("GetModuleHandleW", name), std::string(h ? "found" : "NULL") + (h ? "" : Err()));
  }
  Line("GetModuleHandleW(NULL)", std::string(GetModuleHandleW(nullptr) ? "found" : "NULL"));
  WCHAR dir[600];
  UINT w = GetWindowsDirectoryW(dir, 600);
  char adir[600];
  UINT a = GetWindowsDirectoryA(adir, sizeof adir);
  Line("GetWindowsDirectoryW", "len-ok=" + Num(Len(dir) == w) + " same-as-A=" + Num(Utf8(dir, w) == std::string(adir, a)) +
                                   " small=len+" + Num(static_cast<long long>(GetWindowsDirectoryW(dir, 2)) - w));
  w = GetSystemDirectoryW(dir, 600);
  a = GetSystemDirectoryA(adir, sizeof adir);
  Line("GetSystemDirectoryW", "len-ok=" + Num(Len(dir) == w) + " same-as-A=" + Num(Utf8(dir, w) == std::string(adir, a)) +
                                  " small=len+" + Num(static_cast<long long>(GetSystemDirectoryW(dir, 2)) - w));
  Arm();
  BOOL ok = SetCurrentDirectoryW(InW(WTEXT("wide\\r\u00e9sum\u00e9.txt")).c_str());
  Line("SetCurrentDirectoryW(a file)", "ret=" + Num(ok != 0) + Err());
  Arm();
  ok = SetCurrentDirectoryW(InW(WTEXT("wide\\missing \u00e9")).c_str());
  Line("SetCurrentDirectoryW(missing)", "ret=" + Num(ok != 0) + Err());
  SetCurrentDirectoryA(g_base.c_str());
}

}  // namespace widetext

// ---------------------------------------------------------------------------
// Windows
// ---------------------------------------------------------------------------

enum CreateMode { kNormal, kCreateFails, kClosesItself, kDestroysItself, kNcCreateFails };

CreateMode g_mode = kNormal;
std::string g_log;

void Log(const char* what) {
  if (!g_log.empty()) g_log += ",";
  g_log += what;
}

LRESULT CALLBACK ProbeProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  switch (m) {
    case WM_NCCREATE:
      Log("NCCREATE");
      if (g_mode == kNcCreateFails) return FALSE;
      break;
    case WM_CREATE:
      Log("CREATE");
      if (g_mode == kCreateFails) return -1;
      if (g_mode == kClosesItself) {
        SendMessageA(h, WM_CLOSE, 0, 0);
        return 0;
      }
      if (g_mode == kDestroysItself) {
        DestroyWindow(h);
        return 0;
      }
      break;
    case WM_CLOSE:
      Log("CLOSE");
      break;
    case WM_DESTROY:
      Log("DESTROY");
      if (g_mode == kClosesItself) PostQuitMessage(7);
      return 0;
    case WM_NCDESTROY:
      Log("NCDESTROY");
      break;
    default:
      break;
  }
  return DefWindowProcA(h, m, w, l);
}

// Takes WM_QUIT from the queue if it is there; other messages are left alone.
std::string QuitState() {
  MSG msg;
  std::memset(&msg, 0, sizeof msg);
  if (!PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) return "none";
  BOOL r = GetMessageA(&msg, nullptr, WM_QUIT, WM_QUIT);
  return "getmessage=" + Num(r) + " code=" + Num(static_cast<long long>(msg.wParam));
}

void WindowCases() {
  HINSTANCE inst = GetModuleHandleA(nullptr);
  WNDCLASSA wc;
  std::memset(&wc, 0, sizeof wc);
  wc.lpfnWndProc = ProbeProc;
  wc.hInstance = inst;
  std::string className = std::string("Probe") + kHyouJi;
  wc.lpszClassName = className.c_str();
  ATOM atom = RegisterClassA(&wc);
  Line("RegisterClassA(kanji name)", std::string("ret=") + (atom ? "atom" : "0"));

  struct Creation {
    const char* label;
    CreateMode mode;
  };
  const Creation creations[] = {
      {"WM_CREATE returns -1", kCreateFails},
      {"closes itself in WM_CREATE", kClosesItself},
      {"destroys itself in WM_CREATE", kDestroysItself},
      {"WM_NCCREATE returns FALSE", kNcCreateFails},
  };
  for (const Creation& c : creations) {
    g_mode = c.mode;
    g_log.clear();
    Arm();
    HWND h = CreateWindowExA(0, className.c_str(), "t", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                             nullptr, nullptr, inst, nullptr);
    std::string err = Err();
    std::string r = std::string("ret=") + (h ? "hwnd" : "NULL") + err + " log=" + g_log +
                    " quit=" + QuitState();
    if (h) DestroyWindow(h);
    Line(std::string("CreateWindowExA(") + c.label + ")", r);
  }

  // A normal window and its text.
  g_mode = kNormal;
  g_log.clear();
  std::string title = std::string("ab") + kHyouJi;  // 61 62 95 5C 8E A6
  HWND h = CreateWindowExA(0, className.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 100,
                           100, nullptr, nullptr, inst, nullptr);
  Line("CreateWindowExA(normal)", std::string("ret=") + (h ? "hwnd" : "NULL") + " log=" + g_log);
  if (!h) return;
  Line("GetWindowTextLengthA(kanji title)", Num(GetWindowTextLengthA(h)));
  for (int n = 0; n <= 8; ++n) {
    char buf[16];
    std::memset(buf, '#', sizeof buf);
    Arm();
    int r = GetWindowTextA(h, buf, n);
    std::string e = Err();
    Line("GetWindowTextA(kanji title, max=" + Num(n) + ")",
         "ret=" + Num(r) + e + " buf=" + Escape(std::string(buf, n + 1)));
  }
  for (int n = 1; n <= 8; ++n) {
    char buf[16];
    std::memset(buf, '#', sizeof buf);
    LRESULT r = SendMessageA(h, WM_GETTEXT, static_cast<WPARAM>(n), reinterpret_cast<LPARAM>(buf));
    Line("WM_GETTEXT(kanji title, max=" + Num(n) + ")",
         "ret=" + Num(static_cast<long long>(r)) + " buf=" + Escape(std::string(buf, n + 1)));
  }
  for (int n = 0; n <= 10; ++n) {
    char buf[16];
    std::memset(buf, '#', sizeof buf);
    Arm();
    int r = GetClassNameA(h, buf, n);
    std::string e = Err();
    Line("GetClassNameA(kanji name, max=" + Num(n) + ")",
         "ret=" + Num(r) + e + " buf=" + Escape(std::string(buf, n + 1)));
  }
  BOOL set = SetWindowTextA(h, "new title");
  char buf[32];
  int r = GetWindowTextA(h, buf, sizeof buf);
  Line("SetWindowTextA", "ret=" + Num(set != 0) + " then=" + Num(r) + " " + Q(buf));
  g_log.clear();
  BOOL destroyed = DestroyWindow(h);
  Line("DestroyWindow(normal)", "ret=" + Num(destroyed != 0) + " log=" + g_log + " iswindow=" +
                                    Num(IsWindow(h) != 0) + " quit=" + QuitState());
  Arm();
  BOOL again = DestroyWindow(h);
  Line("DestroyWindow(again)", "ret=" + Num(again != 0) + Err());
  Arm();
  r = GetWindowTextA(h, buf, sizeof buf);
  Line("GetWindowTextA(destroyed)", "ret=" + Num(r) + Err() + " buf=" + Q(buf));
}

// ---------------------------------------------------------------------------
// A tree of the probe's own windows: enumeration, search, visibility, texts
// ---------------------------------------------------------------------------

LRESULT CALLBACK PlainProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  return DefWindowProcA(h, m, w, l);
}

bool RegisterPlainClass(const std::string& name) {
  WNDCLASSA wc;
  std::memset(&wc, 0, sizeof wc);
  wc.lpfnWndProc = PlainProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = name.c_str();
  return RegisterClassA(&wc) != 0;
}

HWND MakeWindow(const std::string& cls, const std::string& title, DWORD style, HWND parent) {
  return CreateWindowExA(0, cls.c_str(), title.c_str(), style, 0, 0, 100, 100, parent, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

// The probe's windows by name: enumerations print names, never handles, and
// leave out the windows of other programs (Wine's desktop, for one).
struct NamedWindow {
  HWND hwnd;
  const char* name;
};
std::vector<NamedWindow> g_named;

const char* NameOf(HWND h) {
  for (const NamedWindow& n : g_named) {
    if (n.hwnd == h) return n.name;
  }
  return nullptr;
}

struct Walk {
  std::string seen;              // the probe's windows in the order reported
  const char* stopAt = nullptr;  // the callback answers FALSE for this one
};

BOOL CALLBACK CollectNamed(HWND h, LPARAM l) {
  Walk* walk = reinterpret_cast<Walk*>(l);
  const char* name = NameOf(h);
  if (!name) return TRUE;
  walk->seen += std::string(walk->seen.empty() ? "" : ",") + name;
  return walk->stopAt && std::strcmp(name, walk->stopAt) == 0 ? FALSE : TRUE;
}

std::string FoundWindow(HWND h) {
  if (!h) return "NULL" + Err();
  const char* name = NameOf(h);
  return name ? name : "another window";
}

// A value SendMessageTimeoutA never gives as an answer here, so that an
// answer left alone shows as "untouched".
const DWORD_PTR kUntouched = 0x5EED;

std::string TimeoutResult(LRESULT ret, DWORD_PTR answer) {
  return "ret=" + Num(ret != 0) + Err() + " answer=" +
         (answer == kUntouched ? std::string("untouched") : Num(static_cast<long long>(answer)));
}

// A top-level window (hidden) with a visible child, a visible grandchild and
// then a hidden second child, and a second top-level window made last.
void WindowTree() {
  bool registered = RegisterPlainClass("ProbeTreeTop") && RegisterPlainClass("ProbeTreeChild");
  HWND top = MakeWindow("ProbeTreeTop", "tree top", WS_OVERLAPPEDWINDOW, nullptr);
  HWND child = MakeWindow("ProbeTreeChild", "child one", WS_CHILD | WS_VISIBLE, top);
  HWND grand = MakeWindow("ProbeTreeChild", "grandchild", WS_CHILD | WS_VISIBLE, child);
  HWND later = MakeWindow("ProbeTreeChild", "child two", WS_CHILD, top);
  HWND second = MakeWindow("ProbeTreeTop", "tree second", WS_OVERLAPPEDWINDOW, nullptr);
  g_named = {{top, "top"},
             {child, "child"},
             {grand, "grandchild"},
             {later, "later-child"},
             {second, "second-top"}};
  bool made = top && child && grand && later && second;
  Line("window tree(set-up)", registered && made ? "ok" : "FAILED");
  if (made) {
    Walk all;
    EnumChildWindows(top, CollectNamed, reinterpret_cast<LPARAM>(&all));
    Line("EnumChildWindows(tree)", all.seen);
    Walk stopped;
    stopped.stopAt = "grandchild";
    EnumChildWindows(top, CollectNamed, reinterpret_cast<LPARAM>(&stopped));
    Line("EnumChildWindows(tree, callback stops at the grandchild)", stopped.seen);
    Walk below;
    EnumChildWindows(child, CollectNamed, reinterpret_cast<LPARAM>(&below));
    Line("EnumChildWindows(first child)", below.seen);
    Walk none;
    EnumChildWindows(grand, CollectNamed, reinterpret_cast<LPARAM>(&none));
    Line("EnumChildWindows(window without children)", "seen=" + Q(none.seen));
    Walk tops;
    EnumWindows(CollectNamed, reinterpret_cast<LPARAM>(&tops));
    Line("EnumWindows(probe's windows)", tops.seen);
    Walk desktop;
    EnumChildWindows(GetDesktopWindow(), CollectNamed, reinterpret_cast<LPARAM>(&desktop));
    Line("EnumChildWindows(desktop window, probe's windows)", desktop.seen);
    Walk noParent;
    EnumChildWindows(nullptr, CollectNamed, reinterpret_cast<LPARAM>(&noParent));
    Line("EnumChildWindows(NULL parent, probe's windows)", noParent.seen);

    struct Find {
      const char* label;
      HWND parent, after;
      const char* cls;
      const char* title;
    };
    const Find finds[] = {
        {"top level, class in lower case, title", nullptr, nullptr, "probetreetop", "tree top"},
        {"top level, title in upper case", nullptr, nullptr, "ProbeTreeTop", "TREE SECOND"},
        {"child, class in upper case", top, nullptr, "PROBETREECHILD", nullptr},
        {"child after the first child", top, child, "ProbeTreeChild", nullptr},
        {"child after the last child", top, later, "ProbeTreeChild", nullptr},
        {"child after a grandchild (no direct child)", top, grand, "ProbeTreeChild", nullptr},
        {"hidden child by title", top, nullptr, "ProbeTreeChild", "child two"},
        {"grandchild from the top (direct children only)", top, nullptr, nullptr, "grandchild"},
        {"grandchild from its parent", child, nullptr, nullptr, "GrandChild"},
        {"missing class", top, nullptr, "NoSuchProbeClass", nullptr},
        {"missing title", top, nullptr, nullptr, "no such title"},
    };
    for (const Find& f : finds) {
      Arm();
      HWND h = FindWindowExA(f.parent, f.after, f.cls, f.title);
      Line(std::string("FindWindowExA(") + f.label + ")", FoundWindow(h));
    }

    auto visibility = [&]() {
      return "top=" + Num(IsWindowVisible(top) != 0) +
             " child=" + Num(IsWindowVisible(child) != 0) +
             " grandchild=" + Num(IsWindowVisible(grand) != 0) +
             " hidden-child=" + Num(IsWindowVisible(later) != 0);
    };
    Line("IsWindowVisible(parent hidden)", visibility());
    ShowWindow(top, SW_SHOWNOACTIVATE);
    Line("IsWindowVisible(parent shown)", visibility());
    ShowWindow(top, SW_HIDE);
    Line("IsWindowVisible(parent hidden again)", visibility());

    // SendMessageTimeoutA to a window of the probe itself: the window
    // procedure is called directly, with no waiting.
    char buf[MAX_PATH + 16];
    std::memset(buf, '#', sizeof buf);
    DWORD_PTR answer = kUntouched;
    Arm();
    LRESULT ret = SendMessageTimeoutA(top, WM_GETTEXT, MAX_PATH, reinterpret_cast<LPARAM>(buf),
                                      SMTO_NORMAL, 1000, &answer);
    Line("SendMessageTimeoutA(own window, WM_GETTEXT 260)",
         TimeoutResult(ret, answer) + " buf=" + Q(buf));
    std::memset(buf, '#', sizeof buf);
    answer = kUntouched;
    Arm();
    ret = SendMessageTimeoutA(top, WM_GETTEXT, MAX_PATH, reinterpret_cast<LPARAM>(buf),
                              SMTO_ABORTIFHUNG, 1000, &answer);
    Line("SendMessageTimeoutA(own window, WM_GETTEXT 260, abort if hung)",
         TimeoutResult(ret, answer) + " buf=" + Q(buf));
    answer = kUntouched;
    Arm();
    ret = SendMessageTimeoutA(top, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer);
    Line("SendMessageTimeoutA(own window, WM_GETTEXTLENGTH)", TimeoutResult(ret, answer));
    std::memset(buf, '#', sizeof buf);
    Arm();
    ret = SendMessageTimeoutA(top, WM_GETTEXT, MAX_PATH, reinterpret_cast<LPARAM>(buf),
                              SMTO_ABORTIFHUNG, 1000, nullptr);
    Line("SendMessageTimeoutA(own window, NULL answer pointer)",
         "ret=" + Num(ret != 0) + Err() + " buf=" + Q(buf));
  }
  for (HWND h : {second, top}) {
    if (h) DestroyWindow(h);
  }
  Line("IsWindowVisible(destroyed)", Num(IsWindowVisible(child) != 0));
  if (second) {
    char buf[MAX_PATH + 16];
    std::memset(buf, '#', sizeof buf);
    buf[0] = 0;
    DWORD_PTR answer = kUntouched;
    Arm();
    LRESULT ret = SendMessageTimeoutA(second, WM_GETTEXT, MAX_PATH, reinterpret_cast<LPARAM>(buf),
                                      SMTO_ABORTIFHUNG, 1000, &answer);
    Line("SendMessageTimeoutA(destroyed window)", TimeoutResult(ret, answer) + " buf=" + Q(buf));
  }
  g_named.clear();
}

// Class names around the 128-byte buffer the product reads them into, titles
// around its 520-byte buffer, and Shift_JIS titles made of lead bytes only.
void LongWindowTexts() {
  const std::pair<size_t, char> classNames[] = {{127, 'p'}, {128, 'q'}, {200, 'r'}};
  for (const auto& c : classNames) {
    std::string name(c.first, c.second);
    bool registered = RegisterPlainClass(name);
    HWND h = registered ? MakeWindow(name, "x", WS_OVERLAPPEDWINDOW, nullptr) : nullptr;
    std::string r = "registered=" + Num(registered) + " window=" + Num(h != nullptr);
    if (h) {
      char buf[300];
      std::memset(buf, '#', sizeof buf);
      Arm();
      int n = GetClassNameA(h, buf, 128);
      std::string e = Err();
      bool same =
          n >= 0 && name.compare(0, static_cast<size_t>(n), buf, static_cast<size_t>(n)) == 0;
      r += " ret=" + Num(n) + e + " same=" + Num(same) +
           " bytes127-128=" + Escape(std::string(buf + 127, 2));
      DestroyWindow(h);
    }
    Line("GetClassNameA(" + Num(static_cast<long long>(c.first)) + "-char name, buffer 128)", r);
  }

  bool registered = RegisterPlainClass("ProbeTitles");
  Line("RegisterClassA(ProbeTitles)", Num(registered));
  struct Title {
    const char* label;
    std::string text;
  };
  const Title titles[] = {
      {"519 bytes", std::string(519, 't')},
      {"520 bytes", std::string(520, 't')},
      {"600 bytes", std::string(600, 't')},
      {"518 bytes then a kanji", std::string(518, 't') + kHyou},
      {"517 bytes then a kanji", std::string(517, 't') + kHyou},
      {"one lead byte", "\x81"},
      {"two lead bytes", "\x81\x81"},
      {"three lead bytes", "\x95\x95\x95"},
      {"ab then a lead byte", "ab\x88"},
  };
  for (const Title& t : titles) {
    HWND h = registered ? MakeWindow("ProbeTitles", t.text, WS_OVERLAPPEDWINDOW, nullptr) : nullptr;
    if (!h) {
      Line(std::string("GetWindowTextA(") + t.label + ", buffer 520)", "no window");
      continue;
    }
    char buf[700];
    std::memset(buf, '#', sizeof buf);
    Arm();
    int n = GetWindowTextA(h, buf, 520);
    std::string r = "ret=" + Num(n) + Err() + " length=" + Num(GetWindowTextLengthA(h));
    if (t.text.size() > 20) {
      size_t len = std::strlen(buf);
      r += " strlen=" + Num(static_cast<long long>(len)) +
           " tail=" + Escape(std::string(buf + len - 2, 3)) +
           " same=" + Num(t.text.compare(0, len, buf, len) == 0);
    } else {
      r += " buf=" + Q(buf);
    }
    Line(std::string("GetWindowTextA(") + t.label + ", buffer 520)", r);
    if (&t == &titles[0]) {  // the 519-byte title
      std::memset(buf, '#', sizeof buf);
      DWORD_PTR answer = kUntouched;
      Arm();
      LRESULT ret = SendMessageTimeoutA(h, WM_GETTEXT, MAX_PATH, reinterpret_cast<LPARAM>(buf),
                                        SMTO_ABORTIFHUNG, 1000, &answer);
      size_t len = std::strlen(buf);
      Line("SendMessageTimeoutA(own window, 519-byte title, WM_GETTEXT 260)",
           TimeoutResult(ret, answer) + " strlen=" + Num(static_cast<long long>(len)));
    }
    DestroyWindow(h);
  }
}

// ---------------------------------------------------------------------------
// Functions found at run time, and what they say about the probe's process
// ---------------------------------------------------------------------------

typedef LPVOID(WINAPI* VirtualAllocExCall)(HANDLE, LPVOID, SIZE_T, DWORD, DWORD);
typedef BOOL(WINAPI* VirtualFreeExCall)(HANDLE, LPVOID, SIZE_T, DWORD);
typedef HANDLE(WINAPI* CreateToolhelp32SnapshotCall)(DWORD, DWORD);
typedef BOOL(WINAPI* Process32Call)(HANDLE, PROCESSENTRY32*);
typedef BOOL(WINAPI* QueryFullProcessImageNameACall)(HANDLE, DWORD, LPSTR, PDWORD);
typedef BOOL(WINAPI* IsWow64ProcessCall)(HANDLE, PBOOL);
typedef BOOL(WINAPI* Wow64DisableCall)(PVOID*);
typedef BOOL(WINAPI* Wow64RevertCall)(PVOID);
typedef BOOL(WINAPI* EnumProcessModulesCall)(HANDLE, HMODULE*, DWORD, LPDWORD);
typedef DWORD(WINAPI* GetModuleFileNameExACall)(HANDLE, HMODULE, LPSTR, DWORD);
typedef BOOL(WINAPI* SHGetSpecialFolderPathACall)(HWND, LPSTR, int, BOOL);

template <typename Call>
Call Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<Call>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Vista's right; the MinGW headers declare it only for newer targets.
const DWORD kQueryLimited = 0x1000;
// PROCESS_ALL_ACCESS as Windows XP knows it, which is what the product asks for.
const DWORD kAllAccessXp = 0x1F0FFF;

void RunTimeExports() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  for (const char* name :
       {"VirtualAllocEx", "VirtualFreeEx", "CreateToolhelp32Snapshot", "Process32First",
        "Process32Next", "QueryFullProcessImageNameA", "IsWow64Process",
        "Wow64DisableWow64FsRedirection", "Wow64RevertWow64FsRedirection", "virtualallocex",
        "NoSuchProbeFunction"}) {
    Arm();
    FARPROC p = GetProcAddress(kernel, name);
    Line(std::string("GetProcAddress(kernel32, ") + name + ")",
         p ? std::string("found") : "missing" + Err());
  }

  Arm();
  HMODULE psapi = LoadLibraryA("PSAPI.DLL");
  Line("LoadLibraryA(PSAPI.DLL)", psapi ? std::string("loaded") : "NULL" + Err());
  if (!psapi) return;
  for (const char* name : {"EnumProcessModules", "GetModuleFileNameExA"}) {
    Arm();
    FARPROC p = GetProcAddress(psapi, name);
    Line(std::string("GetProcAddress(psapi, ") + name + ")",
         p ? std::string("found") : "missing" + Err());
  }
  // The product names a process by the file of its first module.
  auto enumModules = Lookup<EnumProcessModulesCall>(psapi, "EnumProcessModules");
  auto moduleFile = Lookup<GetModuleFileNameExACall>(psapi, "GetModuleFileNameExA");
  if (enumModules && moduleFile) {
    HMODULE modules[64];
    DWORD needed = 0;
    Arm();
    BOOL ok = enumModules(GetCurrentProcess(), modules, sizeof modules, &needed);
    std::string r = "ret=" + Num(ok != 0) + Err();
    if (ok) {
      char path[600];
      DWORD n = moduleFile(GetCurrentProcess(), modules[0], path, sizeof path);
      r += " first-is-program=" + Num(modules[0] == GetModuleHandleA(nullptr)) +
           " needed-whole-handles=" +
           Num(needed % sizeof(HMODULE) == 0 && needed >= sizeof(HMODULE)) +
           " first-file=" + (n ? Q(path) : "0");
    }
    Line("EnumProcessModules(own process)", r);
    char path[600];
    Arm();
    DWORD n = moduleFile(GetCurrentProcess(), nullptr, path, sizeof path);
    // The last error after a success is not the caller's business; it is
    // printed only for a failure.
    Line("GetModuleFileNameExA(own process, NULL module)",
         n ? "ret=len file=" + Q(path) : "ret=0" + Err());
  }
  Arm();
  BOOL freed = FreeLibrary(psapi);
  Line("FreeLibrary(PSAPI.DLL)", "ret=" + Num(freed != 0) + Err());
}

// The probe's own entry in the Tool Help list, its image name, and WOW64.
void OwnProcessInformation() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto snapshot = Lookup<CreateToolhelp32SnapshotCall>(kernel, "CreateToolhelp32Snapshot");
  auto first = Lookup<Process32Call>(kernel, "Process32First");
  auto next = Lookup<Process32Call>(kernel, "Process32Next");
  if (snapshot && first && next) {
    HANDLE s = snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 e;
    std::memset(&e, 0, sizeof e);
    e.dwSize = sizeof e;
    std::string own = "not listed";
    for (BOOL more = first(s, &e); more; more = next(s, &e)) {
      if (e.th32ProcessID == GetCurrentProcessId()) own = Q(e.szExeFile);
    }
    Arm();
    BOOL after = next(s, &e);
    Line("Process32First/Next(own process)", "own=" + own + " after-the-end=" + Num(after != 0) +
                                                 Err() + " size-kept=" + Num(e.dwSize == sizeof e));
    CloseHandle(s);
  }

  auto query = Lookup<QueryFullProcessImageNameACall>(kernel, "QueryFullProcessImageNameA");
  HANDLE self = OpenProcess(kQueryLimited, FALSE, GetCurrentProcessId());
  if (query && self) {
    char path[600];
    DWORD size = sizeof path;
    Arm();
    BOOL ok = query(self, 0, path, &size);
    std::string r = "ret=" + Num(ok != 0) + Err();
    if (ok) r += " path=" + Q(path) + " size-is-length=" + Num(size == std::strlen(path));
    Line("QueryFullProcessImageNameA(own process, limited right)", r);
    if (ok) {
      DWORD exact = static_cast<DWORD>(std::strlen(path));
      std::memset(path, '#', sizeof path);
      DWORD small = exact;
      Arm();
      ok = query(self, 0, path, &small);
      Line("QueryFullProcessImageNameA(own process, no room for the zero)",
           "ret=" + Num(ok != 0) + Err() + " size-left=" + Num(small == exact));
    }
  }
  if (self) CloseHandle(self);

  // Under WOW64 (a 32-bit program on this 64-bit system) the process is
  // WOW64 and file-system redirection can be switched off and back; a 64-bit
  // program has no redirection to switch. The lines hold what both bitnesses
  // must agree on.
  auto isWow64 = Lookup<IsWow64ProcessCall>(kernel, "IsWow64Process");
  auto disable = Lookup<Wow64DisableCall>(kernel, "Wow64DisableWow64FsRedirection");
  auto revert = Lookup<Wow64RevertCall>(kernel, "Wow64RevertWow64FsRedirection");
  if (isWow64 && disable && revert) {
    BOOL wow64 = 7;
    Arm();
    BOOL ok = isWow64(GetCurrentProcess(), &wow64);
    bool thirtyTwo = sizeof(void*) == 4;
    Line("IsWow64Process(own process)",
         "ret=" + Num(ok != 0) + Err() +
             " wow64-exactly-when-32-bit=" + Num((wow64 == TRUE) == thirtyTwo));
    PVOID old = nullptr;
    Arm();
    BOOL off = disable(&old);
    DWORD offError = GetLastError();
    Arm();
    BOOL back = thirtyTwo ? revert(old) : revert(nullptr);
    DWORD backError = GetLastError();
    // "as-bitness": succeeded under WOW64, or failed with ERROR_INVALID_FUNCTION without it.
    auto outcome = [thirtyTwo](BOOL ok, DWORD error) {
      if (thirtyTwo ? ok != 0 : (!ok && error == ERROR_INVALID_FUNCTION))
        return std::string("as-bitness");
      return std::string(thirtyTwo ? "under WOW64: " : "without WOW64: ") + "ret=" + Num(ok != 0) +
             " err=" + (error == kSentinel ? std::string("keep") : Num(error));
    };
    Line("Wow64DisableWow64FsRedirection", outcome(off, offError));
    Line("Wow64RevertWow64FsRedirection", outcome(back, backError));
  }
}

// ---------------------------------------------------------------------------
// Processes: opening, and memory calls that both sides can check
// ---------------------------------------------------------------------------

std::string Opened(HANDLE h) { return h ? std::string("opened") : "NULL" + Err(); }

void ProcessCases() {
  // Process ids are multiples of 4 far below this one.
  const DWORD missingId = 0x7FFFFFF0;
  Arm();
  HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, missingId);
  Line("OpenProcess(missing id)", Opened(h));
  if (h) CloseHandle(h);
  Arm();
  h = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, 0);
  Line("OpenProcess(id 0)", Opened(h));
  if (h) CloseHandle(h);
  const std::pair<DWORD, const char*> rights[] = {
      {0x38, "0x38"}, {kAllAccessXp, "0x1F0FFF"}, {kQueryLimited, "query limited"}};
  for (const auto& r : rights) {
    Arm();
    h = OpenProcess(r.first, FALSE, GetCurrentProcessId());
    Line(std::string("OpenProcess(own id, ") + r.second + ")", Opened(h));
    if (h) CloseHandle(h);
  }

  // Handles that name no process: none, a closed one, a file.
  HANDLE closed = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, GetCurrentProcessId());
  CloseHandle(closed);
  HANDLE file =
      CreateFileA("file.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE limited = OpenProcess(kQueryLimited, FALSE, GetCurrentProcessId());
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto alloc = Lookup<VirtualAllocExCall>(kernel, "VirtualAllocEx");
  auto release = Lookup<VirtualFreeExCall>(kernel, "VirtualFreeEx");
  struct Target {
    const char* label;
    HANDLE handle;
  };
  const Target targets[] = {{"NULL handle", nullptr},
                            {"closed handle", closed},
                            {"file handle", file},
                            {"own process, query right only", limited}};
  for (const Target& t : targets) {
    char buf[16] = "untouched";
    SIZE_T count = 77;
    Arm();
    BOOL ok = ReadProcessMemory(t.handle, buf, buf + 8, 4, &count);
    Line(std::string("ReadProcessMemory(") + t.label + ")",
         "ret=" + Num(ok != 0) + Err() + " count=" + Num(static_cast<long long>(count)));
    count = 77;
    Arm();
    ok = WriteProcessMemory(t.handle, buf + 8, "abcd", 4, &count);
    Line(std::string("WriteProcessMemory(") + t.label + ")",
         "ret=" + Num(ok != 0) + Err() + " count=" + Num(static_cast<long long>(count)) +
             " buf=" + Q(buf));
    if (alloc && release) {
      Arm();
      LPVOID p = alloc(t.handle, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
      Line(std::string("VirtualAllocEx(") + t.label + ")",
           p ? std::string("allocated") : "NULL" + Err());
      Arm();
      ok = release(t.handle, buf, 0, MEM_RELEASE);
      Line(std::string("VirtualFreeEx(") + t.label + ")", "ret=" + Num(ok != 0) + Err());
    }
  }
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (limited) CloseHandle(limited);

  // Nothing is ever at address 0, in any process. Which error that gives is
  // not documented (and the product only traces it), so the lines hold that
  // the calls fail, copy nothing and set an error.
  HANDLE self = OpenProcess(0x38, FALSE, GetCurrentProcessId());
  for (const Target& t :
       {Target{"current-process handle", GetCurrentProcess()}, Target{"own id, 0x38", self}}) {
    char buf[8] = "keep";
    SIZE_T count = 77;
    Arm();
    BOOL ok = ReadProcessMemory(t.handle, nullptr, buf, 4, &count);
    Line(std::string("ReadProcessMemory(") + t.label + ", address 0)",
         "ret=" + Num(ok != 0) + " error-set=" + Num(GetLastError() != kSentinel) +
             " count=" + Num(static_cast<long long>(count)) + " buf=" + Q(buf));
    count = 77;
    Arm();
    ok = WriteProcessMemory(t.handle, nullptr, "abcd", 4, &count);
    Line(std::string("WriteProcessMemory(") + t.label + ", address 0)",
         "ret=" + Num(ok != 0) + " error-set=" + Num(GetLastError() != kSentinel) +
             " count=" + Num(static_cast<long long>(count)));
  }
  if (self) CloseHandle(self);
}

// ---------------------------------------------------------------------------
// Mappings backed by the paging file, as the Windows 98/ME reader uses them
// ---------------------------------------------------------------------------

bool AllZero(const unsigned char* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (p[i]) return false;
  }
  return true;
}

// Writes a pattern over [0, size) of the view and reads it back.
bool Writable(unsigned char* view, size_t size) {
  for (size_t i = 0; i < size; ++i) view[i] = static_cast<unsigned char>(i * 7 + 1);
  for (size_t i = 0; i < size; ++i) {
    if (view[i] != static_cast<unsigned char>(i * 7 + 1)) return false;
  }
  return true;
}

void PagingFileMappings() {
  const DWORD sizes[] = {300, 1, 4097};
  for (DWORD size : sizes) {
    std::string label = "size " + Num(size);
    Arm();
    HANDLE m = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, nullptr);
    std::string r = std::string(m ? "mapping" : "NULL") + Err();
    unsigned char* view = nullptr;
    if (m) {
      Arm();
      view = static_cast<unsigned char*>(MapViewOfFile(m, FILE_MAP_ALL_ACCESS, 0, 0, 0));
      r += std::string(" view=") + (view ? "mapped" : "NULL") + Err();
    }
    if (view) {
      // A view covers whole pages; the bytes past the size are there and zero too.
      size_t pages = (size + 4095) / 4096 * 4096;
      bool zero = AllZero(view, size);
      bool zeroToPageEnd = AllZero(view, pages);
      bool writable = Writable(view, size);
      r += " zero=" + Num(zero) + " zero-to-page-end=" + Num(zeroToPageEnd) +
           " writable=" + Num(writable);
      unsigned char* other =
          static_cast<unsigned char*>(MapViewOfFile(m, FILE_MAP_ALL_ACCESS, 0, 0, 0));
      // A second view of the mapping sees what was written through the first.
      r += " second-view-shares=" +
           Num(other && other != view && std::memcmp(other, view, size) == 0);
      if (other) UnmapViewOfFile(other);
    }
    Line("paging-file mapping(" + label + ")", r);
    if (view) {
      // The view outlives the handle of its mapping.
      CloseHandle(m);
      m = nullptr;
      bool kept = view[0] == 1 && Writable(view, size);
      Arm();
      BOOL unmapped = UnmapViewOfFile(view);
      std::string u = "ret=" + Num(unmapped != 0) + Err();
      Arm();
      BOOL again = UnmapViewOfFile(view);
      Line("UnmapViewOfFile(" + label + ")", "view-usable-after-handle-closed=" + Num(kept) + " " +
                                                 u + " again=" + Num(again != 0) + Err());
    }
    if (m) CloseHandle(m);
  }

  Arm();
  HANDLE zero = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0, nullptr);
  Line("CreateFileMappingA(paging file, size 0)", std::string(zero ? "mapping" : "NULL") + Err());
  if (zero) CloseHandle(zero);

  HANDLE m = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0x20000, nullptr);
  if (m) {
    Arm();
    void* v = MapViewOfFile(m, FILE_MAP_ALL_ACCESS, 0, 0x20000 + 0x10000, 0);
    Line("MapViewOfFile(offset past the end)", std::string(v ? "mapped" : "NULL") + Err());
    if (v) UnmapViewOfFile(v);
    Arm();
    v = MapViewOfFile(m, FILE_MAP_ALL_ACCESS, 0, 0x1000, 0x1000);
    Line("MapViewOfFile(offset not on the allocation granularity)",
         std::string(v ? "mapped" : "NULL") + Err());
    if (v) UnmapViewOfFile(v);
    Arm();
    v = MapViewOfFile(m, FILE_MAP_ALL_ACCESS, 0, 0, 0x30000);
    Line("MapViewOfFile(more bytes than the mapping)", std::string(v ? "mapped" : "NULL") + Err());
    if (v) UnmapViewOfFile(v);
    unsigned char* view =
        static_cast<unsigned char*>(MapViewOfFile(m, FILE_MAP_ALL_ACCESS, 0, 0x10000, 0));
    if (view) {
      Arm();
      BOOL ok = UnmapViewOfFile(view + 100);
      std::string r = "ret=" + Num(ok != 0) + Err();
      if (!ok) UnmapViewOfFile(view);
      Line("UnmapViewOfFile(address inside the view)", r);
    }
    CloseHandle(m);
  }
  Arm();
  BOOL ok = UnmapViewOfFile(nullptr);
  Line("UnmapViewOfFile(NULL)", "ret=" + Num(ok != 0) + Err());
}

// ---------------------------------------------------------------------------
// Special folders: only whether they are given and exist, as their paths
// differ by design (a Windows XP user on the sim, Wine's own profile)
// ---------------------------------------------------------------------------

void SpecialFolders() {
  HMODULE shell = LoadLibraryA("shell32.dll");
  auto get =
      shell ? Lookup<SHGetSpecialFolderPathACall>(shell, "SHGetSpecialFolderPathA") : nullptr;
  Line("SHGetSpecialFolderPathA(found)", Num(get != nullptr));
  if (get) {
    const std::pair<int, const char*> folders[] = {{CSIDL_DESKTOP, "desktop"},
                                                   {CSIDL_PERSONAL, "personal"},
                                                   {CSIDL_COMMON_DOCUMENTS, "common documents"},
                                                   {CSIDL_MYVIDEO, "my video"}};
    for (const auto& f : folders) {
      char path[MAX_PATH + 16];
      std::memset(path, '#', sizeof path);
      BOOL ok = get(nullptr, path, f.first, FALSE);
      std::string r = "ret=" + Num(ok != 0);
      if (ok) {
        DWORD a = GetFileAttributesA(path);
        r += " folder=" + Num(a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) +
             " full=" + Num(path[1] == ':' && path[2] == '\\') +
             " trailing-backslash=" + Num(path[std::strlen(path) - 1] == '\\');
      }
      Line(std::string("SHGetSpecialFolderPathA(") + f.second + ")", r);
    }
  }
  if (shell) FreeLibrary(shell);
}

// The clipboard as a program without a window uses it, and the shell asked to
// start something that does not exist. The clipboard is shared with every
// other program of the desktop, so the cases leave it empty.
void ClipboardCases() {
  Arm();
  BOOL emptied = EmptyClipboard();
  Line("EmptyClipboard(not open)", "ret=" + Num(emptied != 0) + Err());
  HGLOBAL spare = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 4);
  Arm();
  HANDLE taken = SetClipboardData(CF_TEXT, spare);
  Line("SetClipboardData(not open)", "ret=" + Num(taken != nullptr) + Err());
  Arm();
  BOOL closed = CloseClipboard();
  Line("CloseClipboard(not open)", "ret=" + Num(closed != 0) + Err());

  const char text[] = "line one\r\n\x95\x5C";
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof text);
  char* p = static_cast<char*>(GlobalLock(block));
  std::memcpy(p, text, sizeof text);
  GlobalUnlock(block);
  Line("OpenClipboard(NULL)", "ret=" + Num(OpenClipboard(nullptr) != 0));
  Line("OpenClipboard(NULL, again)", "ret=" + Num(OpenClipboard(nullptr) != 0));
  Line("EmptyClipboard(open)", "ret=" + Num(EmptyClipboard() != 0));
  HANDLE set = SetClipboardData(CF_TEXT, block);
  Line("SetClipboardData(CF_TEXT, moveable)",
       "ret=" + Num(set != nullptr) + " same=" + Num(set == block));
  Line("CloseClipboard(open)", "ret=" + Num(CloseClipboard() != 0));
  Line("IsClipboardFormatAvailable(CF_TEXT)", Num(IsClipboardFormatAvailable(CF_TEXT) != 0));

  std::string read = "open-failed";
  if (OpenClipboard(nullptr)) {
    HANDLE h = GetClipboardData(CF_TEXT);
    const char* q = h ? static_cast<const char*>(GlobalLock(h)) : nullptr;
    read = q ? Escape(q) : "no-data";
    if (q) GlobalUnlock(h);
    EmptyClipboard();
    CloseClipboard();
  }
  Line("GetClipboardData(CF_TEXT)", read);
  GlobalFree(spare);

  const std::string missing = In("no such program.exe");
  Arm();
  HINSTANCE r = ShellExecuteA(nullptr, nullptr, missing.c_str(), "a b", In("dir").c_str(),
                              SW_SHOWNORMAL);
  std::string err = Err();
  Line("ShellExecuteA(missing file)",
       "ret=" + Num(static_cast<long long>(reinterpret_cast<INT_PTR>(r))) + err);
}

// ---------------------------------------------------------------------------
// Wide windows: the probe's own windows, edit, combo box and list view, read
// through A and W; the clipboard's two text formats; special folders in W.
// Wide results are printed as UTF-8 with the usual escapes, or as units.
// ---------------------------------------------------------------------------

namespace widewindows {

using widetext::QW;
using widetext::Units;

#ifndef LVM_INSERTITEMA
#define LVM_INSERTITEMA (LVM_FIRST + 7)
#endif
#ifndef LVM_INSERTITEMW
#define LVM_INSERTITEMW (LVM_FIRST + 77)
#endif
const DWORD kDropDown = 0x0002;  // CBS_DROPDOWN: a combo box with an edit field

// A title with a letter code page 932 lacks but has a look-alike for, Hangul,
// a kanji beyond the basic plane, an emoji and a kanji the code page holds.
const WCHAR kTitle[] = WTEXT("r\u00e9sum\u00e9 \ud55c\uae00 \U00020BB7 \U0001F600 \u8868");

LRESULT CALLBACK WideProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }

HWND MakeWide(const WCHAR* cls, const WCHAR* title, DWORD style, HWND parent) {
  return CreateWindowExW(0, cls, title, style, 0, 0, 100, 100, parent, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

// GetWindowTextA/W and WM_GETTEXT A/W for buffers of 0 to `most` bytes or units.
void CutTexts(const std::string& label, HWND h, int most) {
  for (int n = 0; n <= most; ++n) {
    WCHAR wide[16];
    for (WCHAR& c : wide) c = '#';
    Arm();
    int r = GetWindowTextW(h, wide, n);
    std::string e = Err();
    Line("GetWindowTextW(" + label + ", max=" + Num(n) + ")",
         "ret=" + Num(r) + e + " buf=" + Units(wide, n + 1));
    char ansi[16];
    std::memset(ansi, '#', sizeof ansi);
    Arm();
    r = GetWindowTextA(h, ansi, n);
    e = Err();
    Line("GetWindowTextA(" + label + ", max=" + Num(n) + ")",
         "ret=" + Num(r) + e + " buf=" + Escape(std::string(ansi, n + 1)));
    if (n == 0) continue;
    for (WCHAR& c : wide) c = '#';
    LRESULT m = SendMessageW(h, WM_GETTEXT, static_cast<WPARAM>(n), reinterpret_cast<LPARAM>(wide));
    Line("WM_GETTEXT W(" + label + ", max=" + Num(n) + ")",
         "ret=" + Num(static_cast<long long>(m)) + " buf=" + Units(wide, n + 1));
    std::memset(ansi, '#', sizeof ansi);
    m = SendMessageA(h, WM_GETTEXT, static_cast<WPARAM>(n), reinterpret_cast<LPARAM>(ansi));
    Line("WM_GETTEXT A(" + label + ", max=" + Num(n) + ")",
         "ret=" + Num(static_cast<long long>(m)) + " buf=" + Escape(std::string(ansi, n + 1)));
  }
}

void OwnWindows() {
  WNDCLASSW wc;
  std::memset(&wc, 0, sizeof wc);
  wc.lpfnWndProc = WideProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = WTEXT("ProbeW\u00e9\ud55c");
  ATOM atom = RegisterClassW(&wc);
  Line("RegisterClassW(accented and Hangul name)", std::string("ret=") + (atom ? "atom" : "0"));
  HWND h = MakeWide(WTEXT("PROBEW\u00c9\ud55c"), kTitle, WS_OVERLAPPEDWINDOW, nullptr);
  Line("CreateWindowExW(class name in other case)", h ? "hwnd" : "NULL" + Err());
  if (!h) return;
  WCHAR wide[64];
  int r = GetWindowTextW(h, wide, 64);
  Line("GetWindowTextW(wide title)", "ret=" + Num(r) + " " + QW(wide) +
                                         " length=" + Num(GetWindowTextLengthW(h)));
  char ansi[64];
  r = GetWindowTextA(h, ansi, sizeof ansi);
  Line("GetWindowTextA(wide title)", "ret=" + Num(r) + " " + Q(ansi) +
                                         " length=" + Num(GetWindowTextLengthA(h)));
  r = GetClassNameW(h, wide, 64);
  Line("GetClassNameW(wide name)", "ret=" + Num(r) + " " + QW(wide));
  r = GetClassNameA(h, ansi, sizeof ansi);
  Line("GetClassNameA(wide name)", "ret=" + Num(r) + " " + Q(ansi));
  for (int n = 0; n <= 4; ++n) {
    for (WCHAR& c : wide) c = '#';
    Arm();
    r = GetClassNameW(h, wide, n);
    std::string e = Err();
    Line("GetClassNameW(wide name, max=" + Num(n) + ")",
         "ret=" + Num(r) + e + " buf=" + Units(wide, n + 1));
  }
  LRESULT length = SendMessageW(h, WM_GETTEXTLENGTH, 0, 0);
  LRESULT lengthA = SendMessageA(h, WM_GETTEXTLENGTH, 0, 0);
  Line("WM_GETTEXTLENGTH(wide title)", "W=" + Num(static_cast<long long>(length)) +
                                           " A=" + Num(static_cast<long long>(lengthA)));

  // Found through W by its own title in another case, never through A by the look-alike.
  Line("FindWindowW(wide class and title)", h == FindWindowW(WTEXT("probew\u00e9\ud55c"), kTitle)
                                                ? "found" : "NULL" + Err());
  Line("FindWindowW(title in upper case)",
       h == FindWindowW(nullptr, WTEXT("R\u00c9SUM\u00c9 \ud55c\uae00 \U00020BB7 \U0001F600 \u8868"))
           ? "found" : "other");
  r = GetWindowTextA(h, ansi, sizeof ansi);
  Line("FindWindowA(the A title)", h == FindWindowA(nullptr, ansi) ? "found" : "other");

  // Texts cut to the buffer: a surrogate pair, a two-byte character of the code page.
  SetWindowTextW(h, WTEXT("ab\U0001F600c"));
  CutTexts("pair", h, 5);
  SetWindowTextW(h, WTEXT("ab\u8868\u00e9"));
  CutTexts("kanji", h, 6);
  BOOL set = SetWindowTextA(h, "x\x95\x5C");
  r = GetWindowTextW(h, wide, 64);
  Line("SetWindowTextA(kanji) then W", "ret=" + Num(set != 0) + " then=" + Num(r) + " " +
                                          Units(wide, r + 1));
  DestroyWindow(h);

  // A class registered with A keeps what its procedure got: the converted title.
  bool registered = RegisterPlainClass("ProbeAnsiForW");
  HWND a = registered ? MakeWide(WTEXT("ProbeAnsiForW"), WTEXT("caf\u00e9 \ud55c"),
                                 WS_OVERLAPPEDWINDOW, nullptr)
                      : nullptr;
  if (a) {
    r = GetWindowTextW(a, wide, 64);
    Line("CreateWindowExW(A class) then GetWindowTextW", "ret=" + Num(r) + " " + QW(wide));
    SetWindowTextW(a, WTEXT("\u8868\u00e9"));
    r = GetWindowTextW(a, wide, 64);
    Line("SetWindowTextW(A class) then GetWindowTextW", "ret=" + Num(r) + " " + QW(wide));
    DestroyWindow(a);
  } else {
    Line("CreateWindowExW(A class) then GetWindowTextW", "no window");
  }
}

void EditAndComboBox() {
  HWND parent = MakeWide(WTEXT("ProbeW\u00e9\ud55c"), WTEXT("parent"), WS_OVERLAPPEDWINDOW, nullptr);
  HWND edit = parent ? MakeWide(WTEXT("Edit"), WTEXT(""), WS_CHILD, parent) : nullptr;
  HWND combo = parent ? MakeWide(WTEXT("ComboBox"), WTEXT(""), WS_CHILD | kDropDown, parent)
                      : nullptr;
  Line("edit and combo box(set-up)", edit && combo ? "ok" : "FAILED");
  const struct {
    const char* label;
    HWND h;
  } boxes[] = {{"edit", edit}, {"combo box", combo}};
  for (const auto& b : boxes) {
    if (!b.h) continue;
    std::string label = b.label;
    SetWindowTextW(b.h, kTitle);
    WCHAR wide[64];
    LRESULT r = SendMessageW(b.h, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(wide));
    Line("WM_GETTEXT W(" + label + ")", "ret=" + Num(static_cast<long long>(r)) + " " + QW(wide));
    char ansi[64];
    r = SendMessageA(b.h, WM_GETTEXT, sizeof ansi, reinterpret_cast<LPARAM>(ansi));
    Line("WM_GETTEXT A(" + label + ")", "ret=" + Num(static_cast<long long>(r)) + " " + Q(ansi));
    Line("WM_GETTEXTLENGTH(" + label + ")",
         "W=" + Num(static_cast<long long>(SendMessageW(b.h, WM_GETTEXTLENGTH, 0, 0))) +
             " A=" + Num(static_cast<long long>(SendMessageA(b.h, WM_GETTEXTLENGTH, 0, 0))));
    SetWindowTextW(b.h, WTEXT("ab\u8868\U0001F600"));
    for (int n = 1; n <= 6; ++n) {
      for (WCHAR& c : wide) c = '#';
      r = SendMessageW(b.h, WM_GETTEXT, static_cast<WPARAM>(n), reinterpret_cast<LPARAM>(wide));
      Line("WM_GETTEXT W(" + label + ", max=" + Num(n) + ")",
           "ret=" + Num(static_cast<long long>(r)) + " buf=" + Units(wide, n + 1));
      std::memset(ansi, '#', sizeof ansi);
      r = SendMessageA(b.h, WM_GETTEXT, static_cast<WPARAM>(n), reinterpret_cast<LPARAM>(ansi));
      Line("WM_GETTEXT A(" + label + ", max=" + Num(n) + ")",
           "ret=" + Num(static_cast<long long>(r)) + " buf=" + Escape(std::string(ansi, n + 1)));
    }
  }
  if (parent) DestroyWindow(parent);
}

// The item texts, and those cut to cchTextMax.
void ListView() {
  HMODULE comctl = LoadLibraryA("comctl32.dll");
  HWND parent = MakeWide(WTEXT("ProbeW\u00e9\ud55c"), WTEXT("list parent"), WS_OVERLAPPEDWINDOW,
                         nullptr);
  HWND list = comctl && parent ? MakeWide(WTEXT("SysListView32"), WTEXT(""), WS_CHILD, parent)
                               : nullptr;
  Line("list view(set-up)", list ? "ok" : "FAILED");
  if (list) {
    const WCHAR* names[] = {WTEXT("r\u00e9sum\u00e9.txt"), WTEXT("resume.txt"),
                            WTEXT("\ud55c\uae00.doc"),     WTEXT("\U00020BB7.txt"),
                            WTEXT("\U0001F600.png"),       WTEXT("ab\u8868")};
    const int count = static_cast<int>(sizeof names / sizeof names[0]);
    for (int i = 0; i < count; ++i) {
      LVITEMW item;
      std::memset(&item, 0, sizeof item);
      item.mask = LVIF_TEXT;
      item.iItem = i;
      item.pszText = const_cast<WCHAR*>(names[i]);
      SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    LVITEMA itemA;
    std::memset(&itemA, 0, sizeof itemA);
    itemA.mask = LVIF_TEXT;
    itemA.iItem = count;
    itemA.pszText = const_cast<char*>("x\x95\x5C");
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&itemA));
    Line("LVM_GETITEMCOUNT(probe's list view)",
         Num(static_cast<long long>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0))));
    for (int i = 0; i <= count; ++i) {
      WCHAR wide[32];
      LVITEMW item;
      std::memset(&item, 0, sizeof item);
      item.mask = LVIF_TEXT;
      item.iItem = i;
      item.pszText = wide;
      item.cchTextMax = 32;
      LRESULT r = SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
      char ansi[32];
      std::memset(&itemA, 0, sizeof itemA);
      itemA.mask = LVIF_TEXT;
      itemA.iItem = i;
      itemA.pszText = ansi;
      itemA.cchTextMax = 32;
      LRESULT ra = SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&itemA));
      Line("LVM_GETITEMW/A(item " + Num(i) + ")",
           "W ret=" + Num(static_cast<long long>(r)) + " " + QW(wide) +
               " A ret=" + Num(static_cast<long long>(ra)) + " " + Q(ansi));
    }
    // Cut: item 4 holds a surrogate pair first, item 5 a two-byte character last.
    for (int n = 1; n <= 5; ++n) {
      WCHAR wide[16];
      for (WCHAR& c : wide) c = '#';
      LVITEMW item;
      std::memset(&item, 0, sizeof item);
      item.mask = LVIF_TEXT;
      item.iItem = 4;
      item.pszText = wide;
      item.cchTextMax = n;
      LRESULT r = SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
      Line("LVM_GETITEMW(pair first, cchTextMax=" + Num(n) + ")",
           "ret=" + Num(static_cast<long long>(r)) + " buf=" + Units(wide, n + 1));
      char ansi[16];
      std::memset(ansi, '#', sizeof ansi);
      std::memset(&itemA, 0, sizeof itemA);
      itemA.mask = LVIF_TEXT;
      itemA.iItem = 5;
      itemA.pszText = ansi;
      itemA.cchTextMax = n;
      r = SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&itemA));
      Line("LVM_GETITEMA(kanji last, cchTextMax=" + Num(n) + ")",
           "ret=" + Num(static_cast<long long>(r)) + " buf=" + Escape(std::string(ansi, n + 1)));
    }
  }
  if (parent) DestroyWindow(parent);
  if (comctl) FreeLibrary(comctl);
}

// A block holding bytes, for the clipboard.
HGLOBAL Block(const void* bytes, size_t size) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!h) return nullptr;
  std::memcpy(GlobalLock(h), bytes, size);
  GlobalUnlock(h);
  return h;
}

// What a reader gets for both formats, and whether they are said to be there.
std::string ReadBoth() {
  std::string r = "text-available=" + Num(IsClipboardFormatAvailable(CF_TEXT) != 0) +
                  " unicode-available=" + Num(IsClipboardFormatAvailable(CF_UNICODETEXT) != 0);
  if (!OpenClipboard(nullptr)) return r + " open-failed";
  HANDLE h = GetClipboardData(CF_TEXT);
  const char* a = h ? static_cast<const char*>(GlobalLock(h)) : nullptr;
  r += " CF_TEXT=" + (a ? Q(a) : std::string("none"));
  if (a) GlobalUnlock(h);
  h = GetClipboardData(CF_UNICODETEXT);
  const WCHAR* w = h ? static_cast<const WCHAR*>(GlobalLock(h)) : nullptr;
  r += " CF_UNICODETEXT=" + (w ? QW(w) : std::string("none"));
  if (w) GlobalUnlock(h);
  CloseClipboard();
  return r;
}

// Sets the formats given (null: not set) in one opening.
bool SetFormats(const WCHAR* wide, const char* ansi) {
  if (!OpenClipboard(nullptr)) return false;
  bool ok = EmptyClipboard() != 0;
  if (wide) {
    size_t n = widetext::Len(wide);
    ok = SetClipboardData(CF_UNICODETEXT, Block(wide, (n + 1) * sizeof(WCHAR))) && ok;
  }
  if (ansi) ok = SetClipboardData(CF_TEXT, Block(ansi, std::strlen(ansi) + 1)) && ok;
  return CloseClipboard() && ok;
}

// The clipboard is shared with every other program of the desktop: the cases
// leave it empty.
void Clipboard() {
  const WCHAR* paths = WTEXT("D:\\r\u00e9sum\u00e9.txt\r\nD:\\\ud55c \U0001F600 \u8868");
  Line("clipboard(CF_UNICODETEXT only)",
       SetFormats(paths, nullptr) ? ReadBoth() : std::string("set-failed"));
  Line("clipboard(CF_UNICODETEXT and CF_TEXT)",
       SetFormats(paths, "D:\\r?sum?.txt") ? ReadBoth() : std::string("set-failed"));
  Line("clipboard(CF_TEXT only)",
       SetFormats(nullptr, "D:\\\x95\x5C") ? ReadBoth() : std::string("set-failed"));
  if (OpenClipboard(nullptr)) {
    EmptyClipboard();
    CloseClipboard();
  }
  Line("clipboard(emptied)", ReadBoth());
}

typedef BOOL(WINAPI* SHGetSpecialFolderPathWCall)(HWND, LPWSTR, int, BOOL);

// As for the A form: whether the folders are given and exist, and that the
// W form gives what the A form gives.
void SpecialFolders() {
  HMODULE shell = LoadLibraryA("shell32.dll");
  auto get = shell ? Lookup<SHGetSpecialFolderPathWCall>(shell, "SHGetSpecialFolderPathW") : nullptr;
  auto getA =
      shell ? Lookup<SHGetSpecialFolderPathACall>(shell, "SHGetSpecialFolderPathA") : nullptr;
  Line("SHGetSpecialFolderPathW(found)", Num(get != nullptr));
  if (get && getA) {
    const std::pair<int, const char*> folders[] = {{CSIDL_DESKTOP, "desktop"},
                                                   {CSIDL_PERSONAL, "personal"},
                                                   {CSIDL_COMMON_DOCUMENTS, "common documents"},
                                                   {CSIDL_MYVIDEO, "my video"}};
    for (const auto& f : folders) {
      WCHAR path[MAX_PATH + 16];
      for (WCHAR& c : path) c = '#';
      BOOL ok = get(nullptr, path, f.first, FALSE);
      std::string r = "ret=" + Num(ok != 0);
      char ansi[MAX_PATH + 16] = "";
      BOOL okA = getA(nullptr, ansi, f.first, FALSE);
      if (ok) {
        DWORD a = GetFileAttributesW(path);
        size_t n = widetext::Len(path);
        r += " folder=" + Num(a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) +
             " full=" + Num(path[1] == ':' && path[2] == '\\') +
             " trailing-backslash=" + Num(path[n - 1] == '\\') +
             " same-as-A=" + Num(okA && widetext::Utf8(path, n) == ansi);
      }
      Line(std::string("SHGetSpecialFolderPathW(") + f.second + ")", r);
    }
  }
  if (shell) FreeLibrary(shell);
}

}  // namespace widewindows

// ---------------------------------------------------------------------------
// Code pages: MultiByteToWideChar and WideCharToMultiByte for 932, 1252 and
// UTF-8. Each call gets a buffer of `room` units that starts filled with
// 0xCC, so that what a failed call leaves in it shows too; texts are written
// as hexadecimal code units. Whole tables are summed up per row or block (a
// hash of every result, and how many codes map to nothing).
// ---------------------------------------------------------------------------

namespace codepages {

std::string UnitsHex(const WCHAR* s, int n) {
  if (n <= 0) return "-";
  std::string out;
  for (int i = 0; i < n; ++i) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%s%04X", i ? "." : "", static_cast<unsigned>(s[i]) & 0xFFFF);
    out += hex;
  }
  return out;
}

std::string BytesHex(const char* s, int n) {
  if (n <= 0) return "-";
  std::string out;
  for (int i = 0; i < n; ++i) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%s%02X", i ? "." : "", static_cast<unsigned char>(s[i]));
    out += hex;
  }
  return out;
}

// The error is printed for failed calls only: a call that succeeds need not
// leave the last error alone.
std::string Mb(UINT page, DWORD flags, const char* in, int len, int room = 16) {
  WCHAR buf[64];
  for (WCHAR& c : buf) c = static_cast<WCHAR>(0xCCCC);
  Arm();
  int r = MultiByteToWideChar(page, flags, in, len, room ? buf : nullptr, room);
  std::string err = r ? "" : Err();
  int shown = r > 0 && room ? r : room;
  if (r <= 0)
    while (shown > 0 && (buf[shown - 1] & 0xFFFF) == 0xCCCC) --shown;
  return "ret=" + Num(r) + err + " out=" + UnitsHex(buf, shown);
}

std::string Wc(UINT page, DWORD flags, const WCHAR* in, int len, int room = 16,
               const char* defaultChar = nullptr, bool askUsed = true) {
  char buf[64];
  std::memset(buf, 0xCC, sizeof buf);
  BOOL used = 7;
  Arm();
  int r = WideCharToMultiByte(page, flags, in, len, room ? buf : nullptr, room, defaultChar,
                              askUsed ? &used : nullptr);
  std::string err = r ? "" : Err();
  int shown = r > 0 && room ? r : room;
  if (r <= 0)
    while (shown > 0 && static_cast<unsigned char>(buf[shown - 1]) == 0xCC) --shown;
  return "ret=" + Num(r) + err + (askUsed ? " used=" + Num(used) : std::string()) +
         " out=" + BytesHex(buf, shown);
}

void Mix(unsigned* hash, unsigned value) { *hash = (*hash ^ value) * 16777619u; }

// 932 and 1252 byte by byte: sixteen bytes a line, and which of them
// MB_ERR_INVALID_CHARS refuses.
void SingleBytes(UINT page) {
  for (int row = 0; row < 256; row += 16) {
    std::string units, refused;
    for (int b = row; b < row + 16; ++b) {
      char in[1] = {static_cast<char>(b)};
      WCHAR out[4] = {0, 0, 0, 0};
      int r = MultiByteToWideChar(page, 0, in, 1, out, 4);
      units += (b > row ? "." : "") + (r == 1 ? UnitsHex(out, 1) : "r" + Num(r));
      refused += MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, in, 1, out, 4) == 1 ? "." : "x";
    }
    char name[64];
    std::snprintf(name, sizeof name, "MultiByteToWideChar(%u, %02X-%02X)", page, row, row + 15);
    Line(name, units + " refused=" + refused);
  }
}

// Every lead byte of 932 with every second byte: a hash of the results, how
// many pairs MB_ERR_INVALID_CHARS refuses, and a few pairs in full.
void LeadBytes() {
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead > 0x9F && lead < 0xE0) continue;
    unsigned hash = 2166136261u;
    int refused = 0;
    std::string sample;
    for (int trail = 0; trail < 256; ++trail) {
      char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      WCHAR out[4] = {0, 0, 0, 0};
      int r = MultiByteToWideChar(932, 0, in, 2, out, 4);
      Mix(&hash, static_cast<unsigned>(r));
      for (int i = 0; i < r && i < 4; ++i) Mix(&hash, static_cast<unsigned>(out[i]) & 0xFFFF);
      if (MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, in, 2, out, 4) == 0) ++refused;
      if (trail == 0x40 || trail == 0x5C || trail == 0x7E || trail == 0x80 || trail == 0x9F ||
          trail == 0xFC) {
        r = MultiByteToWideChar(932, 0, in, 2, out, 4);
        sample += " " + UnitsHex(out, r);
      }
    }
    char name[64];
    std::snprintf(name, sizeof name, "MultiByteToWideChar(932, lead %02X)", lead);
    Line(name, "hash=" + Hex(hash) + " refused=" + Num(refused) + sample);
  }
}

// Blocks of 256 UTF-16 units to 932 or 1252, with and without best-fit: a
// hash of the bytes and used flags, and how many units got the default.
void UnitBlocks(UINT page) {
  const unsigned blocks[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x20, 0x21, 0x22, 0x23,
                             0x25, 0x30, 0x4E, 0x7E, 0x88, 0xD8, 0xDC, 0xE0, 0xF8, 0xFF};
  for (unsigned block : blocks) {
    std::string result;
    for (DWORD flags : {DWORD(0), DWORD(WC_NO_BEST_FIT_CHARS)}) {
      unsigned hash = 2166136261u;
      int defaults = 0;
      for (unsigned u = block << 8; u < ((block + 1) << 8); ++u) {
        WCHAR in[1] = {static_cast<WCHAR>(u)};
        char out[8];
        BOOL used = FALSE;
        int r = WideCharToMultiByte(page, flags, in, 1, out, 8, nullptr, &used);
        Mix(&hash, static_cast<unsigned>(r));
        for (int i = 0; i < r && i < 8; ++i) Mix(&hash, static_cast<unsigned char>(out[i]));
        Mix(&hash, used ? 1u : 0u);
        if (used) ++defaults;
      }
      result += std::string(flags ? " no-best-fit" : "best-fit") + " hash=" + Hex(hash) +
                " defaults=" + Num(defaults);
    }
    char name[64];
    std::snprintf(name, sizeof name, "WideCharToMultiByte(%u, U+%04X-U+%04X)", page, block << 8,
                  (block << 8) | 0xFF);
    Line(name, result);
  }
}

void Conversions() {
  SingleBytes(932);
  SingleBytes(1252);
  LeadBytes();
  UnitBlocks(932);
  UnitBlocks(1252);

  const struct {
    const char* name;
    UINT page;
    DWORD flags;
    const char* in;
    int len;
    int room;
  } mb[] = {
      {"932 so, trail 5C", 932, 0, "\x83\x5C", 2, 16},
      {"932 name", 932, 0, "\x83\x5C\x83\x74\x83\x67\\\x95\x5C.txt", 13, 16},
      {"932 half-width katakana", 932, 0, "\xB1\xB2\xDE\xDF", 4, 16},
      {"932 lead at end", 932, 0, "a\x81", 2, 16},
      {"932 lead at end, strict", 932, MB_ERR_INVALID_CHARS, "a\x81", 2, 16},
      {"932 lead before zero", 932, 0, "a\x81", -1, 16},
      {"932 lead before zero and b", 932, 0, "a\x81\0b", 4, 16},
      {"932 lead and space", 932, 0, "\x81 x", 3, 16},
      {"932 lead and 7F", 932, 0, "\x81\x7Fx", 3, 16},
      {"932 undefined pair", 932, 0, "\x85\x40x", 3, 16},
      {"932 undefined pair, strict", 932, MB_ERR_INVALID_CHARS, "\x85\x40x", 3, 16},
      {"932 middle dot, strict", 932, MB_ERR_INVALID_CHARS, "\x81\x45", 2, 16},
      {"932 user-defined, strict", 932, MB_ERR_INVALID_CHARS, "\xF0\x40", 2, 16},
      {"932 80 A0 FD FE FF", 932, 0, "\x80\xA0\xFD\xFE\xFF", 5, 16},
      {"932 80 A0 FD FE FF, strict", 932, MB_ERR_INVALID_CHARS, "\x80\xA0\xFD\xFE\xFF", 5, 16},
      {"932 size", 932, 0, "\x95\x5C\x8E\xA6", -1, 0},
      {"932 room 1", 932, 0, "\x95\x5C\x8E\xA6", 4, 1},
      {"932 room 3 with zero", 932, 0, "\x95\x5C\x8E\xA6", -1, 3},
      {"932 null input", 932, 0, nullptr, 3, 16},
      {"932 zero length", 932, 0, "a", 0, 16},
      {"932 unknown flag", 932, 0x100, "a", 1, 16},
      {"CP_ACP", CP_ACP, 0, "\x83\x5C", 2, 16},
      {"unknown page", 12345, 0, "a", 1, 16},
      {"1252 undefined five", 1252, 0, "\x81\x8D\x8F\x90\x9D", 5, 16},
      {"1252 undefined five, strict", 1252, MB_ERR_INVALID_CHARS, "\x81\x8D\x8F\x90\x9D", 5, 16},
      {"1252 room 2", 1252, 0, "abc", 3, 2},
      {"UTF-8 80", CP_UTF8, 0, "a\x80z", 3, 16},
      {"UTF-8 80, strict", CP_UTF8, MB_ERR_INVALID_CHARS, "a\x80z", 3, 16},
      {"UTF-8 C0 80", CP_UTF8, 0, "a\xC0\x80z", 4, 16},
      {"UTF-8 C3 at end", CP_UTF8, 0, "a\xC3", 2, 16},
      {"UTF-8 E3 81 at end", CP_UTF8, 0, "a\xE3\x81", 3, 16},
      {"UTF-8 E3 81 z", CP_UTF8, 0, "a\xE3\x81z", 4, 16},
      {"UTF-8 E3 z z", CP_UTF8, 0, "a\xE3zz", 4, 16},
      {"UTF-8 E0 80 80", CP_UTF8, 0, "a\xE0\x80\x80z", 5, 16},
      {"UTF-8 surrogate", CP_UTF8, 0, "a\xED\xA0\x80z", 5, 16},
      {"UTF-8 surrogate, strict", CP_UTF8, MB_ERR_INVALID_CHARS, "a\xED\xA0\x80z", 5, 16},
      {"UTF-8 emoji", CP_UTF8, 0, "a\xF0\x9F\x98\x80z", 6, 16},
      {"UTF-8 F0 80 80 80", CP_UTF8, 0, "a\xF0\x80\x80\x80z", 6, 16},
      {"UTF-8 F0 80 80 at end", CP_UTF8, 0, "a\xF0\x80\x80", 4, 16},
      {"UTF-8 F4 90 80 80", CP_UTF8, 0, "a\xF4\x90\x80\x80z", 6, 16},
      {"UTF-8 F5", CP_UTF8, 0, "a\xF5\x80\x80\x80z", 6, 16},
      {"UTF-8 FE FF", CP_UTF8, 0, "a\xFE\xFFz", 4, 16},
      {"UTF-8 U+FFFF and BOM", CP_UTF8, 0, "\xEF\xBB\xBF\xEF\xBF\xBF", 6, 16},
      {"UTF-8 room 2", CP_UTF8, 0, "abc", 3, 2},
      {"UTF-8 size of a pair", CP_UTF8, 0, "\xF0\x9F\x98\x80", 4, 0},
  };
  for (const auto& c : mb)
    Line(std::string("MultiByteToWideChar(") + c.name + ")",
         Mb(c.page, c.flags, c.in, c.len, c.room));

  const WCHAR kanji2[] = {0x8868, 0x793A, 0};
  const WCHAR soA[] = {0x30BD, 'a', 0};
  const WCHAR resume[] = {'r', 0xE9, 's', 'u', 'm', 0xE9, 0};
  const WCHAR famous[] = {0xA5, 0xA6, 0xA2, 0xFF3C, 0xFF02, 0xFF5E, 0x301C, 0x2212, 0x2014, 0};
  const WCHAR slashes[] = {0xFF3C, 0xFF0F, 0x2215, 0x2044, 0x0141, 0x3000, 0};
  const WCHAR kanjiPair[] = {0xD842, 0xDFB7, 0};
  const WCHAR emoji[] = {'a', 0xD83D, 0xDE00, 'b', 0};
  const WCHAR loneHigh[] = {0xD842, 'a', 0};
  const WCHAR loneLow[] = {0xDFB7, 'a', 0};
  const WCHAR highAtEnd[] = {'a', 0xD842, 0};
  const WCHAR undefined1252[] = {0x81, 0x8D, 0x8F, 0x90, 0x9D, 0x20AC, 0};
  const WCHAR accent[] = {'e', 0x301, 0};
  const WCHAR abc[] = {'a', 'b', 'c', 0};
  const struct {
    const char* name;
    UINT page;
    DWORD flags;
    const WCHAR* in;
    int len;
    int room;
    const char* defaultChar;
    bool askUsed;
  } wc[] = {
      {"932 kanji", 932, 0, kanji2, 2, 16, nullptr, true},
      {"932 so a", 932, 0, soA, 2, 16, nullptr, true},
      {"932 resume", 932, 0, resume, 6, 16, nullptr, true},
      {"932 resume, no best-fit", 932, WC_NO_BEST_FIT_CHARS, resume, 6, 16, nullptr, true},
      {"932 resume, star", 932, WC_NO_BEST_FIT_CHARS, resume, 6, 16, "*", true},
      {"932 resume, two-byte default", 932, WC_NO_BEST_FIT_CHARS, resume, 6, 16, "\x81\x45",
       true},
      {"932 resume, no used flag", 932, WC_NO_BEST_FIT_CHARS, resume, 6, 16, nullptr, false},
      {"932 famous", 932, 0, famous, 9, 32, nullptr, true},
      {"932 famous, no best-fit", 932, WC_NO_BEST_FIT_CHARS, famous, 9, 32, nullptr, true},
      {"932 combining accent", 932, 0, accent, 2, 16, nullptr, true},
      {"932 pair", 932, 0, kanjiPair, 2, 16, nullptr, true},
      {"932 pair, no best-fit", 932, WC_NO_BEST_FIT_CHARS, kanjiPair, 2, 16, nullptr, true},
      {"932 pair, star", 932, 0, kanjiPair, 2, 16, "*", true},
      {"932 emoji", 932, 0, emoji, 4, 16, nullptr, true},
      {"932 lone high", 932, 0, loneHigh, 2, 16, nullptr, true},
      {"932 lone low", 932, 0, loneLow, 2, 16, nullptr, true},
      {"932 high at end", 932, 0, highAtEnd, 2, 16, nullptr, true},
      {"932 size", 932, 0, kanji2, -1, 0, nullptr, true},
      {"932 room 1, so a", 932, 0, soA, 2, 1, nullptr, true},
      {"932 room 2, so a", 932, 0, soA, 2, 2, nullptr, true},
      {"932 room 3, kanji", 932, 0, kanji2, 2, 3, nullptr, true},
      {"932 room 5, kanji with zero", 932, 0, kanji2, -1, 5, nullptr, true},
      {"932 null input", 932, 0, nullptr, 2, 16, nullptr, true},
      {"932 zero length", 932, 0, abc, 0, 16, nullptr, true},
      {"932 unknown flag", 932, 0x10000, abc, 1, 16, nullptr, true},
      {"CP_ACP so a", CP_ACP, 0, soA, 2, 16, nullptr, true},
      {"1252 resume", 1252, WC_NO_BEST_FIT_CHARS, resume, 6, 16, nullptr, true},
      {"1252 slashes", 1252, 0, slashes, 6, 16, nullptr, true},
      {"1252 slashes, no best-fit", 1252, WC_NO_BEST_FIT_CHARS, slashes, 6, 16, nullptr, true},
      {"1252 undefined five and euro", 1252, WC_NO_BEST_FIT_CHARS, undefined1252, 6, 16, nullptr,
       true},
      {"1252 kanji, default ab", 1252, 0, kanji2, 1, 16, "ab", true},
      {"1252 pair", 1252, 0, kanjiPair, 2, 16, nullptr, true},
      {"1252 room 2", 1252, 0, abc, 3, 2, nullptr, true},
      {"UTF-8 pair", CP_UTF8, 0, kanjiPair, 2, 16, nullptr, false},
      {"UTF-8 lone high", CP_UTF8, 0, loneHigh, 2, 16, nullptr, false},
      {"UTF-8 lone high, strict", CP_UTF8, WC_ERR_INVALID_CHARS, loneHigh, 2, 16, nullptr, false},
      {"UTF-8 lone low", CP_UTF8, 0, loneLow, 2, 16, nullptr, false},
      {"UTF-8 high at end", CP_UTF8, 0, highAtEnd, 2, 16, nullptr, false},
      {"UTF-8 room 3, pair", CP_UTF8, 0, kanjiPair, 2, 3, nullptr, false},
      {"UTF-8 room 4, emoji", CP_UTF8, 0, emoji, 4, 4, nullptr, false},
      {"UTF-8 size", CP_UTF8, 0, emoji, 4, 0, nullptr, false},
  };
  for (const auto& c : wc)
    Line(std::string("WideCharToMultiByte(") + c.name + ")",
         Wc(c.page, c.flags, c.in, c.len, c.room, c.defaultChar, c.askUsed));
}

}  // namespace codepages

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  if (argc < 2) {
    std::fprintf(stderr, "usage: conformance_probe BASE [OUTPUT]\n");
    return 2;
  }
  g_base = argv[1];
#else
  g_base = argc >= 2 ? argv[1] : "C:\\conformance";
  // The simulated desktop as the probe's Windows run sees it: the program in
  // the base folder and the version Wine reports to a program without a
  // manifest.
  sim::World world;
  world.SetModulePath(g_base + "\\conformance_probe.exe");
  world.SetOsVersion(6, 1, 7601, VER_PLATFORM_WIN32_NT, "Service Pack 1");
#endif
  g_out = stdout;
  if (argc >= 3) {
    g_out = std::fopen(argv[2], "wb");
    if (!g_out) {
      std::fprintf(stderr, "cannot write %s\n", argv[2]);
      return 2;
    }
  }
  bool ok = SetUpTree();
  Line("set-up", ok ? "ok" : "FAILED");
  Line("SetCurrentDirectoryA(base)", Num(SetCurrentDirectoryA(g_base.c_str()) != 0));
  ModuleFileName();
  VersionInfo();
  FileExistence();
  FileOpening();
  FullPathNames();
  CurrentDirectoryCase();
  Canonicalize();
  ShellTextFunctions();
  Comparisons();
  Formatting();
  SearchPaths();
  widetext::Files();
  widetext::FullPaths();
  widetext::PathFunctions();
  widetext::Strings();
  widetext::Formatting();
  widetext::Module();
  WindowCases();
  WindowTree();
  LongWindowTexts();
  RunTimeExports();
  OwnProcessInformation();
  ProcessCases();
  PagingFileMappings();
  SpecialFolders();
  ClipboardCases();
  widewindows::OwnWindows();
  widewindows::EditAndComboBox();
  widewindows::ListView();
  widewindows::Clipboard();
  widewindows::SpecialFolders();
  codepages::Conversions();
  Line("end", "ok");
  if (g_out != stdout) std::fclose(g_out);
  return 0;
}
