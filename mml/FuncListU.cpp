#include "FuncListU.h"

namespace tw {

void TFuncList::Register(const std::string& keyword, TFuncEvent handler) {
  const auto [it, added] = FItems.insert_or_assign(keyword, TFuncItem{std::move(handler)});
  // Elements of the map stay where they are when it grows, so the pointer stays valid.
  if (keyword.size() == 1) FOneByte[static_cast<unsigned char>(keyword[0])] = &it->second;
}

bool TFuncList::Execute(const std::string& token) {
  const TFuncItem* item = nullptr;
  if (token.size() == 1) {
    item = FOneByte[static_cast<unsigned char>(token[0])];
  } else if (const auto it = FItems.find(token); it != FItems.end()) {
    item = &it->second;
  }
  if (item == nullptr || !item->FHandler) return false;
  FLastOk = item->FHandler(token);
  return true;
}

void TFuncList::Clear() {
  FLastOk = true;
  FItems.clear();
  FOneByte.fill(nullptr);
}

}  // namespace tw
