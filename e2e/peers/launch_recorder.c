/*
 * launch_recorder: a program that notes how it was started, for tests of a program that
 * starts other programs.
 *
 *   launch_recorder [ANYTHING]
 *
 * A GUI program without a console. It is started by the program under test, which cannot
 * tell it where to write, so it writes one record per start into its own executable's folder,
 * named launch-<creation time, 16 hex digits>-<process id>.rec, and exits. The record holds
 * one "key=value" line each:
 *   format=1
 *   pid=<process id>
 *   created=<the process's creation time: 100 ns units since 1601, decimal>
 *   counter=<QueryPerformanceCounter when the record was made, decimal>
 *   acp=<GetACP()>
 *   show_flag=<1 when the startup info has STARTF_USESHOWWINDOW, else 0>
 *   show=<wShowWindow of the startup info, decimal>
 *   command_line_hex=<GetCommandLineA() as hex bytes>
 *   directory_hex=<GetCurrentDirectoryA() as hex bytes>
 *   module_hex=<GetModuleFileNameA(NULL) as hex bytes>
 *   command_line_w_hex=<GetCommandLineW() as UTF-16LE, hex bytes>
 *   directory_w_hex=<GetCurrentDirectoryW() as UTF-16LE, hex bytes>
 *   module_w_hex=<GetModuleFileNameW(NULL) as UTF-16LE, hex bytes>
 * Hex keeps every byte (quotes, blanks, Shift_JIS) as it was; the wide forms keep what the
 * ANSI code page cannot spell (the A forms hold the system's conversion of it), and every
 * code unit, a lone surrogate too. Creation time, then counter,
 * orders the starts. The record is written as <name>.tmp and renamed without replacing, so a
 * reader never sees a partial record and no earlier record is overwritten.
 *
 * Exit code: 0 when the record was written, 1 when it could not be.
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static char *AppendHex(char *out, const char *key, const char *bytes, size_t len)
{
    static const char digits[] = "0123456789abcdef";
    out += sprintf(out, "%s=", key);
    for (size_t i = 0; i < len; i++) {
        unsigned char c = (unsigned char)bytes[i];
        *out++ = digits[c >> 4];
        *out++ = digits[c & 15];
    }
    *out++ = '\n';
    return out;
}

/* The folder of this executable with a trailing backslash, as UTF-16 so that any folder
   name works, also one that the ANSI code page cannot spell. */
static int OwnFolder(WCHAR *folder, DWORD size)
{
    DWORD len = GetModuleFileNameW(NULL, folder, size);
    if (len == 0 || len >= size)
        return 0;
    while (len > 0 && folder[len - 1] != L'\\')
        len--;
    folder[len] = 0;
    return len > 0;
}

/* A folder (ending in a backslash) joined with an ASCII file name. */
static void FolderFile(WCHAR *out, const WCHAR *folder, const char *name)
{
    size_t len = wcslen(folder);
    memcpy(out, folder, len * sizeof *out);
    while (*name)
        out[len++] = (WCHAR)(unsigned char)*name++;
    out[len] = 0;
}

/* The UTF-16 code units as little-endian hex bytes. */
static char *AppendHexWide(char *out, const char *key, const WCHAR *text, size_t len)
{
    static const char digits[] = "0123456789abcdef";
    out += sprintf(out, "%s=", key);
    for (size_t i = 0; i < len; i++) {
        unsigned unit = text[i];
        *out++ = digits[(unit >> 4) & 15];
        *out++ = digits[unit & 15];
        *out++ = digits[(unit >> 12) & 15];
        *out++ = digits[(unit >> 8) & 15];
    }
    *out++ = '\n';
    return out;
}

static int WriteRecord(const char *record, size_t len, unsigned long long created, DWORD pid)
{
    static WCHAR folder[32768], temp[32768 + 64], final[32768 + 64];
    char name[64];
    if (!OwnFolder(folder, 32768))
        return 0;
    snprintf(name, sizeof name, "launch-%016llx-%lu.rec", created, (unsigned long)pid);
    FolderFile(final, folder, name);
    snprintf(name, sizeof name, "launch-%016llx-%lu.tmp", created, (unsigned long)pid);
    FolderFile(temp, folder, name);
    HANDLE file = CreateFileW(temp, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD written = 0;
    BOOL ok = WriteFile(file, record, (DWORD)len, &written, NULL) && written == len;
    ok = CloseHandle(file) && ok;
    if (ok && MoveFileExW(temp, final, 0))
        return 1;
    DeleteFileW(temp);
    return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showState)
{
    (void)instance; (void)previous; (void)commandLine; (void)showState;

    const char *line = GetCommandLineA();
    size_t lineLen = strlen(line);

    DWORD dirSize = GetCurrentDirectoryA(0, NULL);
    char *dir = malloc(dirSize + 1);
    if (!dir)
        return 1;
    DWORD dirLen = GetCurrentDirectoryA(dirSize + 1, dir);
    if (dirLen == 0 || dirLen > dirSize)
        return 1;

    static char module[32768];
    DWORD moduleLen = GetModuleFileNameA(NULL, module, sizeof module);
    if (moduleLen >= sizeof module)
        return 1;

    const WCHAR *lineW = GetCommandLineW();
    size_t lineWLen = wcslen(lineW);
    DWORD dirWSize = GetCurrentDirectoryW(0, NULL);
    WCHAR *dirW = malloc((dirWSize + 1) * sizeof *dirW);
    if (!dirW)
        return 1;
    DWORD dirWLen = GetCurrentDirectoryW(dirWSize + 1, dirW);
    if (dirWLen == 0 || dirWLen > dirWSize)
        return 1;
    static WCHAR moduleW[32768];
    DWORD moduleWLen = GetModuleFileNameW(NULL, moduleW, 32768);
    if (moduleWLen >= 32768)
        return 1;

    STARTUPINFOA startup;
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);

    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 1;
    unsigned long long createdTime =
        ((unsigned long long)created.dwHighDateTime << 32) | created.dwLowDateTime;
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    DWORD pid = GetCurrentProcessId();

    char *record = malloc(512 + 2 * (lineLen + dirLen + moduleLen)
                          + 4 * (lineWLen + dirWLen + moduleWLen));
    if (!record)
        return 1;
    char *out = record;
    out += sprintf(out, "format=1\npid=%lu\ncreated=%llu\ncounter=%lld\nacp=%u\n",
                   (unsigned long)pid, createdTime, (long long)counter.QuadPart, GetACP());
    out += sprintf(out, "show_flag=%d\nshow=%u\n",
                   (startup.dwFlags & STARTF_USESHOWWINDOW) ? 1 : 0,
                   (unsigned)startup.wShowWindow);
    out = AppendHex(out, "command_line_hex", line, lineLen);
    out = AppendHex(out, "directory_hex", dir, dirLen);
    out = AppendHex(out, "module_hex", module, moduleLen);
    out = AppendHexWide(out, "command_line_w_hex", lineW, lineWLen);
    out = AppendHexWide(out, "directory_w_hex", dirW, dirWLen);
    out = AppendHexWide(out, "module_w_hex", moduleW, moduleWLen);

    return WriteRecord(record, (size_t)(out - record), createdTime, pid) ? 0 : 1;
}
