// List-view controls: those of other programs, and the program's own.
//
// The control of another program lives in its own process. LVM_GETITEMA and
// LVM_GETITEMW hand it an address in that process: it reads the item record
// there, in the layout of its own process's bitness (the same for both
// messages), and writes the text where the record's pszText points.
// On Windows 98/ME a paging-file view is shared by all processes at one
// address, so there the control finds the record in the program's views as
// well. A record the program wrote in the other bitness's layout is read
// field by field like any other, and so fails as it would on Windows: its
// pszText lies where the control looks for something else.
//
// The texts are UTF-16. LVM_GETITEMW gives them as they are, cchTextMax
// counting UTF-16 units; LVM_GETITEMA converts them to the ANSI code page
// with best-fit, as the common control does, so a name the code page lacks
// may come back as a look-alike of another name.
//
// A list view the program creates itself (class SysListView32, while
// comctl32.dll is loaded) keeps the items the program inserts; its records
// and texts are in the program's memory.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "SimInternal.h"

namespace sim {

namespace {

// Offsets of the LVITEMA fields the control uses.
struct ItemLayout {
  SIZE_T size;
  SIZE_T mask, iItem, iSubItem, state, stateMask;
  SIZE_T pszText, pointerSize;
  SIZE_T cchTextMax;
};

const ItemLayout kLayout32 = {40, 0, 4, 8, 12, 16, 20, 4, 24};
// The native 64-bit record: pszText is aligned to 8, after 4 bytes of padding.
const ItemLayout kLayout64 = {56, 0, 4, 8, 12, 16, 24, 8, 32};

uint32_t Get32(const unsigned char* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void Put32(unsigned char* p, uint32_t v) { std::memcpy(p, &v, sizeof v); }

ULONG_PTR GetPointer(const unsigned char* p, SIZE_T width) {
  if (width == 4) return Get32(p);
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return static_cast<ULONG_PTR>(v);
}

// Memory of the control's process as the control sees it.
unsigned char* ControlMemory(ProcessObj& p, ULONG_PTR address, SIZE_T size, bool write) {
  if (IsWin9x()) {
    if (unsigned char* shared = ViewRange(address, size, write)) return shared;
  }
  return RemoteRange(p, address, size,
                     write ? RemoteAccess::kWriteFromInside : RemoteAccess::kRead);
}

// The text of LVM_GETITEMW into max units: at most max - 1 of them and the
// zero. Units are copied, so a surrogate pair may be cut.
void WriteWideText(unsigned char* out, int max, const std::u16string& text, bool unterminated) {
  std::u16string written;
  if (unterminated && !text.empty()) {
    for (int i = 0; i < max; ++i) written.push_back(text[i % text.size()]);
  } else {
    written = text.substr(0, static_cast<size_t>(max - 1));
    written.push_back(u'\0');
  }
  std::memcpy(out, written.data(), written.size() * sizeof(char16_t));
}

// The text of LVM_GETITEMA into max bytes: the converted text with its zero
// when that fits; else the whole characters that fit, without a zero (the
// common control converts straight into the buffer and leaves it so), and
// the bytes after them untouched.
void WriteAnsiText(unsigned char* out, int max, const std::string& text, bool unterminated) {
  if (unterminated && !text.empty()) {
    for (int i = 0; i < max; ++i) out[i] = static_cast<unsigned char>(text[i % text.size()]);
    return;
  }
  if (text.size() + 1 <= static_cast<size_t>(max)) {
    std::memcpy(out, text.c_str(), text.size() + 1);
    return;
  }
  size_t n = 0;
  for (;;) {
    size_t length = std::max<size_t>(1, CharLen(text.c_str() + n));
    if (n >= text.size() || n + length > static_cast<size_t>(max)) break;
    n += length;
  }
  std::memcpy(out, text.data(), n);
}

void WriteItemText(unsigned char* out, int max, const std::u16string& text, bool wide,
                   bool unterminated) {
  if (wide) {
    WriteWideText(out, max, text, unterminated);
  } else {
    WriteAnsiText(out, max, WideToAnsi(text), unterminated);
  }
}

class ListViewBehavior : public ControlBehavior {
 public:
  explicit ListViewBehavior(DWORD processId) : processId_(processId) {}

  bool Handle(World& world, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
              LRESULT* result) override {
    ListViewControl& c = control;
    if (c.endProcessAfterMessages >= 0 &&
        c.received.size() >= static_cast<size_t>(c.endProcessAfterMessages)) {
      world.EndProcess(processId_);  // the window goes before it answers
      *result = 0;
      return true;
    }
    if (c.beforeEachMessage) c.beforeEachMessage(c, c.received.size());
    c.received.push_back(ListViewControl::Received{msg, wParam, lParam});
    bool handled = Answer(hwnd, msg, wParam, lParam, result);
    if (c.hangAfterMessages >= 0 &&
        c.received.size() >= static_cast<size_t>(c.hangAfterMessages)) {
      if (ProcessObj* p = FindProcess(processId_)) p->hung = true;
    }
    return handled;
  }

  ListViewControl control;

 private:
  bool Answer(HWND, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    ListViewControl& c = control;
    (void)c;
    switch (msg) {
      case LVM_GETITEMCOUNT:
        *result = static_cast<LRESULT>(Count());
        return true;
      case LVM_GETNEXTITEM:
        *result = NextItem(static_cast<int>(wParam), static_cast<UINT>(lParam));
        return true;
      case LVM_GETITEMA:
      case LVM_GETITEMW: {
        ProcessObj* p = FindProcess(processId_);
        *result = p && GetItem(*p, static_cast<ULONG_PTR>(lParam), msg == LVM_GETITEMW) ? TRUE
                                                                                       : FALSE;
        return true;
      }
      case WM_GETTEXT:
      case WM_GETTEXTLENGTH:
      case WM_SETTEXT:
        return false;  // the window text, as for any window
      default:
        *result = 0;
        return true;
    }
  }

  long long Count() const {
    return control.itemCount >= 0 ? control.itemCount
                                  : static_cast<long long>(control.texts.size());
  }

  std::u16string TextOf(int index) const {
    if (static_cast<size_t>(index) < control.texts.size()) return control.texts[index].Wide();
    if (control.textOf) return control.textOf(index).Wide();
    return AnsiToWide("item" + std::to_string(index));
  }

  // The set of selected items is searched, never the items one by one, so a
  // list that claims two billion items answers at once.
  int NextItem(int start, UINT flags) const {
    if (control.nextItem) return control.nextItem(start, flags);
    if (start < -1) return -1;
    long long count = Count();
    if (flags == LVNI_ALL) return static_cast<long long>(start) + 1 < count ? start + 1 : -1;
    if (flags == LVNI_SELECTED) {
      auto it = control.selected.upper_bound(start);
      return it != control.selected.end() && *it < count ? *it : -1;
    }
    return -1;
  }

  // Everything is checked before anything is written.
  bool GetItem(ProcessObj& p, ULONG_PTR address, bool wide) const {
    const ItemLayout& layout = p.bitness == 64 ? kLayout64 : kLayout32;
    const unsigned char* record = ControlMemory(p, address, layout.size, false);
    if (!record) return false;
    UINT mask = Get32(record + layout.mask);
    int item = static_cast<int>(Get32(record + layout.iItem));
    int subItem = static_cast<int>(Get32(record + layout.iSubItem));
    // One column: there are no sub-items.
    if (item < 0 || item >= Count() || subItem != 0 || control.refused.count(item)) return false;
    unsigned char* text = nullptr;
    int textMax = 0;
    if (mask & LVIF_TEXT) {
      textMax = static_cast<int>(Get32(record + layout.cchTextMax));
      ULONG_PTR textAddress = GetPointer(record + layout.pszText, layout.pointerSize);
      if (textMax <= 0) return false;
      SIZE_T textBytes = static_cast<SIZE_T>(textMax) * (wide ? sizeof(char16_t) : 1);
      text = ControlMemory(p, textAddress, textBytes, true);
      if (!text) return false;
    }
    unsigned char* writableRecord = nullptr;
    if (mask & LVIF_STATE) {
      writableRecord = ControlMemory(p, address, layout.size, true);
      if (!writableRecord) return false;
    }
    if (text) WriteItemText(text, textMax, TextOf(item), wide, control.unterminatedTexts);
    if (writableRecord) {
      UINT state = control.selected.count(item) ? LVIS_SELECTED : 0;
      Put32(writableRecord + layout.state, state & Get32(writableRecord + layout.stateMask));
    }
    return true;
  }

  DWORD processId_;
};

// Messages of the list view the program makes, beyond those sim_win32.h names.
constexpr UINT kInsertItemA = LVM_FIRST + 7;
constexpr UINT kDeleteAllItems = LVM_FIRST + 9;
constexpr UINT kInsertItemW = LVM_FIRST + 77;

// One column of texts, no selection; the records are the program's own.
class ProgramListView : public ControlBehavior {
 public:
  bool Handle(World&, HWND, UINT msg, WPARAM, LPARAM lParam, LRESULT* result) override {
    switch (msg) {
      case LVM_GETITEMCOUNT:
        *result = static_cast<LRESULT>(items_.size());
        return true;
      case kInsertItemA:
      case kInsertItemW:
        *result = Insert(lParam, msg == kInsertItemW);
        return true;
      case kDeleteAllItems:
        items_.clear();
        *result = TRUE;
        return true;
      case LVM_GETITEMA:
      case LVM_GETITEMW:
        *result = GetItem(lParam, msg == LVM_GETITEMW) ? TRUE : FALSE;
        return true;
      default:
        return false;
    }
  }

 private:
  // LVITEMA and LVITEMW differ only in the type of pszText.
  LRESULT Insert(LPARAM lParam, bool wide) {
    const auto* item = reinterpret_cast<const LVITEMW*>(lParam);
    if (!item || item->iSubItem != 0 || item->iItem < 0) return -1;
    std::u16string text;
    if ((item->mask & LVIF_TEXT) && item->pszText) {
      text = wide ? std::u16string(item->pszText)
                  : AnsiText(reinterpret_cast<const LVITEMA*>(item)->pszText);
    }
    size_t at = std::min(static_cast<size_t>(item->iItem), items_.size());
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), text);
    return static_cast<LRESULT>(at);
  }

  bool GetItem(LPARAM lParam, bool wide) const {
    auto* item = reinterpret_cast<LVITEMW*>(lParam);
    if (!item || item->iItem < 0 || static_cast<size_t>(item->iItem) >= items_.size() ||
        item->iSubItem != 0) {
      return false;
    }
    if (item->mask & LVIF_TEXT) {
      if (item->cchTextMax <= 0 || !item->pszText) return false;
      WriteItemText(reinterpret_cast<unsigned char*>(item->pszText), item->cchTextMax,
                    items_[static_cast<size_t>(item->iItem)], wide, false);
    }
    if (item->mask & LVIF_STATE) item->state = 0;
    return true;
  }

  std::vector<std::u16string> items_;
};

}  // namespace

std::shared_ptr<ControlBehavior> NewProgramListView() {
  return std::make_shared<ProgramListView>();
}

ListViewControl& World::MakeListView(HWND w) {
  WindowObj* obj = FindWindowObj(w);
  if (!obj || IsProgramWindow(*obj)) {
    std::fprintf(stderr, "sim: MakeListView: no live window of another program\n");
    std::abort();
  }
  if (auto* existing = dynamic_cast<ListViewBehavior*>(obj->behavior.get())) {
    return existing->control;
  }
  auto behavior = std::make_shared<ListViewBehavior>(obj->rec.processId);
  obj->behavior = behavior;
  return behavior->control;
}

}  // namespace sim
