// Replays a dump of codepage_dump.c against the simulated desktop's
// MultiByteToWideChar and WideCharToMultiByte (sim/CodePages.cpp) and prints
// every call whose result, error, used-default flag or output differs from the
// platform's. make-codepage-tables.py --check builds and runs it:
//   codepage_check DUMP
// Exit code 0 when only the differences listed below remain, 1 otherwise.
//
// It links CodePages.cpp and CodePageTables.cpp alone, with the world state
// and last error they need defined here (a world of code page 932).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "SimInternal.h"

namespace sim {

namespace {
DWORD g_error = 0;
}  // namespace

World::Impl& State() {
  static World::Impl* impl = new World::Impl;  // never destroyed: no world to tear down
  return *impl;
}

void SetError(DWORD error) { g_error = error; }

}  // namespace sim

namespace {

// Calls where the sim keeps a behaviour other than the platform's on purpose.
const std::map<std::string, const char*> kDeliberate = {
    {"utf8-room1-pair",
     "the platform writes half a surrogate pair into a one-unit buffer and reports success"},
    {"utf8-room3-a-pair",
     "the platform writes half a surrogate pair after two units and reports success"},
    {"utf8-F0-9F-z", "the platform drops the 'z' after a cut sequence at the end"},
    {"utf8-E3-z-end", "the platform drops the 'z' after a cut sequence at the end"},
    {"mb932-flags-composite", "MB_COMPOSITE is not simulated: the sim refuses it"},
    {"mb932-flags-useglyph", "MB_USEGLYPHCHARS is not simulated: the sim refuses it"},
    {"wc932-flags-err", "WC_ERR_INVALID_CHARS is for UTF-8 only on Windows"},
    {"wc932-flags-composite", "WC_COMPOSITECHECK is not simulated: the sim refuses it"},
    {"wc932-flags-discardns", "WC_DISCARDNS is not simulated: the sim refuses it"},
    {"wc932-flags-defaultchar", "WC_DEFAULTCHAR is not simulated: the sim refuses it"},
    {"wc8-used", "Windows refuses lpUsedDefaultChar for UTF-8"},
    {"wc8-default", "Windows refuses lpDefaultChar for UTF-8"},
    {"wc8-flags-nobest", "Windows allows only WC_ERR_INVALID_CHARS for UTF-8"},
    {"wc8-flags-composite", "Windows allows only WC_ERR_INVALID_CHARS for UTF-8"},
};

std::vector<unsigned> HexList(const std::string& field) {
  std::vector<unsigned> out;
  if (field == "-" || field == "null") return out;
  std::stringstream ss(field);
  std::string item;
  while (std::getline(ss, item, '.')) out.push_back(static_cast<unsigned>(std::stoul(item, nullptr, 16)));
  return out;
}

std::string HexOf(const std::vector<unsigned>& v, int digits) {
  if (v.empty()) return "-";
  std::string out;
  char buf[8];
  for (size_t i = 0; i < v.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%s%0*X", i ? "." : "", digits, v[i]);
    out += buf;
  }
  return out;
}

// Replays one M line; the sim's result fields in the dump's form.
std::string ReplayMb(const std::vector<std::string>& f) {
  UINT page = static_cast<UINT>(std::stoul(f[2]));
  DWORD flags = static_cast<DWORD>(std::stoul(f[3], nullptr, 16));
  bool null = f[4] == "null";
  std::vector<unsigned> in = HexList(f[4]);
  std::string bytes(in.begin(), in.end());
  int len = std::stoi(f[5]), room = std::stoi(f[6]);
  std::vector<WCHAR> buf(64, 0xCCCC);
  sim::g_error = 0;
  int r = MultiByteToWideChar(page, flags, null ? nullptr : bytes.c_str(), len,
                              room ? buf.data() : nullptr, room);
  DWORD err = r ? 0 : sim::g_error;
  int shown = r > 0 && room ? r : room;
  if (r <= 0)
    while (shown > 0 && buf[shown - 1] == 0xCCCC) --shown;
  return std::to_string(r) + " " + std::to_string(err) + " " +
         HexOf(std::vector<unsigned>(buf.begin(), buf.begin() + shown), 4);
}

std::string ReplayWc(const std::vector<std::string>& f) {
  UINT page = static_cast<UINT>(std::stoul(f[2]));
  DWORD flags = static_cast<DWORD>(std::stoul(f[3], nullptr, 16));
  bool null = f[4] == "null";
  std::vector<unsigned> in = HexList(f[4]);
  std::u16string text(in.begin(), in.end());
  int len = std::stoi(f[5]), room = std::stoi(f[6]);
  bool noDefault = f[7] == "null";
  std::vector<unsigned> def = HexList(f[7]);
  std::string defChar(def.begin(), def.end());
  bool askUsed = f[8] == "1";
  std::vector<unsigned char> buf(64, 0xCC);
  BOOL used = 7;
  sim::g_error = 0;
  int r = WideCharToMultiByte(page, flags, null ? nullptr : text.c_str(), len,
                              room ? reinterpret_cast<char*>(buf.data()) : nullptr, room,
                              noDefault ? nullptr : defChar.c_str(), askUsed ? &used : nullptr);
  DWORD err = r ? 0 : sim::g_error;
  int shown = r > 0 && room ? r : room;
  if (r <= 0)
    while (shown > 0 && buf[shown - 1] == 0xCC) --shown;
  return std::to_string(r) + " " + std::to_string(err) + " " +
         std::to_string(askUsed ? static_cast<int>(used) : -1) + " " +
         HexOf(std::vector<unsigned>(buf.begin(), buf.begin() + shown), 2);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: codepage_check DUMP\n");
    return 2;
  }
  std::ifstream dump(argv[1]);
  if (!dump) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 2;
  }
  std::string line;
  long calls = 0, differ = 0, deliberate = 0;
  std::map<std::string, bool> seen;
  while (std::getline(dump, line)) {
    std::vector<std::string> f;
    std::stringstream ss(line);
    for (std::string x; ss >> x;) f.push_back(x);
    if (f.empty() || (f[0] != "M" && f[0] != "W")) continue;
    size_t fields = f[0] == "M" ? 7 : 9;
    std::string platform;
    for (size_t i = fields; i < f.size(); ++i) platform += (i > fields ? " " : "") + f[i];
    std::string simulated = f[0] == "M" ? ReplayMb(f) : ReplayWc(f);
    ++calls;
    if (simulated == platform) continue;
    auto known = kDeliberate.find(f[1]);
    if (known != kDeliberate.end()) {
      ++deliberate;
      seen[f[1]] = true;
      std::printf("deliberate: %s\n    platform %s\n    sim      %s\n    (%s)\n", line.c_str(),
                  platform.c_str(), simulated.c_str(), known->second);
      continue;
    }
    if (++differ <= 50)
      std::printf("DIFFERS: %s\n    platform %s\n    sim      %s\n", line.c_str(),
                  platform.c_str(), simulated.c_str());
  }
  for (const auto& k : kDeliberate)
    if (!seen.count(k.first)) {
      std::printf("listed as deliberate but the same now (or not in the dump): %s\n",
                  k.first.c_str());
      ++differ;
    }
  std::printf("%ld calls replayed: %ld differ, %ld deliberately\n", calls, differ, deliberate);
  return differ ? 1 : 0;
}
