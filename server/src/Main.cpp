// vantoru-server: the maker's service for Vantoru (image upload, start-up notices, help and
// product pages). Runs in the foreground; SIGINT or SIGTERM stops it.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <thread>

#include "Options.h"
#include "Service.h"

namespace {

std::mutex GLogLock;

void Log(const std::string& line) {
  std::lock_guard<std::mutex> guard(GLogLock);
  std::fprintf(stderr, "vantoru-server: %s\n", line.c_str());
  std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
  TServerOptions options;
  try {
    options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const EOptionError& e) {
    std::fprintf(stderr, "vantoru-server: %s\n\n%s", e.what(), kUsage);
    return 2;
  }
  if (options.Help) {
    std::fputs(kUsage, stdout);
    return 0;
  }

  // Signals are taken by one thread with sigwait, never by a handler.
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stops, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  try {
    TVantoruService service(options, Log);
    const int port = service.Bind();
    if (port < 0) return 1;
    std::thread waiter([&] {
      int signal = 0;
      sigwait(&stops, &signal);
      Log("stopping");
      service.Stop();
    });
    const std::string host = options.ListenHost.find(':') != std::string::npos ? "[" + options.ListenHost + "]"
                                                                                : options.ListenHost;
    std::printf("vantoru-server: listening on http://%s:%d, public address %s\n", host.c_str(), port,
                options.PublicUrl.c_str());
    std::fflush(stdout);
    const bool ok = service.Run();
    // Stopped from elsewhere than the signal: release the waiting thread.
    pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
    return ok ? 0 : 1;
  } catch (const std::exception& e) {
    Log(e.what());
    return 1;
  }
}
