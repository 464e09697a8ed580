// Reads: g_Run.IsNtFamily.
#include "ProcessImage.h"

#include "../common/DynamicCalls.h"
#include "../common/RunState.h"
#include "../common/SystemText.h"
#include "../common/Text.h"

// PROCESS_ALL_ACCESS as headers before Windows Vista define it.
static const DWORD ProcessAllAccessXp = 0x1F0FFF;

static int ImageFromPsapi(const PsapiCalls* psapi, HANDLE process, WCHAR* result)
{
    HMODULE module = NULL;
    DWORD needed = 0;
    // The first module reported is the process's main executable.
    if (!psapi->EnumProcessModules(process, &module, sizeof module, &needed))
        return 0;
    WCHAR path[PathBufferSize];
    ZeroMemory(path, sizeof path);
    if (psapi->GetModuleFileNameExW(process, module, path, PathBufferSize) == 0)
        return 0;
    TextCopyFromArea(result, PathBufferSize, path, PathBufferSize);
    return result[0] != 0;
}

static int ImageFromQuery(QueryFullProcessImageNameWCall query, HANDLE process, WCHAR* result)
{
    WCHAR path[PathBufferSize];
    ZeroMemory(path, sizeof path);
    DWORD size = PathBufferSize;
    if (!query(process, 0, path, &size))
        return 0;
    TextCopyFromArea(result, PathBufferSize, path, PathBufferSize);
    return result[0] != 0;
}

static int ImageFromLoadedPsapi(HANDLE process, WCHAR* result)
{
    PsapiCalls psapi;
    if (!LoadPsapi(&psapi))
        return 0;
    int found = ImageFromPsapi(&psapi, process, result);
    FreePsapi(&psapi);
    return found;
}

// Where the system answers QueryFullProcessImageNameW (Windows Vista and later) it is asked
// first: it lives in kernel32, while loading and freeing PSAPI.DLL for every window looked at
// was most of the time a run took. PSAPI remains the way on older systems, and the fallback.
void ProcessImagePathNt(DWORD processId, WCHAR* result)
{
    result[0] = 0;
    QueryFullProcessImageNameWCall query = FindQueryFullProcessImageName();
    HANDLE process = OpenProcess(ProcessAllAccessXp, FALSE, processId);
    if (process == NULL)
        return;
    if (!(query != NULL && ImageFromQuery(query, process, result)) &&
        !ImageFromLoadedPsapi(process, result))
        result[0] = 0;
    CloseHandle(process);
}

void ProcessImagePath9x(DWORD processId, WCHAR* result)
{
    result[0] = 0;
    ToolHelpCalls toolHelp;
    if (!FindToolHelpCalls(&toolHelp))
        return;
    HANDLE snapshot = toolHelp.CreateSnapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32 entry;
    ZeroMemory(&entry, sizeof entry);
    entry.dwSize = sizeof entry;
    for (BOOL more = toolHelp.First(snapshot, &entry); more; more = toolHelp.Next(snapshot, &entry)) {
        if (entry.th32ProcessID == processId) {
            entry.szExeFile[sizeof entry.szExeFile - 1] = '\0';
            WideFromAnsi(entry.szExeFile, result, PathBufferSize);
            break;
        }
    }
    CloseHandle(snapshot);
}

void ProcessImagePath(DWORD processId, WCHAR* result)
{
    if (g_Run.IsNtFamily)
        ProcessImagePathNt(processId, result);
    else
        ProcessImagePath9x(processId, result);
}
