// The window's text routines on any input: lengths as promised, hex digits that read back.
#include <algorithm>
#include <cstring>

#include "card/TextRoutines.h"
#include "fuzz/FuzzText.h"

using keycard::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace keycard;
  if (size < 4) return 0;
  std::int32_t wrlen = 0;
  std::memcpy(&wrlen, data, sizeof wrlen);
  const std::span<const std::uint8_t> source(data + 4, size - 4);

  const std::u16string hex = MyHexToStr(source, wrlen);
  const std::size_t count =
      wrlen <= 0 ? 0 : std::min(source.size(), static_cast<std::size_t>(wrlen));
  check(hex.size() == 2 * count && hex.find_first_not_of(u"0123456789ABCDEF") == hex.npos);
  for (std::size_t i = 0; i < count; ++i) {
    check(MyStrToByte(std::u16string_view(hex).substr(2 * i, 2)) == source[i]);
  }

  const std::u16string text = fuzz::toText(source.data(), source.size());
  check(MyStrToByte(text) == MyStrToByte(std::u16string_view(text).substr(0, 2)));
  const std::u16string date = MyFormatDate(text);
  check(date.size() == std::min<std::size_t>(text.size(), 10) + 4);
  check(MyFormatTime(text).size() == std::min<std::size_t>(text.size(), 4) + 1);
  if (text.size() >= 10) check(date.compare(0, 2, text, 0, 2) == 0 && date[2] == u'-');
  return 0;
}
