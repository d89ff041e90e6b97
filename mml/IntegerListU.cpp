#include "IntegerListU.h"

namespace tw {

int32_t TIntegerList::TakeFirst() {
  const int32_t value = FItems[FHead++];
  if (FHead == FItems.size()) {
    Clear();
  } else if (FHead >= 1024 && FHead * 2 >= FItems.size()) {
    // Drop the taken half so that a long-lived queue does not keep growing.
    FItems.erase(FItems.begin(), FItems.begin() + static_cast<std::ptrdiff_t>(FHead));
    FHead = 0;
  }
  return value;
}

}  // namespace tw
