#include "Trace.h"

#include <stdarg.h>

#include "win32.h"

void Trace(const char* format, ...)
{
    // wvsprintfA never writes more than 1024 bytes, so the buffer cannot overflow.
    char line[1024 + 8];
    lstrcpyA(line, "Tavix: ");
    va_list args;
    va_start(args, format);
    wvsprintfA(line + 7, format, args);
    va_end(args);
    OutputDebugStringA(line);
}
