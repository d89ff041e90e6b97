#include "FileIO.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

#include "Cp932.h"
#include "Texts.h"

namespace tw {
namespace {

std::function<bool(const std::string&)>& WriteFaultHook() {
  static std::function<bool(const std::string&)> hook;
  return hook;
}

[[noreturn]] void ThrowWriteError(const std::string& path, int err) {
  throw FileError(text::kMsgWriteFailed, path + ": " + std::strerror(err));
}

std::string WithDetail(const std::string& message, const std::string& detail) {
  return detail.empty() ? message : message + " (" + detail + ")";
}

}  // namespace

FileError::FileError(const std::string& message, const std::string& detail)
    : std::runtime_error(WithDetail(message, detail)), FMessage(message), FDetail(detail) {}

std::string FileError::Utf8Text() const { return WithDetail(Cp932ToUtf8(FMessage), FDetail); }

std::string ReadWholeFile(const std::string& path, const std::string& message) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) throw FileError(message);
  std::string bytes;
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, got);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) throw FileError(message);
  return bytes;
}

std::vector<std::string> SplitTextLines(std::string_view bytes, bool stopAtNul) {
  const size_t nul = stopAtNul ? bytes.find('\0') : std::string_view::npos;
  if (nul != std::string_view::npos) bytes = bytes.substr(0, nul);
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c != '\n' && c != '\r') continue;
    lines.emplace_back(bytes.substr(start, i - start));
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < bytes.size()) lines.emplace_back(bytes.substr(start));
  return lines;
}

std::string JoinLinesCrLf(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) {
    out += line;
    out += "\r\n";
  }
  return out;
}

std::string ToCrLfText(std::string_view bytes) {
  const size_t nul = bytes.find('\0');
  if (nul != std::string_view::npos) bytes = bytes.substr(0, nul);
  const size_t n = bytes.size();
  std::string out;
  out.reserve(n + n / 16 + 2);  // CR LF text as it is; room for LF-only lines of 16 bytes and more
  // Copies line by line. The next CR and the next LF are each searched for once they have been
  // passed (memchr), so every byte is looked at once even in a file of lone CRs.
  size_t nextLf = bytes.find('\n'), nextCr = bytes.find('\r');
  for (size_t pos = 0; pos < n;) {
    if (nextLf < pos) nextLf = bytes.find('\n', pos);
    if (nextCr < pos) nextCr = bytes.find('\r', pos);
    const size_t end = std::min({nextLf, nextCr, n});
    out.append(bytes.substr(pos, end - pos)).append("\r\n");
    if (end == n) break;
    pos = end + (bytes[end] == '\r' && end + 1 < n && bytes[end + 1] == '\n' ? 2 : 1);
  }
  return out;
}

void SetWriteFaultHook(std::function<bool(const std::string& path)> hook) {
  WriteFaultHook() = std::move(hook);
}

void WriteFileAtomic(const std::string& path, std::string_view bytes) {
  const std::string temp = path + ".tmp" + std::to_string(getpid());
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) ThrowWriteError(path, errno);
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  int err = ok ? 0 : errno;
  if (std::fclose(f) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok && WriteFaultHook() && !WriteFaultHook()(path)) {
    ok = false;
    err = ENOSPC;
  }
  if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
#ifdef _WIN32
    // rename does not replace an existing file on Windows.
    std::remove(path.c_str());
    ok = std::rename(temp.c_str(), path.c_str()) == 0;
#else
    ok = false;
#endif
    if (!ok) err = errno;
  }
  if (!ok) {
    std::remove(temp.c_str());
    ThrowWriteError(path, err);
  }
}

bool FileExists(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFREG;
}

bool RemoveFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

std::string ChangeFileExt(const std::string& path, std::string_view ext) {
#ifdef _WIN32
  constexpr std::string_view kStops = ".\\/:";
#else
  constexpr std::string_view kStops = "./";
#endif
  const size_t at = path.find_last_of(kStops);
  std::string out = (at != std::string::npos && path[at] == '.') ? path.substr(0, at) : path;
  out += ext;
  return out;
}

}  // namespace tw
