// TMldLpPatch: rewrites the hardware-loop proxy events of an MLD file into loop events.
//
// The authoring tool keeps each hardware-loop mark of the compiled SMF as a bend-range event
// 0xFF 0xE7 with the value 22 (loop start) or 23 (loop end). PatchFile turns each of them, in
// place, into a loop event 0xFF 0xDD with the loop byte (number, repeat count field, start/end)
// and takes the repeat counts from the loop data file beside the MLD file (song.mld: song.lpd).
// Nothing else in the file changes: it keeps its size and every other byte.
#pragma once

#include <string>

namespace tw {

class TMldLpPatch {
 public:
  // The text for the log: loop data status and loop count after a success, the reason (as far
  // as one is given) after a failure. Empty at creation.
  std::string FReport;

  // Patches the MLD file at `path` in place. True when the file was walked completely and
  // written back. A structure fault sets FReport to the structure error and writes nothing; a
  // failing write leaves the file whole and FReport as it stood. Errors reading the loop data
  // file or loading the MLD file are thrown (FileError).
  bool PatchFile(const std::string& path);
};

}  // namespace tw
