// Monotonic elapsed time in milliseconds. Only differences of readings are
// meaningful; the origin is the first call in the process.
#pragma once

namespace platform {

int monotonicMs();

}  // namespace platform
