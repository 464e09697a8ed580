// The image file of another process, from its process id.
#ifndef TAVIX_WINDOW_PROCESSIMAGE_H
#define TAVIX_WINDOW_PROCESSIMAGE_H

#include "../common/win32.h"

// NT family: result (PathBufferSize characters) = the full path of the process's main image,
// from QueryFullProcessImageNameW where the system has it, else from PSAPI; the empty text on
// failure.
void ProcessImagePathNt(DWORD processId, WCHAR* result);

// Windows 98/ME: result = the image path from the Tool Help process list, or the empty text.
void ProcessImagePath9x(DWORD processId, WCHAR* result);

// The variant for the running system's family.
void ProcessImagePath(DWORD processId, WCHAR* result);

#endif
