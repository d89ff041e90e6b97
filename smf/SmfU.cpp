#include "SmfU.h"

#include <algorithm>

#include "FileIO.h"

namespace tw {

TSmf::TSmf(size_t maxEvents, size_t maxBytes) : FMaxEvents(maxEvents), FMaxBytes(maxBytes) {}

bool TSmf::Refuse(Tick time) {
  if (FLimitHit == TLimit::None) FLimitHit = time < 0 || time > kMaxTick ? TLimit::Time : TLimit::Events;
  return false;
}

void TSmf::AppendDirect(Tick time, int status, int type, std::string_view data, std::string_view tail) {
  if (!Admit(time, data.size() + tail.size())) return;
  if (FDirect.size() >= kMaxDirect) {
    FLimitHit = TLimit::Events;
    return;
  }
  const size_t n = FDirect.size();
  FDirect.push_back(TDirect{static_cast<uint32_t>(FPool.size()), static_cast<uint32_t>(data.size() + tail.size()),
                            static_cast<uint8_t>(type)});
  FPool.append(data).append(tail);
  Append(time, 0, status, static_cast<int>(n & 0xFF), static_cast<int>((n >> 8) & 0xFF), static_cast<int>(n >> 16));
}

void TSmf::AddPitchBend(Tick time, int channel, int priority, int bend) {
  if (!Admit(time, 0)) return;
  const int value = std::clamp(bend * 128 + 8192, 0, 16383);
  Append(time, priority, 0xE0 | channel, value & 0x7F, value >> 7);
}

void TSmf::AddProgramChange(Tick time, int channel, int program) {
  if (Admit(time, 0)) Append(time, 0, 0xC0 | channel, program, 0);
}

void TSmf::AddTempo(Tick time, int bpm) {
  const uint32_t t = bpm > 0 ? 60000000u / static_cast<uint32_t>(bpm) : 0;
  const char bytes[3] = {static_cast<char>(t >> 16), static_cast<char>(t >> 8), static_cast<char>(t)};
  AppendDirect(time, 0xFF, 0x51, std::string_view(bytes, 3));
}

void TSmf::AddSysEx(Tick time, std::string_view data) { AppendDirect(time, 0xF0, 0, data, "\xF7"); }

void TSmf::AddMeta(Tick time, int metaType, std::string_view text) { AppendDirect(time, 0xFF, metaType, text); }

void TSmf::Clear() {
  FEvents.clear();
  FPool.clear();
  FDirect.clear();
  FLimitHit = TLimit::None;
}

// Two passes merge overlapping notes of one key on one channel into one note: a note-on that
// arrives while its key still sounds is dropped, together with the next note-off of that key.
// The first pass removes; the second runs on from the state the first one left and only marks,
// since the writer skips marked events.

// One event of a pass: true when the event is merged away (then marked with status 0).
// The state of a key: 0 silent, 1 sounding, 2 sounding with a second note-on merged into it.
inline bool TSmf::MergeNote(TSmfEvent& e) {
  const uint8_t status = e.FStatus;
  if (static_cast<uint8_t>(status - 0x80) >= 0x20) return false;  // neither 8n nor 9n
  uint8_t& s = FNoteState[status & 0x0F][e.FData1 & 0x7F];
  bool merged;
  if (status >= 0x90) {
    merged = s == 1;
    s = s == 0 ? 1 : 2;
  } else {
    merged = s == 2;
    s = merged ? 1 : 0;
  }
  if (merged) e.FStatus = 0;
  return merged;
}

// The first pass: keeps the events that are not merged away, in order. True when the second
// pass may merge more: it runs on from this pass's state over this pass's result, so if this
// pass merged nothing and left every key silent, it would repeat this pass exactly.
bool TSmf::RemoveOverlappingNotes() {
  size_t kept = 0;
  for (size_t i = 0; i < FEvents.size(); ++i) {
    if (MergeNote(FEvents[i])) continue;
    if (kept != i) FEvents[kept] = FEvents[i];
    ++kept;
  }
  const bool merged = kept != FEvents.size();
  FEvents.resize(kept);
  return merged || std::any_of(&FNoteState[0][0], &FNoteState[0][0] + sizeof FNoteState, [](uint8_t s) { return s != 0; });
}

namespace {

size_t VarLenSize(uint32_t value) { return value < 0x80 ? 1 : value < 0x4000 ? 2 : value < 0x200000 ? 3 : 4; }

// Writes the variable-length quantity of value (at most 0FFFFFFFh) at out; returns the end.
char* PutVarLen(char* out, uint32_t value) {
  if (value < 0x80) {  // most deltas
    *out++ = static_cast<char>(value);
    return out;
  }
  value &= 0x0FFFFFFF;
  for (int shift = 7 * (static_cast<int>(VarLenSize(value)) - 1); shift > 0; shift -= 7)
    *out++ = static_cast<char>(((value >> shift) & 0x7F) | 0x80);
  *out++ = static_cast<char>(value & 0x7F);
  return out;
}

}  // namespace

// Merged notes and system exclusive or meta events without bytes are not written.
bool TSmf::Written(const TSmfEvent& e) const { return e.FStatus != 0 && (!IsDirect(e) || Direct(e).FSize != 0); }

size_t TSmf::EventSize(const TSmfEvent& e) const {
  if (IsDirect(e)) {
    const uint32_t size = Direct(e).FSize;
    return (e.FStatus == 0xFF ? 2 : 1) + VarLenSize(size) + size;
  }
  return (e.FStatus & 0xF0) == 0xC0 ? 2 : 3;
}

char* TSmf::PutEvent(char* out, const TSmfEvent& e) const {
  *out++ = static_cast<char>(e.FStatus);
  if (IsDirect(e)) {
    const TDirect& d = Direct(e);
    if (e.FStatus == 0xFF) *out++ = static_cast<char>(d.FType);
    out = PutVarLen(out, d.FSize);
    return std::copy_n(FPool.data() + d.FOffset, d.FSize, out);
  }
  *out++ = static_cast<char>(e.FData1);
  if ((e.FStatus & 0xF0) != 0xC0) *out++ = static_cast<char>(e.FData2);
  return out;
}

std::string TSmf::Build() {
  // Ordered by tick, then priority, then the order of adding: one stable sort on the key that
  // holds both.
  // Events usually arrive in order already (a single track is written front to back); then
  // one pass over them replaces the sort, which took a quarter of a long compile.
  const auto before = [](const TSmfEvent& a, const TSmfEvent& b) { return a.FTimeAndPriority < b.FTimeAndPriority; };
  if (!std::is_sorted(FEvents.begin(), FEvents.end(), before)) std::stable_sort(FEvents.begin(), FEvents.end(), before);
  if (FEvents.empty()) return {};
  std::fill(&FNoteState[0][0], &FNoteState[0][0] + sizeof FNoteState, 0);
  const bool secondPass = RemoveOverlappingNotes();

  // The second merge pass measures the track on the way, so that the image is made in one piece.
  constexpr size_t kHeader = 22;  // MThd chunk and the head of the MTrk chunk
  size_t length = 0;
  Tick last = 0;
  for (TSmfEvent& e : FEvents) {
    if (secondPass) MergeNote(e);
    if (!Written(e)) continue;
    length += VarLenSize(static_cast<uint32_t>(e.Time() - last)) + EventSize(e);
    last = e.Time();
  }
  const auto endDelta = static_cast<uint32_t>(std::clamp<Tick>(FSongLength - last, 0, kMaxTick));
  length += VarLenSize(endDelta) + 3;

  std::string image(kHeader + length, '\0');
  char* out = image.data();
  const char head[kHeader] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1,
                              static_cast<char>(FTimebase >> 8), static_cast<char>(FTimebase), 'M', 'T', 'r', 'k',
                              static_cast<char>(length >> 24), static_cast<char>(length >> 16),
                              static_cast<char>(length >> 8), static_cast<char>(length)};
  out = std::copy(head, head + kHeader, out);
  last = 0;
  for (const TSmfEvent& e : FEvents) {
    if (!Written(e)) continue;
    out = PutVarLen(out, static_cast<uint32_t>(e.Time() - last));
    out = PutEvent(out, e);
    last = e.Time();
  }
  out = PutVarLen(out, endDelta);
  const char end[3] = {'\xFF', '\x2F', '\x00'};
  std::copy(end, end + 3, out);
  return image;
}

bool TSmf::SaveToFile(const std::string& path) {
  const std::string image = Build();
  if (image.empty()) return false;
  WriteFileAtomic(path, image);
  return true;
}

void WriteVarLen(std::string& out, uint32_t value) {
  char bytes[4];
  out.append(bytes, PutVarLen(bytes, value));
}

}  // namespace tw
