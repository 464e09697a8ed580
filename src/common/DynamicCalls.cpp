#include "DynamicCalls.h"

// GetProcAddress gives a generic function pointer; the cast goes through void* because the
// real signature is known only here.
template <typename Call>
static Call Lookup(HMODULE module, const char* name)
{
    if (module == NULL)
        return NULL;
    return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

static HMODULE Kernel()
{
    // kernel32 is loaded in every process; it is not loaded or released here.
    return GetModuleHandleA("kernel32.dll");
}

// shell32 is loaded with the program (it imports ShellExecuteA), so it is not loaded or freed
// here.
static HMODULE ShellModule()
{
    return GetModuleHandleA("shell32.dll");
}

int FindRemoteMemoryCalls(RemoteMemoryCalls* calls)
{
    HMODULE kernel = Kernel();
    calls->Allocate = Lookup<VirtualAllocExCall>(kernel, "VirtualAllocEx");
    calls->Release = Lookup<VirtualFreeExCall>(kernel, "VirtualFreeEx");
    return calls->Allocate != NULL && calls->Release != NULL;
}

int LoadPsapi(PsapiCalls* calls)
{
    calls->EnumProcessModules = NULL;
    calls->GetModuleFileNameExW = NULL;
    calls->Library = LoadLibraryA("PSAPI.DLL");
    if (calls->Library == NULL)
        return 0;
    calls->EnumProcessModules = Lookup<EnumProcessModulesCall>(calls->Library, "EnumProcessModules");
    calls->GetModuleFileNameExW =
        Lookup<GetModuleFileNameExWCall>(calls->Library, "GetModuleFileNameExW");
    if (calls->EnumProcessModules == NULL || calls->GetModuleFileNameExW == NULL) {
        FreePsapi(calls);
        return 0;
    }
    return 1;
}

void FreePsapi(PsapiCalls* calls)
{
    if (calls->Library != NULL)
        FreeLibrary(calls->Library);
    calls->Library = NULL;
}

int LoadOle(OleCalls* calls)
{
    calls->Library = LoadLibraryA("OLE32.DLL");
    if (calls->Library == NULL)
        return 0;
    calls->Initialize = Lookup<CoInitializeExCall>(calls->Library, "CoInitializeEx");
    calls->Uninitialize = Lookup<CoUninitializeCall>(calls->Library, "CoUninitialize");
    calls->CreateInstance = Lookup<CoCreateInstanceCall>(calls->Library, "CoCreateInstance");
    calls->FreeTaskMemory = Lookup<CoTaskMemFreeCall>(calls->Library, "CoTaskMemFree");
    if (calls->Initialize == NULL || calls->Uninitialize == NULL || calls->CreateInstance == NULL ||
        calls->FreeTaskMemory == NULL) {
        FreeOle(calls);
        return 0;
    }
    return 1;
}

void FreeOle(OleCalls* calls)
{
    if (calls->Library != NULL)
        FreeLibrary(calls->Library);
    calls->Library = NULL;
}

SHGetPathFromIDListWCall FindPathFromIdList()
{
    return Lookup<SHGetPathFromIDListWCall>(ShellModule(), "SHGetPathFromIDListW");
}

int FindToolHelpCalls(ToolHelpCalls* calls)
{
    HMODULE kernel = Kernel();
    calls->CreateSnapshot = Lookup<CreateToolhelp32SnapshotCall>(kernel, "CreateToolhelp32Snapshot");
    calls->First = Lookup<Process32Call>(kernel, "Process32First");
    calls->Next = Lookup<Process32Call>(kernel, "Process32Next");
    return calls->CreateSnapshot != NULL && calls->First != NULL && calls->Next != NULL;
}

QueryFullProcessImageNameWCall FindQueryFullProcessImageName()
{
    return Lookup<QueryFullProcessImageNameWCall>(Kernel(), "QueryFullProcessImageNameW");
}

SHGetSpecialFolderPathWCall FindSpecialFolderPathW()
{
    return Lookup<SHGetSpecialFolderPathWCall>(ShellModule(), "SHGetSpecialFolderPathW");
}

ShellExecuteWCall FindShellExecuteW()
{
    return Lookup<ShellExecuteWCall>(ShellModule(), "ShellExecuteW");
}

IsWow64ProcessCall FindIsWow64Process()
{
    return Lookup<IsWow64ProcessCall>(Kernel(), "IsWow64Process");
}

IsDebuggerPresentCall FindIsDebuggerPresent()
{
    return Lookup<IsDebuggerPresentCall>(Kernel(), "IsDebuggerPresent");
}

void PauseFileRedirection(PVOID* previous, int* paused)
{
    *previous = NULL;
    *paused = 0;
    if (sizeof(void*) != 4)
        return;   // a 64-bit program sees every folder under its own name
    Wow64DisableRedirectionCall disable =
        Lookup<Wow64DisableRedirectionCall>(Kernel(), "Wow64DisableWow64FsRedirection");
    if (disable != NULL && disable(previous))
        *paused = 1;
}

void ResumeFileRedirection(PVOID previous, int paused)
{
    if (!paused)
        return;
    Wow64RevertRedirectionCall revert =
        Lookup<Wow64RevertRedirectionCall>(Kernel(), "Wow64RevertWow64FsRedirection");
    if (revert != NULL)
        revert(previous);
}
