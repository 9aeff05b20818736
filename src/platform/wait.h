#pragma once
// Timed waits of the user-interface thread.
namespace platform {

// Returns after at least ms milliseconds. With pump, pending events are
// processed while waiting; without, no input is handled meanwhile. Measured on
// a monotonic clock, so a wait that spans midnight (or a clock change) still
// ends after its duration.
void WaitTime(double ms, bool pump);

} // namespace platform
