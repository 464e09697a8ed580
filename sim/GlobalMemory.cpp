// Global memory blocks: fixed blocks, whose handle is the block's address,
// and moveable blocks, whose handle is a separate value that GlobalLock turns
// into an address. The sim counts the blocks a program leaves behind.
//
// To make faults visible rather than lucky, memory that is not asked to be
// zeroed is filled with 0xAB, and a moveable block that is reallocated always
// moves, so an address kept from before the reallocation is stale at once.
#include <algorithm>
#include <cstring>

#include "SimInternal.h"

namespace sim {

namespace {

constexpr unsigned char kUninitialised = 0xAB;
constexpr UINT kDiscardedFlag = 0x4000;  // GMEM_DISCARDED

GlobalBlock* FindBlock(HGLOBAL h, uintptr_t* key = nullptr) {
  auto& globals = State().globals;
  auto it = globals.find(reinterpret_cast<uintptr_t>(h));
  if (it == globals.end()) return nullptr;
  if (key) *key = it->first;
  return &it->second;
}

// Counts down an injected failure: true when this call is the one that fails.
bool CountdownHits(int* counter) {
  if (*counter <= 0) return false;
  return --*counter == 0;
}

std::unique_ptr<unsigned char[]> NewData(SIZE_T bytes, bool zero) {
  std::unique_ptr<unsigned char[]> data(new unsigned char[bytes ? bytes : 1]);
  std::memset(data.get(), zero ? 0 : kUninitialised, bytes ? bytes : 1);
  return data;
}

}  // namespace

}  // namespace sim

using namespace sim;

// A fault fails the call as an exhausted heap does.
HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
  World::Impl& s = State();
  if (FaultHere("GlobalAlloc")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  bool fail = CountdownHits(&s.failGlobalAllocIn) || s.failAllGlobalAlloc;
  if (fail || dwBytes > s.globalAllocLimit) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  GlobalBlock block;
  block.moveable = (uFlags & GMEM_MOVEABLE) != 0;
  block.flags = uFlags;
  block.size = dwBytes;
  // A moveable block of size 0 is born discarded: it has a handle but no memory.
  if (!block.moveable || dwBytes) block.data = NewData(dwBytes, uFlags & GMEM_ZEROINIT);
  uintptr_t key;
  if (block.moveable) {
    key = s.nextGlobalHandle;
    s.nextGlobalHandle += 8;
  } else {
    key = reinterpret_cast<uintptr_t>(block.data.get());
  }
  s.globals[key] = std::move(block);
  return reinterpret_cast<HGLOBAL>(key);
}

// A fault leaves the block as it was, as a reallocation without room does.
HGLOBAL GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags) {
  World::Impl& s = State();
  if (FaultHere("GlobalReAlloc")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  uintptr_t key = 0;
  GlobalBlock* block = FindBlock(hMem, &key);
  if (!block) {
    SetError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (uFlags & GMEM_MODIFY) return hMem;
  if (CountdownHits(&s.failGlobalReAllocIn) || dwBytes > s.globalAllocLimit) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  bool zero = (uFlags & GMEM_ZEROINIT) != 0;
  if (!block->moveable) {
    if (dwBytes <= block->size) {
      block->size = dwBytes;  // shrinks in place
      return hMem;
    }
    // A fixed block grows only by moving, which the caller must allow.
    if (!(uFlags & GMEM_MOVEABLE)) {
      SetError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    GlobalBlock moved;
    moved.flags = block->flags;
    moved.size = dwBytes;
    moved.data = NewData(dwBytes, zero);
    std::memcpy(moved.data.get(), block->data.get(), block->size);
    uintptr_t newKey = reinterpret_cast<uintptr_t>(moved.data.get());
    s.globals.erase(key);
    s.globals[newKey] = std::move(moved);
    return reinterpret_cast<HGLOBAL>(newKey);
  }
  if (dwBytes == 0) {
    if (block->lockCount == 0) block->data.reset();
    block->size = 0;
    return hMem;
  }
  std::unique_ptr<unsigned char[]> data = NewData(dwBytes, zero);
  if (block->data) std::memcpy(data.get(), block->data.get(), std::min(block->size, dwBytes));
  block->data = std::move(data);
  block->size = dwBytes;
  return hMem;
}

// A fault leaves the lock count alone.
LPVOID GlobalLock(HGLOBAL hMem) {
  World::Impl& s = State();
  if (FaultHere("GlobalLock")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  GlobalBlock* block = FindBlock(hMem);
  if (!block) {
    SetError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (CountdownHits(&s.failGlobalLockIn)) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (!block->moveable) return block->data.get();
  if (!block->data) return nullptr;  // discarded
  if (block->lockCount < 0xFF) ++block->lockCount;
  return block->data.get();
}

BOOL GlobalUnlock(HGLOBAL hMem) {
  GlobalBlock* block = FindBlock(hMem);
  if (!block) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!block->moveable) return TRUE;
  if (block->lockCount == 0) {
    SetError(ERROR_NOT_LOCKED);
    return FALSE;
  }
  if (--block->lockCount) return TRUE;
  SetError(NO_ERROR);
  return FALSE;
}

SIZE_T GlobalSize(HGLOBAL hMem) {
  GlobalBlock* block = FindBlock(hMem);
  if (!block) {
    SetError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return block->data ? block->size : 0;
}

UINT GlobalFlags(HGLOBAL hMem) {
  GlobalBlock* block = FindBlock(hMem);
  if (!block) {
    SetError(ERROR_INVALID_HANDLE);
    return 0x8000;  // GMEM_INVALID_HANDLE
  }
  UINT flags = static_cast<UINT>(block->lockCount);
  if (block->moveable && !block->data) flags |= kDiscardedFlag;
  return flags;
}

HGLOBAL GlobalFree(HGLOBAL hMem) {
  if (!hMem) return nullptr;
  uintptr_t key = 0;
  GlobalBlock* block = FindBlock(hMem, &key);
  if (!block) {
    SetError(ERROR_INVALID_HANDLE);
    return hMem;
  }
  World::Impl& s = State();
  if (block->ownedBySystem) {
    // The clipboard owns it: freeing it leaves the clipboard with a dangling handle.
    ++Current().clipboardBlocksFreedByProgram;
    for (auto it = s.clipboard.begin(); it != s.clipboard.end();) {
      if (it->second == key) {
        UINT format = it->first;
        auto& order = s.clipboardOrder;
        order.erase(std::remove(order.begin(), order.end(), format), order.end());
        it = s.clipboard.erase(it);
      } else {
        ++it;
      }
    }
    for (auto it = s.clipboardSynthesized.begin(); it != s.clipboardSynthesized.end();) {
      if (it->second == key) it = s.clipboardSynthesized.erase(it); else ++it;
    }
  }
  s.globals.erase(key);
  return nullptr;
}
