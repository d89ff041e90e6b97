// TLoop: the stack of open software loops. A loop is expanded by moving the scan position back
// to the start of its body, so an item holds positions in the text only.
#pragma once

#include <vector>

#include "SrcCtrl.h"

namespace tw {

struct TLoopItem {
  int FKind = 0;
  int FRemain = 0;             // passes still to start after the current one
  TextPos FStartPos = 0;       // just behind "["
  TextPos FExitPos = kNoPos;   // just behind "]" and its count; none before the first arrival
  TextPos FMacroReturn = kNoPos;  // the scanner's macro return position at "["
};

class TLoop {
 public:
  bool FError = false;
  std::vector<TLoopItem> FItems;  // outermost first

  void BeginLoop(TextPos& pos, int kind, TextPos macroReturn = kNoPos);
  void EndLoop(TextPos& pos, int kind, const TSrcCtrl& src);
  void BreakLoop(TextPos& pos, int kind);
  size_t Count() const { return FItems.size(); }
  void Clear() { FItems.clear(); }
};

}  // namespace tw
