// Naming the folder a window shows: title forms in both modes, special-folder names, address
// boxes, and texts that are not folders.
#include "Desktop.h"
#include "Scenario.h"

#include "window/FolderResolution.h"

namespace {

const char kMyDocumentsName[] = "\x83\x7D\x83\x43 \x83\x68\x83\x4C\x83\x85\x83\x81\x83\x93\x83\x67";  // マイ ドキュメント
const char kMyDocuments[] = "C:\\Documents and Settings\\user\\My Documents";
const char kDesktopName[] = "\x83\x66\x83\x58\x83\x4E\x83\x67\x83\x62\x83\x76";  // デスクトップ
const char kSoft[] = "C:\\\x83\x5C\x83\x74\x83\x67";   // C:\ソフト: the first trail byte is 0x5C

class FolderResolution : public Scenario {
protected:
    FolderResolution()
    {
        AddEntries(world, "C:\\work", {"notes.txt", "sub\\"});
        world.AddDirectory("C:\\Program Files\\Tool");
        world.AddDirectory("C:\\Base\\docs");
        world.AddDirectory(kSoft);
        world.SetCurrentDirectory("C:\\Base");
        window = world.AddWindow("FilerWindow", "", true);
    }

    // Runs the resolution on a title; returns the CurrentFolder, or "-" when nothing resolved.
    std::string Resolve(const std::string& title, int mode)
    {
        g_Run.SearchMode = mode;
        Put(g_Run.CurrentFolder, "unchanged");
        Put(g_Run.WindowTitle, title.c_str());
        int result = ResolveFolder(window);
        if (!result) {
            EXPECT_EQ("unchanged", Ansi(g_Run.CurrentFolder)) << "a failed resolution changed it";
            return "-";
        }
        return Ansi(g_Run.CurrentFolder);
    }

    HWND AddCombo(const std::string& text, bool visible = true, const char* cls = "ComboBox",
                  HWND parent = nullptr)
    {
        return world.AddWindow(cls, text, visible, parent ? parent : window);
    }

    HWND window;
};

struct TitleCase {
    std::string title;
    std::string inTitleMode;
    std::string inFilerMode;
};

TEST_F(FolderResolution, TitleForms)
{
    const TitleCase cases[] = {
        {"C:\\work", "C:\\work", "C:\\work"},
        {"C:\\", "C:\\", "C:"},
        {"C:\\work\\", "C:\\work\\", "C:\\work"},
        {"C:\\work\\notes.txt", "C:\\work\\notes.txt", "-"},
        {"  C:\\work  ", "C:\\work", "C:\\work"},
        {"C:\\work\\sub\\..", "C:\\work", "C:\\work"},
        {"C:", "C:\\", "C:"},
        // before a blank, longest first: "C:\Program Files\Tool -" fails, then this
        {"C:\\Program Files\\Tool - Filer", "C:\\Program Files\\Tool", "C:\\Program Files\\Tool"},
        // after a blank
        {"work - C:\\work", "C:\\work", "C:\\work"},
        // enclosed
        {"[C:\\work]", "C:\\work", "C:\\work"},
        {"(C:\\work)", "C:\\work", "C:\\work"},
        {"[C:\\work] - Filer", "C:\\work", "C:\\work"},
        {"Filer - [C:\\work\\notes.txt]", "C:\\work\\notes.txt", "-"},
        // special-folder names, whole or as a part
        {kMyDocumentsName, kMyDocuments, kMyDocuments},
        {std::string(kMyDocumentsName) + " - Filer", kMyDocuments, kMyDocuments},
        {std::string("[") + kDesktopName + "]", "C:\\Documents and Settings\\user\\Desktop",
         "C:\\Documents and Settings\\user\\Desktop"},
        // a relative folder under the current directory
        {"docs", "docs", "docs"},
        {"docs - Filer", "docs", "docs"},
        // an editor's title names its file: a result in title mode only
        {"C:\\work\\notes.txt - Editor", "C:\\work\\notes.txt", "-"},
        // a trail byte 0x5C is not a backslash
        {kSoft, kSoft, kSoft},
        {std::string(kSoft) + "\\", std::string(kSoft) + "\\", kSoft},
        // nothing to name
        {"Documents - AppName", "-", "-"},
        // two characters leave an empty inner text, which the shell makes the current
        // drive's root; an empty folder is no result
        {"ab", "-", "-"},
        {"ab cd", "-", "-"},
        {"x", "-", "-"},
        {"\x83\x7D\x83\x43\x81\x40\x83\x68\x83\x4C\x83\x85\x83\x81\x83\x93\x83\x67", "-", "-"},  // full-width blank
        {"C:\\nowhere - C:\\nothing", "-", "-"},
    };
    for (const TitleCase& c : cases) {
        EXPECT_EQ(c.inTitleMode, Resolve(c.title, TitleMode)) << "title mode: " << c.title;
        EXPECT_EQ(c.inFilerMode, Resolve(c.title, FilerMode)) << "filer mode: " << c.title;
    }
}

TEST_F(FolderResolution, RelativeFileIsNotTakenInTitleMode)
{
    world.SetCurrentDirectory("C:\\work");
    EXPECT_EQ("-", Resolve("notes.txt", TitleMode));
    EXPECT_EQ("sub", Resolve("sub", TitleMode));
}

TEST_F(FolderResolution, SpecialFolderThatTheSystemCannotGiveIsNoFolder)
{
    world.SetSpecialFolder(CSIDL_PERSONAL, "");
    EXPECT_EQ("-", Resolve(kMyDocumentsName, FilerMode));
    world.SetSpecialFolder(CSIDL_PERSONAL, "C:\\Missing\\Docs");
    EXPECT_EQ("-", Resolve(kMyDocumentsName, FilerMode));
}

TEST_F(FolderResolution, AddressBoxGivesTheFolderWhenTheTitleCannot)
{
    AddCombo("  C:\\work  ");
    EXPECT_EQ("C:\\work", Resolve("work", FilerMode));
    EXPECT_EQ(1, g_Run.AddressBoxFound);
    EXPECT_EQ("C:\\work", Resolve("work", TitleMode));
}

TEST_F(FolderResolution, TitleWinsOverTheAddressBox)
{
    AddCombo("C:\\work");
    EXPECT_EQ("C:\\Program Files\\Tool", Resolve("C:\\Program Files\\Tool", FilerMode));
    EXPECT_EQ(0, world.counters.messages[WM_GETTEXT]) << "the address box is not read";
}

TEST_F(FolderResolution, FilerModeTakesTheFirstComboBoxNamingAFolder)
{
    HWND ex = AddCombo("C:\\work\\notes.txt", true, "ComboBoxEx32");
    AddCombo("C:\\work\\sub", true, "ComboBox", ex);          // inside the ComboBoxEx32
    AddCombo("C:\\Program Files\\Tool", false);                // hidden: never read
    AddCombo("C:\\Base\\docs");
    EXPECT_EQ("C:\\work\\sub", Resolve("Filer", FilerMode));
    EXPECT_EQ(2, world.counters.messages[WM_GETTEXT]) << "the search ends at the folder";
}

TEST_F(FolderResolution, TitleModeTakesTheLastComboBoxNamingAnExistingPath)
{
    AddCombo("C:\\work");
    AddCombo("C:\\work\\notes.txt");
    AddCombo("nothing here");
    EXPECT_EQ("C:\\work\\notes.txt", Resolve("Filer", TitleMode));
}

TEST_F(FolderResolution, ComboBoxWithASpecialNameEndsTheSearchInBothModes)
{
    AddCombo(kMyDocumentsName);
    AddCombo("C:\\work");
    EXPECT_EQ(kMyDocuments, Resolve("Filer", TitleMode));
    EXPECT_EQ(kMyDocuments, Resolve("Filer", FilerMode));
}

TEST_F(FolderResolution, ClassNamesContainingComboBoxInAnyCaseQualify)
{
    AddCombo("C:\\work", true, "TComboboxEx");
    EXPECT_EQ("C:\\work", Resolve("Filer", FilerMode));
}

TEST_F(FolderResolution, NoTitleAndNoAddressBoxGivesNothing)
{
    AddCombo("C:\\nowhere");
    world.AddWindow("Edit", "C:\\work", true, window);
    EXPECT_EQ("-", Resolve("Filer", FilerMode));
    EXPECT_EQ(0, g_Run.AddressBoxFound);
}

// Texts from another program are not trusted to end where the buffer does.
TEST_F(FolderResolution, UnterminatedComboTextIsCutInsideTheBuffer)
{
    HWND combo = AddCombo("C:\\work");
    world.SetUnterminatedText(combo, true);
    EXPECT_EQ("-", Resolve("Filer", FilerMode));
    AddCombo("C:\\work\\sub");
    EXPECT_EQ("C:\\work\\sub", Resolve("Filer", FilerMode));
}

TEST_F(FolderResolution, ComboBoxThatDoesNotAnswerCountsAsOneWithoutText)
{
    DWORD hung = world.AddProcess("C:\\Hung\\hung.exe");
    HWND other = world.AddWindow("FilerWindow", "Filer", true, nullptr, hung);
    world.AddWindow("ComboBox", "C:\\work", true, other, hung);
    world.AddWindow("ComboBox", "C:\\work\\sub", true, other, hung);
    world.SetHung(hung, true);
    DWORD before = GetTickCount();

    g_Run.SearchMode = FilerMode;
    Put(g_Run.WindowTitle, "Filer");
    EXPECT_EQ(0, ResolveFolder(other));
    EXPECT_LE(GetTickCount() - before, 1500u) << "one time-out, then the thread is not asked again";
    EXPECT_FALSE(world.blockedOnHungWindow);
}

TEST_F(FolderResolution, LongAndOddTitlesResolveToNothingWithoutHarm)
{
    const std::string titles[] = {
        std::string(519, 'a'),
        std::string(519, ' '),
        std::string(519, '\x81'),                           // lead bytes only
        "C:\\" + std::string(516, 'x'),
        std::string(259, ' ') + "C:\\work" + std::string(253, ' '),
        "[" + std::string(517, '\\') + "]",
        std::string(300, '.') + " " + std::string(218, '.'),
    };
    for (const std::string& title : titles) {
        ASSERT_EQ(519u, title.size());
        std::string inTitleMode = Resolve(title, TitleMode);
        std::string inFilerMode = Resolve(title, FilerMode);
        if (title.find("C:\\work") != std::string::npos) {
            EXPECT_EQ("C:\\work", inTitleMode);
            EXPECT_EQ("C:\\work", inFilerMode);
        }
        EXPECT_LT(Wide(g_Run.CurrentFolder).size(), 260u);
    }
}

TEST_F(FolderResolution, FolderOf259CharactersIsTakenAndOneOf260IsNot)
{
    std::string fits = "C:\\" + std::string(256, 'f');
    std::string tooLong = "C:\\" + std::string(240, 'g') + "\\" + std::string(16, 'h');
    world.AddDirectory(fits);
    world.AddDirectory(tooLong);
    EXPECT_EQ(fits, Resolve(fits, FilerMode));
    EXPECT_EQ("-", Resolve(tooLong, FilerMode));
}

}  // namespace
