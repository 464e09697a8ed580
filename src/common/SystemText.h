// Texts crossing to the system. The program keeps its texts in UTF-16. On the NT family it calls
// the system's wide (W) functions with them; Windows 95, 98 and ME have only the ANSI (A)
// functions, so there each text is converted to the ANSI code page on the way in and back on
// the way out. A text the code page cannot hold exactly never reaches an A function as a
// look-alike: such a name names nothing there, and the call fails as for a missing file.
#ifndef TAVIX_COMMON_SYSTEMTEXT_H
#define TAVIX_COMMON_SYSTEMTEXT_H

#include "win32.h"

// Sets g_Run.UnicodeCalls from the system's platform: 1 on the NT family.
void DetectTextCalls();

// --- conversions ---

// ANSI bytes of the system's code page to UTF-16 in a buffer of wideSize characters; a text
// that does not fit is cut to whole characters. Returns 1 when it was taken whole.
int WideFromAnsi(const char* ansi, WCHAR* wide, int wideSize);

// UTF-16 to the ANSI code page in a buffer of ansiSize bytes. Returns 1 when every character
// was converted exactly; else 0, with ansi the empty text.
int AnsiFromWide(const WCHAR* wide, char* ansi, int ansiSize);

// count units of UTF-16 in the ANSI code page, with '?' for each character the code page
// cannot hold: never a best-fit look-alike. Writes at most outSize bytes to out (nothing when
// out is NULL) and returns the number of bytes the whole text takes, without a zero.
int AnsiMarked(const WCHAR* wide, int count, char* out, int outSize);

// The same for a zero-terminated text, into a buffer of outSize bytes, cut when it does not fit.
void AnsiMarkedText(const WCHAR* wide, char* out, int outSize);

// --- string comparison, with the system's rules for letter case ---

// StrStrI: the first occurrence of needle in text, or NULL.
const WCHAR* FindNoCase(const WCHAR* text, const WCHAR* needle);
// StrCmpNI over count characters: 0 when equal.
int CompareNoCaseN(const WCHAR* a, const WCHAR* b, int count);

// --- paths (each buffer holds at least MAX_PATH characters unless said otherwise) ---

BOOL FileExists(const WCHAR* path);                       // PathFileExists
BOOL IsDirectory(const WCHAR* path);                      // PathIsDirectory
BOOL CanonicalizePath(WCHAR* result, const WCHAR* path);  // PathCanonicalize
void AddBackslash(WCHAR* path);                           // PathAddBackslash
void RemoveBlanks(WCHAR* path);                           // PathRemoveBlanks
void UnquoteSpaces(WCHAR* path);                          // PathUnquoteSpaces; any length
// GetFullPathName and SearchPath: the length written, or the size needed, or 0.
DWORD FullPathName(const WCHAR* name, DWORD size, WCHAR* result);
DWORD SearchAlongPath(const WCHAR* searchPath, const WCHAR* name, DWORD size, WCHAR* result);
// CreateFile with no security attributes and no template.
HANDLE OpenFileNamed(const WCHAR* path, DWORD access, DWORD share, DWORD disposition);
// GetModuleFileName of the program itself: the length written (size when cut), or 0.
DWORD ReadModulePath(WCHAR* path, DWORD size);
// SHGetSpecialFolderPath without creating the folder.
BOOL SpecialFolderPath(WCHAR* path, int csidl);

// --- windows ---

int ReadWindowTitle(HWND window, WCHAR* title, int size);    // GetWindowText
int ReadClassName(HWND window, WCHAR* className, int size);  // GetClassName
HWND FindChildWindow(HWND parent, const WCHAR* className);   // FindWindowEx, the first child

// --- the rest ---

// ShellExecute with no owner window and no verb; directory and parameters may be NULL.
HINSTANCE ShellOpen(const WCHAR* file, const WCHAR* parameters, const WCHAR* directory,
                    int show);
// OutputDebugString.
void WriteDebugLine(const WCHAR* line);
// The command line after the program's name and the blanks behind it: from the system's wide
// command line on the NT family, else the ANSI tail that the start-up handed over, converted.
const WCHAR* TakeCommandLineTail(const char* ansiTail);

#endif
