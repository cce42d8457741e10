// Crash reporting. What nothing else catches (an access violation or any other unhandled
// exception on any thread, and the C++ runtime's terminate) ends the process with a
// minidump and a short text report in the crash folder, and a small window that names that
// folder. Nothing is sent anywhere.
#pragma once
#include <string>

// For the rest of the process. Also prepares what a crash needs, so the handler itself
// loads nothing.
void InstallCrashHandler();
// Where the reports go: "<local application data>\Dorvenix\Vantoru\crash".
std::wstring CrashFolder();
// The report window, shown by a start with "/crash <folder>" that the handler makes (a
// crashed process is no place for a window). Returns when the user closes it.
int ShowCrashReport(const std::wstring& folder);
