// Command lines, settings files and other programs' windows of any content end normally, with
// exit code 0.
#include "Desktop.h"
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
    EXPECT_LE(Wide(g_Run.SearchPathText).size(), 5199u);
}

// Titles, address boxes and item texts come from other programs and may be anything.
TEST_F(BadInput, WindowsOfAnyContent)
{
    world.AddDirectory("C:\\work");
    const std::string texts[] = {
        RandomBytes(519, 11),
        std::string(519, '\x81'),
        std::string(518, '\x81') + "\\",
        std::string(519, ' '),
        "C:\\work " + std::string(511, '\x9F'),
        std::string(519, '\\'),
    };
    for (const std::string& raw : texts) {
        std::string text = raw;
        std::replace(text.begin(), text.end(), '\0', 'z');
        for (const char* line : {"", "/#f"}) {
            StartOver();
            Filer f = AddFiler(world, text, {text, "x", text}, {0, 1, 2});
            world.AddWindow("ComboBox", text, true, f.window, f.process);
            HWND box = world.AddWindow("ComboBoxEx32", "C:\\work", true, f.window, f.process);
            world.SetUnterminatedText(box, true);
            f.control->unterminatedTexts = text.size() % 2 == 0;
            world.SetForeground(f.window);
            RunCleanly(line);
            for (const std::string& path : Output())
                EXPECT_LT(path.size(), 260u);
        }
    }
}

TEST_F(BadInput, FileManagerThatStopsAnsweringEndsTheRunWithoutOutput)
{
    world.AddFile("C:\\work\\a.txt", "");
    Filer f = AddFiler(world, "Filer", {"a.txt"}, {0});
    world.AddWindow("ComboBox", "C:\\work", true, f.window, f.process);
    world.SetForeground(f.window);
    world.SetHung(f.process, true);
    DWORD before = GetTickCount();
    RunCleanly("/#f");
    EXPECT_TRUE(Output().empty());
    EXPECT_LT(GetTickCount() - before, 10000u);
    EXPECT_FALSE(world.blockedOnHungWindow);

    StartOver();
    std::memset(&g_Run, 0, sizeof g_Run);
    world.SetWindowTitle(f.window, "C:\\work");
    before = GetTickCount();
    RunCleanly("/#f");
    EXPECT_TRUE(Output().empty()) << "a list view that does not answer gives no output";
    EXPECT_LT(GetTickCount() - before, 10000u);
    EXPECT_EQ(0, world.lateWritesIntoReleasedMemory);
}

TEST_F(BadInput, ListViewClaimingTwoBillionItems)
{
    world.AddFile("C:\\work\\a.txt", "");
    Filer f = AddFiler(world, "C:\\work", {"a.txt"}, {0});
    f.control->itemCount = 2147483647;
    world.SetForeground(f.window);
    RunCleanly("/#f");
    EXPECT_EQ(std::vector<std::string>{"C:\\work\\a.txt"}, Output());
}

}  // namespace
