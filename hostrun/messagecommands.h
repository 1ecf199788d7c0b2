#pragma once

#include "commandline.h"

namespace hostrun {

// Runs a find, send, post or listen command against the user's hostmsg folder
// and returns the exit status: 0 done, 1 failed.
int runMessageCommand(const Command &command);

} // namespace hostrun
