// Other processes: access rights, their memory, the end of a process, Tool
// Help, PSAPI, image names and WOW64.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RunTimeFunctions.h"
#include "SimWorld.h"

namespace {

const char kOtherImage[] = "C:\\Program Files\\Filer\\filer.exe";

TEST(OpenProcess, EachMemoryCallNeedsItsOwnRights) {
  const struct {
    DWORD rights;
    bool allocate, write, read;
  } cases[] = {
      {PROCESS_VM_OPERATION, true, false, false},
      {PROCESS_VM_READ, false, false, true},
      {PROCESS_VM_WRITE, false, false, false},  // writing also needs PROCESS_VM_OPERATION
      {PROCESS_VM_WRITE | PROCESS_VM_OPERATION, true, true, false},
      {PROCESS_QUERY_INFORMATION, false, false, false},
      {GENERIC_READ, false, false, true},
      {PROCESS_ALL_ACCESS, true, true, true},
  };
  for (const auto& c : cases) {
    sim::World world;
    DWORD pid = world.AddProcess(kOtherImage);
    HANDLE full = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
    ULONG_PTR block = RemoteAlloc(full, 16);
    HANDLE h = OpenProcess(c.rights, FALSE, pid);
    ASSERT_NE(nullptr, h) << std::hex << c.rights;
    auto expectDenied = [&](bool allowed, bool ok, const char* what) {
      EXPECT_EQ(allowed, ok) << what << " with rights " << std::hex << c.rights;
      if (!allowed) {
        EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError()) << what;
      }
    };
    expectDenied(c.allocate, RemoteAlloc(h, 16) != 0, "VirtualAllocEx");
    expectDenied(c.write, RemoteWrite(h, block, "abc") != FALSE, "WriteProcessMemory");
    char buffer[3];
    expectDenied(
        c.read, ReadProcessMemory(h, reinterpret_cast<LPCVOID>(block), buffer, 3, nullptr) != FALSE,
        "ReadProcessMemory");
    CloseHandle(h);
    CloseHandle(full);
    EXPECT_EQ(0, world.OpenKernelHandles());
  }
}

TEST(OpenProcess, RefusalsFollowTheProcessTheRightsAndTheWindowsVersion) {
  sim::World world;
  DWORD pid = world.AddProcess(kOtherImage);
  EXPECT_EQ(nullptr, OpenProcess(PROCESS_VM_READ, FALSE, 4242));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  // Windows before Vista does not know the limited query right.
  EXPECT_EQ(nullptr, OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  world.SetOsVersion(6, 1, 7601, VER_PLATFORM_WIN32_NT);
  HANDLE limited = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  EXPECT_NE(nullptr, limited);
  CloseHandle(limited);
  world.RefuseOpenProcess(pid, PROCESS_VM_WRITE);
  EXPECT_EQ(nullptr, OpenProcess(PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  HANDLE reader = OpenProcess(PROCESS_VM_READ, FALSE, pid);
  EXPECT_NE(nullptr, reader);
  CloseHandle(reader);
  world.EndProcess(pid);
  EXPECT_EQ(nullptr, OpenProcess(PROCESS_VM_READ, FALSE, pid));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST(RemoteMemory, AddressesFollowTheBitnessAndBlocksAreWholePagesOfZeros) {
  sim::World world;
  DWORD pid32 = world.AddProcess(kOtherImage, 32);
  DWORD pid64 = world.AddProcess("C:\\Windows64\\explorer.exe", 64);
  HANDLE h32 = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid32);
  HANDLE h64 = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid64);
  ULONG_PTR a = RemoteAlloc(h32, 100);
  ULONG_PTR b = RemoteAlloc(h32, 100);
  ULONG_PTR c = RemoteAlloc(h64, 100);
  EXPECT_GE(a, 0x00A10000u);
  EXPECT_LT(b, 0x80000000u);
  EXPECT_EQ(0u, b % 0x10000);
  EXPECT_NE(a, b);
  EXPECT_GE(c, 0x000001A000000000ull);
  EXPECT_EQ(std::string(4096, '\0'), world.RemoteBytes(pid32, a, 4096));
  EXPECT_EQ("", world.RemoteBytes(pid32, a, 4097));

  ASSERT_TRUE(RemoteWrite(h64, c + 4090, "round"));
  char buffer[8] = {};
  SIZE_T read = 99;
  EXPECT_TRUE(ReadProcessMemory(h64, reinterpret_cast<LPCVOID>(c + 4090), buffer, 5, &read));
  EXPECT_EQ(std::string("round"), buffer);
  EXPECT_EQ(5u, read);
  // Past the end of the page-rounded block, or at the address cut to 32 bits.
  const ULONG_PTR missed[] = {c + 4093, c & 0xFFFFFFFFu, b + 0x10000};
  for (ULONG_PTR address : missed) {
    HANDLE h = address == b + 0x10000 ? h32 : h64;
    EXPECT_FALSE(ReadProcessMemory(h, reinterpret_cast<LPCVOID>(address), buffer, 4, &read));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PARTIAL_COPY), GetLastError()) << std::hex << address;
    EXPECT_EQ(0u, read);
    EXPECT_FALSE(RemoteWrite(h, address, "abcd"));
  }

  auto release = Kernel32<VirtualFreeExFn>("VirtualFreeEx");
  EXPECT_FALSE(release(h32, reinterpret_cast<LPVOID>(a), 100, MEM_RELEASE));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  EXPECT_FALSE(release(h32, reinterpret_cast<LPVOID>(a + 16), 0, MEM_RELEASE));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_ADDRESS), GetLastError());
  EXPECT_TRUE(release(h32, reinterpret_cast<LPVOID>(a), 0, MEM_RELEASE));
  EXPECT_EQ(1, world.RemoteBlocks(pid32));
  EXPECT_FALSE(ReadProcessMemory(h32, reinterpret_cast<LPCVOID>(a), buffer, 1, nullptr));
  EXPECT_EQ(3, world.counters.allocations);
  EXPECT_EQ(1, world.counters.releases);
  CloseHandle(h32);
  CloseHandle(h64);
}

// WriteProcessMemory lifts an execute-only protection for the write but not
// a read-only one.
TEST(RemoteMemory, PageProtectionDecidesWhatMayBeReadAndWritten) {
  const struct {
    DWORD protect;
    bool read, write;
  } cases[] = {
      {PAGE_READWRITE, true, true},
      {PAGE_EXECUTE_READ, true, true},
      {PAGE_READONLY, true, false},
      {PAGE_NOACCESS, false, false},
  };
  for (const auto& c : cases) {
    sim::World world;
    HANDLE h = OpenProcess(PROCESS_ALL_ACCESS, FALSE, world.AddProcess(kOtherImage));
    auto block = reinterpret_cast<ULONG_PTR>(Kernel32<VirtualAllocExFn>("VirtualAllocEx")(
        h, nullptr, 16, MEM_COMMIT | MEM_RESERVE, c.protect));
    ASSERT_NE(0u, block);
    char buffer[4];
    EXPECT_EQ(c.read,
              ReadProcessMemory(h, reinterpret_cast<LPCVOID>(block), buffer, 4, nullptr) != FALSE)
        << std::hex << c.protect;
    EXPECT_EQ(c.write, RemoteWrite(h, block, "abcd") != FALSE) << std::hex << c.protect;
    if (!c.write) {
      EXPECT_EQ(static_cast<DWORD>(ERROR_NOACCESS), GetLastError());
    }
    CloseHandle(h);
  }
}

TEST(EndProcess, TakesItsWindowsWithTheirChildrenAndItsMemory) {
  sim::World world;
  world.SetOsVersion(6, 1, 7601, VER_PLATFORM_WIN32_NT);
  DWORD pid = world.AddProcess(kOtherImage);
  DWORD host = world.AddProcess("C:\\host.exe");
  HWND top = world.AddWindow("Filer", "C:\\Data", true, nullptr, pid);
  HWND guest = world.AddWindow("Embedded", "", true, top, host);  // another process's child
  HWND outside = world.AddWindow("Host", "", true, nullptr, host);
  HANDLE h = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
  ULONG_PTR block = RemoteAlloc(h, 16);
  world.EndProcess(pid);
  EXPECT_FALSE(IsWindow(top));
  EXPECT_FALSE(IsWindow(guest));
  EXPECT_TRUE(IsWindow(outside));
  EXPECT_EQ(0, world.RemoteBlocks(pid));
  char buffer[4];
  EXPECT_FALSE(ReadProcessMemory(h, reinterpret_cast<LPCVOID>(block), buffer, 4, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PARTIAL_COPY), GetLastError());
  EXPECT_FALSE(RemoteWrite(h, block, "x"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PARTIAL_COPY), GetLastError());
  EXPECT_EQ(0u, RemoteAlloc(h, 16));
  char path[MAX_PATH];
  DWORD size = MAX_PATH;
  EXPECT_FALSE(
      Kernel32<QueryFullProcessImageNameAFn>("QueryFullProcessImageNameA")(h, 0, path, &size));
  HMODULE psapi = LoadLibraryA("psapi.dll");
  EXPECT_EQ(0u, Lookup<GetModuleFileNameExAFn>(psapi, "GetModuleFileNameExA")(h, nullptr, path,
                                                                              MAX_PATH));
  FreeLibrary(psapi);
  EXPECT_TRUE(CloseHandle(h));  // the handle itself stays valid
}

std::vector<std::string> ExeFiles() {
  HANDLE snapshot =
      Kernel32<CreateToolhelp32SnapshotFn>("CreateToolhelp32Snapshot")(TH32CS_SNAPPROCESS, 0);
  auto first = Kernel32<Process32Fn>("Process32First");
  auto next = Kernel32<Process32Fn>("Process32Next");
  std::vector<std::string> names;
  PROCESSENTRY32 entry = {};
  EXPECT_FALSE(first(snapshot, &entry));  // its size is not set
  EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_LENGTH), GetLastError());
  entry.dwSize = sizeof entry;
  for (BOOL ok = first(snapshot, &entry); ok; ok = next(snapshot, &entry)) {
    names.push_back(entry.szExeFile);
  }
  EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_FILES), GetLastError());
  CloseHandle(snapshot);
  return names;
}

TEST(ToolHelp, NamesTheImagesByFullPathOn9xAndByFileNameOnNt) {
  const struct {
    void (sim::World::*version)();
    std::vector<std::string> names;
  } cases[] = {
      {&sim::World::SetWindows98, {"C:\\Tavix\\Tavix.exe", kOtherImage}},
      {&sim::World::SetWindowsMe, {"C:\\Tavix\\Tavix.exe", kOtherImage}},
      {&sim::World::SetWindows2000, {"Tavix.exe", "filer.exe"}},
      {&sim::World::SetWindowsXp, {"Tavix.exe", "filer.exe"}},
  };
  for (const auto& c : cases) {
    sim::World world;
    (world.*c.version)();
    world.AddProcess(kOtherImage);
    world.EndProcess(world.AddProcess("C:\\gone.exe"));
    EXPECT_EQ(c.names, ExeFiles());
    EXPECT_EQ(0, world.OpenKernelHandles());
  }
}

TEST(Psapi, A32BitProgramCannotListTheModulesOfA64BitProcess) {
  const struct {
    int program, target;
    bool listed;
  } cases[] = {{64, 64, true}, {64, 32, true}, {32, 32, true}, {32, 64, false}};
  for (const auto& c : cases) {
    sim::World world;
    world.SetProgramBitness(c.program);
    HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE,
                           world.AddProcess(kOtherImage, c.target));
    HMODULE psapi = LoadLibraryA("PSAPI");
    auto enumModules = Lookup<EnumProcessModulesFn>(psapi, "EnumProcessModules");
    auto fileName = Lookup<GetModuleFileNameExAFn>(psapi, "GetModuleFileNameExA");
    HMODULE first = nullptr;
    DWORD needed = 0;
    EXPECT_EQ(c.listed, enumModules(h, &first, sizeof first, &needed) != FALSE) << c.program;
    char path[16];
    if (c.listed) {
      EXPECT_EQ(3 * sizeof(HMODULE), needed);
      EXPECT_EQ(15u, fileName(h, first, path, sizeof path));
      EXPECT_STREQ("C:\\Program File", path);  // cut and terminated
    } else {
      EXPECT_EQ(static_cast<DWORD>(ERROR_PARTIAL_COPY), GetLastError());
      EXPECT_EQ(0u, fileName(h, nullptr, path, sizeof path));
    }
    FreeLibrary(psapi);
    CloseHandle(h);
  }
}

TEST(QueryFullProcessImageName, NeedsRoomForTheZeroAndAQueryRight) {
  sim::World world;
  world.SetOsVersion(6, 0, 6002, VER_PLATFORM_WIN32_NT);
  DWORD pid = world.AddProcess(kOtherImage);
  auto query = Kernel32<QueryFullProcessImageNameAFn>("QueryFullProcessImageNameA");
  HANDLE limited = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  const DWORD length = sizeof kOtherImage - 1;
  char path[MAX_PATH];
  DWORD size = length;
  EXPECT_FALSE(query(limited, 0, path, &size));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
  size = length + 1;
  EXPECT_TRUE(query(limited, 0, path, &size));
  EXPECT_EQ(length, size);
  EXPECT_STREQ(kOtherImage, path);
  CloseHandle(limited);
  HANDLE reader = OpenProcess(PROCESS_VM_READ, FALSE, pid);
  EXPECT_FALSE(query(reader, 0, path, &size));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  CloseHandle(reader);
}

typedef BOOL(WINAPI* QueryFullProcessImageNameWFn)(HANDLE, DWORD, LPWSTR, PDWORD);
typedef DWORD(WINAPI* GetModuleFileNameExWFn)(HANDLE, HMODULE, LPWSTR, DWORD);

// An image whose folder has a letter the code page lacks (with a look-alike)
// and whose name starts with Hangul (without one).
const std::u16string kWideImage = u"C:\\Apps\\r\u00e9sum\u00e9\\\uD55C\u00e9.exe";
const char kImageLookAlike[] = "C:\\Apps\\resume\\?e.exe";

// The W forms count UTF-16 units and give the path as it is; the A forms
// count bytes and give the look-alike.
TEST(QueryFullProcessImageName, TheWFormGivesAWideImagePathAsItIs) {
  sim::World world;
  world.SetOsVersion(6, 1, 7601, VER_PLATFORM_WIN32_NT);
  DWORD pid = world.AddProcess(kWideImage);
  EXPECT_TRUE(world.FileExists(kWideImage));
  auto queryW = Kernel32<QueryFullProcessImageNameWFn>("QueryFullProcessImageNameW");
  auto queryA = Kernel32<QueryFullProcessImageNameAFn>("QueryFullProcessImageNameA");
  ASSERT_NE(nullptr, queryW);
  HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  const DWORD units = static_cast<DWORD>(kWideImage.size());
  char16_t wide[MAX_PATH];
  DWORD size = units;
  EXPECT_FALSE(queryW(h, 0, wide, &size));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
  size = units + 1;
  EXPECT_TRUE(queryW(h, 0, wide, &size));
  EXPECT_EQ(units, size);
  EXPECT_EQ(kWideImage, std::u16string(wide));
  size = MAX_PATH;
  EXPECT_TRUE(queryW(h, PROCESS_NAME_NATIVE, wide, &size));
  EXPECT_EQ(u"\\Device\\HarddiskVolume1" + kWideImage.substr(2), std::u16string(wide));
  char ansi[MAX_PATH];
  size = sizeof kImageLookAlike - 1;
  EXPECT_FALSE(queryA(h, 0, ansi, &size));
  size = sizeof kImageLookAlike;
  EXPECT_TRUE(queryA(h, 0, ansi, &size));
  EXPECT_STREQ(kImageLookAlike, ansi);
  EXPECT_EQ(sizeof kImageLookAlike - 1, size);
  CloseHandle(h);

  HANDLE reader = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  HMODULE psapi = LoadLibraryA("psapi.dll");
  auto fileNameW = Lookup<GetModuleFileNameExWFn>(psapi, "GetModuleFileNameExW");
  auto fileNameA = Lookup<GetModuleFileNameExAFn>(psapi, "GetModuleFileNameExA");
  ASSERT_NE(nullptr, fileNameW);
  EXPECT_EQ(units, fileNameW(reader, nullptr, wide, MAX_PATH));
  EXPECT_EQ(kWideImage, std::u16string(wide));
  EXPECT_EQ(3u, fileNameW(reader, nullptr, wide, 4));
  EXPECT_EQ(u"C:\\", std::u16string(wide));
  EXPECT_EQ(sizeof kImageLookAlike - 1, fileNameA(reader, nullptr, ansi, MAX_PATH));
  EXPECT_STREQ(kImageLookAlike, ansi);
  FreeLibrary(psapi);
  CloseHandle(reader);

  // Tool Help holds ANSI names only: the look-alike.
  HANDLE snapshot =
      Kernel32<CreateToolhelp32SnapshotFn>("CreateToolhelp32Snapshot")(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  std::vector<std::string> names;
  for (BOOL ok = Kernel32<Process32Fn>("Process32First")(snapshot, &entry); ok;
       ok = Kernel32<Process32Fn>("Process32Next")(snapshot, &entry)) {
    names.push_back(entry.szExeFile);
  }
  EXPECT_EQ((std::vector<std::string>{"Tavix.exe", "?e.exe"}), names);
  CloseHandle(snapshot);
}

TEST(Wow64, A32BitProcessRunsUnderWow64OnlyOnA64BitSystem) {
  sim::World world;
  world.SetProgramBitness(32);
  auto isWow64 = Kernel32<IsWow64ProcessFn>("IsWow64Process");
  HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, world.AddProcess(kOtherImage, 32));
  BOOL wow64 = TRUE;
  EXPECT_TRUE(isWow64(h, &wow64));
  EXPECT_FALSE(wow64);  // nothing 64-bit anywhere: a 32-bit system
  world.AddProcess("C:\\x64.exe", 64);
  EXPECT_TRUE(isWow64(h, &wow64));
  EXPECT_TRUE(wow64);
  EXPECT_TRUE(isWow64(GetCurrentProcess(), &wow64));
  EXPECT_TRUE(wow64);
  CloseHandle(h);

  PVOID old = nullptr;
  EXPECT_TRUE(Kernel32<Wow64DisableWow64FsRedirectionFn>("Wow64DisableWow64FsRedirection")(&old));
  EXPECT_EQ(1, world.wow64RedirectionDisables);
  EXPECT_EQ(0, world.wow64RedirectionReverts);
  EXPECT_TRUE(Kernel32<Wow64RevertWow64FsRedirectionFn>("Wow64RevertWow64FsRedirection")(old));
  EXPECT_EQ(1, world.wow64RedirectionReverts);
}

// Only a 32-bit program on a 64-bit system has file-system redirection to
// switch; elsewhere both calls fail with ERROR_INVALID_FUNCTION.
TEST(Wow64, RedirectionCannotBeSwitchedWithoutWow64) {
  for (int bitness : {64, 32}) {
    sim::World world;
    world.SetProgramBitness(bitness);  // at 32: nothing 64-bit anywhere, a 32-bit system
    auto disable = Kernel32<Wow64DisableWow64FsRedirectionFn>("Wow64DisableWow64FsRedirection");
    auto revert = Kernel32<Wow64RevertWow64FsRedirectionFn>("Wow64RevertWow64FsRedirection");
    PVOID old = nullptr;
    EXPECT_FALSE(disable(&old));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FUNCTION), GetLastError());
    EXPECT_FALSE(revert(old));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FUNCTION), GetLastError());
    EXPECT_EQ(0, world.wow64RedirectionDisables);
    EXPECT_EQ(0, world.wow64RedirectionReverts);
  }
}

TEST(AddProcess, CreatesAnImageFileWhoseHeaderNamesTheMachine) {
  sim::World world;
  world.AddProcess("C:\\Apps\\a32.exe", 32);
  world.AddProcess("C:\\Apps\\a64.exe", 64);
  world.AddFile("C:\\Apps\\kept.exe", "MZ mine");
  world.AddProcess("C:\\Apps\\kept.exe", 64);
  std::string image32 = world.FileBytes("C:\\Apps\\a32.exe");
  std::string image64 = world.FileBytes("C:\\Apps\\a64.exe");
  EXPECT_EQ(std::string("MZ"), image32.substr(0, 2));
  EXPECT_EQ(std::string("PE\0\0\x4c\x01", 6), image32.substr(0x80, 6));  // I386
  EXPECT_EQ(std::string("PE\0\0\x64\x86", 6), image64.substr(0x80, 6));  // AMD64
  EXPECT_EQ("MZ mine", world.FileBytes("C:\\Apps\\kept.exe"));
}

}  // namespace
