#include "melTermination.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int fSignalPipe[2] = {-1, -1};
bool fTerminationRequested = false;

void OnSignal(int) {
  // Only async-signal-safe work here: wake the event loop.
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(fSignalPipe[1], &byte, 1);
  errno = saved;
}

} // namespace

bool TerminationRequested() {
  return fTerminationRequested;
}

void InstallTerminationHandler(std::function<void()> aOnTerminate) {
  if (fSignalPipe[0] < 0) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fSignalPipe) != 0)
      return;
  }
  auto *notifier =
      new QSocketNotifier(fSignalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                   [onTerminate = std::move(aOnTerminate)] {
                     char buffer[16];
                     while (::read(fSignalPipe[0], buffer, sizeof buffer) > 0) {
                     }
                     fTerminationRequested = true;
                     onTerminate();
                   });
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
}
