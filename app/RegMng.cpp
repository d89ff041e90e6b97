#include "RegMng.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <sys/stat.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "Cp932.h"
#include "FileIO.h"
#include "Texts.h"

namespace tw {
namespace {

constexpr size_t npos = std::string_view::npos;

// ASCII letters folded to upper case. A double-byte character is stepped over whole, so that
// its second byte is never taken for a letter.
std::string FoldUpper(std::string_view s) {
  std::string out(s);
  for (size_t i = 0; i < out.size(); ++i) {
    const uint8_t b = static_cast<uint8_t>(out[i]);
    if (IsLeadByte(b)) {
      ++i;
    } else if (b >= 'a' && b <= 'z') {
      out[i] = static_cast<char>(b - 'a' + 'A');
    }
  }
  return out;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && FoldUpper(a) == FoldUpper(b);
}

// The first single-byte `c` in s, never the second byte of a double-byte character.
size_t FindChar(std::string_view s, char c) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == c) return i;
    if (IsLeadByte(static_cast<uint8_t>(s[i]))) ++i;
  }
  return npos;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != npos; }

// An INI file held as its lines: "[Name]" opens a section, "key=value" is an entry of the
// section above it; names compare without regard to case, names and values without surrounding
// blanks. Every other line (comments, blank lines, entries before the first section) is kept
// untouched.
class TIniLines {
 public:
  explicit TIniLines(std::vector<std::string> lines) : FLines(std::move(lines)) {}

  const std::vector<std::string>& Lines() const { return FLines; }

  // The value of the first entry `ident` in the first section `section`, if any.
  bool Find(std::string_view section, std::string_view ident, std::string& value) const {
    size_t header = 0, end = 0;
    if (!FindSection(section, header, end)) return false;
    const size_t at = FindKey(header, end, ident);
    if (at == npos) return false;
    value = Trim(std::string_view(FLines[at]).substr(ValueStart(at)));
    return true;
  }

  // Replaces the value of an existing entry in place (the text before it stays as it was),
  // adds a missing entry after the last non-blank line of its section, and a missing section
  // at the end.
  void Set(std::string_view section, std::string_view ident, std::string_view value) {
    const std::string entry = std::string(ident) + "=" + std::string(value);
    size_t header = 0, end = 0;
    if (!FindSection(section, header, end)) {
      if (!FLines.empty() && !Trim(FLines.back()).empty()) FLines.emplace_back();
      std::string line = "[";  // built in steps: GCC 12 misreads "[" + string as overlapping
      line += section;
      line += ']';
      FLines.push_back(std::move(line));
      FLines.push_back(entry);
      return;
    }
    const size_t at = FindKey(header, end, ident);
    if (at != npos) {
      FLines[at].resize(ValueStart(at));
      FLines[at] += value;
      return;
    }
    size_t insertAt = header + 1;
    for (size_t i = header + 1; i < end; ++i) {
      if (!Trim(Content(i)).empty()) insertAt = i + 1;
    }
    FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
  }

 private:
  // Line i without a UTF-8 byte order mark that an editor may have put before the first line.
  std::string_view Content(size_t i) const {
    std::string_view line = FLines[i];
    if (i == 0 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
    return line;
  }

  // Whether line i is a section header "[Name]", and its name (up to "]" or the line end).
  bool IsHeader(size_t i, std::string_view& name) const {
    const std::string_view line = Trim(Content(i));
    if (line.empty() || line.front() != '[') return false;
    const std::string_view inner = line.substr(1);
    name = Trim(inner.substr(0, FindChar(inner, ']')));
    return true;
  }

  // The first section `section`: its header line and the line after its last line.
  bool FindSection(std::string_view section, size_t& header, size_t& end) const {
    std::string_view name;
    size_t i = 0;
    while (i < FLines.size() && !(IsHeader(i, name) && SameText(name, section))) ++i;
    if (i == FLines.size()) return false;
    header = i;
    for (++i; i < FLines.size() && !IsHeader(i, name); ++i) {
    }
    end = i;
    return true;
  }

  // The key of an entry line, or an empty view for any other line.
  std::string_view KeyOf(size_t i) const {
    const std::string_view line = Content(i);
    const size_t eq = FindChar(line, '=');
    return eq == npos ? std::string_view() : Trim(line.substr(0, eq));
  }

  size_t FindKey(size_t header, size_t end, std::string_view ident) const {
    for (size_t i = header + 1; i < end; ++i) {
      const std::string_view key = KeyOf(i);
      if (!key.empty() && SameText(key, ident)) return i;
    }
    return npos;
  }

  // Offset in line i of its value: after the "=" and the blanks that follow it.
  size_t ValueStart(size_t i) const {
    const std::string_view line = Content(i);
    size_t at = FindChar(line, '=') + 1;
    while (at < line.size() && IsBlank(line[at])) ++at;
    return at + (FLines[i].size() - line.size());
  }

  std::vector<std::string> FLines;
};

#ifndef _WIN32
// The folder part of a path ("." when it has none).
std::string FolderOf(const std::string& path) {
  const size_t at = path.find_last_of('/');
  if (at == std::string::npos) return ".";
  return at == 0 ? "/" : path.substr(0, at);
}

// The folder for per-user settings: $XDG_CONFIG_HOME when it is an absolute path, else
// ~/.config; empty when neither is known.
std::string ConfigHome() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home && home[0] != '\0') return std::string(home) + "/.config";
  return "";
}

// Creates the folder and any missing folder above it. Failures are left to the first write,
// which reports them with the path.
void MakeFolders(const std::string& dir) {
  for (size_t at = dir.find('/', 1); at != std::string::npos; at = dir.find('/', at + 1)) {
    ::mkdir(dir.substr(0, at).c_str(), 0700);
  }
  ::mkdir(dir.c_str(), 0700);
}
#endif

// A text of a decimal integer (optional sign) as a 32-bit value; anything else, including a
// number outside the 32-bit range, gives 0.
int32_t ToInt32(std::string_view s) {
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return 0;
  int64_t n = 0;
  for (const char c : s) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
    if (n > int64_t{INT32_MAX} + 1) return 0;
  }
  if (negative) n = -n;
  if (n > INT32_MAX) return 0;
  return static_cast<int32_t>(n);
}

}  // namespace

std::string TRegFiler::ReadString(const std::string& section, const std::string& ident,
                                  const std::string& deflt) {
  const std::string_view sec = Trim(section), id = Trim(ident);
  if (sec.empty() || id.empty()) return deflt;
  const std::string& path = FManager.IniFileName;
  if (!FileExists(path)) return deflt;
  std::string bytes;
  try {
    bytes = ReadWholeFile(path, "");
  } catch (const FileError&) {
    return deflt;  // an unreadable file: every value takes its default
  }
  std::string value;
  return TIniLines(SplitTextLines(bytes, false)).Find(sec, id, value) ? value : deflt;
}

void TRegFiler::WriteString(const std::string& section, const std::string& ident, const std::string& value) {
  const std::string_view sec = Trim(section), id = Trim(ident);
  if (sec.empty() || id.empty()) return;
  // A name or value that the file could not hold as one line (or that would read back as
  // something else) is not stored, like an empty name.
  if (HasLineBreak(sec) || HasLineBreak(id) || HasLineBreak(value)) return;
  if (FindChar(sec, ']') != npos || FindChar(id, '=') != npos || id.front() == '[') return;

  const std::string& path = FManager.IniFileName;
  std::vector<std::string> lines;
  // An existing file that cannot be read is not replaced: its other lines would be lost.
  if (FileExists(path)) {
    try {
      lines = SplitTextLines(ReadWholeFile(path, text::kMsgWriteFailed), false);
    } catch (const FileError& e) {
      throw FileError(e.Message(), path);
    }
  }
  TIniLines ini(std::move(lines));
  ini.Set(sec, id, Trim(value));  // read back without its blanks anyway
  WriteFileAtomic(path, JoinLinesCrLf(ini.Lines()));
}

bool TRegFiler::ReadBool() {
  if (!FItem) return false;
  const std::string deflt = FoldUpper(FItem->DefaultValue);
  const bool defaultTrue = deflt == "1" || deflt == "TRUE" || deflt == "YES";
  const int32_t n = ToInt32(ReadString(FItem->Section, FItem->Ident, defaultTrue ? "1" : "0"));
  return (static_cast<uint32_t>(n) & 0xFFu) != 0;
}

void TRegFiler::WriteBool(bool value) {
  if (!FItem) return;
  WriteString(FItem->Section, FItem->Ident, value ? "1" : "0");
}

TRegManager::TRegManager() : RegItems(OptionItems()), FFiler(*this) {}

TRegFiler& TRegManager::Item(const std::string& name) {
  FFiler.FItem = nullptr;
  const std::string wanted = FoldUpper(name);
  for (const TRegItem& item : RegItems) {
    if (item.Name.size() == wanted.size() && FoldUpper(item.Name) == wanted) {
      FFiler.FItem = &item;
      return FFiler;
    }
  }
  if (OnError) OnError(text::kMsgRegItemInvalidOpen + name + text::kMsgRegItemInvalidClose);
  return FFiler;
}

std::vector<TRegItem> OptionItems() {
  return {
      {"BankInsert", "Compile", "BankInsert", "False"},
      {"ToneBankOn", "Compile", "ToneBankOn", "True"},
      {"DrumBankOn", "Compile", "DrumBankOn", "True"},
      {"VolToVelo", "Compile", "VolToVelo", "Flase"},
      {"VeloFixCmd", "Compile", "VeloFixCmd", "True"},
      {"HLoopOut", "Compile", "HLoopOut", "False"},
      {"ATSCtrl", "Compile", "AutoLoad", "False"},
  };
}

std::string SettingsPath(const std::string& exePath) {
  const std::string beside = ChangeFileExt(exePath, ".ini");
#ifdef _WIN32
  // Windows: always beside the executable, where the program has always kept it.
  return beside;
#else
  const std::string folder = FolderOf(exePath);
  struct stat st{};
  if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(folder.c_str(), W_OK) == 0) {
    return beside;
  }
  const std::string base = ConfigHome();
  if (base.empty()) return beside;  // nowhere better: the first write reports the failure
  const std::string dir = base + "/toneweld";
  MakeFolders(dir);
  return dir + "/toneweld.ini";
#endif
}

}  // namespace tw
