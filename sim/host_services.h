// What the simulator leaves to the host it runs on: the backend a process gets when nobody
// installed one, and who answers a message box no test answers. One file per host.
#pragma once

#include <memory>
#include <string>

#include "engine/os/os.h"

namespace cv50::sim {

// On Windows the real one unless CV50_SIM names a scenario file; elsewhere always the
// simulator (CV50_SIM, or the built-in sample world).
std::unique_ptr<os::Os> makeDefaultBackend();

// The scenario file CV50_SIM names, or empty.
std::string scenarioFromEnvironment();

// A message box of a simulated world: on Windows a real one (the programs run under the
// simulator show their boxes); elsewhere nobody sits there, so the cautious answer: OK to
// a notice, Cancel and No to a question, so nothing is lost unasked.
os::MessageAnswer answerOnHost(const std::string& text, const std::string& caption,
                               os::MessageButtons buttons, os::MessageIcon icon);

// Whether a thread may keep the players' flash in the state folder while the world runs. Not
// on Windows: there the world ends as the simulator's library unloads at the end of the
// process, after the system has ended every other thread, and waiting there for the keeper
// never ends. The state is then kept at every reset and re-enumeration, and at the end.
bool keepStateOnAThread();

}  // namespace cv50::sim
