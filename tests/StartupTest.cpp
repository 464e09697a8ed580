// Start-up, the hidden window, the version box and the order of the run.
#include "Scenario.h"

#include "app/RunSequence.h"

namespace {

class Startup : public Scenario {};

TEST_F(Startup, VersionSwitchShowsTheVersionBoxOwnedByTheHiddenWindow)
{
    HWND folder = world.AddWindow("CabinetWClass", "C:\\Data", true);
    world.SetForeground(folder);

    RunCleanly("/#v");

    ASSERT_EQ(1u, world.messageBoxes.size());
    const sim::MessageBoxRecord& box = world.messageBoxes[0];
    EXPECT_EQ(70u, kVersionText.size());
    EXPECT_EQ(kVersionText, box.text);
    EXPECT_EQ("Tavix", box.caption);
    EXPECT_EQ((UINT)MB_OK, box.type) << "OK only, no icon";
    EXPECT_EQ("Tavix", box.ownerClass);
    EXPECT_EQ(folder, g_Run.TargetWindow) << "the foreground window is recorded before the box";
    EXPECT_TRUE(world.FilesIn("C:\\Tavix").size() == 1) << "no settings file is created";
    EXPECT_FALSE(Traced("settings:")) << TraceText();
    EXPECT_EQ(0, g_Run.OwnDirectory[0]) << "the own directory is not computed";
}

// Each command line gets a world of its own, so this is a plain test rather than a fixture.
TEST(StartupSwitch, VersionSwitchIsFoundInAnyCaseAnywhere)
{
    const char* lines[] = {"/#V", "x/#vy", "/#s=a/#Vb.ini", "/#f /#t /#v", "/#e=/#v"};
    for (const char* line : lines) {
        sim::World world;
        std::memset(&g_Run, 0, sizeof g_Run);
        std::string copy = line;
        world.SetCommandLine(std::string("C:\\Tavix\\Tavix.exe ") + line);
        EXPECT_EQ(0, WinMain(SIM_PROGRAM_INSTANCE, NULL, &copy[0], SW_SHOWDEFAULT));
        ASSERT_EQ(1u, world.messageBoxes.size()) << line;
        EXPECT_EQ(kVersionText, world.messageBoxes[0].text) << line;
        EXPECT_FALSE(world.FileExists("C:\\Tavix\\Tavix.ini")) << line;
        EXPECT_EQ(0, world.LiveWindowsOfCurrentProcess()) << line;
    }
}

TEST_F(Startup, HiddenWindowIsAToolWindowNamedAfterTheProgramAndNeverShown)
{
    world.SetModulePath("C:\\Apps\\foo.exe");
    RunCleanly("");

    const std::vector<sim::WindowRecord>& windows = world.CreatedWindows();
    ASSERT_EQ(1u, windows.size());
    EXPECT_EQ("foo", windows[0].className);
    EXPECT_EQ("foo", windows[0].title);
    EXPECT_EQ((DWORD)0x89, windows[0].exStyle);
    EXPECT_EQ((DWORD)WS_POPUP, windows[0].style);
    EXPECT_FALSE(windows[0].everVisible);
    EXPECT_TRUE(windows[0].destroyed);
    EXPECT_TRUE(world.FileExists("C:\\Apps\\foo.ini")) << "foo.exe looks for foo.ini";
    EXPECT_EQ("", world.FileBytes("C:\\Apps\\foo.ini"));
}

TEST_F(Startup, VersionBoxCaptionStaysTavixForARenamedProgram)
{
    world.SetModulePath("C:\\Apps\\foo.exe");
    RunCleanly("/#v");
    ASSERT_EQ(1u, world.messageBoxes.size());
    EXPECT_EQ("Tavix", world.messageBoxes[0].caption);
    EXPECT_EQ("foo", world.messageBoxes[0].ownerClass);
}

TEST_F(Startup, ARunWithoutSwitchesReadsSettingsAndReachesTheTargetDriver)
{
    RunCleanly("");
    EXPECT_TRUE(world.messageBoxes.empty());
    EXPECT_TRUE(Traced("settings: read \"C:\\Tavix\\Tavix.ini\"")) << TraceText();
    EXPECT_TRUE(Traced("target:")) << TraceText();
    EXPECT_EQ("C:\\Tavix\\", Ansi(g_Run.OwnDirectory));
    EXPECT_EQ(1, g_Run.TitleSwitch);
}

TEST_F(Startup, FailedClassRegistrationEndsAtOnceWithoutReadingSettings)
{
    WNDCLASSA taken = {};
    taken.lpfnWndProc = DefWindowProcA;
    taken.lpszClassName = "Tavix";
    ASSERT_NE(0, RegisterClassA(&taken));

    EXPECT_EQ(0, Run(""));
    EXPECT_TRUE(world.CreatedWindows().empty());
    EXPECT_FALSE(world.FileExists("C:\\Tavix\\Tavix.ini"));
    EXPECT_TRUE(world.messageBoxes.empty());
}

// Without its own path the program cannot find its settings; it does not make up a settings
// file in the current folder either.
TEST_F(Startup, ProgramThatCannotTellItsOwnPathEndsAtOnce)
{
    world.AddDirectory("C:\\Work");
    world.SetCurrentDirectory("C:\\Work");
    world.CountFallibleCalls();
    world.FailFallibleCall(1);
    RunCleanly("");
    ASSERT_FALSE(world.FallibleCallRecord().empty());
    EXPECT_EQ("GetModuleFileNameW failed", world.FallibleCallRecord()[0]);
    EXPECT_TRUE(world.CreatedWindows().empty());
    EXPECT_TRUE(world.FilesIn("C:\\Work").empty());
    EXPECT_FALSE(world.FileExists("C:\\Tavix\\Tavix.ini"));
}

TEST_F(Startup, ProgramInAFolderWithBlanksFindsItsSettingsBesideIt)
{
    world.SetModulePath("C:\\Program Files\\Tavix\\Tavix.exe");
    RunCleanly("");
    EXPECT_EQ("C:\\Program Files\\Tavix\\", Ansi(g_Run.OwnDirectory));
    EXPECT_TRUE(world.FileExists("C:\\Program Files\\Tavix\\Tavix.ini"));
}

TEST_F(Startup, OwnDirectoryWithATrailByteOfBackslashStaysWhole)
{
    // ソ is 0x83 0x5C in Shift_JIS: its second byte is not a separator.
    const std::string dir = "C:\\\x83\x5C\x83\x74\x83\x67\\";
    world.SetModulePath(dir + "Tavix.exe");
    RunCleanly("");
    EXPECT_EQ(dir, Ansi(g_Run.OwnDirectory));
    EXPECT_TRUE(world.FileExists(dir + "Tavix.ini"));
}

struct VersionCase {
    DWORD major, minor, platform;
    int isNt;
};

TEST_F(Startup, OsFamilyIsNtExceptOnWindows98AndMe)
{
    const VersionCase cases[] = {
        {4, 10, VER_PLATFORM_WIN32_WINDOWS, 0},  // 98
        {4, 90, VER_PLATFORM_WIN32_WINDOWS, 0},  // ME
        {4, 0, VER_PLATFORM_WIN32_WINDOWS, 1},   // 95 counts as NT: only 98 and ME are told apart
        {4, 0, VER_PLATFORM_WIN32_NT, 1},        // NT 4.0
        {5, 0, VER_PLATFORM_WIN32_NT, 1},        // 2000
        {5, 1, VER_PLATFORM_WIN32_NT, 1},        // XP
        {6, 1, VER_PLATFORM_WIN32_NT, 1},
        {4, 10, VER_PLATFORM_WIN32_NT, 0},       // the platform is not consulted
    };
    for (const VersionCase& c : cases) {
        world.SetOsVersion(c.major, c.minor, 1000, c.platform);
        g_Run.IsNtFamily = -1;
        DetectOsFamily();
        EXPECT_EQ(c.isNt, g_Run.IsNtFamily) << c.major << "." << c.minor;
    }
}

TEST_F(Startup, FirstEntryLabelIsTakenOnlyAfterSettingsAreRead)
{
    world.AddFile("C:\\Tools\\viewer.exe", "MZ");
    WriteSettings("[exec]\r\nC:\\Tools\\viewer.exe | View\r\nC:\\Tools\\viewer.exe | Other\r\n");
    RunCleanly("/#e");
    EXPECT_EQ("View", Ansi(g_Run.RequestedLabel));
}

TEST_F(Startup, BareExecSwitchWithoutEntriesLeavesTheLabelEmpty)
{
    WriteSettings("[system]\r\n@restore\r\n");
    RunCleanly("/#e");
    EXPECT_EQ("", Ansi(g_Run.RequestedLabel));
    EXPECT_EQ(1, g_Run.UseFirstEntry);
}

}  // namespace
