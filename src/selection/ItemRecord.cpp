#include "ItemRecord.h"

#include "../common/DynamicCalls.h"
#include "../common/RunState.h"
#include "../common/SystemText.h"
#include "../common/Trace.h"
#include "../window/ProcessImage.h"

static const ItemRecordLayout Layout32 = {40, 20, 4, 24};
// mask, iItem, iSubItem, state, stateMask, 4 bytes of padding, pszText, cchTextMax, iImage,
// lParam, iIndent, padding to a multiple of 8.
static const ItemRecordLayout Layout64 = {56, 24, 8, 32};

const ItemRecordLayout* ItemRecordLayoutFor(int is64Bit)
{
    return is64Bit ? &Layout64 : &Layout32;
}

// Little-endian stores, whatever the alignment.
static void PutBytes(BYTE* at, ULONG64 value, int size)
{
    for (int i = 0; i < size; i++)
        at[i] = (BYTE)(value >> (8 * i));
}

static DWORD GetDword(const BYTE* at)
{
    return (DWORD)at[0] | ((DWORD)at[1] << 8) | ((DWORD)at[2] << 16) | ((DWORD)at[3] << 24);
}

void BuildItemRecord(BYTE* record, const ItemRecordLayout* layout, UINT mask, UINT stateMask,
                     ULONG_PTR textAddress, int textMax)
{
    ZeroMemory(record, layout->Size);
    PutBytes(record + 0, mask, 4);
    PutBytes(record + 16, stateMask, 4);
    SetItemRecordText(record, layout, textAddress);
    PutBytes(record + layout->TextMaxOffset, (DWORD)textMax, 4);
}

void SetItemRecordIndex(BYTE* record, int item)
{
    PutBytes(record + 4, (DWORD)item, 4);
}

void SetItemRecordText(BYTE* record, const ItemRecordLayout* layout, ULONG_PTR textAddress)
{
    PutBytes(record + layout->TextPointerOffset, (ULONG64)textAddress, layout->TextPointerSize);
}

UINT ItemRecordState(const BYTE* record)
{
    return GetDword(record + ItemRecordStateOffset);
}

enum { MachineUnknown = 0 };

static int ReadExactly(HANDLE file, void* buffer, DWORD size)
{
    DWORD got = 0;
    return ReadFile(file, buffer, size, &got, NULL) && got == size;
}

// The machine field of a PE image's file header.
static WORD ImageMachine(const WCHAR* path)
{
    HANDLE file = OpenFileNamed(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE)
        return MachineUnknown;
    WORD machine = MachineUnknown;
    BYTE dosHeader[64];
    BYTE peHeader[6];
    if (ReadExactly(file, dosHeader, sizeof dosHeader) && dosHeader[0] == 'M' &&
        dosHeader[1] == 'Z') {
        DWORD peOffset = GetDword(dosHeader + 0x3C);
        if (peOffset < 0x10000000 &&
            SetFilePointer(file, (LONG)peOffset, NULL, FILE_BEGIN) == peOffset &&
            ReadExactly(file, peHeader, sizeof peHeader) && peHeader[0] == 'P' &&
            peHeader[1] == 'E' && peHeader[2] == 0 && peHeader[3] == 0)
            machine = (WORD)(peHeader[4] | (peHeader[5] << 8));
    }
    CloseHandle(file);
    return machine;
}

enum { Wow64Missing = -2, Wow64Unknown = -1 };

// 1 when the process runs under WOW64 (a 32-bit process on a 64-bit system), 0 when not,
// Wow64Missing where the system has no IsWow64Process (it runs 32-bit programs only),
// Wow64Unknown when the question fails.
static int RunsUnderWow64(HANDLE process)
{
    IsWow64ProcessCall query = FindIsWow64Process();
    if (query == NULL)
        return Wow64Missing;
    BOOL wow64 = FALSE;
    if (!query(process, &wow64))
        return Wow64Unknown;
    return wow64 ? 1 : 0;
}

// A handle for questions about the process: PROCESS_QUERY_INFORMATION, or on Windows Vista
// and later the limited right, which more processes grant.
static HANDLE OpenForQuery(DWORD processId)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId);
    if (process == NULL)
        process = OpenProcess(0x1000 /* PROCESS_QUERY_LIMITED_INFORMATION */, FALSE, processId);
    return process;
}

// Asks the system, for a process whose image does not say its bitness.
static int BitnessFromTheSystem(DWORD processId)
{
    int own64 = sizeof(void*) == 8;
    HANDLE process = OpenForQuery(processId);
    int target = process != NULL ? RunsUnderWow64(process) : Wow64Unknown;
    if (process != NULL)
        CloseHandle(process);
    if (target == 1)
        return 0;
    if (own64)
        return target == 0 ? 1 : -1;   // on a 64-bit system, outside WOW64 means 64-bit
    int self = RunsUnderWow64(GetCurrentProcess());
    if (self == Wow64Missing || self == 0)
        return 0;                       // a 32-bit system: every process is a 32-bit one
    if (self == 1 && target == 0)
        return 1;
    return -1;
}

int ProcessIs64Bit(DWORD processId)
{
    WCHAR image[PathBufferSize];
    ProcessImagePathNt(processId, image);
    WORD machine = MachineUnknown;
    if (image[0] != 0) {
        PVOID redirection;
        int paused;
        PauseFileRedirection(&redirection, &paused);
        machine = ImageMachine(image);
        ResumeFileRedirection(redirection, paused);
    }
    switch (machine) {
    case IMAGE_FILE_MACHINE_I386:
        return 0;
    case IMAGE_FILE_MACHINE_AMD64:
    case IMAGE_FILE_MACHINE_IA64:
    case IMAGE_FILE_MACHINE_ARM64:
        return 1;
    default:
        break;
    }
    // Guessing wrong would make the list view take the record in the other layout: it would
    // refuse every item, or write an item's text through a pointer of the wrong size.
    int bitness = BitnessFromTheSystem(processId);
    Trace("read: the image \"%s\" does not say its bitness; the system says %hs", image,
          bitness < 0 ? "nothing" : bitness ? "64-bit" : "32-bit");
    return bitness;
}
