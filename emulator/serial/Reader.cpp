#include "emulator/serial/Reader.h"

#include <algorithm>
#include <ostream>

#include "emulator/card/CardFile.h"
#include "link/ChipLayout.h"

namespace keycard::emulator {

namespace {

using link::Command;
using link::Status;

std::vector<std::uint8_t> statusOnly(Status status) {
  return {static_cast<std::uint8_t>(status)};
}

}  // namespace

std::string_view versionText(ReaderKind kind) {
  return kind == ReaderKind::Proximity ? "KC-PROX 1.0" : "KC-MIF 1.0";
}

std::string_view commandName(std::uint8_t command) {
  switch (static_cast<Command>(command & ~link::kReplyBit)) {
    case Command::GetVersion:
      return "GetVersion";
    case Command::ControlRf:
      return "ControlRf";
    case Command::Beep:
      return "Beep";
    case Command::SelectCard:
      return "SelectCard";
    case Command::ReadBlock:
      return "ReadBlock";
    case Command::WriteBlock:
      return "WriteBlock";
    case Command::Authenticate:
      return "Authenticate";
  }
  return "unknown command";
}

std::string_view statusName(std::uint8_t status) {
  switch (static_cast<Status>(status)) {
    case Status::Ok:
      return "Ok";
    case Status::NoCard:
      return "NoCard";
    case Status::UnknownCommand:
      return "UnknownCommand";
    case Status::BadArgument:
      return "BadArgument";
    case Status::WrongCardKind:
      return "WrongCardKind";
    case Status::AuthFailed:
      return "AuthFailed";
    case Status::ReadOnly:
      return "ReadOnly";
    case Status::WriteFailed:
      return "WriteFailed";
  }
  return "unknown status";
}

Reader::Reader(ReaderKind kind, std::filesystem::path cardFile, std::ostream& warnings)
    : kind_(kind), cardFile_(std::move(cardFile)), warnings_(warnings) {}

link::Frame Reader::answer(const link::Frame& request) {
  // The reply carries the request's number back, so a driver never takes it for another's.
  link::Frame reply{
      static_cast<std::uint8_t>(request.command | link::kReplyBit), {}, request.sequence};
  const Payload& args = request.payload;
  switch (static_cast<Command>(request.command)) {
    case Command::GetVersion:
      if (!args.empty()) {
        reply.payload = statusOnly(Status::BadArgument);
      } else {
        const std::string_view text = versionText(kind_);
        reply.payload = statusOnly(Status::Ok);
        reply.payload.insert(reply.payload.end(), text.begin(), text.end());
      }
      return reply;
    case Command::ControlRf:
    case Command::Beep:
      reply.payload = statusOnly(args.size() == 1 ? Status::Ok : Status::BadArgument);
      return reply;
    case Command::SelectCard:
      reply.payload = selectCard(args);
      return reply;
    case Command::ReadBlock:
      reply.payload = readBlock(args);
      return reply;
    case Command::WriteBlock:
      reply.payload = writeBlock(args);
      return reply;
    case Command::Authenticate:
      reply.payload =
          kind_ == ReaderKind::Mifare ? authenticate(args) : statusOnly(Status::UnknownCommand);
      return reply;
  }
  reply.payload = statusOnly(Status::UnknownCommand);
  return reply;
}

void Reader::cardReplaced() {
  selectedCard_.reset();
  authenticatedSector_.reset();
}

bool Reader::worksOn(CardType type) const {
  if (kind_ == ReaderKind::Mifare) return type == CardType::Mifare1K;
  return type == CardType::T5557 || type == CardType::EM4469;
}

void Reader::warn(const std::string& problem, std::string_view answer) {
  if (problem == lastProblem_) return;
  lastProblem_ = problem;
  if (!problem.empty())
    warnings_ << "keycard-emulator: " << problem << " (answering " << answer << ")\n";
}

Reader::CardOrStatus Reader::presentCard() {
  const CardFile::Reading& reading = cardFile_.look();
  warn(reading.problem, "NoCard");
  if (selectedCard_ != cardFile_.cardChanges()) {
    // The card selected left the field: whatever lies there now is neither selected nor
    // authenticated, as a real card coming into the field is.
    selectedCard_.reset();
    authenticatedSector_.reset();
  }
  if (!reading.card) return {nullptr, Status::NoCard};
  if (!worksOn(reading.card->type)) return {nullptr, Status::WrongCardKind};
  return {&*reading.card, Status::Ok};
}

Reader::CardOrStatus Reader::selectedCard() {
  const auto present = presentCard();
  // The reader addresses the card it selected; a card that came since does not answer, which is
  // what a reader reports when no card answers.
  if (present.card && !selectedCard_) return {nullptr, Status::NoCard};
  return present;
}

bool Reader::mayAccess(std::size_t block) const {
  return kind_ != ReaderKind::Mifare || authenticatedSector_ == mifareSector(block);
}

Reader::Payload Reader::selectCard(const Payload& args) {
  if (!args.empty()) return statusOnly(Status::BadArgument);
  authenticatedSector_.reset();
  const auto present = presentCard();
  if (!present.card) return statusOnly(present.status);
  selectedCard_ = cardFile_.cardChanges();
  Payload reply = statusOnly(Status::Ok);
  reply.push_back(static_cast<std::uint8_t>(present.card->type));
  const Uid uid = cardUid(*present.card);
  reply.insert(reply.end(), uid.begin(), uid.end());
  return reply;
}

Reader::Payload Reader::readBlock(const Payload& args) {
  if (args.size() != 1) return statusOnly(Status::BadArgument);
  const auto present = selectedCard();
  if (!present.card) return statusOnly(present.status);
  const std::size_t block = args[0];
  if (block >= present.card->blocks.size()) return statusOnly(Status::BadArgument);
  if (!mayAccess(block)) return statusOnly(Status::AuthFailed);

  Payload reply = statusOnly(Status::Ok);
  Payload bytes = present.card->blocks[block];
  // A Mifare card never gives its key A away: a trailer reads with zeros in its place.
  if (isMifareClassic(present.card->type) && isMifareTrailer(block)) {
    std::fill_n(bytes.begin(), kMifareFactoryKey.size(), 0);
  }
  reply.insert(reply.end(), bytes.begin(), bytes.end());
  return reply;
}

Reader::Payload Reader::writeBlock(const Payload& args) {
  const std::size_t blockBytes =
      kind_ == ReaderKind::Mifare ? link::kMifareBlockSize : link::kProximityBlockSize;
  if (args.size() != 1 + blockBytes) return statusOnly(Status::BadArgument);
  const auto present = selectedCard();
  if (!present.card) return statusOnly(present.status);
  Card card = *present.card;  // changed only once it is saved
  const std::size_t block = args[0];
  if (block >= card.blocks.size()) return statusOnly(Status::BadArgument);
  if (!mayAccess(block)) return statusOnly(Status::AuthFailed);
  if (isReadOnlyBlock(card.type, block)) return statusOnly(Status::ReadOnly);

  std::copy(args.begin() + 1, args.end(), card.blocks[block].begin());
  try {
    cardFile_.save(card);
  } catch (const CardFileError& error) {
    // Every failed save is told: the driver reports each one.
    lastProblem_.clear();
    warn(error.what(), "WriteFailed");
    return statusOnly(Status::WriteFailed);
  }
  return statusOnly(Status::Ok);
}

Reader::Payload Reader::authenticate(const Payload& args) {
  constexpr std::size_t kArgsSize = 2 + kMifareFactoryKey.size();
  if (args.size() != kArgsSize || args[1] != link::kMifareKeyA) {
    return statusOnly(Status::BadArgument);
  }
  authenticatedSector_.reset();
  const auto present = selectedCard();
  if (!present.card) return statusOnly(present.status);
  const std::size_t block = args[0];
  if (block >= present.card->blocks.size()) return statusOnly(Status::BadArgument);

  const std::size_t sector = mifareSector(block);
  const auto& trailer =
      present.card->blocks[sector * kMifareBlocksPerSector + kMifareBlocksPerSector - 1];
  if (!std::equal(args.begin() + 2, args.end(), trailer.begin())) {
    return statusOnly(Status::AuthFailed);
  }
  authenticatedSector_ = sector;
  return statusOnly(Status::Ok);
}

}  // namespace keycard::emulator
