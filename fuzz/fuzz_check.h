// A broken promise stops the fuzzer with the input that broke it.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                             \
  do {                                                                    \
    if (!(condition)) {                                                   \
      std::fprintf(stderr, "broken: %s (%s:%d)\n", #condition, __FILE__, \
                   __LINE__);                                             \
      std::abort();                                                       \
    }                                                                     \
  } while (false)
