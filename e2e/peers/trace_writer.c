/*
 * trace_writer: writes lines through the debug-output functions, so that a test can check how
 * they come out of Wine's debug channels.
 *
 *   trace_writer FILE
 *
 * FILE holds UTF-8 text; each line (ending in LF, a CR before it dropped) is one call:
 * a line starting with "A " is passed, after those two characters, to OutputDebugStringA
 * converted to the ANSI code page (what the code page lacks becomes the system's default
 * character); every other line is passed whole to OutputDebugStringW. Invalid UTF-8 ends the
 * program with exit code 2 before the first call.
 *
 * Exit code: 0 when every line was written, 2 on a usage error or a file that cannot be read.
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static WCHAR *Widen(const char *text, size_t len)
{
    int n = len ? MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, (int)len, NULL, 0) : 0;
    if (len && n == 0)
        return NULL;
    WCHAR *wide = malloc(((size_t)n + 1) * sizeof *wide);
    if (!wide)
        return NULL;
    if (n)
        MultiByteToWideChar(CP_UTF8, 0, text, (int)len, wide, n);
    wide[n] = 0;
    return wide;
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: trace_writer FILE\n");
        return 2;
    }
    FILE *f = fopen(argv[1], "rb");
    if (!f)
        return 2;
    static char data[1 << 16];
    size_t len = fread(data, 1, sizeof data - 1, f);
    fclose(f);
    data[len] = 0;
    if (len && !Widen(data, len)) {
        fprintf(stderr, "trace_writer: %s is not valid UTF-8\n", argv[1]);
        return 2;
    }
    for (char *line = data; *line;) {
        char *end = strchr(line, '\n');
        char *next = end ? end + 1 : line + strlen(line);
        size_t lineLen = (size_t)((end ? end : next) - line);
        if (lineLen && line[lineLen - 1] == '\r')
            lineLen--;
        int ansi = lineLen >= 2 && line[0] == 'A' && line[1] == ' ';
        WCHAR *wide = ansi ? Widen(line + 2, lineLen - 2) : Widen(line, lineLen);
        if (!wide)
            return 2;
        if (ansi) {
            int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, NULL, 0, NULL, NULL);
            char *bytes = malloc(n ? (size_t)n : 1);
            if (!bytes)
                return 2;
            bytes[0] = 0;
            WideCharToMultiByte(CP_ACP, 0, wide, -1, bytes, n, NULL, NULL);
            OutputDebugStringA(bytes);
            free(bytes);
        } else {
            OutputDebugStringW(wide);
        }
        free(wide);
        line = next;
    }
    return 0;
}
