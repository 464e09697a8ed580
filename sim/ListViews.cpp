// List-view controls of other programs.
//
// The control lives in its own process. LVM_GETITEMA hands it an address in
// that process: it reads the item record there, in the layout of its own
// process's bitness, and writes the text where the record's pszText points.
// On Windows 98/ME a paging-file view is shared by all processes at one
// address, so there the control finds the record in the program's views as
// well. A record the program wrote in the other bitness's layout is read
// field by field like any other, and so fails as it would on Windows: its
// pszText lies where the control looks for something else.
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

class ListViewBehavior : public ControlBehavior {
 public:
  explicit ListViewBehavior(DWORD processId) : processId_(processId) {}

  bool Handle(World& world, HWND, UINT msg, WPARAM wParam, LPARAM lParam,
              LRESULT* result) override {
    ListViewControl& c = control;
    if (c.endProcessAfterMessages >= 0 &&
        c.received.size() >= static_cast<size_t>(c.endProcessAfterMessages)) {
      world.EndProcess(processId_);  // the window goes before it answers
      *result = 0;
      return true;
    }
    c.received.push_back(ListViewControl::Received{msg, wParam, lParam});
    switch (msg) {
      case LVM_GETITEMCOUNT:
        *result = static_cast<LRESULT>(Count());
        return true;
      case LVM_GETNEXTITEM:
        *result = NextItem(static_cast<int>(wParam), static_cast<UINT>(lParam));
        return true;
      case LVM_GETITEMA: {
        ProcessObj* p = FindProcess(processId_);
        *result = p && GetItem(*p, static_cast<ULONG_PTR>(lParam)) ? TRUE : FALSE;
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

  ListViewControl control;

 private:
  long long Count() const {
    return control.itemCount >= 0 ? control.itemCount
                                  : static_cast<long long>(control.texts.size());
  }

  std::string TextOf(int index) const {
    if (static_cast<size_t>(index) < control.texts.size()) return control.texts[index];
    if (control.textOf) return control.textOf(index);
    return "item" + std::to_string(index);
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
  bool GetItem(ProcessObj& p, ULONG_PTR address) const {
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
      text = ControlMemory(p, textAddress, static_cast<SIZE_T>(textMax), true);
      if (!text) return false;
    }
    unsigned char* writableRecord = nullptr;
    if (mask & LVIF_STATE) {
      writableRecord = ControlMemory(p, address, layout.size, true);
      if (!writableRecord) return false;
    }
    if (text) WriteText(text, textMax, TextOf(item));
    if (writableRecord) {
      UINT state = control.selected.count(item) ? LVIS_SELECTED : 0;
      Put32(writableRecord + layout.state, state & Get32(writableRecord + layout.stateMask));
    }
    return true;
  }

  void WriteText(unsigned char* out, int max, const std::string& text) const {
    if (control.unterminatedTexts && !text.empty()) {
      for (int i = 0; i < max; ++i) out[i] = static_cast<unsigned char>(text[i % text.size()]);
      return;
    }
    size_t n = std::min(text.size(), static_cast<size_t>(max - 1));
    std::memcpy(out, text.data(), n);
    out[n] = 0;
  }

  DWORD processId_;
};

}  // namespace

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
