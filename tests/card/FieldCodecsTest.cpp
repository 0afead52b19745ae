#include "FieldCodecs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace keycard {
namespace {

// Any conversion's answer in one shape, so one table can hold rows of every field.
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

constexpr auto number = run<numberTextToByte>;
constexpr auto strict = run<strictNumberTextToByte>;
constexpr auto hotel = run<hotelCodeToBytes>;
constexpr auto dateTime = run<dateTimeToBcd>;
constexpr auto time = run<timeToBcd>;
constexpr auto dataCard = run<dataCardSerialToByte>;

struct Row {
  const char* name;
  Outcome (*convert)(std::u16string_view);
  std::u16string text;
  std::vector<std::uint8_t> bytes;
};

TEST(FieldCodecs, AcceptedTextsGiveTheirBytes) {
  const Row rows[] = {
      {"number empty is 0", number, u"", {0}},
      {"number stops at a letter", number, u"12abc", {12}},
      {"number blanks before", number, u"\t 7", {7}},
      {"number half to even down", number, u"2.5", {2}},
      {"number half to even up", number, u"3.5", {4}},
      {"number just above half", number, u"2.50000000000000000001", {3}},
      {"number small negative rounds to 0", number, u"-0.4", {0}},
      {"number largest", number, u"255.4", {255}},
      {"number no exponent", number, u"1e3", {1}},
      {"number second period stops", number, u"1.5.9", {2}},
      {"strict zero", strict, u"00", {0}},
      {"strict blanks around", strict, u" 7\t", {7}},
      {"hotel trimmed", hotel, u"  333033  ", {0x33, 0x30, 0x33}},
      {"hotel lowercase", hotel, u"1a2b3c", {0x1A, 0x2B, 0x3C}},
      {"hotel after sixth ignored", hotel, u"ABCDEF99", {0xAB, 0xCD, 0xEF}},
      {"date one-digit parts", dateTime, u"6-7-8 9:5", {0x06, 0x07, 0x08, 0x09, 0x05}},
      {"date seconds dropped", dateTime, u"06-07-18 12:00:59", {0x06, 0x07, 0x18, 0x12, 0x00}},
      {"date four-digit year", dateTime, u"1999-12-31 23:59", {0x99, 0x12, 0x31, 0x23, 0x59}},
      {"date blanks", dateTime, u" 06-07-18   12:00 ", {0x06, 0x07, 0x18, 0x12, 0x00}},
      {"date 29 Feb of 2000", dateTime, u"00-02-29 00:00", {0x00, 0x02, 0x29, 0x00, 0x00}},
      {"time one-digit parts", time, u"9:5", {0x09, 0x05}},
      {"time of a date and time", time, u"06-07-18 12:34", {0x12, 0x34}},
      {"data card 1", dataCard, u"01", {0x00}},
      {"data card largest", dataCard, u"19.99", {0xFB}},
      {"data card rounds down", dataCard, u"2.9", {0x0D}},
      {"data card negative", dataCard, u"-0.5", {0x00}},
      {"data card int16 lowest", dataCard, u"-32768", {0x00}},
  };
  for (const Row& row : rows) {
    const Outcome outcome = row.convert(row.text);
    EXPECT_EQ(outcome.refusal, "") << row.name;
    EXPECT_EQ(outcome.bytes, row.bytes) << row.name;
  }
}

TEST(FieldCodecs, RefusalsSayWhatTheFieldAccepts) {
  const std::string byteRange = "a whole number from 0 to 255";
  const std::string hexDigits = "six hexadecimal digits (0-9, A-F)";
  const std::string dateText = "a date and time like 06-07-18 12:00";
  const std::string timeText = "a time of day like 23:59";
  const std::string cardNumber = "a card number from 1 to 19";
  const struct {
    const char* name;
    Outcome (*convert)(std::u16string_view);
    std::u16string text;
    const std::string& refusal;
  } rows[] = {
      {"number above 255", number, u"256", byteRange},
      {"number rounds above 255", number, u"255.5", byteRange},
      {"number negative", number, u"-1", byteRange},
      {"number huge", number, u"99999999999999999999999", byteRange},
      {"strict empty", strict, u"", byteRange},
      {"strict trailing letters", strict, u"12abc", byteRange},
      {"strict blank inside", strict, u"1 2", byteRange},
      {"hotel five characters", hotel, u"  33303  ", hexDigits},
      {"hotel not hex", hotel, u"33303G", hexDigits},
      {"hotel beyond one byte", hotel, u"\u00e933033", hexDigits},
      {"date month 13", dateTime, u"06-13-18 12:00", dateText},
      {"date 31 April", dateTime, u"06-04-31 12:00", dateText},
      {"date 29 Feb not leap", dateTime, u"07-02-29 12:00", dateText},
      {"date 29 Feb 1900", dateTime, u"1900-02-29 12:00", dateText},
      {"date hour 24", dateTime, u"06-07-18 24:00", dateText},
      {"date minute 60", dateTime, u"06-07-18 12:60", dateText},
      {"date without time", dateTime, u"06-07-18", dateText},
      {"date three-digit year", dateTime, u"006-07-18 12:00", dateText},
      {"date trailing text", dateTime, u"06-07-18 12:00 x", dateText},
      {"date not BCD on the card", dateTime, u"1A-07-18 12:00", dateText},
      {"time hour 24", time, u"24:00", timeText},
      {"time without colon", time, u"1200", timeText},
      {"time of an invalid date", time, u"06-02-30 12:00", timeText},
      {"data card 20", dataCard, u"20", cardNumber},
      {"data card text", dataCard, u"12abc", cardNumber},
      {"data card below int16", dataCard, u"-32769", cardNumber},
  };
  for (const auto& row : rows) {
    const Outcome outcome = row.convert(row.text);
    EXPECT_EQ(outcome.refusal, row.refusal) << row.name;
    EXPECT_TRUE(outcome.bytes.empty()) << row.name;
  }
}

}  // namespace
}  // namespace keycard
