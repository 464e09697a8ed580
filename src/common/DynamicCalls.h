// Functions that not every Windows version exports, looked up by name at run time. Each
// caller decides what a missing function means for it.
#ifndef TAVIX_COMMON_DYNAMICCALLS_H
#define TAVIX_COMMON_DYNAMICCALLS_H

#include "win32.h"

typedef LPVOID(WINAPI* VirtualAllocExCall)(HANDLE, LPVOID, SIZE_T, DWORD, DWORD);
typedef BOOL(WINAPI* VirtualFreeExCall)(HANDLE, LPVOID, SIZE_T, DWORD);
typedef BOOL(WINAPI* EnumProcessModulesCall)(HANDLE, HMODULE*, DWORD, LPDWORD);
typedef DWORD(WINAPI* GetModuleFileNameExWCall)(HANDLE, HMODULE, LPWSTR, DWORD);
typedef BOOL(WINAPI* QueryFullProcessImageNameWCall)(HANDLE, DWORD, LPWSTR, PDWORD);
typedef HANDLE(WINAPI* CreateToolhelp32SnapshotCall)(DWORD, DWORD);
typedef BOOL(WINAPI* Process32Call)(HANDLE, LPPROCESSENTRY32);
typedef BOOL(WINAPI* IsWow64ProcessCall)(HANDLE, PBOOL);
typedef BOOL(WINAPI* IsDebuggerPresentCall)(void);
typedef BOOL(WINAPI* Wow64DisableRedirectionCall)(PVOID*);
typedef BOOL(WINAPI* Wow64RevertRedirectionCall)(PVOID);
typedef HRESULT(WINAPI* CoInitializeExCall)(LPVOID, DWORD);
typedef void(WINAPI* CoUninitializeCall)(void);
typedef HRESULT(WINAPI* CoCreateInstanceCall)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
typedef void(WINAPI* CoTaskMemFreeCall)(LPVOID);
typedef BOOL(WINAPI* SHGetPathFromIDListWCall)(PCIDLIST_ABSOLUTE, LPWSTR);
typedef BOOL(WINAPI* SHGetSpecialFolderPathWCall)(HWND, LPWSTR, int, BOOL);
typedef HINSTANCE(WINAPI* ShellExecuteWCall)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);

// kernel32 (NT family only): memory in another process.
struct RemoteMemoryCalls {
    VirtualAllocExCall Allocate;
    VirtualFreeExCall Release;
};

// PSAPI.DLL, loaded for the caller, which frees it with FreePsapi. Only the NT family has it,
// so its wide function is the one taken.
struct PsapiCalls {
    HMODULE Library;
    EnumProcessModulesCall EnumProcessModules;
    GetModuleFileNameExWCall GetModuleFileNameExW;
};

// kernel32 (Windows 98/ME, NT 5.0 and later): the Tool Help process list.
struct ToolHelpCalls {
    CreateToolhelp32SnapshotCall CreateSnapshot;
    Process32Call First;
    Process32Call Next;
};

// 1 when both were found in the already loaded kernel32.
int FindRemoteMemoryCalls(RemoteMemoryCalls* calls);

// OLE32.DLL, loaded only when the shell is asked about one of its windows: most runs never
// need it, and loading it would cost every start. Freed with FreeOle.
struct OleCalls {
    HMODULE Library;
    CoInitializeExCall Initialize;
    CoUninitializeCall Uninitialize;
    CoCreateInstanceCall CreateInstance;
    CoTaskMemFreeCall FreeTaskMemory;
};

// 1 when OLE32.DLL loaded and all four functions were found; else nothing is left loaded.
int LoadOle(OleCalls* calls);
void FreeOle(OleCalls* calls);

// shell32's SHGetPathFromIDListW (every version exports it; it is looked up so that the
// program's imports stay those of the oldest systems), or NULL.
SHGetPathFromIDListWCall FindPathFromIdList();

// 1 when PSAPI.DLL loaded and both functions were found; else nothing is left loaded.
int LoadPsapi(PsapiCalls* calls);
void FreePsapi(PsapiCalls* calls);

// 1 when all three were found.
int FindToolHelpCalls(ToolHelpCalls* calls);

// kernel32 of Windows Vista and later; NULL elsewhere.
QueryFullProcessImageNameWCall FindQueryFullProcessImageName();

// shell32's wide functions, looked up so that the program still loads where shell32 has only
// the ANSI ones (Windows 95 and 98 without a newer shell); NULL where they are missing.
SHGetSpecialFolderPathWCall FindSpecialFolderPathW();
ShellExecuteWCall FindShellExecuteW();

// kernel32's IsWow64Process (Windows XP SP2 and later), or NULL.
IsWow64ProcessCall FindIsWow64Process();

// kernel32 (Windows 98 and later, the NT family): whether a debugger is attached.
IsDebuggerPresentCall FindIsDebuggerPresent();

// A 32-bit program on 64-bit Windows sees the 32-bit system folder under the name of the
// 64-bit one; these switch that off and on again around reading another program's image
// file. Where redirection does not exist they do nothing.
void PauseFileRedirection(PVOID* previous, int* paused);
void ResumeFileRedirection(PVOID previous, int paused);

#endif
