// Explorer of Windows 7 and later: its title names only the folder, its address bar is a
// breadcrumb bar and its item view is no list view, so the folder and the selection come from
// the shell's window list. Whole runs from WinMain against a fake shell.
#include "Desktop.h"
#include "Scenario.h"

namespace {

const char kData[] = "C:\\Data";
const char kMemo[] = "C:\\Data\\memo.txt";
const char kOldFiles[] = "C:\\Data\\Old Files";
const char kZeta[] = "C:\\Data\\zeta.txt";

class ShellRoute : public Scenario {
protected:
    ShellRoute()
    {
        world.SetOsVersion(10, 0, 19045, VER_PLATFORM_WIN32_NT);
        // Started from its own folder, so that the title "Data" names no folder relative to it.
        world.SetCurrentDirectory("C:\\Tavix");
        world.SetClipboardText("earlier");
        AddEntries(world, kData, {"memo.txt", "Old Files\\", "zeta.txt"});
        explorer = world.AddProcess("C:\\Windows\\explorer.exe", 64);
    }

    // A folder window as Explorer of Windows 10 makes it: the title is the folder's name, the
    // address bar a breadcrumb toolbar without a combo box, the view a DirectUIHWND.
    HWND AddExplorerWindow(const std::string& title = "Data", int tabs = 0)
    {
        HWND frame = world.AddWindow("CabinetWClass", title, true, nullptr, explorer);
        for (int i = 0; i < tabs; i++)
            tabWindows.push_back(
                world.AddWindow("ShellTabWindowClass", title, true, frame, explorer));
        HWND bar = world.AddWindow("Breadcrumb Parent", "", true, frame, explorer);
        world.AddWindow("ToolbarWindow32", "Address: " + title, true, bar, explorer);
        HWND view = world.AddWindow("SHELLDLL_DefView", "", true, frame, explorer);
        world.AddWindow("DirectUIHWND", "", true, view, explorer);
        return frame;
    }

    void AddBrowser(HWND frame, const std::string& folder,
                    const std::vector<std::string>& selection, HWND tab = nullptr)
    {
        sim::World::ShellBrowser browser;
        browser.frame = frame;
        browser.tab = tab;
        browser.folder = folder;
        browser.selection = selection;
        world.AddShellBrowser(browser);
    }

    // Runs the program and checks, beyond RunCleanly, that everything the shell handed over was
    // released and that OLE32.DLL was unloaded again.
    void RunReleasingTheShell(const std::string& commandLine)
    {
        RunCleanly(commandLine);
        EXPECT_EQ(0, world.LiveShellObjects()) << "shell objects not released";
        EXPECT_EQ(0, world.OutstandingTaskMemory()) << "shell strings not freed";
        EXPECT_EQ(0, world.OpenApartments()) << "an apartment left open";
        EXPECT_EQ(0, world.LoadedLibraries()) << "a library left loaded";
    }

    std::string Clipboard() const
    {
        sim::ClipboardTextRecord clip = world.ClipboardText();
        return clip.setByProgram ? clip.Text() : std::string();
    }

    DWORD explorer = 0;
    std::vector<HWND> tabWindows;
};

TEST_F(ShellRoute, FolderAndSelectionOfAWindows10ExplorerWindow)
{
    HWND frame = AddExplorerWindow();
    AddBrowser(frame, kData, {kOldFiles, kMemo});
    world.SetForeground(frame);

    RunReleasingTheShell("/#f");
    EXPECT_EQ(std::string(kOldFiles) + "\r\n" + kMemo, Clipboard()) << TraceText();
    EXPECT_TRUE(Traced("is the folder the shell shows (from the shell's window list)"));
    EXPECT_TRUE(Traced("(from the shell)"));
    // The folder and the items come from one question to the shell.
    EXPECT_EQ(1, world.ThreadsStarted());

    StartOver();
    RunReleasingTheShell("");
    EXPECT_EQ(kData, Clipboard()) << TraceText();
}

TEST_F(ShellRoute, NothingSelectedGivesTheFolder)
{
    HWND frame = AddExplorerWindow();
    AddBrowser(frame, kData, {});
    world.SetForeground(frame);
    RunReleasingTheShell("/#f");
    EXPECT_EQ(kData, Clipboard()) << TraceText();
}

TEST_F(ShellRoute, TheDescribedRouteKeepsWindowsItCanRead)
{
    // An Explorer window with an address box and a list view (Windows XP, or a view set to the
    // old style): read as before, the shell is never asked and OLE32.DLL never loaded.
    HWND frame = world.AddWindow("CabinetWClass", "Data", true, nullptr, explorer);
    world.AddWindow("ComboBoxEx32", kData, true, frame, explorer);
    HWND view = world.AddWindow("SHELLDLL_DefView", "", true, frame, explorer);
    AddListView(world, view, explorer, {"memo.txt", "Old Files", "zeta.txt"}, {2});
    AddBrowser(frame, "C:\\Elsewhere", {"C:\\Elsewhere\\x.txt"});
    world.SetForeground(frame);
    RunReleasingTheShell("/#f");
    EXPECT_EQ(kZeta, Clipboard()) << TraceText();
    EXPECT_TRUE(world.ShellCalls().empty());
    EXPECT_EQ(0, world.ThreadsStarted());
}

TEST_F(ShellRoute, OnlyShellFolderWindowsAreAskedAbout)
{
    DWORD other = world.AddProcess("C:\\Tools\\filer.exe");
    HWND frame = world.AddWindow("FilerWindow", "Data", true, nullptr, other);
    AddBrowser(frame, kData, {kMemo});
    world.SetForeground(frame);
    RunReleasingTheShell("/#f");
    EXPECT_FALSE(OutputHappened());
    EXPECT_EQ(0, world.ThreadsStarted());
}

TEST_F(ShellRoute, TheCandidateScanFindsExplorerWindows)
{
    HWND frame = AddExplorerWindow();
    AddBrowser(frame, kData, {kMemo});
    DWORD editor = world.AddProcess("C:\\Tools\\editor.exe");
    world.SetForeground(world.AddWindow("EditorWindow", "notes", true, nullptr, editor));

    RunReleasingTheShell("/#f=explorer");
    EXPECT_EQ(kMemo, Clipboard()) << TraceText();

    // The scan asks for the folder only; the items are asked for when the window is read.
    EXPECT_EQ(2, world.ThreadsStarted());

    StartOver();
    RunReleasingTheShell("/#t=explorer");
    EXPECT_EQ(kData, Clipboard()) << TraceText();
}

TEST_F(ShellRoute, TheActiveTabOfAWindows11WindowIsRead)
{
    // Two tabs, each a browser of its own with the frame's handle; the active tab's window is
    // the frame's first tab window. The list holds the inactive tab first.
    AddEntries(world, "C:\\Other", {"other.txt"});
    HWND frame = AddExplorerWindow("Data", 2);
    AddBrowser(frame, "C:\\Other", {"C:\\Other\\other.txt"}, tabWindows[1]);
    AddBrowser(frame, kData, {kZeta}, tabWindows[0]);
    world.SetForeground(frame);
    RunReleasingTheShell("/#f");
    EXPECT_EQ(kZeta, Clipboard()) << TraceText();
}

TEST_F(ShellRoute, AWindowTheShellDoesNotListDoesNotQualify)
{
    HWND frame = AddExplorerWindow();
    HWND elsewhere = AddExplorerWindow("Other");
    AddBrowser(elsewhere, kData, {kMemo});
    world.SetForeground(frame);
    RunReleasingTheShell("/#f");
    EXPECT_FALSE(OutputHappened()) << TraceText();
    EXPECT_TRUE(Traced("does not hold window"));
}

TEST_F(ShellRoute, NoWindowListOrNoShellItems)
{
    HWND frame = AddExplorerWindow();
    AddBrowser(frame, kData, {kMemo});
    world.SetForeground(frame);
    world.RemoveShellWindowList();
    RunReleasingTheShell("/#f");
    EXPECT_FALSE(OutputHappened()) << TraceText();
    EXPECT_TRUE(Traced("CoCreateInstance(ShellWindows) failed (0x80040154)")) << TraceText();
}

TEST_F(ShellRoute, ViewsWithoutShellItemsAreReadThroughItemIdLists)
{
    // Windows XP's views, and any view that hands out no shell items: the folder's ID list and
    // the selected items' IDs, joined and turned into paths in this process.
    world.SetWindowsXp();
    HWND frame = AddExplorerWindow();
    AddBrowser(frame, kData, {kOldFiles, kMemo});
    world.SetForeground(frame);
    RunReleasingTheShell("/#f");
    EXPECT_EQ(std::string(kOldFiles) + "\r\n" + kMemo, Clipboard()) << TraceText();
    EXPECT_TRUE(Traced("is the folder the shell shows")) << TraceText();

    StartOver();
    RunReleasingTheShell("");
    EXPECT_EQ(kData, Clipboard()) << TraceText();
}

TEST_F(ShellRoute, ItemIdListsGoThroughTheSameRules)
{
    // A Windows 10 view that refuses shell items: virtual items, names outside the code page
    // and the 1000 limit as through shell items.
    std::vector<std::string> many;
    for (int i = 0; i < 1001; i++) {
        many.push_back(std::string(kData) + "\\g" + std::to_string(i));
        world.AddFile(many.back(), "");
    }
    struct Case {
        std::vector<std::string> selection;
        std::vector<std::string> output;
    } cases[] = {
        {{kMemo, "", kZeta}, {kMemo}},
        {{"C:\\Data\\caf\xC3\xA9.txt", kMemo}, {kData}},
        {{kZeta, "C:\\Data\\" + std::string(252, 'x')}, {kZeta}},
        {many, std::vector<std::string>(many.begin(), many.begin() + 1000)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selection[0]);
        StartOver();
        HWND frame = AddExplorerWindow();
        sim::World::ShellBrowser browser;
        browser.frame = frame;
        browser.folder = kData;
        browser.selection = c.selection;
        browser.shellItems = false;
        world.AddShellBrowser(browser);
        world.SetForeground(frame);
        RunReleasingTheShell("/#f");
        EXPECT_EQ(c.output, Output()) << TraceText();
        world.RemoveWindow(frame);
    }
}

TEST_F(ShellRoute, VirtualFoldersShowNoFolder)
{
    // This PC, the Recycle Bin: no file-system path, so the window shows no folder.
    HWND frame = AddExplorerWindow("This PC");
    AddBrowser(frame, "", {});
    world.SetForeground(frame);
    RunReleasingTheShell("/#f");
    EXPECT_FALSE(OutputHappened()) << TraceText();
    EXPECT_TRUE(Traced("shows a folder with no file-system path")) << TraceText();
}

TEST_F(ShellRoute, AZipFolderIsNoFolder)
{
    // A zip folder's path is the zip file itself.
    world.AddFile("C:\\Data\\pack.zip", "PK");
    HWND frame = AddExplorerWindow("pack.zip");
    AddBrowser(frame, "C:\\Data\\pack.zip", {""});
    world.SetForeground(frame);
    RunReleasingTheShell("");
    EXPECT_FALSE(OutputHappened()) << TraceText();
    EXPECT_TRUE(Traced("from the shell is not a folder")) << TraceText();
}

TEST_F(ShellRoute, OnlyFullPathsFromTheShellCount)
{
    // The shell's file-system paths carry a drive or a server. A relative or root-relative one
    // would be read against Tavix's own working folder or drive, and is taken as no path.
    world.AddDirectory("C:\\Tavix\\Data");
    for (const char* folder : {"Data", "\\Data", "."}) {
        SCOPED_TRACE(folder);
        StartOver();
        HWND frame = AddExplorerWindow("Folder");
        AddBrowser(frame, folder, {});
        world.SetForeground(frame);
        RunReleasingTheShell("");
        EXPECT_TRUE(Traced("shows a folder with no file-system path")) << TraceText();
        EXPECT_FALSE(OutputHappened()) << TraceText();
        world.RemoveWindow(frame);
    }
}

struct UnusableItem {
    const char* name;
    std::string item;
    const char* why;
};

void PrintTo(const UnusableItem& c, std::ostream* out)
{
    *out << c.name;
}

class ShellItemWithoutPath : public ShellRoute,
                             public ::testing::WithParamInterface<UnusableItem> {};

// As for a list view: the paths before the item that cannot be resolved, or the folder when it
// is the first; never a name with '?' or a look-alike in it.
TEST_P(ShellItemWithoutPath, EndsTheSelectionAsAnUnresolvableListViewItemDoes)
{
    HWND frame = AddExplorerWindow();
    AddBrowser(frame, kData, {kMemo, GetParam().item, kZeta});
    HWND second = AddExplorerWindow("Data");
    AddBrowser(second, kData, {GetParam().item, kMemo});
    world.SetForeground(frame);
    RunReleasingTheShell("/#f");
    EXPECT_EQ(kMemo, Clipboard()) << TraceText();
    EXPECT_TRUE(Traced(GetParam().why)) << TraceText();

    StartOver();
    world.SetForeground(second);
    RunReleasingTheShell("/#f");
    EXPECT_EQ(kData, Clipboard()) << TraceText();
}

INSTANTIATE_TEST_SUITE_P(
    Items, ShellItemWithoutPath,
    ::testing::Values(
        UnusableItem{"Virtual", "", "no file-system path"},
        UnusableItem{"TooLong", "C:\\Data\\" + std::string(252, 'x'),
                     "a path of 260 characters or more"},
        UnusableItem{"Gone", "C:\\Data\\gone.txt", "does not exist"},
        UnusableItem{"RootRelative", "\\Data\\zeta.txt", "no file-system path"}),
    [](const ::testing::TestParamInfo<UnusableItem>& info) {
        return std::string(info.param.name);
    });

TEST_F(ShellRoute, NamesInTheCodePageComeThroughInIt)
{
    // メモ.txt: UTF-16 from the shell, Shift_JIS in the output.
    const std::string sjisName = "\x83\x81\x83\x82.txt";
    world.AddFile(std::string(kData) + "\\" + sjisName, "");
    HWND frame = AddExplorerWindow();
    AddBrowser(frame, kData, {"C:\\Data\\\xE3\x83\xA1\xE3\x83\xA2.txt"});
    world.SetForeground(frame);
    RunReleasingTheShell("/#f");
    EXPECT_EQ(std::string(kData) + "\\" + sjisName, Clipboard()) << TraceText();
}

TEST_F(ShellRoute, NamesOutsideTheCodePageComeThroughWhole)
{
    // The shell's paths are UTF-16 and stay so: é and a character beyond the basic plane.
    world.AddFile(u"C:\\Data\\café.txt", "");
    world.AddFile(u"C:\\Data\\📁.txt", "");
    HWND frame = AddExplorerWindow();
    AddBrowser(frame, kData, {"C:\\Data\\caf\xC3\xA9.txt", "C:\\Data\\\xF0\x9F\x93\x81.txt"});
    world.SetForeground(frame);
    RunReleasingTheShell("/#f");
    EXPECT_EQ(u"C:\\Data\\café.txt\r\nC:\\Data\\📁.txt",
              world.ClipboardUnicodeText().WideText()) << TraceText();
    // The ANSI text has '?' where the code page has no character (for the pair, as many as the
    // system writes), never a look-alike.
    EXPECT_EQ("C:\\Data\\caf?.txt\r\n" + sim::Ansi(u"C:\\Data\\📁.txt"), Clipboard());
}

TEST_F(ShellRoute, AtMostAThousandItems)
{
    std::vector<std::string> selection;
    for (int i = 0; i < 1200; i++) {
        std::string path = std::string(kData) + "\\f" + std::to_string(i);
        world.AddFile(path, "");
        selection.push_back(path);
    }
    HWND frame = AddExplorerWindow();
    AddBrowser(frame, kData, selection);
    world.SetForeground(frame);
    RunReleasingTheShell("/#f");
    std::vector<std::string> output = Output();
    ASSERT_EQ(1000u, output.size()) << TraceText();
    EXPECT_EQ(selection[999], output[999]);
}

class HungShell : public ShellRoute, public ::testing::WithParamInterface<const char*> {};

// A shell that stops answering holds the run for the bound only, and is not asked again: the
// second Explorer window is passed over at once. The thread left waiting in the shell keeps
// OLE32.DLL and its objects; the process ends soon after.
TEST_P(HungShell, HoldsTheRunForTheBoundOnly)
{
    HWND frame = AddExplorerWindow();
    AddBrowser(frame, kData, {kMemo});
    HWND second = AddExplorerWindow("Data");
    AddBrowser(second, kData, {kZeta});
    DWORD editor = world.AddProcess("C:\\Tools\\editor.exe");
    world.SetForeground(world.AddWindow("EditorWindow", "notes", true, nullptr, editor));
    world.HangShellCall(GetParam());

    DWORD started = GetTickCount();
    RunCleanly("/#f=explorer");
    EXPECT_EQ(3000u, GetTickCount() - started);
    EXPECT_FALSE(OutputHappened()) << TraceText();
    EXPECT_EQ(1, world.HungThreads());
    EXPECT_TRUE(Traced("within 3000 ms; the shell is not asked again")) << TraceText();
    EXPECT_TRUE(Traced("the shell stopped answering earlier")) << TraceText();
}

INSTANTIATE_TEST_SUITE_P(Calls, HungShell,
                         ::testing::Values("IShellWindows::Item",
                                           "IShellBrowser::QueryActiveShellView",
                                           "IFolderView::Items", "IShellItem::GetDisplayName"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             return name.substr(name.find("::") + 2);
                         });

}  // namespace
