// Conversion between code page 932 (Shift-JIS) bytes and UTF-8, for display only: the system
// itself keeps every text as code page 932 bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tw {

// Code page 932 lead bytes: 81h..9Fh and E0h..FCh. A lead byte and the byte after it are one
// character.
constexpr bool IsLeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Bytes that are not valid code page 932 become U+FFFD.
std::string Cp932ToUtf8(std::string_view cp932);

// Characters without a code page 932 form become "?".
std::string Utf8ToCp932(std::string_view utf8);

// Test seam: while set, the conversions act as if iconv had no code page 932 converter (they
// keep ASCII and replace every other character).
void SetNoConverterForTest(bool on);

}  // namespace tw
