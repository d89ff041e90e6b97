// Software loops and cue marks.
#include "Texts.h"
#include "mmlcU.h"

namespace tw {

void TMmlc::RegisterLoopCommands() {
  Bind("[", &TMmlc::CmdLoopBegin);
  Bind("/", &TMmlc::CmdLoopBreak);
  Bind("]", &TMmlc::CmdLoopEnd);
  Bind(text::kTokCueStart, &TMmlc::CmdCueStart);
  Bind(text::kTokCueStop, &TMmlc::CmdCueStop);
}

// Each item remembers whether its "[" stood in a macro body (and in which call): a "/" or "]"
// in another context does not match it, since jumping between the contexts would leave the
// scanner's macro return position wrong.
bool TMmlc::CmdLoopBegin(const std::string& token) {
  if (!InTrack()) return Fail(token, text::kMsgNotHere);
  FLoop.BeginLoop(FSrc.FCur, 0, FSrc.FMacroReturn);
  return true;
}

bool TMmlc::CmdLoopBreak(const std::string& token) {
  if (!InTrack()) return Fail(token, text::kMsgNotHere);
  FLoop.BreakLoop(FSrc.FCur, 0, FSrc.FMacroReturn);
  return !FLoop.FError || Fail(token, text::kMsgBadLoop);
}

bool TMmlc::CmdLoopEnd(const std::string& token) {
  if (!InTrack()) return Fail(token, text::kMsgNotHere);
  FLoop.EndLoop(FSrc.FCur, 0, FSrc);
  return !FLoop.FError || Fail(token, text::kMsgBadLoop);
}

// Cue points are meta events: written on a muted part too.
bool TMmlc::CmdCueStart(const std::string& token) {
  if (!InTrack()) return Fail(token, text::kMsgNotHere);
  FSmf.AddMeta(OutTime(), 7, "START");
  return true;
}

bool TMmlc::CmdCueStop(const std::string& token) {
  if (!InTrack()) return Fail(token, text::kMsgNotHere);
  FSmf.AddMeta(OutTime(), 7, "STOP");
  return true;
}

}  // namespace tw
