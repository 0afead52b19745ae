// The call log and scripted results shared by the stand-in driver libraries and the tests. The
// stand-ins export the drivers' names, log each call and return the next scripted result.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "link/ChipLayout.h"

namespace keycard::standin {

using Image = link::KeyCardImage;

struct Recorder {
  // Each call as text, e.g. "T5557_WriteCard(0, 01 33 30 ...)", followed by " sees <answer>"
  // when an observer is set, so a test can tell what the window showed at that moment.
  std::vector<std::string> calls;
  // Results for an operation's next calls, in order; once used up (or never scripted) it gives 0.
  std::map<std::string, std::deque<std::int32_t>> results;
  std::function<std::string()> observer;
  Image card{};  // what a successful card read hands back

  std::int32_t record(const std::string& operation, const std::string& arguments) {
    calls.push_back(operation + "(" + arguments + ")" + (observer ? " sees " + observer() : ""));
    auto& next = results[operation];
    if (next.empty()) return 0;
    const std::int32_t result = next.front();
    next.pop_front();
    return result;
  }

  // A failed read scribbles over the buffer, as a driver may, so a caller that shows it anyway
  // is caught.
  void fillReadBuffer(unsigned char* buffer, bool succeeded) const {
    std::memset(buffer, 0xEE, card.size());
    if (succeeded) std::memcpy(buffer, card.data(), card.size());
  }
};

// The one recorder of the process, shared by the stand-ins and the test; reset by assigning {}.
Recorder& recorder();

// Two capital hex digits a byte, separated by blanks: "01 33 30".
std::string hex(const unsigned char* bytes, std::size_t count);

}  // namespace keycard::standin
