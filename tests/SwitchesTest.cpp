// The command-line switches, read as substrings anywhere in any case.
#include "Scenario.h"

#include "config/Switches.h"

namespace {

struct SwitchCase {
    std::string commandLine;
    std::string label;
    int useFirstEntry;
    int filerSwitch;
    std::string filerName;
    int titleSwitch;
    std::string titleName;
};

class Switches : public Scenario {
protected:
    Switches()
    {
        Put(g_Run.OwnDirectory, "C:\\Tavix\\");
        Put(g_Run.DefaultSettingsName, "Tavix.ini");
    }

    void Parse(const sim::Text& commandLine)
    {
        std::memset(&g_Run.RequestedLabel, 0, sizeof g_Run.RequestedLabel);
        g_Run.UseFirstEntry = g_Run.FilerSwitch = g_Run.TitleSwitch = 0;
        g_Run.FilerSwitchName[0] = g_Run.TitleSwitchName[0] = 0;
        std::u16string wide = commandLine.Wide();
        ParseSwitches(wide.c_str());
    }
};

TEST_F(Switches, ModeAndLabelTable)
{
    const SwitchCase cases[] = {
        {"", "", 0, 0, "", 1, ""},
        {"/#F", "", 0, 1, "", 0, ""},
        {"/#E=View", "View", 0, 0, "", 1, ""},
        {"/#f /#t", "", 0, 1, "", 0, ""},
        {"/#t=explorer /#f", "", 0, 1, "", 0, ""},
        {"/#e=View /#e", "View", 0, 0, "", 1, ""},
        {"/#e /#e=View", "View", 0, 0, "", 1, ""},
        {"/#e= /#f", "", 0, 1, "", 0, ""},
        {"/#e=", "", 0, 0, "", 1, ""},
        {"/#e", "", 1, 0, "", 1, ""},
        {"/#f=", "", 0, 1, "", 0, ""},
        {"/#f= explorer", "", 0, 1, "", 0, ""},
        {"/#F=Explorer /#e=A", "A", 0, 2, "Explorer", 0, ""},
        {"/#f=\tfiler\"2\"", "", 0, 2, "\tfiler\"2\"", 0, ""},
        {"/#T=Filer2", "", 0, 0, "", 2, "Filer2"},
        {"/#t=", "", 0, 0, "", 1, ""},
        {"/#t", "", 0, 0, "", 1, ""},
        {"/#s=x/#fy.ini", "", 0, 1, "", 0, ""},
        {"/#e=a/#fb", "a/#fb", 0, 1, "", 0, ""},
        {"/#t=x /#f=y", "", 0, 2, "y", 0, ""},
    };
    for (const SwitchCase& c : cases) {
        Parse(c.commandLine);
        EXPECT_EQ(c.label, Ansi(g_Run.RequestedLabel)) << c.commandLine;
        EXPECT_EQ(c.useFirstEntry, g_Run.UseFirstEntry) << c.commandLine;
        EXPECT_EQ(c.filerSwitch, g_Run.FilerSwitch) << c.commandLine;
        EXPECT_EQ(c.filerName, Ansi(g_Run.FilerSwitchName)) << c.commandLine;
        EXPECT_EQ(c.titleSwitch, g_Run.TitleSwitch) << c.commandLine;
        EXPECT_EQ(c.titleName, Ansi(g_Run.TitleSwitchName)) << c.commandLine;
        EXPECT_TRUE((g_Run.FilerSwitch == 0) != (g_Run.TitleSwitch == 0)) << c.commandLine;
    }
}

TEST_F(Switches, OverlongValuesAreCutTo259Characters)
{
    std::string name(400, 'n');
    Parse("/#e=" + name + " /#f=" + name);
    EXPECT_EQ(name.substr(0, 259), Ansi(g_Run.RequestedLabel));
    EXPECT_EQ(name.substr(0, 259), Ansi(g_Run.FilerSwitchName));
}

struct SettingsCase {
    std::string commandLine;
    std::string settingsPath;
};

TEST_F(Switches, SettingsFileChoice)
{
    world.AddFile("C:\\Tavix\\other.ini", "");
    world.AddFile("C:\\Tavix\\sub\\deep.ini", "");
    const SettingsCase cases[] = {
        {"", "C:\\Tavix\\Tavix.ini"},
        {"/#s=other.ini", "C:\\Tavix\\other.ini"},
        {"/#S=OTHER.INI /#f", "C:\\Tavix\\OTHER.INI"},
        {"/#s=sub\\deep.ini", "C:\\Tavix\\sub\\deep.ini"},
        {"/#s=missing.ini", "C:\\Tavix\\Tavix.ini"},
        {"/#s=\"other.ini\"", "C:\\Tavix\\Tavix.ini"},      // the quotes stay part of the name
        {"/#s=other.ini\t", "C:\\Tavix\\Tavix.ini"},        // so does a TAB
        {"/#s=", "C:\\Tavix\\"},                          // the directory exists
        {"/#s= other.ini", "C:\\Tavix\\"},
    };
    for (const SettingsCase& c : cases) {
        Parse(c.commandLine);
        EXPECT_EQ(c.settingsPath, Ansi(g_Run.SettingsPath)) << c.commandLine;
    }
}

TEST_F(Switches, SettingsValueOf259CharactersIsAbandoned)
{
    Parse("/#s=" + std::string(259, 'a'));
    EXPECT_EQ("C:\\Tavix\\Tavix.ini", Ansi(g_Run.SettingsPath));
    Parse("/#s=" + std::string(5000, 'a') + " /#f");
    EXPECT_EQ("C:\\Tavix\\Tavix.ini", Ansi(g_Run.SettingsPath));
    EXPECT_EQ(1, g_Run.FilerSwitch);
}

TEST_F(Switches, SettingsValueThatDoesNotFitBesideTheProgramIsNotOpenedCut)
{
    // 9 + 255 characters exceed a path buffer; a cut name could be some other file.
    std::string value = std::string(246, 'a') + "other.ini";
    world.AddFile("C:\\Tavix\\" + std::string(246, 'a') + "other", "");
    Parse("/#s=" + value);
    EXPECT_EQ("C:\\Tavix\\Tavix.ini", Ansi(g_Run.SettingsPath));
    EXPECT_TRUE(Traced("does not fit")) << TraceText();
}

TEST_F(Switches, ChoiceIsTraced)
{
    Parse("/#f=explorer /#e=View");
    EXPECT_TRUE(Traced("switches: settings file \"C:\\Tavix\\Tavix.ini\"")) << TraceText();
    EXPECT_TRUE(Traced("switches: run the program labelled \"View\"")) << TraceText();
    EXPECT_TRUE(Traced("switches: filer mode, windows of \"explorer\"")) << TraceText();
}

}  // namespace
