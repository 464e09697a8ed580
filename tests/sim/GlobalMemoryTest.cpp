// Global memory blocks and the leak counter that scenario tests assert on,
// and the clipboard that takes blocks over.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "SimWorld.h"

namespace {

TEST(GlobalMemory, FixedBlockHandleIsItsAddressAndGptrIsZeroed) {
  sim::World world;
  HGLOBAL h = GlobalAlloc(GPTR, 16);
  ASSERT_NE(nullptr, h);
  EXPECT_EQ(h, GlobalLock(h));
  const char zeros[16] = {};
  EXPECT_EQ(0, memcmp(zeros, h, 16));
  EXPECT_EQ(16u, GlobalSize(h));
  EXPECT_EQ(1, world.OutstandingGlobalBlocks());
  EXPECT_EQ(nullptr, GlobalFree(h));
  EXPECT_EQ(0, world.OutstandingGlobalBlocks());
}

TEST(GlobalMemory, MoveableBlockMovesOnReallocationAndKeepsItsContent) {
  sim::World world;
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 1);
  char* before = static_cast<char*>(GlobalLock(h));
  ASSERT_NE(nullptr, before);
  EXPECT_NE(static_cast<void*>(h), static_cast<void*>(before));
  before[0] = 'A';
  ASSERT_EQ(h, GlobalReAlloc(h, 8, GMEM_MOVEABLE));
  char* after = static_cast<char*>(GlobalLock(h));
  EXPECT_NE(before, after);  // an address kept across the reallocation is stale
  EXPECT_EQ('A', after[0]);
  EXPECT_EQ(static_cast<char>(0xAB), after[7]);  // grown without GMEM_ZEROINIT: not zero
  EXPECT_TRUE(GlobalUnlock(h));   // still locked once
  EXPECT_FALSE(GlobalUnlock(h));  // now unlocked
  EXPECT_EQ(static_cast<DWORD>(NO_ERROR), GetLastError());
  EXPECT_FALSE(GlobalUnlock(h));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_LOCKED), GetLastError());
  GlobalFree(h);
  EXPECT_EQ(0, world.OutstandingGlobalBlocks());
}

TEST(GlobalMemory, ZeroSizeFixedBlockIsValidButZeroSizeMoveableBlockHasNoMemory) {
  sim::World world;
  HGLOBAL fixed = GlobalAlloc(GMEM_FIXED, 0);
  ASSERT_NE(nullptr, fixed);
  EXPECT_EQ(fixed, GlobalLock(fixed));
  HGLOBAL moveable = GlobalAlloc(GHND, 0);
  ASSERT_NE(nullptr, moveable);
  EXPECT_EQ(nullptr, GlobalLock(moveable));
  EXPECT_EQ(2, world.OutstandingGlobalBlocks());
  GlobalFree(fixed);
  GlobalFree(moveable);
}

TEST(GlobalMemory, InjectedAndOversizedFailuresReportOutOfMemory) {
  sim::World world;
  world.FailGlobalAlloc(2);
  HGLOBAL first = GlobalAlloc(GHND, 4);
  EXPECT_NE(nullptr, first);
  EXPECT_EQ(nullptr, GlobalAlloc(GHND, 4));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
  HGLOBAL third = GlobalAlloc(GHND, 4);
  EXPECT_NE(nullptr, third);

  world.FailGlobalReAlloc(1);
  EXPECT_EQ(nullptr, GlobalReAlloc(first, 64, GMEM_MOVEABLE));
  EXPECT_EQ(4u, GlobalSize(first));  // the block is untouched by the failure

  world.FailAllGlobalAlloc(true);
  EXPECT_EQ(nullptr, GlobalAlloc(GPTR, 1));
  world.FailAllGlobalAlloc(false);
  EXPECT_EQ(nullptr, GlobalAlloc(GPTR, SIZE_T(0x100000000ull)));

  // A fixed block cannot grow in place.
  HGLOBAL fixed = GlobalAlloc(GMEM_FIXED, 4);
  EXPECT_EQ(nullptr, GlobalReAlloc(fixed, 64, 0));
  EXPECT_EQ(3, world.OutstandingGlobalBlocks());
  GlobalFree(first);
  GlobalFree(third);
  GlobalFree(fixed);
}

TEST(GlobalMemory, StaleAndForeignHandlesFailWithoutCrashing) {
  sim::World world;
  HGLOBAL h = GlobalAlloc(GHND, 4);
  GlobalFree(h);
  EXPECT_EQ(h, GlobalFree(h));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
  EXPECT_EQ(nullptr, GlobalLock(h));
  EXPECT_EQ(0u, GlobalSize(h));
  EXPECT_EQ(nullptr, GlobalReAlloc(h, 8, GMEM_MOVEABLE));
  EXPECT_EQ(nullptr, GlobalFree(nullptr));
}

// A moveable block holding the bytes.
HGLOBAL BlockOf(const void* bytes, size_t size) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, size);
  std::memcpy(GlobalLock(h), bytes, size);
  GlobalUnlock(h);
  return h;
}

HGLOBAL WideBlock(const std::u16string& text) {
  return BlockOf(text.c_str(), (text.size() + 1) * sizeof(char16_t));
}

// The text a reader of the program gets for a format; "none" without one.
std::string ReadAnsi() {
  HANDLE h = GetClipboardData(CF_TEXT);
  if (!h) return "none";
  std::string text = static_cast<const char*>(GlobalLock(h));
  GlobalUnlock(h);
  return text;
}

std::u16string ReadWide() {
  HANDLE h = GetClipboardData(CF_UNICODETEXT);
  if (!h) return u"none";
  std::u16string text = static_cast<const char16_t*>(GlobalLock(h));
  GlobalUnlock(h);
  return text;
}

const std::u16string kPaths = u"D:\\r\u00e9sum\u00e9.txt\r\nD:\\\uD55C \U0001F600";

TEST(Clipboard, EachFormatIsKeptAsSetAndTheFormatsInTheirOrder) {
  sim::World world;
  ASSERT_TRUE(OpenClipboard(nullptr));
  ASSERT_TRUE(EmptyClipboard());
  EXPECT_NE(nullptr, SetClipboardData(CF_UNICODETEXT, WideBlock(kPaths)));
  const char ansi[] = "D:\\r?sum?.txt\r\nD:\\? ?";
  EXPECT_NE(nullptr, SetClipboardData(CF_TEXT, BlockOf(ansi, sizeof ansi)));
  EXPECT_EQ(kPaths, ReadWide());
  EXPECT_EQ(ansi, ReadAnsi());  // what was set, not a conversion
  EXPECT_TRUE(CloseClipboard());
  EXPECT_EQ((std::vector<std::string>{"OpenClipboard", "EmptyClipboard", "SetClipboardData 13",
                                      "SetClipboardData 1", "CloseClipboard"}),
            world.outputCalls);
  EXPECT_EQ((std::vector<UINT>{CF_UNICODETEXT, CF_TEXT}), world.ClipboardFormats());
  EXPECT_EQ(kPaths, world.ClipboardUnicodeText().WideText());
  EXPECT_TRUE(world.ClipboardUnicodeText().setByProgram);
  EXPECT_EQ((kPaths.size() + 1) * 2, world.ClipboardUnicodeText().blockSize);
  EXPECT_EQ(ansi, world.ClipboardText().Text());
  EXPECT_EQ(0, world.OutstandingGlobalBlocks());

  ASSERT_TRUE(OpenClipboard(nullptr));
  ASSERT_TRUE(EmptyClipboard());
  EXPECT_TRUE(world.ClipboardFormats().empty());
  EXPECT_FALSE(world.ClipboardUnicodeText().present);
  EXPECT_TRUE(CloseClipboard());
}

// When only CF_UNICODETEXT was set, a CF_TEXT reader gets the text converted
// with best-fit: the accented name as its look-alike.
TEST(Clipboard, CfTextIsMadeFromUnicodeTextWhenOnlyThatWasSet) {
  sim::World world;
  ASSERT_TRUE(OpenClipboard(nullptr));
  ASSERT_TRUE(EmptyClipboard());
  SetClipboardData(CF_UNICODETEXT, WideBlock(kPaths));
  ASSERT_TRUE(CloseClipboard());
  std::string lookAlike = "D:\\resume.txt\r\nD:\\? " + sim::Ansi(u"\U0001F600");
  EXPECT_EQ((std::vector<UINT>{CF_UNICODETEXT}), world.ClipboardFormats());
  sim::ClipboardTextRecord made = world.ClipboardText();
  EXPECT_TRUE(made.present);
  EXPECT_TRUE(made.setByProgram);
  EXPECT_EQ(lookAlike, made.Text());
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));

  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE first = GetClipboardData(CF_TEXT);
  EXPECT_EQ(lookAlike, ReadAnsi());
  EXPECT_EQ(first, GetClipboardData(CF_TEXT));  // made once
  EXPECT_EQ(0, world.OutstandingGlobalBlocks());  // the clipboard owns it
  ASSERT_TRUE(EmptyClipboard());
  EXPECT_EQ(0u, GlobalSize(first));  // gone with the content it was made from
  EXPECT_EQ("none", ReadAnsi());
  EXPECT_TRUE(CloseClipboard());
  EXPECT_EQ((std::vector<UINT>{}), world.ClipboardFormats());

  // And the other way: another program's CF_TEXT read as CF_UNICODETEXT.
  world.SetClipboardText("\x95\x5C");
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_EQ(u"\u8868", ReadWide());
  EXPECT_TRUE(CloseClipboard());
  EXPECT_FALSE(world.ClipboardUnicodeText().present);  // only what was set
}

TEST(Clipboard, Windows98MakesNoTextFormatFromTheOther) {
  sim::World world;
  world.SetWindows98();
  world.SetClipboardUnicodeText(u"\uD55C");
  EXPECT_FALSE(world.ClipboardText().present);
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_EQ("none", ReadAnsi());
  EXPECT_EQ(u"\uD55C", ReadWide());
  EXPECT_TRUE(CloseClipboard());
}

}  // namespace
