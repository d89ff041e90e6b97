// Header settings of the setting section.
#include <algorithm>
#include <array>
#include <string_view>

#include "Texts.h"
#include "mmlcU.h"

namespace tw {
namespace {

// The text without leading and trailing control characters and blanks (codes 0 to 32). Trail
// bytes of double-byte characters are never that low, so a character is never cut in two.
std::string_view Trim(std::string_view s) {
  while (!s.empty() && static_cast<uint8_t>(s.front()) <= 32) s.remove_prefix(1);
  while (!s.empty() && static_cast<uint8_t>(s.back()) <= 32) s.remove_suffix(1);
  return s;
}

// A per-channel list after its first number: "a,b,c..." gives entries 0, 1, 2...; values
// outside lo..hi, a comma without a number and values past the sixteenth are dropped (-1
// stays). A single number applies to all sixteen channels. Returns the number of entries read
// after the first, each a step of work (the list has no length limit).
uint64_t ReadChannelList(TSrcCtrl& src, int first, std::array<int, 16>& entries, int lo, int hi) {
  auto valid = [lo, hi](int v) { return v >= lo && v <= hi; };
  if (valid(first)) entries[0] = first;
  if (!src.TestComma()) {
    std::fill(entries.begin() + 1, entries.end(), entries[0]);
    return 0;
  }
  size_t k = 1;
  uint64_t read = 0;
  do {
    const int v = src.ReadNumber();
    if (k < entries.size() && valid(v)) entries[k] = v;
    if (k < entries.size()) ++k;
    ++read;
  } while (src.TestComma());
  return read;
}

}  // namespace

void TMmlc::RegisterHeaderCommands() {
  Bind("TITLE", &TMmlc::CmdTitle);
  Bind("SORC", &TMmlc::CmdSorc);
  Bind("COPY", &TMmlc::CmdCopy);
  Bind("DATE", &TMmlc::CmdDate);
  Bind("PROT", &TMmlc::CmdProt);
  Bind("TARGET", &TMmlc::CmdTarget);
  Bind("VIBRATION", &TMmlc::CmdVibration);
  Bind("FLASH", &TMmlc::CmdFlash);
  Bind("MASTERVOL", &TMmlc::CmdMasterVol);
  Bind("NOTEMODE", &TMmlc::CmdNoteMode);
  Bind("LIMIT", &TMmlc::CmdLimit);
  Bind("OPTIMIZE", &TMmlc::CmdOptimize);
  Bind("SYNC", &TMmlc::CmdSync);
  Bind("BENDRANGE", &TMmlc::CmdBendRange);
  Bind("OCT", &TMmlc::CmdOct);
  Bind("TONEFILE", &TMmlc::CmdToneFile);
  Bind("MONOPOLY", &TMmlc::CmdMonoPoly);
}

// Common start of every header keyword: only in the setting section, then an optional "=".
// The blank skipping looks past line ends, so "=" and the argument may stand on a later line.
bool TMmlc::BeginSetting(const std::string& token) {
  if (FSrc.FMode != smSetting) return Fail(token, text::kMsgNotHere);
  FSrc.TestEquals();
  return true;
}

// Keywords that are accepted without effect: their line is dropped.
bool TMmlc::IgnoreLine(const std::string& token) {
  if (!BeginSetting(token)) return false;
  FSrc.ReadRestOfLine();
  return true;
}

// Keywords with a number that has no effect; without a number the line is dropped.
bool TMmlc::IgnoreNumber(const std::string& token) {
  if (!BeginSetting(token)) return false;
  if (FSrc.ReadNumber() < 0) FSrc.ReadRestOfLine();
  return true;
}

// The title goes into an XF lyric-header text event; its bytes are kept as written.
bool TMmlc::CmdTitle(const std::string& token) {
  if (!BeginSetting(token)) return false;
  const std::string line = FSrc.ReadRestOfLine();
  std::string meta = "XFln:JP:";
  meta += Trim(line);
  meta += ":::::";
  FSmf.AddMeta(OutTime(), 1, meta);
  return true;
}

bool TMmlc::CmdCopy(const std::string& token) {
  if (!BeginSetting(token)) return false;
  const std::string line = FSrc.ReadRestOfLine();
  const std::string_view notice = Trim(line);
  if (!notice.empty()) FSmf.AddMeta(OutTime(), 2, notice);
  return true;
}

// The universal real-time Master Volume message, coarse part v.
bool TMmlc::CmdMasterVol(const std::string& token) {
  if (!BeginSetting(token)) return false;
  const int n = FSrc.ReadNumber();
  if (n < 0) {
    FSrc.ReadRestOfLine();
    return true;
  }
  if (n > 127) return Fail(token, text::kMsgBadValue);
  FMasterVolume = n;
  const char data[6] = {'\x7F', '\x7F', '\x04', '\x01', '\x00', static_cast<char>(n)};
  FSmf.AddSysEx(OutTime(), std::string_view(data, sizeof data));
  return true;
}

// Pitch-bend sensitivity (registered parameter 0) per raw MIDI channel; a channel without a
// valid range is left at -1 and gets no events. Ranges 22 and 23 give the same events as the
// hardware-loop marks.
bool TMmlc::CmdBendRange(const std::string& token) {
  if (!BeginSetting(token)) return false;
  FBendRange.fill(-1);
  const int first = FSrc.ReadNumber();
  if (first < 0) return true;
  AddWork(ReadChannelList(FSrc, first, FBendRange, 1, 127));
  for (int c = 0; c < 16; ++c) {
    const int range = FBendRange[c];
    if (range == -1) continue;
    AddBendRange(OutTime(), c, range);
  }
  return true;
}

// Per channel: 0 sends mono mode on (126 = 1), 1 poly mode on (127 = 0).
bool TMmlc::CmdMonoPoly(const std::string& token) {
  if (!BeginSetting(token)) return false;
  const int first = FSrc.ReadNumber();
  if (first < 0) {
    FSrc.ReadRestOfLine();
    return true;
  }
  std::array<int, 16> modes;
  modes.fill(-1);
  AddWork(ReadChannelList(FSrc, first, modes, 0, 1));
  for (int c = 0; c < 16; ++c) {
    if (modes[c] == 0) FSmf.AddControlChange(OutTime(), c, 0, 126, 1);
    if (modes[c] == 1) FSmf.AddControlChange(OutTime(), c, 0, 127, 0);
  }
  return true;
}

bool TMmlc::CmdNoteMode(const std::string& token) {
  if (!BeginSetting(token)) return false;
  const int n = FSrc.ReadNumber();
  if (n < 0) FSrc.ReadRestOfLine();
  if (n == 0 || n == 1) FNoteMode = n == 1;
  return true;
}

bool TMmlc::CmdOct(const std::string& token) {
  if (!BeginSetting(token)) return false;
  const int n = FSrc.ReadNumber();
  if (n < 0)
    FSrc.ReadRestOfLine();
  else
    FOctaveUpOnLess = n == 0;
  return true;
}

bool TMmlc::CmdVibration(const std::string& token) { return IgnoreNumber(token); }
bool TMmlc::CmdFlash(const std::string& token) { return IgnoreNumber(token); }
bool TMmlc::CmdSorc(const std::string& token) { return IgnoreLine(token); }
bool TMmlc::CmdDate(const std::string& token) { return IgnoreLine(token); }
bool TMmlc::CmdProt(const std::string& token) { return IgnoreLine(token); }
bool TMmlc::CmdTarget(const std::string& token) { return IgnoreLine(token); }
bool TMmlc::CmdLimit(const std::string& token) { return IgnoreLine(token); }
bool TMmlc::CmdOptimize(const std::string& token) { return IgnoreLine(token); }
bool TMmlc::CmdSync(const std::string& token) { return IgnoreLine(token); }
bool TMmlc::CmdToneFile(const std::string& token) { return IgnoreLine(token); }

}  // namespace tw
