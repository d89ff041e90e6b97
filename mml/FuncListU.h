// TFuncList: the keyword table. Binds each command keyword to its handler; looked up once per
// token, exactly and case-sensitively, in a hash table (the lookup is the compile loop's
// hottest step).
#pragma once

#include <array>
#include <functional>
#include <string>
#include <unordered_map>

namespace tw {

// A handler receives its token and returns false after setting FErrorText when it failed.
using TFuncEvent = std::function<bool(const std::string& token)>;

struct TFuncItem {
  TFuncEvent FHandler;
};

class TFuncList {
 public:
  // Binds keyword to handler, replacing an earlier binding of the same keyword.
  void Register(const std::string& keyword, TFuncEvent handler);
  // Runs the handler of token and stores its result in FLastOk; false when token is not bound.
  bool Execute(const std::string& token);
  void Clear();
  size_t Count() const { return FItems.size(); }

  bool FLastOk = true;
  std::string FErrorText;  // message of the last failure (code page 932)

 private:
  std::unordered_map<std::string, TFuncItem> FItems;
  // The keywords of one byte (note letters, brackets: most tokens of a song) by that byte.
  std::array<const TFuncItem*, 256> FOneByte{};
};

}  // namespace tw
