#include "StackValue.h"

#include <algorithm>

namespace tw {

void TStackValue::Take() {
  const TStackValueItem& item = FItems[FHead++];
  // A relative entry wraps around like the 32-bit value it is, never overflowing.
  FCurrent = item.FRelative
                 ? static_cast<int32_t>(static_cast<uint32_t>(FCurrent) + static_cast<uint32_t>(item.FValue))
                 : item.FValue;
  if (FHead == FItems.size()) {  // all taken: release the entries
    FItems.clear();
    FHead = 0;
  }
}

int32_t TStackValue::NextValue() {
  if (Count() > 0) Take();
  return FCurrent;
}

int32_t TStackValue::SkipValues(uint64_t n) {
  for (uint64_t i = std::min<uint64_t>(n, Count()); i > 0; --i) Take();
  return FCurrent;
}

}  // namespace tw
