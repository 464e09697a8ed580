/*
 * file_holder: keeps a file open without sharing, so that nobody else can open it.
 *
 *   file_holder FILE READY-FILE RELEASE-FILE [TIMEOUT-SECONDS]
 *
 * Opens FILE for reading and writing with share mode 0, then creates READY-FILE holding
 * "held" (or "failed <error code>" when the open did not succeed). It keeps the file open until
 * RELEASE-FILE exists or the timeout (default 20 s) has passed, then closes it and exits.
 * Exit code: 0 after a release, 1 after the timeout, 2 when the file could not be opened.
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

static void WriteReady(const char *path, const char *text)
{
    char partial[MAX_PATH + 16];
    snprintf(partial, sizeof partial, "%s.part", path);
    FILE *f = fopen(partial, "wb");
    if (!f)
        return;
    fputs(text, f);
    fclose(f);
    /* Renamed into place so that the waiting side never reads an empty marker. */
    MoveFileExA(partial, path, MOVEFILE_REPLACE_EXISTING);
}

int main(int argc, char **argv)
{
    if (argc < 4 || argc > 5) {
        fprintf(stderr, "usage: file_holder FILE READY-FILE RELEASE-FILE [TIMEOUT-SECONDS]\n");
        return 2;
    }
    DWORD timeoutMs = argc == 5 ? (DWORD)(atof(argv[4]) * 1000.0) : 20000;

    HANDLE held = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (held == INVALID_HANDLE_VALUE) {
        char text[64];
        snprintf(text, sizeof text, "failed %lu", (unsigned long)GetLastError());
        WriteReady(argv[2], text);
        return 2;
    }
    WriteReady(argv[2], "held");

    int rc = 1;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        if (GetFileAttributesA(argv[3]) != INVALID_FILE_ATTRIBUTES) {
            rc = 0;
            break;
        }
        Sleep(20);
    }
    CloseHandle(held);
    return rc;
}
