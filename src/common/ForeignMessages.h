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

// Hands the window count messages, one for each of lParams, without waiting for them to be
// handled (SendNotifyMessageW): the window's thread handles them in order before any message
// sent to that thread later, so a message sent with SendForeignMessage afterwards comes back
// only when these have been handled. No answers come back. The limits of SendForeignMessage are
// checked once, before the first. 1 when every message was handed over, 0 when not (some may
// have been).
int NotifyForeignWindow(HWND window, UINT message, WPARAM wParam, const LPARAM* lParams,
                        int count);

// The text of another program's control (WM_GETTEXT) in a buffer of size characters, taken only
// up to the end of the buffer whether or not the other program ended it. 1 when the control
// answered; 0, with the empty text, when it did not.
int ReadForeignText(HWND window, WCHAR* text, int size);

#endif
