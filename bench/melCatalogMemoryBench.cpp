// Resident memory of a loaded catalog of many small categories, against the
// size of its file. Prints one line per shape.
#include "melCatalog.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

long StatusKiB(const char *aField) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(aField) + ':';
  while (std::getline(status, line)) {
    if (line.compare(0, prefix.size(), prefix) == 0)
      return std::stol(line.substr(prefix.size()));
  }
  return -1;
}

// Instruments holding empty categories, or sub-categories of one episode.
qint64 WriteSmallCategories(const QString &aFileName, qint64 aTargetBytes, bool aWithEpisodes) {
  QFile file(aFileName);
  if (!file.open(QIODevice::WriteOnly))
    return -1;
  file.write("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<Catalog version=\"1.0\">\n");
  qint64 written = 0;
  for (int instrument = 0; written < aTargetBytes; ++instrument) {
    QByteArray block = "\t<Category name=\"Instrument " + QByteArray::number(instrument) + "\">\n";
    for (int i = 0; i < 1000; ++i) {
      if (aWithEpisodes)
        block += "\t\t<Category name=\"c" + QByteArray::number(i) +
                 "\"><Category name=\"s\">"
                 "<File name=\"e\"><Filename>video\\e.mov</Filename><Status>Downloaded"
                 "</Status></File></Category></Category>\n";
      else
        block += "\t\t<Category name=\"c" + QByteArray::number(i) + "\"/>\n";
    }
    block += "\t</Category>\n";
    written += file.write(block);
  }
  file.write("</Catalog>\n");
  return file.size();
}

// Each shape in a process of its own, so that one's freed memory does not
// hide the other's.
void Measure(bool aWithEpisodes) {
  QTemporaryDir folder;
  const QString fileName = folder.filePath(QStringLiteral("Catalog.xml"));
  const qint64 size = WriteSmallCategories(fileName, 50'000'000, aWithEpisodes);
  const long before = StatusKiB("VmRSS");
  tCatalogC catalog(fileName);
  const long after = StatusKiB("VmRSS");
  const long peak = StatusKiB("VmHWM");
  const double grown = double(after - before) * 1024.0;
  // The peak includes the parsed document, which the load frees.
  const double peakGrown = double(peak - before) * 1024.0;
  std::printf("%s: file %.1f MB, resident growth %.1f MB (%.2f x the file), peak growth %.1f MB "
              "(%.2f x)\n",
              aWithEpisodes ? "sub-categories of one episode" : "empty categories",
              double(size) / 1e6, grown / 1e6, grown / double(size), peakGrown / 1e6,
              peakGrown / double(size));
}

} // namespace

int main() {
  for (const bool withEpisodes : {false, true}) {
    const pid_t child = fork();
    if (child == 0) {
      Measure(withEpisodes);
      std::fflush(stdout);
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
  }
  return 0;
}
