// Conversion between code page 932 (Shift-JIS) bytes and UTF-8, for display only: the system
// itself keeps every text as code page 932 bytes.
#pragma once

#include <string>
#include <string_view>

namespace tw {

// Bytes that are not valid code page 932 become U+FFFD.
std::string Cp932ToUtf8(std::string_view cp932);

// Characters without a code page 932 form become "?".
std::string Utf8ToCp932(std::string_view utf8);

// Test seam: while set, the conversions act as if iconv had no code page 932 converter (they
// keep ASCII and replace every other character).
void SetNoConverterForTest(bool on);

}  // namespace tw
