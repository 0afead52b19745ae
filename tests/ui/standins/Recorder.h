// The call log and scripted results shared by the stand-in driver libraries and the tests.
// The stand-ins export the drivers' names; each call is logged as text, e.g.
// "T5557_WriteCard(0, 01 33 30 ...)", and returns the next result scripted for its operation.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace standin {

using Image = std::array<std::uint8_t, 24>;

struct Call {
  std::string text;
  // What the test's observer reported at the moment of the call (empty without an observer).
  std::string observed;
};

// Forgets the log, the scripts, the card and the observer.
void reset();

// Results for an operation's next calls, in order; once used up (or never scripted) it returns 0.
void script(const std::string& operation, const std::vector<std::int32_t>& results);
// Called by every stand-in on each call, so a test can see what the window showed at that moment.
void observe(std::function<std::string()> observer);
// The 24 bytes a successful card read hands back.
void setCard(const Image& image);

std::vector<std::string> calls();
std::vector<Call> callsObserved();

// For the stand-ins.
std::int32_t record(const std::string& operation, const std::string& arguments);
const Image& card();
std::string hex(const unsigned char* bytes, std::size_t count);

}  // namespace standin
