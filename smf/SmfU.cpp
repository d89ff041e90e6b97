#include "SmfU.h"

#include <algorithm>

#include "FileIO.h"

namespace tw {

TSmf::TSmf(size_t maxEvents, size_t maxBytes) : FMaxEvents(maxEvents), FMaxBytes(maxBytes) {}

bool TSmf::Admit(Tick time, size_t extraBytes) {
  if (FLimitHit != TLimit::None) return false;
  if (time < 0 || time > kMaxTick) {
    FLimitHit = TLimit::Time;
    return false;
  }
  if (FEvents.size() >= FMaxEvents || FPool.size() + extraBytes > FMaxBytes) {
    FLimitHit = TLimit::Events;
    return false;
  }
  return true;
}

void TSmf::Append(Tick time, int priority, int status, int data1, int data2, uint32_t data, uint32_t size) {
  FEvents.push_back(TSmfEvent{static_cast<int32_t>(time), static_cast<uint8_t>(priority), static_cast<uint8_t>(status),
                              static_cast<uint8_t>(data1), static_cast<uint8_t>(data2), data, size});
}

uint32_t TSmf::Store(std::string_view bytes) {
  const auto at = static_cast<uint32_t>(FPool.size());
  FPool.append(bytes);
  return at;
}

void TSmf::AddControlChange(Tick time, int channel, int priority, int controller, int value) {
  if (Admit(time, 0)) Append(time, priority, 0xB0 | channel, controller, value);
}

void TSmf::AddNoteOn(Tick time, int channel, int priority, int note, int velocity) {
  if (Admit(time, 0)) Append(time, priority, 0x90 | channel, note, velocity);
}

void TSmf::AddNoteOff(Tick time, int channel, int priority, int note) {
  if (Admit(time, 0)) Append(time, priority, 0x80 | channel, note, 0);
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

// Removes a note-on that arrives while its key still sounds on its channel, together with the
// next note-off of that key, so that overlapping notes of one key become one note.
// The first pass deletes; the second (writing) pass runs on from the state the first one left
// and only marks, since the writer skips marked events.
void TSmf::MergeOverlappingNotes(bool writing) {
  for (TSmfEvent& e : FEvents) {
    const int kind = e.FStatus & 0xF0;
    if (kind != 0x80 && kind != 0x90) continue;
    uint8_t& s = FNoteState[e.FStatus & 0x0F][e.FData1 & 0x7F];
    if (kind == 0x80) {
      if (s == 2) {
        s = 1;
        e.FStatus = 0;
      } else {
        s = 0;
      }
    } else if (s == 1) {
      s = 2;
      e.FStatus = 0;
    } else if (s == 0) {
      s = 1;
    }
  }
  if (!writing) {
    FEvents.erase(std::remove_if(FEvents.begin(), FEvents.end(), [](const TSmfEvent& e) { return e.FStatus == 0; }),
                  FEvents.end());
  }
}

size_t TSmf::WriteEvent(std::string& out, const TSmfEvent& e) const {
  const size_t before = out.size();
  const int kind = e.FStatus & 0xF0;
  if (e.FStatus == 0xF0 || e.FStatus == 0xFF) {
    if (e.FSize == 0) return 0;
    out += static_cast<char>(e.FStatus);
    if (e.FStatus == 0xFF) out += static_cast<char>(e.FData1);
    WriteVarLen(out, e.FSize);
    out += Bytes(e);
  } else if (kind == 0xC0) {
    const char bytes[2] = {static_cast<char>(e.FStatus), static_cast<char>(e.FData1)};
    out.append(bytes, 2);
  } else if (kind == 0xE0) {
    const char bytes[3] = {static_cast<char>(e.FStatus), static_cast<char>(e.FData & 0x7F),
                           static_cast<char>((e.FData >> 7) & 0x7F)};
    out.append(bytes, 3);
  } else {
    const char bytes[3] = {static_cast<char>(e.FStatus), static_cast<char>(e.FData1), static_cast<char>(e.FData2)};
    out.append(bytes, 3);
  }
  return out.size() - before;
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
  MergeOverlappingNotes(false);
  MergeOverlappingNotes(true);

  std::string out("MThd\0\0\0\x06\0\0\0\x01", 12);
  out += static_cast<char>(FTimebase >> 8);
  out += static_cast<char>(FTimebase);
  out.append("MTrk\0\0\0\0", 8);
  const size_t start = out.size();
  // Room for the common case (one-byte delta, three-byte message), so the image grows rarely.
  out.reserve(start + FEvents.size() * 4 + FPool.size() + 8);
  Tick last = 0;
  for (const TSmfEvent& e : FEvents) {
    // Merged notes and system exclusive or meta events without bytes are not written.
    if (e.FStatus == 0 || ((e.FStatus == 0xF0 || e.FStatus == 0xFF) && e.FSize == 0)) continue;
    WriteVarLen(out, static_cast<uint32_t>(e.FTime - last));
    WriteEvent(out, e);
    last = e.FTime;
  }
  WriteVarLen(out, static_cast<uint32_t>(std::clamp<Tick>(FSongLength - last, 0, kMaxTick)));
  out.append("\xFF\x2F\x00", 3);
  const size_t length = out.size() - start;
  for (int i = 0; i < 4; ++i) out[start - 4 + i] = static_cast<char>(length >> (24 - 8 * i));
  return out;
}

bool TSmf::SaveToFile(const std::string& path) {
  const std::string image = Build();
  if (image.empty()) return false;
  WriteFileAtomic(path, image);
  return true;
}

void WriteVarLen(std::string& out, uint32_t value) {
  value &= 0x0FFFFFFF;
  if (value < 0x80) {  // most deltas
    out += static_cast<char>(value);
    return;
  }
  char groups[4];
  int n = 0;
  do {
    groups[n++] = static_cast<char>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  while (n > 1) out += static_cast<char>(groups[--n] | 0x80);
  out += groups[0];
}

}  // namespace tw
