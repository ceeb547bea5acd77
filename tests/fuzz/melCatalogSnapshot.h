#pragma once

#include "melCatalog.h"

#include <QStringList>

// Everything the tree reader took from a catalog, in tree order: one line per
// category and episode with its fields.
inline QStringList CatalogSnapshot(const tCatalogC &aCatalog) {
  QStringList lines;
  std::vector<const tCategoryItemC *> pending{aCatalog.Root()};
  while (!pending.empty()) {
    const tCategoryItemC *category = pending.back();
    pending.pop_back();
    lines << QStringLiteral("C|") + category->GetPath() + u'|' +
                 QString::number(category->HasFiles());
    for (int i = category->mItems.Count() - 1; i >= 0; --i) {
      const tCatalogItemC *item = category->mItems.ObjectAt(i);
      if (item->IsCategory()) {
        pending.push_back(static_cast<const tCategoryItemC *>(item));
        continue;
      }
      const auto *e = static_cast<const tFileItemC *>(item);
      lines << QStringList{QStringLiteral("F"), e->mPath,     e->mName,
                           e->mFilename,        e->mIPodFile, e->mAcidFile,
                           e->mFileType,        e->mArtist,   e->mInstrument,
                           e->mLevel,           e->mURL,      QString::number(e->mStatus)}
                   .join(u'|');
    }
  }
  return lines;
}
