// The clipboard: one system-wide store of blocks by format. A program opens
// it, empties it (which frees the blocks it owned), hands over global memory
// blocks, which then belong to the clipboard, and closes it. Another process
// may hold it open, and then OpenClipboard fails.
#include <cstring>

#include "SimInternal.h"

namespace sim {

namespace {

void Record(const std::string& call) { Current().outputCalls.push_back(call); }

void ReleaseClipboardBlock(World::Impl& s, uintptr_t key) { s.globals.erase(key); }

}  // namespace

std::string ClipboardTextRecord::Text() const {
  size_t end = bytes.find('\0');
  return end == std::string::npos ? bytes : bytes.substr(0, end);
}

void World::SetClipboardText(const std::string& text) {
  Impl& s = *impl_;
  auto old = s.clipboard.find(CF_TEXT);
  if (old != s.clipboard.end()) ReleaseClipboardBlock(s, old->second);
  SimOwnCalls own;
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, text.size() + 1);
  char* p = static_cast<char*>(GlobalLock(h));
  std::memcpy(p, text.data(), text.size());
  GlobalUnlock(h);
  uintptr_t key = reinterpret_cast<uintptr_t>(h);
  s.globals[key].ownedBySystem = true;
  s.clipboard[CF_TEXT] = key;
}

void World::HoldClipboardElsewhere(bool held) { impl_->clipboardHeldElsewhere = held; }
void World::FailEmptyClipboard(bool on) { impl_->failEmptyClipboard = on; }
void World::FailSetClipboardData(bool on) { impl_->failSetClipboardData = on; }
bool World::ClipboardLeftOpen() const { return impl_->clipboardOpenByProgram; }

ClipboardTextRecord World::ClipboardText() const {
  ClipboardTextRecord r;
  auto it = impl_->clipboard.find(CF_TEXT);
  if (it == impl_->clipboard.end()) return r;
  auto block = impl_->globals.find(it->second);
  if (block == impl_->globals.end()) return r;
  r.present = true;
  const GlobalBlock& b = block->second;
  if (b.data) r.bytes.assign(reinterpret_cast<const char*>(b.data.get()), b.size);
  r.blockSize = b.size;
  r.allocFlags = b.flags;
  auto lock = impl_->clipboardLockCountWhenSet.find(it->second);
  r.lockCountWhenSet = lock == impl_->clipboardLockCountWhenSet.end() ? 0 : lock->second;
  r.setByProgram = b.setByProgram;
  return r;
}

}  // namespace sim

using namespace sim;

BOOL OpenClipboard(HWND) {
  World::Impl& s = State();
  if (FaultHere("OpenClipboard") || s.clipboardHeldElsewhere) {
    Record("OpenClipboard failed");
    SetError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  Record("OpenClipboard");
  s.clipboardOpenByProgram = true;
  return TRUE;
}

BOOL CloseClipboard(void) {
  World::Impl& s = State();
  if (!s.clipboardOpenByProgram) {
    Record("CloseClipboard failed");
    SetError(ERROR_CLIPBOARD_NOT_OPEN);
    return FALSE;
  }
  Record("CloseClipboard");
  s.clipboardOpenByProgram = false;
  return TRUE;
}

BOOL EmptyClipboard(void) {
  World::Impl& s = State();
  if (FaultHere("EmptyClipboard")) {
    Record("EmptyClipboard failed");
    SetError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!s.clipboardOpenByProgram || s.failEmptyClipboard) {
    Record("EmptyClipboard failed");
    SetError(ERROR_CLIPBOARD_NOT_OPEN);
    return FALSE;
  }
  Record("EmptyClipboard");
  for (const auto& entry : s.clipboard) ReleaseClipboardBlock(s, entry.second);
  s.clipboard.clear();
  return TRUE;
}

HANDLE SetClipboardData(UINT uFormat, HANDLE hMem) {
  World::Impl& s = State();
  std::string call = "SetClipboardData " + std::to_string(uFormat);
  if (FaultHere("SetClipboardData")) {
    Record(call + " failed");
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto block = s.globals.find(reinterpret_cast<uintptr_t>(hMem));
  if (!s.clipboardOpenByProgram || s.failSetClipboardData || !hMem ||
      block == s.globals.end()) {
    Record(call + " failed");
    SetError(s.clipboardOpenByProgram ? ERROR_INVALID_HANDLE : ERROR_CLIPBOARD_NOT_OPEN);
    return nullptr;
  }
  Record(call);
  uintptr_t key = block->first;
  auto old = s.clipboard.find(uFormat);
  if (old != s.clipboard.end() && old->second != key) ReleaseClipboardBlock(s, old->second);
  block->second.ownedBySystem = true;
  block->second.setByProgram = true;
  s.clipboardLockCountWhenSet[key] = block->second.lockCount;
  s.clipboard[uFormat] = key;
  ++Current().clipboardWrites;
  return hMem;
}

HANDLE GetClipboardData(UINT uFormat) {
  World::Impl& s = State();
  if (!s.clipboardOpenByProgram) {
    SetError(ERROR_CLIPBOARD_NOT_OPEN);
    return nullptr;
  }
  auto it = s.clipboard.find(uFormat);
  return it == s.clipboard.end() ? nullptr : reinterpret_cast<HANDLE>(it->second);
}

BOOL IsClipboardFormatAvailable(UINT format) {
  return State().clipboard.count(format) ? TRUE : FALSE;
}
