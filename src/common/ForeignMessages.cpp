// Writes and reads: g_Run.Foreign.
#include "ForeignMessages.h"

#include "RunState.h"
#include "SystemText.h"
#include "Text.h"
#include "Trace.h"

static int IsSilentThread(DWORD thread)
{
    for (int i = 0; i < g_Run.Foreign.SilentThreadCount; i++)
        if (g_Run.Foreign.SilentThreads[i] == thread)
            return 1;
    return 0;
}

static void RememberSilentThread(DWORD thread)
{
    ForeignMessageState* state = &g_Run.Foreign;
    if (thread != 0 && state->SilentThreadCount < MaxSilentThreads && !IsSilentThread(thread))
        state->SilentThreads[state->SilentThreadCount++] = thread;
}

// The time a message may still take: the per-message limit, or less when the run's time for
// other programs is nearly used up; 0 when it is.
static DWORD TimeLeft()
{
    ForeignMessageState* state = &g_Run.Foreign;
    DWORD now = GetTickCount();
    if (!state->ClockStarted) {
        state->ClockStarted = 1;
        state->FirstMessageTick = now;
    }
    DWORD spent = now - state->FirstMessageTick;   // unsigned: right across the tick wrap
    if (spent >= (DWORD)ForeignRunLimit)
        return 0;
    DWORD left = (DWORD)ForeignRunLimit - spent;
    return left < (DWORD)ForeignMessageLimit ? left : (DWORD)ForeignMessageLimit;
}

int SendForeignMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* answer)
{
    *answer = 0;
    DWORD thread = GetWindowThreadProcessId(window, NULL);
    if (thread == 0)
        return 0;   // the window is gone
    if (IsSilentThread(thread))
        return 0;
    DWORD limit = TimeLeft();
    if (limit == 0) {
        Trace("messages: the time for other programs is used up; message %04X to %08lX not sent",
              message, (unsigned long)(ULONG_PTR)window);
        return 0;
    }
    DWORD_PTR result = 0;
    LRESULT sent = g_Run.UnicodeCalls
                       ? SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG,
                                             limit, &result)
                       : SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG,
                                             limit, &result);
    if (sent == 0) {
        DWORD error = GetLastError();
        if (IsWindow(window)) {
            RememberSilentThread(thread);
            Trace("messages: window %08lX (thread %lu) did not answer message %04X within %lu ms "
                  "(error %lu)", (unsigned long)(ULONG_PTR)window, (unsigned long)thread, message,
                  (unsigned long)limit, (unsigned long)error);
        }
        return 0;
    }
    *answer = (LRESULT)result;
    return 1;
}

int NotifyForeignWindow(HWND window, UINT message, WPARAM wParam, const LPARAM* lParams,
                        int count)
{
    DWORD thread = GetWindowThreadProcessId(window, NULL);
    if (thread == 0 || IsSilentThread(thread) || TimeLeft() == 0)
        return 0;
    for (int i = 0; i < count; i++)
        if (!SendNotifyMessageW(window, message, wParam, lParams[i]))
            return 0;
    return 1;
}

int ReadForeignText(HWND window, WCHAR* text, int size)
{
    text[0] = 0;
    LRESULT answer;
    if (g_Run.UnicodeCalls) {
        WCHAR area[LineBufferSize];
        if (size > LineBufferSize)
            size = LineBufferSize;
        ZeroMemory(area, sizeof area);
        if (!SendForeignMessage(window, WM_GETTEXT, (WPARAM)size, (LPARAM)area, &answer))
            return 0;
        TextCopyFromArea(text, size, area, size);
        return 1;
    }
    char area[LineBufferSize];
    if (size > LineBufferSize)
        size = LineBufferSize;
    ZeroMemory(area, sizeof area);
    if (!SendForeignMessage(window, WM_GETTEXT, (WPARAM)size, (LPARAM)area, &answer))
        return 0;
    area[size - 1] = '\0';   // the other program may have left it unterminated
    WideFromAnsi(area, text, size);
    return 1;
}
