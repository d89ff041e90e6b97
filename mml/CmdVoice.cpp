// Voice commands: program, modulation, bend, tempo, volume, velocity, pan, volume steps and
// transpose.
#include <algorithm>

#include "Texts.h"
#include "mmlcU.h"

namespace tw {

void TMmlc::RegisterVoiceCommands() {
  Bind("@", &TMmlc::CmdProgram);
  Bind("%", &TMmlc::CmdModulation);
  Bind("Y", &TMmlc::CmdBend);
  Bind("T", &TMmlc::CmdTempo);
  Bind("V", &TMmlc::CmdVolume);
  Bind("U", &TMmlc::CmdVelocity);
  Bind("P", &TMmlc::CmdPan);
  Bind("~", &TMmlc::CmdVolumeUp);
  Bind("_", &TMmlc::CmdVolumeDown);
  Bind("K", &TMmlc::CmdTranspose);
}

// In a track: an optional bank select, then the program change of the mapped program.
// In the tone section a definition "@n={...}" is stepped over; "@n" without the braces is
// followed by the program number as in a track.
bool TMmlc::CmdProgram(const std::string& token) {
  if (FSrc.FMode == smTone) {
    FSrc.ReadNumber();
    FSrc.TestEquals();
    if (FSrc.TestOpenBrace()) {
      FSrc.SkipToCloseBrace();
      return true;
    }
  } else if (!InTrack()) {
    return Fail(token, text::kMsgNotHere);
  }
  int n = 0;
  if (!ReadValue(token, 1, 128, n)) return false;
  if (FOptBankInsert && !Muted()) {
    if (FRhythm ? FOptDrumBank : FOptToneBank) {
      FSmf.AddControlChange(OutTime(), OutChannel(), 0, 0, FRhythm ? 125 : 124);
      FSmf.AddControlChange(OutTime(), OutChannel(), 0, 32, FRhythm ? 0 : 1);
    }
  }
  FProgram = FProgramMap[n];
  if (!Muted()) FSmf.AddProgramChange(OutTime(), OutChannel(), FProgram);
  return true;
}

bool TMmlc::CmdModulation(const std::string& token) {
  if (!InTrack()) return Fail(token, text::kMsgNotHere);
  int n = 0;
  if (!ReadValue(token, 0, 63, n)) return false;
  FModulation = Scale64(n);
  if (!Muted()) FSmf.AddControlChange(OutTime(), OutChannel(), 0, 1, FModulation);
  return true;
}

// "Y" n sets the bend, "Y+n" and "Y-n" move it; 128 without a sign is accepted and ignored.
bool TMmlc::CmdBend(const std::string& token) {
  if (!InTrack()) return Fail(token, text::kMsgNotHere);
  const int sign = FSrc.ReadSign();
  const int n = FSrc.ReadNumber();
  if (n < 0 || n > 127) return n == 128 && sign == 0 ? true : Fail(token, text::kMsgBadValue);
  const int bend = sign == 0 ? n : FBend + sign * n;
  if (bend < 0 || bend > 127) return Fail(token, text::kMsgInternalRange);
  FBend = bend;
  if (!Muted()) FSmf.AddPitchBend(OutTime(), OutChannel(), 0, FBend - 64);
  return true;
}

// The tempo is song-wide: it is written on a muted part too.
bool TMmlc::CmdTempo(const std::string& token) {
  if (!InTrack()) return Fail(token, text::kMsgNotHere);
  int n = 0;
  if (!ReadValue(token, 10, 255, n)) return false;
  FTempo = n;
  FSmf.AddTempo(OutTime(), n);
  return true;
}

// Rhythm tracks and the volume-to-velocity option fold the volume into the note velocities
// instead of sending control change 7.
bool TMmlc::CmdVolume(const std::string& token) {
  if (!InTrack()) return Fail(token, text::kMsgNotHere);
  int n = 0;
  if (!ReadValue(token, 0, 63, n)) return false;
  FVolume = Scale64(n);
  FVolumeVelo = n;
  if (!Muted() && !FRhythm && !FOptVolToVelo) FSmf.AddControlChange(OutTime(), OutChannel(), 0, 7, FVolume);
  return true;
}

bool TMmlc::CmdVelocity(const std::string& token) {
  if (!InTrack()) return Fail(token, text::kMsgNotHere);
  int n = 0;
  if (!ReadValue(token, 0, 63, n)) return false;
  FVelocity = n;
  return true;
}

bool TMmlc::CmdPan(const std::string& token) {
  if (!InTrack()) return Fail(token, text::kMsgNotHere);
  int n = 0;
  if (!ReadValue(token, 0, 63, n)) return false;
  FPan = Scale64(n);
  if (!Muted()) FSmf.AddControlChange(OutTime(), OutChannel(), 0, 10, FPan);
  return true;
}

// "~" and "_": a step of n (1 when omitted) on the source volume, clamped to 0..63; only
// FVolumeVelo changes, and control change 7 follows it as with "V".
bool TMmlc::StepVolume(const std::string& token, int direction) {
  if (!InTrack()) return Fail(token, text::kMsgNotHere);
  int n = FSrc.ReadNumber();
  if (n == -1) n = 1;
  if (n > 63) return Fail(token, text::kMsgBadValue);
  FVolumeVelo = std::clamp(FVolumeVelo + direction * n, 0, 63);
  if (!Muted() && !FRhythm && !FOptVolToVelo)
    FSmf.AddControlChange(OutTime(), OutChannel(), 0, 7, Scale64(FVolumeVelo));
  return true;
}

bool TMmlc::CmdVolumeUp(const std::string& token) { return StepVolume(token, 1); }
bool TMmlc::CmdVolumeDown(const std::string& token) { return StepVolume(token, -1); }

// "K" needs its number: a bare sign would otherwise transpose by one semitone against the sign.
bool TMmlc::CmdTranspose(const std::string& token) {
  if (!InTrack()) return Fail(token, text::kMsgNotHere);
  const int sign = FSrc.ReadSign();
  const int n = FSrc.ReadNumber();
  if (n < 0) return Fail(token, text::kMsgBadValue);
  FTranspose = sign < 0 ? -n : n;
  return true;
}

}  // namespace tw
