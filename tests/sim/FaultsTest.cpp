// Fallible calls: which calls the world counts, which of them it fails, and that a failed call
// fails as on Windows without doing anything.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RunTimeFunctions.h"
#include "SimWorld.h"

namespace {

using Record = std::vector<std::string>;

TEST(FallibleCalls, OneCallOrEveryCallFromOneOnFails) {
  sim::World world;
  world.AddFile("C:\\a.txt", "a");
  world.CountFallibleCalls();
  world.FailFallibleCall(2);
  HGLOBAL first = GlobalAlloc(GPTR, 4);
  HGLOBAL second = GlobalAlloc(GPTR, 4);
  HGLOBAL third = GlobalAlloc(GPTR, 4);
  EXPECT_NE(nullptr, first);
  EXPECT_EQ(nullptr, second);
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
  EXPECT_NE(nullptr, third);
  EXPECT_EQ(2, world.OutstandingGlobalBlocks());
  GlobalFree(first);
  GlobalFree(third);

  world.FailFallibleCall(0);
  world.FailFallibleCallsFrom(5);
  HANDLE file = CreateFileA("C:\\a.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);  // the 4th
  DWORD high = 0;
  EXPECT_EQ(INVALID_FILE_SIZE, GetFileSize(file, &high));
  char byte = 0;
  DWORD got = 7;
  EXPECT_FALSE(ReadFile(file, &byte, 1, &got, nullptr));
  EXPECT_EQ(0u, got);
  EXPECT_TRUE(CloseHandle(file));  // a release passes no fault point
  EXPECT_EQ(6, world.FallibleCalls());
  EXPECT_EQ((Record{"GlobalAlloc", "GlobalAlloc failed", "GlobalAlloc", "CreateFileA",
                    "GetFileSize failed", "ReadFile failed"}),
            world.FallibleCallRecord());

  // The numbering starts again, and the fault counts from there.
  world.CountFallibleCalls();
  EXPECT_TRUE(world.FallibleCallRecord().empty());
  for (int i = 1; i <= 4; i++) EXPECT_NE(nullptr, LoadLibraryA("psapi.dll"));
  EXPECT_EQ(nullptr, LoadLibraryA("psapi.dll"));
  EXPECT_EQ(4, world.LoadedLibraries());
}

// A function built on another, set-up calls and the test's window hook are not the program's
// calls: only the function the program called counts.
TEST(FallibleCalls, TheSimsOwnCallsAreNotCounted) {
  sim::World world;
  world.AddFile("C:\\Tools\\viewer.exe", "MZ");
  HWND other = world.AddWindow("Other", "Other", true);
  world.CountFallibleCalls();
  world.SetClipboardText("earlier");
  EXPECT_EQ(0, world.FallibleCalls());

  char found[MAX_PATH];
  EXPECT_NE(0u, SearchPathA("C:\\Tools", "viewer.exe", nullptr, MAX_PATH, found, nullptr));
  EXPECT_TRUE(EnumChildWindows(nullptr, [](HWND, LPARAM) { return TRUE; }, 0));
  world.beforeWindowCall = [](const char*, HWND w) {
    char cls[64];
    GetClassNameA(w, cls, sizeof cls);
  };
  char title[64];
  EXPECT_EQ(5, GetWindowTextA(other, title, sizeof title));
  MessageBoxA(other, "text", "caption", MB_OK);
  EXPECT_EQ((Record{"SearchPathA", "EnumChildWindows", "GetWindowTextA", "MessageBoxA"}),
            world.FallibleCallRecord());
}

TEST(FallibleCalls, AFailedCallChangesNothing) {
  sim::World world;
  world.SetClipboardText("earlier");
  world.FailFallibleCallsFrom(1);

  EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA("C:\\new.txt", GENERIC_WRITE, 0, nullptr,
                                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
  EXPECT_FALSE(world.FileExists("C:\\new.txt"));

  EXPECT_EQ(nullptr, LoadLibraryA("psapi.dll"));
  EXPECT_EQ(0, world.LoadedLibraries());

  EXPECT_FALSE(OpenClipboard(nullptr));
  EXPECT_FALSE(world.ClipboardLeftOpen());
  EXPECT_EQ("earlier", world.ClipboardText().Text());

  // The program's own window: no message reaches its procedure.
  static int messages = 0;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    messages++;
    return DefWindowProcA(h, m, w, l);
  };
  wc.hInstance = SIM_PROGRAM_INSTANCE;
  wc.lpszClassName = "Own";
  EXPECT_EQ(0, RegisterClassA(&wc));
  world.FailFallibleCallsFrom(0);
  ASSERT_NE(0, RegisterClassA(&wc));
  world.FailFallibleCall(world.FallibleCalls() + 1);
  EXPECT_EQ(nullptr, CreateWindowExA(0, "Own", "Own", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                     SIM_PROGRAM_INSTANCE, nullptr));
  EXPECT_EQ(0, messages);
  EXPECT_TRUE(world.CreatedWindows().empty());
}

// A message to another program that fails has timed out: the time-out has passed, and the other
// program may still answer it into the memory the message pointed at.
TEST(FallibleCalls, AFailedMessageToAnotherProgramIsATimeOut) {
  sim::World world;
  DWORD filer = world.AddProcess("C:\\Tools\\filer.exe");
  HWND view = world.AddWindow("SysListView32", "", true, nullptr, filer);
  world.MakeListView(view).texts = {"a"};
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                               filer);
  ULONG_PTR block = RemoteAlloc(process, 64);
  ASSERT_NE(0u, block);

  DWORD before = GetTickCount();
  world.FailFallibleCall(world.FallibleCalls() + 1);
  DWORD_PTR answer = 9;
  EXPECT_EQ(0, SendMessageTimeoutA(view, LVM_GETITEMA, 0, static_cast<LPARAM>(block),
                                   SMTO_ABORTIFHUNG, 1500, &answer));
  EXPECT_EQ(static_cast<DWORD>(ERROR_TIMEOUT), GetLastError());
  EXPECT_EQ(0u, answer);
  EXPECT_EQ(1500u, GetTickCount() - before);
  EXPECT_TRUE(world.MakeListView(view).received.empty());

  auto release = Kernel32<VirtualFreeExFn>("VirtualFreeEx");
  EXPECT_TRUE(release(process, reinterpret_cast<LPVOID>(block), 0, MEM_RELEASE));
  EXPECT_EQ(1, world.lateWritesIntoReleasedMemory);
  CloseHandle(process);
}

typedef BOOL(WINAPI* QueryFullProcessImageNameWFn)(HANDLE, DWORD, LPWSTR, PDWORD);
typedef DWORD(WINAPI* GetModuleFileNameExWFn)(HANDLE, HMODULE, LPWSTR, DWORD);

// Each W function fails as its A twin, with its own name in the record, and
// does nothing; an A function passes one fault point, its own.
TEST(FallibleCalls, TheWFunctionsFailAsTheirATwins) {
  sim::World world;
  world.SetOsVersion(6, 1, 7601, VER_PLATFORM_WIN32_NT);
  DWORD filer = world.AddProcess(u"C:\\Tools\\fil\u00e9r.exe");
  HWND other = world.AddWindow("Other", u"\uD55C", true, nullptr, filer);
  HANDLE process =
      OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, filer);
  HMODULE psapi = LoadLibraryA("psapi.dll");
  auto queryW = Kernel32<QueryFullProcessImageNameWFn>("QueryFullProcessImageNameW");
  auto fileNameW = Lookup<GetModuleFileNameExWFn>(psapi, "GetModuleFileNameExW");
  WNDCLASSW wc = {};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = SIM_PROGRAM_INSTANCE;
  wc.lpszClassName = u"Own";
  world.CountFallibleCalls();
  world.FailFallibleCallsFrom(1);

  EXPECT_EQ(0, RegisterClassW(&wc));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
  EXPECT_EQ(nullptr, CreateWindowExW(0, u"Own", u"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                     SIM_PROGRAM_INSTANCE, nullptr));
  char16_t text[8] = u"x";
  EXPECT_EQ(0, GetWindowTextW(other, text, 8));
  EXPECT_EQ(u"", std::u16string(text));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
  EXPECT_EQ(0, GetClassNameW(other, text, 8));
  EXPECT_EQ(nullptr, FindWindowExW(nullptr, nullptr, u"Other", nullptr));
  EXPECT_EQ(0, SendMessageW(other, WM_GETTEXTLENGTH, 0, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  DWORD before = GetTickCount();
  EXPECT_EQ(0, SendMessageTimeoutW(other, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 700, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_TIMEOUT), GetLastError());
  EXPECT_EQ(700u, GetTickCount() - before);
  EXPECT_EQ(0, MessageBoxW(nullptr, u"t", u"c", MB_OK));
  EXPECT_TRUE(world.messageBoxes.empty());
  EXPECT_FALSE(SHGetSpecialFolderPathW(nullptr, text, CSIDL_DESKTOP, FALSE));
  HINSTANCE r = ShellExecuteW(nullptr, nullptr, u"C:\\Tools\\fil\u00e9r.exe", nullptr, nullptr,
                              SW_SHOW);
  EXPECT_EQ(SE_ERR_OOM, static_cast<int>(reinterpret_cast<INT_PTR>(r)));
  char16_t path[MAX_PATH];
  DWORD size = MAX_PATH;
  EXPECT_FALSE(queryW(process, 0, path, &size));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  EXPECT_EQ(0u, fileNameW(process, nullptr, path, MAX_PATH));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PARTIAL_COPY), GetLastError());
  char ansi[8];
  EXPECT_EQ(0, GetWindowTextA(other, ansi, 8));
  EXPECT_EQ((Record{"RegisterClassW failed", "CreateWindowExW failed", "GetWindowTextW failed",
                    "GetClassNameW failed", "FindWindowExW failed", "SendMessageW failed",
                    "SendMessageTimeoutW failed", "MessageBoxW failed",
                    "SHGetSpecialFolderPathW failed", "ShellExecuteW failed",
                    "QueryFullProcessImageNameW failed", "GetModuleFileNameExW failed",
                    "GetWindowTextA failed"}),
            world.FallibleCallRecord());
  EXPECT_EQ((std::vector<std::string>{"ShellExecuteW failed"}), world.outputCalls);
  EXPECT_TRUE(world.CreatedWindows().empty());
  world.FailFallibleCallsFrom(0);
  FreeLibrary(psapi);
  CloseHandle(process);
}

}  // namespace
