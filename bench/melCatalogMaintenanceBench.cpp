#include "melCatalog.h"
#include "melCatalogGenerator.h"
#include "melCatalogMaintenance.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <stdexcept>

namespace {

// Status writes change the file, so each benchmark starts from a freshly
// generated catalog of its own.
struct tBenchCatalogC {
  explicit tBenchCatalogC(int aEpisodes) {
    if (!mFolder.isValid())
      throw std::runtime_error("Cannot create a temporary folder");
    mShape.mEpisodes = aEpisodes;
    mFile = mFolder.filePath(QStringLiteral("Catalog.xml"));
    WriteCatalogFile(mFile, mShape);
    // An episode from the middle of the file: every write reads and saves
    // the whole file anyway.
    mPath = EpisodePath(mShape, aEpisodes / 2);
    const tCatalogC catalog(mFile);
    if (const auto *episode = static_cast<tFileItemC *>(catalog.FindItem(mPath)))
      mURL = episode->mURL;
  }
  uint8_t StatusNow() const {
    const tCatalogC catalog(mFile);
    return static_cast<tFileItemC *>(catalog.FindItem(mPath))->mStatus;
  }

  QTemporaryDir mFolder;
  tCatalogShapeC mShape;
  QString mFile;
  QString mPath;
  QString mURL;
};

// A download report as the program makes it: the new status saved into the
// file, optionally followed by reading the catalog again.
void StatusRoundTrip(benchmark::State &aState, bool aReload) {
  const tBenchCatalogC bench(int(aState.range(0)));
  if (bench.mURL.isEmpty()) {
    aState.SkipWithError("The generated episode is not in the catalog");
    return;
  }
  tCatalogC catalog(bench.mFile);
  uint8_t status = esDownloading;
  for (auto _ : aState) {
    status = status == esDownloading ? esPaused : esDownloading;
    UpdateEpisodeStatusInFile(bench.mFile, bench.mURL, status);
    if (aReload) {
      catalog.Load();
      benchmark::DoNotOptimize(catalog.Root());
    }
  }
  if (bench.StatusNow() != status)
    aState.SkipWithError("The status did not reach the file");
  aState.counters["bytes"] = double(QFileInfo(bench.mFile).size());
}

void BM_UpdateStatus(benchmark::State &aState) {
  StatusRoundTrip(aState, false);
}

void BM_UpdateStatusAndReload(benchmark::State &aState) {
  StatusRoundTrip(aState, true);
}

} // namespace

BENCHMARK(BM_UpdateStatus)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UpdateStatusAndReload)->Arg(10000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
