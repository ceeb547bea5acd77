#pragma once

#include "melListViewEx.h"
#include "melRowSink.h"

#include <QCollatorSortKey>

#include <memory>
#include <vector>

// A list control the catalog fills: the category columns and the episode
// list. Rows carry their catalog item; a sorted list orders episodes by
// download state, then by caption.
class TCatalogListView : public TListViewEx, public tRowSinkC {
  Q_OBJECT
public:
  explicit TCatalogListView(QWidget *aParent = nullptr);

  // Sorted lists take their rows in batches and sort each batch once, which
  // gives the order of sorting after every row.
  void SetSortedRows(bool aSorted);

  void BeginUpdate() override;
  void EndUpdate() override;
  void Clear() override;
  void Hold(std::shared_ptr<const void> aOwner) override;
  int AppendRow(const tRowC &aRow) override;
  void SelectRow(int aIndex) override;

  // Sorts the rows again, after a row's download state changed.
  void ResortRows();
  int RowCount();
  tCatalogItemC *RowData(int aIndex);
  QString RowCaption(int aIndex);
  int SelectedRow() const;
  static tCatalogItemC *ItemData(const QTreeWidgetItem *aItem);
  // The catalog item of the row an index of the list's model lies in.
  tCatalogItemC *IndexData(const QModelIndex &aIndex) const;

  // The pictures of the episode rows, by image index.
  void SetImages(const QList<QIcon> &aImages) { mImages = aImages; }

signals:
  // A row became selected (deselection is not reported).
  void RowSelected(TCatalogListView *aSender, QTreeWidgetItem *aItem);
  // A row stopped being selected (before a new one is, when the selection
  // moves).
  void RowDeselected(TCatalogListView *aSender);

private:
  void Flush();

  bool mSortedRows = false;
  int mUpdateDepth = 0;
  std::vector<QTreeWidgetItem *> mPending;
  std::vector<std::shared_ptr<const void>> mHeld;
  QList<QIcon> mImages;
};

// The order of two rows of a TCatalogListView: downloading episodes first,
// then those waiting, then the downloaded ones; each group by the locale's
// case-sensitive order of captions.
int CompareEpisodeRows(const QTreeWidgetItem &aFirst, const QTreeWidgetItem &aSecond);
