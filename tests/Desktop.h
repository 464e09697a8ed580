// Builders for the windows of other programs that the window search and the readers meet:
// file managers with titles, address boxes and list views.
#ifndef TAVIX_TESTS_DESKTOP_H
#define TAVIX_TESTS_DESKTOP_H

#include <set>
#include <string>
#include <vector>

#include "SimWorld.h"

struct Filer {
    DWORD process = 0;
    HWND window = nullptr;
    HWND listView = nullptr;
    sim::ListViewControl* control = nullptr;
};

// A top-level window of a new process (image file with a PE header of the bitness), with one
// visible list view holding the items, of which those in selected are selected.
inline Filer AddFiler(sim::World& world, const sim::Text& title,
                      const std::vector<sim::Text>& items = {},
                      const std::set<int>& selected = {},
                      const sim::Text& image = "C:\\Tools\\Filer\\filer.exe", int bitness = 32,
                      const sim::Text& listViewClass = "SysListView32")
{
    Filer f;
    f.process = world.AddProcess(image, bitness);
    f.window = world.AddWindow("FilerWindow", title, true, nullptr, f.process);
    f.listView = world.AddWindow(listViewClass, "", true, f.window, f.process);
    f.control = &world.MakeListView(f.listView);
    f.control->texts = items;
    f.control->selected = selected;
    return f;
}

// A list view inside an existing window, of that window's process.
inline sim::ListViewControl& AddListView(sim::World& world, HWND parent, DWORD process,
                                         const std::vector<sim::Text>& items,
                                         const std::set<int>& selected, bool visible = true,
                                         const sim::Text& cls = "SysListView32",
                                         HWND* created = nullptr)
{
    HWND w = world.AddWindow(cls, "", visible, parent, process);
    if (created)
        *created = w;
    sim::ListViewControl& control = world.MakeListView(w);
    control.texts = items;
    control.selected = selected;
    return control;
}

// Folders and files in one go: names ending in a backslash are folders.
// A list view in the window "C:\\work" of a new file-manager process of that bitness; the
// process and the list view's handle are given back.
inline sim::ListViewControl& AddFilerListView(sim::World& world,
                                              const std::vector<sim::Text>& items,
                                              const std::set<int>& selected, int bitness,
                                              DWORD* process, HWND* listView)
{
    *process = world.AddProcess("C:\\Tools\\filer" + std::to_string(bitness) + ".exe", bitness);
    HWND top = world.AddWindow("FilerWindow", "C:\\work", true, nullptr, *process);
    return AddListView(world, top, *process, items, selected, true, "SysListView32", listView);
}

inline void AddEntries(sim::World& world, const sim::Text& folder,
                       const std::vector<sim::Text>& names)
{
    world.AddDirectory(folder);
    for (const sim::Text& text : names) {
        std::u16string name = text.Wide();
        if (!name.empty() && name.back() == u'\\')
            world.AddDirectory(folder.Wide() + u"\\" + name);
        else
            world.AddFile(folder.Wide() + u"\\" + name, "");
    }
}

#endif
