// Which window a run reads: the foreground window, then the windows of the programs the switch
// and the settings file name, in the order of the candidate scan.
#include "Desktop.h"
#include "Scenario.h"

namespace {

class WindowSearch : public Scenario {
protected:
    WindowSearch()
    {
        AddEntries(world, "C:\\work", {"notes.txt", "a.txt", "b.txt", "sub\\"});
        AddEntries(world, "C:\\other", {"a.txt", "b.txt"});
    }

    // A visible top-level window of a new process with the image given.
    HWND AddProgramWindow(const std::string& image, const std::string& title, int bitness = 32)
    {
        DWORD process = world.AddProcess(image, bitness);
        return world.AddWindow("AppWindow", title, true, nullptr, process);
    }

    int CountTraced(const std::string& part) const
    {
        int n = 0;
        for (const std::string& line : world.trace)
            n += line.find(part) != std::string::npos;
        return n;
    }

    std::vector<std::string> CandidateNames() const
    {
        return AnsiList(g_Run.Candidates.Names, g_Run.Candidates.Count);
    }
};

using Paths = std::vector<std::string>;

TEST_F(WindowSearch, WithoutSwitchesTheForegroundFolderIsOutputAndNoOtherWindowIsLookedAt)
{
    HWND front = AddProgramWindow("C:\\Tools\\filer.exe", "C:\\work");
    AddProgramWindow("C:\\Tools\\filer.exe", "C:\\other");
    world.SetForeground(front);
    WriteSettings("[system]\n@title=filer\n");
    RunCleanly("");
    EXPECT_EQ(Paths{"C:\\work"}, Output());
    EXPECT_FALSE(Traced("scan:")) << TraceText();
    EXPECT_EQ(front, g_Run.TargetWindow);
}

TEST_F(WindowSearch, ForegroundThatShowsNothingAndNoNamesEndsAfterTheScanWithoutOutput)
{
    world.SetForeground(AddProgramWindow("C:\\Tools\\editor.exe", "Untitled - Editor"));
    AddProgramWindow("C:\\Tools\\filer.exe", "C:\\work");
    RunCleanly("");
    EXPECT_TRUE(Output().empty());
    EXPECT_TRUE(Traced("scan: 1 candidate windows")) << TraceText();
    EXPECT_TRUE(world.messageBoxes.empty());
    EXPECT_TRUE(world.beeps.empty());
}

TEST_F(WindowSearch, EditorShowingAFileGivesThatFileInTitleMode)
{
    world.SetForeground(AddProgramWindow("C:\\Tools\\editor.exe", "C:\\work\\notes.txt - Editor"));
    RunCleanly("/#t");
    EXPECT_EQ(Paths{"C:\\work\\notes.txt"}, Output());
}

TEST_F(WindowSearch, SwitchNameSkipsTheForegroundWindowEvenWhenItWouldQualify)
{
    world.SetForeground(AddProgramWindow("C:\\Tools\\other.exe", "C:\\other"));
    AddProgramWindow("C:\\Tools\\filer.exe", "C:\\work");
    RunCleanly("/#t=filer");
    EXPECT_EQ(Paths{"C:\\work"}, Output());
}

TEST_F(WindowSearch, EmptySwitchNameBehavesLikeTheBareSwitch)
{
    world.SetForeground(AddProgramWindow("C:\\Tools\\other.exe", "C:\\other"));
    AddProgramWindow("C:\\Tools\\filer.exe", "C:\\work");
    RunCleanly("/#t= /#e");
    EXPECT_EQ(Paths{"C:\\other"}, Output());
}

TEST_F(WindowSearch, FilerSwitchWinsOverTitleSwitch)
{
    Filer f = AddFiler(world, "C:\\work", {"a.txt", "b.txt"}, {1});
    world.SetForeground(f.window);
    RunCleanly("/#t /#f");
    EXPECT_EQ(Paths{"C:\\work\\b.txt"}, Output());
}

TEST_F(WindowSearch, SwitchNameComesBeforeTheNameListAndNamesBeforeWindowOrder)
{
    HWND a = AddProgramWindow("C:\\A\\alpha.exe", "C:\\work");
    AddProgramWindow("C:\\B\\beta.exe", "C:\\other");   // enumerated first: on top
    WriteSettings("[system]\n@title=beta\n");
    RunCleanly("/#t=alpha");
    EXPECT_EQ(Paths{"C:\\work"}, Output());
    EXPECT_EQ(a, g_Run.TargetWindow);
}

TEST_F(WindowSearch, NameListIsTriedInOrderAfterTheSwitchName)
{
    Filer first = AddFiler(world, "C:\\work", {"a.txt"}, {0}, "C:\\F\\first.exe");
    AddFiler(world, "C:\\other", {"b.txt"}, {0}, "C:\\S\\second.exe");
    WriteSettings("[system]\n@filer=nomatch,first,second\n");
    RunCleanly("/#f=missing");
    EXPECT_EQ(Paths{"C:\\work\\a.txt"}, Output());
    EXPECT_EQ(first.window, g_Run.TargetWindow);
}

TEST_F(WindowSearch, WindowsOfOneProgramAreTriedInEnumerationOrder)
{
    DWORD process = world.AddProcess("C:\\Tools\\filer.exe");
    HWND behind = world.AddWindow("AppWindow", "C:\\other", true, nullptr, process);
    AddListView(world, behind, process, {"b.txt"}, {0});
    HWND front = world.AddWindow("AppWindow", "C:\\work", true, nullptr, process);   // on top
    AddListView(world, front, process, {"a.txt"}, {0});
    RunCleanly("/#f=filer");
    EXPECT_EQ(Paths{"C:\\work\\a.txt"}, Output());
    EXPECT_EQ(front, g_Run.TargetWindow);
}

TEST_F(WindowSearch, WindowWithoutAListViewIsPassedOverForTheNextCandidate)
{
    DWORD process = world.AddProcess("C:\\Tools\\filer.exe");
    HWND behind = world.AddWindow("AppWindow", "C:\\other", true, nullptr, process);
    AddListView(world, behind, process, {"b.txt"}, {0});
    world.AddWindow("AppWindow", "C:\\work", true, nullptr, process);   // on top, no list view
    RunCleanly("/#f=filer");
    EXPECT_EQ(Paths{"C:\\other\\b.txt"}, Output());
    EXPECT_EQ(behind, g_Run.TargetWindow);
}

TEST_F(WindowSearch, FirstNameMatchingAWindowThatDoesNotQualifyGivesWayToTheSecond)
{
    AddProgramWindow("C:\\A\\alpha.exe", "C:\\work");   // no list view
    AddFiler(world, "C:\\other", {"a.txt"}, {0}, "C:\\B\\beta.exe");
    WriteSettings("[system]\n@filer=alpha,beta\n");
    RunCleanly("/#f=none");
    EXPECT_EQ(Paths{"C:\\other\\a.txt"}, Output());
}

TEST_F(WindowSearch, AWindowMatchingSeveralNamesIsTriedOnceForEach)
{
    AddProgramWindow("C:\\A\\alpha.exe", "C:\\work");   // no list view: never qualifies
    WriteSettings("[system]\n@filer=alpha,ALPHA,Alpha\n");
    RunCleanly("/#f=alpha");
    EXPECT_TRUE(Output().empty());
    EXPECT_EQ(4, CountTraced("target: trying candidate 1")) << TraceText();
}

TEST_F(WindowSearch, NamesMatchTheImageBaseNameIgnoringCaseOnly)
{
    struct NameCase {
        const char* name;
        bool matches;
    };
    const NameCase cases[] = {
        {"explorer", true}, {"Explorer", true}, {"EXPLORER", true},
        {"explorer.exe", false}, {" explorer", false}, {"explorer ", false}, {"explore", false},
        {"xplorer", false},
    };
    AddProgramWindow("C:\\WINDOWS\\EXPLORER.EXE", "C:\\work");
    for (const NameCase& c : cases) {
        StartOver();
        std::memset(&g_Run, 0, sizeof g_Run);
        // Names with blanks cannot come from the command line, so all come from the settings.
        WriteSettings(std::string("[system]\n@title=") + c.name + "\n");
        RunCleanly("/#t=nomatch");
        EXPECT_EQ(c.matches, !Output().empty()) << "name \"" << c.name << "\"";
    }
}

TEST_F(WindowSearch, ListViewThatCannotBeReadEndsTheRunEvenWhenALaterWindowWouldDo)
{
    // The host's list view belongs to a process of another account.
    HWND host = AddProgramWindow("C:\\H\\host.exe", "C:\\work");
    DWORD locked = world.AddProcess("C:\\L\\locked.exe");
    world.RefuseOpenProcess(locked);
    AddListView(world, host, locked, {"a.txt"}, {0});
    AddFiler(world, "C:\\other", {"a.txt"}, {0}, "C:\\F\\filer.exe");
    WriteSettings("[system]\n@filer=host,filer\n");
    RunCleanly("/#f=none");
    EXPECT_TRUE(Output().empty());
    EXPECT_TRUE(Traced("cannot be read; nothing is output")) << TraceText();
}

TEST_F(WindowSearch, ScanStopsAtTheHundredthCandidate)
{
    for (int i = 0; i < 120; i++)
        AddProgramWindow("C:\\P\\p" + std::to_string(i) + ".exe", "C:\\work");
    RunCleanly("/#t=p5");   // p5 is enumerated after 100 later windows
    EXPECT_EQ(100, g_Run.Candidates.Count);
    EXPECT_EQ("p119", CandidateNames().front());
    EXPECT_EQ("p20", CandidateNames().back());
    EXPECT_TRUE(Output().empty());
}

TEST_F(WindowSearch, ScanSkipsHiddenUntitledDesktopAndFolderlessWindows)
{
    DWORD process = world.AddProcess("C:\\Tools\\filer.exe");
    world.AddWindow("Progman", "C:\\work", true, nullptr, process);
    world.AddWindow("AppWindow", "C:\\work", false, nullptr, process);
    HWND untitled = world.AddWindow("AppWindow", "", true, nullptr, process);
    world.AddWindow("ComboBox", "C:\\work", true, untitled, process);   // would name a folder
    world.AddWindow("AppWindow", "Untitled - Editor", true, nullptr, process);
    HWND good = world.AddWindow("AppWindow", "C:\\other", true, nullptr, process);
    RunCleanly("/#t=nothing");
    ASSERT_EQ(1, g_Run.Candidates.Count);
    EXPECT_EQ(good, g_Run.Candidates.Windows[0]);
    EXPECT_EQ(0, world.counters.messages[WM_GETTEXT]) << "the untitled window's box is not read";
}

TEST_F(WindowSearch, FileWindowIsACandidateInTitleModeButNotInFilerMode)
{
    AddProgramWindow("C:\\Tools\\editor.exe", "C:\\work\\notes.txt");
    RunCleanly("/#t=nothing");
    EXPECT_EQ(1, g_Run.Candidates.Count);
    StartOver();
    std::memset(&g_Run, 0, sizeof g_Run);
    RunCleanly("/#f=nothing");
    EXPECT_EQ(0, g_Run.Candidates.Count);
}

TEST_F(WindowSearch, ImageBaseNamesOfCandidates)
{
    AddProgramWindow("C:\\Program Files\\Tool\\FILER2.EXE", "C:\\work");
    AddProgramWindow("C:\\Tools\\a.b.exe", "C:\\work");
    DWORD locked = world.AddProcess("C:\\Tools\\locked.exe");
    world.RefuseOpenProcess(locked);
    world.AddWindow("AppWindow", "C:\\work", true, nullptr, locked);
    DWORD twice = world.AddProcess("C:\\Tools\\twice.exe");
    world.AddWindow("AppWindow", "C:\\work", true, nullptr, twice);
    world.AddWindow("AppWindow", "C:\\other", true, nullptr, twice);
    RunCleanly("/#t=nothing");
    EXPECT_EQ((std::vector<std::string>{"twice", "twice", "", "a.b", "FILER2"}), CandidateNames());
}

TEST_F(WindowSearch, WindowsWithoutPsapiHaveNoNamesUnlessTheSystemAnswersTheQuery)
{
    world.RemoveLibrary("psapi.dll");
    AddProgramWindow("C:\\Tools\\filer.exe", "C:\\work");
    RunCleanly("/#t=filer");
    EXPECT_EQ(std::vector<std::string>{""}, CandidateNames());
    EXPECT_TRUE(Output().empty());

    // From Windows Vista on the name comes from QueryFullProcessImageNameW, without PSAPI.
    StartOver();
    world.SetOsVersion(6, 1, 7601, VER_PLATFORM_WIN32_NT, "Service Pack 1");
    RunCleanly("/#t=filer");
    EXPECT_EQ(std::vector<std::string>{"filer"}, CandidateNames());
    EXPECT_EQ(std::vector<std::string>{"C:\\work"}, Output());
}

// A 32-bit program cannot list a 64-bit process's modules; where the system offers it, the
// image name comes from QueryFullProcessImageNameW instead.
TEST_F(WindowSearch, SixtyFourBitFileManagerIsFoundByAThirtyTwoBitProgram)
{
    world.SetProgramBitness(32);
    world.SetOsVersion(6, 1, 7601, VER_PLATFORM_WIN32_NT, "Service Pack 1");
    AddFiler(world, "C:\\work", {"a.txt", "b.txt"}, {0, 1}, "C:\\Tools\\filer64.exe", 64);
    RunCleanly("/#f=filer64");
    EXPECT_EQ((Paths{"C:\\work\\a.txt", "C:\\work\\b.txt"}), Output());

    StartOver();
    std::memset(&g_Run, 0, sizeof g_Run);
    world.RemoveExport("kernel32.dll", "QueryFullProcessImageNameW");
    RunCleanly("/#f=filer64");
    EXPECT_TRUE(Output().empty());
    EXPECT_EQ(std::vector<std::string>{""}, CandidateNames());
}

TEST_F(WindowSearch, Windows98NamesComeFromTheToolHelpList)
{
    world.SetWindows98();
    AddFiler(world, "C:\\work", {"a.txt"}, {0}, "C:\\PROGRA~1\\FILER\\FILER.EXE");
    RunCleanly("/#f=filer");
    EXPECT_EQ(Paths{"C:\\work\\a.txt"}, Output());
    EXPECT_EQ(std::vector<std::string>{"FILER"}, CandidateNames());
}

TEST_F(WindowSearch, WindowDestroyedDuringTheScanIsSkipped)
{
    HWND doomed = AddProgramWindow("C:\\Tools\\filer.exe", "C:\\work");
    world.AddWindow("ComboBox", "C:\\work", true, doomed);
    HWND kept = AddProgramWindow("C:\\Tools\\filer.exe", "C:\\other");
    world.beforeWindowCall = [&](const char* function, HWND window) {
        if (window == doomed && std::string(function) == "IsWindowVisible")
            world.RemoveWindow(doomed);
    };
    RunCleanly("/#t=filer");
    EXPECT_EQ(Paths{"C:\\other"}, Output());
    EXPECT_EQ(kept, g_Run.TargetWindow);
}

TEST_F(WindowSearch, CandidateGoneBeforeItIsTriedGivesWayToTheNext)
{
    HWND behind = AddProgramWindow("C:\\Tools\\filer.exe", "C:\\other");
    HWND front = AddProgramWindow("C:\\Tools\\filer.exe", "C:\\work");   // on top: tried first
    int reads = 0;
    world.beforeWindowCall = [&](const char* function, HWND window) {
        // The scan reads its title once; the second read is the driver's check.
        if (window == front && std::string(function) == "GetWindowTextW" && ++reads == 2)
            world.RemoveWindow(front);
    };
    RunCleanly("/#t=filer");
    EXPECT_EQ(Paths{"C:\\other"}, Output());
    EXPECT_EQ(behind, g_Run.TargetWindow);
}

}  // namespace
