// vorpane-sample-site [port]: serves the sample group site on 127.0.0.1
// (port 8610 unless given) until it is interrupted or terminated.
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <cstring>

#include "sample-site/sample_site.h"

int main(int argc, char** argv) {
  uint16_t port = 8610;
  if (argc > 2 ||
      (argc == 2 &&
       (std::from_chars(argv[1], argv[1] + std::strlen(argv[1]), port).ec != std::errc() ||
        port == 0))) {
    std::fprintf(stderr, "usage: vorpane-sample-site [port]\n");
    return 2;
  }
  // Block the stop signals before the server starts its threads, so that only
  // the wait below receives them.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  vorpane::LoopbackServer server(vorpane::sample_site_answer);
  if (!server.start(port)) {
    std::fprintf(stderr, "vorpane-sample-site: cannot listen on 127.0.0.1:%u\n", port);
    return 1;
  }
  std::printf("Sample group site at %s%.*s\n", server.address().c_str(),
              static_cast<int>(vorpane::sample_site_group_path.size()),
              vorpane::sample_site_group_path.data());
  std::fflush(stdout);
  int received = 0;
  sigwait(&stop_signals, &received);
  server.stop();
  return 0;
}
