// Every fallible call of a typical run made to fail in turn: alone, and together with every
// call after it. Each run must still end normally with nothing left open or allocated, and what
// it puts out must be the whole output of the run without faults, or nothing: never part of the
// clipboard text or of the parameter text, never a path that was not selected.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "Desktop.h"
#include "SimWorld.h"
#include "common/RunState.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showState);

namespace {

const char kEarlierText[] = "earlier";
const char kUserFolder[] = "C:\\Documents and Settings\\user";
const char kViewer[] = "C:\\Tools\\viewer.exe";
const char kViewSettings[] = "[exec]\nC:\\Tools\\viewer.exe | View\n>\"%M\"\n";
const char kClipSettings[] = "[exec]\nC:\\Tools\\viewer.exe | Clip\n>%C\n";
const char kTwoPaths[] = "C:\\Data\\memo.txt\r\nC:\\Data\\Old Files";
const char kTwoQuotedPaths[] = "\"C:\\Data\\memo.txt\" \"C:\\Data\\Old Files\\\"";

struct SweepScenario {
    const char* name;
    bool windows98;
    const char* settings;
    const char* commandLine;
    const char* clipboard;    // the text the run puts on the clipboard; null: none
    const char* parameters;   // the parameter text the viewer is started with; null: no start
    bool beep;
    bool shellRoute;          // Explorer of Windows 10: the folder and items come from the shell
    bool idLists;             // ... and its view hands out item ID lists, no shell items
};

const SweepScenario kScenarios[] = {
    {"TitleModeToTheClipboard", false, kViewSettings, "/#t", "C:\\Data", nullptr, true, false,
     false},
    {"FilerModeToTheClipboard", false, kViewSettings, "/#f", kTwoPaths, nullptr, true, false,
     false},
    {"FilerModeToTheProgram", false, kViewSettings, "/#f /#e=View", nullptr, kTwoQuotedPaths,
     false, false, false},
    {"FilerModeWithClipboardPlaceholder", false, kClipSettings, "/#f /#e=Clip", kTwoPaths, "",
     false, false, false},
    {"Windows98ReaderToTheProgram", true, kViewSettings, "/#f /#e=View", nullptr, kTwoQuotedPaths,
     false, false, false},
    {"ShellRouteTitleMode", false, kViewSettings, "/#t", "C:\\Data", nullptr, true, true,
     false},
    {"ShellRouteToTheClipboard", false, kViewSettings, "/#f", kTwoPaths, nullptr, true, true,
     false},
    {"ShellRouteToTheProgram", false, kViewSettings, "/#f /#e=View", nullptr, kTwoQuotedPaths,
     false, true, false},
    {"ShellRouteByIdListsToTheClipboard", false, kViewSettings, "/#f", kTwoPaths, nullptr, true,
     true, true},
};

// A fresh desktop for each run: a folder window of the shell showing C:\Data, with memo.txt and
// Old Files selected, in front; the clipboard holds an earlier text. The program starts in the
// user's folder, as a hot-key tool often starts it: the title "Data" names no folder relative to
// it, so the address box is read, and a settings file is found only beside the program.
class SweepWorld {
public:
    explicit SweepWorld(const SweepScenario& scenario) : scenario_(scenario)
    {
        if (scenario.windows98)
            world.SetWindows98();
        world.AddFile(kViewer, "MZ");
        world.AddFile("C:\\Tavix\\Tavix.ini", scenario.settings);
        world.SetCurrentDirectory(kUserFolder);
        world.SetClipboardText(kEarlierText);
        AddEntries(world, "C:\\Data", {"memo.txt", "Old Files\\", "zeta.txt"});
        shell = world.AddProcess("C:\\WINDOWS\\explorer.exe");
        HWND folder = world.AddWindow("CabinetWClass", "Data", true, nullptr, shell);
        if (scenario.shellRoute) {
            // Explorer of Windows 10: a breadcrumb bar and an item view no program can read.
            world.SetOsVersion(10, 0, 19045, VER_PLATFORM_WIN32_NT);
            world.AddWindow("Breadcrumb Parent", "", true, folder, shell);
            HWND view = world.AddWindow("SHELLDLL_DefView", "", true, folder, shell);
            world.AddWindow("DirectUIHWND", "", true, view, shell);
            sim::World::ShellBrowser browser;
            browser.frame = folder;
            browser.folder = "C:\\Data";
            browser.selection = {"C:\\Data\\memo.txt", "C:\\Data\\Old Files"};
            browser.shellItems = !scenario.idLists;
            world.AddShellBrowser(browser);
        } else {
            world.AddWindow("ComboBoxEx32", "C:\\Data", true, folder, shell);
            HWND view = world.AddWindow("SHELLDLL_DefView", "", true, folder, shell);
            AddListView(world, view, shell, {"memo.txt", "Old Files", "zeta.txt"}, {0, 1});
        }
        world.SetForeground(folder);
    }

    // Runs the program as the hot key starts it; the calls of the set-up above are not counted.
    void Run()
    {
        std::memset(&g_Run, 0, sizeof g_Run);
        commandLine_ = scenario_.commandLine;
        world.SetCommandLine(std::string("C:\\Tavix\\Tavix.exe ") + commandLine_);
        world.CountFallibleCalls();
        exitCode = WinMain(SIM_PROGRAM_INSTANCE, NULL, &commandLine_[0], SW_SHOWDEFAULT);
    }

    bool CallFailed(const std::string& function) const
    {
        for (const std::string& call : world.FallibleCallRecord())
            if (call == function + " failed")
                return true;
        return false;
    }

    // What is wrong with the run; empty when it ended cleanly with the whole output or none.
    std::vector<std::string> Problems() const
    {
        std::vector<std::string> problems;
        auto check = [&problems](bool ok, const std::string& what) {
            if (!ok)
                problems.push_back(what);
        };
        check(exitCode == 0, "exit code " + std::to_string(exitCode));
        check(world.OpenKernelHandles() == 0, "kernel handles left open");
        check(world.OutstandingGlobalBlocks() == 0, "global memory not freed");
        check(world.LiveWindowsOfCurrentProcess() == 0, "a window was left behind");
        check(!world.blockedInMessageLoop, "the message loop would wait for ever");
        check(!world.blockedOnHungWindow, "a message would wait for ever");
        check(!world.ClipboardLeftOpen(), "the clipboard was left open");
        check(world.clipboardBlocksFreedByProgram == 0, "a block the clipboard owns was freed");
        check(world.LoadedLibraries() == 0, "a library was left loaded");
        check(world.unmatchedFreeLibraryCalls == 0, "a library was freed more often than loaded");
        check(world.callsIntoFreedLibraries == 0, "a call into a freed library");
        check(world.wideCallsOnWindows9x.empty(),
              "a W function called on Windows 98/ME: " +
                  (world.wideCallsOnWindows9x.empty() ? "" : world.wideCallsOnWindows9x[0]));
        check(world.lateWritesIntoReleasedMemory == 0,
              "memory released while a lost message may still write into it");
        // After a lost message the block or view stays on purpose: the other program may still
        // write into it.
        bool messageLost = CallFailed("SendMessageTimeoutA") || CallFailed("SendMessageTimeoutW");
        check(world.RemoteBlocks(shell) == 0 || messageLost || CallFailed("VirtualFreeEx"),
              "memory left in the other process");
        check(world.MappedViews() == 0 || messageLost, "a view left mapped");
        check(world.FilesIn(kUserFolder).empty(), "a file was created in the current folder");
        check(world.LiveShellObjects() == 0, "shell objects not released");
        check(world.OutstandingTaskMemory() == 0, "strings from the shell not freed");
        check(world.OpenApartments() == 0, "a COM apartment left open");
        check(world.HungThreads() == 0, "a thread left waiting");
        CheckOutput(&problems);
        return problems;
    }

    std::string Trace() const
    {
        std::string all;
        for (const std::string& line : world.trace)
            all += "  " + line + "\n";
        return all;
    }

    sim::World world;
    DWORD shell = 0;
    int exitCode = -1;

private:
    void CheckOutput(std::vector<std::string>* problems) const
    {
        sim::ClipboardTextRecord clip = world.ClipboardText();
        bool cleared = !clip.present;   // emptied, and then the text was not taken
        bool untouched = clip.present && !clip.setByProgram && clip.Text() == kEarlierText;
        if (clip.setByProgram) {
            if (scenario_.clipboard == nullptr)
                problems->push_back("the clipboard was written: \"" + clip.Text() + "\"");
            else if (clip.Text() != scenario_.clipboard)
                problems->push_back("the clipboard holds \"" + clip.Text() + "\"");
        } else if (!untouched && !(cleared && scenario_.clipboard != nullptr)) {
            problems->push_back("the clipboard was changed without the program's text");
        }

        // On Windows 98/ME a list view read without its shared view counts as one without
        // selected items: the folder stands for the selection.
        bool folderStandsIn = scenario_.windows98 &&
                              (CallFailed("CreateFileMappingA") || CallFailed("MapViewOfFile"));
        if (world.launches.size() > 1)
            problems->push_back(std::to_string(world.launches.size()) + " program starts");
        for (const sim::ShellLaunchRecord& launch : world.launches) {
            if (scenario_.parameters == nullptr) {
                problems->push_back("a program was started: \"" + launch.file + "\"");
                continue;
            }
            if (launch.file != kViewer || launch.directory != "C:\\Tools\\" ||
                launch.show != SW_SHOWNORMAL)
                problems->push_back("the shell was asked to start \"" + launch.file + "\" in \"" +
                                    launch.directory + "\"");
            bool folder = folderStandsIn && launch.parameters == "\"C:\\Data\\\"";
            if (launch.parametersNull || (launch.parameters != scenario_.parameters && !folder))
                problems->push_back("the program was started with \"" + launch.parameters + "\"");
        }

        // The beep confirms a clipboard export: it comes after the clipboard was emptied.
        if (!world.beeps.empty() && (!scenario_.beep || untouched || world.beeps.size() > 1))
            problems->push_back(std::to_string(world.beeps.size()) + " beeps");
        // The settings error box ends the run before any output.
        if (!world.messageBoxes.empty() && (!untouched || !world.launches.empty()))
            problems->push_back("output after the settings error box");
    }

    const SweepScenario& scenario_;
    std::string commandLine_;
};

// The failing calls of a run, the first few of them, for a message.
std::string FailedCalls(const sim::World& world)
{
    std::string text;
    int shown = 0;
    long k = 0;
    for (const std::string& call : world.FallibleCallRecord()) {
        k++;
        if (call.size() < 7 || call.compare(call.size() - 7, 7, " failed") != 0)
            continue;
        if (++shown > 4) {
            text += ", ...";
            break;
        }
        text += (text.empty() ? "" : ", ") + std::to_string(k) + " " + call;
    }
    return text;
}

void PrintTo(const SweepScenario& scenario, std::ostream* out)
{
    *out << scenario.name;
}

class FaultSweep : public ::testing::TestWithParam<SweepScenario> {};

TEST_P(FaultSweep, EveryFallibleCallFailingGivesTheWholeOutputOrNone)
{
    const SweepScenario& scenario = GetParam();
    long calls = 0;
    std::vector<std::string> record;
    {
        SweepWorld run(scenario);
        run.Run();
        calls = run.world.FallibleCalls();
        record = run.world.FallibleCallRecord();
        std::vector<std::string> problems = run.Problems();
        bool whole = (scenario.clipboard == nullptr || run.world.ClipboardText().setByProgram) &&
                     run.world.launches.size() == (scenario.parameters ? 1u : 0u);
        ASSERT_TRUE(problems.empty() && whole)
            << "the run without faults: " << (problems.empty() ? "no output" : problems[0])
            << "\n" << run.Trace();
    }
    ASSERT_GT(calls, 20) << "the run passed too few fault points";

    const int kReportedRuns = 8;
    int runs = 1;
    int failedRuns = 0;
    for (bool onward : {false, true}) {
        for (long k = 1; k <= calls; k++) {
            SweepWorld run(scenario);
            if (onward)
                run.world.FailFallibleCallsFrom(k);
            else
                run.world.FailFallibleCall(k);
            run.Run();
            runs++;
            std::vector<std::string> problems = run.Problems();
            // Up to the failing call the run must make the same calls as without faults, or the
            // sweep would test another call than it names.
            const std::vector<std::string>& made = run.world.FallibleCallRecord();
            if (made.size() < static_cast<size_t>(k) || made[k - 1] != record[k - 1] + " failed")
                problems.push_back("the run did not fail call " + std::to_string(k));
            if (problems.empty() || ++failedRuns > kReportedRuns)
                continue;
            std::string what;
            for (const std::string& p : problems)
                what += "\n  " + p;
            ADD_FAILURE() << "call " << k << " (" << record[k - 1] << ")"
                          << (onward ? " and every later one failing" : " failing alone")
                          << "; failed: " << FailedCalls(run.world) << what << "\ntrace:\n"
                          << run.Trace();
        }
    }
    EXPECT_EQ(0, failedRuns) << "runs with problems, of " << runs;

    RecordProperty("fallible_calls", static_cast<int>(calls));
    RecordProperty("runs", runs);
    std::printf("[ sweep    ] %s: %ld fallible calls, %d runs\n", scenario.name, calls, runs);
}

INSTANTIATE_TEST_SUITE_P(TypicalRuns, FaultSweep, ::testing::ValuesIn(kScenarios),
                         [](const ::testing::TestParamInfo<SweepScenario>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
