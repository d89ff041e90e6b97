#include "FuncListU.h"

namespace tw {

void TFuncList::Register(const std::string& keyword, TFuncEvent handler) {
  FItems.insert_or_assign(keyword, TFuncItem{std::move(handler)});
}

bool TFuncList::Execute(const std::string& token) {
  const auto it = FItems.find(token);
  if (it == FItems.end() || !it->second.FHandler) return false;
  FLastOk = it->second.FHandler(token);
  return true;
}

void TFuncList::Clear() {
  FLastOk = true;
  FItems.clear();
}

}  // namespace tw
