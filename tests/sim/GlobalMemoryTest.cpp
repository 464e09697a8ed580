// Global memory blocks and the leak counter that scenario tests assert on.
#include <gtest/gtest.h>

#include <cstring>

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

}  // namespace
