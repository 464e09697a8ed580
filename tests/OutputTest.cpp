// What a run does with the selected paths: the clipboard text, the expanded template, the
// parameter text and the shell call that starts the chosen program.
#include "Scenario.h"

#include "actions/ActionDispatch.h"
#include "actions/ArgumentList.h"
#include "actions/ClipboardExport.h"
#include "actions/TemplateExpansion.h"

namespace {

using Calls = std::vector<std::string>;

class Output : public Scenario {
protected:
    Output()
    {
        world.AddFile("C:\\Data\\memo.txt", "memo");
        world.AddDirectory("C:\\Data\\Old Files");
        world.AddFile("C:\\Tools\\viewer.exe", "MZ");
        target = world.AddWindow("FilerWindow", "C:\\Data", true);
        g_Run.TargetWindow = target;
        Select({"C:\\Data\\memo.txt", "C:\\Data\\Old Files"});
    }

    void Select(const std::vector<sim::Text>& paths)
    {
        g_Run.Selection.Count = 0;
        for (const sim::Text& p : paths) {
            ASSERT_LT(p.Wide().size(), size_t(PathBufferSize));
            Put(g_Run.Selection.Paths[g_Run.Selection.Count++], p);
        }
    }

    void AddEntry(const sim::Text& program, const sim::Text& label, const sim::Text& tmpl)
    {
        int i = g_Run.Exec.Count++;
        Put(g_Run.Exec.ProgramPath[i], program);
        Put(g_Run.Exec.Label[i], label);
        Put(g_Run.Exec.Template[i], tmpl);
    }

    // Dispatches with one entry labelled View for the template, asked for by label.
    void DispatchTemplate(const sim::Text& tmpl)
    {
        AddEntry("C:\\Tools\\viewer.exe", "View", tmpl);
        Put(g_Run.RequestedLabel, "View");
        DispatchAction();
    }

    std::string Expand(const sim::Text& tmpl)
    {
        WCHAR expanded[ExpandedTextSize];
        std::u16string wide = tmpl.Wide();
        ExpandTemplate(wide.c_str(), expanded);
        return Ansi(expanded);
    }

    static int FindEntry(const sim::Text& label) { return FindExecEntry(label.Wide().c_str()); }

    void BuildArguments(const sim::Text& expanded, int entry)
    {
        BuildArgumentList(expanded.Wide().c_str(), entry);
    }

    std::string Clipboard() const { return world.ClipboardText().Text(); }

    // The one program start; fails the test when there was none or more.
    sim::ShellLaunchRecord Launch() const
    {
        EXPECT_EQ(1u, world.launches.size());
        return world.launches.empty() ? sim::ShellLaunchRecord{} : world.launches.back();
    }

    HWND target;
};

const char kTwoPaths[] = "C:\\Data\\memo.txt\r\nC:\\Data\\Old Files";

TEST_F(Output, ClipboardTextIsThePathsJoinedByCrLfInAnExactBlockAfterEmptyingAndABeep)
{
    world.SetClipboardText("earlier");
    DispatchAction();
    sim::ClipboardTextRecord clip = world.ClipboardText();
    EXPECT_EQ(std::string(kTwoPaths, 35) + '\0', clip.bytes);   // 35 characters and the zero
    EXPECT_EQ(36u, clip.blockSize);
    EXPECT_EQ(UINT(GMEM_MOVEABLE | GMEM_ZEROINIT), clip.allocFlags);
    EXPECT_EQ(0, clip.lockCountWhenSet) << "the block is handed over unlocked";
    // The UTF-16 text first, then the ANSI one, so that the system makes no ANSI text itself.
    EXPECT_EQ((Calls{"OpenClipboard", "EmptyClipboard", "MessageBeep 64", "SetClipboardData 13",
                     "SetClipboardData 1", "CloseClipboard"}),
              world.outputCalls);
    EXPECT_TRUE(world.launches.empty());
    EXPECT_FALSE(world.ClipboardLeftOpen());
    EXPECT_EQ(0, world.OutstandingGlobalBlocks());
    EXPECT_EQ(0, world.clipboardBlocksFreedByProgram);
}

TEST_F(Output, ClipboardHoldsEachPathAsStored)
{
    // One path: no CR LF at all. A folder with spaces: no quotes, no backslash added.
    Select({"C:\\Data\\Old Files"});
    CopySelectionToClipboard(0);
    EXPECT_EQ("C:\\Data\\Old Files", Clipboard());

    // Shift_JIS names whose trail byte is 0x5C, and a path stored with its quotes.
    Select({"C:\\\x95\x5C\\\x83\x5C.txt", "\"C:\\Data\\memo.txt\"", "C:\\"});
    CopySelectionToClipboard(1);
    EXPECT_EQ("C:\\\x95\x5C\\\x83\x5C.txt\r\n\"C:\\Data\\memo.txt\"\r\nC:\\", Clipboard());
    EXPECT_EQ(1u, world.beeps.size()) << "the silent export does not beep";
}

TEST_F(Output, ClipboardHeldByAnotherProgramStaysUnchangedWithoutABeep)
{
    world.SetClipboardText("earlier");
    world.HoldClipboardElsewhere(true);
    DispatchAction();
    EXPECT_EQ("earlier", Clipboard());
    EXPECT_TRUE(world.beeps.empty());
    EXPECT_EQ(0, world.OutstandingGlobalBlocks());
    EXPECT_EQ(0, world.clipboardWrites);
}

TEST_F(Output, ClipboardThatRefusesTheTextLeavesNoBlockBehind)
{
    world.FailSetClipboardData(true);
    DispatchAction();
    EXPECT_EQ(0, world.OutstandingGlobalBlocks()) << "the refused block is freed";
    EXPECT_FALSE(world.ClipboardLeftOpen());
}

TEST_F(Output, EmptySelectionLeavesTheClipboardAsItWas)
{
    world.SetClipboardText("earlier");
    Select({});
    CopySelectionToClipboard(0);
    DispatchAction();
    EXPECT_EQ("earlier", Clipboard());
    EXPECT_TRUE(world.outputCalls.empty());
}

TEST_F(Output, LabelsMatchWhenEqualWithoutRegardToCaseAndTheFirstEntryWins)
{
    AddEntry("C:\\Tools\\viewer.exe", "Viewer", "/viewer %M");
    AddEntry("C:\\Tools\\viewer.exe", "View", "/first %M");
    AddEntry("C:\\Tools\\viewer.exe", "VIEW", "/second %M");
    EXPECT_EQ(1, FindEntry("view"));
    EXPECT_EQ(1, FindEntry("VIEW"));
    EXPECT_EQ(0, FindEntry("viewer"));
    EXPECT_EQ(-1, FindEntry("Vie"));
    EXPECT_EQ(-1, FindEntry("Views"));
    EXPECT_EQ(-1, FindEntry(""));

    Put(g_Run.RequestedLabel, "VIEW");
    DispatchAction();
    EXPECT_EQ("/first C:\\Data\\memo.txt C:\\Data\\Old Files\\", Launch().parameters);
    EXPECT_TRUE(world.beeps.empty());
    EXPECT_EQ(0, world.clipboardWrites);
}

TEST_F(Output, UnknownLabelOrNoEntriesPutThePathsOnTheClipboardWithTheBeep)
{
    Put(g_Run.RequestedLabel, "View");
    DispatchAction();    // no entries at all
    EXPECT_EQ(kTwoPaths, Clipboard());
    AddEntry("C:\\Tools\\viewer.exe", "Viewer", "%M");
    DispatchAction();    // the lengths differ
    EXPECT_EQ(2u, world.beeps.size());
    EXPECT_TRUE(world.launches.empty());
}

TEST_F(Output, RestoreComesFirstBeforeTheClipboardAndBeforeAStart)
{
    g_Run.RestoreFlag = 1;
    DispatchAction();
    ASSERT_FALSE(world.outputCalls.empty());
    EXPECT_EQ("ShowWindow 9", world.outputCalls[0]);
    EXPECT_EQ(target, world.showWindowCalls.at(0).window);

    world.outputCalls.clear();
    DispatchTemplate("%M");
    EXPECT_EQ((Calls{"ShowWindow 9", "ShellExecuteW"}), world.outputCalls);

    world.outputCalls.clear();
    g_Run.RestoreFlag = 0;
    g_Run.RequestedLabel[0] = 0;
    DispatchAction();
    EXPECT_EQ(std::string("OpenClipboard"), world.outputCalls.at(0));
}

struct ExpansionRow {
    std::string tmpl;
    std::string expanded;
    int quoteMode;
    int clipboardWrites;
};

TEST_F(Output, TemplateExpansion)
{
    g_Run.TargetWindow = (HWND)(ULONG_PTR)656578;
    const ExpansionRow rows[] = {
        {"", " \"%M\"", QuotedItems, 0},
        {"/n", "/n \"%M\"", QuotedItems, 0},
        {"-o \"%-M\" -q", "-o \"%-M\" -q", QuotedItems, 0},
        {"/e,%-M", "/e,%-M", BareItems, 0},
        {"/w=%$W \"%M\"", "/w=656578 \"%M\"", QuotedItems, 0},
        {"%$W", "656578 \"%M\"", QuotedItems, 0},
        {"%C", "", VerbatimText, 1},
        {"%C /hwnd=%$W", " /hwnd=656578", VerbatimText, 1},
        {"%C \"%M\"", " \"%M\"", QuotedItems, 1},
        {"%c%C", "", VerbatimText, 2},
        {"\"%m\"", "\"%m\"", QuotedItems, 0},
        {"%M \"%-M\"", "%M \"%-M\"", QuotedItems, 0},
        // Beyond the worked examples: all %$W replaced, lower case, removals that join.
        {"%$W %$w", "656578 656578 \"%M\"", QuotedItems, 0},
        {"%C %-M", " %-M", BareItems, 1},
        {"%%CC", "", VerbatimText, 2},
        {"%%CM", "%M", BareItems, 1},
        {"100%", "100% \"%M\"", QuotedItems, 0},
    };
    for (const ExpansionRow& row : rows) {
        SCOPED_TRACE("template [" + row.tmpl + "]");
        int before = world.clipboardWrites;
        EXPECT_EQ(row.expanded, Expand(row.tmpl));
        EXPECT_EQ(row.quoteMode, g_Run.QuoteMode);
        // Each export sets the text twice: in UTF-16 and in the ANSI code page.
        EXPECT_EQ(2 * row.clipboardWrites, world.clipboardWrites - before);
    }
    EXPECT_TRUE(world.beeps.empty()) << "exports for %C never beep";
    EXPECT_EQ(kTwoPaths, Clipboard());
}

TEST_F(Output, WindowHandlesAboveTwoGigabytesAreWrittenNegative)
{
    g_Run.TargetWindow = (HWND)(ULONG_PTR)0x80000010u;
    EXPECT_EQ("/w=-2147483632 \"%M\"", Expand("/w=%$W"));
    g_Run.TargetWindow = (HWND)(ULONG_PTR)0x7FFFFFFFu;
    EXPECT_EQ("2147483647 \"%M\"", Expand("%$W"));
}

struct ParameterRow {
    std::string tmpl;
    std::string parameters;
};

TEST_F(Output, ParameterTexts)
{
    g_Run.TargetWindow = (HWND)(ULONG_PTR)656578;
    const ParameterRow rows[] = {
        {"\"%M\"", "\"C:\\Data\\memo.txt\" \"C:\\Data\\Old Files\\\""},
        {"\"%-M\"", "\"C:\\Data\\memo.txt\" \"C:\\Data\\Old Files\""},
        {"%M", "C:\\Data\\memo.txt C:\\Data\\Old Files\\"},
        {"%-M", "C:\\Data\\memo.txt C:\\Data\\Old Files"},
        {"", " \"C:\\Data\\memo.txt\" \"C:\\Data\\Old Files\\\""},
        {"/n", "/n \"C:\\Data\\memo.txt\" \"C:\\Data\\Old Files\\\""},
        {"-o \"%-M\" -q", "-o \"C:\\Data\\memo.txt\" \"C:\\Data\\Old Files\" -q"},
        {"/e,%-M /x", "/e,C:\\Data\\memo.txt C:\\Data\\Old Files /x"},
        {"%M \"%-M\"", "%M \"C:\\Data\\memo.txt\" \"C:\\Data\\Old Files\""},
        {"/w=%$W \"%M\"", "/w=656578 \"C:\\Data\\memo.txt\" \"C:\\Data\\Old Files\\\""},
        // The plain form wins wherever the "-" form stands; a second placeholder stays literal.
        {"\"%-M\" \"%M\"", "\"%-M\" \"C:\\Data\\memo.txt\" \"C:\\Data\\Old Files\\\""},
        {"%M %M", "C:\\Data\\memo.txt C:\\Data\\Old Files\\ %M"},
    };
    for (const ParameterRow& row : rows) {
        SCOPED_TRACE("template [" + row.tmpl + "]");
        world.launches.clear();
        g_Run.Exec.Count = 0;
        DispatchTemplate(row.tmpl);
        sim::ShellLaunchRecord launch = Launch();
        EXPECT_EQ(row.parameters, launch.parameters);
        EXPECT_EQ("C:\\Tools\\viewer.exe", launch.file);
        EXPECT_EQ("C:\\Tools\\", launch.directory);
        EXPECT_FALSE(launch.parametersNull || launch.directoryNull);
        EXPECT_TRUE(launch.verbNull);
        EXPECT_EQ(nullptr, launch.owner);
        EXPECT_EQ(SW_SHOWNORMAL, launch.show);
    }
    EXPECT_EQ(0, world.clipboardWrites);
    EXPECT_EQ(0, world.OutstandingGlobalBlocks());
}

TEST_F(Output, ClipboardPlaceholderExportsSilentlyAndStartsWithTheTextAsItStands)
{
    DispatchTemplate("%C");
    EXPECT_EQ(kTwoPaths, Clipboard());
    EXPECT_TRUE(world.beeps.empty());
    sim::ShellLaunchRecord launch = Launch();
    EXPECT_EQ("", launch.parameters);
    EXPECT_FALSE(launch.parametersNull);
    EXPECT_EQ("C:\\Tools\\", launch.directory);
    // The clipboard is written before the program starts.
    EXPECT_EQ((Calls{"OpenClipboard", "EmptyClipboard", "SetClipboardData 13", "SetClipboardData 1",
                     "CloseClipboard", "ShellExecuteW"}),
              world.outputCalls);
}

TEST_F(Output, ClipboardAndCommandLineBothGetThePathsForClipboardWithAList)
{
    DispatchTemplate("%C %-M");
    EXPECT_EQ(kTwoPaths, Clipboard());
    EXPECT_EQ(" C:\\Data\\memo.txt C:\\Data\\Old Files", Launch().parameters);
    EXPECT_TRUE(world.beeps.empty());
}

TEST_F(Output, HeldClipboardDoesNotStopTheStart)
{
    world.HoldClipboardElsewhere(true);
    DispatchTemplate("%C/x");
    EXPECT_EQ("/x", Launch().parameters);
    EXPECT_EQ(0, world.OutstandingGlobalBlocks());
}

TEST_F(Output, ItemForms)
{
    world.AddFile("C:\\Data\\with space.txt", "");
    struct Row {
        std::vector<sim::Text> paths;
        std::string tmpl;
        std::string parameters;
    } rows[] = {
        // A drive root keeps its backslash in the plain forms and loses it in the "-" forms.
        {{"C:\\"}, "%M", "C:\\"},
        {{"C:\\"}, "\"%M\"", "\"C:\\\""},
        {{"C:\\"}, "%-M", "C:"},
        {{"C:\\"}, "\"%-M\"", "\"C:\""},
        // A folder stored with its backslash gets no second one.
        {{"C:\\Data\\"}, "%M", "C:\\Data\\"},
        // Enclosing quotes are removed; the quoted form then has exactly one pair.
        {{"\"C:\\Data\\Old Files\""}, "\"%M\"", "\"C:\\Data\\Old Files\\\""},
        {{"\"C:\\Data\\memo.txt\""}, "%-M", "C:\\Data\\memo.txt"},
        // Bare items are never quoted; a path that does not exist is written as it is.
        {{"C:\\Data\\with space.txt", "C:\\gone\\dir"}, "%M", "C:\\Data\\with space.txt C:\\gone\\dir"},
        // One path: prefix, item and suffix without separators.
        {{"C:\\Data\\memo.txt"}, "<%M>", "<C:\\Data\\memo.txt>"},
        // A Shift_JIS folder whose last trail byte is 0x5C still gets its backslash.
        {{"C:\\Data\\\x95\x5C"}, "%M", "C:\\Data\\\x95\x5C\\"},
    };
    world.AddDirectory("C:\\Data\\\x95\x5C");
    for (const Row& row : rows) {
        SCOPED_TRACE("template [" + row.tmpl + "] first path [" + sim::Utf8(row.paths[0].Wide()) +
                     "]");
        world.launches.clear();
        g_Run.Exec.Count = 0;
        Select(row.paths);
        DispatchTemplate(row.tmpl);
        EXPECT_EQ(row.parameters, Launch().parameters);
    }
}

TEST_F(Output, FolderPathOfTheFullLengthIsWrittenWithItsBackslash)
{
    std::string folder = "C:\\" + std::string(256, 'f');   // 259 characters
    world.AddDirectory(folder);
    Select({folder});
    DispatchTemplate("\"%M\"");
    EXPECT_EQ("\"" + folder + "\\\"", Launch().parameters);   // 262 characters
    EXPECT_EQ(262u, Launch().parameters.size());
}

TEST_F(Output, EmptySelectionGivesThePrefixAndSuffixAlone)
{
    AddEntry("C:\\Tools\\viewer.exe", "View", "");
    Select({});
    g_Run.QuoteMode = QuotedItems;
    BuildArguments("<\"%M\">", 0);
    EXPECT_EQ("<>", Launch().parameters);
}

TEST_F(Output, ProgramThatHasGoneLetsTheShellOpenTheParameterText)
{
    world.Remove("C:\\Tools\\viewer.exe");
    Select({"C:\\Data\\memo.txt"});
    DispatchTemplate("%M");
    sim::ShellLaunchRecord launch = Launch();
    EXPECT_EQ("C:\\Data\\memo.txt", launch.file);
    EXPECT_TRUE(launch.parametersNull);
    EXPECT_TRUE(launch.directoryNull);
    EXPECT_TRUE(launch.verbNull);
    EXPECT_EQ(SW_SHOWNORMAL, launch.show);

    // Nothing to open: an empty verbatim text is not handed to the shell.
    world.launches.clear();
    g_Run.Exec.Count = 0;
    DispatchTemplate("%C");
    EXPECT_TRUE(world.launches.empty());
    EXPECT_EQ("C:\\Data\\memo.txt", Clipboard());
}

TEST_F(Output, ProgramInADriveRootWorksInTheRoot)
{
    world.AddFile("D:\\viewer.exe", "MZ");
    AddEntry("D:\\viewer.exe", "Root", "%M");
    Put(g_Run.RequestedLabel, "root");
    DispatchAction();
    EXPECT_EQ("D:\\", Launch().directory);
}

}  // namespace
