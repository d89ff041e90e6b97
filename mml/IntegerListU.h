// TIntegerList: an ordered list of signed 32-bit integers (sweep patterns, random sets, step
// lists and the velocity queue).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tw {

class TIntegerList {
 public:
  void Add(int32_t value) { FItems.push_back(value); }
  int32_t Items(size_t index) const { return FItems[FHead + index]; }
  int32_t Last() const { return FItems.back(); }
  void DeleteLast() { FItems.pop_back(); }
  size_t Count() const { return FItems.size() - FHead; }
  bool Empty() const { return Count() == 0; }
  void Clear() {
    FItems.clear();
    FHead = 0;
  }
  // Removes and returns the first entry, in constant time (the queue of velocities).
  int32_t TakeFirst();

 private:
  std::vector<int32_t> FItems;
  size_t FHead = 0;  // entries before FHead have been taken
};

}  // namespace tw
