// TSrcCtrl: holds the text of one MML source (code page 932 bytes) and reads it for the
// compiler: blanks and comments, tokens, numbers, note lengths, macro bodies, error positions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "Cp932.h"  // IsLeadByte: a lead byte and the byte after it are one character everywhere

namespace tw {

enum TSectionMode : uint8_t {
  smNone = 0,
  smSetting = 1,
  smTrack = 2,
  smAdpcm = 3,
  smTone = 4,
  smMacro = 5,
  smPartList = 6,
};

// A decimal fraction with four places, held as the value times 10000.
using FixedValue = int64_t;

// A position in FText; kNoPos stands for "none".
using TextPos = size_t;
inline constexpr TextPos kNoPos = static_cast<TextPos>(-1);

// The bytes at which SkipBlanks may have something to pass: blanks, line ends, comments, the
// end of a comment block, macro calls and the ends of macro bodies.
inline constexpr auto kSkipStart = [] {
  std::array<bool, 256> start{};
  for (const char c : {'\t', '\n', '\r', ' ', '`', '\'', '}', '(', '$'}) start[static_cast<uint8_t>(c)] = true;
  return start;
}();

class TSrcCtrl {
 public:
  uint8_t FMode = smNone;
  bool FExtended = false;       // set by the first "'{", never cleared
  std::string FText;            // the text; every reader treats the end as a NUL byte
  bool FSuppressMacro = false;  // "$" is neither a macro call nor a body end while set
  TextPos FStart = 0;           // first byte after the optional "mmc16" line
  TextPos FCur = 0;             // the scan position
  TextPos FMacroReturn = kNoPos;
  std::array<TextPos, 26> FMacros;
  // Bytes the scan has stepped over so far, every pass of a loop again (jumps do not count): the
  // compiler counts them as work, since a loop can re-read a long stretch of text per command.
  uint64_t FStepped = 0;

  TSrcCtrl() { FMacros.fill(kNoPos); }

  // Reads the file as text lines and passes them, each ended with CR LF, to SetText.
  // Throws FileError("ソースファイルの読み込みに失敗しました").
  void LoadFile(const std::string& path);
  void SetText(std::string text);

  // Passes blanks, comments, macro calls and macro ends. Inline for the common case of a command
  // letter at FCur: most of a song is short commands with nothing between them to skip.
  void SkipBlanks() {
    if (kSkipStart[At(FCur)]) SkipMore();
  }
  // Reads the next token into token (empty at the end of the text); token's buffer is reused.
  void NextToken(std::string& token);

  int ReadNoteLength(int timebase, int deflt);
  int ReadLengthSum(int timebase, int deflt);
  bool ReadHexByte(uint8_t& value);
  int ReadAccidental(int deflt);
  TextPos CaptureMacroBody();
  void SkipToCloseBrace();
  int ReadSign();
  int ReadNumber();
  bool ReadSignedNumber(int& value);
  FixedValue ReadDecimal();
  bool ReadSignedDecimal(FixedValue& value);
  int ReadHexOrNumber();
  std::string ReadRestOfLine();
  bool ReadTrackMode(bool& rhythm);
  bool TestOpenBrace() { return TestChar('{'); }
  bool TestCloseBrace() { return TestChar('}'); }
  bool TestEquals() { return TestChar('='); }
  bool TestCloseParen() { return TestChar(')'); }
  bool TestComma() { return TestChar(','); }
  bool TestAmpersand() { return TestChar('&'); }
  void GetLineColumn(int& line, int& column) const;

  // The byte at pos; 0 at and beyond the end of the text.
  uint8_t At(TextPos pos) const { return pos < FText.size() ? static_cast<uint8_t>(FText[pos]) : 0; }

 private:
  // Length of the character at pos: 2 for a lead byte with a byte after it, else 1.
  size_t CharLen(TextPos pos) const { return IsLeadByte(At(pos)) && At(pos + 1) != 0 ? 2 : 1; }
  void Step(size_t n = 1) {
    FCur += n;
    FStepped += n;
  }
  // The rest of SkipBlanks, once the byte at FCur may start something to pass.
  void SkipMore();
  bool TestChar(char c) {
    SkipBlanks();
    if (At(FCur) != static_cast<uint8_t>(c)) return false;
    Step();
    return true;
  }
  void TakeToken(std::string& token, uint8_t first);
  void SkipToLineEnd();
  int64_t TakeDigits();  // the digit run at FCur (saturating), -1 when there is none
  int TakeSignOrPlus();  // after the blanks: "-" gives -1, "+" or nothing gives 1
};

}  // namespace tw
