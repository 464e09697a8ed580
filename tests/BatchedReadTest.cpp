// Reading many selected items at once: the batched read must give what asking item by item
// gives, cost few round trips, and stay whole-or-nothing with list views that change, stop or
// go in the middle of a batch. Also the trace, which sums up long lists.
#include "Desktop.h"
#include "Scenario.h"

#include <algorithm>
#include <random>

#include "selection/ListViewReaderNt.h"

namespace {

using Paths = std::vector<std::string>;

class BatchedRead : public Scenario {
protected:
    BatchedRead()
    {
        world.AddDirectory("C:\\work");
        for (int i = 0; i < 50; i++)
            world.AddFile("C:\\work\\n" + std::to_string(i), "");
        Put(g_Run.CurrentFolder, "C:\\work");
    }

    sim::ListViewControl& Use(const std::vector<sim::Text>& items, const std::set<int>& selected,
                              int bitness = 32)
    {
        sim::ListViewControl& control =
            AddFilerListView(world, items, selected, bitness, &process, &listView);
        g_Run.CurrentListView = listView;
        std::memset(&g_Run.Foreign, 0, sizeof g_Run.Foreign);
        world.counters = sim::CrossProcessCounters();
        return control;
    }

    int Read(int batchLimit = ItemBatchLimit)
    {
        g_Run.IsNtFamily = 1;
        g_Run.ReadStatus = 0;
        int result = ReadListViewNtInBatchesOf(batchLimit);
        EXPECT_EQ(0, world.OpenKernelHandles()) << "handles left open";
        EXPECT_EQ(0, world.lateWritesIntoReleasedMemory) << "memory released while still in use";
        return result;
    }

    static Paths Selected() { return AnsiList(g_Run.Selection.Paths, g_Run.Selection.Count); }

    static std::vector<sim::Text> Names(int count)
    {
        std::vector<sim::Text> items;
        for (int i = 0; i < count; i++)
            items.push_back("n" + std::to_string(i % 50));
        return items;
    }

    static std::set<int> Range(int first, int end)
    {
        std::set<int> s;
        for (int i = first; i < end; i++)
            s.insert(i);
        return s;
    }

    DWORD process = 0;
    HWND listView = nullptr;
};

// Selections of every shape: scattered, in runs of any length, everything; items that do not
// resolve, that the list view refuses, more than 1000 selected; list views whose LVM_GETNEXTITEM
// answers are out of order (read item by item from the first); both record layouts.
TEST_F(BatchedRead, GivesWhatAskingItemByItemGives)
{
    std::mt19937 random(20261208);
    for (int round = 0; round < 300; round++) {
        int size = (int)(random() % (round % 10 == 0 ? 3000 : 400));
        std::vector<sim::Text> items;
        std::set<int> selected, refused;
        int shape = round % 4;
        int percent = (int)(random() % 101);
        for (int i = 0; i < size;) {
            if (shape == 0) {   // scattered
                if ((int)(random() % 100) < percent)
                    selected.insert(i);
                i++;
            } else {            // runs of selected and unselected items
                int run = 1 + (int)(random() % (shape == 1 ? 8 : 300));
                bool on = shape == 3 || random() % 2 == 0;
                for (int j = i; j < i + run && j < size; j++)
                    if (on)
                        selected.insert(j);
                i += run;
            }
        }
        for (int i = 0; i < size; i++) {
            int kind = (int)(random() % 1000);
            items.push_back(kind < 3 ? "missing" + std::to_string(i)
                                     : "n" + std::to_string(random() % 50));
            if (kind >= 990)
                refused.insert(i);
        }
        int bitness = round % 2 ? 64 : 32;
        bool unordered = round % 13 == 0;
        auto prepare = [&](sim::ListViewControl& c) {
            c.refused = refused;
            if (unordered)
                c.nextItem = [](int start, UINT) { return start < 0 ? 0 : start; };
        };

        prepare(Use(items, selected, bitness));
        int oneResult = Read(1);
        Paths onePaths = Selected();
        int oneStatus = g_Run.ReadStatus;
        long oneWaits = world.counters.Waits();

        prepare(Use(items, selected, bitness));
        int batchResult = Read();

        ASSERT_EQ(oneResult, batchResult) << "round " << round;
        ASSERT_EQ(onePaths, Selected()) << "round " << round;
        ASSERT_EQ(oneStatus, g_Run.ReadStatus) << "round " << round;
        EXPECT_LE(world.counters.Waits(), oneWaits) << "round " << round;
    }
}

TEST_F(BatchedRead, AThousandSelectedItemsCostAMessageEachAndFewMemoryTrips)
{
    Use(Names(1000), Range(0, 1000));
    EXPECT_EQ(1, Read());
    ASSERT_EQ(1000, g_Run.Selection.Count);
    EXPECT_EQ("C:\\work\\n49", Selected()[999]);
    const sim::CrossProcessCounters& c = world.counters;
    EXPECT_LE(c.messages.at(LVM_GETITEMW), 1000);
    EXPECT_LE(c.Messages(), 1000 + 40);
    EXPECT_LE(c.writes + c.reads, 40);
    EXPECT_EQ(1, c.allocations);
    EXPECT_EQ(1, c.releases);

    // Two selected among a hundred thousand: no item is asked that is not selected.
    sim::ListViewControl& sparse = Use({}, {33333, 66666});
    sparse.itemCount = 100000;
    sparse.textOf = [](int) { return sim::Text("n7"); };
    EXPECT_EQ(1, Read());
    EXPECT_EQ((Paths{"C:\\work\\n7", "C:\\work\\n7"}), Selected());
    EXPECT_EQ(2, world.counters.messages.at(LVM_GETITEMW));
}

// The list view's items and selection change while they are read. Whatever moment it happens
// at, every path is that of an item the list view held, in ascending order, or nothing is read.
TEST_F(BatchedRead, ListViewThatChangesDuringABatchGivesTheRightPathsOrNone)
{
    for (int at = 0; at < 60; at++) {
        sim::ListViewControl& c = Use(Names(300), Range(0, 300));
        c.beforeEachMessage = [at](sim::ListViewControl& lv, size_t received) {
            if (received != (size_t)at)
                return;
            lv.texts.resize(150);                   // half the items go
            for (int i = 0; i < 150; i += 3)
                lv.selected.erase(i);               // and some are no longer selected
            lv.selected.insert(400);
        };
        int result = Read();
        if (result == 0)
            continue;
        Paths paths = Selected();
        ASSERT_GE(paths.size(), 1u) << at;
        for (const std::string& path : paths)
            EXPECT_TRUE(world.FileExists(path)) << at << ": " << path;
        EXPECT_LE(paths.size(), 300u) << at;
    }
}

// The list view handles part of a batch and then stops answering: nothing is read, the block
// that it may still write into is kept, and the read is over within the time allowed.
TEST_F(BatchedRead, ListViewThatAnswersPartOfABatchAndStopsIsNotRead)
{
    for (int after : {2, 5, 9, 40, 130, 200}) {
        sim::ListViewControl& c = Use(Names(300), Range(0, 300));
        c.hangAfterMessages = after;
        DWORD before = GetTickCount();
        EXPECT_EQ(0, Read()) << after;
        EXPECT_LE(GetTickCount() - before, 1500u) << after;
        EXPECT_EQ(1, world.RemoteBlocks(process)) << after << ": it may still write into it";
        EXPECT_FALSE(world.blockedOnHungWindow) << after;
    }
}

TEST_F(BatchedRead, ProcessThatEndsDuringABatchGivesTheRightPathsOrNone)
{
    Paths all;
    for (int i = 0; i < 300; i++)
        all.push_back("C:\\work\\n" + std::to_string(i % 50));
    for (int after = 0; after < 330; after += 7) {
        sim::ListViewControl& c = Use(Names(300), Range(0, 300));
        c.endProcessAfterMessages = after;
        int result = Read();
        if (result == 1) {
            EXPECT_EQ(all, Selected()) << after;
        }
        EXPECT_EQ(0, world.RemoteBlocks(process)) << after << ": the process is gone";
    }
}

// A system that refuses the memory for a whole batch, or the messages that are not waited
// for, still gets every path, asked one item at a time.
TEST_F(BatchedRead, WithoutRoomOrMessagesForABatchItemsAreAskedOneByOne)
{
    for (const char* refused : {"VirtualAllocEx", "SendNotifyMessageW"}) {
        Use(Names(300), Range(0, 300));
        world.CountFallibleCalls();
        ASSERT_EQ(1, Read());
        long k = 0;
        const std::vector<std::string>& record = world.FallibleCallRecord();
        for (size_t i = 0; i < record.size() && k == 0; i++)
            if (record[i] == refused)
                k = (long)i + 1;
        ASSERT_NE(0, k) << refused;

        Use(Names(300), Range(0, 300));
        world.CountFallibleCalls();
        world.FailFallibleCall(k);
        EXPECT_EQ(1, Read()) << refused;
        EXPECT_EQ(300, g_Run.Selection.Count) << refused;
        EXPECT_EQ(0, g_Run.ReadStatus) << refused;
        world.FailFallibleCall(0);
    }
}

struct TraceCase {
    const char* what;
    bool viewer, debugger, windows98, noDebuggerQuery;
    int itemLines;
};

class LongTrace : public Scenario, public ::testing::WithParamInterface<TraceCase> {
protected:
    void SetUpList(int count)
    {
        world.AddDirectory("C:\\Data");
        std::vector<sim::Text> items;
        std::set<int> selected;
        for (int i = 0; i < count; i++) {
            items.push_back("f" + std::to_string(i) + ".txt");
            world.AddFile("C:\\Data\\f" + std::to_string(i) + ".txt", "");
            selected.insert(i);
        }
        DWORD process = world.AddProcess("C:\\Tools\\filer.exe");
        HWND top = world.AddWindow("FilerWindow", "C:\\Data", true, nullptr, process);
        AddListView(world, top, process, items, selected);
        world.SetForeground(top);
    }

    int Lines(const char* start) const
    {
        int n = 0;
        for (const std::string& line : world.trace)
            n += line.rfind(start, 0) == 0;
        return n;
    }
};

// Past the 20th item, the items' lines are summed up in one line, unless a debugger or a debug
// viewer listens; the clipboard holds every path either way.
TEST_P(LongTrace, ItemsPastTheTwentiethAreSummedUpUnlessSomeoneListens)
{
    const TraceCase& c = GetParam();
    world.SetDebugViewerListening(c.viewer);
    world.SetDebuggerAttached(c.debugger);
    if (c.windows98)
        world.SetWindows98();
    if (c.noDebuggerQuery)
        world.RemoveExport("kernel32.dll", "IsDebuggerPresent");   // as on Windows 95
    SetUpList(30);
    EXPECT_EQ(0, Run("/#f"));
    EXPECT_EQ(c.itemLines, Lines("Tavix: read: item "));
    EXPECT_EQ(c.itemLines, Lines("Tavix: output: \""));
    int summed = c.itemLines == 20 ? 1 : 0;
    EXPECT_EQ(summed, Lines("Tavix: read: 10 more, without a line each"));
    EXPECT_EQ(summed, Lines("Tavix: output: 10 more, without a line each"));
    if (::testing::Test::HasFailure())
        for (const std::string& line : world.trace)
            ADD_FAILURE() << line;
    std::string clipboard = world.ClipboardText().Text();
    EXPECT_EQ(30, (int)std::count(clipboard.begin(), clipboard.end(), '\n') + 1);
}

INSTANTIATE_TEST_SUITE_P(Listeners, LongTrace,
                         ::testing::Values(TraceCase{"nobody", false, false, false, false, 20},
                                           TraceCase{"viewer", true, false, false, false, 30},
                                           TraceCase{"debugger", false, true, false, false, 30},
                                           TraceCase{"viewer98", true, false, true, false, 30},
                                           TraceCase{"nobody98", false, false, true, false, 20},
                                           TraceCase{"noQuery", false, true, false, true, 20}),
                         [](const ::testing::TestParamInfo<TraceCase>& info) {
                             return std::string(info.param.what);
                         });

}  // namespace
