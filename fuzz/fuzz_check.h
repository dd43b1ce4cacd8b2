// The one way a fuzz target reports a broken promise: a message naming it, then abort(), which
// libFuzzer records as a crash with the input and the replay program turns into a failed test.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace orvel::fuzz {

inline void require(bool holds, const char* promise) {
  if (holds) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", promise);
  std::abort();
}

}  // namespace orvel::fuzz
