#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include "emulator/card/CardFile.h"
#include "tests/support/EmulatorProcess.h"

namespace keycard::emulator {
namespace {

using testing::TempDir;

// A T5557 card file's lines after its header: the type, then blocks 0 to 7 with `tail` in place
// of the last ones.
std::string t5557Text(const std::string& tail, int blocksBefore = 7) {
  std::string text = "# notes\n\ntype t5557\n";
  for (int block = 0; block < blocksBefore; ++block) {
    text += "  block " + std::to_string(block) + " : 0000000" + std::to_string(block) + "\n";
  }
  return text + tail;
}

TEST(CardFile, ATextThatIsNotACardIsRefusedWithItsLineAndWhy) {
  const std::pair<std::string, const char*> rows[] = {
      {t5557Text("block 07: A0a1B2c3"), ""},
      {t5557Text("block 7: 00000000\ntype t5557\n"), "card line 12: a second type line"},
      {"type t5567\n", "card line 1: unknown card type"},
      {t5557Text("blocks 7: 00000000"), "card line 11: expected 'type NAME' or 'block NN: HEX'"},
      {"block 0: 000880E0\ntype t5557", "card line 1: a block before the type line"},
      {t5557Text("block 8: 00000000"), "card line 11: block 8 is beyond the card's 8 blocks"},
      {t5557Text("block 6: 00000000"), "card line 11: block 6 appears twice"},
      {t5557Text("block 7: 0000000"), "card line 11: block 7 must be 8 hex digits"},
      {t5557Text("", 6), "card line 9: block 6 is missing"},
      {"", "card line 0: no 'type' line"},
  };
  for (const auto& [text, problem] : rows) {
    SCOPED_TRACE(text);
    std::string refusal;
    try {
      const Card card = parseCardFile(text, "card");
      EXPECT_EQ(card.blocks.size(), 8U);
      EXPECT_EQ(toHex(card.blocks.back()),
                text.find("A0a1") != std::string::npos ? "A0A1B2C3" : "00000000");
    } catch (const CardFileError& error) {
      refusal = error.what();
    }
    EXPECT_EQ(refusal.substr(0, std::string_view(problem).size()), problem);
    EXPECT_EQ(refusal.empty(), *problem == '\0') << refusal;
  }
}

void writeText(const std::filesystem::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;  // in place: the same file, not a new one
}

// `card`, padded with a comment line to exactly `size` bytes.
std::string cardText(const Card& card, std::size_t size) {
  std::string text = formatCardFile(card) + "#";
  text.append(size - text.size() - 1, '-');
  return text + "\n";
}

TEST(CardFile, OnlyARegularFileOfACardsSizeIsReadAndNothingMakesTheReadWait) {
  TempDir dir;
  const auto file = dir / "card";
  const Card card = blankCard(CardType::T5557, 1);
  const std::string card64KiB = cardText(card, kMaxCardFileSize);
  using Setup = std::function<void()>;
  const std::tuple<const char*, Setup, const char*> rows[] = {
      {"no file is no card", [] {}, ""},
      {"a link to an endless device", [&] { std::filesystem::create_symlink("/dev/zero", file); },
       "not a regular file"},
      {"one byte too large", [&] { writeText(file, cardText(card, kMaxCardFileSize + 1)); },
       "larger than"},
      {"the largest card file", [&] { writeText(file, card64KiB); }, nullptr},
      {"not a card", [&] { writeText(file, "hello\n"); }, "line 1"},
  };
  for (const auto& [name, setup, problem] : rows) {
    SCOPED_TRACE(name);
    std::filesystem::remove_all(file);
    setup();
    CardFile onReader(file);
    const CardFile::Reading& reading = onReader.look();
    if (problem == nullptr) {
      EXPECT_EQ(reading.card, card);
      EXPECT_EQ(reading.problem, "");
    } else {
      EXPECT_EQ(reading.card, std::nullopt);
      EXPECT_NE(reading.problem.find(problem), std::string::npos) << reading.problem;
    }
  }
}

TEST(CardFile, SeesEveryChangeOnDiskHoweverQuickOrDisguised) {
  TempDir dir;
  const auto file = dir / "card";
  Card card = blankCard(CardType::EM4469, 1);
  saveCard(file, card);
  CardFile onReader(file);
  ASSERT_EQ(onReader.look().card, card);

  // Rewritten in place with the same size, at once: within one tick of the file system's clock.
  card.blocks[5] = {1, 2, 3, 4};
  writeText(file, formatCardFile(card));
  EXPECT_EQ(onReader.look().card, card);

  // A file left alone long enough to be kept in memory, then rewritten in place with its
  // modification time put back as it was (as copying tools do).
  const timespec longAgo[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
  ::utimensat(AT_FDCWD, file.c_str(), longAgo, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  ASSERT_EQ(onReader.look().card, card);
  card.blocks[5] = {5, 6, 7, 8};
  writeText(file, formatCardFile(card));
  ::utimensat(AT_FDCWD, file.c_str(), longAgo, 0);
  EXPECT_EQ(onReader.look().card, card);
}

TEST(CardFile, RemovesOnlyTheTemporaryFilesOfSavesAKillCutShort) {
  TempDir dir;
  const auto file = dir / "card";
  saveCard(file, blankCard(CardType::T5557, 1));
  const std::string cardStart = formatCardFile(blankCard(CardType::T5557, 1)).substr(0, 40);
  const std::tuple<const char*, std::string, bool> rows[] = {
      {"card.tmp-aB3dE9", cardStart, true},      {"card.tmp-Empty0", "", true},
      {"card.tmp-Head01", "# keycard-em", true}, {"card.tmp-Notes1", "my notes", false},
      {"card.tmp-short", cardStart, false},      {"card.tmp-toolong", cardStart, false},
      {"card.tmp-aB3d-9", cardStart, false},     {"other.tmp-aB3dE9", cardStart, false},
      {"card.tmp-Busy01", cardStart, false},  // a save under way: it holds its file locked
  };
  for (const auto& [name, text, _] : rows) writeText(dir / name, text);
  const int underWay = ::open((dir / "card.tmp-Busy01").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(underWay, LOCK_EX), 0);
  std::filesystem::create_symlink(file, dir / "card.tmp-Link01");
  std::filesystem::create_hard_link(file, dir / "card.tmp-Hard01");

  const auto removed = removeInterruptedSaves(file);
  for (const auto& [name, text, removable] : rows) {
    EXPECT_EQ(std::filesystem::exists(dir / name), !removable) << name;
  }
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "card.tmp-Link01"));
  EXPECT_TRUE(std::filesystem::exists(dir / "card.tmp-Hard01"));
  EXPECT_EQ(removed.size(), 3U);
  EXPECT_EQ(loadCard(file), blankCard(CardType::T5557, 1));
  ::close(underWay);
}

}  // namespace
}  // namespace keycard::emulator
