// The in-memory list of timed MIDI events and the writer of the Standard MIDI File
// (format 0, one track holding all sixteen channels).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// Absolute MIDI ticks. Kept 64 bits wide inside the compiler so that no sum of lengths can
// wrap; anything above TSmf::kMaxTick is refused before it reaches the file.
using Tick = int64_t;

// One event. Compact on purpose (8 bytes): a song of a million notes must sort fast, and each
// page of memory a short compile touches costs it as much time as some ten thousand instructions.
struct TSmfEvent {
  // The absolute tick (at most TSmf::kMaxTick) times 16 plus the priority, the order at one tick
  // (0 everything else, 1 note-ons, 9 sweep steps): the events are sorted by this one number.
  uint32_t FTimeAndPriority;
  uint8_t FStatus;  // 8n 9n Bn Cn En, F0 system exclusive, FF meta; 0 marks a merged note
  // Key and velocity, controller and value, program; pitch bend: low and high 7 bits. F0 and FF:
  // the number of the event's entry in the list of data (24 bits, low byte first).
  uint8_t FData1;
  uint8_t FData2;
  uint8_t FData3;

  uint32_t Time() const { return FTimeAndPriority >> 4; }
};

class TSmf {
 public:
  // Largest tick a four-byte variable-length quantity can hold.
  static constexpr Tick kMaxTick = 0x0FFFFFFF;

  enum class TLimit { None, Events, Time };

  TSmf(size_t maxEvents = SIZE_MAX, size_t maxBytes = SIZE_MAX);
  void SetLimits(size_t maxEvents, size_t maxBytes) {
    FMaxEvents = maxEvents;
    FMaxBytes = maxBytes;
  }

  // Room for this many events, so that a long song is not copied as the list grows.
  void Reserve(size_t events) { FEvents.reserve(std::min(events, FMaxEvents)); }

  // The three events of almost every command are inline: a note is two of them.
  void AddControlChange(Tick time, int channel, int priority, int controller, int value) {
    if (Admit(time, 0)) Append(time, priority, 0xB0 | channel, controller, value);
  }
  void AddNoteOn(Tick time, int channel, int priority, int note, int velocity) {
    if (Admit(time, 0)) Append(time, priority, 0x90 | channel, note, velocity);
  }
  void AddNoteOff(Tick time, int channel, int priority, int note) {
    if (Admit(time, 0)) Append(time, priority, 0x80 | channel, note, 0);
  }
  void AddPitchBend(Tick time, int channel, int priority, int bend);  // bend -64..63, times 128
  void AddProgramChange(Tick time, int channel, int program);
  void AddTempo(Tick time, int bpm);
  void AddSysEx(Tick time, std::string_view data);  // without F0 and F7
  void AddMeta(Tick time, int metaType, std::string_view text);

  // The first limit that an Add ran into (the event was then dropped); None while within bounds.
  TLimit LimitHit() const { return FLimitHit; }

  size_t Count() const { return FEvents.size(); }
  const std::vector<TSmfEvent>& Events() const { return FEvents; }
  // The data of a system exclusive (with its closing F7) or meta event, and the meta type; empty
  // and 0 for any other event.
  std::string_view Bytes(const TSmfEvent& e) const {
    if (!IsDirect(e)) return {};
    const TDirect& d = Direct(e);
    return std::string_view(FPool).substr(d.FOffset, d.FSize);
  }
  uint8_t MetaType(const TSmfEvent& e) const { return e.FStatus == 0xFF ? Direct(e).FType : 0; }
  static bool IsDirect(const TSmfEvent& e) { return e.FStatus == 0xF0 || e.FStatus == 0xFF; }
  void Clear();

  // Sorts and merges the events and writes the file. Returns false, writing nothing, when the
  // list is empty. File errors are thrown (FileError).
  bool SaveToFile(const std::string& path);

  // Sorts and merges the events and returns the file image; empty when there are no events.
  std::string Build();

  int32_t FTimebase = 48;
  Tick FSongLength = 0;  // latest output tick; the end of track stands here

 private:
  // Where the bytes of a system exclusive or meta event lie in the pool.
  struct TDirect {
    uint32_t FOffset;
    uint32_t FSize;
    uint8_t FType;  // meta type
  };
  static constexpr size_t kMaxDirect = size_t{1} << 24;  // entries a TSmfEvent can number

  const TDirect& Direct(const TSmfEvent& e) const { return FDirect[e.FData1 | e.FData2 << 8 | e.FData3 << 16]; }

  // Whether an event at time fits the bounds (extraBytes more data bytes); records the first
  // limit hit.
  bool Admit(Tick time, size_t extraBytes) {
    if (FLimitHit == TLimit::None && time >= 0 && time <= kMaxTick && FEvents.size() < FMaxEvents &&
        FPool.size() + extraBytes <= FMaxBytes)
      return true;
    return Refuse(time);
  }
  bool Refuse(Tick time);
  // time within the bounds (Admit), priority 0..15.
  void Append(Tick time, int priority, int status, int data1, int data2, int data3 = 0) {
    FEvents.push_back(TSmfEvent{static_cast<uint32_t>(time) << 4 | static_cast<uint32_t>(priority),
                                static_cast<uint8_t>(status), static_cast<uint8_t>(data1), static_cast<uint8_t>(data2),
                                static_cast<uint8_t>(data3)});
  }
  // Adds a system exclusive or meta event whose bytes are data and then tail.
  void AppendDirect(Tick time, int status, int type, std::string_view data, std::string_view tail = {});
  bool MergeNote(TSmfEvent& e);
  bool RemoveOverlappingNotes();
  bool Written(const TSmfEvent& e) const;
  size_t EventSize(const TSmfEvent& e) const;
  char* PutEvent(char* out, const TSmfEvent& e) const;

  std::vector<TSmfEvent> FEvents;
  std::string FPool;             // data bytes of system exclusive and meta events
  std::vector<TDirect> FDirect;  // their places in the pool
  uint8_t FNoteState[16][128] = {};
  size_t FMaxEvents, FMaxBytes;
  TLimit FLimitHit = TLimit::None;
};

// Appends the standard variable-length quantity (at most four bytes, values up to 0FFFFFFFh).
void WriteVarLen(std::string& out, uint32_t value);

}  // namespace tw
