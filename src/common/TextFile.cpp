#include "TextFile.h"

#include "Trace.h"

// Larger files are not settings or search-path files; refusing them keeps the size + 1
// arithmetic and the allocation sane.
static const DWORD MaxTextFileSize = 0x40000000;

static int ReadOpenedFile(HANDLE file, char** text, DWORD* length)
{
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    // INVALID_FILE_SIZE (a failure) is above the limit as well.
    if (high != 0 || size >= MaxTextFileSize) {
        Trace("file: its size cannot be taken or is too large");
        return TextFileNotRead;
    }
    char* block = (char*)GlobalAlloc(GPTR, size + 1);
    if (block == NULL) {
        Trace("file: no memory for %lu bytes", (unsigned long)size);
        return TextFileNotRead;
    }
    DWORD got = 0;
    if (!ReadFile(file, block, size, &got, NULL) || got != size) {
        Trace("file: read %lu of %lu bytes", (unsigned long)got, (unsigned long)size);
        GlobalFree(block);
        return TextFileNotRead;
    }
    *text = block;
    *length = size;
    return TextFileRead;
}

int ReadTextFile(const char* path, DWORD disposition, char** text, DWORD* length)
{
    *text = NULL;
    *length = 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, disposition,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        Trace("file: cannot open \"%s\" (error %lu)", path, (unsigned long)GetLastError());
        return TextFileNotOpened;
    }
    int result = ReadOpenedFile(file, text, length);
    CloseHandle(file);
    return result;
}

void ReleaseTextFile(char* text)
{
    if (text != NULL)
        GlobalFree(text);
}
