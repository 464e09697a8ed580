// The LVITEM record that a list view of another process reads and fills (the same for
// LVM_GETITEMA and LVM_GETITEMW; only the text it points to differs). A list view reads it
// in the layout of its own process: 32-bit (40 bytes) or 64-bit (56 bytes), whatever this
// program's own bitness is.
#ifndef TAVIX_SELECTION_ITEMRECORD_H
#define TAVIX_SELECTION_ITEMRECORD_H

#include "../common/win32.h"

enum { MaxItemRecordSize = 56, ItemRecordStateOffset = 12 };

struct ItemRecordLayout {
    int Size;                // bytes of the record; the text area follows it in the item block
    int TextPointerOffset;
    int TextPointerSize;     // 4 or 8
    int TextMaxOffset;
};

const ItemRecordLayout* ItemRecordLayoutFor(int is64Bit);

// Zero-fills record (Size bytes) and sets mask, stateMask, pszText and cchTextMax.
void BuildItemRecord(BYTE* record, const ItemRecordLayout* layout, UINT mask, UINT stateMask,
                     ULONG_PTR textAddress, int textMax);

void SetItemRecordIndex(BYTE* record, int item);

void SetItemRecordText(BYTE* record, const ItemRecordLayout* layout, ULONG_PTR textAddress);

UINT ItemRecordState(const BYTE* record);

// 1 for a 64-bit process, 0 for a 32-bit one, -1 when it cannot be told. The process's image
// file says it; when it cannot be read, the system is asked whether the process runs under
// WOW64. Only on a system that runs programs of one bitness alone is a process that nothing
// tells about taken to be of this program's bitness.
int ProcessIs64Bit(DWORD processId);

#endif
