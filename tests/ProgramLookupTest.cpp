// Program lookup along the search path and the system's order, and search-path files.
#include "Scenario.h"

#include "config/ProgramLookup.h"

namespace {

class Lookup : public Scenario {
protected:
    Lookup()
    {
        world.SetSystemSearchPath({"C:\\Tavix", "C:\\WINDOWS\\system32", "C:\\WINDOWS"});
        world.AddFile("C:\\WINDOWS\\notepad.exe", "MZ");
        world.AddFile("C:\\Tools\\viewer.exe", "MZ");
        world.AddFile("C:\\Tools\\tool.exe.exe", "MZ");
        world.AddFile("C:\\Work\\local.exe", "MZ");
        world.SetCurrentDirectory("C:\\Work");
    }

    std::string Find(const sim::Text& name, int allowExe)
    {
        WCHAR result[LineBufferSize];
        LookUpProgram(name.Wide().c_str(), allowExe, result);
        return Ansi(result);
    }

    void UseSearchPath(const char* path)
    {
        Put(g_Run.SearchPathText, path);
        g_Run.SearchPathPresent = 1;
    }
};

struct LookupCase {
    const char* name;
    int allowExe;
    std::string result;
    int found;
};

TEST_F(Lookup, OrderOfTheAttempts)
{
    UseSearchPath("C:\\Tools");
    const LookupCase cases[] = {
        {"local.exe", 1, "C:\\Work\\local.exe", 1},          // as written, from the current folder
        {"local", 1, "C:\\Work\\local.exe", 1},              // with .exe added
        {"local", 0, "local", 0},                            // never with .exe for @path=
        {"viewer", 1, "C:\\Tools\\viewer.exe", 1},           // along the search path
        {"notepad", 1, "C:\\WINDOWS\\notepad.exe", 1},       // the system's order, with .exe
        {"notepad.exe", 0, "C:\\WINDOWS\\notepad.exe", 1},
        {"tool.exe", 1, "C:\\Tools\\tool.exe.exe", 1},       // .exe is added to an extension too
        {"\"notepad\"", 1, "\"notepad\"", 0},                // quotes stay and find nothing
        {"..\\Tools\\viewer.exe", 1, "C:\\Tools\\viewer.exe", 1},
        {"C:\\Tools", 1, "C:\\Tools", 1},                    // a folder exists too
        {"nothing", 1, "nothing", 0},
        {"", 1, "", 0},
    };
    for (const LookupCase& c : cases) {
        g_Run.ProgramFound = -1;
        EXPECT_EQ(c.result, Find(c.name, c.allowExe)) << c.name;
        EXPECT_EQ(c.found, g_Run.ProgramFound) << c.name;
    }
}

TEST_F(Lookup, SearchPathComesBeforeTheSystemOrder)
{
    world.AddFile("C:\\Tools\\notepad.exe", "MZ");
    EXPECT_EQ("C:\\WINDOWS\\notepad.exe", Find("notepad", 1));
    UseSearchPath("C:\\Nowhere;C:\\Tools");
    EXPECT_EQ("C:\\Tools\\notepad.exe", Find("notepad", 1));
    g_Run.SearchPathPresent = 0;
    EXPECT_EQ("C:\\WINDOWS\\notepad.exe", Find("notepad", 1)) << "a search path out of use is not tried";
}

TEST_F(Lookup, OverlongNamesAreNotFoundAndDoNotOverflow)
{
    std::string name(516, 'n');
    EXPECT_EQ(name, Find(name.c_str(), 1));
    EXPECT_EQ(0, g_Run.ProgramFound);
}

struct SearchFileCase {
    std::string bytes;
    std::string searchPath;
    int present;
};

TEST_F(Lookup, SearchPathFileForms)
{
    const SearchFileCase cases[] = {
        {"[paths]\r\npath=C:\\A;D:\\B\r\nother=x\r\n", "C:\\A;D:\\B", 1},
        {"mypath=C:\\A\npath=C:\\B\n", "C:\\A", 1},                    // inside a word, first wins
        {"PATH=C:\\A", "C:\\A", 1},                                     // no line end at all
        {"C:\\A;\r\nD:\\B\r\n", "C:\\A;D:\\B", 1},                      // whole file, lines joined
        {"C:\\A\nD:\\B\n", "C:\\AD:\\B", 1},                            // without their own ";"
        {"path=\t C:\\A ;\t\"D:\\B\"\r\n", " C:\\A ;\"D:\\B\"", 1},     // TABs go, blanks and quotes stay
        {"path=\r\nC:\\A\r\n", "", 0},
        {"", "", 0},
        {"\r\n\t\r\n", "", 0},
    };
    for (const SearchFileCase& c : cases) {
        world.AddFile("C:\\Tavix\\paths.txt", c.bytes);
        UseSearchPath("C:\\Earlier");
        ReadSearchPathFile(u"C:\\Tavix\\paths.txt");
        EXPECT_EQ(c.present, g_Run.SearchPathPresent) << c.bytes;
        if (c.present) {
            EXPECT_EQ(c.searchPath, Ansi(g_Run.SearchPathText)) << c.bytes;
        }
    }
    EXPECT_EQ(0, world.OpenKernelHandles());
    EXPECT_EQ(0, world.OutstandingGlobalBlocks());
}

TEST_F(Lookup, SearchPathFileKeeps5199Characters)
{
    world.AddFile("C:\\Tavix\\long.txt", "path=" + std::string(9000, 'p') + "\r\n");
    ReadSearchPathFile(u"C:\\Tavix\\long.txt");
    EXPECT_EQ(5199u, Wide(g_Run.SearchPathText).size());

    world.AddFile("C:\\Tavix\\lines.txt", std::string(3000, 'a') + "\r\n" + std::string(3000, 'b'));
    ReadSearchPathFile(u"C:\\Tavix\\lines.txt");
    EXPECT_EQ(std::string(3000, 'a') + std::string(2199, 'b'), Ansi(g_Run.SearchPathText));
}

TEST_F(Lookup, UnreadableSearchPathFileLeavesNoSearchPath)
{
    UseSearchPath("C:\\Tools");
    ReadSearchPathFile(u"C:\\Tavix\\missing.txt");
    EXPECT_EQ(0, g_Run.SearchPathPresent);

    world.AddFile("C:\\Tavix\\paths.txt", "path=C:\\A");
    world.FailRead("C:\\Tavix\\paths.txt");
    UseSearchPath("C:\\Tools");
    ReadSearchPathFile(u"C:\\Tavix\\paths.txt");
    EXPECT_EQ(0, g_Run.SearchPathPresent);
    EXPECT_EQ(0, world.OpenKernelHandles());
    EXPECT_EQ(0, world.OutstandingGlobalBlocks());
}

// A file delivered only in part would give a search path cut at some arbitrary byte.
TEST_F(Lookup, ShortReadSearchPathFileLeavesNoSearchPath)
{
    world.AddFile("C:\\Tavix\\paths.txt", "path=C:\\Tools;C:\\More");
    world.ShortRead("C:\\Tavix\\paths.txt", 9);
    UseSearchPath("C:\\Tools");
    ReadSearchPathFile(u"C:\\Tavix\\paths.txt");
    EXPECT_EQ(0, g_Run.SearchPathPresent);
    EXPECT_EQ(0, world.OpenKernelHandles());
    EXPECT_EQ(0, world.OutstandingGlobalBlocks());
}

}  // namespace

namespace {

// The settings file that the end-to-end lookup test runs under Wine; the trace must agree.
TEST(LookupScenario, ProgramsAreFoundAlongTheSearchPathFileAndTheSystemOrder)
{
    sim::World world;
    std::memset(&g_Run, 0, sizeof g_Run);
    world.SetModulePath("C:\\lookup\\Tavix.exe");
    world.AddFile("C:\\WINDOWS\\system32\\notepad.exe", "MZ");
    world.AddFile("C:\\WINDOWS\\notepad.exe", "MZ");
    world.AddFile("C:\\lookup\\tools\\viewer.exe", "MZ");
    world.AddFile("C:\\lookup\\tools\\tool.exe.exe", "MZ");
    world.AddFile("C:\\lookup\\lists\\paths.txt", "; tools\r\npath=C:\\lookup\\tools\r\n");
    world.AddFile("C:\\lookup\\Tavix.ini",
                  "[exec]\r\n"
                  "notepad\r\n"
                  "viewer | View\r\n"
                  ">\"%M\"\r\n"
                  "C:\\lookup\\tools\\..\\tools\\.\\viewer.exe | Canon\r\n"
                  "missing | Gone\r\n"
                  ">lands on Canon\r\n"
                  "tool.exe | Double\r\n"
                  "%end\r\n"
                  "[system]\r\n"
                  "@path=C:\\lookup\\lists\\paths.txt\r\n"
                  "%end\r\n");
    char commandLine[] = "";
    EXPECT_EQ(0, WinMain(SIM_PROGRAM_INSTANCE, NULL, commandLine, SW_SHOWDEFAULT));

    const char* expected[] = {
        "Tavix: settings: search path from \"C:\\lookup\\lists\\paths.txt\": \"C:\\lookup\\tools\"",
        "Tavix: settings: program 1 \"C:\\WINDOWS\\system32\\notepad.exe\" labelled \"notepad\"",
        "Tavix: settings: program 2 \"C:\\lookup\\tools\\viewer.exe\" labelled \"View\"",
        "Tavix: settings: template of program 2: \"\"%M\"\"",
        "Tavix: settings: program 3 \"C:\\lookup\\tools\\viewer.exe\" labelled \"Canon\"",
        "Tavix: settings: program \"missing\" not found; line ignored",
        "Tavix: settings: template of program 3: \"lands on Canon\"",
        "Tavix: settings: program 4 \"C:\\lookup\\tools\\tool.exe.exe\" labelled \"Double\"",
    };
    size_t next = 0;
    for (const std::string& line : world.trace)
        if (next < sizeof expected / sizeof expected[0] && line == expected[next])
            next++;
    std::string all;
    for (const std::string& line : world.trace)
        all += line + "\n";
    EXPECT_EQ(sizeof expected / sizeof expected[0], next) << "missing or out of order from line "
                                                          << next << ":\n" << all;
}

}  // namespace
