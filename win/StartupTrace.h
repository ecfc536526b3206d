#pragma once
// Opt-in timing of the start-up's phases, for the start-up benchmark. With the
// environment variable PATHWINK_STARTUP_TRACE naming a file, each call appends
// "<phase>\t<milliseconds since the process was created>" to it. Without it (the
// normal case) the first call looks the variable up once and nothing else happens.

namespace pw {

void TracePhase(const char* phase);

} // namespace pw
