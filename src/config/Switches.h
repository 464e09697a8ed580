// The command-line switches.
#ifndef TAVIX_CONFIG_SWITCHES_H
#define TAVIX_CONFIG_SWITCHES_H

#include "../common/win32.h"

// Reads /#s=, /#e=, /#e, /#f=, /#f, /#t= and /#t from anywhere in the command line, in any
// letter case. Needs OwnDirectory and DefaultSettingsName.
void ParseSwitches(const WCHAR* commandLine);

#endif
