#include "SrcCtrl.h"

#include <algorithm>
#include <climits>
#include <string_view>

#include "FileIO.h"
#include "Texts.h"

namespace tw {
namespace {

constexpr bool IsDigit(uint8_t b) { return b >= '0' && b <= '9'; }
constexpr bool IsLetter(uint8_t b) { return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'); }
constexpr bool IsHexDigit(uint8_t b) { return IsDigit(b) || (b >= 'A' && b <= 'F') || (b >= 'a' && b <= 'f'); }
constexpr int HexValue(uint8_t b) { return IsDigit(b) ? b - '0' : (b | 0x20) - 'a' + 10; }
constexpr char Upper(uint8_t b) { return static_cast<char>(b >= 'a' && b <= 'z' ? b - 32 : b); }
// LF, CR and the back-quote end a line.
constexpr bool IsLineEnd(uint8_t b) { return b == '\n' || b == '\r' || b == '`'; }

constexpr int64_t kSaturated = static_cast<int64_t>(INT32_MAX) + 1;  // "does not fit 32 bits"

int ClampToInt(int64_t v) { return static_cast<int>(std::min<int64_t>(v, INT32_MAX)); }

}  // namespace

// The lines of the file (LF, CR and CR LF each end one; a NUL byte ends the content), each with
// CR LF. Written in one pass rather than through a list of lines: a file of short lines would
// otherwise take some fifty bytes of memory per byte.
void TSrcCtrl::LoadFile(const std::string& path) {
  SetText(ToCrLfText(ReadWholeFile(path, text::kMsgLoadFailed)));
}

void TSrcCtrl::SetText(std::string text) {
  const size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  FText = std::move(text);
  FCur = 0;
  if (FText.compare(0, 7, "mmc16\r\n") == 0) FCur = 7;
  FStart = FCur;
}

void TSrcCtrl::SkipToLineEnd() {
  while (At(FCur) != 0 && !IsLineEnd(At(FCur))) Step(CharLen(FCur));
}

void TSrcCtrl::SkipMore() {
  for (;;) {
    // Blanks and line ends (the back-quote is one), the common case, in a tight loop.
    const char* text = FText.data();
    const size_t size = FText.size();
    TextPos p = FCur;
    while (p < size && (text[p] == ' ' || text[p] == '\r' || text[p] == '\n' || text[p] == '\t' || text[p] == '`')) ++p;
    FStepped += p - FCur;
    FCur = p;
    const uint8_t b = At(FCur);
    if (!kSkipStart[b]) return;
    switch (b) {
      case '\'':
        if (At(FCur + 1) == '{') {
          Step(2);
          FExtended = true;
        } else {
          SkipToLineEnd();
        }
        continue;
      case '}':
        if (!FExtended) return;
        SkipToLineEnd();
        continue;
      case '(':
        if (FMacroReturn == kNoPos) return;
        FCur = FMacroReturn;
        FMacroReturn = kNoPos;
        continue;
      case '$': {
        if (FSuppressMacro) return;
        if (FMacroReturn != kNoPos) {
          FCur = FMacroReturn;
          FMacroReturn = kNoPos;
          continue;
        }
        const uint8_t letter = At(FCur + 1);
        if (FMode != smTrack || !IsLetter(letter)) return;
        const TextPos body = FMacros[Upper(letter) - 'A'];
        if (body == kNoPos) return;
        FMacroReturn = FCur + 2;
        FCur = body;
        continue;
      }
      default:
        return;
    }
  }
}

void TSrcCtrl::NextToken(std::string& token) {
  token.clear();
  SkipBlanks();
  const uint8_t b = At(FCur);
  if (b == 0) return;
  if (IsLetter(b) && FMode != smSetting) {  // a command letter: most tokens of a song
    token += Upper(b);
    Step();
    return;
  }
  TakeToken(token, b);
}

// The tokens other than a single command letter.
void TSrcCtrl::TakeToken(std::string& token, uint8_t b) {
  auto takeLetters = [&] {
    for (; IsLetter(At(FCur)); Step()) token += Upper(At(FCur));
  };
  if (IsLetter(b)) {  // a setting keyword
    token += Upper(b);
    Step();
    takeLetters();
  } else if (b == '@') {
    token += '@';
    Step();
    if (FExtended) takeLetters();
  } else if (b == '$') {
    token += '$';
    Step();
    if (IsLetter(At(FCur))) {
      token += Upper(At(FCur));
      Step();
    }
  } else if (b == '(') {
    token += '(';
    Step();
    takeLetters();
  } else if (IsDigit(b)) {
    for (; IsDigit(At(FCur)); Step()) token += static_cast<char>(At(FCur));
    if (FMode == smAdpcm) token = "[VALUE]";
  } else {
    const size_t len = CharLen(FCur);
    token.assign(FText, FCur, len);
    Step(len);
  }
}

int64_t TSrcCtrl::TakeDigits() {
  if (!IsDigit(At(FCur))) return -1;
  int64_t value = 0;
  while (IsDigit(At(FCur))) {
    if (value < kSaturated) value = std::min(value * 10 + (At(FCur) - '0'), kSaturated);
    Step();
  }
  return value;
}

int TSrcCtrl::ReadNumber() {
  SkipBlanks();
  const TextPos start = FCur;
  const int64_t value = TakeDigits();
  if (value < 0 || value > INT32_MAX) {
    FCur = start;
    return -1;
  }
  return static_cast<int>(value);
}

int TSrcCtrl::ReadSign() {
  SkipBlanks();
  if (At(FCur) == '+') return Step(), 1;
  if (At(FCur) == '-') return Step(), -1;
  return 0;
}

int TSrcCtrl::TakeSignOrPlus() {
  const int sign = ReadSign();
  return sign == 0 ? 1 : sign;
}

bool TSrcCtrl::ReadSignedNumber(int& value) {
  const int sign = TakeSignOrPlus();
  const int n = ReadNumber();
  value = sign * n;
  return n != -1;
}

FixedValue TSrcCtrl::ReadDecimal() {
  SkipBlanks();
  constexpr FixedValue kInvalid = -10000;
  constexpr int64_t kMaxWhole = 100000000000000;  // beyond any sensible semitone count
  int64_t whole = 0;
  int64_t frac = 0;  // the first four places, times 10000
  int places = 0;
  int roundDigit = -1;  // the fifth place, decides the rounding
  bool sticky = false;  // a nonzero digit after the fifth place
  bool dot = false, digits = false, valid = true;
  for (uint8_t b = At(FCur); b == '.' || IsDigit(b); Step(), b = At(FCur)) {
    if (b == '.') {
      if (dot) valid = false;
      dot = true;
      continue;
    }
    digits = true;
    const int d = b - '0';
    if (!dot) {
      whole = whole * 10 + d;
      if (whole > kMaxWhole) valid = false, whole = kMaxWhole;
    } else if (places < 4) {
      frac = frac * 10 + d;
      ++places;
    } else if (roundDigit < 0) {
      roundDigit = d;
    } else if (d != 0) {
      sticky = true;
    }
  }
  if (!digits || !valid) return kInvalid;
  while (places < 4) frac *= 10, ++places;
  FixedValue value = whole * 10000 + frac;
  // Round to four places, ties to even.
  if (roundDigit > 5 || (roundDigit == 5 && (sticky || (value & 1)))) ++value;
  return value;
}

bool TSrcCtrl::ReadSignedDecimal(FixedValue& value) {
  const int sign = TakeSignOrPlus();
  const FixedValue v = ReadDecimal();
  value = sign * v;
  return v >= 0;
}

int TSrcCtrl::ReadHexOrNumber() {
  FSuppressMacro = true;
  SkipBlanks();
  FSuppressMacro = false;
  int64_t value = 0;
  bool any = false;
  if (At(FCur) == '$') {
    Step();
    for (; IsHexDigit(At(FCur)); Step()) {
      value = std::min(value * 16 + HexValue(At(FCur)), kSaturated);
      any = true;
    }
  } else {
    value = TakeDigits();
    any = value >= 0;
  }
  return any && value <= INT32_MAX ? static_cast<int>(value) : -1;
}

bool TSrcCtrl::ReadHexByte(uint8_t& value) {
  const uint8_t hi = At(FCur), lo = At(FCur + 1);
  if (!IsHexDigit(hi) || !IsHexDigit(lo)) return false;
  value = static_cast<uint8_t>(HexValue(hi) * 16 + HexValue(lo));
  Step(2);
  return true;
}

int TSrcCtrl::ReadAccidental(int deflt) {
  SkipBlanks();
  const uint8_t b = At(FCur);
  if (b == '#' || b == '+') return Step(), 1;
  if (b == '-') return Step(), -1;
  return deflt;
}

bool TSrcCtrl::ReadTrackMode(bool& rhythm) {
  SkipBlanks();
  const uint8_t b = At(FCur);
  if (b != 'D' && b != 'T') return false;
  rhythm = b == 'D';
  Step();
  return true;
}

std::string TSrcCtrl::ReadRestOfLine() {
  const TextPos start = FCur;
  while (At(FCur) != 0 && !IsLineEnd(At(FCur)) && At(FCur) != '\'') Step(CharLen(FCur));
  return FText.substr(start, FCur - start);
}

int TSrcCtrl::ReadNoteLength(int timebase, int deflt) {
  SkipBlanks();
  if (At(FCur) == '*') {
    Step();
    SkipBlanks();
    return ClampToInt(std::max<int64_t>(TakeDigits(), 0));
  }
  const int64_t n = TakeDigits();
  int64_t length = n < 0 ? deflt : n == 0 ? 0 : timebase * 4 / n;
  if (At(FCur) == '.') {
    Step();
    length = length * 3 / 2;
  }
  return ClampToInt(length);
}

int TSrcCtrl::ReadLengthSum(int timebase, int deflt) {
  SkipBlanks();
  int64_t sum = 0;
  for (;;) {
    SkipBlanks();
    int64_t term;
    if (At(FCur) == '*') {
      Step();
      const int n = ReadNumber();
      term = n == -1 ? deflt : n;
    } else {
      const int n = ReadNumber();
      term = n == -1 ? deflt : n == 0 ? 0 : timebase * 4 / n;
      // Each dot adds half of the previous addition; after a missing number or a 0 the
      // addend starts at -1 or 0, so the dots add nothing.
      int64_t addend = n <= 0 ? n : term;
      while (At(FCur) == '.') {
        Step();
        addend /= 2;
        term += addend;
      }
    }
    sum = std::min<int64_t>(sum + term, INT32_MAX);
    SkipBlanks();
    if (At(FCur) != '^') return static_cast<int>(sum);
    Step();
  }
}

TextPos TSrcCtrl::CaptureMacroBody() {
  const TextPos start = FCur;
  for (uint8_t b = At(FCur); b != 0 && b != '$' && b != '('; b = At(FCur)) {
    if (b == '\'')
      SkipToLineEnd();
    else
      Step(CharLen(FCur));
  }
  return start;
}

void TSrcCtrl::SkipToCloseBrace() {
  while (At(FCur) != 0) {
    if (At(FCur) == '}') {
      Step();
      return;
    }
    Step(CharLen(FCur));
  }
}

void TSrcCtrl::GetLineColumn(int& line, int& column) const {
  line = 1;
  column = 0;
  for (TextPos p = FStart; p < FCur && At(p) != 0; p += CharLen(p)) {
    ++column;
    if (At(p) == '\n' || At(p) == '`') {
      ++line;
      column = 0;
    }
  }
}

}  // namespace tw
