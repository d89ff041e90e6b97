// TLoop: the stack of open software loops. A loop is expanded by moving the scan position back
// to the start of its body, so an item holds positions in the text only.
#pragma once

#include <cstddef>
#include <vector>

#include "SrcCtrl.h"

namespace tw {

struct TLoopItem {
  int FKind = 0;
  int FRemain = 0;                // passes still to start after the current one
  TextPos FStartPos = 0;          // just behind "["
  TextPos FExitPos = kNoPos;      // just behind "]" and its count; none before the first arrival
  TextPos FMacroReturn = kNoPos;  // the scanner's macro return position at "[": the text context
};

class TLoop {
 public:
  bool FError = false;            // the last EndLoop or BreakLoop found no matching loop
  std::vector<TLoopItem> FItems;  // outermost first, innermost last

  // Opens a loop whose passes begin at pos. macroReturn is the scanner's macro return position,
  // which tells the macro body (or the plain text) that the "[" stands in.
  void BeginLoop(TextPos& pos, int kind, TextPos macroReturn);
  // At a "]" (pos just behind it): reads the count digits of src at pos (adding them to
  // src.FStepped), then moves pos back to the loop's start or on to its exit. A loop opened in
  // another text context (another macro body, or inside one and outside the other) does not match.
  void EndLoop(TextPos& pos, int kind, TSrcCtrl& src);
  // At a "/": on the last pass of the innermost loop moves pos to its exit.
  void BreakLoop(TextPos& pos, int kind, TextPos macroReturn);

  size_t Count() const { return FItems.size(); }
  // The item at index; nullptr for an index outside the list.
  TLoopItem* Items(std::ptrdiff_t index);
  // Removes the item at index; an index outside the list does nothing.
  void Delete(std::ptrdiff_t index);
  void Clear() { FItems.clear(); }

 private:
  // The innermost item when it has the kind and the text context; else nullptr.
  TLoopItem* Innermost(int kind, TextPos macroReturn);
};

}  // namespace tw
