// Choosing the window to read and starting the output.
#ifndef TAVIX_WINDOW_TARGETDRIVER_H
#define TAVIX_WINDOW_TARGETDRIVER_H

// Tries the foreground window (unless the switch names a program), then the windows of the
// named programs, and hands the first result to the output. Nothing is output when no window
// qualifies.
void SelectTarget();

#endif
