// Rewind and marker commands: the rewind offset that places output before the track time,
// marker meta events and the sound-off region.
#include "Texts.h"
#include "mmlcU.h"

namespace tw {
namespace {

constexpr int kMetaMarker = 6;

}  // namespace

void TMmlc::RegisterRewindCommands() {
  Bind("@PSTART", &TMmlc::CmdPStart);
  Bind("@PSTOP", &TMmlc::CmdPStop);
  Bind("@REW", &TMmlc::CmdRew);
  Bind("@REWE", &TMmlc::CmdRewE);
  Bind("@W", &TMmlc::CmdW);
  Bind("@RCSTART", &TMmlc::CmdRcStart);
  Bind("@RCEND", &TMmlc::CmdRcEnd);
}

// Output goes back by the length; the track time stays.
bool TMmlc::CmdRew(const std::string& token) {
  if (!InExtendedTrack()) return Fail(token, text::kMsgNotHere);
  FRewindOffset = FSrc.ReadLengthSum(FSmf.FTimebase, FDefaultLength);
  if (FRewindOffset < 0) return Fail(token, text::kMsgBadValue);
  return true;
}

// Output moves forward by the length inside a rewound passage, never past the track time.
bool TMmlc::CmdW(const std::string& token) {
  if (!InExtendedTrack()) return Fail(token, text::kMsgNotHere);
  FRewindOffset -= FSrc.ReadLengthSum(FSmf.FTimebase, FDefaultLength);
  if (FRewindOffset < 0) return Fail(token, text::kMsgBadValue);
  return true;
}

bool TMmlc::CmdRewE(const std::string& token) {
  if (!InExtendedTrack()) return Fail(token, text::kMsgNotHere);
  FRewindOffset = 0;
  return true;
}

bool TMmlc::CmdPStart(const std::string& token) {
  if (!InExtendedTrack()) return Fail(token, text::kMsgNotHere);
  FSmf.AddMeta(OutTime(), kMetaMarker, "Q00");
  return true;
}

bool TMmlc::CmdPStop(const std::string& token) {
  if (!InExtendedTrack()) return Fail(token, text::kMsgNotHere);
  FSmf.AddMeta(OutTime(), kMetaMarker, "Q0F");
  return true;
}

// The sound-off region works in any section; the notes apply it.
bool TMmlc::CmdRcStart(const std::string&) {
  FSoundOffArm = true;
  return true;
}

bool TMmlc::CmdRcEnd(const std::string&) {
  FSoundOffArm = false;
  return true;
}

}  // namespace tw
