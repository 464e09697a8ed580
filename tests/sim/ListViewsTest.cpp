// List views of other programs: the item record read in the layout of the
// list view's own process, texts, states, huge lists, Windows 98's shared
// views and a process that ends while it is being asked.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "RunTimeFunctions.h"
#include "SimWorld.h"

namespace {

using Version = void (sim::World::*)();

// An LVITEMA record as bytes, in the 32-bit (40 bytes) or 64-bit (56 bytes)
// layout.
std::string Record(int bitness, UINT mask, int item, UINT stateMask, uint64_t text, int textMax) {
  bool is64 = bitness == 64;
  std::string r(is64 ? 56 : 40, '\0');
  auto put = [&r](size_t at, uint64_t v, size_t width) { std::memcpy(&r[at], &v, width); };
  put(0, mask, 4);
  put(4, static_cast<uint32_t>(item), 4);
  put(16, stateMask, 4);
  put(is64 ? 24 : 20, text, is64 ? 8 : 4);
  put(is64 ? 32 : 24, static_cast<uint32_t>(textMax), 4);
  return r;
}

// A list view in a process of the given bitness, with a block of that
// process's memory for the record (at its start) and the text (at +0x100).
struct RemoteList {
  explicit RemoteList(sim::World& world, int bitness = 32) : world(world) {
    pid = world.AddProcess("C:\\Filer\\filer.exe", bitness);
    HWND top = world.AddWindow("FilerWindow", "C:\\Data", true, nullptr, pid);
    hwnd = world.AddWindow("SysListView32", "", true, top, pid);
    list = &world.MakeListView(hwnd);
    list->texts = {"alpha", "beta", "gamma"};
    list->selected = {1};
    process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
    block = RemoteAlloc(process, 0x200);
    text = block + 0x100;
  }
  ~RemoteList() { CloseHandle(process); }

  LRESULT GetItem(const std::string& record) {
    RemoteWrite(process, block, record);
    return SendMessageA(hwnd, LVM_GETITEMA, 0, static_cast<LPARAM>(block));
  }
  LRESULT GetItemW(const std::string& record) {
    RemoteWrite(process, block, record);
    return SendMessageW(hwnd, LVM_GETITEMW, 0, static_cast<LPARAM>(block));
  }
  std::string Text(size_t n) const { return world.RemoteBytes(pid, text, n); }
  // n UTF-16 units at the text address.
  std::u16string WideText(size_t n) const { return WideAt(world, pid, text, n); }
  static std::u16string WideAt(sim::World& world, DWORD pid, ULONG_PTR at, size_t n) {
    std::string bytes = world.RemoteBytes(pid, at, n * 2);
    std::u16string units(bytes.size() / 2, u'\0');
    std::memcpy(&units[0], bytes.data(), units.size() * 2);
    return units;
  }
  UINT State() const {
    UINT state = 0;
    std::memcpy(&state, world.RemoteBytes(pid, block + 12, 4).data(), 4);
    return state;
  }

  sim::World& world;
  DWORD pid;
  HWND hwnd;
  sim::ListViewControl* list;
  HANDLE process;
  ULONG_PTR block, text;
};

TEST(ListViewGetItem, TheRecordMustBeInTheLayoutOfTheListViewsProcess) {
  const struct {
    int listBitness, recordBitness;
    bool cutTextAddress;  // pszText cut to 32 bits
    LRESULT answer;
  } cases[] = {{32, 32, false, TRUE},
               {64, 64, false, TRUE},
               {32, 64, false, FALSE},
               {64, 32, false, FALSE},
               {64, 64, true, FALSE}};
  for (const auto& c : cases) {
    sim::World world;
    RemoteList r(world, c.listBitness);
    ULONG_PTR text = c.cutTextAddress ? r.text & 0xFFFFFFFFu : r.text;
    EXPECT_EQ(c.answer, r.GetItem(Record(c.recordBitness, LVIF_TEXT, 2, 0, text, 16)))
        << c.recordBitness << "-bit record to a " << c.listBitness << "-bit list view";
    EXPECT_EQ(c.answer ? std::string("gamma\0", 6) : std::string(6, '\0'), r.Text(6));
  }
}

TEST(ListViewGetItem, TextsAreCutToTheBufferOrFillItWhenUnterminated) {
  // The block is one page: 0x1000 bytes from its start.
  const struct {
    ULONG_PTR textOffset;
    int textMax;
    bool unterminated;
    LRESULT answer;
    std::string bytes;  // at pszText, 8 bytes
  } cases[] = {
      {0x100, 16, false, TRUE, std::string("alpha\0\0\0", 8)},
      {0x100, 6, false, TRUE, std::string("alpha\0\0\0", 8)},
      // Too long: what fits, without a zero (the bytes after it stay zero).
      {0x100, 3, false, TRUE, std::string("alp\0\0\0\0\0", 8)},
      {0x100, 1, false, TRUE, std::string("a\0\0\0\0\0\0\0", 8)},
      {0x100, 0, false, FALSE, std::string(8, '\0')},
      {0x100, -1, false, FALSE, std::string(8, '\0')},
      {0x100, 7, true, TRUE, std::string("alphaal\0", 8)},
      {0xF00, 0x100, false, TRUE, std::string("alpha\0\0\0", 8)},  // ends with the block
      {0x100, 0xF01, false, FALSE, std::string(8, '\0')},          // one byte past it
  };
  for (const auto& c : cases) {
    sim::World world;
    RemoteList r(world);
    r.list->unterminatedTexts = c.unterminated;
    ULONG_PTR text = r.block + c.textOffset;
    EXPECT_EQ(c.answer, r.GetItem(Record(32, LVIF_TEXT, 0, 0, text, c.textMax))) << c.textMax;
    EXPECT_EQ(c.bytes, world.RemoteBytes(r.pid, text, 8)) << c.textMax;
  }
}

TEST(ListViewGetItem, StateIsWrittenBackThroughTheStateMask) {
  const struct {
    int item;
    UINT stateMask;
    UINT state;
  } cases[] = {{1, LVIS_SELECTED, LVIS_SELECTED},
               {1, 0xFFFF, LVIS_SELECTED},
               {1, LVIS_FOCUSED, 0},
               {0, LVIS_SELECTED, 0}};
  for (const auto& c : cases) {
    sim::World world;
    RemoteList r(world);
    std::string record = Record(32, LVIF_STATE, c.item, c.stateMask, 0, 0);
    std::memset(&record[12], 0xEE, 4);  // whatever was there before is replaced
    EXPECT_EQ(TRUE, r.GetItem(record));
    EXPECT_EQ(c.state, r.State()) << c.item << " mask " << c.stateMask;
  }
}

TEST(ListViewGetItem, ItemsOutsideTheListOrRefusedAnswerFalse) {
  sim::World world;
  RemoteList r(world);
  r.list->refused = {1};
  const int items[] = {-1, 3, 1};
  for (int item : items) {
    EXPECT_EQ(FALSE, r.GetItem(Record(32, LVIF_TEXT | LVIF_STATE, item, LVIS_SELECTED, r.text, 16)))
        << item;
  }
  EXPECT_EQ(std::string(4, '\0'), r.Text(4));
  // A record that is not in the process's memory at all.
  EXPECT_EQ(FALSE, SendMessageA(r.hwnd, LVM_GETITEMA, 0, static_cast<LPARAM>(r.block + 0x1000)));
  EXPECT_EQ(4u, r.list->received.size());
}

// Names with a letter the code page lacks but has a look-alike for, a pair
// that differs only by it, Hangul, a kanji beyond the basic plane, an emoji.
const std::u16string kWideNames[] = {u"r\u00e9sum\u00e9.txt", u"resume.txt", u"\uD55C\uAE00.doc",
                                     u"\U00020BB7.txt", u"\U0001F600.png"};

TEST(ListViewGetItemW, GivesEveryNameAsItIsInTheLayoutOfEitherBitness) {
  for (int bitness : {32, 64}) {
    sim::World world;
    RemoteList r(world, bitness);
    r.list->texts.assign(std::begin(kWideNames), std::end(kWideNames));
    for (int i = 0; i < 5; ++i) {
      const std::u16string& name = kWideNames[i];
      EXPECT_EQ(TRUE, r.GetItemW(Record(bitness, LVIF_TEXT, i, 0, r.text, 64))) << bitness;
      EXPECT_EQ(name + u'\0', r.WideText(name.size() + 1)) << bitness << " item " << i;
    }
  }
}

// LVM_GETITEMA converts with best-fit: the accented name comes back as the
// other one. A program that reads names this way cannot tell them apart.
TEST(ListViewGetItemA, GivesLookAlikesOfNamesTheCodePageLacks) {
  for (int bitness : {32, 64}) {
    sim::World world;
    const std::string expected[] = {"resume.txt", "resume.txt", "??.doc",
                                    sim::Ansi(u"\U00020BB7") + ".txt",
                                    sim::Ansi(u"\U0001F600") + ".png"};
    RemoteList r(world, bitness);
    r.list->texts.assign(std::begin(kWideNames), std::end(kWideNames));
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(TRUE, r.GetItem(Record(bitness, LVIF_TEXT, i, 0, r.text, 64)));
      EXPECT_EQ(expected[i] + '\0', r.Text(expected[i].size() + 1)) << bitness << " item " << i;
    }
  }
}

// A text that does not fit is cut to whole characters of the code page and
// left without a zero.
TEST(ListViewGetItemA, ATwoByteCharacterThatDoesNotFitIsLeftOut) {
  const struct {
    int textMax;
    std::string bytes;  // at pszText, 5 bytes
  } cases[] = {{5, std::string("ab\x95\x5C\0", 5)},
               {4, std::string("ab\x95\x5C#", 5)},
               {3, std::string("ab###", 5)},
               {2, std::string("ab###", 5)}};
  for (const auto& c : cases) {
    sim::World world;
    RemoteList r(world);
    r.list->texts = {u"ab\u8868"};
    RemoteWrite(r.process, r.text, "#####");
    EXPECT_EQ(TRUE, r.GetItem(Record(32, LVIF_TEXT, 0, 0, r.text, c.textMax)));
    EXPECT_EQ(c.bytes, r.Text(5)) << c.textMax;
  }
}

TEST(ListViewGetItemW, TextsAreCutToCchTextMaxUnitsOrFillThemWhenUnterminated) {
  const struct {
    int item;
    ULONG_PTR textOffset;
    int textMax;
    bool unterminated;
    LRESULT answer;
    std::u16string units;  // at pszText, 4 units
  } cases[] = {
      {0, 0x100, 16, false, TRUE, std::u16string(u"r\u00e9su", 4)},
      {0, 0x100, 3, false, TRUE, std::u16string(u"r\u00e9\0#", 4)},
      {4, 0x100, 2, false, TRUE, std::u16string(u"\xD83D\0##", 4)},  // a pair is cut
      {4, 0x100, 1, false, TRUE, std::u16string(u"\0###", 4)},
      {4, 0x100, 0, false, FALSE, std::u16string(u"####", 4)},
      {1, 0x100, 3, true, TRUE, std::u16string(u"res#", 4)},
      {1, 0xF00, 0x80, false, TRUE, std::u16string(u"resu", 4)},  // 0x100 bytes: ends with the block
      {1, 0xF00, 0x81, false, FALSE, std::u16string(u"####", 4)},
  };
  for (const auto& c : cases) {
    sim::World world;
    RemoteList r(world);
    r.list->texts.assign(std::begin(kWideNames), std::end(kWideNames));
    r.list->unterminatedTexts = c.unterminated;
    ULONG_PTR text = r.block + c.textOffset;
    RemoteWrite(r.process, text, std::string("#\0#\0#\0#\0", 8));
    EXPECT_EQ(c.answer, r.GetItemW(Record(32, LVIF_TEXT, c.item, 0, text, c.textMax)))
        << c.textMax;
    EXPECT_EQ(c.units, RemoteList::WideAt(world, r.pid, text, 4)) << c.item << " " << c.textMax;
  }
}

TEST(ListViewGetItemW, APagingFileViewServesTheWideTextOnWindows98) {
  sim::World world;
  world.SetWindows98();
  RemoteList r(world);
  r.list->texts = {u"\uD55C\uAE00"};
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0x200,
                                      nullptr);
  auto* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  ASSERT_NE(nullptr, view);
  ULONG_PTR address = reinterpret_cast<ULONG_PTR>(view);
  std::string record = Record(32, LVIF_TEXT, 0, 0, address + 0x40, 8);
  std::memcpy(view, record.data(), record.size());
  EXPECT_EQ(TRUE, SendMessageW(r.hwnd, LVM_GETITEMW, 0, static_cast<LPARAM>(address)));
  EXPECT_EQ(u"\uD55C\uAE00", std::u16string(reinterpret_cast<char16_t*>(view + 0x40)));
  EXPECT_EQ(TRUE, SendMessageA(r.hwnd, LVM_GETITEMA, 0, static_cast<LPARAM>(address)));
  EXPECT_STREQ("??", view + 0x40);
  UnmapViewOfFile(view);
  CloseHandle(mapping);
}

constexpr UINT kInsertItemA = LVM_FIRST + 7;
constexpr UINT kInsertItemW = LVM_FIRST + 77;

// The program's own list view: a class while comctl32.dll is loaded; the
// items it inserts come back as they went in through W, as look-alikes
// through A.
TEST(ProgramListView, ExistsWhileComctl32IsLoadedAndAnswersBothKinds) {
  sim::World world;
  auto create = [] {
    return CreateWindowExW(0, u"SysListView32", u"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                           SIM_PROGRAM_INSTANCE, nullptr);
  };
  EXPECT_EQ(nullptr, create());
  EXPECT_EQ(static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS), GetLastError());
  HMODULE comctl = LoadLibraryA("comctl32.dll");
  ASSERT_NE(nullptr, comctl);
  HWND list = create();
  ASSERT_NE(nullptr, list);
  LVITEMW insert = {};
  insert.mask = LVIF_TEXT;
  insert.iItem = 5;  // past the end: appended
  insert.pszText = const_cast<LPWSTR>(u"r\u00e9sum\u00e9.txt");
  EXPECT_EQ(0, SendMessageW(list, kInsertItemW, 0, reinterpret_cast<LPARAM>(&insert)));
  LVITEMA insertA = {};
  insertA.mask = LVIF_TEXT;
  insertA.iItem = 0;
  insertA.pszText = const_cast<LPSTR>("\x95\x5C");
  EXPECT_EQ(0, SendMessageA(list, kInsertItemA, 0, reinterpret_cast<LPARAM>(&insertA)));
  EXPECT_EQ(2, SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));

  char16_t wide[16];
  LVITEMW item = {};
  item.mask = LVIF_TEXT;
  item.iItem = 1;
  item.pszText = wide;
  item.cchTextMax = 16;
  EXPECT_EQ(TRUE, SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  EXPECT_EQ(u"r\u00e9sum\u00e9.txt", std::u16string(wide));
  item.iItem = 0;
  EXPECT_EQ(TRUE, SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  EXPECT_EQ(u"\u8868", std::u16string(wide));
  char ansi[16];
  LVITEMA itemA = {};
  itemA.mask = LVIF_TEXT;
  itemA.iItem = 1;
  itemA.pszText = ansi;
  itemA.cchTextMax = 16;
  EXPECT_EQ(TRUE, SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&itemA)));
  EXPECT_STREQ("resume.txt", ansi);
  itemA.iItem = 2;
  EXPECT_EQ(FALSE, SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&itemA)));
  DestroyWindow(list);
  FreeLibrary(comctl);
  EXPECT_EQ(nullptr, create());
}

TEST(ListViewNextItem, AClaimOfTwoBillionItemsIsAnsweredFromTheSelection) {
  sim::World world;
  RemoteList r(world);
  r.list->itemCount = INT_MAX;
  r.list->selected = {5, INT_MAX - 1};
  auto next = [&](int start, UINT flags) {
    return SendMessageA(r.hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(start), flags);
  };
  EXPECT_EQ(INT_MAX, SendMessageA(r.hwnd, LVM_GETITEMCOUNT, 0, 0));
  EXPECT_EQ(5, next(-1, LVNI_SELECTED));
  EXPECT_EQ(INT_MAX - 1, next(5, LVNI_SELECTED));
  EXPECT_EQ(-1, next(INT_MAX - 1, LVNI_SELECTED));
  EXPECT_EQ(0, next(-1, LVNI_ALL));
  EXPECT_EQ(INT_MAX - 1, next(INT_MAX - 2, LVNI_ALL));
  EXPECT_EQ(-1, next(INT_MAX - 1, LVNI_ALL));
  EXPECT_EQ(-1, next(-1, LVNI_FOCUSED));
  EXPECT_EQ(TRUE, r.GetItem(Record(32, LVIF_TEXT, INT_MAX - 1, 0, r.text, 32)));
  EXPECT_EQ(std::string("item2147483646\0", 15), r.Text(15));
  r.list->nextItem = [](int start, UINT) { return start + 10; };
  EXPECT_EQ(15, next(5, LVNI_SELECTED));
}

// On Windows 98/ME the program has no VirtualAllocEx; it puts the record in a
// paging-file view, which the list view's process sees at the same address.
// On the NT family the view is the program's alone.
TEST(ListViewGetItem, APagingFileViewIsSharedOnWindows9xOnly) {
  const struct {
    Version set;
    LRESULT answer;
  } cases[] = {{&sim::World::SetWindows98, TRUE},
               {&sim::World::SetWindowsMe, TRUE},
               {&sim::World::SetWindowsXp, FALSE}};
  for (const auto& c : cases) {
    sim::World world;
    (world.*c.set)();
    RemoteList r(world);
    HANDLE mapping =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0x200, nullptr);
    auto* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(nullptr, view);
    ULONG_PTR address = reinterpret_cast<ULONG_PTR>(view);
    ASSERT_LT(address, 0x100000000ull);  // fits a 32-bit pszText
    std::string record = Record(32, LVIF_TEXT | LVIF_STATE, 1, LVIS_SELECTED, address + 0x40, 8);
    std::memcpy(view, record.data(), record.size());
    EXPECT_EQ(c.answer, SendMessageA(r.hwnd, LVM_GETITEMA, 0, static_cast<LPARAM>(address)));
    EXPECT_STREQ(c.answer ? "beta" : "", view + 0x40);
    UINT state = 0;
    std::memcpy(&state, view + 12, 4);
    EXPECT_EQ(c.answer ? static_cast<UINT>(LVIS_SELECTED) : 0u, state);
    UnmapViewOfFile(view);
    CloseHandle(mapping);
  }
}

TEST(ListView, AProcessThatEndsMidwayTakesTheListViewWithIt) {
  sim::World world;
  RemoteList r(world);
  r.list->endProcessAfterMessages = 2;
  DWORD_PTR answer = 0;
  EXPECT_TRUE(SendMessageTimeoutA(r.hwnd, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer));
  EXPECT_EQ(3u, answer);
  EXPECT_EQ(TRUE, r.GetItem(Record(32, LVIF_TEXT, 0, 0, r.text, 16)));
  EXPECT_FALSE(
      SendMessageTimeoutA(r.hwnd, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
  EXPECT_EQ(2u, r.list->received.size());
  EXPECT_FALSE(IsWindow(r.hwnd));
  EXPECT_EQ(0, world.RemoteBlocks(r.pid));
  char byte;
  EXPECT_FALSE(ReadProcessMemory(r.process, reinterpret_cast<LPCVOID>(r.block), &byte, 1, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PARTIAL_COPY), GetLastError());
}

}  // namespace
