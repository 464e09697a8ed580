// A test fixture that builds a simulated world and runs the real WinMain in it.
#ifndef TAVIX_TESTS_SCENARIO_H
#define TAVIX_TESTS_SCENARIO_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "SimWorld.h"
#include "common/RunState.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showState);

// The program keeps its texts in UTF-16. Tests write and read them in the world's code page, as
// their narrow literals are written (Shift_JIS), or as UTF-16.
inline void Put(WCHAR* dst, const sim::Text& text)
{
    std::u16string wide = text.Wide();
    std::copy(wide.begin(), wide.end(), dst);
    dst[wide.size()] = 0;
}
inline std::string Ansi(const WCHAR* text) { return sim::Ansi(std::u16string(text)); }
inline std::u16string Wide(const WCHAR* text) { return std::u16string(text); }
// The first count texts of a table of the program's (paths, names), in the world's code page.
inline std::vector<std::string> AnsiList(const WCHAR (*texts)[PathBufferSize], int count)
{
    std::vector<std::string> list;
    for (int i = 0; i < count; i++)
        list.push_back(Ansi(texts[i]));
    return list;
}

class Scenario : public ::testing::Test {
protected:
    // A fresh process. Tests that call parts of the program without WinMain run them as on the
    // world's default system, Windows XP, where the wide functions are the ones called.
    Scenario()
    {
        std::memset(&g_Run, 0, sizeof g_Run);
        g_Run.UnicodeCalls = 1;
        // The tests read the trace as a debug viewer does, so every item has its line.
        world.SetDebugViewerListening(true);
    }

    // Runs the program with the command-line tail as the process start-up hands it over: the
    // system's command line holds the program's name and the tail; the ANSI tail is what the
    // start-up gives WinMain.
    int Run(const sim::Text& commandLine)
    {
        std::u16string tail = commandLine.Wide();
        commandLine_ = sim::Ansi(tail);
        world.SetCommandLine(u"C:\\Tavix\\Tavix.exe " + tail);
        return WinMain(SIM_PROGRAM_INSTANCE, NULL, &commandLine_[0], SW_SHOWDEFAULT);
    }

    // Runs the program and checks what must hold after every run: exit code 0, nothing left
    // open or allocated, no window left, the message loop not waiting for ever.
    void RunCleanly(const sim::Text& commandLine)
    {
        EXPECT_EQ(0, Run(commandLine));
        EXPECT_EQ(0, world.OpenKernelHandles()) << "handles left open";
        EXPECT_EQ(0, world.OutstandingGlobalBlocks()) << "global memory not freed";
        EXPECT_EQ(0, world.LiveWindowsOfCurrentProcess()) << "a window was left behind";
        EXPECT_FALSE(world.blockedInMessageLoop) << "the message loop would wait for ever";
        EXPECT_EQ(std::vector<std::string>{}, world.wideCallsOnWindows9x)
            << "W functions do not work on Windows 95/98/ME";
    }

    // Prepares the same world for another start of the program: a new process registers its
    // class afresh and starts with a zero-filled RunState. The settings file is removed.
    void StartOver()
    {
        UnregisterClassA("Tavix", SIM_PROGRAM_INSTANCE);
        std::memset(&g_Run, 0, sizeof g_Run);
        g_Run.UnicodeCalls = 1;
        world.Remove("C:\\Tavix\\Tavix.ini");
        world.messageBoxes.clear();
        world.trace.clear();
        world.traceWide.clear();
    }

    bool Traced(const std::string& part) const
    {
        for (const std::string& line : world.trace)
            if (line.find(part) != std::string::npos)
                return true;
        return false;
    }

    std::string TraceText() const
    {
        std::string all;
        for (const std::string& line : world.trace)
            all += line + "\n";
        return all;
    }

    // The paths the run handed to the output, in order; empty when nothing was output.
    std::vector<std::string> Output() const
    {
        std::vector<std::string> paths;
        for (const std::u16string& path : OutputWide())
            paths.push_back(sim::Ansi(path));
        return paths;
    }

    std::vector<std::u16string> OutputWide() const
    {
        const std::u16string mark = u"Tavix: output: \"";
        std::vector<std::u16string> paths;
        for (const std::u16string& line : world.traceWide)
            if (line.compare(0, mark.size(), mark) == 0 && line.size() > mark.size())
                paths.push_back(line.substr(mark.size(), line.size() - mark.size() - 1));
        return paths;
    }

    bool OutputHappened() const { return Traced("Tavix: output: "); }

    void WriteSettings(const std::string& text, const std::string& name = "Tavix.ini")
    {
        world.AddFile("C:\\Tavix\\" + name, text);
    }

    sim::World world;

private:
    std::string commandLine_;
};

// The fixed texts of the two boxes, in Shift_JIS.
extern const std::string kVersionText;
extern const std::string kErrorCaption;
extern const std::string kErrorText;

#endif
