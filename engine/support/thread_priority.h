// Thread priorities: on Linux each thread has a nice value of its own, which
// is how the engine's threads stand back for the user's programs.
#pragma once

namespace fw {

// Sets the calling thread's nice value (0 normal, 19 lowest).
void SetThreadNice(int nice);

}  // namespace fw
