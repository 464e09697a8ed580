// The lines of the settings file: keys, name lists, entries, templates and where sections end.
#include "Scenario.h"

#include "common/Text.h"

#include "config/SettingsSections.h"

namespace {

class Sections : public Scenario {
protected:
    Sections()
    {
        world.AddFile("C:\\Tools\\viewer.exe", "MZ");
        world.AddFile("C:\\Tools\\editor.exe", "MZ");
        world.AddFile("C:\\WINDOWS\\notepad.exe", "MZ");
        world.AddFile("C:\\WINDOWS\\explorer.exe", "MZ");
    }

    void Load(const std::string& text)
    {
        WriteSettings(text);
        RunCleanly("");
        EXPECT_TRUE(world.messageBoxes.empty()) << TraceText();
    }

    std::string Name(const NameList& list, int i) { return Ansi(list.Names[i]); }
    std::string Program(int i) { return Ansi(g_Run.Exec.ProgramPath[i]); }
    std::string Label(int i) { return Ansi(g_Run.Exec.Label[i]); }
    std::string Template(int i) { return Ansi(g_Run.Exec.Template[i]); }
};

TEST_F(Sections, MinimalFileFillsEverything)
{
    Load("[system]\r\n"
         "@path=C:\\Tools;D:\\Bin\r\n"
         "@title=explorer\r\n"
         "@filer=explorer,other\r\n"
         "@restore\r\n"
         "%end\r\n"
         "[exec]\r\n"
         "notepad\r\n"
         ">\"%M\"\r\n"
         "C:\\Tools\\viewer.exe | View\r\n"
         "%end\r\n");
    EXPECT_EQ("C:\\Tools;D:\\Bin", Ansi(g_Run.SearchPathText));
    EXPECT_EQ(1, g_Run.SearchPathPresent);
    ASSERT_EQ(1, g_Run.TitleList.Count);
    EXPECT_EQ("explorer", Name(g_Run.TitleList, 0));
    ASSERT_EQ(2, g_Run.FilerList.Count);
    EXPECT_EQ("other", Name(g_Run.FilerList, 1));
    EXPECT_EQ(1, g_Run.RestoreFlag);
    ASSERT_EQ(2, g_Run.Exec.Count);
    EXPECT_EQ("C:\\WINDOWS\\notepad.exe", Program(0));
    EXPECT_EQ("notepad", Label(0));
    EXPECT_EQ("\"%M\"", Template(0));
    EXPECT_EQ("C:\\Tools\\viewer.exe", Program(1));
    EXPECT_EQ("View", Label(1));
    EXPECT_EQ("", Template(1));
}

TEST_F(Sections, KeysAndHeadersInAnyCaseWithBlanksAndTabs)
{
    const char* files[] = {
        "[SYSTEM]\n@RESTORE\n",
        "[System]\n   @restore\n",
        "[system]\n@re\tst\tore\n",
        "[system]\n\t @restore\n",
        "[system]\n@restore=no\n",
        "[system]\n@restore",            // last line without LF
        "x[system]y\n@restore\n",       // header inside another line
    };
    for (const char* text : files) {
        StartOver();
        Load(text);
        EXPECT_EQ(1, g_Run.RestoreFlag) << text;
    }
}

TEST_F(Sections, LinesThatDoNotCount)
{
    const char* files[] = {
        "[system]\n;@restore\n",
        "[system]\n %end\n@restore\n",
        "[system]\n%END of the system section\n@restore\n",
        "[system]\n@foreground\n@restor\n",
        "@restore\n[system]\n",
        "[system@restore\n",
    };
    for (const char* text : files) {
        StartOver();
        Load(text);
        EXPECT_EQ(0, g_Run.RestoreFlag) << text;
    }
}

TEST_F(Sections, NameListsSplitAtCommasWithoutTrimming)
{
    Load("[system]\n@title=a, b,,c,\n@filer=x\n@filer=\n");
    ASSERT_EQ(3, g_Run.TitleList.Count);
    EXPECT_EQ("a", Name(g_Run.TitleList, 0));
    EXPECT_EQ(" b", Name(g_Run.TitleList, 1));
    EXPECT_EQ("c", Name(g_Run.TitleList, 2));
    ASSERT_EQ(1, g_Run.FilerList.Count) << "an empty value leaves the list as it was";
    EXPECT_EQ("x", Name(g_Run.FilerList, 0));
}

TEST_F(Sections, SecondListLineReplacesTheFirst)
{
    Load("[system]\n@title=a,b,c\n@title=d\n");
    ASSERT_EQ(1, g_Run.TitleList.Count);
    EXPECT_EQ("d", Name(g_Run.TitleList, 0));
}

TEST_F(Sections, ListKeepsTwentyNamesOf259Characters)
{
    std::string names;
    for (int i = 1; i <= 25; i++)
        names += (i > 1 ? "," : "") + std::to_string(i);
    Load("[system]\n@title=" + names + "\n@filer=" + std::string(300, 'f') + ",g\n");
    ASSERT_EQ(20, g_Run.TitleList.Count);
    EXPECT_EQ("20", Name(g_Run.TitleList, 19));
    ASSERT_EQ(2, g_Run.FilerList.Count);
    EXPECT_EQ(std::string(259, 'f'), Name(g_Run.FilerList, 0));
    EXPECT_EQ("g", Name(g_Run.FilerList, 1));
}

TEST_F(Sections, ParseNameListStopsAtTheLineEnd)
{
    NameList list = {};
    ParseNameList(u"@title=a,b\r\nc,d", 7, &list);
    ASSERT_EQ(2, list.Count);
    EXPECT_EQ(u"b", Wide(list.Names[1]));
}

TEST_F(Sections, ReadSettingsLineDropsCrAndTabAndCutsAt517)
{
    WCHAR line[LineBufferSize];
    const WCHAR text[] = u"a\tb\r\nnext";
    EXPECT_EQ(5, ReadSettingsLine(0, CountOf(text) - 1, text, line));
    EXPECT_EQ(u"ab", Wide(line));
    EXPECT_EQ(4, ReadSettingsLine(5, CountOf(text) - 1, text, line));
    EXPECT_EQ(u"next", Wide(line));

    // The limit counts UTF-16 units: 517 of them, whatever their script.
    std::u16string longText = std::u16string(600, u'表') + u"\ny";
    EXPECT_EQ(601, ReadSettingsLine(0, (DWORD)longText.size(), longText.c_str(), line));
    EXPECT_EQ(std::u16string(517, u'表'), Wide(line));
}

TEST_F(Sections, BareProgramIsFoundAndNamedAfterItsFile)
{
    Load("[exec]\nnotepad\nC:\\Tools\\viewer.exe | View\nC:\\Tools\\editor.exe | \n");
    ASSERT_EQ(3, g_Run.Exec.Count);
    EXPECT_EQ("C:\\WINDOWS\\notepad.exe", Program(0));
    EXPECT_EQ("notepad", Label(0));
    EXPECT_EQ("View", Label(1));
    EXPECT_EQ("", Label(2)) << "an empty label after the separator stays empty";
}

TEST_F(Sections, SeparatorNeedsBlanksOnBothSides)
{
    Load("[exec]\nC:\\Tools\\viewer.exe|View\nC:\\Tools\\viewer.exe | A | B\n");
    ASSERT_EQ(1, g_Run.Exec.Count) << "the first line names no existing program";
    EXPECT_EQ("A | B", Label(0));
}

TEST_F(Sections, ProgramPathIsCanonical)
{
    Load("[exec]\nC:\\Tools\\..\\Tools\\.\\viewer.exe | V\n");
    ASSERT_EQ(1, g_Run.Exec.Count);
    EXPECT_EQ("C:\\Tools\\viewer.exe", Program(0));
}

TEST_F(Sections, TemplatesBelongToTheLastStoredEntry)
{
    Load("[exec]\n"
         ">\"%M\"\n"                       // before any entry: an entry line that finds nothing
         "C:\\Tools\\viewer.exe | View\n"
         ">first\n"
         ">second\n"
         "C:\\Tools\\missing.exe | Gone\n"
         ">lands on View\n"
         "notepad\n"
         ">\n");
    ASSERT_EQ(2, g_Run.Exec.Count);
    EXPECT_EQ("View", Label(0));
    EXPECT_EQ("lands on View", Template(0));
    EXPECT_EQ("notepad", Label(1));
    EXPECT_EQ("", Template(1));
}

TEST_F(Sections, TwentyEntriesEndTheSectionAtTheNextOtherLine)
{
    std::string text = "[exec]\n";
    for (int i = 1; i <= 21; i++)
        text += "C:\\Tools\\viewer.exe | E" + std::to_string(i) + "\n";
    Load(text + ">t20\n;comment\n>t20 again\n\nC:\\Tools\\editor.exe | Late\n");
    ASSERT_EQ(20, g_Run.Exec.Count);
    EXPECT_EQ("E20", Label(19));
    EXPECT_EQ("", Template(19)) << "the 21st entry line ends the section";

    StartOver();
    text = "[exec]\n";
    for (int i = 1; i <= 20; i++)
        text += "C:\\Tools\\viewer.exe | E" + std::to_string(i) + "\n";
    Load(text + ">t20\n;comment\n>t20 again\n\n>after the end\n");
    ASSERT_EQ(20, g_Run.Exec.Count);
    EXPECT_EQ("t20 again", Template(19));
}

TEST_F(Sections, SystemSectionIsReadFirstWhateverTheOrder)
{
    Load("[exec]\nviewer | V\n%end\n[system]\n@path=C:\\Tools\n%end\n");
    ASSERT_EQ(1, g_Run.Exec.Count);
    EXPECT_EQ("C:\\Tools\\viewer.exe", Program(0));
}

TEST_F(Sections, CommentMentioningTheHeaderStartsTheSectionEarly)
{
    Load("; the programs follow in [exec]\n"
         "notepad\n"
         "[exec]\n"
         "C:\\Tools\\viewer.exe | View\n");
    ASSERT_EQ(2, g_Run.Exec.Count);
    EXPECT_EQ("notepad", Label(0));
    EXPECT_EQ("View", Label(1));
}

TEST_F(Sections, SectionWithoutEndRunsIntoTheNextOne)
{
    Load("[system]\n@restore\n[exec]\nC:\\Tools\\viewer.exe | V\n@title=seen by system\n");
    EXPECT_EQ(1, g_Run.TitleList.Count);
    EXPECT_EQ(1, g_Run.Exec.Count) << "the @title line is an entry line that finds nothing";
}

TEST_F(Sections, CrLfAndLfFilesReadTheSame)
{
    Load("[exec]\r\nC:\\Tools\\viewer.exe | View\r\n>\"%M\"\r\n");
    EXPECT_EQ("View", Label(0));
    EXPECT_EQ("\"%M\"", Template(0));
}

TEST_F(Sections, LongLabelsAndTemplatesAreCutTo259)
{
    Load("[exec]\nC:\\Tools\\viewer.exe | " + std::string(400, 'L') + "\n>" +
         std::string(400, 'T') + "\n");
    ASSERT_EQ(1, g_Run.Exec.Count);
    EXPECT_EQ(std::string(259, 'L'), Label(0));
    EXPECT_EQ(std::string(259, 'T'), Template(0));
}

TEST_F(Sections, SearchPathFileNamedByThePathKey)
{
    world.AddFile("C:\\Tavix\\paths.txt", "# tools\r\nPATH=C:\\Tools;C:\\Other\r\n");
    Load("[system]\n@path=C:\\Tavix\\paths.txt\n[exec]\nviewer\n");
    EXPECT_EQ("C:\\Tools;C:\\Other", Ansi(g_Run.SearchPathText));
    ASSERT_EQ(1, g_Run.Exec.Count);
    EXPECT_EQ("viewer", Label(0));
}

TEST_F(Sections, PathKeyNamingAFolderIsTheSearchPathItself)
{
    Load("[system]\n@path=C:\\Tools\n@path=\n");
    EXPECT_EQ("C:\\Tools", Ansi(g_Run.SearchPathText));
    EXPECT_EQ(1, g_Run.SearchPathPresent);
}

TEST_F(Sections, LaterPathValueIsLookedUpAlongTheEarlierOne)
{
    world.AddFile("C:\\Lists\\more.txt", "C:\\Tools;");
    Load("[system]\n@path=C:\\Lists\n@path=more.txt\n[exec]\neditor\n");
    EXPECT_EQ("C:\\Tools;", Ansi(g_Run.SearchPathText));
    EXPECT_EQ(1, g_Run.Exec.Count);
}

}  // namespace

namespace {

TEST_F(Sections, BlankLinesMatchNothing)
{
    Load("[system]\n   \n\n@restore\n[exec]\n   \nC:\\Tools\\viewer.exe | V\n");
    EXPECT_EQ(1, g_Run.RestoreFlag) << "a blank line does not end the section";
    EXPECT_EQ(1, g_Run.Exec.Count) << "a blank line stores no program";
}

TEST_F(Sections, SampleSettingsFileOfTheDocumentationLoads)
{
    std::FILE* file = std::fopen(TAVIX_SOURCE_DIR "/docs/Tavix.ini", "rb");
    ASSERT_NE(nullptr, file);
    std::string text;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        text.append(chunk, got);
    std::fclose(file);

    Load(text);
    ASSERT_EQ(2, g_Run.Exec.Count) << TraceText();
    EXPECT_EQ("C:\\WINDOWS\\notepad.exe", Program(0));
    EXPECT_EQ("Edit", Label(0));
    EXPECT_EQ("\"%M\"", Template(0));
    EXPECT_EQ("C:\\WINDOWS\\explorer.exe", Program(1));
    EXPECT_EQ("Browse", Label(1));
    EXPECT_EQ("/select,\"%M\"", Template(1));
    EXPECT_EQ(1, g_Run.TitleList.Count);
    EXPECT_EQ(1, g_Run.FilerList.Count);
    EXPECT_EQ(0, g_Run.SearchPathPresent);
}

}  // namespace
