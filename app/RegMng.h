// The settings store: a table of named items (section, key, default text) over an INI file,
// read and written through one filer bound to one item at a time. Every read and every write
// goes to the file; nothing is kept in memory.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tw {

struct TRegItem {
  std::string Name;          // the name the program looks the item up by
  std::string Section;       // INI section
  std::string Ident;         // key in that section
  std::string DefaultValue;  // text used when the file has no value
};

enum class TRegType { rtReg, rtIni };

class TRegManager;

class TRegFiler {
 public:
  explicit TRegFiler(TRegManager& manager) : FManager(manager) {}
  virtual ~TRegFiler() = default;

  // The value of Ident in Section, or deflt (also when either name is empty or the file,
  // section or key does not exist).
  virtual std::string ReadString(const std::string& section, const std::string& ident, const std::string& deflt);
  // Stores the value under the key at once, keeping every other line of the file. Throws
  // FileError when the file cannot be written. Nothing is stored when either name is empty, or
  // when a name or the value could not be read back as written (a line break, "]" in the
  // section, "=" in the key).
  virtual void WriteString(const std::string& section, const std::string& ident, const std::string& value);
  // The current item as a Boolean: the integer value's lowest 8 bits not all zero; false when
  // no item is bound.
  virtual bool ReadBool();
  // Writes "1" or "0" for the current item; nothing when no item is bound.
  virtual void WriteBool(bool value);

  const TRegItem* FItem = nullptr;  // the current item, none after a failed look-up

 private:
  TRegManager& FManager;
};

class TRegManager {
 public:
  TRegManager();

  // Binds the filer to the first item whose Name equals name, ignoring case. Without a match
  // shows "[' name '] is invalid." through OnError and binds no item.
  TRegFiler& Item(const std::string& name);

  TRegType RegType = TRegType::rtIni;
  std::string IniFileName;
  std::string RegDir;
  std::vector<TRegItem> RegItems;
  // Shows an error message in a modal box (the window supplies it); unset: the message is dropped.
  std::function<void(const std::string& message)> OnError;

 private:
  // The filer refers back to its manager and to an item of RegItems: a copy would point into
  // the original.
  TRegManager(const TRegManager&) = delete;
  TRegManager& operator=(const TRegManager&) = delete;

  TRegFiler FFiler;
};

// The item table of the compile options, in order.
std::vector<TRegItem> OptionItems();

// The settings file for the executable at exePath: exePath with ".ini", or, when that folder
// cannot be written (an installed program), $XDG_CONFIG_HOME/toneweld/toneweld.ini
// (~/.config/toneweld/toneweld.ini without XDG_CONFIG_HOME), its folder created on demand.
std::string SettingsPath(const std::string& exePath);

}  // namespace tw
