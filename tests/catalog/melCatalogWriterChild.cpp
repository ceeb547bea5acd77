// Writes statuses into a catalog over and over, for the test that kills it
// in the middle of a save:
//   catalog_writer_child CATALOG URL...
// Write i sets the episodes of URL i % n to Downloaded or Downloading, the
// two taking turns for each URL. Prints "writing" once before the first save.

#include "melCatalog.h"
#include "melCatalogMaintenance.h"

#include <QString>
#include <QStringList>

#include <cstdio>
#include <exception>

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s CATALOG URL...\n", argv[0]);
    return 2;
  }
  const QString catalog = QString::fromLocal8Bit(argv[1]);
  QStringList urls;
  for (int i = 2; i < argc; ++i)
    urls << QString::fromLocal8Bit(argv[i]);
  std::fputs("writing\n", stdout);
  std::fflush(stdout);
  try {
    for (int i = 0; i < 1000; ++i) {
      const qsizetype url = i % urls.size();
      const bool downloaded = (i / urls.size()) % 2 == 0;
      UpdateEpisodeStatusInFile(catalog, urls[url], downloaded ? esDownloaded : esDownloading);
    }
  } catch (const std::exception &e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
