#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class tCatalogItemC;

// One row of a category column or of the episode list.
struct tRowC {
  QString mCaption;
  QStringList mSubItems;
  tCatalogItemC *mData = nullptr;
  int mImageIndex = -1;
};

// What the catalog fills: a list control, seen through the few operations
// the listing needs. The widgets implement it.
class tRowSinkC {
public:
  virtual ~tRowSinkC() = default;
  virtual void BeginUpdate() = 0;
  virtual void EndUpdate() = 0;
  // Removes every row and lets go of what Hold kept.
  virtual void Clear() = 0;
  // Keeps the objects the rows point at alive until the next Clear: the tree
  // a row came from may have been replaced by a reload meanwhile.
  virtual void Hold(std::shared_ptr<const void> aOwner) = 0;
  virtual int AppendRow(const tRowC &aRow) = 0;
  virtual void SelectRow(int aIndex) = 0;
};

// Image indexes of the episode list's pictures.
inline constexpr int cMovieImage = 0;
inline constexpr int cPdfImage = 1;
