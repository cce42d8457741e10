// Under Wine a test program's output goes to a pipe, where the C runtime buffers it in full:
// a test killed for taking too long would leave nothing of what it printed.
#include <cstdio>

namespace {

const int kUnbuffered = [] {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  std::setvbuf(stderr, nullptr, _IONBF, 0);
  return 0;
}();

}  // namespace
