#include "melCatalog.h"
#include "melCatalogGenerator.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <stdexcept>

namespace {

// Only the episode count changes between sizes, so the figures show how the
// catalog code scales with it.
tCatalogShapeC Shape(int aEpisodes) {
  tCatalogShapeC shape;
  shape.mEpisodes = aEpisodes;
  return shape;
}

// Each size is written once, on first use, outside any timed loop; the
// folder goes when the program ends.
const QString &CatalogFile(int aEpisodes) {
  static QTemporaryDir folder;
  static std::map<int, QString> files;
  auto found = files.find(aEpisodes);
  if (found == files.end()) {
    if (!folder.isValid())
      throw std::runtime_error("Cannot create a temporary folder");
    const QString fileName = folder.filePath(QStringLiteral("Catalog%1.xml").arg(aEpisodes));
    WriteCatalogFile(fileName, Shape(aEpisodes));
    found = files.emplace(aEpisodes, fileName).first;
  }
  return found->second;
}

const tCatalogC &LoadedCatalog(int aEpisodes) {
  static std::map<int, std::unique_ptr<tCatalogC>> catalogs;
  std::unique_ptr<tCatalogC> &catalog = catalogs[aEpisodes];
  if (!catalog)
    catalog = std::make_unique<tCatalogC>(CatalogFile(aEpisodes));
  return *catalog;
}

// An episode list that only counts, so the figures are the catalog's alone.
class tCountingSinkC : public tRowSinkC {
public:
  void BeginUpdate() override {}
  void EndUpdate() override {}
  void Clear() override {
    mRows = 0;
    mHeld.reset();
  }
  void Hold(std::shared_ptr<const void> aOwner) override { mHeld = std::move(aOwner); }
  int AppendRow(const tRowC &aRow) override {
    benchmark::DoNotOptimize(aRow.mData);
    return mRows++;
  }
  void SelectRow(int) override {}

  int mRows = 0;
  std::shared_ptr<const void> mHeld;
};

void BM_Load(benchmark::State &aState) {
  const QString &fileName = CatalogFile(int(aState.range(0)));
  for (auto _ : aState) {
    auto catalog = std::make_unique<tCatalogC>(fileName);
    benchmark::DoNotOptimize(catalog->Root());
    // Freeing the tree is not part of reading it.
    aState.PauseTiming();
    catalog.reset();
    aState.ResumeTiming();
  }
}

void BM_FindItem(benchmark::State &aState) {
  const int episodes = int(aState.range(0));
  const tCatalogC &catalog = LoadedCatalog(episodes);
  // Unsorted lists are searched from their end, so the very first episode is
  // the longest walk.
  const QString path = EpisodePath(Shape(episodes), 0);
  if (!catalog.FindItem(path)) {
    aState.SkipWithError("The generated path is not in the catalog");
    return;
  }
  for (auto _ : aState)
    benchmark::DoNotOptimize(catalog.FindItem(path));
  aState.counters["per_lookup"] = benchmark::Counter(
      double(aState.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Fills the sink as the search result list is filled.
void ListMatching(benchmark::State &aState, const QString &aWord, int aExpectedRows) {
  const tCatalogC &catalog = LoadedCatalog(int(aState.range(0)));
  tCountingSinkC sink;
  for (auto _ : aState) {
    sink.BeginUpdate();
    sink.Clear();
    sink.Hold(catalog.Tree());
    catalog.ForEachMatching(aWord, [&sink](tCategoryItemC &, tFileItemC &aEpisode) {
      sink.AppendRow(EpisodeRow(aEpisode));
    });
    sink.EndUpdate();
  }
  if (sink.mRows != aExpectedRows)
    aState.SkipWithError("The row count differs from the generated catalog");
  aState.counters["rows"] = sink.mRows;
}

void BM_ListAll(benchmark::State &aState) {
  ListMatching(aState, QStringLiteral("*"), int(aState.range(0)));
}

void BM_Search(benchmark::State &aState) {
  ListMatching(aState, cRareWord, RareWordEpisodes(Shape(int(aState.range(0)))));
}

} // namespace

BENCHMARK(BM_Load)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindItem)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListAll)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Search)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
