#include "melCatalogDocument.h"
#include "melCatalogGenerator.h"
#include "melStoreImport.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstring>
#include <stdexcept>
#include <vector>

namespace {

constexpr int cEpisodes = 10000;
constexpr int cItems = 100;

struct tPlaceC {
  QByteArray mInstrument;
  QByteArray mCategory;
  QByteArray mSubCategory;
  QByteArray mName;
};

// Every episode of the catalog with its categories, names as the file holds
// them.
std::vector<tPlaceC> Episodes(const QString &aFileName) {
  tCatalogDocumentC catalog(aFileName);
  std::vector<tPlaceC> episodes;
  for (const pugi::xml_node instrument : catalog.Root().children())
    for (const pugi::xml_node category : instrument.children())
      for (const pugi::xml_node subCategory : category.children())
        for (const pugi::xml_node file : subCategory.children())
          episodes.push_back(
              {instrument.attribute("name").value(), category.attribute("name").value(),
               subCategory.attribute("name").value(), file.attribute("name").value()});
  return episodes;
}

void AddText(pugi::xml_node aItem, const char *aName, const QByteArray &aText) {
  aItem.append_child(aName).text().set(aText.constData());
}

// Items spread over the whole catalog, every other one an episode the
// catalog has already, the rest new episodes in existing sub-categories.
void BuildStore(pugi::xml_document &aStore, const std::vector<tPlaceC> &aEpisodes) {
  pugi::xml_node group = aStore.append_child("Store").append_child("Group");
  for (int i = 0; i < cItems; ++i) {
    const tPlaceC &place = aEpisodes[size_t(i) * aEpisodes.size() / cItems];
    const QByteArray name =
        i % 2 ? place.mName : QByteArray("Store Lesson ") + QByteArray::number(i);
    pugi::xml_node item = group.append_child("Item");
    AddText(item, "Instrument", place.mInstrument);
    AddText(item, "Category", place.mCategory);
    AddText(item, "Sub-Category", place.mSubCategory);
    AddText(item, "Filename", name + ".mov");
    AddText(item, "FileType", "Movie");
    AddText(item, "Artist", "Store Artist");
    AddText(item, "Level", "Beginner");
    AddText(item, "Link", "https://store.example/downloadStore/files/" + name + ".mov");
  }
}

int CountEpisodes(const QString &aFileName) {
  return int(Episodes(aFileName).size());
}

void Copy(const QString &aFrom, const QString &aTo) {
  QFile::remove(aTo);
  if (!QFile::copy(aFrom, aTo))
    throw std::runtime_error("Cannot copy the catalog");
}

void BM_MergeStore(benchmark::State &aState) {
  QTemporaryDir folder;
  if (!folder.isValid()) {
    aState.SkipWithError("Cannot create a temporary folder");
    return;
  }
  const QString source = folder.filePath(QStringLiteral("Generated.xml"));
  const QString work = folder.filePath(QStringLiteral("Catalog.xml"));
  tCatalogShapeC shape;
  shape.mEpisodes = cEpisodes;
  WriteCatalogFile(source, shape);
  pugi::xml_document store;
  BuildStore(store, Episodes(source));

  // Once untimed, to see that half the items are new.
  Copy(source, work);
  {
    tCatalogDocumentC local(work);
    MergeStoreCatalog(store, local);
  }
  if (CountEpisodes(work) != cEpisodes + cItems / 2) {
    aState.SkipWithError("The merge did not add the new half of the items");
    return;
  }

  for (auto _ : aState) {
    aState.PauseTiming();
    Copy(source, work);
    aState.ResumeTiming();
    tCatalogDocumentC local(work);
    MergeStoreCatalog(store, local);
  }
  aState.counters["per_item"] =
      benchmark::Counter(double(aState.iterations()) * cItems,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

} // namespace

// A pass takes seconds; three give a steady figure. The file is written
// through fsync, so wall time is the one that counts.
BENCHMARK(BM_MergeStore)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
