// The diagnostics trace: one short line per decision, through OutputDebugString, so that a user
// can see with a debug viewer why a run did what it did. Nothing is shown or written. On the NT
// family the lines go out in UTF-16 (OutputDebugStringW), so every name reads as it is; on
// Windows 98/ME in the ANSI code page.
#ifndef TAVIX_COMMON_TRACE_H
#define TAVIX_COMMON_TRACE_H

// A wsprintfW-style format written in ASCII: %s takes a WCHAR text, %hs a char one. The line
// is prefixed with "Tavix: " and cut at about 1000 characters.
void Trace(const char* format, ...);

#endif
