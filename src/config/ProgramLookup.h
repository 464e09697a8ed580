// Turning a program name from the settings file into the full path of an existing file, and
// reading a search-path file.
#ifndef TAVIX_CONFIG_PROGRAMLOOKUP_H
#define TAVIX_CONFIG_PROGRAMLOOKUP_H

#include "../common/win32.h"

// Looks name up: as written, as name + ".exe" (when allowExe), along the search path, then
// along the system's search order. Writes the full path found, or name unchanged when nothing
// was found, into result (a buffer of LineBufferSize bytes) and sets g_Run.ProgramFound.
void LookUpProgram(const WCHAR* name, int allowExe, WCHAR* result);

// Sets SearchPathText from a search-path file: the rest of the line after its first "path=",
// or, without one, the whole file with line ends removed. SearchPathPresent is 1 only when the
// file gave at least one character.
void ReadSearchPathFile(const WCHAR* path);

#endif
