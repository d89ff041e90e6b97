#include "MldLpFixU.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string_view>
#include <vector>

#include "FileIO.h"
#include "Texts.h"

namespace tw {
namespace {

constexpr size_t kLoopTableSize = 4;  // at most four hardware loops per source
constexpr uint8_t kMaxLoopNumber = 3;

constexpr uint8_t kExtendedStatus = 0xFF;
constexpr uint8_t kLongEventCodes = 0xF0;  // extended events from here on carry a 2-byte length
constexpr uint8_t kBendRangeCode = 0xE7;
constexpr uint8_t kLoopCode = 0xDD;
constexpr uint8_t kProxyLoopStart = 22;
constexpr uint8_t kProxyLoopEnd = 23;

constexpr size_t kFileHeadSize = 13;
constexpr size_t kHeaderChunkHeadSize = 6;
constexpr size_t kTrackChunkHeadSize = 8;

// The repeat count field of one loop data line: (v - 1) mod 16 with a result in 0..15, where v
// is the line's decimal value (blanks around it allowed, optional sign, any number of digits)
// or 2 when the line is not a decimal integer. The modulo is taken digit by digit, so a number
// of any size is reduced exactly and nothing overflows.
uint8_t LoopCountField(std::string_view line) {
  constexpr uint8_t kDefault = 1;  // v = 2
  const size_t first = line.find_first_not_of(" \t");
  if (first == std::string_view::npos) return kDefault;
  line = line.substr(first, line.find_last_not_of(" \t") - first + 1);
  bool negative = false;
  if (line.front() == '+' || line.front() == '-') {
    negative = line.front() == '-';
    line.remove_prefix(1);
  }
  if (line.empty()) return kDefault;
  unsigned magnitude = 0;  // |v| mod 16
  for (const char c : line) {
    if (c < '0' || c > '9') return kDefault;
    magnitude = (magnitude * 10 + static_cast<unsigned>(c - '0')) % 16;
  }
  const unsigned v = negative ? (16 - magnitude) % 16 : magnitude;  // v mod 16, in 0..15
  return static_cast<uint8_t>((v + 15) % 16);
}

// Walks the MLD image and rewrites its proxy events in place. Returns false on a structure
// fault; the image may then be partly rewritten and must not be written back. Every byte read
// is checked against the image size first.
bool PatchImage(std::string& image, const uint8_t (&counts)[kLoopTableSize], size_t& loopEnds) {
  const size_t size = image.size();
  const auto remains = [size](size_t pos, size_t n) { return pos <= size && size - pos >= n; };
  const auto byteAt = [&image](size_t pos) { return static_cast<uint8_t>(image[pos]); };
  const auto word16 = [&](size_t pos) { return static_cast<size_t>(byteAt(pos)) << 8 | byteAt(pos + 1); };
  const auto word32 = [&](size_t pos) { return static_cast<uint64_t>(word16(pos)) << 16 | word16(pos + 2); };
  const auto idIs = [&image](size_t pos, std::string_view id) { return image.compare(pos, id.size(), id) == 0; };

  // File head: "melo", header length H at 8 (bytes from offset 10 to the first track chunk),
  // track count T at 12.
  if (!remains(0, kFileHeadSize) || !idIs(0, "melo")) return false;
  const size_t trackArea = 10 + word16(8);
  const unsigned trackCount = byteAt(12);
  if (trackArea > size) return false;

  // Header chunks: only "note" matters, the number of bytes that follow each note event's
  // first three.
  size_t extraNoteBytes = 0;
  for (size_t pos = kFileHeadSize; pos < trackArea;) {
    if (!remains(pos, kHeaderChunkHeadSize)) return false;
    const size_t length = word16(pos + 4);
    if (idIs(pos, "note")) {
      if (length != 2 || !remains(pos + kHeaderChunkHeadSize, 2)) return false;
      extraNoteBytes = word16(pos + kHeaderChunkHeadSize);
    }
    pos += kHeaderChunkHeadSize + length;
  }

  uint8_t loopNumber = 0;
  size_t chunk = trackArea;
  for (unsigned t = 0; t < trackCount; ++t) {
    if (chunk > size) break;
    if (!remains(chunk, kTrackChunkHeadSize) || !idIs(chunk, "trac")) return false;
    const uint64_t length = word32(chunk + 4);
    // A chunk that claims more data than the file holds is a broken file, not a short walk.
    if (length > size - chunk - kTrackChunkHeadSize) return false;
    const size_t end = chunk + kTrackChunkHeadSize + static_cast<size_t>(length);
    for (size_t pos = chunk + kTrackChunkHeadSize; pos < end;) {
      // An event may run over its chunk's end into the following bytes, but never past the
      // end of the file.
      if (!remains(pos, 3)) return false;
      const uint8_t status = byteAt(pos + 1);
      const uint8_t code = byteAt(pos + 2);
      if (status != kExtendedStatus) {
        pos += 3 + extraNoteBytes;
      } else if (code >= kLongEventCodes) {
        if (!remains(pos, 5)) return false;
        pos += 5 + word16(pos + 3);
      } else {
        if (!remains(pos, 4)) return false;
        const uint8_t value = byteAt(pos + 3);
        if (code == kBendRangeCode && (value == kProxyLoopStart || value == kProxyLoopEnd)) {
          uint8_t loopByte = static_cast<uint8_t>(loopNumber << 6);
          if (value == kProxyLoopEnd) {
            loopByte = static_cast<uint8_t>(loopByte | ((counts[loopNumber] % 16) << 2) | 1);
            loopNumber = std::min<uint8_t>(loopNumber + 1, kMaxLoopNumber);
            ++loopEnds;
          }
          image[pos + 2] = static_cast<char>(kLoopCode);
          image[pos + 3] = static_cast<char>(loopByte);
        }
        pos += 4;
      }
    }
    chunk = end;
  }
  return true;
}

}  // namespace

bool TMldLpPatch::PatchFile(const std::string& path) {
  // Loop data: one line per loop in order; loops without a line keep the field 1 (twice).
  uint8_t counts[kLoopTableSize] = {1, 1, 1, 1};
  const std::string loopDataPath = ChangeFileExt(path, ".lpd");
  if (!FileExists(loopDataPath)) {
    FReport = text::kRepNoLoopFile;
  } else {
    const std::vector<std::string> lines = SplitTextLines(ReadWholeFile(loopDataPath, text::kMsgLoopDataReadFailed));
    if (lines.empty()) {
      FReport = text::kRepNoLoopData;
    } else {
      // Lines after the fourth belong to no loop the file can hold.
      for (size_t i = 0; i < std::min(lines.size(), kLoopTableSize); ++i) counts[i] = LoopCountField(lines[i]);
      FReport = text::kRepLoopData;
    }
  }

  std::string image = ReadWholeFile(path, text::kMsgMldReadFailed);
  try {
    size_t loopEnds = 0;
    if (!PatchImage(image, counts, loopEnds)) {
      FReport = text::kRepBadStructure;
      return false;
    }
    FReport += "\r\n";
    FReport += text::kRepLoopCount;
    FReport += std::to_string(loopEnds);
    WriteFileAtomic(path, image);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace tw
