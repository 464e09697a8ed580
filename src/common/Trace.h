// The diagnostics trace: one short line per decision, through OutputDebugString, so that a user
// can see with a debug viewer why a run did what it did. Nothing is shown or written. On the NT
// family the lines go out in UTF-16 (OutputDebugStringW), so every name reads as it is; on
// Windows 98/ME in the ANSI code page.
#ifndef TAVIX_COMMON_TRACE_H
#define TAVIX_COMMON_TRACE_H

// A wsprintfW-style format written in ASCII: %s takes a WCHAR text, %hs a char one. The line
// is prefixed with "Tavix: " and cut at about 1000 characters.
void Trace(const char* format, ...);

// With many items, a line for each would cost more than the rest of the run (every line is a
// round trip through the system), so only the first TraceItemLimit items of a list get their
// own line, unless a debugger or a debug viewer listens; the rest are summed up in one line.
enum { TraceItemLimit = 20 };

// Notes at the start whether a debugger is attached or a debug viewer is waiting for lines.
void DetectTraceListener();

// 1 when the item with this 0-based position in its list gets its own line.
int TraceThisItem(int position);

// The summary line for a list of count items, when some had no line of their own: "what: N
// more ...".
void TraceItemsLeftOut(const char* what, int count);

#endif
