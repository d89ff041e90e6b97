#include "SmfU.h"

#include <algorithm>

#include "FileIO.h"

namespace tw {

TSmf::TSmf(size_t maxEvents, size_t maxBytes) : FMaxEvents(maxEvents), FMaxBytes(maxBytes) {}

bool TSmf::Refuse(Tick time) {
  if (FLimitHit == TLimit::None) FLimitHit = time < 0 || time > kMaxTick ? TLimit::Time : TLimit::Events;
  return false;
}

uint32_t TSmf::Store(std::string_view bytes) {
  const auto at = static_cast<uint32_t>(FPool.size());
  FPool.append(bytes);
  return at;
}

void TSmf::AddPitchBend(Tick time, int channel, int priority, int bend) {
  if (!Admit(time, 0)) return;
  const int value = std::clamp(bend * 128 + 8192, 0, 16383);
  Append(time, priority, 0xE0 | channel, 0, 0, static_cast<uint32_t>(value));
}

void TSmf::AddProgramChange(Tick time, int channel, int program) {
  if (Admit(time, 0)) Append(time, 0, 0xC0 | channel, program, 0);
}

void TSmf::AddTempo(Tick time, int bpm) {
  if (!Admit(time, 3)) return;
  const uint32_t t = bpm > 0 ? 60000000u / static_cast<uint32_t>(bpm) : 0;
  const char bytes[3] = {static_cast<char>(t >> 16), static_cast<char>(t >> 8), static_cast<char>(t)};
  Append(time, 0, 0xFF, 0x51, 0, Store(std::string_view(bytes, 3)), 3);
}

void TSmf::AddSysEx(Tick time, std::string_view data) {
  if (!Admit(time, data.size() + 1)) return;
  const uint32_t at = Store(data);
  FPool += '\xF7';
  Append(time, 0, 0xF0, 0, 0, at, static_cast<uint32_t>(data.size() + 1));
}

void TSmf::AddMeta(Tick time, int metaType, std::string_view text) {
  if (Admit(time, text.size())) Append(time, 0, 0xFF, metaType, 0, Store(text), static_cast<uint32_t>(text.size()));
}

void TSmf::Clear() {
  FEvents.clear();
  FPool.clear();
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

// The first pass: keeps the events that are not merged away, in order.
void TSmf::RemoveOverlappingNotes() {
  size_t kept = 0;
  for (size_t i = 0; i < FEvents.size(); ++i) {
    if (MergeNote(FEvents[i])) continue;
    if (kept != i) FEvents[kept] = FEvents[i];
    ++kept;
  }
  FEvents.resize(kept);
}

namespace {

// Merged notes and system exclusive or meta events without bytes are not written.
bool Written(const TSmfEvent& e) { return e.FStatus != 0 && !((e.FStatus == 0xF0 || e.FStatus == 0xFF) && e.FSize == 0); }

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

size_t TSmf::EventSize(const TSmfEvent& e) {
  if (e.FStatus == 0xF0) return 1 + VarLenSize(e.FSize) + e.FSize;
  if (e.FStatus == 0xFF) return 2 + VarLenSize(e.FSize) + e.FSize;
  return (e.FStatus & 0xF0) == 0xC0 ? 2 : 3;
}

char* TSmf::PutEvent(char* out, const TSmfEvent& e) const {
  *out++ = static_cast<char>(e.FStatus);
  if (e.FStatus == 0xF0 || e.FStatus == 0xFF) {
    if (e.FStatus == 0xFF) *out++ = static_cast<char>(e.FData1);
    out = PutVarLen(out, e.FSize);
    const std::string_view bytes = Bytes(e);
    return std::copy(bytes.begin(), bytes.end(), out);
  }
  switch (e.FStatus & 0xF0) {
    case 0xC0:
      *out++ = static_cast<char>(e.FData1);
      break;
    case 0xE0:
      *out++ = static_cast<char>(e.FData & 0x7F);
      *out++ = static_cast<char>((e.FData >> 7) & 0x7F);
      break;
    default:
      *out++ = static_cast<char>(e.FData1);
      *out++ = static_cast<char>(e.FData2);
  }
  return out;
}

std::string TSmf::Build() {
  // Ordered by tick, then priority, then the order of adding: one stable sort on both keys.
  // Events usually arrive in order already (a single track is written front to back); then
  // one pass over them replaces the sort, which took a quarter of a long compile.
  const auto before = [](const TSmfEvent& a, const TSmfEvent& b) {
    return a.FTime != b.FTime ? a.FTime < b.FTime : a.FPriority < b.FPriority;
  };
  if (!std::is_sorted(FEvents.begin(), FEvents.end(), before)) std::stable_sort(FEvents.begin(), FEvents.end(), before);
  if (FEvents.empty()) return {};
  std::fill(&FNoteState[0][0], &FNoteState[0][0] + sizeof FNoteState, 0);
  RemoveOverlappingNotes();

  // The second merge pass measures the track on the way, so that the image is made in one piece.
  constexpr size_t kHeader = 22;  // MThd chunk and the head of the MTrk chunk
  size_t length = 0;
  Tick last = 0;
  for (TSmfEvent& e : FEvents) {
    MergeNote(e);
    if (!Written(e)) continue;
    length += VarLenSize(static_cast<uint32_t>(e.FTime - last)) + EventSize(e);
    last = e.FTime;
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
    out = PutVarLen(out, static_cast<uint32_t>(e.FTime - last));
    out = PutEvent(out, e);
    last = e.FTime;
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
