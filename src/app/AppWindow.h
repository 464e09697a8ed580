// The hidden window that carries a run, and its class.
#ifndef TAVIX_APP_APPWINDOW_H
#define TAVIX_APP_APPWINDOW_H

#include "../common/win32.h"

// Returns the class atom, or 0 when the class cannot be registered.
ATOM RegisterAppWindowClass(HINSTANCE instance, const WCHAR* className);

// Creates the hidden top-most tool window. The whole run happens inside this call, while the
// window handles WM_CREATE. Returns 1 when a window was created and still exists, else 0.
int CreateAppWindow(HINSTANCE instance, const WCHAR* className);

LRESULT CALLBACK AppWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif
