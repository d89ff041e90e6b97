// TFuncList: the keyword table. Binds each command keyword to its handler, a method of the
// owning object (the compiler derives from the table); looked up once per token, exactly and
// case-sensitively. The lookup is the compile loop's hottest step: the keywords of one byte
// (note letters, brackets: most tokens of a song) go through a direct table, the others
// through a hash table; an entry is a plain pair of object and method, so filling the table
// allocates nothing per handler.
#pragma once

#include <array>
#include <string>
#include <unordered_map>

namespace tw {

template <class TOwner>
class TFuncList {
 public:
  // A handler receives its token and returns false after setting FErrorText when it failed.
  using TFuncEvent = bool (TOwner::*)(const std::string& token);

  // One entry: the handler bound to its object (object and method together).
  struct TFuncItem {
    TOwner* FObject = nullptr;
    TFuncEvent FHandler = nullptr;
  };

  // Binds keyword to handler (a method of object), replacing an earlier binding of the keyword.
  void Register(const std::string& keyword, TOwner* object, TFuncEvent handler) {
    const TFuncItem item{object, handler};
    if (keyword.size() == 1) {
      FOneByte[static_cast<unsigned char>(keyword[0])] = item;
    } else {
      FItems.insert_or_assign(keyword, item);
    }
  }

  // Runs the handler of token and stores its result in FLastOk; false when token is not bound.
  bool Execute(const std::string& token) {
    const TFuncItem* item = nullptr;
    if (token.size() == 1) {
      item = &FOneByte[static_cast<unsigned char>(token[0])];
    } else if (const auto it = FItems.find(token); it != FItems.end()) {
      item = &it->second;
    }
    if (item == nullptr || item->FHandler == nullptr) return false;
    FLastOk = (item->FObject->*item->FHandler)(token);
    return true;
  }

  void Clear() {
    FLastOk = true;
    FItems.clear();
    FOneByte.fill({});
  }

  bool FLastOk = true;
  std::string FErrorText;  // message of the last failure (code page 932)

 protected:
  TFuncList() { FItems.reserve(kExpectedKeywords); }
  ~TFuncList() = default;

 private:
  static constexpr size_t kExpectedKeywords = 128;  // room for a command set without rehashing

  std::unordered_map<std::string, TFuncItem> FItems;  // keywords of two bytes and more
  std::array<TFuncItem, 256> FOneByte{};              // keywords of one byte, by that byte
};

}  // namespace tw
