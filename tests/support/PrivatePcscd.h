// The private pcscd that scripts/private-pcscd.sh runs the PC/SC tests beside: the virtual
// reader's port, and a way to stop that pcscd mid-test.
#pragma once

namespace keycard::testing {

// The TCP port of the virtual reader "Virtual PCD 00 0<reader>". Throws std::runtime_error, which
// fails the test, when the test does not run inside the script.
int vpcdPort(int reader = 0);

// Returns once pcscd shows no card on "Virtual PCD 00 0<reader>" (at most 5 s), so that the next
// card laid there is seen arriving: a card swapped faster than pcscd looks is taken for the one
// before, and never powered up afresh. Call it before starting a card on the virtual reader.
void waitUntilVirtualReaderEmpty(int reader = 0);

// Stops the private pcscd and returns once it is gone. Refuses (throws) unless the process is the
// pcscd the script started, so a machine's own pcscd is never touched.
void stopPrivatePcscd();

}  // namespace keycard::testing
