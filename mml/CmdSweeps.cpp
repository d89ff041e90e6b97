// Sweep commands: eight kinds of controller curves, each with a pattern library, a step
// interval and a base value. "@VS" and its kin define a pattern, "@VW" and its kin set the
// interval, "@V" and its kin apply a pattern from the output time on.
#include <algorithm>
#include <limits>

#include "Texts.h"
#include "mmlcU.h"

namespace tw {
namespace {

// The ramps are computed with a 64-bit significand so that every build rounds alike.
static_assert(std::numeric_limits<long double>::digits == 64,
              "sweep ramps need a long double with a 64-bit significand (x87 extended precision)");

enum class TSweepEvent { Control, Bend, MasterVolume };

struct TSweepKind {
  TIntListLib TMmlc::*Library;
  int TMmlc::*Wait;
  int TMmlc::*Base;
  TSweepEvent Event;
  int Controller;  // for TSweepEvent::Control
};

enum : int { kVolume, kModulation, kBend, kExpression, kPan, kMasterVolume, kBrightness, kResonance };

const TSweepKind kSweepKinds[] = {
    {&TMmlc::FSweepVol, &TMmlc::FSweepVolWait, &TMmlc::FVolume, TSweepEvent::Control, 7},
    {&TMmlc::FSweepMod, &TMmlc::FSweepModWait, &TMmlc::FModulation, TSweepEvent::Control, 1},
    {&TMmlc::FSweepBend, &TMmlc::FSweepBendWait, &TMmlc::FBend, TSweepEvent::Bend, 0},
    {&TMmlc::FSweepExp, &TMmlc::FSweepExpWait, &TMmlc::FExpression, TSweepEvent::Control, 11},
    {&TMmlc::FSweepPan, &TMmlc::FSweepPanWait, &TMmlc::FPan, TSweepEvent::Control, 10},
    {&TMmlc::FSweepMVol, &TMmlc::FSweepMVolWait, &TMmlc::FMasterVolume, TSweepEvent::MasterVolume, 0},
    {&TMmlc::FSweepBright, &TMmlc::FSweepBrightWait, &TMmlc::FBrightness, TSweepEvent::Control, 74},
    {&TMmlc::FSweepReso, &TMmlc::FSweepResoWait, &TMmlc::FResonance, TSweepEvent::Control, 71},
};

bool FitsInt32(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

// Semitones (four decimal places) to 14-bit bend units for a range of r semitones:
// 8192 / r * semitones, rounded to the nearest whole number. Exact integer arithmetic; with
// r within -1..127 the exact quotient never lies halfway between two integers. False when
// the range is 0 or the result leaves the 32-bit range.
bool SemitonesToBendUnits(FixedValue semitones, int range, int64_t& units) {
  constexpr FixedValue kLargest = 1'000'000'000'000;  // beyond 32-bit units for any range
  if (range == 0 || semitones > kLargest || semitones < -kLargest) return false;
  int64_t num = 8192 * semitones;
  int64_t den = 10000 * int64_t{range};
  if (den < 0) num = -num, den = -den;
  const int64_t magnitude = ((num < 0 ? -num : num) * 2 + den) / (2 * den);
  units = num < 0 ? -magnitude : magnitude;
  return FitsInt32(units);
}

}  // namespace

void TMmlc::RegisterSweepCommands() {
  Bind("@VS", &TMmlc::CmdVs);
  Bind("@VW", &TMmlc::CmdVw);
  Bind("@V", &TMmlc::CmdV);
  Bind("@MS", &TMmlc::CmdMs);
  Bind("@MW", &TMmlc::CmdMw);
  Bind("@M", &TMmlc::CmdM);
  Bind("@BS", &TMmlc::CmdBs);
  Bind("@BW", &TMmlc::CmdBw);
  Bind("@B", &TMmlc::CmdB);
  Bind("@XS", &TMmlc::CmdXs);
  Bind("@XW", &TMmlc::CmdXw);
  Bind("@X", &TMmlc::CmdX);
  Bind("@PS", &TMmlc::CmdPs);
  Bind("@PW", &TMmlc::CmdPw);
  Bind("@P", &TMmlc::CmdP);
  Bind("@MVS", &TMmlc::CmdMvs);
  Bind("@MVW", &TMmlc::CmdMvw);
  Bind("@MV", &TMmlc::CmdMv);
  Bind("@FS", &TMmlc::CmdFs);
  Bind("@FW", &TMmlc::CmdFw);
  Bind("@F", &TMmlc::CmdF);
  Bind("@RS", &TMmlc::CmdRs);
  Bind("@RW", &TMmlc::CmdRw);
  Bind("@R", &TMmlc::CmdR);
}

bool TMmlc::CmdVs(const std::string& token) { return SweepDefine(token, kVolume); }
bool TMmlc::CmdVw(const std::string& token) { return SweepInterval(token, kVolume); }
bool TMmlc::CmdV(const std::string& token) { return SweepApply(token, kVolume); }
bool TMmlc::CmdMs(const std::string& token) { return SweepDefine(token, kModulation); }
bool TMmlc::CmdMw(const std::string& token) { return SweepInterval(token, kModulation); }
bool TMmlc::CmdM(const std::string& token) { return SweepApply(token, kModulation); }
bool TMmlc::CmdBs(const std::string& token) { return SweepDefine(token, kBend); }
bool TMmlc::CmdBw(const std::string& token) { return SweepInterval(token, kBend); }
bool TMmlc::CmdB(const std::string& token) { return SweepApply(token, kBend); }
bool TMmlc::CmdXs(const std::string& token) { return SweepDefine(token, kExpression); }
bool TMmlc::CmdXw(const std::string& token) { return SweepInterval(token, kExpression); }
bool TMmlc::CmdX(const std::string& token) { return SweepApply(token, kExpression); }
bool TMmlc::CmdPs(const std::string& token) { return SweepDefine(token, kPan); }
bool TMmlc::CmdPw(const std::string& token) { return SweepInterval(token, kPan); }
bool TMmlc::CmdP(const std::string& token) { return SweepApply(token, kPan); }
bool TMmlc::CmdMvs(const std::string& token) { return SweepDefine(token, kMasterVolume); }
bool TMmlc::CmdMvw(const std::string& token) { return SweepInterval(token, kMasterVolume); }
bool TMmlc::CmdMv(const std::string& token) { return SweepApply(token, kMasterVolume); }
bool TMmlc::CmdFs(const std::string& token) { return SweepDefine(token, kBrightness); }
bool TMmlc::CmdFw(const std::string& token) { return SweepInterval(token, kBrightness); }
bool TMmlc::CmdF(const std::string& token) { return SweepApply(token, kBrightness); }
bool TMmlc::CmdRs(const std::string& token) { return SweepDefine(token, kResonance); }
bool TMmlc::CmdRw(const std::string& token) { return SweepInterval(token, kResonance); }
bool TMmlc::CmdR(const std::string& token) { return SweepApply(token, kResonance); }

void TMmlc::ClearPattern(TIntListLibItem& pattern) {
  FPatternEntries -= pattern.Count();
  pattern.Clear();
}

// n, d1, l1, d2, l2, ...: each pair (d, c) with c > 0 is a straight ramp of c entries from the
// running sum to sum + d; a pair with c = 0 is a jump of one entry, and a run of jumps keeps
// only the last sum. Bend offsets are semitones, stored as 14-bit units of the channel's range.
bool TMmlc::SweepDefine(const std::string& token, int kindIndex) {
  const TSweepKind& kind = kSweepKinds[kindIndex];
  if (!InExtendedTrack()) return Fail(token, text::kMsgNotHere);
  const int n = FSrc.ReadNumber();
  if (n < 0) return Fail(token, text::kMsgBadPattern);
  TIntListLibItem& pattern = *(this->*kind.Library).Items(n);
  ClearPattern(pattern);
  if (!FSrc.TestComma()) return Fail(token, text::kMsgNeedPattern);
  int64_t sum = 0;
  int previousLength = 0;
  for (;;) {
    AddWork(1);  // a pair of length 0 adds no ramp entries but is work all the same
    int64_t d = 0;
    if (kind.Event == TSweepEvent::Bend) {
      FixedValue semitones = 0;
      if (!FSrc.ReadSignedDecimal(semitones)) return Fail(token, text::kMsgBadValue);
      if (!SemitonesToBendUnits(semitones, FBendRange[OutChannel()], d)) return Fail(token, text::kMsgBadValue);
    } else {
      int value = 0;
      if (!FSrc.ReadSignedNumber(value)) return Fail(token, text::kMsgBadValue);
      d = value;
    }
    if (!FSrc.TestComma()) return Fail(token, text::kMsgNeedLength);
    const int c = FSrc.ReadLengthSum(FSmf.FTimebase, FDefaultLength);
    // Entries are 32-bit; a ramp lies between its two ends, so checking the new sum suffices.
    if (!FitsInt32(sum + d)) return Fail(token, text::kMsgBadValue);
    if (c != 0) {
      if (!RoomForEntries(static_cast<uint64_t>(c))) return Fail(token, text::kMsgEventLimit);
      AddWork(static_cast<uint64_t>(c));
      // Entry e of the ramp is sum + d / c * e, each operation rounded to nearest in the
      // 64-bit significand, then truncated toward zero.
      const long double step = static_cast<long double>(d) / static_cast<long double>(c);
      for (int e = 1; e < c; ++e) AddEntry(pattern, static_cast<int32_t>(sum + static_cast<int64_t>(step * e)));
    } else {
      if (previousLength == 0 && !pattern.Empty()) {
        pattern.DeleteLast();
        --FPatternEntries;
      }
      if (!RoomForEntries(1)) return Fail(token, text::kMsgEventLimit);
    }
    sum += d;
    AddEntry(pattern, static_cast<int32_t>(sum));
    if (!FSrc.TestComma()) return true;
    previousLength = c;
  }
}

bool TMmlc::SweepInterval(const std::string& token, int kindIndex) {
  if (!InExtendedTrack()) return Fail(token, text::kMsgNotHere);
  const int t = FSrc.ReadNumber();
  if (t < 1) return Fail(token, text::kMsgBadValue);
  this->*kSweepKinds[kindIndex].Wait = t;
  return true;
}

// n, L: samples the pattern every interval ticks from the output time (and always its last
// entry), for L ticks, writing only changes; then restores the base value and moves the
// output time on by L. Only the sampled entries within the length are visited.
bool TMmlc::SweepApply(const std::string& token, int kindIndex) {
  const TSweepKind& kind = kSweepKinds[kindIndex];
  if (!InExtendedTrack()) return Fail(token, text::kMsgNotHere);
  const int n = FSrc.ReadNumber();
  if (n < 0) return Fail(token, text::kMsgBadPattern);
  if (!FSrc.TestComma()) return Fail(token, text::kMsgNeedLength);
  const Tick length = FSrc.ReadLengthSum(FSmf.FTimebase, FDefaultLength);
  const TIntListLibItem& pattern = *(this->*kind.Library).Items(n);
  const Tick count = static_cast<Tick>(pattern.Count());
  if (count > 0) {
    const Tick start = OutTime();
    const int channel = OutChannel();
    const bool bend = kind.Event == TSweepEvent::Bend;
    const bool write = kind.Event == TSweepEvent::MasterVolume || !Muted();
    const int base = this->*kind.Base;
    const int64_t scale = bend ? 128 : 1;  // bend entries are 14-bit units
    const auto emit = [&](Tick time, int priority, int value) {
      switch (kind.Event) {
        case TSweepEvent::Control:
          FSmf.AddControlChange(time, channel, priority, kind.Controller, value);
          break;
        case TSweepEvent::Bend:
          FSmf.AddPitchBend(time, channel, priority, value - 64);
          break;
        case TSweepEvent::MasterVolume: {
          const char bytes[6] = {'\x7F', '\x7F', '\x04', '\x01', '\x00', static_cast<char>(value)};
          FSmf.AddSysEx(time, std::string_view(bytes, 6));
          break;
        }
      }
    };
    int64_t previous = base * scale;
    const auto sample = [&](Tick i) {
      const int value = static_cast<int>(std::clamp<int64_t>((base * scale + pattern.Items(i)) / scale, 0, 127));
      if (value != previous && write) emit(start + i, 9, value);
      previous = value;
    };
    const Tick wait = this->*kind.Wait;
    const Tick last = count - 1;
    Tick visited = 0;
    for (Tick i = 0; i < count && i <= length && FSmf.LimitHit() == TSmf::TLimit::None; i += wait, ++visited) sample(i);
    if (last % wait != 0 && last <= length) sample(last), ++visited;
    AddWork(static_cast<uint64_t>(visited));
    if (kind.Event != TSweepEvent::MasterVolume && previous != base && write) emit(start + length, 0, base);
  }
  FRewindOffset -= length;
  return true;
}

}  // namespace tw
