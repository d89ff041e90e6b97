// libFuzzer target: patches arbitrary bytes as an MLD file, with an arbitrary loop data file
// beside it, and compares the outcome with a plain reading of the file layout.
//
// Input: byte 0 bit 0 says whether the loop data file exists, byte 1 is the length n of its text
// (cut to what the input holds), then come the n bytes of the loop data text and the rest is the
// MLD image. Both are written into a folder of this process under the temporary folder.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "FileIO.h"
#include "MldLpFixU.h"
#include "Texts.h"

namespace {

namespace fs = std::filesystem;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// The folder of this process, made on first use and removed at exit.
const fs::path& WorkDir() {
  static const fs::path dir = [] {
    const fs::path d = fs::temp_directory_path() / ("toneweld-patch-fuzz-" + std::to_string(getpid()));
    fs::remove_all(d);
    fs::create_directories(d);
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(WorkDir(), ignored);
    });
    return d;
  }();
  return dir;
}

// The repeat count field of a loop data line: (v - 1) mod 16, v = 2 for a line that is not a
// decimal integer. Since 16 divides 10000, the last four digits decide v mod 16.
uint8_t CountField(std::string_view line) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  bool negative = false;
  if (!line.empty() && (line.front() == '-' || line.front() == '+')) {
    negative = line.front() == '-';
    line.remove_prefix(1);
  }
  if (line.empty() || line.find_first_not_of("0123456789") != std::string_view::npos) return 1;
  const int v = std::stoi(std::string(line.substr(line.size() > 4 ? line.size() - 4 : 0))) % 16;
  return static_cast<uint8_t>(((negative ? 16 - v : v) + 15) % 16);
}

struct TExpected {
  bool ok = false;
  std::string image;
  size_t loopEnds = 0;
};

// The patch as the file layout describes it, written out plainly.
TExpected Expect(std::string image, const uint8_t (&fields)[4]) {
  TExpected r;
  const size_t size = image.size();
  const auto u8 = [&](size_t p) -> size_t { return static_cast<uint8_t>(image[p]); };
  const auto u16 = [&](size_t p) { return u8(p) << 8 | u8(p + 1); };
  const auto left = [&](size_t p) { return p <= size ? size - p : 0; };
  if (size < 13 || image.compare(0, 4, "melo") != 0) return r;
  const size_t trackArea = 10 + u16(8);
  if (trackArea > size) return r;
  size_t extra = 0;
  for (size_t p = 13; p < trackArea;) {
    if (left(p) < 6) return r;
    const size_t n = u16(p + 4);
    if (image.compare(p, 4, "note") == 0) {
      if (n != 2 || left(p + 6) < 2) return r;
      extra = u16(p + 6);
    }
    p += 6 + n;
  }
  size_t chunk = trackArea;
  unsigned number = 0;
  for (unsigned t = 0; t < u8(12) && chunk <= size; ++t) {
    if (left(chunk) < 8 || image.compare(chunk, 4, "trac") != 0) return r;
    const uint64_t m = uint64_t{u16(chunk + 4)} << 16 | u16(chunk + 6);
    if (m > left(chunk + 8)) return r;
    const size_t end = chunk + 8 + m;
    for (size_t p = chunk + 8; p < end;) {
      if (left(p) < 3) return r;
      if (u8(p + 1) != 0xFF) {
        p += 3 + extra;
      } else if (u8(p + 2) >= 0xF0) {
        if (left(p) < 5) return r;
        p += 5 + u16(p + 3);
      } else {
        if (left(p) < 4) return r;
        const size_t v = u8(p + 3);
        if (u8(p + 2) == 0xE7 && (v == 22 || v == 23)) {
          image[p + 2] = '\xDD';
          image[p + 3] = static_cast<char>(v == 22 ? number * 64 : number * 64 + fields[number] * 4 + 1);
          if (v == 23) {
            number = std::min(number + 1, 3u);
            ++r.loopEnds;
          }
        }
        p += 4;
      }
    }
    chunk = end;
  }
  r.ok = true;
  r.image = std::move(image);
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const bool hasLoopData = data[0] & 1;
  const size_t loopDataSize = std::min<size_t>(data[1], size - 2);
  const std::string loopData(reinterpret_cast<const char*>(data) + 2, loopDataSize);
  const std::string mld(reinterpret_cast<const char*>(data) + 2 + loopDataSize, size - 2 - loopDataSize);

  const fs::path mldPath = WorkDir() / "song.mld";
  const fs::path lpdPath = WorkDir() / "song.lpd";
  tw::WriteFileAtomic(mldPath.string(), mld);
  std::error_code ignored;
  fs::remove(lpdPath, ignored);
  if (hasLoopData) tw::WriteFileAtomic(lpdPath.string(), loopData);

  uint8_t fields[4] = {1, 1, 1, 1};
  const std::vector<std::string> lines = hasLoopData ? tw::SplitTextLines(loopData) : std::vector<std::string>{};
  for (size_t i = 0; i < std::min<size_t>(lines.size(), 4); ++i) fields[i] = CountField(lines[i]);
  const TExpected expected = Expect(mld, fields);

  tw::TMldLpPatch patcher;
  const bool ok = patcher.PatchFile(mldPath.string());
  const std::string after = tw::ReadWholeFile(mldPath.string(), "read back");

  Check(after.size() == mld.size());
  Check(ok == expected.ok);
  if (!ok) {
    Check(after == mld);
    Check(patcher.FReport == tw::text::kRepBadStructure);
  } else {
    Check(after == expected.image);
    const std::string status = !hasLoopData   ? tw::text::kRepNoLoopFile
                               : lines.empty() ? tw::text::kRepNoLoopData
                                               : tw::text::kRepLoopData;
    Check(patcher.FReport == status + "\r\n" + tw::text::kRepLoopCount + std::to_string(expected.loopEnds));
  }
  // Nothing else is left in the folder (no temporary file of the write).
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(WorkDir())) {
    Check(entry.path() == mldPath || entry.path() == lpdPath);
    ++files;
  }
  Check(files == (hasLoopData ? 2u : 1u));
  return 0;
}
