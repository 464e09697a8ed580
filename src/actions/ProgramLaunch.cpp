// Writes: g_Run.Parts (through SplitPath).
#include "ProgramLaunch.h"

#include "../common/RunState.h"
#include "../common/SplitPath.h"
#include "../common/SystemText.h"
#include "../common/Text.h"
#include "../common/Trace.h"

HINSTANCE LaunchProgram(const WCHAR* programPath, const WCHAR* parameters)
{
    HINSTANCE result;
    if (FileExists(programPath)) {
        WCHAR directory[PathBufferSize];
        SplitPath(programPath);
        TextJoin(directory, PathBufferSize, g_Run.Parts.Drive, g_Run.Parts.Directory);
        result = ShellOpen(programPath, parameters, directory, SW_SHOWNORMAL);
        Trace("launch: \"%s\" in \"%s\" gives %d", programPath, directory,
              (int)(INT_PTR)result);
    } else if (parameters[0] != 0) {
        // The program has gone since the settings were read: the shell opens the text itself,
        // as a document, folder or program.
        result = ShellOpen(parameters, NULL, NULL, SW_SHOWNORMAL);
        Trace("launch: \"%s\" does not exist; the shell opens the parameter text, which gives %d",
              programPath, (int)(INT_PTR)result);
    } else {
        // An empty text names nothing to open; handing it to the shell would open whatever it
        // takes the empty name for.
        result = (HINSTANCE)(INT_PTR)SE_ERR_FNF;
        Trace("launch: \"%s\" does not exist and the parameter text is empty; nothing is started",
              programPath);
    }
    return result;
}
