#include "Recorder.h"

#include <deque>
#include <map>

namespace standin {
namespace {

struct State {
  std::vector<Call> log;
  std::map<std::string, std::deque<std::int32_t>> scripts;
  std::function<std::string()> observer;
  Image card{};
};

State& state() {
  static State instance;
  return instance;
}

}  // namespace

void reset() {
  state() = State{};
}

void script(const std::string& operation, const std::vector<std::int32_t>& results) {
  state().scripts[operation] = std::deque<std::int32_t>(results.begin(), results.end());
}

void observe(std::function<std::string()> observer) {
  state().observer = std::move(observer);
}

void setCard(const Image& image) {
  state().card = image;
}

std::vector<std::string> calls() {
  std::vector<std::string> texts;
  for (const Call& call : state().log) texts.push_back(call.text);
  return texts;
}

std::vector<Call> callsObserved() {
  return state().log;
}

std::int32_t record(const std::string& operation, const std::string& arguments) {
  State& s = state();
  s.log.push_back({operation + "(" + arguments + ")", s.observer ? s.observer() : std::string()});
  auto& results = s.scripts[operation];
  if (results.empty()) return 0;
  const std::int32_t result = results.front();
  results.pop_front();
  return result;
}

const Image& card() {
  return state().card;
}

std::string hex(const unsigned char* bytes, std::size_t count) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) text += ' ';
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  return text;
}

}  // namespace standin
