#include "melCatalogListView.h"

#include "melCatalog.h"

#include <QCollator>
#include <QLocale>

namespace {

const QCollator &CaptionCollator() {
  static const QCollator collator = [] {
    // The C locale has no collation of its own; take the common one, which
    // puts a before A before b.
    QLocale locale = QLocale::system();
    if (locale.language() == QLocale::C)
      locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator result(locale);
    result.setCaseSensitivity(Qt::CaseSensitive);
    return result;
  }();
  return collator;
}

int Rank(const tFileItemC *aEpisode) {
  switch (aEpisode->mStatus) {
  case esDownloaded: return 4;
  case esNotDownloaded:
  case esError:
  case esPaused: return 1;
  default: return 0;
  }
}

class tRowItemC : public QTreeWidgetItem {
public:
  tRowItemC(const tRowC &aRow, bool aSortKey)
      : mData(aRow.mData), mSortKey(aSortKey ? CaptionCollator().sortKey(aRow.mCaption)
                                             : CaptionCollator().sortKey(QString())) {
    setText(0, aRow.mCaption);
    for (int i = 0; i < aRow.mSubItems.size(); ++i)
      setText(i + 1, aRow.mSubItems[i]);
  }

  bool operator<(const QTreeWidgetItem &aOther) const override {
    return CompareEpisodeRows(*this, aOther) < 0;
  }

  tCatalogItemC *mData;
  QCollatorSortKey mSortKey;
};

} // namespace

int CompareEpisodeRows(const QTreeWidgetItem &aFirst, const QTreeWidgetItem &aSecond) {
  const auto &first = static_cast<const tRowItemC &>(aFirst);
  const auto &second = static_cast<const tRowItemC &>(aSecond);
  // Rows without an episode compare as equal.
  if (!first.mData || !second.mData || first.mData->IsCategory() || second.mData->IsCategory())
    return 0;
  const int order = Rank(static_cast<const tFileItemC *>(first.mData)) -
                    Rank(static_cast<const tFileItemC *>(second.mData));
  if (order != 0)
    return order;
  return first.mSortKey.compare(second.mSortKey);
}

TCatalogListView::TCatalogListView(QWidget *aParent) : TListViewEx(aParent) {
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this](const QItemSelection &aSelected, const QItemSelection &aDeselected) {
            if (!aDeselected.isEmpty())
              emit RowDeselected(this);
            if (aSelected.isEmpty())
              return;
            if (QTreeWidgetItem *item = itemFromIndex(aSelected.indexes().first()))
              emit RowSelected(this, item);
          });
}

void TCatalogListView::SetSortedRows(bool aSorted) {
  mSortedRows = aSorted;
}

void TCatalogListView::BeginUpdate() {
  if (mUpdateDepth++ == 0) {
    setUpdatesEnabled(false);
    setSortingEnabled(false);
  }
}

void TCatalogListView::EndUpdate() {
  if (--mUpdateDepth > 0)
    return;
  Flush();
  setUpdatesEnabled(true);
}

void TCatalogListView::Clear() {
  for (QTreeWidgetItem *item : mPending)
    delete item;
  mPending.clear();
  clear();
  mHeld.clear();
}

void TCatalogListView::Hold(std::shared_ptr<const void> aOwner) {
  mHeld.push_back(std::move(aOwner));
}

int TCatalogListView::AppendRow(const tRowC &aRow) {
  auto *item = new tRowItemC(aRow, mSortedRows);
  if (aRow.mImageIndex >= 0 && aRow.mImageIndex < mImages.size())
    item->setIcon(0, mImages[aRow.mImageIndex]);
  mPending.push_back(item);
  if (mUpdateDepth == 0)
    Flush();
  return topLevelItemCount() + int(mPending.size()) - 1;
}

void TCatalogListView::Flush() {
  if (mPending.empty())
    return;
  QList<QTreeWidgetItem *> items(mPending.begin(), mPending.end());
  mPending.clear();
  addTopLevelItems(items);
  if (mSortedRows)
    sortItems(0, Qt::AscendingOrder);
}

void TCatalogListView::SelectRow(int aIndex) {
  // The row index is that of the sorted list.
  Flush();
  if (aIndex < 0 || aIndex >= topLevelItemCount()) {
    clearSelection();
    return;
  }
  setCurrentItem(topLevelItem(aIndex));
}

void TCatalogListView::ResortRows() {
  Flush();
  if (mSortedRows)
    sortItems(0, Qt::AscendingOrder);
}

int TCatalogListView::RowCount() {
  Flush();
  return topLevelItemCount();
}

tCatalogItemC *TCatalogListView::RowData(int aIndex) {
  Flush();
  return ItemData(topLevelItem(aIndex));
}

QString TCatalogListView::RowCaption(int aIndex) {
  Flush();
  const QTreeWidgetItem *item = topLevelItem(aIndex);
  return item ? item->text(0) : QString();
}

int TCatalogListView::SelectedRow() const {
  const QList<QTreeWidgetItem *> selected = selectedItems();
  return selected.isEmpty() ? -1 : indexOfTopLevelItem(selected.first());
}

tCatalogItemC *TCatalogListView::ItemData(const QTreeWidgetItem *aItem) {
  return aItem ? static_cast<const tRowItemC *>(aItem)->mData : nullptr;
}

tCatalogItemC *TCatalogListView::IndexData(const QModelIndex &aIndex) const {
  return ItemData(itemFromIndex(aIndex.siblingAtColumn(0)));
}
