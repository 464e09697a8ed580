// The diagnostics trace: one short line per decision, through OutputDebugStringA, so that a
// user can see with a debug viewer why a run did what it did. Nothing is shown or written.
#ifndef TAVIX_COMMON_TRACE_H
#define TAVIX_COMMON_TRACE_H

// wsprintfA-style format; the line is prefixed with "Tavix: " and cut at about 1000 characters.
void Trace(const char* format, ...);

#endif
