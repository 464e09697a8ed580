// Starts a configured program through the shell.
#ifndef TAVIX_ACTIONS_PROGRAMLAUNCH_H
#define TAVIX_ACTIONS_PROGRAMLAUNCH_H

#include "../common/win32.h"

// When programPath names an existing file or folder, the shell starts it with parameters in
// the program's own folder; otherwise the shell is asked to open the parameters text itself.
// Returns the shell's result (above 32 on success).
HINSTANCE LaunchProgram(const WCHAR* programPath, const WCHAR* parameters);

#endif
