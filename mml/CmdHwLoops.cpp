// Hardware loops: proxy events (pitch-bend sensitivity 22 and 23) and the loop data file.
#include <string>

#include "Texts.h"
#include "mmlcU.h"

namespace tw {
namespace {

constexpr int kMaxHwLoops = 4;  // for the whole compile
constexpr int kStartMark = 22;  // sensitivity of the loop-start proxy
constexpr int kEndMark = 23;    // sensitivity of the loop-end proxy

}  // namespace

void TMmlc::RegisterHwLoopCommands() {
  Bind(text::kTokHwLoopBegin, &TMmlc::CmdHwLoopBegin);
  Bind(text::kTokHwLoopEnd, &TMmlc::CmdHwLoopEnd);
}

// Registered parameter 0 (pitch-bend sensitivity) set to `mark` semitones. Written on a muted
// part as well, so that every mark keeps its line of the loop data file.
void TMmlc::AddHwLoopMark(int mark) {
  AddBendRange(OutTime(), OutChannel(), mark);
}

bool TMmlc::CmdHwLoopBegin(const std::string& token) {
  if (!InTrack()) return Fail(token, text::kMsgNotHere);
  // The count goes up before the nesting test: a nested "『" is counted too.
  if (++FHwLoopIndex >= kMaxHwLoops) return Fail(token, text::kMsgHwLoopLimit);
  if (FHwLoopOpen) return Fail(token, text::kMsgHwLoopNest);
  FHwLoopOpen = true;
  if (FOptHLoopOut) AddHwLoopMark(kStartMark);
  return true;
}

bool TMmlc::CmdHwLoopEnd(const std::string& token) {
  if (!InTrack()) return Fail(token, text::kMsgNotHere);
  int n = FSrc.ReadNumber();
  if (n < 1) n = 2;
  n = (n - 1) % 16 + 1;
  if (!FHwLoopOpen) return Fail(token, text::kMsgHwLoopNoStart);
  FHwLoopOpen = false;
  if (FOptHLoopOut) {
    AddHwLoopMark(kEndMark);
    AppendLoopData(std::to_string(n));
  }
  return true;
}

}  // namespace tw
