// What the tests and the test build's crash trigger (CrashTrigger.cpp) agree on.
#pragma once

namespace e2e {

constexpr const wchar_t* kCrashMessage = L"VantoruCrashTest";

// wParam of the message: the kind of fault.
enum : int {
  kCrashAccessViolation = 1,   // a write through a null pointer on the user-interface thread
  kCrashNoexcept = 3,          // a C++ exception leaving a noexcept function: terminate
  kCrashEscapingException = 4, // a C++ exception that nothing catches, on a thread of its own
};

}  // namespace e2e
