// The image file of another process, from its process id.
#ifndef TAVIX_WINDOW_PROCESSIMAGE_H
#define TAVIX_WINDOW_PROCESSIMAGE_H

#include "../common/win32.h"

// NT family: result (PathBufferSize bytes) = the full path of the process's main image, from
// PSAPI, or from QueryFullProcessImageNameA where PSAPI gives nothing (a 32-bit program asking
// about a 64-bit process); the empty text on failure.
void ProcessImagePathNt(DWORD processId, char* result);

// Windows 98/ME: result = the image path from the Tool Help process list, or the empty text.
void ProcessImagePath9x(DWORD processId, char* result);

// The variant for the running system's family.
void ProcessImagePath(DWORD processId, char* result);

#endif
