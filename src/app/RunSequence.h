// The fixed order in which one run calls the subsystems, and what start-up derives from the
// program's own location and the system.
#ifndef TAVIX_APP_RUNSEQUENCE_H
#define TAVIX_APP_RUNSEQUENCE_H

#include "../common/win32.h"

// Performs the whole run for the hidden window and ends by sending it WM_CLOSE.
void RunSequence(HWND window);

// OwnDirectory = drive and directory of the module path; then DetectOsFamily.
void ComputeOwnDirectory();

// IsNtFamily = 0 on Windows 98 and ME, 1 on every other version.
void DetectOsFamily();

#endif
