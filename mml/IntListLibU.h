// TIntListLib: a library of integer lists numbered from 0; looking a number up creates its list
// (empty) when it does not exist yet. Numbers are stored sparsely, so only the lists a source
// uses take memory.
#pragma once

#include <cstdint>
#include <map>

#include "IntegerListU.h"

namespace tw {

using TIntListLibItem = TIntegerList;

class TIntListLib {
 public:
  // The list numbered n (n >= 0), created empty on first use; nullptr for a negative n.
  TIntListLibItem* Items(int32_t n) { return n < 0 ? nullptr : &FLists[n]; }
  size_t Count() const { return FLists.size(); }

 private:
  std::map<int32_t, TIntListLibItem> FLists;
};

}  // namespace tw
