// The scanner: loading, blanks and comments, tokens, readers, lengths, macros, positions.
#include <gtest/gtest.h>

#include "Cp932.h"
#include "FileIO.h"
#include "SrcCtrl.h"
#include "TestUtil.h"

namespace tw::test {
namespace {

using Tokens = std::vector<std::string>;

std::string NextToken(TSrcCtrl& src) {
  std::string token = "stale";  // the scanner must not keep anything of the buffer it is given
  src.NextToken(token);
  return token;
}

// Every token up to the end of the text, shown in UTF-8.
Tokens TokensOf(TSrcCtrl& src) {
  Tokens tokens;
  for (std::string t = NextToken(src); !t.empty(); t = NextToken(src)) tokens.push_back(Cp932ToUtf8(t));
  return tokens;
}

Tokens TokensOf(std::string_view utf8, uint8_t mode = smTrack) {
  TSrcCtrl src;
  src.SetText(Utf8ToCp932(utf8));
  src.FMode = mode;
  return TokensOf(src);
}

TSrcCtrl Loaded(const std::string& bytes) {
  const std::string path = TempDir() + "/s.mml";
  WriteFile(path, bytes);
  TSrcCtrl src;
  src.LoadFile(path);
  return src;
}

TEST(Scanner, LoadingNormalisesLineEndsAndCutsAtNul) {
  for (const char* text : {"mmc16\nC\nD", "mmc16\rC\rD\r", "mmc16\r\nC\r\nD\r\n"}) {
    TSrcCtrl src = Loaded(text);
    EXPECT_EQ(src.FText, "mmc16\r\nC\r\nD\r\n") << text;
    EXPECT_EQ(src.FStart, 7u);
  }
  EXPECT_EQ(Loaded(std::string("C\r\nD\0E\r\n", 8)).FText, "C\r\nD\r\n");
  EXPECT_EQ(Loaded("").FText, "");
  EXPECT_EQ(Loaded(std::string(100, '\0')).FText, "");
  // The header is case-sensitive and must be the whole first line.
  EXPECT_EQ(Loaded("MMC16\nC").FStart, 0u);
  EXPECT_EQ(Loaded("mmc16 \nC").FStart, 0u);
}

TEST(Scanner, UnreadableFileRaisesTheLoadError) {
  TSrcCtrl src;
  try {
    src.LoadFile(TempDir() + "/missing.mml");
    FAIL() << "no error";
  } catch (const FileError& e) {
    EXPECT_EQ(Cp932ToUtf8(e.what()), "ソースファイルの読み込みに失敗しました");
  }
}

TEST(Scanner, TokenForms) {
  const struct {
    const char* source;
    uint8_t mode;
    Tokens tokens;
  } cases[] = {
      {"ab c", smTrack, {"A", "B", "C"}},
      {"Title title=x", smSetting, {"TITLE", "TITLE", "=", "X"}},
      {"@V1 @prg", smTrack, {"@", "V", "1", "@", "P", "R", "G"}},
      {"'{\n@V1 @prg", smTrack, {"@V", "1", "@PRG"}},
      {"(t1) (Setting (", smTrack, {"(T", "1", ")", "(SETTING", "("}},
      {"12 = x", smAdpcm, {"[VALUE]", "=", "X"}},
      {"12", smTrack, {"12"}},
      {"$a$B$", smNone, {"$A", "$B", "$"}},
      {"『c』3【】", smTrack, {"『", "C", "』", "3", "【", "】"}},
      {"<>[]&{},)\xEF\xBD\xB1", smTrack, {"<", ">", "[", "]", "&", "{", "}", ",", ")", "ｱ"}},
      {"c\u3000d", smTrack, {"C", "\u3000", "D"}},  // an ideographic space is no blank
  };
  for (const auto& c : cases) EXPECT_EQ(TokensOf(c.source, c.mode), c.tokens) << c.source;
}

TEST(Scanner, BlanksAndComments) {
  const struct {
    const char* source;
    Tokens tokens;
  } cases[] = {
      {"c ' d\ne", {"C", "E"}},
      {"c ' d`e", {"C", "E"}},           // the back-quote ends a comment
      {"c\t\r\n` d", {"C", "D"}},
      {"c }d\ne", {"C", "}", "D", "E"}},  // "}" is a token while extended commands are off
      {"'{ c }d\ne", {"C", "E"}},         // and a comment once they are on
      {"' {c\nd", {"D"}},                 // apostrophe, blank, brace: an ordinary comment
      {"c'チ\nd", {"C", "D"}},             // "チ" is 83h 60h: its trail byte is no back-quote
  };
  for (const auto& c : cases) EXPECT_EQ(TokensOf(c.source), c.tokens) << c.source;
}

TEST(Scanner, ExtendedSwitchStaysOn) {
  TSrcCtrl src;
  src.SetText("c '{ d\n@v");
  src.FMode = smTrack;
  EXPECT_FALSE(src.FExtended);
  EXPECT_EQ(TokensOf(src), (Tokens{"C", "D", "@V"}));
  EXPECT_TRUE(src.FExtended);
}

TEST(Scanner, LeadByteAtTheVeryEndIsOneCharacter) {
  TSrcCtrl src;
  src.SetText("c\x82");
  src.FMode = smTrack;
  EXPECT_EQ(NextToken(src), "C");
  EXPECT_EQ(NextToken(src), "\x82");
  EXPECT_EQ(NextToken(src), "");
  src.SetText("'\x82");
  EXPECT_EQ(NextToken(src), "");
  int line, column;
  src.GetLineColumn(line, column);
  EXPECT_EQ(line, 1);
}

TEST(Scanner, NumberReaders) {
  TSrcCtrl src;
  src.SetText(" 0042 x 99999999999 2147483647 2147483648");
  EXPECT_EQ(src.ReadNumber(), 42);
  EXPECT_EQ(src.ReadNumber(), -1);  // not consumed
  EXPECT_EQ(src.At(src.FCur), 'x');
  ++src.FCur;
  EXPECT_EQ(src.ReadNumber(), -1);  // eleven nines do not fit and are not consumed
  EXPECT_EQ(src.At(src.FCur), '9');
  src.FCur += 11;
  EXPECT_EQ(src.ReadNumber(), 2147483647);
  EXPECT_EQ(src.ReadNumber(), -1);

  int value = 0;
  src.SetText("- 5 +7 + x -");
  EXPECT_TRUE(src.ReadSignedNumber(value));
  EXPECT_EQ(value, -5);
  EXPECT_TRUE(src.ReadSignedNumber(value));
  EXPECT_EQ(value, 7);
  EXPECT_FALSE(src.ReadSignedNumber(value));
  EXPECT_EQ(value, -1);
  ++src.FCur;
  EXPECT_FALSE(src.ReadSignedNumber(value));
  EXPECT_EQ(value, 1);

  src.SetText("+-x");
  EXPECT_EQ(src.ReadSign(), 1);
  EXPECT_EQ(src.ReadSign(), -1);
  EXPECT_EQ(src.ReadSign(), 0);
  EXPECT_EQ(src.At(src.FCur), 'x');

  src.SetText(" $7f,12,$,x,$FFFFFFFFF");
  EXPECT_EQ(src.ReadHexOrNumber(), 0x7F);
  EXPECT_TRUE(src.TestComma());
  EXPECT_EQ(src.ReadHexOrNumber(), 12);
  EXPECT_TRUE(src.TestComma());
  EXPECT_EQ(src.ReadHexOrNumber(), -1);  // "$" without digits, consumed
  EXPECT_TRUE(src.TestComma());
  EXPECT_EQ(src.ReadHexOrNumber(), -1);
  EXPECT_EQ(src.At(src.FCur), 'x');
  src.FCur += 2;
  EXPECT_EQ(src.ReadHexOrNumber(), -1);  // too large

  uint8_t byte = 0;
  src.SetText("3fA g0");
  EXPECT_TRUE(src.ReadHexByte(byte));
  EXPECT_EQ(byte, 0x3F);
  EXPECT_FALSE(src.ReadHexByte(byte));  // "A" and a blank
  EXPECT_EQ(src.FCur, 2u);
}

TEST(Scanner, ReadHexOrNumberNeverExpandsMacros) {
  TSrcCtrl src;
  src.SetText("$A $41");
  src.FMode = smTrack;
  src.FMacros[0] = 0;
  src.FCur = 3;
  EXPECT_EQ(src.ReadHexOrNumber(), 0x41);
}

TEST(Scanner, Decimals) {
  const struct {
    const char* text;
    FixedValue value;
    bool ok;
  } cases[] = {
      {"1.5", 15000, true},  {"-2.25", -22500, true}, {"+.5", 5000, true}, {"3", 30000, true},
      {"0.00005", 0, true},  {"0.00015", 2, true},    {"0.000051", 1, true}, {"1.2.3", -10000, false},
      {".", -10000, false},  {"x", -10000, false},
  };
  for (const auto& c : cases) {
    TSrcCtrl src;
    src.SetText(c.text);
    FixedValue v = 0;
    EXPECT_EQ(src.ReadSignedDecimal(v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

TEST(Scanner, NoteLengths) {
  const struct {
    const char* text;
    int ticks;
  } cases[] = {{"4", 48}, {"4.", 72}, {"", 24}, {".", 36}, {"*5", 5}, {"* 5", 5}, {"*", 0},
               {"0", 0},  {"3", 64},  {"5", 38}, {"193", 0}, {"4..", 72}, {"*99999999999", 2147483647}};
  for (const auto& c : cases) {
    TSrcCtrl src;
    src.SetText(c.text);
    EXPECT_EQ(src.ReadNoteLength(48, 24), c.ticks) << c.text;
  }
}

TEST(Scanner, LengthSums) {
  const struct {
    const char* text;
    int ticks;
  } cases[] = {{"4^8", 72}, {"4..^*3", 87}, {"", 24}, {".", 24}, {"0.", 0}, {"4 ^ 4", 96},
               {"*", 24},   {"2^8", 120}, {"*2000000000^*2000000000", 2147483647}};
  for (const auto& c : cases) {
    TSrcCtrl src;
    src.SetText(c.text);
    EXPECT_EQ(src.ReadLengthSum(48, 24), c.ticks) << c.text;
  }
}

TEST(Scanner, RestOfLineAndTests) {
  TSrcCtrl src;
  src.SetText(Utf8ToCp932("  タイトル ' c\r\nx`y"));
  EXPECT_EQ(Cp932ToUtf8(src.ReadRestOfLine()), "  タイトル ");
  src.SetText("ab`c");
  EXPECT_EQ(src.ReadRestOfLine(), "ab");

  bool rhythm = false;
  src.SetText(" D t");
  EXPECT_TRUE(src.ReadTrackMode(rhythm));
  EXPECT_TRUE(rhythm);
  EXPECT_FALSE(src.ReadTrackMode(rhythm));
  EXPECT_TRUE(rhythm);

  src.SetText(" { } = ) , & x");
  EXPECT_TRUE(src.TestOpenBrace());
  EXPECT_FALSE(src.TestComma());
  EXPECT_TRUE(src.TestCloseBrace());
  EXPECT_TRUE(src.TestEquals());
  EXPECT_TRUE(src.TestCloseParen());
  EXPECT_TRUE(src.TestComma());
  EXPECT_TRUE(src.TestAmpersand());
  EXPECT_FALSE(src.TestAmpersand());

  src.SetText("ab\x83}c}d");  // 83h 7Dh is one character, not a "}"

  src.SkipToCloseBrace();
  EXPECT_EQ(src.At(src.FCur), 'd');
  src.SetText("abc");
  src.SkipToCloseBrace();
  EXPECT_EQ(src.At(src.FCur), 0);
}

TEST(Scanner, MacroCaptureAndExpansion) {
  TSrcCtrl src;
  src.SetText("c d ' $x (y\n e $B f g (T");
  const TextPos body = src.CaptureMacroBody();
  EXPECT_EQ(body, 0u);
  EXPECT_EQ(src.At(src.FCur), '$');  // comments inside a body are stepped over

  src.SetText("$A c d $B e (T1) $a f $b $z g");
  src.FMacros[0] = 3;   // A: "c d "
  src.FMacros[1] = 10;  // B: "e "
  src.FCur = 16;        // after "(T1)"
  src.FMode = smTrack;
  EXPECT_EQ(TokensOf(src), (Tokens{"C", "D", "F", "E", "$Z", "G"}));
}

TEST(Scanner, LineAndColumn) {
  const struct {
    std::string text;
    size_t cur;
    int line, column;
  } cases[] = {
      {"c", 1, 1, 1},
      {"ab\r\ncd", 6, 2, 2},
      {"ab\r\n", 3, 1, 3},        // a CR counts on the line that it ends
      {"ab`cd", 4, 2, 1},         // the back-quote is a line break
      {"\x83\x60x", 3, 1, 2},     // the trail byte 60h of "チ" is not
      {"mmc16\r\nab", 9, 1, 2},   // the header line is not counted
  };
  for (const auto& c : cases) {
    TSrcCtrl src;
    src.SetText(c.text);
    src.FCur = c.cur;
    int line = 0, column = 0;
    src.GetLineColumn(line, column);
    EXPECT_EQ(line, c.line) << c.text;
    EXPECT_EQ(column, c.column) << c.text;
  }
}

}  // namespace
}  // namespace tw::test
