// Finding, creating and reading the settings file, and the error box when it cannot be read.
#include "Scenario.h"

namespace {

class SettingsFile : public Scenario {
protected:
    void ExpectErrorBox()
    {
        ASSERT_EQ(1u, world.messageBoxes.size()) << TraceText();
        const sim::MessageBoxRecord& box = world.messageBoxes[0];
        EXPECT_EQ(kErrorCaption, box.caption);
        EXPECT_EQ(kErrorText, box.text);
        EXPECT_EQ((UINT)MB_ICONERROR, box.type);
        EXPECT_EQ("Tavix", box.ownerClass);
        EXPECT_TRUE(box.ownerMadeForeground) << "the box's owner is brought to the front first";
        EXPECT_FALSE(Traced("target:")) << "the run ends before any window is examined";
    }
};

TEST_F(SettingsFile, NoSettingsFileAnywhereCreatesAnEmptyOneAndGoesOn)
{
    RunCleanly("");
    EXPECT_TRUE(world.messageBoxes.empty());
    EXPECT_TRUE(world.FileExists("C:\\Tavix\\Tavix.ini"));
    EXPECT_EQ("", world.FileBytes("C:\\Tavix\\Tavix.ini"));
    EXPECT_EQ(0, g_Run.Exec.Count);
    EXPECT_EQ(0, g_Run.SearchPathPresent);
    EXPECT_TRUE(Traced("target:"));
}

TEST_F(SettingsFile, RenamedProgramFallsBackToTavixIniBeforeCreatingItsOwn)
{
    world.SetModulePath("C:\\Apps\\foo.exe");
    world.AddFile("C:\\Apps\\Tavix.ini", "[system]\n@restore\n");
    RunCleanly("");
    EXPECT_EQ("C:\\Apps\\Tavix.ini", Ansi(g_Run.SettingsPath));
    EXPECT_EQ(1, g_Run.RestoreFlag);
    EXPECT_FALSE(world.FileExists("C:\\Apps\\foo.ini"));
}

TEST_F(SettingsFile, RenamedProgramPrefersItsOwnName)
{
    world.SetModulePath("C:\\Apps\\foo.exe");
    world.AddFile("C:\\Apps\\Tavix.ini", "[system]\n@restore\n");
    world.AddFile("C:\\Apps\\foo.ini", "");
    RunCleanly("");
    EXPECT_EQ("C:\\Apps\\foo.ini", Ansi(g_Run.SettingsPath));
    EXPECT_EQ(0, g_Run.RestoreFlag);
}

TEST_F(SettingsFile, SwitchChoosesAnotherFile)
{
    WriteSettings("[system]\n@title=a\n");
    WriteSettings("[system]\n@title=b,c\n", "other.ini");
    RunCleanly("/#s=other.ini");
    EXPECT_EQ("C:\\Tavix\\other.ini", Ansi(g_Run.SettingsPath));
    EXPECT_EQ(2, g_Run.TitleList.Count);
    EXPECT_TRUE(Traced("settings: read \"C:\\Tavix\\other.ini\"")) << TraceText();
}

TEST_F(SettingsFile, EmptySwitchValueNamesTheFolderAndGivesTheErrorBox)
{
    RunCleanly("/#s=");
    ExpectErrorBox();
}

TEST_F(SettingsFile, FileLockedByAnotherProgramGivesTheErrorBox)
{
    WriteSettings("[system]\n");
    world.HoldFileOpenElsewhere("C:\\Tavix\\Tavix.ini", 0);
    RunCleanly("");
    ExpectErrorBox();
}

TEST_F(SettingsFile, FileSharedForReadingByAnotherProgramIsRead)
{
    WriteSettings("[system]\n@restore\n");
    world.HoldFileOpenElsewhere("C:\\Tavix\\Tavix.ini", FILE_SHARE_READ, GENERIC_READ);
    RunCleanly("");
    EXPECT_TRUE(world.messageBoxes.empty());
    EXPECT_EQ(1, g_Run.RestoreFlag);
}

TEST_F(SettingsFile, FolderWhereTheFileCannotBeCreatedGivesTheErrorBox)
{
    world.FailOpen("C:\\Tavix\\Tavix.ini", ERROR_ACCESS_DENIED);
    RunCleanly("");
    ExpectErrorBox();
}

TEST_F(SettingsFile, SizeThatCannotBeTakenGivesTheErrorBox)
{
    WriteSettings("[system]\n@restore\n");
    world.FailGetFileSize("C:\\Tavix\\Tavix.ini");
    RunCleanly("");
    ExpectErrorBox();
    EXPECT_EQ(0, g_Run.RestoreFlag);
}

TEST_F(SettingsFile, FailedReadGivesTheErrorBox)
{
    WriteSettings("[system]\n@restore\n");
    world.FailRead("C:\\Tavix\\Tavix.ini");
    RunCleanly("");
    ExpectErrorBox();
}

TEST_F(SettingsFile, ShortReadGivesTheErrorBoxNotAHalfConfiguration)
{
    WriteSettings("[system]\n@title=a\n@filer=b\n@restore\n");
    world.ShortRead("C:\\Tavix\\Tavix.ini", 10);
    RunCleanly("");
    ExpectErrorBox();
    EXPECT_EQ(0, g_Run.TitleList.Count);
}

TEST_F(SettingsFile, NoMemoryForTheTextGivesTheErrorBox)
{
    WriteSettings("[system]\n@restore\n");
    world.FailAllGlobalAlloc(true);
    RunCleanly("");
    ExpectErrorBox();
}

TEST_F(SettingsFile, ErrorBoxIsShownOnceAndTheRunEndsWithCodeZero)
{
    WriteSettings("");
    world.HoldFileOpenElsewhere("C:\\Tavix\\Tavix.ini", 0);
    EXPECT_EQ(0, Run("/#e=View /#f"));
    EXPECT_EQ(1u, world.messageBoxes.size());
}

}  // namespace
