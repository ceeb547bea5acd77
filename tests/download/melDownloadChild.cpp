// Fetches what a catalog's episodes still need from the store, as the window
// does at its start, for the test that kills it in the middle of a transfer:
//   download_child CATALOG COOKIE
// Statuses go into the catalog; prints "receiving" at the first progress.

#include "melDownloadManager.h"
#include "melDownloadTestSupport.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s CATALOG COOKIE\n", argv[0]);
    return 2;
  }
  tFakeHostC host;
  host.mCatalog = QString::fromLocal8Bit(argv[1]);
  host.mOptions.mCookie = QString::fromLocal8Bit(argv[2]);
  host.mOptions.mStoreHost = QStringLiteral("127.0.0.1");
  bool told = false;
  host.mOnProgress = [&](const QString &, const QString &, int) {
    if (!told) {
      told = true;
      std::fputs("receiving\n", stdout);
      std::fflush(stdout);
    }
  };
  TmelDownloadManager manager(host);
  manager.StartDownloads();
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (manager.Threads().isEmpty())
      app.quit();
  });
  poll.start(50);
  return app.exec();
}
