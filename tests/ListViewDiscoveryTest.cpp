// Which list views of a window are read, in which order, and when the next one is tried.
#include "Desktop.h"
#include "Scenario.h"

#include "selection/ListViewDiscovery.h"

namespace {

class Discovery : public Scenario {
protected:
    Discovery()
    {
        AddEntries(world, "C:\\work", {"a.txt", "b.txt"});
        g_Run.SearchMode = FilerMode;
        g_Run.IsNtFamily = 1;
        filer = world.AddProcess("C:\\Tools\\filer.exe");
        shell = world.AddProcess("C:\\WINDOWS\\explorer.exe");
        top = world.AddWindow("FilerWindow", "C:\\work", true, nullptr, filer);
    }

    HWND Add(const std::string& cls, HWND parent, DWORD process, bool visible = true)
    {
        HWND w = world.AddWindow(cls, "", visible, parent, process);
        world.MakeListView(w);
        return w;
    }

    // A shell folder view: CabinetWClass > SHELLDLL_DefView > SysListView32.
    HWND AddShellView(HWND parent, DWORD process, bool visible = true, bool listVisible = true)
    {
        HWND cabinet = world.AddWindow("CabinetWClass", "", visible, parent, process);
        HWND view = world.AddWindow("SHELLDLL_DefView", "", true, cabinet, process);
        return Add("SysListView32", view, process, listVisible);
    }

    std::vector<HWND> Collected()
    {
        EXPECT_EQ(1, CheckTargetWindow(top));
        return std::vector<HWND>(g_Run.ListViews.Windows,
                                 g_Run.ListViews.Windows + g_Run.ListViews.Count);
    }

    DWORD filer, shell;
    HWND top;
};

using Handles = std::vector<HWND>;

TEST_F(Discovery, PassesCollectShellViewsThenForeignListViewsThenAnyListView)
{
    HWND t = Add("TListView", top, filer);
    HWND own = Add("SysListView32", top, filer);
    HWND hosted = AddShellView(top, filer);
    EXPECT_EQ((Handles{hosted, own, hosted, t, own, hosted}), Collected());
}

TEST_F(Discovery, TopLevelShellWindowIsReadThroughItsOwnListViewInTheLastPass)
{
    top = world.AddWindow("CabinetWClass", "C:\\work", true, nullptr, shell);
    HWND view = world.AddWindow("SHELLDLL_DefView", "", true, top, shell);
    HWND list = Add("SysListView32", view, shell);
    EXPECT_EQ(Handles{list}, Collected()) << "the window itself is not visited by pass 1";
}

TEST_F(Discovery, ShellViewHostedByTheShellIsCollectedByPassesOneAndThree)
{
    HWND hosted = AddShellView(top, shell);
    EXPECT_EQ((Handles{hosted, hosted}), Collected());
}

TEST_F(Discovery, ShellProcessesAreKnownByTheFirstEightLettersOfTheirImageName)
{
    const char* images[] = {"C:\\WINDOWS\\explorer.exe", "C:\\WINDOWS\\EXPLORER.EXE",
                            "C:\\Tools\\Explorer2.exe", "C:\\Tools\\explorerplus.exe"};
    for (const char* image : images) {
        top = world.AddWindow("FilerWindow", "C:\\work", true, nullptr, filer);
        HWND list = Add("SysListView32", top, world.AddProcess(image));
        EXPECT_EQ(Handles{list}, Collected()) << image << ": left to the last pass";
    }
    top = world.AddWindow("FilerWindow", "C:\\work", true, nullptr, filer);
    HWND list = Add("SysListView32", top, world.AddProcess("C:\\Tools\\explore.exe"));
    EXPECT_EQ((Handles{list, list}), Collected());
}

TEST_F(Discovery, ProcessWithoutAnImageNameIsNoShell)
{
    DWORD locked = world.AddProcess("C:\\WINDOWS\\explorer.exe");
    world.RefuseOpenProcess(locked, PROCESS_ALL_ACCESS & ~(PROCESS_VM_OPERATION | PROCESS_VM_READ |
                                                           PROCESS_VM_WRITE));
    HWND list = Add("SysListView32", top, locked);
    EXPECT_EQ((Handles{list, list}), Collected());
}

TEST_F(Discovery, ClassNamesAreMatchedAsThePassesSay)
{
    HWND sys = Add("MySysListView32x", top, filer);
    HWND any = Add("tlistview", top, filer);
    Add("ListBox", top, filer);
    HWND mixed = Add("SYSLISTVIEW32", top, filer);
    EXPECT_EQ((Handles{sys, mixed, sys, any, mixed}), Collected());
}

TEST_F(Discovery, HiddenControlsAreNotCollectedButAHiddenShellListViewIs)
{
    Add("SysListView32", top, filer, false);
    HWND hiddenParent = world.AddWindow("Panel", "", false, top, filer);
    Add("SysListView32", hiddenParent, filer);
    AddShellView(top, filer, false);                                    // folder window hidden
    HWND listHidden = AddShellView(top, filer, true, false);            // only its list view hidden
    EXPECT_EQ(Handles{listHidden}, Collected());
}

TEST_F(Discovery, TableHoldsAtMostAHundredAndLaterPassesDoNotRunOnceFull)
{
    for (int i = 0; i < 60; i++)
        AddShellView(top, filer);
    EXPECT_EQ(1, CheckTargetWindow(top));
    EXPECT_EQ(100, g_Run.ListViews.Count);
    EXPECT_TRUE(Traced("pass 2 collected 40")) << TraceText();
    EXPECT_FALSE(Traced("pass 3")) << TraceText();
}

TEST_F(Discovery, FirstPassFillingTheTableStopsTheRest)
{
    for (int i = 0; i < 101; i++)
        AddShellView(top, filer);
    EXPECT_EQ(1, CheckTargetWindow(top));
    EXPECT_EQ(100, g_Run.ListViews.Count);
    EXPECT_FALSE(Traced("pass 2")) << TraceText();
}

TEST_F(Discovery, WindowWithoutListViewsOrTitleDoesNotQualify)
{
    EXPECT_EQ(0, CheckTargetWindow(top));
    EXPECT_EQ(0, ReadSelection(top));
    HWND untitled = world.AddWindow("FilerWindow", "", true, nullptr, filer);
    Add("SysListView32", untitled, filer);
    EXPECT_EQ(0, CheckTargetWindow(untitled));
}

TEST_F(Discovery, TitleModeCheckLeavesTheTableAlone)
{
    Add("SysListView32", top, filer);
    g_Run.SearchMode = TitleMode;
    g_Run.ListViews.Count = 7;
    EXPECT_EQ(1, CheckTargetWindow(top));
    EXPECT_EQ(7, g_Run.ListViews.Count);
    EXPECT_EQ("C:\\work", Ansi(g_Run.CurrentFolder));
}

struct ReadCase {
    bool nt;
    std::set<int> firstSelected;
    std::vector<std::string> expected;
    int status;
};

// Two list views: the first with the given selection over {missing, a.txt}, the second with
// b.txt selected.
TEST_F(Discovery, NextListViewIsReadOnlyWhenTheEarlierReadFailed)
{
    const ReadCase cases[] = {
        {true, {1}, {"C:\\work\\a.txt"}, 0},
        {true, {}, {"C:\\work"}, 0},                  // nothing selected: a complete answer
        {true, {0}, {"C:\\work\\b.txt"}, 0},          // unresolvable: the next one is read
        {false, {1}, {"C:\\work\\a.txt"}, 0},
        {false, {}, {"C:\\work\\b.txt"}, 0},          // 98/ME: nothing selected is a failure
    };
    for (const ReadCase& c : cases) {
        if (!c.nt)
            world.SetWindows98();
        g_Run.IsNtFamily = c.nt ? 1 : 0;
        g_Run.UnicodeCalls = c.nt ? 1 : 0;
        top = world.AddWindow("FilerWindow", "C:\\work", true, nullptr, filer);
        AddListView(world, top, filer, {"missing", "a.txt"}, c.firstSelected);
        AddListView(world, top, filer, {"b.txt"}, {0});
        EXPECT_EQ(1, ReadSelection(top));
        EXPECT_EQ(c.expected, AnsiList(g_Run.Selection.Paths, g_Run.Selection.Count));
        EXPECT_EQ(c.status, g_Run.ReadStatus);
    }
}

// Each pass is read before the next is collected: the order of reading is that of the table of
// all three passes, and a pass that gives the selection spares the later ones.
TEST_F(Discovery, LaterPassesAreCollectedOnlyWhenTheEarlierOnesGiveNothing)
{
    HWND shellList = AddShellView(top, filer);
    world.MakeListView(shellList).texts = {"a.txt"};
    world.MakeListView(shellList).selected = {0};
    HWND plain = Add("SysListView32", top, filer);
    world.MakeListView(plain).texts = {"b.txt"};
    world.MakeListView(plain).selected = {0};
    EXPECT_EQ(1, ReadSelection(top));
    EXPECT_EQ("C:\\work\\a.txt", Ansi(g_Run.Selection.Paths[0]));
    EXPECT_TRUE(Traced("check: pass 1 collected 1 list views"));
    EXPECT_FALSE(Traced("check: pass 2")) << TraceText();
    EXPECT_EQ(1, g_Run.ListViews.Count);

    // The shell view names nothing that exists: pass 2 collects it again with the plain one,
    // and both are read in that order.
    world.MakeListView(shellList).texts = {"missing"};
    world.trace.clear();
    EXPECT_EQ(1, ReadSelection(top));
    EXPECT_EQ("C:\\work\\b.txt", Ansi(g_Run.Selection.Paths[0]));
    EXPECT_TRUE(Traced("check: pass 2 collected 2 list views")) << TraceText();
    EXPECT_FALSE(Traced("check: pass 3"));
    EXPECT_EQ((std::vector<HWND>{shellList, shellList, plain}),
              std::vector<HWND>(g_Run.ListViews.Windows, g_Run.ListViews.Windows + 3));
}

TEST_F(Discovery, EveryListViewFailingLeavesTheLastReadsResult)
{
    AddListView(world, top, filer, {"a.txt", "missing"}, {0, 1});
    AddListView(world, top, filer, {"missing"}, {0});
    EXPECT_EQ(1, ReadSelection(top));
    EXPECT_EQ(1, g_Run.Selection.Count);
    EXPECT_EQ("C:\\work", Ansi(g_Run.Selection.Paths[0]));
    EXPECT_EQ(-1, g_Run.ReadStatus);
}

TEST_F(Discovery, FirstListViewWhoseProcessCannotBeOpenedEndsTheRun)
{
    DWORD locked = world.AddProcess("C:\\Tools\\locked.exe");
    world.RefuseOpenProcess(locked);
    AddListView(world, top, locked, {"a.txt"}, {0});
    AddListView(world, top, filer, {"b.txt"}, {0});
    EXPECT_EQ(-1, ReadSelection(top));
}

}  // namespace
