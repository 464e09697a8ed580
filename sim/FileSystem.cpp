// The in-memory file system: drives, directories and files, and the
// translation of Win32 path texts into full paths and nodes.
//
// Paths and names are UTF-16. Names keep the case they were created with and
// compare after FoldWide, so "RÉSUMÉ.TXT" is "résumé.txt" but "resume.txt" is
// another file. Both "\" and "/" separate components. An A function converts
// its ANSI name first (AnsiName), so the trail byte 0x5C of a Shift_JIS
// character is part of its character and never splits a name.
#include <utility>

#include "SimInternal.h"

namespace sim {

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool IsSeparatorAt(const std::u16string& s, size_t i) { return IsSeparator(s[i]); }

bool IsDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

char UpperDrive(char16_t c) {
  return static_cast<char>(c >= u'a' && c <= u'z' ? c - 0x20 : c);
}

bool HasDrivePrefix(const std::u16string& s) {
  return s.size() >= 2 && IsDriveLetter(s[0]) && s[1] == u':';
}

// "\\server\share\..." (or "//"): the sim has no network, but the full path
// of such a text is still well defined.
bool IsUncText(const std::u16string& s) {
  return s.size() >= 2 && IsSeparatorAt(s, 0) && IsSeparatorAt(s, 1);
}

bool InvalidNameChar(char16_t c) {
  return c < 0x20 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' ||
         c == u'?' || c == u'*';
}

std::u16string DriveCurrentDirectory(const World::Impl& s, char drive) {
  if (UpperDrive(s.currentDirectory[0]) == drive) return s.currentDirectory;
  auto it = s.driveDirectories.find(drive);
  if (it != s.driveDirectories.end()) return it->second;
  return std::u16string(1, static_cast<char16_t>(drive)) + u":\\";
}

// Joins root and components the way the system's path normaliser does: empty
// components and "." disappear, ".." removes the previous component but never
// the root, an intermediate component loses one trailing dot, and the whole
// path loses trailing blanks and dots unless it ends with a separator.
std::u16string Normalise(const std::u16string& root, const std::u16string& rest) {
  std::vector<std::u16string> parts;
  SplitComponents(rest, &parts);
  bool trailing = !rest.empty() && IsSeparatorAt(rest, rest.size() - 1);
  std::vector<std::u16string> kept;
  kept.reserve(parts.size());
  for (size_t i = 0; i < parts.size(); ++i) {
    std::u16string& p = parts[i];
    bool last = (i + 1 == parts.size());
    if (p.empty() || p == u".") continue;
    if (p == u"..") {
      if (!kept.empty()) kept.pop_back();
      continue;
    }
    if (!last || trailing) {
      if (!p.empty() && p.back() == u'.') p.pop_back();
    }
    kept.push_back(std::move(p));
  }
  std::u16string out = root;
  for (size_t i = 0; i < kept.size(); ++i) {
    if (i) out += u'\\';
    out += kept[i];
  }
  if (trailing && !kept.empty()) out += u'\\';
  if (!trailing) {
    while (out.size() > root.size() && (out.back() == u' ' || out.back() == u'.')) out.pop_back();
  }
  return out;
}

}  // namespace

std::u16string AnsiName(const char* ansi) { return ansi ? AnsiToWide(ThroughUnicode(ansi)) : u""; }

void SplitComponents(const std::u16string& path, std::vector<std::u16string>* parts) {
  parts->clear();
  parts->reserve(8);
  std::u16string cur;
  for (char16_t c : path) {
    if (c == u'\0') break;
    if (IsSeparator(c)) {
      parts->push_back(std::move(cur));
      cur.clear();
    } else {
      cur += c;
    }
  }
  parts->push_back(std::move(cur));
  // A text that ends with a separator leaves an empty last component; callers
  // treat empty components as absent.
}

bool FullPath(const std::u16string& path, std::u16string* full, DWORD* error) {
  World::Impl& s = State();
  // An empty text and one of blanks only have no full path.
  if (path.find_first_not_of(u' ') == std::u16string::npos) {
    *error = ERROR_INVALID_NAME;
    return false;
  }
  if (IsUncText(path)) {
    // Keep "\\server\share" and normalise below it.
    std::vector<std::u16string> parts;
    SplitComponents(path.substr(2), &parts);
    std::u16string root = u"\\\\" + parts[0];
    if (parts.size() >= 2) root += u"\\" + parts[1];
    std::u16string rest;
    for (size_t i = 2; i < parts.size(); ++i) {
      if (i > 2) rest += u'\\';
      rest += parts[i];
    }
    if (parts.size() > 2) root += u'\\';
    *full = Normalise(root, rest);
    return true;
  }
  std::u16string root;
  std::u16string rest;
  if (HasDrivePrefix(path)) {
    if (path.size() > 2 && IsSeparatorAt(path, 2)) {
      // A full path keeps its drive letter as written.
      root = path.substr(0, 2) + u"\\";
      rest = path.substr(3);
    } else {
      // Relative to the drive's current directory, which ends with a
      // separator: "C:" alone names that directory with its separator.
      std::u16string base = DriveCurrentDirectory(s, UpperDrive(path[0]));
      root = base.substr(0, 3);
      rest = base.substr(3);
      if (!rest.empty()) rest += u"\\";
      rest += path.substr(2);
    }
  } else if (IsSeparatorAt(path, 0)) {
    root = s.currentDirectory.substr(0, 3);
    rest = path.substr(1);
  } else {
    root = s.currentDirectory.substr(0, 3);
    rest = s.currentDirectory.substr(3) + u"\\" + path;
  }
  *full = Normalise(root, rest);
  return true;
}

Resolved ResolvePath(const std::u16string& path, bool ansiLimit) {
  World::Impl& s = State();
  Resolved r;
  // The ANSI file functions convert the name into a buffer of MAX_PATH + 1
  // characters first, so a name of more than MAX_PATH characters fails.
  if (ansiLimit && path.size() > MAX_PATH) {
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
  std::vector<std::u16string> parts;
  SplitComponents(r.full.substr(3), &parts);
  while (!parts.empty() && parts.back().empty()) parts.pop_back();
  r.key = FoldWide(r.full);
  if (r.trailingSeparator) r.key.pop_back();

  auto drive = s.drives.find(UpperDrive(r.full[0]));
  if (drive == s.drives.end()) {
    r.error = ERROR_PATH_NOT_FOUND;
    return r;
  }
  for (const std::u16string& part : parts) {
    for (char16_t c : part) {
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
    auto it = cur->children.find(FoldWide(parts[i]));
    if (it == cur->children.end() || !it->second->isDir) {
      r.error = ERROR_PATH_NOT_FOUND;
      return r;
    }
    cur = it->second;
  }
  r.parent = cur.get();
  r.leaf = parts.back();
  auto it = cur->children.find(FoldWide(r.leaf));
  if (it != cur->children.end()) {
    if (r.trailingSeparator && !it->second->isDir) {
      r.error = ERROR_INVALID_NAME;  // "file.txt\" names nothing
      return r;
    }
    r.node = it->second;
  }
  return r;
}

std::shared_ptr<FsNode> MakeDirectories(const std::u16string& path) {
  World::Impl& s = State();
  std::u16string full;
  DWORD error = 0;
  if (!FullPath(path, &full, &error) || IsUncText(full) || !HasDrivePrefix(full)) return nullptr;
  char letter = UpperDrive(full[0]);
  auto& root = s.drives[letter];
  if (!root) {
    root = std::make_shared<FsNode>();
    root->isDir = true;
    root->name = std::u16string(1, static_cast<char16_t>(letter)) + u":";
    root->attributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  }
  std::vector<std::u16string> parts;
  SplitComponents(full.substr(3), &parts);
  std::shared_ptr<FsNode> cur = root;
  for (const std::u16string& part : parts) {
    if (part.empty()) continue;
    auto found = cur->children.find(FoldWide(part));
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

std::shared_ptr<FsNode> AddChildNode(FsNode* parent, const std::u16string& name, bool isDir) {
  auto node = std::make_shared<FsNode>();
  node->isDir = isDir;
  node->name = name;
  node->attributes = isDir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  node->parent = parent;
  parent->children[FoldWide(name)] = node;
  return node;
}

}  // namespace sim
