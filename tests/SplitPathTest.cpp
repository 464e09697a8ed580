// Splitting paths into drive, directory, base name and extension.
#include "Scenario.h"

#include "common/SplitPath.h"

namespace {

struct SplitCase {
    std::string path, drive, directory, baseName, extension;
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
        // ソ (83 5C) and 表 (95 5C) end in the byte of a backslash
        {"C:\\\x83\x5C\\\x95\x5C.txt", "C:", "\\\x83\x5C\\", "\x95\x5C", ".txt"},
        {"C:\\\x83\x5C\x83\x74\x83\x67\\Tavix.exe", "C:", "\\\x83\x5C\x83\x74\x83\x67\\", "Tavix", ".exe"},
    };
    for (const SplitCase& c : cases) {
        SplitPath(c.path.c_str());
        EXPECT_EQ(c.drive, g_Run.Parts.Drive) << c.path;
        EXPECT_EQ(c.directory, g_Run.Parts.Directory) << c.path;
        EXPECT_EQ(c.baseName, g_Run.Parts.BaseName) << c.path;
        EXPECT_EQ(c.extension, g_Run.Parts.Extension) << c.path;
    }
}

TEST_F(SplitPathTable, LooksAtTheFirst260CharactersOnly)
{
    std::string path = "C:\\" + std::string(252, 'd') + "\\file.txt";   // 264 characters
    SplitPath(path.c_str());
    EXPECT_EQ("\\" + std::string(252, 'd') + "\\", g_Run.Parts.Directory);
    EXPECT_EQ("file", std::string(g_Run.Parts.BaseName));
    EXPECT_EQ("", std::string(g_Run.Parts.Extension));

    // The 260th character still counts: here it is the one letter of the extension.
    path = "C:\\" + std::string(253, 'd') + "\\a.bc";
    SplitPath(path.c_str());
    EXPECT_EQ("a", std::string(g_Run.Parts.BaseName));
    EXPECT_EQ(".b", std::string(g_Run.Parts.Extension));
}

TEST_F(SplitPathTable, PartsAreCutTo255Characters)
{
    std::string path = std::string(300, 'n');
    SplitPath(path.c_str());
    EXPECT_EQ(255u, std::strlen(g_Run.Parts.BaseName));
}

TEST_F(SplitPathTable, NullPathGivesEmptyParts)
{
    SplitPath("C:\\x\\y.z");
    SplitPath(NULL);
    EXPECT_STREQ("", g_Run.Parts.Drive);
    EXPECT_STREQ("", g_Run.Parts.Directory);
    EXPECT_STREQ("", g_Run.Parts.BaseName);
}

}  // namespace
