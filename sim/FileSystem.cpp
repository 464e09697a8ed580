// The in-memory file system: drives, directories and files, and the
// translation of Win32 path texts into full paths and nodes.
//
// Names are compared without regard to the case of ASCII letters and keep the
// case they were created with. Both "\" and "/" separate components; a
// separator is recognised only as a single-byte character, so the trail byte
// 0x5C of a Shift_JIS character never splits a name.
#include <cctype>
#include <utility>

#include "SimInternal.h"

namespace sim {

namespace {

bool IsSeparatorAt(const std::string& s, size_t i) { return s[i] == '\\' || s[i] == '/'; }

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool HasDrivePrefix(const std::string& s) {
  return s.size() >= 2 && IsDriveLetter(s[0]) && s[1] == ':';
}

// "\\server\share\..." (or "//"): the sim has no network, but the full path
// of such a text is still well defined.
bool IsUncText(const std::string& s) {
  return s.size() >= 2 && IsSeparatorAt(s, 0) && IsSeparatorAt(s, 1);
}

bool InvalidNameChar(unsigned char c) {
  return c < 0x20 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' ||
         c == '*';
}

std::string DriveCurrentDirectory(const World::Impl& s, char drive) {
  drive = static_cast<char>(std::toupper(static_cast<unsigned char>(drive)));
  if (std::toupper(static_cast<unsigned char>(s.currentDirectory[0])) == drive) {
    return s.currentDirectory;
  }
  auto it = s.driveDirectories.find(drive);
  if (it != s.driveDirectories.end()) return it->second;
  return std::string(1, drive) + ":\\";
}

// Joins root and components the way the system's path normaliser does: empty
// components and "." disappear, ".." removes the previous component but never
// the root, an intermediate component loses one trailing dot, and the whole
// path loses trailing blanks and dots unless it ends with a separator.
std::string Normalise(const std::string& root, const std::string& rest) {
  std::vector<std::string> parts;
  SplitComponents(rest, &parts);
  bool trailing = !rest.empty() && IsSeparatorAt(rest, rest.size() - 1);
  std::vector<std::string> kept;
  kept.reserve(parts.size());
  for (size_t i = 0; i < parts.size(); ++i) {
    std::string& p = parts[i];
    bool last = (i + 1 == parts.size());
    if (p.empty() || p == ".") continue;
    if (p == "..") {
      if (!kept.empty()) kept.pop_back();
      continue;
    }
    if (!last || trailing) {
      if (!p.empty() && p.back() == '.') p.pop_back();
    }
    kept.push_back(std::move(p));
  }
  std::string out = root;
  for (size_t i = 0; i < kept.size(); ++i) {
    if (i) out += '\\';
    out += kept[i];
  }
  if (trailing && !kept.empty()) out += '\\';
  if (!trailing) {
    while (out.size() > root.size() && (out.back() == ' ' || out.back() == '.')) out.pop_back();
  }
  return out;
}

}  // namespace

void SplitComponents(const std::string& path, std::vector<std::string>* parts) {
  parts->clear();
  parts->reserve(8);
  std::string cur;
  const char* p = path.c_str();
  while (*p) {
    size_t n = CharLen(p);
    if (n == 1 && (*p == '\\' || *p == '/')) {
      parts->push_back(std::move(cur));
      cur.clear();
    } else {
      cur.append(p, n);
    }
    p += n;
  }
  parts->push_back(std::move(cur));
  // A text that ends with a separator leaves an empty last component; callers
  // treat empty components as absent.
}

bool FullPath(const std::string& path, std::string* full, DWORD* error) {
  World::Impl& s = State();
  // An empty text and one of blanks only have no full path.
  if (path.find_first_not_of(' ') == std::string::npos) {
    *error = ERROR_INVALID_NAME;
    return false;
  }
  if (IsUncText(path)) {
    // Keep "\\server\share" and normalise below it.
    std::vector<std::string> parts;
    SplitComponents(path.substr(2), &parts);
    std::string root = "\\\\" + parts[0];
    if (parts.size() >= 2) root += "\\" + parts[1];
    std::string rest;
    for (size_t i = 2; i < parts.size(); ++i) {
      if (i > 2) rest += '\\';
      rest += parts[i];
    }
    if (parts.size() > 2) root += '\\';
    *full = Normalise(root, rest);
    return true;
  }
  std::string root;
  std::string rest;
  if (HasDrivePrefix(path)) {
    if (path.size() > 2 && IsSeparatorAt(path, 2)) {
      // A full path keeps its drive letter as written.
      root = path.substr(0, 2) + "\\";
      rest = path.substr(3);
    } else {
      // Relative to the drive's current directory, which ends with a
      // separator: "C:" alone names that directory with its separator.
      char drive = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
      std::string base = DriveCurrentDirectory(s, drive);
      root = base.substr(0, 3);
      rest = base.substr(3);
      if (!rest.empty()) rest += "\\";
      rest += path.substr(2);
    }
  } else if (IsSeparatorAt(path, 0)) {
    root = s.currentDirectory.substr(0, 3);
    rest = path.substr(1);
  } else {
    root = s.currentDirectory.substr(0, 3);
    rest = s.currentDirectory.substr(3) + "\\" + path;
  }
  *full = Normalise(root, rest);
  return true;
}

Resolved ResolvePath(const std::string& path, bool ansiLimit) {
  World::Impl& s = State();
  Resolved r;
  // The ANSI file functions convert the name into a buffer of MAX_PATH + 1
  // characters first, so a name of more than MAX_PATH characters fails.
  size_t chars = 0;
  for (const char* p = path.c_str(); *p; p += CharLen(p)) ++chars;
  if (ansiLimit && chars > MAX_PATH) {
    r.error = ERROR_FILENAME_EXCED_RANGE;
    return r;
  }
  if (!FullPath(path, &r.full, &r.error)) {
    if (r.error == ERROR_INVALID_NAME) r.error = ERROR_PATH_NOT_FOUND;
    return r;
  }
  if (IsUncText(r.full)) {
    r.error = ERROR_BAD_NETPATH;
    return r;
  }
  r.trailingSeparator = r.full.size() > 3 && r.full.back() == '\\';
  std::vector<std::string> parts;
  SplitComponents(r.full.substr(3), &parts);
  while (!parts.empty() && parts.back().empty()) parts.pop_back();
  r.key = FoldName(r.full);
  if (r.trailingSeparator) r.key.pop_back();

  auto drive = s.drives.find(static_cast<char>(std::toupper(static_cast<unsigned char>(r.full[0]))));
  if (drive == s.drives.end()) {
    r.error = ERROR_PATH_NOT_FOUND;
    return r;
  }
  for (const std::string& part : parts) {
    for (unsigned char c : part) {
      if (InvalidNameChar(c)) {
        r.error = ERROR_INVALID_NAME;
        return r;
      }
    }
  }
  std::shared_ptr<FsNode> cur = drive->second;
  if (parts.empty()) {
    r.node = cur;
    return r;
  }
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    auto it = cur->children.find(FoldName(parts[i]));
    if (it == cur->children.end() || !it->second->isDir) {
      r.error = ERROR_PATH_NOT_FOUND;
      return r;
    }
    cur = it->second;
  }
  r.parent = cur.get();
  r.leaf = parts.back();
  auto it = cur->children.find(FoldName(r.leaf));
  if (it != cur->children.end()) {
    if (r.trailingSeparator && !it->second->isDir) {
      r.error = ERROR_INVALID_NAME;  // "file.txt\" names nothing
      return r;
    }
    r.node = it->second;
  }
  return r;
}

std::shared_ptr<FsNode> MakeDirectories(const std::string& path) {
  World::Impl& s = State();
  std::string full;
  DWORD error = 0;
  if (!FullPath(path, &full, &error) || IsUncText(full)) return nullptr;
  char letter = full[0];
  auto& root = s.drives[letter];
  if (!root) {
    root = std::make_shared<FsNode>();
    root->isDir = true;
    root->name = std::string(1, letter) + ":";
    root->attributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  }
  std::vector<std::string> parts;
  SplitComponents(full.substr(3), &parts);
  std::shared_ptr<FsNode> cur = root;
  for (const std::string& part : parts) {
    if (part.empty()) continue;
    auto found = cur->children.find(FoldName(part));
    if (found == cur->children.end()) {
      cur = AddChildNode(cur.get(), part, true);
    } else if (!found->second->isDir) {
      return nullptr;
    } else {
      cur = found->second;
    }
  }
  return cur;
}

std::shared_ptr<FsNode> AddChildNode(FsNode* parent, const std::string& name, bool isDir) {
  auto node = std::make_shared<FsNode>();
  node->isDir = isDir;
  node->name = name;
  node->attributes = isDir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  node->parent = parent;
  parent->children[FoldName(name)] = node;
  return node;
}

}  // namespace sim
