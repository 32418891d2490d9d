// The fuzz targets' property check: a broken property aborts, which libFuzzer reports with the
// input that broke it.
#pragma once

#include <cstdio>
#include <cstdlib>

#define CHECK(condition)                                                                    \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (0)
