#include "melListViewEx.h"

#include <QMouseEvent>

namespace {

constexpr int cDividerGrip = 4; // pixels either side of a divider that grab it

} // namespace

THeaderEx::THeaderEx(TListViewEx *aList) : QHeaderView(Qt::Horizontal, aList) {
  setSectionsClickable(false);
  setSectionResizeMode(QHeaderView::Interactive);
}

int THeaderEx::SectionAtDivider(int aX) const {
  for (int visual = 0; visual < count(); ++visual) {
    const int logical = logicalIndex(visual);
    if (isSectionHidden(logical))
      continue;
    const int right = sectionViewportPosition(logical) + sectionSize(logical);
    if (std::abs(aX - right) <= cDividerGrip)
      return logical;
  }
  return -1;
}

int THeaderEx::TrackedWidth(int aX) const {
  return std::max(minimumSectionSize(), mStartWidth + aX - mPressX);
}

void THeaderEx::PlaceGuide(int aX) {
  QWidget *view = parentWidget();
  if (!mGuide) {
    mGuide = new QWidget(view);
    mGuide->setAttribute(Qt::WA_TransparentForMouseEvents);
    mGuide->setAutoFillBackground(true);
    QPalette palette = mGuide->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::WindowText));
    mGuide->setPalette(palette);
  }
  const int x = mapTo(view, QPoint(sectionViewportPosition(mSection) + TrackedWidth(aX), 0)).x();
  mGuide->setGeometry(x, 0, 1, view->height());
  mGuide->show();
  mGuide->raise();
}

void THeaderEx::mousePressEvent(QMouseEvent *aEvent) {
  const int x = aEvent->position().toPoint().x();
  const int section = aEvent->button() == Qt::LeftButton ? SectionAtDivider(x) : -1;
  if (section < 0) {
    QHeaderView::mousePressEvent(aEvent);
    return;
  }
  mSection = section;
  mPressX = x;
  mStartWidth = sectionSize(section);
  PlaceGuide(x);
  emit TrackBegin(section, mStartWidth);
}

void THeaderEx::mouseMoveEvent(QMouseEvent *aEvent) {
  const int x = aEvent->position().toPoint().x();
  if (!Tracking()) {
    setCursor(SectionAtDivider(x) >= 0 ? Qt::SplitHCursor : Qt::ArrowCursor);
    QHeaderView::mouseMoveEvent(aEvent);
    return;
  }
  PlaceGuide(x);
  emit Track(mSection, TrackedWidth(x));
}

void THeaderEx::mouseReleaseEvent(QMouseEvent *aEvent) {
  if (!Tracking()) {
    QHeaderView::mouseReleaseEvent(aEvent);
    return;
  }
  const int section = mSection;
  const int width = TrackedWidth(aEvent->position().toPoint().x());
  mSection = -1;
  if (mGuide)
    mGuide->hide();
  resizeSection(section, width);
  emit TrackEnd(section, width);
}

TListViewEx::TListViewEx(QWidget *aParent) : QTreeWidget(aParent), mHeader(new THeaderEx(this)) {
  setHeader(mHeader);
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  connect(mHeader, &THeaderEx::TrackBegin, this, [this](int aItem, int aWidth) {
    DoBeginColumnResize(ColumnForHeaderItem(aItem), aWidth);
  });
  connect(mHeader, &THeaderEx::Track, this,
          [this](int aItem, int aWidth) { DoColumnResize(ColumnForHeaderItem(aItem), aWidth); });
  connect(mHeader, &THeaderEx::TrackEnd, this,
          [this](int aItem, int aWidth) { DoEndColumnResize(ColumnForHeaderItem(aItem), aWidth); });
}

void TListViewEx::SetColumns(const QStringList &aCaptions) {
  mColumns = aCaptions;
  setColumnCount(int(aCaptions.size()));
  setHeaderLabels(aCaptions);
}

int TListViewEx::ColumnForHeaderItem(int aHeaderItem) const {
  const QString text = model()->headerData(aHeaderItem, Qt::Horizontal).toString();
  if (aHeaderItem >= 0 && aHeaderItem < mColumns.size() && mColumns[aHeaderItem] == text)
    return aHeaderItem;
  return int(mColumns.indexOf(text));
}

void TListViewEx::DoBeginColumnResize(int aColumnIndex, int aColumnWidth) {
  emit OnBeginColumnResize(this, aColumnIndex, aColumnWidth);
}

void TListViewEx::DoEndColumnResize(int aColumnIndex, int aColumnWidth) {
  emit OnEndColumnResize(this, aColumnIndex, aColumnWidth);
}

void TListViewEx::DoColumnResize(int aColumnIndex, int aColumnWidth) {
  emit OnColumnResize(this, aColumnIndex, aColumnWidth);
}

void TListViewEx::scrollContentsBy(int aDx, int aDy) {
  QTreeWidget::scrollContentsBy(aDx, aDy);
  // Rows draw download state across columns; a partial scroll repaint would
  // leave it torn.
  if (aDx != 0)
    viewport()->update();
}
