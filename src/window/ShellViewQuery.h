// Asking the shell which folder one of its folder windows shows and which items are selected
// in it, through the shell's list of its windows. Explorer since Windows 7 shows its items in
// a control that no other program can read, and names the folder only in a breadcrumb bar;
// the shell itself still knows both.
#ifndef TAVIX_WINDOW_SHELLVIEWQUERY_H
#define TAVIX_WINDOW_SHELLVIEWQUERY_H

#include "../common/win32.h"

// Milliseconds the program waits for the shell's answer about one window.
enum { ShellAnswerTimeout = 3000 };

// 1 for the class names of the shell's folder windows, and for a window of such a class.
int IsShellFolderClass(const WCHAR* className);
int IsShellFolderWindow(HWND window);

// Asks the shell about the window (with its selected items when withItems is 1) on a worker
// thread of its own, waiting at most ShellAnswerTimeout; fills g_Run.ShellView and gives a
// ShellAnswers value. After a time-out the shell is not asked again in this run.
int AskShell(HWND window, int withItems);

// A text for the trace for a ShellPathStatus value.
const char* ShellPathStatusText(int status);

#endif
