// Whole-file and text-line I/O shared by the compiler, the patcher and the front ends.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// A file-system failure: a message of the system (code page 932 text) and, where there is one,
// a detail with the path and the system's reason (the system's own bytes: a file name is not
// code page 932). what() gives both as they are.
class FileError : public std::runtime_error {
 public:
  explicit FileError(const std::string& message, const std::string& detail = {});
  const std::string& Message() const { return FMessage; }
  const std::string& Detail() const { return FDetail; }
  // For display: the message in UTF-8, then the detail in parentheses.
  std::string Utf8Text() const;

 private:
  std::string FMessage, FDetail;
};

// The whole file as bytes; throws FileError with `message` when it cannot be read.
std::string ReadWholeFile(const std::string& path, const std::string& message);

// Splits text into lines at LF, CR or CR LF (counted once). A NUL byte ends the content, as
// for a source; a file that must be rewritten whole keeps what follows it (stopAtNul false).
std::vector<std::string> SplitTextLines(std::string_view bytes, bool stopAtNul = true);

// Every line followed by CR LF.
std::string JoinLinesCrLf(const std::vector<std::string>& lines);

// The same as JoinLinesCrLf(SplitTextLines(bytes)) in one pass: the content up to a NUL byte
// with every line, the last one included, ended by CR LF.
std::string ToCrLfText(std::string_view bytes);

// Writes the bytes to a temporary file in the same folder and renames it over `path`, so that
// a failure leaves any old file whole. Throws FileError when the write fails.
void WriteFileAtomic(const std::string& path, std::string_view bytes);

// Test seam: when set, called before each atomic write; returning false makes the write fail
// after the temporary file was created, as a full disk would.
void SetWriteFaultHook(std::function<bool(const std::string& path)> hook);

bool FileExists(const std::string& path);
bool RemoveFile(const std::string& path);

// The path with the extension of its file name replaced by `ext` (which includes the dot);
// a name without an extension gets `ext` appended.
std::string ChangeFileExt(const std::string& path, std::string_view ext);

}  // namespace tw
