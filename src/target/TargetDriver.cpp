#include "TargetDriver.h"

#include "../common/Trace.h"

// Window search, selection reading and output are not part of this build yet: the run ends
// here without output, as a run that finds no window does.
void SelectTarget()
{
    Trace("target: window search is not available in this build; nothing is output");
}
