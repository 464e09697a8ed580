#include "Trace.h"

#include <stdarg.h>

#include "DynamicCalls.h"
#include "RunState.h"
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

// A debug viewer waits for lines on this event (the buffer that OutputDebugString fills is
// free).
static int DebugViewerListening()
{
    HANDLE ready = g_Run.UnicodeCalls ? OpenEventW(SYNCHRONIZE, FALSE, WTEXT("DBWIN_BUFFER_READY"))
                                      : OpenEventA(SYNCHRONIZE, FALSE, "DBWIN_BUFFER_READY");
    if (ready == NULL)
        return 0;
    CloseHandle(ready);
    return 1;
}

void DetectTraceListener()
{
    IsDebuggerPresentCall debugged = FindIsDebuggerPresent();
    g_Run.TraceListening = (debugged != NULL && debugged()) || DebugViewerListening();
}

int TraceThisItem(int position)
{
    return position < TraceItemLimit || g_Run.TraceListening;
}

void TraceItemsLeftOut(const char* what, int count)
{
    if (count > TraceItemLimit && !g_Run.TraceListening)
        Trace("%hs: %d more, without a line each (every one has its line while a debugger or "
              "debug viewer listens)", what, count - TraceItemLimit);
}
