// Names outside the ANSI code page, whole runs on the NT family: list-view items, titles and
// address boxes, the clipboard in both forms, program starts, settings files in every
// encoding, the program's own folder and command line. Each name must come out as itself,
// never as a look-alike that may name another file.
#include "Desktop.h"
#include "Scenario.h"

namespace {

using WidePaths = std::vector<std::u16string>;

// Names that code page 932 cannot hold (é, Hangul, two characters beyond the basic plane, an
// ASCII name that differs from one of them only by its accents), and one that it holds.
const std::vector<sim::Text> kForeignNames = {u"café.txt", u"한글.txt", u"𠮷野家.txt",
                                              u"😀.txt", u"résumé.txt", u"resume.txt"};

class Unicode : public Scenario {
protected:
    Unicode()
    {
        world.AddFile("C:\\Tools\\viewer.exe", "MZ");
        world.SetClipboardText("earlier");
        world.SetCurrentDirectory("C:\\Tavix");
    }

    // A file manager showing folder in its title, with its items and the selected ones; the
    // items exist, those written with a final backslash as folders.
    Filer AddFolderFiler(const std::u16string& folder, const std::vector<sim::Text>& entries,
                         const std::set<int>& selected)
    {
        AddEntries(world, folder, entries);
        std::vector<sim::Text> items;
        for (const sim::Text& entry : entries) {
            std::u16string name = entry.Wide();
            if (!name.empty() && name.back() == u'\\')
                name.pop_back();
            items.push_back(name);
        }
        Filer f = AddFiler(world, folder, items, selected);
        world.SetForeground(f.window);
        return f;
    }

    std::u16string UnicodeClipboard() const { return world.ClipboardUnicodeText().WideText(); }
    std::string AnsiClipboard() const { return world.ClipboardText().Text(); }

    static std::u16string Joined(const WidePaths& paths)
    {
        std::u16string text;
        for (size_t i = 0; i < paths.size(); i++)
            text += (i > 0 ? u"\r\n" : u"") + paths[i];
        return text;
    }
};

TEST_F(Unicode, EveryItemGivesItsOwnPathInBothClipboardForms)
{
    AddFolderFiler(u"C:\\Data", kForeignNames, {0, 1, 2, 3, 4, 5});
    WriteSettings("");
    RunCleanly("/#f");
    WidePaths expected = {u"C:\\Data\\café.txt",   u"C:\\Data\\한글.txt",
                          u"C:\\Data\\𠮷野家.txt", u"C:\\Data\\😀.txt",
                          u"C:\\Data\\résumé.txt", u"C:\\Data\\resume.txt"};
    EXPECT_EQ(expected, OutputWide()) << TraceText();
    EXPECT_EQ(Joined(expected), UnicodeClipboard());
    // The ANSI text holds '?' where the code page has no character, never a look-alike: the
    // two résumé files stay apart, and no path names some other existing file.
    std::string ansi = AnsiClipboard();
    EXPECT_EQ(sim::Ansi(Joined(expected)), ansi);
    EXPECT_NE(std::string::npos, ansi.find("C:\\Data\\caf?.txt\r\n"));
    EXPECT_NE(std::string::npos, ansi.find("C:\\Data\\r?sum?.txt\r\nC:\\Data\\resume.txt"));
    EXPECT_EQ(std::string::npos, ansi.find("cafe")) << ansi;
    EXPECT_EQ(std::vector<UINT>{MB_ICONASTERISK}, world.beeps);
    // Both texts are set, UTF-16 first, so the system makes no ANSI text of its own.
    EXPECT_EQ((std::vector<UINT>{CF_UNICODETEXT, CF_TEXT}), world.ClipboardFormats());
}

TEST_F(Unicode, NamesThatFitTheCodePageGiveTheSameAnsiTextAsEver)
{
    // メモ.txt and ソフト (whose first Shift_JIS character ends in the byte 0x5C).
    const std::string memo = "\x83\x81\x83\x82.txt";
    const std::string soft = "\x83\x5C\x83\x74\x83\x67";
    AddFolderFiler(u"C:\\Data", {memo, soft + "\\", "a b.txt"}, {0, 1, 2});
    WriteSettings("");
    RunCleanly("/#f");
    std::string expected = "C:\\Data\\" + memo + "\r\nC:\\Data\\" + soft + "\r\nC:\\Data\\a b.txt";
    sim::ClipboardTextRecord clip = world.ClipboardText();
    EXPECT_EQ(expected, clip.Text()) << TraceText();
    EXPECT_EQ(expected.size() + 1, clip.blockSize) << "a block of the text and its zero";
    EXPECT_EQ(UINT(GMEM_MOVEABLE | GMEM_ZEROINIT), clip.allocFlags);
    EXPECT_EQ(sim::Widen(expected), UnicodeClipboard());
    sim::ClipboardTextRecord wide = world.ClipboardUnicodeText();
    EXPECT_EQ((sim::Widen(expected).size() + 1) * 2, wide.blockSize);
    EXPECT_EQ(0, world.OutstandingGlobalBlocks());
}

TEST_F(Unicode, NamesThatDifferOnlyByAnAccentAreTwoFiles)
{
    // Each of the pair selected alone gives its own path; the list view's ANSI form, which
    // the program no longer asks for, would give resume.txt for both.
    AddEntries(world, u"C:\\CV", {u"résumé.txt", u"resume.txt"});
    Filer f = AddFiler(world, "C:\\CV", {u"résumé.txt", u"resume.txt"}, {0});
    world.SetForeground(f.window);
    WriteSettings("");
    RunCleanly("/#f");
    EXPECT_EQ(u"C:\\CV\\résumé.txt", UnicodeClipboard()) << TraceText();
    EXPECT_EQ("C:\\CV\\r?sum?.txt", AnsiClipboard());

    f.control->selected = {1};
    StartOver();
    WriteSettings("");
    RunCleanly("/#f");
    EXPECT_EQ(u"C:\\CV\\resume.txt", UnicodeClipboard());
    EXPECT_EQ("C:\\CV\\resume.txt", AnsiClipboard());
}

TEST_F(Unicode, FoldersOutsideTheCodePageAreNamedFromTitlesAndAddressBoxes)
{
    // Title mode: a title that is such a folder, and one that is a file in it.
    world.AddDirectory(u"C:\\Users\\José\\한글 😀");
    world.AddFile(u"C:\\Users\\José\\한글 😀\\𠮷.txt", "");
    HWND folder = world.AddWindow("FilerWindow", u"C:\\Users\\José\\한글 😀 - Filer", true);
    world.SetForeground(folder);
    WriteSettings("");
    RunCleanly("");
    EXPECT_EQ(u"C:\\Users\\José\\한글 😀", UnicodeClipboard()) << TraceText();

    HWND editor = world.AddWindow("EditorWindow", u"C:\\Users\\José\\한글 😀\\𠮷.txt", true);
    world.SetForeground(editor);
    StartOver();
    WriteSettings("");
    RunCleanly("/#t");
    EXPECT_EQ(u"C:\\Users\\José\\한글 😀\\𠮷.txt", UnicodeClipboard()) << TraceText();

    // Filer mode: the title shows only the folder's name, the address box the path.
    AddEntries(world, u"C:\\Users\\José", {u"Ünïcödé.txt"});
    DWORD filer = world.AddProcess("C:\\Tools\\Filer\\filer.exe");
    HWND window = world.AddWindow("FilerWindow", u"José", true, nullptr, filer);
    world.AddWindow("ComboBox", u"  C:\\Users\\José  ", true, window, filer);
    AddListView(world, window, filer, {u"Ünïcödé.txt"}, {0});
    world.SetForeground(window);
    StartOver();
    WriteSettings("");
    RunCleanly("/#f");
    EXPECT_EQ(u"C:\\Users\\José\\Ünïcödé.txt", UnicodeClipboard()) << TraceText();
}

TEST_F(Unicode, TheStartedProgramGetsTheExactWideParametersAndFolder)
{
    world.AddFile(u"C:\\Tools\\Ñandú\\viewer.exe", "MZ");
    AddFolderFiler(u"C:\\Data", {u"café.txt", u"😀 folder\\", u"résumé.txt"}, {0, 1, 2});
    // The program's path is written in UTF-8; an ANSI file of code page 932 could not hold it.
    WriteSettings("[exec]\nC:\\Tools\\\xC3\x91\x61nd\xC3\xBA\\viewer.exe | View\n>-o \"%M\"\n");
    RunCleanly("/#f /#e=View");
    ASSERT_EQ(1u, world.launches.size()) << TraceText();
    const sim::ShellLaunchRecord& launch = world.launches[0];
    EXPECT_TRUE(launch.wide);
    EXPECT_EQ(u"C:\\Tools\\Ñandú\\viewer.exe", launch.fileWide);
    EXPECT_EQ(u"-o \"C:\\Data\\café.txt\" \"C:\\Data\\😀 folder\\\" \"C:\\Data\\résumé.txt\"",
              launch.parametersWide);
    EXPECT_EQ(u"C:\\Tools\\Ñandú\\", launch.directoryWide);
    EXPECT_EQ(SW_SHOWNORMAL, launch.show);
}

TEST_F(Unicode, CommandLinesOfNamesThatFitAreTheSameBytesAsEver)
{
    const std::string memo = "\x83\x81\x83\x82.txt";   // メモ.txt
    AddFolderFiler(u"C:\\Data", {memo, "Old Files\\"}, {0, 1});
    WriteSettings("[exec]\nC:\\Tools\\viewer.exe | View\n>/n %-M\n");
    RunCleanly("/#f /#e=View");
    ASSERT_EQ(1u, world.launches.size()) << TraceText();
    EXPECT_EQ("C:\\Tools\\viewer.exe", world.launches[0].file);
    EXPECT_EQ("/n C:\\Data\\" + memo + " C:\\Data\\Old Files", world.launches[0].parameters);
    EXPECT_EQ("C:\\Tools\\", world.launches[0].directory);
}

// A settings file in each encoding a user's editor may save: the same Japanese label and a
// program in a folder named ツール.
struct EncodedSettings {
    const char* what;
    std::string bytes;
};

std::string Utf16File(const std::u16string& text)
{
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

TEST_F(Unicode, SettingsFilesAreReadInTheirOwnEncoding)
{
    const std::u16string settings = u"[exec]\r\nC:\\ツール\\viewer.exe | 表示\r\n>\"%M\"\r\n";
    const EncodedSettings files[] = {
        {"UTF-8 without a byte-order mark", sim::Utf8(settings)},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF" + sim::Utf8(settings)},
        {"UTF-16 with a byte-order mark", Utf16File(settings)},
        {"ANSI (Shift_JIS)", sim::Ansi(settings)},
    };
    world.AddFile(u"C:\\ツール\\viewer.exe", "MZ");
    AddFolderFiler(u"C:\\Data", {u"한글.txt"}, {0});
    for (const EncodedSettings& file : files) {
        StartOver();
        world.launches.clear();
        WriteSettings(file.bytes);
        RunCleanly(u"/#f /#e=表示");
        ASSERT_EQ(1u, world.launches.size()) << file.what << "\n" << TraceText();
        EXPECT_EQ(u"C:\\ツール\\viewer.exe", world.launches[0].fileWide) << file.what;
        EXPECT_EQ(u"\"C:\\Data\\한글.txt\"", world.launches[0].parametersWide) << file.what;
    }
}

TEST_F(Unicode, TextsWithoutAByteOrderMarkAreUtf8OnlyWhenValidAndNotPlainAscii)
{
    // Shift_JIS bytes are no valid UTF-8, so the file is ANSI; a file that is plain ASCII is
    // ANSI too, and reads the same either way.
    const std::string label = "\x95\x5C\x8E\xA6";   // 表示 in Shift_JIS
    WriteSettings("[exec]\nC:\\Tools\\viewer.exe | " + label + "\n");
    AddFolderFiler(u"C:\\Data", {"a.txt"}, {0});
    RunCleanly(u"/#f /#e=表示");
    ASSERT_EQ(1u, world.launches.size()) << TraceText();
    EXPECT_TRUE(Traced("read as ANSI text")) << TraceText();

    // A file with one byte that starts no UTF-8 sequence (0xE9 alone) is not UTF-8, whatever
    // else it holds: its UTF-8 label is read as Shift_JIS bytes, which are not 表示.
    StartOver();
    world.launches.clear();
    WriteSettings("[exec]\nC:\\Tools\\viewer.exe | " + sim::Utf8(u"表示") + "\n; caf\xE9\n");
    RunCleanly(u"/#f /#e=表示");
    EXPECT_TRUE(world.launches.empty()) << "the label is read as ANSI bytes, not as 表示";
    EXPECT_TRUE(Traced("read as ANSI text"));
}

TEST_F(Unicode, TheProgramInAFolderOutsideTheCodePageFindsItsSettings)
{
    world.SetModulePath(u"C:\\Überall\\Ünicode Tavix.exe");
    world.AddFile(u"C:\\Überall\\Ünicode Tavix.ini", sim::Utf8(u"[system]\n@filer=Filer\n"));
    AddFolderFiler(u"C:\\Data", {u"café.txt"}, {0});
    world.SetCommandLine(u"\"C:\\Überall\\Ünicode Tavix.exe\" /#f");
    std::string tail = "/#f";
    EXPECT_EQ(0, WinMain(SIM_PROGRAM_INSTANCE, NULL, &tail[0], SW_SHOWDEFAULT));
    EXPECT_EQ(u"C:\\Data\\café.txt", UnicodeClipboard()) << TraceText();
    EXPECT_TRUE(world.FileExists(u"C:\\Überall\\Ünicode Tavix.ini"));
    EXPECT_FALSE(world.FileExists(u"C:\\Überall\\Tavix.ini")) << "no settings file is made";
    EXPECT_EQ(u"Ünicode Tavix", world.CreatedWindows().at(0).classNameWide);
}

TEST_F(Unicode, ProgramNamesAndLabelsOutsideTheCodePageMatchWithoutRegardToCase)
{
    // /#f= names a program whose image name is Cyrillic; the label differs in case only.
    AddEntries(world, u"C:\\Data", {u"ß.txt"});
    Filer f = AddFiler(world, u"C:\\Data", {u"ß.txt"}, {0}, u"C:\\Tools\\Файлер.exe");
    (void)f;
    world.AddFile(u"C:\\Tools\\Café.exe", "MZ");
    WriteSettings(sim::Utf8(u"[exec]\nC:\\Tools\\Café.exe\n"));
    RunCleanly(u"/#f=ФАЙЛЕР /#e=CAFÉ");
    ASSERT_EQ(1u, world.launches.size()) << TraceText();
    EXPECT_EQ(u"C:\\Tools\\Café.exe", world.launches[0].fileWide);
    EXPECT_EQ(u" \"C:\\Data\\ß.txt\"", world.launches[0].parametersWide);
}

TEST_F(Unicode, LimitsCountUtf16UnitsAndNeverSplitACharacter)
{
    // C:\Data\ (8 units) and a name of 251 units: 259 in all, the longest path there is. A
    // character beyond the basic plane counts two.
    std::u16string name = std::u16string(245, u'a') + u"😀.txt";   // 245 + 2 + 4 = 251
    std::u16string longer = std::u16string(246, u'a') + u"😀.txt";
    AddFolderFiler(u"C:\\Data", {name, longer}, {0});
    WriteSettings("");
    RunCleanly("/#f");
    EXPECT_EQ(u"C:\\Data\\" + name, UnicodeClipboard()) << TraceText();

    Filer f = AddFiler(world, u"C:\\Data", {longer, u"x.txt"}, {0, 1});
    world.SetForeground(f.window);
    world.AddFile(u"C:\\Data\\x.txt", "");
    StartOver();
    WriteSettings("");
    RunCleanly("/#f");
    EXPECT_EQ(u"C:\\Data", UnicodeClipboard()) << "260 units are too many: the folder stands in";
}

TEST_F(Unicode, TheTraceCarriesTheNamesAsTheyAre)
{
    AddFolderFiler(u"C:\\Data", {u"한글.txt"}, {0});
    WriteSettings("");
    RunCleanly("/#f");
    bool found = false;
    for (const std::u16string& line : world.traceWide)
        found = found || line.find(u"\"C:\\Data\\한글.txt\"") != std::u16string::npos;
    EXPECT_TRUE(found) << TraceText();
}

}  // namespace
