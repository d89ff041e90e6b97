// Controller and system commands: single control changes, bend range, program map and bank
// select, velocity-fix tables, sequencer-specific meta events and system exclusive messages.
#include <initializer_list>
#include <string_view>

#include "Texts.h"
#include "mmlcU.h"

namespace tw {
namespace {

using namespace std::string_view_literals;

// "@EX" takes at most this many data bytes.
constexpr size_t kMaxExBytes = 253;
// A system reset moves the rest of the song on by one quarter note (timebase 48).
constexpr Tick kResetPause = 48;

// Message bytes from values 0..255.
std::string Data(std::initializer_list<int> bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const int b : bytes) out.push_back(static_cast<char>(static_cast<uint8_t>(b)));
  return out;
}

}  // namespace

void TMmlc::RegisterControlCommands() {
  static constexpr struct {
    const char* keyword;
    bool (TMmlc::*handler)(const std::string&);
  } kCommands[] = {
      {"@PRG", &TMmlc::CmdPrg},         {"@BANK", &TMmlc::CmdBank},       {"@EXP", &TMmlc::CmdExp},
      {"@HOLD", &TMmlc::CmdHold},       {"@RANGE", &TMmlc::CmdRange},     {"@MONO", &TMmlc::CmdMono},
      {"@POLY", &TMmlc::CmdPoly},       {"@FB", &TMmlc::CmdFb},           {"@FR", &TMmlc::CmdFr},
      {"@XFQUE", &TMmlc::CmdXfQue},     {"@ALCH", &TMmlc::CmdAlch},       {"@HVCH", &TMmlc::CmdHvch},
      {"@MVOL", &TMmlc::CmdMVol},       {"@SPAN", &TMmlc::CmdSpan},       {"@SPCM", &TMmlc::CmdSpcm},
      {"@UFIX", &TMmlc::CmdUFix},       {"@UMODE", &TMmlc::CmdUMode},     {"@ALLS", &TMmlc::CmdAllS},
      {"@ALLN", &TMmlc::CmdAllN},       {"@RESET", &TMmlc::CmdReset},     {"@SPP", &TMmlc::CmdSpp},
      {"@CC", &TMmlc::CmdCc},           {"@EX", &TMmlc::CmdEx},           {"@GMRESET", &TMmlc::CmdGmReset},
      {"@GSRESET", &TMmlc::CmdGsReset}, {"@XGRESET", &TMmlc::CmdXgReset},
  };
  for (const auto& c : kCommands) Bind(c.keyword, c.handler);
}

// The place check and the arguments of a command of this group: count decimal numbers, each in
// lo..hi, with "," between them. Each value is checked as soon as it is read; the first fault
// ends the command.
bool TMmlc::ControlArgs(const std::string& token, int* values, int count, int lo, int hi) {
  if (!InExtendedTrack()) return Fail(token, text::kMsgNotHere);
  for (int i = 0; i < count; ++i) {
    if (i > 0 && !FSrc.TestComma()) return Fail(token, text::kMsgTooFewArgs);
    const int n = FSrc.ReadNumber();
    if (n < lo || n > hi) return Fail(token, text::kMsgBadValue);
    values[i] = n;
  }
  return true;
}

// One control change: the value is read from the source (0..127) when fixedValue is below 0.
// The value is stored in *level even on a muted part; the event is not written there.
bool TMmlc::ControlChange(const std::string& token, int controller, int fixedValue, int* level) {
  int value = fixedValue;
  if (!(fixedValue < 0 ? ControlArgs(token, &value, 1) : ControlArgs(token, nullptr, 0))) return false;
  if (level) *level = value;
  if (!Muted()) FSmf.AddControlChange(OutTime(), OutChannel(), 0, controller, value);
  return true;
}

bool TMmlc::CmdExp(const std::string& token) { return ControlChange(token, 11, -1, &FExpression); }
bool TMmlc::CmdHold(const std::string& token) { return ControlChange(token, 64, -1); }
bool TMmlc::CmdFb(const std::string& token) { return ControlChange(token, 74, -1, &FBrightness); }
bool TMmlc::CmdFr(const std::string& token) { return ControlChange(token, 71, -1, &FResonance); }
bool TMmlc::CmdMono(const std::string& token) { return ControlChange(token, 126, 1); }
bool TMmlc::CmdPoly(const std::string& token) { return ControlChange(token, 127, 0); }
bool TMmlc::CmdAllS(const std::string& token) { return ControlChange(token, 120, 0); }
bool TMmlc::CmdAllN(const std::string& token) { return ControlChange(token, 123, 0); }
bool TMmlc::CmdReset(const std::string& token) { return ControlChange(token, 121, 0); }

bool TMmlc::CmdCc(const std::string& token) {
  int v[2] = {};
  if (!ControlArgs(token, v, 2)) return false;
  if (!Muted()) FSmf.AddControlChange(OutTime(), OutChannel(), 0, v[0], v[1]);
  return true;
}

// Registered parameter 0 (pitch-bend sensitivity). A muted part keeps its range as well.
bool TMmlc::CmdRange(const std::string& token) {
  int v = 0;
  if (!ControlArgs(token, &v, 1)) return false;
  if (Muted()) return true;
  const int channel = OutChannel();
  FBendRange[channel] = v;
  AddBendRange(OutTime(), channel, v);
  return true;
}

bool TMmlc::CmdPrg(const std::string& token) {
  int v[2] = {};
  if (!ControlArgs(token, v, 2, 1, 128)) return false;
  FProgramMap[v[0]] = static_cast<uint8_t>(v[1] - 1);
  return true;
}

// The bank select is written as the source gives it, unless "@" inserts its own (FOptBankInsert).
// The coarse byte is written before the fine one is read.
bool TMmlc::CmdBank(const std::string& token) {
  int msb = 0;
  if (!ControlArgs(token, &msb, 1)) return false;
  const bool write = !FOptBankInsert && !Muted();
  if (write) FSmf.AddControlChange(OutTime(), OutChannel(), 0, 0, msb);
  if (FSrc.TestComma()) {
    const int lsb = FSrc.ReadNumber();
    if (lsb < 0 || lsb > 127) return Fail(token, text::kMsgBadValue);
    if (write) FSmf.AddControlChange(OutTime(), OutChannel(), 0, 32, lsb);
  }
  return true;
}

// Velocity-fix mode of a program (table 0) or a key (table 1); other tables are accepted and ignored.
bool TMmlc::CmdUFix(const std::string& token) {
  int v[3] = {};
  if (!ControlArgs(token, v, 3)) return false;
  const int table = v[0], index = v[1], mode = v[2];
  if (mode >= 3) return Fail(token, text::kMsgBadValue);
  if (table == 0) FVeloFixByProgram[index] = static_cast<uint8_t>(mode);
  if (table == 1) FVeloFixByNote[index] = static_cast<uint8_t>(mode);
  return true;
}

bool TMmlc::CmdUMode(const std::string& token) {
  int mode = 0;
  if (!ControlArgs(token, &mode, 1, 0, 1)) return false;
  FMelodic = mode == 0;
  return true;
}

bool TMmlc::CmdXfQue(const std::string& token) {
  int v = 0;
  if (!ControlArgs(token, &v, 1)) return false;
  FSmf.AddMeta(OutTime(), 127, Data({0x43, 0x7B, 0x02, v}));
  return true;
}

bool TMmlc::CmdAlch(const std::string& token) {
  int n = 0;
  if (!ControlArgs(token, &n, 1, 1, 16)) return false;
  FSmf.AddMeta(OutTime(), 127, Data({0x43, 0x02, 0x01, 0x01, n - 1, 0x01}));
  return true;
}

bool TMmlc::CmdHvch(const std::string& token) {
  int n = 0;
  if (!ControlArgs(token, &n, 1, 1, 16)) return false;
  FSmf.AddMeta(OutTime(), 127, Data({0x43, 0x02, 0x01, 0x02, n - 1, 0x01}));
  return true;
}

bool TMmlc::CmdMVol(const std::string& token) {
  int v = 0;
  if (!ControlArgs(token, &v, 1)) return false;
  FMasterVolume = v;
  FSmf.AddSysEx(OutTime(), Data({0x7F, 0x7F, 0x04, 0x01, 0x00, v}));
  return true;
}

bool TMmlc::CmdSpcm(const std::string& token) {
  int v = 0;
  if (!ControlArgs(token, &v, 1)) return false;
  FSmf.AddSysEx(OutTime(), Data({0x43, 0x79, 0x06, 0x7F, 0x07, v}));
  return true;
}

bool TMmlc::CmdSpp(const std::string& token) {
  int v[3] = {};
  if (!ControlArgs(token, v, 3)) return false;
  FSmf.AddSysEx(OutTime(), Data({0x43, 0x79, 0x06, 0x7F, 0x08, v[0], v[1], v[2]}));
  return true;
}

bool TMmlc::CmdSpan(const std::string& token) {
  int v[3] = {};
  if (!ControlArgs(token, v, 3)) return false;
  FSmf.AddSysEx(OutTime(), Data({0x43, 0x79, 0x06, 0x7F, 0x0B, v[0], v[1], v[2]}));
  return true;
}

// A free system exclusive message: decimal or "$" hexadecimal values 0..127 separated by ",".
// The whole list is read and checked; bytes past the limit are only counted, not kept.
bool TMmlc::CmdEx(const std::string& token) {
  if (!ControlArgs(token, nullptr, 0)) return false;
  std::string data;
  size_t count = 0;
  do {
    const int v = FSrc.ReadHexOrNumber();
    if (v < 0 || v > 127) return Fail(token, text::kMsgBadValue);
    if (++count <= kMaxExBytes) data.push_back(static_cast<char>(v));
  } while (FSrc.TestComma());
  if (count > kMaxExBytes) return Fail(token, text::kMsgTooMuchData);
  FSmf.AddSysEx(OutTime(), data);
  return true;
}

// Writes a reset message and leaves the devices a quarter note to settle: the rest of this track
// and every later track start that much later.
bool TMmlc::SystemReset(const std::string& token, std::string_view message) {
  if (!ControlArgs(token, nullptr, 0)) return false;
  FSmf.AddSysEx(OutTime(), message);
  FTrackTime += kResetPause;
  FTrackStartTime += kResetPause;
  return true;
}

bool TMmlc::CmdGmReset(const std::string& token) { return SystemReset(token, "\x7E\x7F\x09\x01"sv); }
bool TMmlc::CmdGsReset(const std::string& token) {
  return SystemReset(token, "\x41\x10\x42\x12\x40\x00\x7F\x00\x41"sv);
}
bool TMmlc::CmdXgReset(const std::string& token) { return SystemReset(token, "\x43\x10\x4C\x00\x00\x7E\x00"sv); }

}  // namespace tw
