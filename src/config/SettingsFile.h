// Finding, reading and parsing the settings file.
#ifndef TAVIX_CONFIG_SETTINGSFILE_H
#define TAVIX_CONFIG_SETTINGSFILE_H

#include "../common/win32.h"

// Returns 1 when the run may go on (also for an empty file), 0 after the settings error box,
// which is owned by window.
int LoadSettings(HWND window);

#endif
