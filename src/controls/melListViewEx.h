#pragma once

#include <QHeaderView>
#include <QTreeWidget>

class TListViewEx;

// A header that does not resize columns live: while a divider is dragged it
// shows a guide line and reports the drag, and applies the width on release.
class THeaderEx : public QHeaderView {
  Q_OBJECT
public:
  explicit THeaderEx(TListViewEx *aList);

  bool Tracking() const { return mSection >= 0; }

signals:
  void TrackBegin(int aHeaderItem, int aWidth);
  void Track(int aHeaderItem, int aWidth);
  void TrackEnd(int aHeaderItem, int aWidth);

protected:
  void mousePressEvent(QMouseEvent *aEvent) override;
  void mouseMoveEvent(QMouseEvent *aEvent) override;
  void mouseReleaseEvent(QMouseEvent *aEvent) override;

private:
  // The section whose right divider is under x, or -1.
  int SectionAtDivider(int aX) const;
  int TrackedWidth(int aX) const;
  void PlaceGuide(int aX);

  int mSection = -1;
  int mPressX = 0;
  int mStartWidth = 0;
  QWidget *mGuide = nullptr;
};

// A report-style list that tells when the user drags a column divider, and
// repaints whole after a horizontal scroll.
class TListViewEx : public QTreeWidget {
  Q_OBJECT
public:
  explicit TListViewEx(QWidget *aParent = nullptr);

  // The list's own column captions; the header shows them too.
  void SetColumns(const QStringList &aCaptions);
  const QStringList &Columns() const { return mColumns; }
  THeaderEx *HeaderEx() const { return mHeader; }

  // The list's column for a header item, found by its caption: the item's
  // own number when the captions agree, else the first column with that
  // caption, else -1.
  int ColumnForHeaderItem(int aHeaderItem) const;

signals:
  void OnBeginColumnResize(TListViewEx *rSender, int rColumnIndex, int rColumnWidth);
  void OnColumnResize(TListViewEx *rSender, int rColumnIndex, int rColumnWidth);
  void OnEndColumnResize(TListViewEx *rSender, int rColumnIndex, int rColumnWidth);

protected:
  virtual void DoBeginColumnResize(int aColumnIndex, int aColumnWidth);
  virtual void DoEndColumnResize(int aColumnIndex, int aColumnWidth);
  virtual void DoColumnResize(int aColumnIndex, int aColumnWidth);
  void scrollContentsBy(int aDx, int aDy) override;

private:
  THeaderEx *mHeader;
  QStringList mColumns;
};
