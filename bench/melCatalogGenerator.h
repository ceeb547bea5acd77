#pragma once

#include <QString>

#include <cstdint>

// Synthetic catalogs for benchmarks and large-file tests: instruments /
// categories / sub-categories with the episodes spread evenly over the
// sub-categories, in file order. The same shape always gives the same bytes.
struct tCatalogShapeC {
  int mEpisodes = 10000;
  int mInstruments = 8;
  // Per instrument.
  int mCategories = 6;
  // Per category.
  int mSubCategories = 4;
  uint64_t mSeed = 1;
};

// Writes the catalog as ISO-8859-1 XML, about 460 bytes an episode; returns
// the size of the file. Raises std::runtime_error when it cannot be written.
qint64 WriteCatalogFile(const QString &aFileName, const tCatalogShapeC &aShape);

// The catalog path of the episode at aIndex in file order (0 is the first,
// mEpisodes - 1 the last), with names as the reader decodes them. Raises
// std::out_of_range for an index outside the catalog.
QString EpisodePath(const tCatalogShapeC &aShape, int aIndex);

// A word found, as a whole word, in the names of about 3% of the episodes
// and in no other field a search looks at.
inline const QString cRareWord = QStringLiteral("Shuffle");
// How many episodes a search for cRareWord finds.
int RareWordEpisodes(const tCatalogShapeC &aShape);
