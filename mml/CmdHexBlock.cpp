// Hex event blocks: raw track-event bytes between "{" and "}".
#include <string>

#include "StackValue.h"
#include "Texts.h"
#include "mmlcU.h"

namespace tw {

void TMmlc::RegisterHexCommands() {
  Bind("{", &TMmlc::CmdHexBlock);
  Bind("!", &TMmlc::CmdBang);
}

// Walks the bytes as events: a delta byte, then a note event (stepped over) or an FFh event.
// Master volume, channel volume, pan, bend range and modulation become MIDI events; everything
// else only moves the time. An event cut short at the end of the block repeats the last byte.
bool TMmlc::CmdHexBlock(const std::string& token) {
  if (!InTrack()) return Fail(token, text::kMsgNotHere);
  TStackValue bytes;
  for (uint8_t b = 0; FSrc.ReadHexByte(b);) bytes.PushValue(false, b);
  FSrc.TestCloseBrace();  // a missing "}" leaves the rest to the compile loop
  AddWork(bytes.Count());  // each event takes at least one byte, so the walk is this long at most

  // Channel events of a block address the group of four channels that holds the track's
  // channel: the top two bits of the data byte pick one, the low six bits are the level.
  auto channelOf = [this](int v) { return (FChannel & 0x0C) + (v >> 6); };
  while (bytes.Count() > 0 && FSmf.LimitHit() == TSmf::TLimit::None) {
    FTrackTime += bytes.NextValue() & 0xFF;
    const int kind = bytes.NextValue() & 0xFF;
    if (kind != 0xFF) {
      bytes.SkipValues(FNoteMode ? 3 : 2);
      continue;
    }
    const int type = bytes.NextValue() & 0xFF;
    switch (type) {
      case 0xB0: {
        const char v = static_cast<char>(bytes.NextValue());
        const char data[6] = {'\x7F', '\x7F', '\x04', '\x01', '\x00', v};
        FSmf.AddSysEx(OutTime(), std::string_view(data, sizeof data));
        break;
      }
      case 0xE2: case 0xE3: case 0xEA: {
        const int v = bytes.NextValue() & 0xFF;
        const int controller = type == 0xE2 ? 7 : type == 0xE3 ? 10 : 1;
        if (!Muted()) FSmf.AddControlChange(OutTime(), channelOf(v), 0, controller, Scale64(v & 0x3F));
        break;
      }
      case 0xE7: {
        const int v = bytes.NextValue() & 0xFF;
        if (!Muted()) AddBendRange(OutTime(), channelOf(v), v & 0x3F);
        break;
      }
      case 0xFF: {  // data block of h * 255 + l bytes
        const int h = bytes.NextValue() & 0xFF;
        const int l = bytes.NextValue() & 0xFF;
        bytes.SkipValues(static_cast<uint64_t>(h) * 255 + static_cast<uint64_t>(l));
        break;
      }
      default:
        bytes.NextValue();
        break;
    }
  }
  return true;
}

bool TMmlc::CmdBang(const std::string& token) { return InTrack() || Fail(token, text::kMsgNotHere); }

}  // namespace tw
