// Writes: g_Run.UnicodeCalls, CommandLineCopy. Reads: g_Run.UnicodeCalls.
#include "SystemText.h"

#include "DynamicCalls.h"
#include "RunState.h"
#include "Text.h"

// An ANSI buffer for a text of LineBufferSize characters: two bytes each at most, since no
// ANSI code page has longer characters.
enum { AnsiBufferSize = 2 * LineBufferSize };

void DetectTextCalls()
{
    // The high bit of the version is set on Windows 95, 98 and ME, which have no working W
    // functions.
    g_Run.UnicodeCalls = (GetVersion() & 0x80000000u) == 0;
}

// --- conversions ---

static int IsHighSurrogate(WCHAR c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

int WideFromAnsi(const char* ansi, WCHAR* wide, int wideSize)
{
    // Each character of an ANSI code page becomes one UTF-16 unit, so counting characters
    // finds the longest whole prefix that fits.
    // A lead byte whose trail byte is missing (the text was cut there) is no character.
    int bytes = 0;
    int chars = 0;
    int whole = 1;
    while (ansi[bytes] != '\0' && chars < wideSize - 1) {
        int width = IsDBCSLeadByte((BYTE)ansi[bytes]) ? 2 : 1;
        if (width == 2 && ansi[bytes + 1] == '\0') {
            whole = 0;
            break;
        }
        bytes += width;
        chars++;
    }
    int written = bytes > 0 ? MultiByteToWideChar(CP_ACP, 0, ansi, bytes, wide, wideSize - 1) : 0;
    wide[written > 0 ? written : 0] = 0;
    return whole && ansi[bytes] == '\0';
}

// The flags that keep WideCharToMultiByte from writing look-alikes. Windows 98/ME knows no
// flags (every conversion there is checked by converting back), and a UTF-8 code page needs
// none: it holds every character.
static DWORD NoBestFitFlags()
{
    if (!g_Run.UnicodeCalls || GetACP() == CP_UTF8)
        return 0;
    return WC_NO_BEST_FIT_CHARS;
}

// One character (one unit, or a surrogate pair) in the ANSI code page when it converts and
// converts back unchanged; else 0.
static int ConvertCharacterExactly(const WCHAR* unit, int units, char* out, int outSize)
{
    int bytes = WideCharToMultiByte(CP_ACP, NoBestFitFlags(), unit, units, out, outSize, NULL, NULL);
    if (bytes <= 0)
        return 0;
    WCHAR back[4];
    int backUnits = MultiByteToWideChar(CP_ACP, 0, out, bytes, back, 4);
    if (backUnits != units)
        return 0;
    for (int i = 0; i < units; i++)
        if (back[i] != unit[i])
            return 0;
    return bytes;
}

int AnsiMarked(const WCHAR* wide, int count, char* out, int outSize)
{
    if (g_Run.UnicodeCalls) {
        // WC_NO_BEST_FIT_CHARS writes the code page's default character, '?', for every
        // character it lacks.
        if (count <= 0)
            return 0;
        int bytes = WideCharToMultiByte(CP_ACP, NoBestFitFlags(), wide, count, out,
                                        out != NULL ? outSize : 0, NULL, NULL);
        return bytes > 0 ? bytes : 0;
    }
    int total = 0;
    for (int i = 0; i < count;) {
        int units = IsHighSurrogate(wide[i]) && i + 1 < count ? 2 : 1;
        char piece[8];
        int bytes = ConvertCharacterExactly(wide + i, units, piece, sizeof piece);
        if (bytes == 0) {
            piece[0] = '?';
            bytes = 1;
        }
        if (out != NULL && total + bytes <= outSize)
            for (int k = 0; k < bytes; k++)
                out[total + k] = piece[k];
        total += bytes;
        i += units;
    }
    return total;
}

void AnsiMarkedText(const WCHAR* wide, char* out, int outSize)
{
    int bytes = AnsiMarked(wide, TextLength(wide), out, outSize - 1);
    out[bytes < outSize - 1 ? bytes : outSize - 1] = '\0';
}

int AnsiFromWide(const WCHAR* wide, char* ansi, int ansiSize)
{
    int at = 0;
    for (int i = 0; wide[i] != 0;) {
        int units = IsHighSurrogate(wide[i]) && wide[i + 1] != 0 ? 2 : 1;
        char piece[8];
        int bytes = ConvertCharacterExactly(wide + i, units, piece, sizeof piece);
        if (bytes == 0 || at + bytes >= ansiSize) {
            ansi[0] = '\0';
            return 0;
        }
        for (int k = 0; k < bytes; k++)
            ansi[at++] = piece[k];
        i += units;
    }
    ansi[at] = '\0';
    return 1;
}

// --- string comparison ---

// The number of UTF-16 units of the character at text: 2 for a surrogate pair, else 1.
static int UnitsOfCharacter(const WCHAR* text)
{
    return IsHighSurrogate(text[0]) && text[1] != 0 ? 2 : 1;
}

// Windows 98/ME: whether the first chars characters of a and b are equal without regard to
// letter case, each pair of characters compared in the ANSI code page as the system compares
// them. A character that the code page cannot hold (from a settings file in UTF-8) has no case
// there and equals only itself. Nothing is allocated, so a comparison never fails for want of
// memory.
static int EqualNoCase9x(const WCHAR* a, const WCHAR* b, int chars)
{
    int i = 0;
    int j = 0;
    for (int k = 0; k < chars; k++) {
        if (a[i] == 0 || b[j] == 0)
            return a[i] == b[j];
        int unitsA = UnitsOfCharacter(a + i);
        int unitsB = UnitsOfCharacter(b + j);
        char pieceA[8];
        char pieceB[8];
        int bytesA = ConvertCharacterExactly(a + i, unitsA, pieceA, sizeof pieceA - 1);
        int bytesB = ConvertCharacterExactly(b + j, unitsB, pieceB, sizeof pieceB - 1);
        if (bytesA == 0 || bytesB == 0) {
            if (unitsA != unitsB || a[i] != b[j] || (unitsA == 2 && a[i + 1] != b[j + 1]))
                return 0;
        } else {
            pieceA[bytesA] = '\0';
            pieceB[bytesB] = '\0';
            if (StrCmpNIA(pieceA, pieceB, bytesA > bytesB ? bytesA : bytesB) != 0)
                return 0;
        }
        i += unitsA;
        j += unitsB;
    }
    return 1;
}

// The number of characters in the first count units of text (a surrogate pair counts as one).
static int CharacterCount(const WCHAR* text, int count)
{
    int chars = 0;
    for (int i = 0; i < count && text[i] != 0; i += UnitsOfCharacter(text + i))
        chars++;
    return chars;
}

const WCHAR* FindNoCase(const WCHAR* text, const WCHAR* needle)
{
    if (g_Run.UnicodeCalls)
        return StrStrIW(text, needle);
    if (needle[0] == 0)
        return NULL;
    int needleChars = CharacterCount(needle, TextLength(needle));
    for (int i = 0; text[i] != 0; i += UnitsOfCharacter(text + i))
        if (EqualNoCase9x(text + i, needle, needleChars))
            return text + i;
    return NULL;
}

int CompareNoCaseN(const WCHAR* a, const WCHAR* b, int count)
{
    if (g_Run.UnicodeCalls)
        return StrCmpNIW(a, b, count);
    return EqualNoCase9x(a, b, CharacterCount(b, count)) ? 0 : 1;
}

// --- paths ---

BOOL FileExists(const WCHAR* path)
{
    if (g_Run.UnicodeCalls)
        return PathFileExistsW(path);
    char ansi[AnsiBufferSize];
    return AnsiFromWide(path, ansi, sizeof ansi) && PathFileExistsA(ansi);
}

BOOL IsDirectory(const WCHAR* path)
{
    if (g_Run.UnicodeCalls)
        return PathIsDirectoryW(path);
    char ansi[AnsiBufferSize];
    return AnsiFromWide(path, ansi, sizeof ansi) && PathIsDirectoryA(ansi);
}

BOOL CanonicalizePath(WCHAR* result, const WCHAR* path)
{
    if (g_Run.UnicodeCalls)
        return PathCanonicalizeW(result, path);
    char ansi[AnsiBufferSize];
    char canonical[AnsiBufferSize];
    if (!AnsiFromWide(path, ansi, sizeof ansi) || !PathCanonicalizeA(canonical, ansi))
        return FALSE;
    return WideFromAnsi(canonical, result, MAX_PATH);
}

// Runs an ANSI path function on a copy of path (a buffer of LineBufferSize characters) and
// takes its result back; a text the code page cannot hold is left as it is.
typedef void (*AnsiPathEdit)(char* path);

static void EditAsAnsi(WCHAR* path, AnsiPathEdit edit)
{
    char ansi[AnsiBufferSize];
    if (!AnsiFromWide(path, ansi, sizeof ansi))
        return;
    edit(ansi);
    WideFromAnsi(ansi, path, LineBufferSize);
}

static void AddBackslashA(char* path)
{
    PathAddBackslashA(path);
}

static void RemoveBlanksA(char* path)
{
    PathRemoveBlanksA(path);
}

void AddBackslash(WCHAR* path)
{
    if (g_Run.UnicodeCalls)
        PathAddBackslashW(path);
    else
        EditAsAnsi(path, AddBackslashA);
}

void RemoveBlanks(WCHAR* path)
{
    if (g_Run.UnicodeCalls)
        PathRemoveBlanksW(path);
    else
        EditAsAnsi(path, RemoveBlanksA);
}

void UnquoteSpaces(WCHAR* path)
{
    if (g_Run.UnicodeCalls) {
        PathUnquoteSpacesW(path);
        return;
    }
    // The quotes are ASCII and no byte of a two-byte character is one, so taking them off the
    // wide text is what the ANSI function does to its copy.
    int length = TextLength(path);
    if (length >= 2 && path[0] == '"' && path[length - 1] == '"') {
        for (int i = 0; i < length - 2; i++)
            path[i] = path[i + 1];
        path[length - 2] = 0;
    }
}

// An ANSI path result of an A call (bytes written, or the size needed), as its UTF-16 form in
// a buffer of size characters.
static DWORD TakeAnsiPathResult(DWORD bytes, DWORD size, const char* ansi, WCHAR* result)
{
    if (bytes == 0 || bytes >= size) {
        if (size > 0)
            result[0] = 0;
        return bytes;
    }
    WideFromAnsi(ansi, result, (int)size);
    return (DWORD)TextLength(result);
}

DWORD FullPathName(const WCHAR* name, DWORD size, WCHAR* result)
{
    if (g_Run.UnicodeCalls)
        return GetFullPathNameW(name, size, result, NULL);
    char ansiName[AnsiBufferSize];
    char ansi[AnsiBufferSize];
    if (!AnsiFromWide(name, ansiName, sizeof ansiName) || size > sizeof ansi)
        return 0;
    return TakeAnsiPathResult(GetFullPathNameA(ansiName, size, ansi, NULL), size, ansi, result);
}

DWORD SearchAlongPath(const WCHAR* searchPath, const WCHAR* name, DWORD size, WCHAR* result)
{
    if (g_Run.UnicodeCalls)
        return SearchPathW(searchPath, name, NULL, size, result, NULL);
    char ansiName[AnsiBufferSize];
    char ansi[AnsiBufferSize];
    if (!AnsiFromWide(name, ansiName, sizeof ansiName) || size > sizeof ansi)
        return 0;
    // A directory of the search path that the code page cannot hold is searched as '?', which
    // names no directory.
    char ansiPath[2 * SearchPathSize];
    if (searchPath != NULL)
        AnsiMarkedText(searchPath, ansiPath, sizeof ansiPath);
    DWORD bytes = SearchPathA(searchPath != NULL ? ansiPath : NULL, ansiName, NULL, size, ansi,
                              NULL);
    return TakeAnsiPathResult(bytes, size, ansi, result);
}

HANDLE OpenFileNamed(const WCHAR* path, DWORD access, DWORD share, DWORD disposition)
{
    if (g_Run.UnicodeCalls)
        return CreateFileW(path, access, share, NULL, disposition, FILE_ATTRIBUTE_NORMAL, NULL);
    char ansi[AnsiBufferSize];
    if (!AnsiFromWide(path, ansi, sizeof ansi)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileA(ansi, access, share, NULL, disposition, FILE_ATTRIBUTE_NORMAL, NULL);
}

DWORD ReadModulePath(WCHAR* path, DWORD size)
{
    if (g_Run.UnicodeCalls)
        return GetModuleFileNameW(NULL, path, size);
    char ansi[AnsiBufferSize];
    if (size > sizeof ansi)
        size = sizeof ansi;
    DWORD bytes = GetModuleFileNameA(NULL, ansi, size);
    if (bytes == 0)
        return 0;
    ansi[bytes < size ? bytes : size - 1] = '\0';
    WideFromAnsi(ansi, path, (int)size);
    return bytes < size ? (DWORD)TextLength(path) : size;
}

BOOL SpecialFolderPath(WCHAR* path, int csidl)
{
    if (g_Run.UnicodeCalls) {
        SHGetSpecialFolderPathWCall special = FindSpecialFolderPathW();
        return special != NULL && special(NULL, path, csidl, FALSE);
    }
    char ansi[AnsiBufferSize];
    if (!SHGetSpecialFolderPathA(NULL, ansi, csidl, FALSE))
        return FALSE;
    ansi[MAX_PATH - 1] = '\0';
    WideFromAnsi(ansi, path, MAX_PATH);
    return TRUE;
}

// --- windows ---

int ReadWindowTitle(HWND window, WCHAR* title, int size)
{
    if (g_Run.UnicodeCalls)
        return GetWindowTextW(window, title, size);
    char ansi[AnsiBufferSize];
    ansi[0] = '\0';
    int bytes = GetWindowTextA(window, ansi, size < (int)sizeof ansi ? size : (int)sizeof ansi);
    WideFromAnsi(ansi, title, size);
    return bytes > 0 ? TextLength(title) : 0;
}

int ReadClassName(HWND window, WCHAR* className, int size)
{
    if (g_Run.UnicodeCalls)
        return GetClassNameW(window, className, size);
    char ansi[AnsiBufferSize];
    ansi[0] = '\0';
    int bytes = GetClassNameA(window, ansi, size < (int)sizeof ansi ? size : (int)sizeof ansi);
    WideFromAnsi(ansi, className, size);
    return bytes > 0 ? TextLength(className) : 0;
}

HWND FindChildWindow(HWND parent, const WCHAR* className)
{
    if (g_Run.UnicodeCalls)
        return FindWindowExW(parent, NULL, className, NULL);
    char ansi[AnsiBufferSize];
    if (!AnsiFromWide(className, ansi, sizeof ansi))
        return NULL;
    return FindWindowExA(parent, NULL, ansi, NULL);
}

// --- the rest ---

// Windows 98/ME: the ANSI call, with the parameter text (of any length) in a block of its own.
static HINSTANCE ShellOpenAnsi(const WCHAR* file, const WCHAR* parameters,
                               const WCHAR* directory, int show)
{
    char ansiFile[AnsiBufferSize];
    char ansiDirectory[AnsiBufferSize];
    if (!AnsiFromWide(file, ansiFile, sizeof ansiFile) ||
        (directory != NULL && !AnsiFromWide(directory, ansiDirectory, sizeof ansiDirectory)))
        return (HINSTANCE)(INT_PTR)SE_ERR_FNF;
    char* ansiParameters = NULL;
    if (parameters != NULL) {
        int length = TextLength(parameters);
        int bytes = AnsiMarked(parameters, length, NULL, 0);
        ansiParameters = (char*)GlobalAlloc(GPTR, (SIZE_T)bytes + 1);
        if (ansiParameters == NULL)
            return (HINSTANCE)(INT_PTR)SE_ERR_OOM;
        AnsiMarked(parameters, length, ansiParameters, bytes);
    }
    HINSTANCE result = ShellExecuteA(NULL, NULL, ansiFile, ansiParameters,
                                     directory != NULL ? ansiDirectory : NULL, show);
    if (ansiParameters != NULL)
        GlobalFree(ansiParameters);
    return result;
}

HINSTANCE ShellOpen(const WCHAR* file, const WCHAR* parameters, const WCHAR* directory, int show)
{
    if (!g_Run.UnicodeCalls)
        return ShellOpenAnsi(file, parameters, directory, show);
    ShellExecuteWCall execute = FindShellExecuteW();
    if (execute == NULL)
        return (HINSTANCE)(INT_PTR)SE_ERR_NOASSOC;
    return execute(NULL, NULL, file, parameters, directory, show);
}

void WriteDebugLine(const WCHAR* line)
{
    if (g_Run.UnicodeCalls) {
        OutputDebugStringW(line);
        return;
    }
    char ansi[AnsiBufferSize * 2];
    AnsiMarkedText(line, ansi, sizeof ansi);
    OutputDebugStringA(ansi);
}

const WCHAR* TakeCommandLineTail(const char* ansiTail)
{
    if (!g_Run.UnicodeCalls) {
        WideFromAnsi(ansiTail != NULL ? ansiTail : "", g_Run.CommandLineCopy, CommandLineSize);
        return g_Run.CommandLineCopy;
    }
    // The program's name ends at the first blank or control character outside double quotes;
    // the blanks and control characters after it go too, as the start-up removes them from the
    // ANSI tail.
    const WCHAR* p = GetCommandLineW();
    if (p == NULL)
        return WTEXT("");
    int quoted = 0;
    while (*p > ' ' || (*p != 0 && quoted)) {
        if (*p == '"')
            quoted = !quoted;
        p++;
    }
    while (*p != 0 && *p <= ' ')
        p++;
    return p;
}
