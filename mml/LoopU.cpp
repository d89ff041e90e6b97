#include "LoopU.h"

#include <cstdint>

namespace tw {
namespace {

constexpr bool IsDigit(uint8_t b) { return b >= '0' && b <= '9'; }

}  // namespace

void TLoop::BeginLoop(TextPos& pos, int kind, TextPos macroReturn) {
  FError = false;
  FItems.push_back(TLoopItem{kind, 0, pos, kNoPos, macroReturn});
}

TLoopItem* TLoop::Items(std::ptrdiff_t index) {
  if (index < 0 || static_cast<size_t>(index) >= FItems.size()) return nullptr;
  return &FItems[static_cast<size_t>(index)];
}

void TLoop::Delete(std::ptrdiff_t index) {
  if (index < 0 || static_cast<size_t>(index) >= FItems.size()) return;
  FItems.erase(FItems.begin() + index);
}

TLoopItem* TLoop::Innermost(int kind, TextPos macroReturn) {
  if (FItems.empty()) return nullptr;
  TLoopItem& item = FItems.back();
  return item.FKind == kind && item.FMacroReturn == macroReturn ? &item : nullptr;
}

void TLoop::EndLoop(TextPos& pos, int kind, TSrcCtrl& src) {
  FError = false;
  const TextPos behindBracket = pos;
  // The count: the digits directly behind "]"; none gives 0, more than 32 bits give 2.
  int64_t count = 0;
  bool overflow = false;
  while (IsDigit(src.At(pos))) {
    if (!overflow) {
      count = count * 10 + (src.At(pos) - '0');
      overflow = count > INT32_MAX;
    }
    ++pos;
  }
  src.FStepped += pos - behindBracket;
  TLoopItem* item = Innermost(kind, src.FMacroReturn);
  if (item == nullptr) {
    FError = true;
    pos = behindBracket;
    return;
  }
  const int passes = overflow || count < 2 ? 2 : static_cast<int>(count);
  if (item->FExitPos == kNoPos) {
    item->FRemain = passes - 1;
    item->FExitPos = pos;
    pos = item->FStartPos;
  } else if (item->FRemain >= 2) {
    --item->FRemain;
    pos = item->FStartPos;
  } else {
    pos = item->FExitPos;
    FItems.pop_back();
  }
}

void TLoop::BreakLoop(TextPos& pos, int kind, TextPos macroReturn) {
  FError = false;
  TLoopItem* item = Innermost(kind, macroReturn);
  if (item == nullptr) {
    FError = true;
    return;
  }
  if (item->FExitPos != kNoPos && item->FRemain < 2) {
    pos = item->FExitPos;
    FItems.pop_back();
  }
}

}  // namespace tw
