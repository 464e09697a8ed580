#include "TextFile.h"

#include "SystemText.h"
#include "Trace.h"

// Larger files are not settings or search-path files; refusing them keeps the size arithmetic
// and the allocations sane.
static const DWORD MaxTextFileSize = 0x40000000;

// The length of the UTF-8 sequence that starts at bytes[i] when it is a valid one (shortest
// form, no surrogate, at most U+10FFFF), else 0; *code is the character.
static int Utf8Sequence(const BYTE* bytes, DWORD size, DWORD i, DWORD* code)
{
    BYTE lead = bytes[i];
    int length;
    DWORD value;
    if (lead < 0x80) {
        *code = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
    } else {
        return 0;
    }
    if (size - i < (DWORD)length)
        return 0;
    for (int k = 1; k < length; k++) {
        if ((bytes[i + k] & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (bytes[i + k] & 0x3F);
    }
    if ((length == 3 && (value < 0x800 || (value >= 0xD800 && value <= 0xDFFF))) ||
        (length == 4 && (value < 0x10000 || value > 0x10FFFF)))
        return 0;
    *code = value;
    return length;
}

int DetectTextEncoding(const BYTE* bytes, DWORD size, DWORD* skip)
{
    *skip = 0;
    if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        *skip = 3;
        return TextUtf8;
    }
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        *skip = 2;
        return TextUtf16;
    }
    int multiByte = 0;
    for (DWORD i = 0; i < size;) {
        DWORD code;
        int length = Utf8Sequence(bytes, size, i, &code);
        if (length == 0)
            return TextAnsi;
        if (length > 1)
            multiByte = 1;
        i += (DWORD)length;
    }
    return multiByte ? TextUtf8 : TextAnsi;
}

// UTF-8 to UTF-16; a byte that starts no valid sequence becomes U+FFFD. Returns the number of
// units written (never more than the number of bytes).
static DWORD DecodeUtf8(const BYTE* bytes, DWORD size, WCHAR* text)
{
    DWORD n = 0;
    for (DWORD i = 0; i < size;) {
        DWORD code;
        int length = Utf8Sequence(bytes, size, i, &code);
        if (length == 0) {
            code = 0xFFFD;
            length = 1;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            text[n++] = (WCHAR)(0xD800 + (code >> 10));
            text[n++] = (WCHAR)(0xDC00 + (code & 0x3FF));
        } else {
            text[n++] = (WCHAR)code;
        }
        i += (DWORD)length;
    }
    return n;
}

// The text of the file's bytes, in a block of its own.
static int DecodeTextFile(const BYTE* bytes, DWORD size, WCHAR** text, DWORD* length)
{
    DWORD skip;
    int encoding = DetectTextEncoding(bytes, size, &skip);
    bytes += skip;
    size -= skip;
    // Every byte gives at most one UTF-16 unit (a four-byte UTF-8 sequence gives two).
    DWORD capacity = encoding == TextUtf16 ? size / 2 : size;
    WCHAR* block = (WCHAR*)GlobalAlloc(GPTR, ((SIZE_T)capacity + 1) * sizeof(WCHAR));
    if (block == NULL) {
        Trace("file: no memory for %lu characters", (unsigned long)capacity);
        return TextFileNotRead;
    }
    DWORD n = 0;
    if (encoding == TextUtf16) {
        for (; n < capacity; n++)
            block[n] = (WCHAR)(bytes[2 * n] | (bytes[2 * n + 1] << 8));
    } else if (encoding == TextUtf8) {
        n = DecodeUtf8(bytes, size, block);
    } else if (size > 0) {
        int converted = MultiByteToWideChar(CP_ACP, 0, (const char*)bytes, (int)size, block,
                                            (int)capacity);
        n = converted > 0 ? (DWORD)converted : 0;
    }
    block[n] = 0;
    Trace("file: %lu bytes read as %hs text", (unsigned long)(size + skip),
          encoding == TextUtf16 ? "UTF-16" : encoding == TextUtf8 ? "UTF-8" : "ANSI");
    *text = block;
    *length = n;
    return TextFileRead;
}

static int ReadOpenedFile(HANDLE file, WCHAR** text, DWORD* length)
{
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    // INVALID_FILE_SIZE (a failure) is above the limit as well.
    if (high != 0 || size >= MaxTextFileSize) {
        Trace("file: its size cannot be taken or is too large");
        return TextFileNotRead;
    }
    BYTE* bytes = (BYTE*)GlobalAlloc(GPTR, size + 1);
    if (bytes == NULL) {
        Trace("file: no memory for %lu bytes", (unsigned long)size);
        return TextFileNotRead;
    }
    DWORD got = 0;
    int result;
    if (!ReadFile(file, bytes, size, &got, NULL) || got != size) {
        Trace("file: read %lu of %lu bytes", (unsigned long)got, (unsigned long)size);
        result = TextFileNotRead;
    } else {
        result = DecodeTextFile(bytes, size, text, length);
    }
    GlobalFree(bytes);
    return result;
}

int ReadTextFile(const WCHAR* path, DWORD disposition, WCHAR** text, DWORD* length)
{
    *text = NULL;
    *length = 0;
    HANDLE file = OpenFileNamed(path, GENERIC_READ, FILE_SHARE_READ, disposition);
    if (file == INVALID_HANDLE_VALUE) {
        Trace("file: cannot open \"%s\" (error %lu)", path, (unsigned long)GetLastError());
        return TextFileNotOpened;
    }
    int result = ReadOpenedFile(file, text, length);
    CloseHandle(file);
    return result;
}

void ReleaseTextFile(WCHAR* text)
{
    if (text != NULL)
        GlobalFree(text);
}
