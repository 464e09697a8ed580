// Messages to windows of other programs. Such a program may have stopped answering, so every
// message is sent with a time-out, and the run as a whole waits on other programs for a few
// seconds at most.
#ifndef TAVIX_COMMON_FOREIGNMESSAGES_H
#define TAVIX_COMMON_FOREIGNMESSAGES_H

#include "win32.h"

enum {
    ForeignMessageLimit = 1500,   // ms one message may take
    ForeignRunLimit = 6000        // ms from the first message after which none is sent any more
};

// Sends the message and waits for the answer, within the limits. Returns 1 with *answer set
// when the window answered; 0 when it did not (it timed out, its thread let an earlier message
// time out, the run's time for other programs is used up, or the window is gone).
int SendForeignMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* answer);

// The text of another program's control (WM_GETTEXT) in a buffer of size characters, taken only
// up to the end of the buffer whether or not the other program ended it. 1 when the control
// answered; 0, with the empty text, when it did not.
int ReadForeignText(HWND window, WCHAR* text, int size);

#endif
