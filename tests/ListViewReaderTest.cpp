// Reading the selected items of another process's list view: both families' readers, the
// item-to-path rules, the record layouts of both bitnesses, and list views that misbehave.
#include "Desktop.h"
#include "Scenario.h"

#include <algorithm>
#include <random>

#include "selection/ItemPath.h"
#include "selection/ListViewReader9x.h"
#include "selection/ListViewReaderNt.h"

namespace {

const char kDesktopName[] = "\x83\x66\x83\x58\x83\x4E\x83\x67\x83\x62\x83\x76";  // デスクトップ

using Paths = std::vector<std::string>;

class Reader : public Scenario {
protected:
    Reader()
    {
        AddEntries(world, "C:\\work", {"a.txt", "b.txt", "c.txt", "sub\\", "Link.lnk",
                                       "Report.doc", "Report2.doc", "Report2.lnk", "gone.txt.lnk"});
        Put(g_Run.CurrentFolder, "C:\\work");
    }

    // A list view of a new process; it becomes the CurrentListView.
    sim::ListViewControl& Use(const std::vector<sim::Text>& items, const std::set<int>& selected,
                              int bitness = 32)
    {
        sim::ListViewControl& control =
            AddFilerListView(world, items, selected, bitness, &process, &listView);
        g_Run.CurrentListView = listView;
        return control;
    }

    // Runs one reader as the reader entry does; returns its result.
    int Read(bool nt)
    {
        g_Run.IsNtFamily = nt ? 1 : 0;
        g_Run.UnicodeCalls = nt ? 1 : 0;
        if (!nt)
            world.SetWindows98();
        g_Run.ReadStatus = 0;
        int result = nt ? ReadListViewNt() : ReadListView9x();
        EXPECT_EQ(0, world.OpenKernelHandles()) << "handles left open";
        EXPECT_EQ(0, world.LoadedLibraries()) << "libraries left loaded";
        return result;
    }

    static Paths Selected()
    {
        return AnsiList(g_Run.Selection.Paths, g_Run.Selection.Count);
    }

    DWORD process = 0;
    HWND listView = nullptr;
};

struct ReaderCase {
    const char* what;
    std::vector<sim::Text> items;
    std::set<int> selected;
    Paths expected;
    int statusNt;
    int status9x;
};

TEST_F(Reader, BothFamiliesTurnSelectedItemsIntoPaths)
{
    const ReaderCase cases[] = {
        {"nothing selected", {"a.txt", "b.txt"}, {}, {"C:\\work"}, 0, -1},
        {"empty list", {}, {}, {"C:\\work"}, 0, -1},
        {"first unresolvable", {"missing", "a.txt"}, {0, 1}, {"C:\\work"}, -1, -1},
        {"third unresolvable", {"a.txt", "b.txt", "missing", "c.txt"}, {0, 1, 2, 3},
         {"C:\\work\\a.txt", "C:\\work\\b.txt"}, -1, -1},
        {"list order, not selection order", {"a.txt", "b.txt", "c.txt"}, {2, 0},
         {"C:\\work\\a.txt", "C:\\work\\c.txt"}, 0, 0},
        {"special folder", {kDesktopName}, {0}, {"C:\\Documents and Settings\\user\\Desktop"}, 0, 0},
        {"folder", {"sub"}, {0}, {"C:\\work\\sub"}, 0, 0},
        {"shortcut without its extension", {"Link"}, {0}, {"C:\\work\\Link.lnk"}, 0, 0},
        {"hidden extension", {"Report"}, {0}, {"C:\\work"}, -1, -1},
        {"hidden extension, with a shortcut", {"Report2"}, {0}, {"C:\\work\\Report2.lnk"}, 0, 0},
        {"extension naming nothing: no shortcut tried", {"gone.txt"}, {0}, {"C:\\work"}, -1, -1},
        {"empty text", {""}, {0}, {"C:\\work\\"}, 0, 0},
        {"same text twice", {"a.txt", "a.txt"}, {0, 1}, {"C:\\work\\a.txt", "C:\\work\\a.txt"}, 0, 0},
    };
    for (bool nt : {true, false}) {
        for (const ReaderCase& c : cases) {
            Use(c.items, c.selected);
            EXPECT_EQ(1, Read(nt));
            EXPECT_EQ(c.expected, Selected()) << c.what << (nt ? " (NT)" : " (98/ME)");
            EXPECT_EQ(nt ? c.statusNt : c.status9x, g_Run.ReadStatus) << c.what;
        }
    }
    EXPECT_EQ(0, world.MappedViews());
}

TEST_F(Reader, CandidatesOf260CharactersOrMoreAreUnresolvable)
{
    std::string fits(251, 'x');     // C:\work\ + 251 = 259 characters
    std::string tooLong(252, 'y');  // 260
    std::string shortcut(248, 'z'); // 256, and 260 with .lnk
    world.AddFile("C:\\work\\" + fits, "");
    world.AddFile("C:\\work\\" + tooLong, "");
    world.AddFile("C:\\work\\" + shortcut + ".lnk", "");
    for (bool nt : {true, false}) {
        Use({fits, tooLong}, {0, 1});
        Read(nt);
        EXPECT_EQ(Paths{"C:\\work\\" + fits}, Selected());
        EXPECT_EQ(-1, g_Run.ReadStatus);
        Use({shortcut}, {0});
        Read(nt);
        EXPECT_EQ(Paths{"C:\\work"}, Selected());
        EXPECT_EQ(-1, g_Run.ReadStatus);
    }
}

TEST_F(Reader, AThousandPathsAtMost)
{
    std::vector<sim::Text> items;
    std::set<int> selected;
    for (int i = 0; i < 1300; i++) {
        items.push_back("f" + std::to_string(i));
        world.AddFile("C:\\work\\f" + std::to_string(i), "");
        if (i % 13 != 5)
            selected.insert(i);
    }
    for (bool nt : {true, false}) {
        Use(items, selected);
        Read(nt);
        ASSERT_EQ(1000, g_Run.Selection.Count);
        EXPECT_EQ("C:\\work\\f0", Ansi(g_Run.Selection.Paths[0]));
        EXPECT_EQ("C:\\work\\f1082", Ansi(g_Run.Selection.Paths[999]));   // the 1000th selected
        EXPECT_EQ(0, g_Run.ReadStatus);
    }
}

TEST_F(Reader, NtReaderPassesOverItemsTheListViewRefuses)
{
    sim::ListViewControl& control = Use({"a.txt", "b.txt", "c.txt"}, {0, 1, 2});
    control.refused = {1};
    EXPECT_EQ(1, Read(true));
    EXPECT_EQ((Paths{"C:\\work\\a.txt", "C:\\work\\c.txt"}), Selected());
    EXPECT_EQ(0, g_Run.ReadStatus);
}

TEST_F(Reader, NtReaderWithoutTheMeansToReadLeavesTheSelectionAlone)
{
    struct Failure {
        const char* what;
        std::function<void()> inject;
    };
    const Failure failures[] = {
        {"no VirtualAllocEx", [&] { world.RemoveExport("kernel32.dll", "VirtualAllocEx"); }},
        {"no VirtualFreeEx", [&] { world.RemoveExport("kernel32.dll", "VirtualFreeEx"); }},
        {"process refuses", [&] { world.RefuseOpenProcess(process, PROCESS_VM_WRITE); }},
    };
    for (const Failure& f : failures) {
        Use({"a.txt"}, {0});
        world.AddExport("kernel32.dll", "VirtualAllocEx");
        world.AddExport("kernel32.dll", "VirtualFreeEx");
        f.inject();
        g_Run.Selection.Count = 1;
        Put(g_Run.Selection.Paths[0], "untouched");
        EXPECT_EQ(0, Read(true)) << f.what;
        EXPECT_EQ(Paths{"untouched"}, Selected()) << f.what;
        EXPECT_EQ(0, g_Run.ReadStatus) << f.what;
        EXPECT_EQ(0, world.RemoteBlocks(process)) << f.what;
    }
}

// A read that ends because the block cannot be written or read back leaves no answer to come
// into it, so the block goes.
TEST_F(Reader, NtReaderThatCannotUseTheBlockReleasesIt)
{
    for (const std::string function : {"WriteProcessMemory", "ReadProcessMemory"}) {
        Use({"a.txt"}, {0});
        world.FailFallibleCall(0);
        world.CountFallibleCalls();
        EXPECT_EQ(1, Read(true));
        const std::vector<std::string>& record = world.FallibleCallRecord();
        long k = std::find(record.begin(), record.end(), function) - record.begin() + 1;
        ASSERT_LE(k, (long)record.size()) << function;

        Use({"a.txt"}, {0});
        world.CountFallibleCalls();
        world.FailFallibleCall(k);
        EXPECT_EQ(0, Read(true)) << function;
        ASSERT_LE(k, (long)world.FallibleCallRecord().size()) << function;
        EXPECT_EQ(function + " failed", world.FallibleCallRecord()[k - 1]);
        EXPECT_EQ(0, world.RemoteBlocks(process)) << function;
    }
}

// The record must be laid out as the list view's own process expects it, whatever the
// program's bitness.
TEST_F(Reader, RecordFollowsTheBitnessOfTheListViewsProcess)
{
    for (int bitness : {32, 64}) {
        sim::ListViewControl& control = Use({"a.txt", "b.txt"}, {1}, bitness);
        EXPECT_EQ(1, Read(true));
        EXPECT_EQ(Paths{"C:\\work\\b.txt"}, Selected()) << bitness;
        EXPECT_EQ(0, world.RemoteBlocks(process)) << "the item block is released";
        int items = 0;
        for (const auto& m : control.received)
            items += m.msg == LVM_GETITEMW;
        EXPECT_EQ(1, items) << "only the selected item is asked";
    }
}

// When the image file cannot tell, the system is asked whether the process runs under WOW64;
// where nothing tells on a system that runs both bitnesses, the list view is not read, since
// a record in the wrong layout would make it refuse every item or write through a pointer of
// the wrong size.
TEST_F(Reader, ImageThatDoesNotSayItsBitnessIsAskedOfTheSystem)
{
    for (int bitness : {64, 32}) {
        Use({"a.txt"}, {0}, bitness);
        world.Remove("C:\\Tools\\filer" + std::to_string(bitness) + ".exe");
        EXPECT_EQ(1, Read(true));
        EXPECT_EQ(Paths{"C:\\work\\a.txt"}, Selected()) << bitness << "-bit file manager";
    }

    world.RemoveExport("kernel32.dll", "IsWow64Process");
    Use({"a.txt"}, {0}, 32);
    world.Remove("C:\\Tools\\filer32.exe");
    g_Run.Selection.Count = 0;
    EXPECT_EQ(0, Read(true)) << "the 64-bit build cannot tell a 32-bit process from its own kind";
    EXPECT_EQ(0, g_Run.Selection.Count);
    EXPECT_EQ(0, world.RemoteBlocks(process));
}

TEST_F(Reader, UnterminatedAndOverlongItemTextsAreCutInsideTheBuffer)
{
    for (bool nt : {true, false}) {
        sim::ListViewControl& control = Use({"a.txt", std::string(519, 'q')}, {0, 1});
        control.unterminatedTexts = true;
        EXPECT_EQ(1, Read(nt));
        EXPECT_EQ(Paths{"C:\\work"}, Selected());
        EXPECT_EQ(-1, g_Run.ReadStatus);
        Use({std::string(519, '\x83'), "a.txt"}, {0, 1});   // lead bytes only
        Read(nt);
        EXPECT_EQ(-1, g_Run.ReadStatus);
    }
}

TEST_F(Reader, ListViewThatStopsAnsweringIsNotReadAndItsBlockIsKept)
{
    Use({"a.txt", "b.txt"}, {0, 1});
    world.SetHung(process, true);
    DWORD before = GetTickCount();
    EXPECT_EQ(0, Read(true));
    EXPECT_LE(GetTickCount() - before, 1500u);
    EXPECT_EQ(1, world.RemoteBlocks(process)) << "it may still write into the block";
    EXPECT_EQ(0, world.lateWritesIntoReleasedMemory);
    EXPECT_FALSE(world.blockedOnHungWindow);

    std::memset(&g_Run.Foreign, 0, sizeof g_Run.Foreign);
    Use({"a.txt", "b.txt"}, {0, 1});
    world.SetHung(process, true);
    EXPECT_EQ(0, Read(false));
    EXPECT_EQ(1, world.MappedViews()) << "it may still write into the view";
    EXPECT_EQ(0, world.lateWritesIntoReleasedMemory);
}

TEST_F(Reader, ProcessThatEndsDuringTheReadGivesTheRightPathsOrNone)
{
    for (bool nt : {true, false}) {
        for (int after = 0; after < 12; after++) {
            std::memset(&g_Run.Foreign, 0, sizeof g_Run.Foreign);
            sim::ListViewControl& control = Use({"a.txt", "b.txt", "c.txt"}, {0, 2});
            control.endProcessAfterMessages = after;
            // NT: the item count, then three LVM_GETNEXTITEM and two LVM_GETITEMW; 98/ME the
            // same without the item count.
            int needed = nt ? 6 : 5;
            EXPECT_EQ(after >= needed ? 1 : 0, Read(nt)) << after;
            if (after >= needed) {
                EXPECT_EQ((Paths{"C:\\work\\a.txt", "C:\\work\\c.txt"}), Selected()) << after;
                EXPECT_EQ(0, g_Run.ReadStatus);
            }
        }
    }
}

TEST_F(Reader, NineXReaderWithoutSharedMemoryGivesTheFolderAlone)
{
    for (int fault = 0; fault < 2; fault++) {
        Use({"a.txt"}, {0});
        world.FailCreateFileMapping(fault == 0);
        world.FailMapViewOfFile(fault == 1);
        EXPECT_EQ(1, Read(false));
        EXPECT_EQ(Paths{"C:\\work"}, Selected());
        EXPECT_EQ(-1, g_Run.ReadStatus);
        EXPECT_EQ(0, world.MappedViews());
    }
}

TEST_F(Reader, NineXReaderUsesNoMemoryOfTheOtherProcess)
{
    Use({"a.txt", "b.txt"}, {1});
    EXPECT_EQ(1, Read(false));
    EXPECT_EQ(Paths{"C:\\work\\b.txt"}, Selected());
    EXPECT_EQ(0, world.counters.allocations);
    EXPECT_EQ(0, world.counters.writes);
}

// Asking only the selected items must give what asking every item gives. A list view whose
// LVM_GETNEXTITEM answers are not increasing item indices is read item by item; so forcing that
// answer gives the full scan to compare with.
TEST_F(Reader, AskingOnlyTheSelectedItemsGivesWhatAskingEveryItemGives)
{
    std::mt19937 random(20261207);
    for (int i = 0; i < 40; i++)
        world.AddFile("C:\\work\\n" + std::to_string(i), "");
    for (int round = 0; round < 150; round++) {
        int size = (int)(random() % (round % 10 == 0 ? 3000 : 60));
        std::vector<sim::Text> items;
        std::set<int> selected, refused;
        int selectPercent = (int)(random() % 101);
        for (int i = 0; i < size; i++) {
            int kind = (int)(random() % 100);
            items.push_back(kind < 3 ? "missing" + std::to_string(i) : "n" + std::to_string(random() % 40));
            if ((int)(random() % 100) < selectPercent)
                selected.insert(i);
            if (random() % 50 == 0)
                refused.insert(i);
        }
        int bitness = round % 2 ? 64 : 32;

        sim::ListViewControl& walked = Use(items, selected, bitness);
        walked.refused = refused;
        int walkResult = Read(true);
        Paths walkPaths = Selected();
        int walkStatus = g_Run.ReadStatus;
        long walkTrips = world.counters.RoundTrips();

        sim::ListViewControl& scanned = Use(items, selected, bitness);
        scanned.refused = refused;
        scanned.nextItem = [](int start, UINT) { return start < 0 ? 0 : start; };
        int scanResult = Read(true);

        ASSERT_EQ(scanResult, walkResult) << "round " << round;
        ASSERT_EQ(Selected(), walkPaths) << "round " << round;
        ASSERT_EQ(g_Run.ReadStatus, walkStatus) << "round " << round;
        if (size >= 100 && selected.size() < 3) {
            EXPECT_LT(walkTrips * 10, world.counters.RoundTrips() - walkTrips) << "round " << round;
        }
        world.counters = sim::CrossProcessCounters();
    }
}

TEST_F(Reader, HundredThousandItemsWithTwoSelectedTakeAFewRoundTrips)
{
    sim::ListViewControl& control = Use({}, {33333, 66666});
    control.itemCount = 100000;
    control.textOf = [](int i) { return i == 33333 ? std::string("a.txt") : std::string("b.txt"); };
    EXPECT_EQ(1, Read(true));
    EXPECT_EQ((Paths{"C:\\work\\a.txt", "C:\\work\\b.txt"}), Selected());
    EXPECT_LE(world.counters.RoundTrips(), 15);
}

TEST_F(Reader, ListViewClaimingTwoBillionItemsIsReadThroughItsSelection)
{
    sim::ListViewControl& control = Use({"a.txt"}, {0, 2147483646});
    control.itemCount = 2147483647;
    control.textOf = [](int) { return std::string("c.txt"); };
    for (bool nt : {true, false}) {
        EXPECT_EQ(1, Read(nt));
        EXPECT_EQ((Paths{"C:\\work\\a.txt", "C:\\work\\c.txt"}), Selected());
    }
}

TEST_F(Reader, ListViewWhoseAnswersNeverEndIsGivenUpWithinTheRunsTime)
{
    sim::ListViewControl& control = Use({}, {});
    control.itemCount = 2147483647;
    control.nextItem = [](int, UINT) { return 5; };
    world.SetMessageDelay(process, 1);
    DWORD before = GetTickCount();
    EXPECT_EQ(0, Read(true));
    EXPECT_LE(GetTickCount() - before, 6000u + 1500u);
}

TEST_F(Reader, ItemPathOfASpecialFolderIsTakenAsTheSystemGivesIt)
{
    world.SetSpecialFolder(CSIDL_DESKTOP, "C:\\Desk\\");
    world.AddDirectory("C:\\Desk");
    WCHAR path[PathBufferSize];
    const std::u16string desktop = sim::Widen(kDesktopName);
    EXPECT_EQ(1, ResolveItemPath(desktop.c_str(), path));
    EXPECT_EQ(u"C:\\Desk\\", Wide(path));
    world.SetSpecialFolder(CSIDL_DESKTOP, "");
    EXPECT_EQ(0, ResolveItemPath(desktop.c_str(), path)) << "no such item in C:\\work either";
}

}  // namespace
