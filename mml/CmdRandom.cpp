// Random and humanize commands: random velocity and gate, a signed gate cut, a queue of
// explicit velocities, and random event streams built from random sets and step lists.
#include <algorithm>

#include "Texts.h"
#include "mmlcU.h"

namespace tw {
namespace {

// The entries of a random set, in the order "@RNDS" reads them.
enum : int { kSetKind, kSetController, kSetCentre, kSetSpread, kSetStep, kSetMode, kSetList, kSetSize };

// Range of each entry of a random set; the step (a length) has none.
constexpr int kSetLow[kSetSize] = {0, 0, 0, 1, 0, 0, 0};
constexpr int kSetHigh[kSetSize] = {3, 127, 127, 127, INT32_MAX, 2, INT32_MAX};

}  // namespace

void TMmlc::RegisterRandomCommands() {
  Bind("@UL", &TMmlc::CmdUl);
  Bind("@UR", &TMmlc::CmdUr);
  Bind("@URS", &TMmlc::CmdUrs);
  Bind("@Q", &TMmlc::CmdQ);
  Bind("@QR", &TMmlc::CmdQr);
  Bind("@QRS", &TMmlc::CmdQrs);
  Bind("@RNDS", &TMmlc::CmdRnds);
  Bind("@RNDL", &TMmlc::CmdRndl);
  Bind("@RND", &TMmlc::CmdRnd);
}

// base 0..128, range 0..127: every following note of the track gets a random velocity.
bool TMmlc::CmdUr(const std::string& token) {
  if (!InExtendedTrack()) return Fail(token, text::kMsgNotHere);
  FVeloRandOn = true;
  int base = 0;
  if (!ReadValue(token, 0, 128, base)) return false;
  FVeloRandBase = base;
  if (!FSrc.TestComma()) return Fail(token, text::kMsgTooFewArgs);
  int range = 0;
  if (!ReadValue(token, 0, 127, range)) return false;
  FVeloRandRange = range;
  return true;
}

bool TMmlc::CmdUrs(const std::string&) {
  FVeloRandOn = false;
  return true;
}

// low, high 0..192 ticks: every following note gets a random gate change.
bool TMmlc::CmdQr(const std::string& token) {
  if (!InExtendedTrack()) return Fail(token, text::kMsgNotHere);
  FGateRandOn = true;
  int low = 0;
  if (!ReadValue(token, 0, 192, low)) return false;
  FGateRandLow = low;
  if (!FSrc.TestComma()) return Fail(token, text::kMsgTooFewArgs);
  int high = 0;
  if (!ReadValue(token, 0, 192, high)) return false;
  FGateRandHigh = high;
  return true;
}

bool TMmlc::CmdQrs(const std::string&) {
  FGateRandOn = false;
  return true;
}

// [sign] ticks 0..3072: the gate cut; a negative cut lengthens the notes.
bool TMmlc::CmdQ(const std::string& token) {
  if (!InTrack()) return Fail(token, text::kMsgNotHere);
  const int sign = FSrc.ReadSign();
  int n = 0;
  if (!ReadValue(token, 0, 3072, n)) return false;
  FGateCut = sign == -1 ? -n : n;
  return true;
}

// [sign] velocity, ...: queues velocities for the next notes; a signed value is relative to
// the track's "U" velocity on the MIDI scale.
bool TMmlc::CmdUl(const std::string& token) {
  if (!InTrack()) return Fail(token, text::kMsgNotHere);
  const int base = Scale64(FVelocity);
  do {
    const int sign = FSrc.ReadSign();
    int c = 0;
    if (!ReadValue(token, 0, 127, c)) return false;
    // The queue lives for the whole compile; keep it within the bound of the event list.
    if (FVeloQueue.Count() >= FEventLimit) return Fail(token, text::kMsgEventLimit);
    FVeloQueue.Add(sign == 0 ? c : std::clamp(base + sign * c, 0, 127));
  } while (FSrc.TestComma());
  return true;
}

// n, kind, controller, centre, spread, step, step mode, step list.
bool TMmlc::CmdRnds(const std::string& token) {
  if (!InExtendedTrack()) return Fail(token, text::kMsgNotHere);
  const int n = FSrc.ReadNumber();
  if (n < 0) return Fail(token, text::kMsgBadPattern);
  TIntListLibItem& set = *FRandomSets.Items(n);
  ClearPattern(set);
  if (!FSrc.TestComma()) return Fail(token, text::kMsgNeedPattern);
  for (int entry = 0; entry < kSetSize; ++entry) {
    if (entry > 0 && !FSrc.TestComma()) return Fail(token, text::kMsgTooFewArgs);
    const int value = entry == kSetStep ? FSrc.ReadLengthSum(FSmf.FTimebase, FDefaultLength) : FSrc.ReadNumber();
    if (value < kSetLow[entry] || value > kSetHigh[entry]) return Fail(token, text::kMsgBadValue);
    if (!RoomForEntries(1)) return Fail(token, text::kMsgEventLimit);
    AddEntry(set, value);
  }
  return true;
}

// n, length, length, ...: a step list in ticks.
bool TMmlc::CmdRndl(const std::string& token) {
  if (!InExtendedTrack()) return Fail(token, text::kMsgNotHere);
  const int n = FSrc.ReadNumber();
  if (n < 0) return Fail(token, text::kMsgBadPattern);
  TIntListLibItem& list = *FRandomPatterns.Items(n);
  ClearPattern(list);
  if (!FSrc.TestComma()) return Fail(token, text::kMsgTooFewArgs);
  do {
    AddWork(1);  // the list is replaced in each pass of a loop: its entries are work each time
    const int length = FSrc.ReadLengthSum(FSmf.FTimebase, FDefaultLength);
    if (!RoomForEntries(1)) return Fail(token, text::kMsgEventLimit);
    AddEntry(list, length);
  } while (FSrc.TestComma());
  return true;
}

// n, L: writes random events of set n from the output time on for L ticks, then moves the
// output time on by L. A set that was never defined, or whose steps can never advance the
// time, is refused.
bool TMmlc::CmdRnd(const std::string& token) {
  if (!InExtendedTrack()) return Fail(token, text::kMsgNotHere);
  const int n = FSrc.ReadNumber();
  if (n < 0) return Fail(token, text::kMsgBadPattern);
  const TIntListLibItem& set = *FRandomSets.Items(n);
  if (!FSrc.TestComma()) return Fail(token, text::kMsgTooFewArgs);
  const Tick length = FSrc.ReadLengthSum(FSmf.FTimebase, FDefaultLength);
  if (length == 1) return true;
  if (set.Count() != kSetSize) return Fail(token, text::kMsgBadPattern);

  const int kind = set.Items(kSetKind), controller = set.Items(kSetController);
  const int centre = set.Items(kSetCentre), spread = set.Items(kSetSpread);
  const int step = set.Items(kSetStep), mode = set.Items(kSetMode);
  const TIntListLibItem& list = *FRandomPatterns.Items(set.Items(kSetList));
  const size_t listCount = list.Count();

  // A step of 0 would write events at one tick without end.
  bool advances = mode == 1 || step > 0;
  if (mode == 2 && listCount > 0) {
    size_t i = 0;
    while (i < listCount && list.Items(i) == 0) ++i;
    AddWork(i);
    advances = i < listCount;
  }
  if (!advances) return Fail(token, text::kMsgBadValue);

  const Tick start = OutTime();
  const int channel = OutChannel();
  const bool muted = Muted();
  const auto bankSelect = [&](Tick time) {
    if (!FOptBankInsert || muted || !(FRhythm ? FOptDrumBank : FOptToneBank)) return;
    FSmf.AddControlChange(time, channel, 0, 0, FRhythm ? 125 : 124);
    FSmf.AddControlChange(time, channel, 0, 32, FRhythm ? 0 : 1);
  };

  Tick t = 0;
  size_t j = 0;
  while (t < length && !WorkExhausted() && FSmf.LimitHit() == TSmf::TLimit::None) {
    AddWork(1);
    Tick cur = step;
    if (mode == 1) {
      cur = step == 0 ? 1 : Uniform(1, step);
    } else if (mode == 2 && listCount > 0) {
      if (j == listCount) j = 0;
      cur = list.Items(j++);
    }
    const int v = std::clamp(centre + Uniform(-spread, spread), 0, 127);
    const Tick time = start + t;
    switch (kind) {
      case 0:
        FSmf.AddNoteOn(time, channel, 1, v, Scale64(FVelocity));
        FSmf.AddNoteOff(time + std::max<Tick>(cur - FGateCut, 1), channel, 0, v);
        break;
      case 1:
        if (!muted) FSmf.AddPitchBend(time, channel, 0, v - 64);
        break;
      case 2:
        if (!muted) FSmf.AddControlChange(time, channel, 0, controller, v);
        break;
      default:
        bankSelect(time);
        if (!muted) FSmf.AddProgramChange(time, channel, FProgramMap[v + 1]);
        break;
    }
    t += cur;
  }

  if (kind == 1) {
    FSmf.AddPitchBend(start + length, channel, 0, FBend - 64);
  } else if (kind == 3) {
    if (t != length) bankSelect(start + length);
    if (!muted) FSmf.AddProgramChange(start + length, channel, FProgram);
  }
  FRewindOffset -= length;
  return true;
}

}  // namespace tw
