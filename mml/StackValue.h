// TStackValue: the byte queue of a hex event block. A first-in, first-out queue with a current
// value; reading past the end repeats the value last taken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tw {

struct TStackValueItem {
  bool FRelative = false;  // added to the current value instead of replacing it
  int32_t FValue = 0;
};

class TStackValue {
 public:
  void PushValue(bool relative, int32_t value) { FItems.push_back(TStackValueItem{relative, value}); }
  size_t Count() const { return FItems.size() - FHead; }
  // Takes the first entry into FCurrent and returns FCurrent; on an empty queue returns
  // FCurrent unchanged.
  int32_t NextValue();
  // The same as NextValue called n times, in time proportional to the entries taken (calls
  // past the end change nothing).
  int32_t SkipValues(uint64_t n);

  int32_t FCurrent = 0;

 private:
  void Take();

  std::vector<TStackValueItem> FItems;
  size_t FHead = 0;  // entries before FHead have been taken
};

}  // namespace tw
