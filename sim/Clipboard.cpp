// The clipboard: one system-wide store of blocks by format. A program opens
// it, empties it (which frees the blocks it owned), hands over global memory
// blocks, which then belong to the clipboard, and closes it. Another process
// may hold it open, and then OpenClipboard fails.
//
// On the NT family the system converts between the text formats for a
// reader: CF_TEXT asked for when only CF_UNICODETEXT was set is made from it
// (converted to the ANSI code page with best-fit, as Windows converts it), and
// CF_UNICODETEXT from CF_TEXT. The converted block is made when it is first
// asked for and belongs to the clipboard; a format that was set is always
// given as it was set.
#include <algorithm>
#include <cstring>

#include "SimInternal.h"

namespace sim {

namespace {

void Record(const std::string& call) { Current().outputCalls.push_back(call); }

void ReleaseClipboardBlock(World::Impl& s, uintptr_t key) { s.globals.erase(key); }

void ReleaseSynthesized(World::Impl& s) {
  for (const auto& entry : s.clipboardSynthesized) ReleaseClipboardBlock(s, entry.second);
  s.clipboardSynthesized.clear();
}

// The block of a format as it was set (0 when there is none).
uintptr_t SetBlock(const World::Impl& s, UINT format) {
  auto it = s.clipboard.find(format);
  return it == s.clipboard.end() || !s.globals.count(it->second) ? 0 : it->second;
}

// A block holding the bytes, owned by the clipboard.
uintptr_t NewClipboardBlock(World::Impl& s, const void* bytes, size_t size) {
  SimOwnCalls own;
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  void* p = GlobalLock(h);
  std::memcpy(p, bytes, size);
  GlobalUnlock(h);
  uintptr_t key = reinterpret_cast<uintptr_t>(h);
  s.globals[key].ownedBySystem = true;
  return key;
}

// The text of a block: bytes up to the first zero byte (CF_TEXT), or UTF-16
// units up to the first zero unit (CF_UNICODETEXT).
std::string AnsiBlockText(const GlobalBlock& b) {
  if (!b.data) return std::string();
  const char* p = reinterpret_cast<const char*>(b.data.get());
  return std::string(p, strnlen(p, b.size));
}

std::u16string WideBlockText(const GlobalBlock& b) {
  std::u16string text;
  if (!b.data) return text;
  for (size_t i = 0; i + 1 < b.size; i += 2) {
    char16_t unit;
    std::memcpy(&unit, b.data.get() + i, sizeof unit);
    if (!unit) break;
    text.push_back(unit);
  }
  return text;
}

// The text of the other format converted, with its zero; false when there is
// nothing to convert from (or the system does not convert).
bool SynthesizedBytes(const World::Impl& s, UINT format, std::string* bytes) {
  if (IsWin9x()) return false;
  if (format == CF_TEXT) {
    uintptr_t from = SetBlock(s, CF_UNICODETEXT);
    if (!from) return false;
    *bytes = WideToAnsi(WideBlockText(s.globals.at(from)));
    bytes->push_back('\0');
    return true;
  }
  if (format == CF_UNICODETEXT) {
    uintptr_t from = SetBlock(s, CF_TEXT);
    if (!from) return false;
    std::u16string wide = AnsiText(AnsiBlockText(s.globals.at(from)).c_str());
    wide.push_back(u'\0');
    bytes->assign(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(char16_t));
    return true;
  }
  return false;
}

// Another program's earlier content of one format.
void SetContentOf(World::Impl& s, UINT format, const void* bytes, size_t size) {
  auto old = s.clipboard.find(format);
  if (old != s.clipboard.end()) ReleaseClipboardBlock(s, old->second);
  ReleaseSynthesized(s);
  s.clipboard[format] = NewClipboardBlock(s, bytes, size);
  auto& order = s.clipboardOrder;
  order.erase(std::remove(order.begin(), order.end(), format), order.end());
  order.push_back(format);
}

ClipboardTextRecord RecordOf(const World::Impl& s, UINT format) {
  ClipboardTextRecord r;
  uintptr_t key = SetBlock(s, format);
  if (!key) return r;
  r.present = true;
  const GlobalBlock& b = s.globals.at(key);
  if (b.data) r.bytes.assign(reinterpret_cast<const char*>(b.data.get()), b.size);
  r.blockSize = b.size;
  r.allocFlags = b.flags;
  auto lock = s.clipboardLockCountWhenSet.find(key);
  r.lockCountWhenSet = lock == s.clipboardLockCountWhenSet.end() ? 0 : lock->second;
  r.setByProgram = b.setByProgram;
  return r;
}

}  // namespace

std::string ClipboardTextRecord::Text() const {
  size_t end = bytes.find('\0');
  return end == std::string::npos ? bytes : bytes.substr(0, end);
}

std::u16string ClipboardTextRecord::WideText() const {
  std::u16string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8));
    if (!unit) break;
    text.push_back(unit);
  }
  return text;
}

void World::SetClipboardText(const std::string& text) {
  SetContentOf(*impl_, CF_TEXT, text.c_str(), text.size() + 1);
}

void World::SetClipboardUnicodeText(const std::u16string& text) {
  SetContentOf(*impl_, CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(char16_t));
}

void World::HoldClipboardElsewhere(bool held) { impl_->clipboardHeldElsewhere = held; }
void World::FailEmptyClipboard(bool on) { impl_->failEmptyClipboard = on; }
void World::FailSetClipboardData(bool on) { impl_->failSetClipboardData = on; }
bool World::ClipboardLeftOpen() const { return impl_->clipboardOpenByProgram; }

// CF_TEXT as a reader gets it: the block that was set, or, when only
// CF_UNICODETEXT was set, the text the system makes from it (blockSize its
// bytes with the zero, allocFlags GMEM_MOVEABLE, setByProgram as the
// CF_UNICODETEXT block's).
ClipboardTextRecord World::ClipboardText() const {
  ClipboardTextRecord r = RecordOf(*impl_, CF_TEXT);
  std::string bytes;
  if (r.present || !SynthesizedBytes(*impl_, CF_TEXT, &bytes)) return r;
  r.present = true;
  r.bytes = bytes;
  r.blockSize = bytes.size();
  r.allocFlags = GMEM_MOVEABLE;
  r.setByProgram = RecordOf(*impl_, CF_UNICODETEXT).setByProgram;
  return r;
}

ClipboardTextRecord World::ClipboardUnicodeText() const {
  return RecordOf(*impl_, CF_UNICODETEXT);
}

std::vector<UINT> World::ClipboardFormats() const { return impl_->clipboardOrder; }

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
  s.clipboardOrder.clear();
  ReleaseSynthesized(s);
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
  // What was made from the other text format may no longer match it.
  ReleaseSynthesized(s);
  block->second.ownedBySystem = true;
  block->second.setByProgram = true;
  s.clipboardLockCountWhenSet[key] = block->second.lockCount;
  s.clipboard[uFormat] = key;
  auto& order = s.clipboardOrder;
  order.erase(std::remove(order.begin(), order.end(), uFormat), order.end());
  order.push_back(uFormat);
  ++Current().clipboardWrites;
  return hMem;
}

HANDLE GetClipboardData(UINT uFormat) {
  World::Impl& s = State();
  if (!s.clipboardOpenByProgram) {
    SetError(ERROR_CLIPBOARD_NOT_OPEN);
    return nullptr;
  }
  if (uintptr_t key = SetBlock(s, uFormat)) return reinterpret_cast<HANDLE>(key);
  auto made = s.clipboardSynthesized.find(uFormat);
  if (made != s.clipboardSynthesized.end() && s.globals.count(made->second)) {
    return reinterpret_cast<HANDLE>(made->second);
  }
  std::string bytes;
  if (!SynthesizedBytes(s, uFormat, &bytes)) return nullptr;
  uintptr_t key = NewClipboardBlock(s, bytes.data(), bytes.size());
  s.clipboardSynthesized[uFormat] = key;
  return reinterpret_cast<HANDLE>(key);
}

BOOL IsClipboardFormatAvailable(UINT format) {
  World::Impl& s = State();
  std::string bytes;
  return SetBlock(s, format) || SynthesizedBytes(s, format, &bytes) ? TRUE : FALSE;
}
