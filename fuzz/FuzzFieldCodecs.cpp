// Every conversion either gives bytes or says what the field accepts, and bytes it gives show
// as a text that converts back to the same bytes.
#include <algorithm>

#include "card/FieldCodecs.h"
#include "fuzz/FuzzText.h"

using keycard::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace keycard;
  const std::u16string text = fuzz::toText(data, size);

  // Every answer holds bytes or a refusal, never both, never neither.
  const auto shaped = [](const auto&... answers) {
    (check(answers.ok() == answers.refusal.empty()), ...);
  };
  const auto number = numberTextToByte(text);
  const auto strict = strictNumberTextToByte(text);
  const auto hotel = hotelCodeToBytes(text);
  const auto dateTime = dateTimeToBcd(text);
  const auto time = timeToBcd(text);
  const auto dataCard = dataCardSerialToByte(text);
  shaped(number, strict, hotel, dateTime, time, dataCard);
  if (strict.ok()) check(number.bytes == strict.bytes);
  if (number.ok()) {
    check(strictNumberTextToByte(decimalDisplay((*number.bytes)[0])).bytes == number.bytes);
  }
  if (hotel.ok()) check(hotelCodeToBytes(hotelCodeDisplay(*hotel.bytes)).bytes == hotel.bytes);

  if (dateTime.ok()) {
    check(dateTimeToBcd(dateTimeDisplay(*dateTime.bytes)).bytes == dateTime.bytes);
    check(time.ok() &&
          std::equal(time.bytes->begin(), time.bytes->end(), dateTime.bytes->begin() + 3));
  }
  if (time.ok()) check(timeToBcd(timeDisplay(*time.bytes)).bytes == time.bytes);

  if (dataCard.ok()) {
    const int fourth = (*dataCard.bytes)[0];
    check(fourth == 0 || (fourth >= 13 && fourth <= 251 && (fourth - 13) % 14 == 0));
  }

  // Whatever a card holds, the shown text is accepted only as those very bytes.
  if (size >= 5) {
    const std::array<std::uint8_t, 5> onCard{data[0], data[1], data[2], data[3], data[4]};
    const auto again = dateTimeToBcd(dateTimeDisplay(onCard));
    if (again.ok()) check(*again.bytes == onCard);
  }
  return 0;
}
