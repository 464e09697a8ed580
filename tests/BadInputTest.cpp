// Command lines and settings files of any content end normally, with exit code 0.
#include "Scenario.h"

#include <algorithm>
#include <random>

namespace {

class BadInput : public Scenario {
protected:
    std::string RandomBytes(size_t size, unsigned seed)
    {
        std::mt19937 random(seed);
        std::string bytes(size, '\0');
        for (char& c : bytes)
            c = (char)(random() & 0xFF);
        return bytes;
    }
};

TEST_F(BadInput, CommandLinesOfAnyContent)
{
    const std::string lines[] = {
        std::string(32 * 1024, 'x'),
        "/#s=" + std::string(32 * 1024, 's'),
        "/#e=" + std::string(32 * 1024, 'e') + " /#f=" + std::string(1000, 'f'),
        "/#t=" + std::string(300, '\x95') + " /#e=\x95",      // lead bytes without trail bytes
        "\"/#s=\"\t\"/#e=\"\"\"/#f=\"",
        "/#s=..\\..\\..\\..\\..\\..\\..\\..\\x.ini /#e=%s%s%s%n%n",
        RandomBytes(32 * 1024, 7),
    };
    for (const std::string& line : lines) {
        StartOver();
        std::string copy = line;
        copy.erase(std::find(copy.begin(), copy.end(), '\0'), copy.end());
        RunCleanly(copy);
    }
}

TEST_F(BadInput, SettingsFilesOfAnyContent)
{
    std::string manyEntries = "[exec]\n";
    for (int i = 0; i < 5000; i++)
        manyEntries += "C:\\WINDOWS\\notepad.exe | n" + std::to_string(i) + "\n>t\n";
    const std::string files[] = {
        RandomBytes(64 * 1024, 1),
        "[system]\n[exec]\n" + RandomBytes(64 * 1024, 2),
        std::string("[system]\0@restore\n[exec]\0notepad", 31),
        "[exec]\n" + std::string(100 * 1024, 'x'),                 // no line end at all
        "[system]\n@title=" + std::string(100 * 1024, ',') + "\n",
        "[system]\n@path=" + std::string(5000, 'p') + "\n[exec]\n" + std::string(5000, '>') + "\n",
        "[exec]\n" + std::string(2000, 'n') + " | " + std::string(2000, 'l') + "\n",
        manyEntries,
        std::string(10 * 1024 * 1024, '\n'),
    };
    world.AddFile("C:\\WINDOWS\\notepad.exe", "MZ");
    for (const std::string& text : files) {
        StartOver();
        WriteSettings(text);
        RunCleanly("");
        EXPECT_TRUE(world.messageBoxes.empty());
        EXPECT_LE(g_Run.Exec.Count, 20);
    }
}

TEST_F(BadInput, HugeSearchPathFile)
{
    world.AddFile("C:\\Tavix\\paths.txt", RandomBytes(3 * 1024 * 1024, 3));
    WriteSettings("[system]\n@path=C:\\Tavix\\paths.txt\n[exec]\nnotepad\n");
    RunCleanly("");
    EXPECT_LE(std::strlen(g_Run.SearchPathText), 5199u);
}

}  // namespace
