// Whole runs from WinMain to the clipboard or to the program start, as a hot key starts them.
#include "Desktop.h"
#include "Scenario.h"

namespace {

class WholeRun : public Scenario {
protected:
    WholeRun()
    {
        world.AddFile("C:\\Tools\\viewer.exe", "MZ");
        world.SetClipboardText("earlier");
        // Started from its own folder, so that a title "Data" names no folder relative to it.
        world.SetCurrentDirectory("C:\\Tavix");
    }

    // A shell folder window showing C:\Data: its title holds only the folder's name, its
    // address box the path, its view the items.
    void AddFolderWindow(const std::vector<sim::Text>& items, const std::set<int>& selected)
    {
        AddEntries(world, "C:\\Data", {"memo.txt", "Old Files\\", "zeta.txt"});
        DWORD shell = world.AddProcess("C:\\WINDOWS\\explorer.exe");
        folderWindow = world.AddWindow("CabinetWClass", "Data", true, nullptr, shell);
        world.AddWindow("ComboBoxEx32", "C:\\Data", true, folderWindow, shell);
        HWND view = world.AddWindow("SHELLDLL_DefView", "", true, folderWindow, shell);
        AddListView(world, view, shell, items, selected);
        world.SetForeground(folderWindow);
    }

    // Prepares another start of the program in the same world; the settings are written anew.
    void NextRun(const std::string& settings)
    {
        StartOver();
        world.outputCalls.clear();
        world.launches.clear();
        world.beeps.clear();
        WriteSettings(settings);
    }

    std::string Clipboard() const { return world.ClipboardText().Text(); }

    HWND folderWindow = nullptr;
};

const char kViewSettings[] = "[exec]\nC:\\Tools\\viewer.exe | View\n>\"%M\"\n";

TEST_F(WholeRun, TypicalRunToTheClipboardAndToTheViewer)
{
    AddFolderWindow({"memo.txt", "Old Files", "zeta.txt"}, {0, 1});
    NextRun(kViewSettings);
    RunCleanly("/#f");
    EXPECT_EQ("C:\\Data\\memo.txt\r\nC:\\Data\\Old Files", Clipboard()) << TraceText();
    EXPECT_EQ(std::vector<UINT>{MB_ICONASTERISK}, world.beeps);
    EXPECT_TRUE(world.launches.empty());

    world.SetClipboardText("earlier");
    NextRun(kViewSettings);
    RunCleanly("/#f /#e=View");
    ASSERT_EQ(1u, world.launches.size()) << TraceText();
    EXPECT_EQ("C:\\Tools\\viewer.exe", world.launches[0].file);
    EXPECT_EQ("\"C:\\Data\\memo.txt\" \"C:\\Data\\Old Files\\\"", world.launches[0].parameters);
    EXPECT_EQ("C:\\Tools\\", world.launches[0].directory);
    EXPECT_EQ(SW_SHOWNORMAL, world.launches[0].show);
    EXPECT_EQ("earlier", Clipboard()) << "the clipboard is untouched";
    EXPECT_TRUE(world.beeps.empty());

    // /#e without a label takes the first entry's.
    NextRun(kViewSettings);
    RunCleanly("/#f /#e");
    EXPECT_EQ(1u, world.launches.size());
}

TEST_F(WholeRun, TypicalRunOnWindows98)
{
    world.SetWindows98();
    AddFolderWindow({"memo.txt", "Old Files", "zeta.txt"}, {0, 1});
    NextRun(kViewSettings);
    RunCleanly("/#f /#e=View");
    ASSERT_EQ(1u, world.launches.size()) << TraceText();
    EXPECT_EQ("\"C:\\Data\\memo.txt\" \"C:\\Data\\Old Files\\\"", world.launches[0].parameters);
    NextRun(kViewSettings);
    RunCleanly("/#f");
    EXPECT_EQ("C:\\Data\\memo.txt\r\nC:\\Data\\Old Files", Clipboard());
    EXPECT_EQ(0, world.MappedViews());
}

TEST_F(WholeRun, TitleModeOutputsTheFolderAndRestoresTheWindowFirst)
{
    AddFolderWindow({"memo.txt"}, {0});
    NextRun("[system]\n@restore\n");
    RunCleanly("/#t");
    EXPECT_EQ("C:\\Data", Clipboard());
    ASSERT_FALSE(world.outputCalls.empty());
    EXPECT_EQ("ShowWindow 9", world.outputCalls[0]);
    EXPECT_EQ(folderWindow, world.showWindowCalls.back().window);
}

TEST_F(WholeRun, NothingFoundLeavesClipboardAndProgramsAlone)
{
    world.SetForeground(world.AddWindow("Editor", "Untitled - Editor", true));
    NextRun(kViewSettings);
    RunCleanly("/#f /#e=View");
    EXPECT_EQ("earlier", Clipboard());
    EXPECT_TRUE(world.outputCalls.empty());
}

TEST_F(WholeRun, ClipboardHeldElsewhereEndsTheRunNormallyWithoutChange)
{
    AddFolderWindow({"memo.txt", "Old Files"}, {0});
    world.HoldClipboardElsewhere(true);
    NextRun("");
    RunCleanly("/#f");
    EXPECT_EQ("earlier", Clipboard());
    EXPECT_TRUE(world.beeps.empty());
}

// A thousand selected folders whose paths have 259 characters each.
class LargeSelection : public WholeRun {
protected:
    LargeSelection()
    {
        const std::string folder = "C:\\big";
        std::vector<sim::Text> names;
        for (int i = 0; i < 1000; i++) {
            std::string name = std::to_string(100000 + i);
            name += std::string(259 - folder.size() - 1 - name.size(), 'n');
            names.push_back(name);
            paths.push_back(folder + "\\" + name);
            world.AddDirectory(paths.back());
        }
        DWORD filer = world.AddProcess("C:\\Tools\\filer.exe");
        HWND top = world.AddWindow("FilerWindow", folder, true, nullptr, filer);
        std::set<int> all;
        for (int i = 0; i < 1000; i++)
            all.insert(i);
        AddListView(world, top, filer, names, all);
        world.SetForeground(top);
    }

    std::string Joined(const std::string& before, const std::string& after,
                       const std::string& separator) const
    {
        std::string text;
        for (const std::string& p : paths)
            text += (text.empty() ? "" : separator) + before + p + after;
        return text;
    }

    std::vector<std::string> paths;
};

TEST_F(LargeSelection, ThousandLongPathsGoWholeToTheClipboardAndToTheProgram)
{
    NextRun(kViewSettings);
    RunCleanly("/#f");
    EXPECT_EQ(Joined("", "", "\r\n"), Clipboard());

    NextRun(kViewSettings);
    RunCleanly("/#f /#e=View");
    ASSERT_EQ(1u, world.launches.size());
    std::string expected = Joined("\"", "\\\"", " ");
    EXPECT_EQ(262999u, expected.size());
    EXPECT_EQ(expected, world.launches[0].parameters);
}

// Every allocation, lock and reallocation of the output failing in turn: the run still ends
// normally, and what comes out is whole or nothing.
TEST_F(LargeSelection, MemoryFailingAtAnyStepGivesTheWholeOutputOrNone)
{
    const std::string clipboardText = Joined("", "", "\r\n");
    const std::string parameters = Joined("\"", "\\\"", " ");
    const char* const commandLines[] = {"/#f", "/#f /#e=View"};
    enum Fault { Alloc, ReAlloc, Lock };
    int runs = 0;
    for (const char* commandLine : commandLines) {
        for (Fault fault : {Alloc, ReAlloc, Lock}) {
            for (int k = 1;; k++) {
                SCOPED_TRACE(std::string(commandLine) + " fault " + std::to_string(fault) +
                             " at call " + std::to_string(k));
                world.SetClipboardText("earlier");
                NextRun(kViewSettings);
                if (fault == Alloc) world.FailGlobalAlloc(k);
                if (fault == ReAlloc) world.FailGlobalReAlloc(k);
                if (fault == Lock) world.FailGlobalLock(k);
                RunCleanly(commandLine);
                runs++;
                std::string clip = Clipboard();
                EXPECT_TRUE(clip == "earlier" || clip == clipboardText);
                EXPECT_LE(world.launches.size(), 1u);
                if (!world.launches.empty()) {
                    EXPECT_EQ(parameters, world.launches[0].parameters);
                }
                if (world.GlobalFaultPending()) {
                    // The run made fewer such calls: it must have given the whole output.
                    EXPECT_TRUE(clip == clipboardText || !world.launches.empty());
                    world.FailGlobalAlloc(0);
                    world.FailGlobalReAlloc(0);
                    world.FailGlobalLock(0);
                    break;
                }
                ASSERT_LT(k, 200) << "the output makes too many allocations";
            }
        }
    }
    EXPECT_GT(runs, 12);
}

TEST_F(WholeRun, TemplatesOfOnlyWindowOrClipboardPlaceholders)
{
    AddFolderWindow({"memo.txt", "Old Files"}, {0});
    std::string handle = std::to_string((int)(LONG_PTR)folderWindow);
    std::string windows;
    for (int i = 0; i < 86; i++)
        windows += "%$W";
    windows += "%";    // 259 characters
    NextRun(std::string("[exec]\nC:\\Tools\\viewer.exe | W\n>") + windows + "\n");
    RunCleanly("/#f /#e=W");
    std::string expected;
    for (int i = 0; i < 86; i++)
        expected += handle;
    ASSERT_EQ(1u, world.launches.size());
    EXPECT_EQ(expected + "% \"C:\\Data\\memo.txt\"", world.launches[0].parameters);

    std::string clips;
    for (int i = 0; i < 129; i++)
        clips += "%C";
    clips += "%";      // 259 characters
    NextRun(std::string("[exec]\nC:\\Tools\\viewer.exe | C\n>") + clips + "\n");
    int writesBefore = world.clipboardWrites;
    RunCleanly("/#f /#e=c");
    // Each export sets the text twice: in UTF-16 and in the ANSI code page.
    EXPECT_EQ(2 * 129, world.clipboardWrites - writesBefore);
    EXPECT_TRUE(world.beeps.empty());
    EXPECT_EQ("C:\\Data\\memo.txt", Clipboard());
    ASSERT_EQ(1u, world.launches.size());
    EXPECT_EQ("%", world.launches[0].parameters);
}

}  // namespace
