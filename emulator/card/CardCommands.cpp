#include "emulator/card/CardCommands.h"

#include <algorithm>
#include <optional>
#include <ostream>

#include "emulator/ExitCodes.h"
#include "emulator/card/CardFile.h"
#include "link/DecimalNumber.h"

namespace keycard::emulator {

namespace {

void newCard(std::span<const std::string> args) {
  std::optional<CardType> type;
  std::optional<Record> record;
  std::optional<std::vector<std::uint8_t>> keyA;
  std::filesystem::path file;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--type" && i + 1 < args.size()) {
      type = parseCardType(args[++i]);
      if (!type) {
        throw UsageError("--type is " + cardTypeNames() + ", not '" + args[i] + "'");
      }
    } else if (args[i] == "--record" && i + 1 < args.size()) {
      record = recordFromHex(args[++i]);
      if (!record) throw UsageError("--record is 48 hex digits, not '" + args[i] + "'");
    } else if (args[i] == "--key-a" && i + 1 < args.size()) {
      keyA = fromHex(args[++i]);
      if (!keyA || keyA->size() != kMifareFactoryKey.size()) {
        throw UsageError("--key-a is 12 hex digits, not '" + args[i] + "'");
      }
    } else if (!args[i].starts_with("--") && file.empty()) {
      file = args[i];
    } else {
      throw UsageError("unexpected '" + args[i] + "'");
    }
  }
  if (!type) throw UsageError("card new needs --type");
  if (file.empty()) throw UsageError("card new needs a FILE");
  if (record && !holdsRecord(*type)) {
    throw UsageError("an " + std::string(cardTypeName(*type)) + " card holds no key-card record");
  }
  if (keyA && !isMifareClassic(*type)) throw UsageError("--key-a is for Mifare Classic cards");
  Card card = blankCard(*type, uidSeedFor(file));
  if (record) setCardRecord(card, *record);
  if (keyA) {
    link::MifareKey key{};
    std::ranges::copy(*keyA, key.begin());
    setMifareKeyA(card, key);
  }
  saveCard(file, card);
}

Card existingCard(const std::filesystem::path& file) {
  auto card = loadCard(file);
  if (!card) throw CardFileError("there is no card file " + file.string());
  return *card;
}

}  // namespace

std::string_view cardCommandsUsage() {
  static const std::string text = "keycard-emulator card new --type " + cardTypeNames("|", "|") +
                                  " FILE\n"
                                  "                        [--record HEX48] [--key-a HEX12]\n"
                                  "       keycard-emulator card record FILE\n"
                                  "       keycard-emulator card block FILE N\n";
  return text;
}

int runCardCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  try {
    if (args.empty()) throw UsageError("card needs new, record or block");
    const std::string& what = args[0];
    if (what == "new") {
      newCard(args.subspan(1));
    } else if (what == "record" && args.size() == 2) {
      out << toHex(cardRecord(existingCard(args[1]))) << '\n';
    } else if (what == "block" && args.size() == 3) {
      const Card card = existingCard(args[1]);
      const std::string& text = args[2];
      const std::optional<std::size_t> number = link::parseDecimal<std::size_t>(text);
      if (!number || *number >= card.blocks.size()) {
        throw UsageError("block " + text + " is not on this " +
                         std::string(cardTypeName(card.type)) + " card (0 to " +
                         std::to_string(card.blocks.size() - 1) + ")");
      }
      out << toHex(card.blocks[*number]) << '\n';
    } else {
      throw UsageError("unknown card command");
    }
    return kExitOk;
  } catch (const UsageError& error) {
    err << "keycard-emulator: " << error.what() << "\nusage: " << cardCommandsUsage();
    return kExitUsage;
  } catch (const std::exception& error) {
    err << "keycard-emulator: " << error.what() << '\n';
    return kExitFailure;
  }
}

}  // namespace keycard::emulator
