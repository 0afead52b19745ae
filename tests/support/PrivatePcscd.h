// The private pcscd that scripts/private-pcscd.sh runs the PC/SC tests beside: the virtual
// reader's port, and a way to stop that pcscd mid-test.
#pragma once

namespace keycard::testing {

// The TCP port of the virtual reader "Virtual PCD 00 0<reader>". Throws std::runtime_error, which
// fails the test, when the test does not run inside the script.
int vpcdPort(int reader = 0);

// Stops the private pcscd and returns once it is gone. Refuses (throws) outside a private mount
// namespace, so a machine's own pcscd is never touched.
void stopPrivatePcscd();

}  // namespace keycard::testing
