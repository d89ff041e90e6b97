// Notes, rests, ties, lengths, gate cut and octave.
#include <algorithm>

#include "Texts.h"
#include "mmlcU.h"

namespace tw {
namespace {

// Key of each letter A..G in octave 0.
constexpr int kNoteBase[7] = {21, 23, 12, 14, 16, 17, 19};

}  // namespace

void TMmlc::RegisterNoteCommands() {
  for (const char* letter : {"A", "B", "C", "D", "E", "F", "G", "R"}) Bind(letter, &TMmlc::CmdNote);
  Bind("&", &TMmlc::CmdTie);
  Bind("L", &TMmlc::CmdLength);
  Bind("Q", &TMmlc::CmdGateCut);
  Bind("O", &TMmlc::CmdOctave);
  Bind("<", &TMmlc::CmdOctaveLess);
  Bind(">", &TMmlc::CmdOctaveGreater);
}

// The velocity of a note on the MIDI scale: correction table, volume merge, queue, randomness.
int TMmlc::NoteVelocity(int key, int velocity) {
  int mode = 0;
  if (FOptVeloFixCmd) mode = FMelodic ? FVeloFixByProgram[FProgram] : NoteInRange(key) ? FVeloFixByNote[key] : 0;
  int v = mode == 1 ? velocity / 2 : mode == 2 ? velocity : Scale64(velocity);
  if (FRhythm || FOptVolToVelo) v = v * (FVolumeVelo + 1) / 64;
  if (!FVeloQueue.Empty()) v = FVeloQueue.TakeFirst();
  if (FVeloRandOn) {
    const int d = Uniform(-FVeloRandRange, FVeloRandRange);
    v = std::clamp(FVeloRandBase == 128 ? v + d : FVeloRandBase + d, 0, 127);
  }
  return v;
}

bool TMmlc::CmdNote(const std::string& token) {
  if (!InTrack()) return Fail(token, text::kMsgNotHere);
  int key = -1;  // a rest, or a key outside 0..127: no note events
  if (token[0] != 'R') {
    const int64_t k = int64_t{FSrc.ReadAccidental(0)} + kNoteBase[token[0] - 'A'] + 12 * int64_t{FOctave} +
                      FTranspose + FRhythmKeyOffset;
    if (k >= 0 && k <= 127) key = static_cast<int>(k);
  }

  int length = FSrc.ReadNoteLength(FSmf.FTimebase, FDefaultLength);
  const bool zeroLength = length == 0;
  if (zeroLength) length = FDefaultLength;
  Tick gate = std::max<Tick>(Tick{length} - FGateCut, 1);
  int velocity = FVelocity;
  if (FSrc.TestComma()) {
    const int n = FSrc.ReadNumber();
    if (n >= 0) gate = n == 0 ? 1 : n;
    if (FSrc.TestComma()) {
      const int m = FSrc.ReadNumber();
      if (m >= 0) velocity = std::min(m, 63);
    }
  }
  const bool tied = FSrc.TestAmpersand();
  if (tied) gate = Tick{FDefaultLength} + 1;

  int v = NoteVelocity(key, velocity);
  if (FGateRandOn && !FSrc.TestAmpersand()) {
    if (FGateRandLow + FGateRandHigh > 0) gate += Uniform(-FGateRandLow, FGateRandHigh - 1);
    gate = std::clamp<Tick>(gate, 1, std::max(FDefaultLength, 1));
  }
  if (v == 0) v = 1;

  const bool sounding = NoteInRange(key);
  if (FSoundOffArm && FSoundOffPending && sounding) {
    FSmf.AddControlChange(OutTime(), OutChannel(), 0, 120, 0);
    FSoundOffPending = false;
  }
  if (key != FHeldNote && !Muted()) {
    if (sounding) FSmf.AddNoteOn(OutTime(), OutChannel(), 1, key, v);
    if (NoteInRange(FHeldNote)) FSmf.AddNoteOff(OutTime() + 1, OutChannel(), 0, FHeldNote);
  }
  FHeldNote = key;
  if (!tied && sounding) {
    if (!Muted()) FSmf.AddNoteOff(OutTime() + gate, OutChannel(), 0, key);
    FHeldNote = -1;
  }
  if (zeroLength) {
    if (NoteInRange(FHeldNote) && !Muted()) FSmf.AddNoteOff(OutTime() + gate, OutChannel(), 0, FHeldNote);
    FHeldNote = -1;
  } else {
    FTrackTime += length;
    if (FSoundOffArm && sounding) FSoundOffPending = true;
  }
  return true;
}

bool TMmlc::CmdTie(const std::string&) { return true; }

bool TMmlc::CmdLength(const std::string& token) {
  if (!InTrack()) return Fail(token, text::kMsgNotHere);
  const int length = FSrc.ReadNoteLength(FSmf.FTimebase, 0);
  if (length < 1 || length > 192) return Fail(token, text::kMsgBadValue);
  FDefaultLength = length;
  return true;
}

bool TMmlc::CmdGateCut(const std::string& token) {
  if (!InTrack()) return Fail(token, text::kMsgNotHere);
  int n = 0;
  if (!ReadValue(token, 0, 192, n)) return false;
  FGateCut = n;
  return true;
}

bool TMmlc::CmdOctave(const std::string& token) {
  if (!InTrack()) return Fail(token, text::kMsgNotHere);
  int n = 0;
  if (!ReadValue(token, 0, 8, n)) return false;
  FOctave = n;
  return true;
}

bool TMmlc::CmdOctaveLess(const std::string& token) {
  if (!InTrack()) return Fail(token, text::kMsgNotHere);
  FOctave += FOctaveUpOnLess ? 1 : -1;
  return true;
}

bool TMmlc::CmdOctaveGreater(const std::string& token) {
  if (!InTrack()) return Fail(token, text::kMsgNotHere);
  FOctave -= FOctaveUpOnLess ? 1 : -1;
  return true;
}

}  // namespace tw
