#include "RunState.h"

// Static storage: zero-filled before WinMain runs.
RunState g_Run;
