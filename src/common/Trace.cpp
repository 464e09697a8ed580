#include "Trace.h"

#include <stdarg.h>

#include "SystemText.h"

enum { FormatSize = 512, LineSize = 1024 + 8 };

void Trace(const char* format, ...)
{
    // The formats are ASCII, so each byte is its own UTF-16 character.
    WCHAR wideFormat[FormatSize];
    int n = 0;
    for (; format[n] != '\0' && n < FormatSize - 1; n++)
        wideFormat[n] = (WCHAR)(BYTE)format[n];
    wideFormat[n] = 0;

    // wvsprintfW never writes more than 1024 characters, so the line cannot overflow.
    WCHAR line[LineSize];
    const WCHAR prefix[] = WTEXT("Tavix: ");
    for (n = 0; prefix[n] != 0; n++)
        line[n] = prefix[n];
    line[n] = 0;
    va_list args;
    va_start(args, format);
    wvsprintfW(line + n, wideFormat, args);
    va_end(args);
    WriteDebugLine(line);
}
