#include "Cp932.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

#include "Texts.h"

namespace tw {
namespace {

bool gNoConverter = false;

// Runs iconv over the whole input; an unconvertible character is replaced and skipped, so the
// conversion always ends.
std::string Convert(const char* to, const char* from, std::string_view in, std::string_view replacement) {
  const bool fromUtf8 = from == std::string_view("UTF-8");
  std::string out;
  iconv_t cd = gNoConverter ? reinterpret_cast<iconv_t>(-1) : iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    // No converter installed (toneweld is linked statically and loads it from the system):
    // ASCII, which both encodings share, stays readable; every other character is replaced.
    for (size_t i = 0; i < in.size(); ++i) {
      const auto b = static_cast<unsigned char>(in[i]);
      if (b < 0x80) {
        out += static_cast<char>(b);
        continue;
      }
      out += replacement;
      if (fromUtf8) {
        while (i + 1 < in.size() && (static_cast<unsigned char>(in[i + 1]) & 0xC0) == 0x80) ++i;
      } else if (IsLeadByte(b) && i + 1 < in.size()) {
        ++i;  // a lead byte and its trail byte are one character
      }
    }
    return out;
  }
  char buffer[1024];
  char* src = const_cast<char*>(in.data());
  size_t left = in.size();
  while (left > 0) {
    char* dst = buffer;
    size_t room = sizeof buffer;
    const size_t rc = iconv(cd, &src, &left, &dst, &room);
    out.append(buffer, dst - buffer);
    if (rc != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    out += replacement;  // EILSEQ or EINVAL (a lead byte at the very end)
    ++src;
    --left;
    // One replacement per character: the rest of a UTF-8 sequence goes with its first byte.
    if (fromUtf8)
      for (; left > 0 && (static_cast<unsigned char>(*src) & 0xC0) == 0x80; ++src) --left;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  return out;
}

}  // namespace

// ASCII is the same in both, and the texts of the system have their UTF-8 form built in: most
// lines shown need no converter, whose loading would take a tenth of a short compile.
std::string Cp932ToUtf8(std::string_view cp932) {
  if (std::all_of(cp932.begin(), cp932.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return std::string(cp932);
  for (const text::TSystemText& t : text::kSystemTexts)
    if (t.Cp932 == cp932) return std::string(t.Utf8);
  return Convert("UTF-8", "CP932", cp932, "\xEF\xBF\xBD");
}

std::string Utf8ToCp932(std::string_view utf8) { return Convert("CP932", "UTF-8", utf8, "?"); }

void SetNoConverterForTest(bool on) { gNoConverter = on; }

}  // namespace tw
