// Whole-file and text-line I/O shared by the compiler, the patcher and the front ends.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// A file-system failure. The message is code page 932 text, like every message of the system.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The whole file as bytes; throws FileError with `message` when it cannot be read.
std::string ReadWholeFile(const std::string& path, const std::string& message);

// Splits text into lines at LF, CR or CR LF (counted once). A NUL byte ends the content, as
// for a source; a file that must be rewritten whole keeps what follows it (stopAtNul false).
std::vector<std::string> SplitTextLines(std::string_view bytes, bool stopAtNul = true);

// Every line followed by CR LF.
std::string JoinLinesCrLf(const std::vector<std::string>& lines);

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
