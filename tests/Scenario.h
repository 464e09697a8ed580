// A test fixture that builds a simulated world and runs the real WinMain in it.
#ifndef TAVIX_TESTS_SCENARIO_H
#define TAVIX_TESTS_SCENARIO_H

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "SimWorld.h"
#include "common/RunState.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showState);

class Scenario : public ::testing::Test {
protected:
    Scenario() { std::memset(&g_Run, 0, sizeof g_Run); }

    // Runs the program with the command-line tail as the process start-up hands it over.
    int Run(const std::string& commandLine)
    {
        commandLine_ = commandLine;
        world.SetCommandLine("C:\\Tavix\\Tavix.exe " + commandLine);
        return WinMain(SIM_PROGRAM_INSTANCE, NULL, &commandLine_[0], SW_SHOWDEFAULT);
    }

    // Runs the program and checks what must hold after every run: exit code 0, nothing left
    // open or allocated, no window left, the message loop not waiting for ever.
    void RunCleanly(const std::string& commandLine)
    {
        EXPECT_EQ(0, Run(commandLine));
        EXPECT_EQ(0, world.OpenKernelHandles()) << "handles left open";
        EXPECT_EQ(0, world.OutstandingGlobalBlocks()) << "global memory not freed";
        EXPECT_EQ(0, world.LiveWindowsOfCurrentProcess()) << "a window was left behind";
        EXPECT_FALSE(world.blockedInMessageLoop) << "the message loop would wait for ever";
    }

    // Prepares the same world for another start of the program: a new process registers its
    // class afresh and starts with a zero-filled RunState. The settings file is removed.
    void StartOver()
    {
        UnregisterClassA("Tavix", SIM_PROGRAM_INSTANCE);
        std::memset(&g_Run, 0, sizeof g_Run);
        world.Remove("C:\\Tavix\\Tavix.ini");
        world.messageBoxes.clear();
        world.trace.clear();
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
        const std::string mark = "Tavix: output: \"";
        std::vector<std::string> paths;
        for (const std::string& line : world.trace)
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
