// Splitting paths into drive, directory, base name and extension.
#include "Scenario.h"

#include "common/SplitPath.h"

namespace {

struct SplitCase {
    sim::Text path, drive, directory, baseName, extension;
};

class SplitPathTable : public Scenario {};

TEST_F(SplitPathTable, SplitsTheFourParts)
{
    const SplitCase cases[] = {
        {"C:\\Data\\memo.txt", "C:", "\\Data\\", "memo", ".txt"},
        {"C:\\Program Files\\Tool\\FILER2.EXE", "C:", "\\Program Files\\Tool\\", "FILER2", ".EXE"},
        {"a.b.exe", "", "", "a.b", ".exe"},
        {"C:\\Data\\", "C:", "\\Data\\", "", ""},
        {"C:\\dir.x\\file", "C:", "\\dir.x\\", "file", ""},
        {"C:/x/y.z", "C:", "/x/", "y", ".z"},
        {"\\\\server\\share\\f.ini", "", "\\\\server\\share\\", "f", ".ini"},
        {"C:", "C:", "", "", ""},
        {"notepad", "", "", "notepad", ""},
        {".ini", "", "", "", ".ini"},
        {"", "", "", "", ""},
        // ソ (83 5C) and 表 (95 5C) end in the byte of a backslash in Shift_JIS
        {"C:\\\x83\x5C\\\x95\x5C.txt", "C:", "\\\x83\x5C\\", "\x95\x5C", ".txt"},
        {"C:\\\x83\x5C\x83\x74\x83\x67\\Tavix.exe", "C:", "\\\x83\x5C\x83\x74\x83\x67\\", "Tavix", ".exe"},
        {u"D:\\한글\\😀.tar.gz", u"D:", u"\\한글\\", u"😀.tar", u".gz"},
    };
    for (const SplitCase& c : cases) {
        std::u16string path = c.path.Wide();
        SplitPath(path.c_str());
        EXPECT_EQ(c.drive.Wide(), Wide(g_Run.Parts.Drive)) << sim::Utf8(path);
        EXPECT_EQ(c.directory.Wide(), Wide(g_Run.Parts.Directory)) << sim::Utf8(path);
        EXPECT_EQ(c.baseName.Wide(), Wide(g_Run.Parts.BaseName)) << sim::Utf8(path);
        EXPECT_EQ(c.extension.Wide(), Wide(g_Run.Parts.Extension)) << sim::Utf8(path);
    }
}

TEST_F(SplitPathTable, LooksAtTheFirst260CharactersOnly)
{
    std::u16string path = u"C:\\" + std::u16string(252, 'd') + u"\\file.txt";   // 264 characters
    SplitPath(path.c_str());
    EXPECT_EQ(u"\\" + std::u16string(252, 'd') + u"\\", Wide(g_Run.Parts.Directory));
    EXPECT_EQ(u"file", Wide(g_Run.Parts.BaseName));
    EXPECT_EQ(u"", Wide(g_Run.Parts.Extension));

    // The 260th character still counts: here it is the one letter of the extension.
    path = u"C:\\" + std::u16string(253, 'd') + u"\\a.bc";
    SplitPath(path.c_str());
    EXPECT_EQ(u"a", Wide(g_Run.Parts.BaseName));
    EXPECT_EQ(u".b", Wide(g_Run.Parts.Extension));
}

TEST_F(SplitPathTable, PartsAreCutTo255Characters)
{
    std::u16string path = std::u16string(300, 'n');
    SplitPath(path.c_str());
    EXPECT_EQ(255u, Wide(g_Run.Parts.BaseName).size());
}

TEST_F(SplitPathTable, NullPathGivesEmptyParts)
{
    SplitPath(u"C:\\x\\y.z");
    SplitPath(NULL);
    EXPECT_EQ(u"", Wide(g_Run.Parts.Drive));
    EXPECT_EQ(u"", Wide(g_Run.Parts.Directory));
    EXPECT_EQ(u"", Wide(g_Run.Parts.BaseName));
}

}  // namespace
