#include "card/FieldCodecs.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace keycard {
namespace {

// Any conversion's answer in one shape, so one table holds rows of every field.
struct Outcome {
  std::vector<std::uint8_t> bytes;
  std::string refusal;
};

template <auto convert>
Outcome run(std::u16string_view text) {
  const auto converted = convert(text);
  if (!converted.ok()) return {{}, converted.refusal};
  return {{converted.bytes->begin(), converted.bytes->end()}, {}};
}

using Convert = Outcome (*)(std::u16string_view);
constexpr Convert number = run<numberTextToByte>;
constexpr auto strict = run<strictNumberTextToByte>;
constexpr auto hotel = run<hotelCodeToBytes>;
constexpr auto dateTime = run<dateTimeToBcd>;
constexpr auto time = run<timeToBcd>;
constexpr auto dataCard = run<dataCardSerialToByte>;

const std::string kByte = "a whole number from 0 to 255";
const std::string kHex = "six hexadecimal digits (0-9, A-F)";
const std::string kDate = "a date and time like 06-07-18 12:00";
const std::string kTime = "a time of day like 23:59";
const std::string kCardNumber = "a card number from -32768 to 19";

TEST(FieldCodecs, TextsGiveTheirBytesOrARefusalThatSaysWhatTheFieldAccepts) {
  // clang-format off
  const std::tuple<const char*, Convert, std::u16string, Outcome> rows[] = {
      {"number empty is 0", number, u"", {{0}, {}}},
      {"number stops at a letter, digits after it", number, u"12a9", {{12}, {}}},
      {"number half to even down", number, u"2.5", {{2}, {}}},
      {"number half to even up", number, u"3.5", {{4}, {}}},
      {"number just above half", number, u"2.50000000000000000001", {{3}, {}}},
      {"number small negative is 0", number, u"-0.4", {{0}, {}}},
      {"number largest", number, u"255.4", {{255}, {}}},
      {"number rounds above 255", number, u"255.5", {{}, kByte}},
      {"number negative", number, u"-1", {{}, kByte}},
      {"number huge", number, u"99999999999999999999999", {{}, kByte}},
      {"strict zero", strict, u" 00\t", {{0}, {}}},
      {"strict trailing letters", strict, u"12abc", {{}, kByte}},
      {"hotel trimmed", hotel, u"  333033  ", {{0x33, 0x30, 0x33}, {}}},
      {"hotel after sixth ignored", hotel, u"ABCDEF99", {{0xAB, 0xCD, 0xEF}, {}}},
      {"hotel not hex", hotel, u"33303G", {{}, kHex}},
      {"hotel beyond one byte", hotel, u"\u00e933033", {{}, kHex}},
      {"date four-digit year", dateTime, u"1999-12-31 23:59", {{0x99, 0x12, 0x31, 0x23, 0x59}, {}}},
      {"date 29 Feb of 2000", dateTime, u"00-02-29 00:00", {{0x00, 0x02, 0x29, 0, 0}, {}}},
      {"date 31 April", dateTime, u"06-04-31 12:00", {{}, kDate}},
      {"date 29 Feb not leap", dateTime, u"07-02-29 12:00", {{}, kDate}},
      {"date 29 Feb 1900", dateTime, u"1900-02-29 12:00", {{}, kDate}},
      {"date hour 24", dateTime, u"06-07-18 24:00", {{}, kDate}},
      {"date not BCD on the card", dateTime, u"1A-07-18 12:00", {{}, kDate}},
      {"time of a date and time", time, u"06-07-18 12:34", {{0x12, 0x34}, {}}},
      {"time minute 60", time, u"12:60", {{}, kTime}},
      {"time a dot", time, u"12.30", {{}, kTime}},
      {"data card rounds down", dataCard, u"2.9", {{0x0D}, {}}},
      {"data card below int16", dataCard, u"-32769", {{}, kCardNumber}},
      {"data card lowest", dataCard, u"-32768", {{0x00}, {}}},
      {"data card highest", dataCard, u"19.9", {{0xFB}, {}}},
      {"data card 20", dataCard, u"20", {{}, kCardNumber}},
      // An input method in full-width mode types these; each field reads them as their ASCII
      // forms (which characters have one, and every script's digits, AsciiFormsTest shows).
      {"number full-width", number, u"\u3000\uFF0B\uFF11\uFF12\uFF0E\uFF15", {{12}, {}}},
      {"strict full-width", strict, u"\u3000\uFF12\uFF15\uFF15\u3000", {{255}, {}}},
      {"hotel full-width", hotel, u"\uFF11\uFF41\uFF12\uFF22\uFF13\uFF43",
       {{0x1A, 0x2B, 0x3C}, {}}},
      {"date full-width", dateTime, u"2006\uFF0D07\uFF0D18\u300012\uFF1A00",
       {{0x06, 0x07, 0x18, 0x12, 0x00}, {}}},
      {"time full-width", time, u"\uFF12\uFF13\uFF1A\uFF15\uFF19", {{0x23, 0x59}, {}}},
      {"data card full-width", dataCard, u"\uFF12\uFF0E\uFF19", {{0x0D}, {}}},
  };
  // clang-format on
  for (const auto& [name, convert, text, expected] : rows) {
    const Outcome outcome = convert(text);
    EXPECT_EQ(outcome.refusal, expected.refusal) << name;
    EXPECT_EQ(outcome.bytes, expected.bytes) << name;
  }
}

}  // namespace
}  // namespace keycard
