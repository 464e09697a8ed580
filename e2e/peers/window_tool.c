/*
 * window_tool: does to a window of another program what a user would, and tells which window
 * is in front.
 *
 *   window_tool close HWND-HEX [TIMEOUT-SECONDS]
 *       Posts WM_CLOSE to the window, as its close button would, and waits until the window
 *       is gone, at most the timeout (default 10 s). Lets a test end a program it cannot end
 *       by PID, such as the explorer that Wine's start.exe hands over to a process of its own.
 *   window_tool front HWND-HEX [TIMEOUT-SECONDS]
 *       Makes the window the foreground window and waits until it is, at most the timeout
 *       (default 3 s), so that real clicks land on it rather than on a window above it.
 *   window_tool foreground RESULT-FILE
 *       Writes the handle of the foreground window (hex, 0 when there is none).
 *   window_tool state HWND-HEX RESULT-FILE
 *       Writes "minimized=0|1 maximized=0|1 visible=0|1" for the window (exit code 1 when
 *       there is no such window).
 *   window_tool text HWND-HEX RESULT-FILE
 *       Asks the window for its text with WM_GETTEXT in both forms (SendMessageTimeoutA and
 *       SendMessageTimeoutW, 5 s each), as a program reading another one's address box does,
 *       and writes "key=value" lines: class=<GetClassNameA>, text_hex=<the A answer as hex
 *       bytes>, text_w_hex=<the W answer as UTF-16LE hex bytes> (exit code 1 when there is
 *       no such window or it does not answer).
 *
 * Exit code: 0 when done (a window already gone counts as closed), 1 when the window did not
 * close or come to the front in time, 2 on a usage error or an unwritable result file.
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static HWND ParseHwnd(const char *text)
{
    return (HWND)(ULONG_PTR)strtoul(text, NULL, 16);
}

static DWORD ParseTimeout(int argc, char **argv, DWORD fallbackMs)
{
    return argc > 3 ? (DWORD)(atof(argv[3]) * 1000.0) : fallbackMs;
}

static int Close(HWND hwnd, DWORD timeoutMs)
{
    if (!IsWindow(hwnd))
        return 0;
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    DWORD start = GetTickCount();
    while (IsWindow(hwnd)) {
        if (GetTickCount() - start >= timeoutMs)
            return 1;
        Sleep(20);
    }
    return 0;
}

static int Front(HWND hwnd, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        SetForegroundWindow(hwnd);
        if (GetForegroundWindow() == hwnd)
            return 0;
        if (GetTickCount() - start >= timeoutMs)
            return 1;
        Sleep(20);
    }
}

static int Foreground(const char *path)
{
    char partial[MAX_PATH + 16];
    snprintf(partial, sizeof partial, "%s.part", path);
    FILE *out = fopen(partial, "wb");
    if (!out)
        return 2;
    fprintf(out, "%lx\n", (unsigned long)(ULONG_PTR)GetForegroundWindow());
    fclose(out);
    return MoveFileExA(partial, path, MOVEFILE_REPLACE_EXISTING) ? 0 : 2;
}

static int State(HWND hwnd, const char *path)
{
    if (!IsWindow(hwnd))
        return 1;
    char partial[MAX_PATH + 16];
    snprintf(partial, sizeof partial, "%s.part", path);
    FILE *out = fopen(partial, "wb");
    if (!out)
        return 2;
    fprintf(out, "minimized=%d maximized=%d visible=%d\n", IsIconic(hwnd) ? 1 : 0,
            IsZoomed(hwnd) ? 1 : 0, IsWindowVisible(hwnd) ? 1 : 0);
    fclose(out);
    return MoveFileExA(partial, path, MOVEFILE_REPLACE_EXISTING) ? 0 : 2;
}

static void WriteHex(FILE *out, const unsigned char *bytes, size_t len)
{
    for (size_t i = 0; i < len; i++)
        fprintf(out, "%02x", bytes[i]);
    fputc('\n', out);
}

static int Text(HWND hwnd, const char *path)
{
    static char text[65536];
    static WCHAR textW[32768];
    DWORD_PTR len = 0, lenW = 0;
    if (!IsWindow(hwnd)
        || !SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_ABORTIFHUNG,
                                5000, &len)
        || !SendMessageTimeoutW(hwnd, WM_GETTEXT, sizeof textW / sizeof textW[0], (LPARAM)textW,
                                SMTO_ABORTIFHUNG, 5000, &lenW))
        return 1;
    if (len >= sizeof text)
        len = sizeof text - 1;
    if (lenW >= sizeof textW / sizeof textW[0])
        lenW = sizeof textW / sizeof textW[0] - 1;
    char cls[256] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    char partial[MAX_PATH + 16];
    snprintf(partial, sizeof partial, "%s.part", path);
    FILE *out = fopen(partial, "wb");
    if (!out)
        return 2;
    fprintf(out, "class=%s\ntext_hex=", cls);
    size_t bytes = 0;
    while (bytes < len && text[bytes])
        bytes++;
    WriteHex(out, (const unsigned char *)text, bytes);
    fputs("text_w_hex=", out);
    size_t units = 0;
    while (units < lenW && textW[units])
        units++;
    for (size_t i = 0; i < units; i++)
        fprintf(out, "%02x%02x", textW[i] & 0xff, (textW[i] >> 8) & 0xff);
    fputc('\n', out);
    fclose(out);
    return MoveFileExA(partial, path, MOVEFILE_REPLACE_EXISTING) ? 0 : 2;
}

int main(int argc, char **argv)
{
    if (argc >= 3 && argc <= 4 && strcmp(argv[1], "close") == 0)
        return Close(ParseHwnd(argv[2]), ParseTimeout(argc, argv, 10000));
    if (argc >= 3 && argc <= 4 && strcmp(argv[1], "front") == 0)
        return Front(ParseHwnd(argv[2]), ParseTimeout(argc, argv, 3000));
    if (argc == 3 && strcmp(argv[1], "foreground") == 0)
        return Foreground(argv[2]);
    if (argc == 4 && strcmp(argv[1], "state") == 0)
        return State(ParseHwnd(argv[2]), argv[3]);
    if (argc == 4 && strcmp(argv[1], "text") == 0)
        return Text(ParseHwnd(argv[2]), argv[3]);
    fprintf(stderr, "usage: window_tool close|front HWND-HEX [TIMEOUT-SECONDS]\n"
                    "       window_tool foreground RESULT-FILE\n"
                    "       window_tool state HWND-HEX RESULT-FILE\n"
                    "       window_tool text HWND-HEX RESULT-FILE\n");
    return 2;
}
