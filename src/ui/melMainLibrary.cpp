// The library view of the main window: category columns, episode list,
// captions, search and the remembered selection.
#include "melCatalog.h"
#include "melCatalogListView.h"
#include "melMain.h"
#include "melMessages.h"
#include "melQTControl.h"
#include "melScreenSaver.h"
#include "ui_melMain.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QTimer>

#include <cmath>

namespace {

constexpr int cColumnPitch = 133;
// The caption index divides the scroll position by this, not by the pitch.
constexpr double cCaptionDivisor = 148.0;
const QString cAll = QStringLiteral("All");

QString ParentName(const tCatalogItemC *aItem) {
  return aItem && aItem->mParent ? aItem->mParent->GetName() : QString();
}

// Takes the next component off a stored path.
QString NextPathPart(QString &aPath) {
  if (aPath.startsWith(u'\\'))
    aPath.remove(0, 1);
  const qsizetype slash = aPath.indexOf(u'\\');
  const QString part = slash < 0 ? aPath : aPath.left(slash);
  aPath.remove(0, slash < 0 ? aPath.size() : slash + 1);
  return part;
}

int FindCaption(TCatalogListView &aList, const QString &aCaption) {
  for (int i = 0; i < aList.RowCount(); ++i) {
    if (aList.RowCaption(i) == aCaption)
      return i;
  }
  return -1;
}

void ClearList(TCatalogListView &aList) {
  aList.BeginUpdate();
  aList.Clear();
  aList.EndUpdate();
}

} // namespace

void TMain::SetCategoryColumnCount(int aCount) {
  aCount = std::max(aCount, 2);
  QWidget *content = ui->fCategoryScrollContent;
  while (FCategoryColumns.Count() < aCount) {
    const int i = FCategoryColumns.Count();
    auto *bevel = new QFrame(content);
    bevel->setFrameShape(QFrame::Box);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setGeometry(i * cColumnPitch, 1, 132, 120);
    auto *list = new TCatalogListView(content);
    list->setGeometry(i * cColumnPitch + 1, 2, 129, 117);
    list->setObjectName(QStringLiteral("fCategoryLv%1").arg(i));
    list->setProperty("tag", i);
    list->SetColumns({QString()});
    list->setHeaderHidden(true);
    list->setColumnWidth(0, 115);
    list->setFrameShape(QFrame::NoFrame);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The selection stays visible when another column has the focus.
    QPalette palette = list->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
      palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    list->setPalette(palette);
    list->installEventFilter(this);
    connect(list, &TCatalogListView::RowSelected, this,
            [this](TCatalogListView *aSender, QTreeWidgetItem *aItem) {
              Guarded([&] { mCategoryLvSelectItem(aSender, aItem); });
            });
    FCategoryBevels.Add(tIntegerListC<QFrame>::KeyOf(bevel), bevel);
    FCategoryColumns.Add(tIntegerListC<TCatalogListView>::KeyOf(list), list);
    bevel->show();
    list->show();
  }
  while (FCategoryColumns.Count() > aCount) {
    const int last = FCategoryColumns.Count() - 1;
    delete FCategoryColumns.ObjectAt(last);
    delete FCategoryBevels.ObjectAt(last);
    FCategoryColumns.Delete(last);
    FCategoryBevels.Delete(last);
  }
  content->resize(FCategoryColumns.Count() * cColumnPitch, content->height());
}

void TMain::mCategoryLvSelectItem(TCatalogListView *aSender, QTreeWidgetItem *aItem) {
  const tCatalogItemC *item = TCatalogListView::ItemData(aItem);
  if (!item || !FCatalog)
    return;
  const int column = aSender->property("tag").toInt();
  if (item->HasFiles()) {
    if (column < FCategoryColumns.Count() - 1)
      SetCategoryColumnCount(column + 1);
    FCatalog->FillEpisodeList(*ui->fContentLv, item->GetPath());
    ShowItemCount();
  } else {
    if (FCategoryColumns.Count() - 1 < column + 1)
      SetCategoryColumnCount(column + 2);
    FCatalog->FillCategoryView(*FCategoryColumns.ObjectAt(column + 1), item->GetPath());
  }
  UpdateCategoryLabels();
  if (item->GetName() == cAll) {
    ClearList(*FCategoryColumns.ObjectAt(1));
    SetCategoryColumnCount(2);
    ui->fCategory1Lbl->clear();
    ui->fCategory2Lbl->clear();
    ui->fCategory3Lbl->setText(QStringLiteral("All episodes"));
    ListAllEpisodes(QStringLiteral("*"));
    ShowItemCount();
  }
}

void TMain::ListAllEpisodes(const QString &aWord) {
  TCatalogListView &list = *ui->fContentLv;
  list.BeginUpdate();
  list.Clear();
  if (FCatalog && !aWord.isEmpty()) {
    list.Hold(FCatalog->Tree());
    FCatalog->ForEachMatching(aWord, [this](tCategoryItemC &aCategory, tFileItemC &aEpisode) {
      AddEpisodeRow(aCategory, aEpisode);
    });
  }
  list.EndUpdate();
}

void TMain::AddEpisodeRow(tCategoryItemC &, tFileItemC &aEpisode) {
  ui->fContentLv->AppendRow(EpisodeRow(aEpisode));
}

void TMain::ShowItemCount() {
  const int rows = ui->fContentLv->RowCount();
  ui->fItemCountLbl->setText(QString::number(rows) +
                             (rows == 1 ? QStringLiteral(" item") : QStringLiteral(" items")));
}

void TMain::UpdateCategoryLabels() {
  // Halves round to even, as the floating-point mode of the window does.
  const int first =
      int(std::nearbyint(ui->fCategoryScroll->horizontalScrollBar()->value() / cCaptionDivisor));
  auto caption = [this](int aColumn) {
    if (aColumn < 0 || aColumn >= FCategoryColumns.Count())
      return QString();
    TCatalogListView *list = FCategoryColumns.ObjectAt(aColumn);
    return list->RowCount() > 0 ? ParentName(list->RowData(0)) : QString();
  };
  ui->fCategory1Lbl->setText(caption(first));
  ui->fCategory2Lbl->setText(caption(first + 1));
  TCatalogListView &episodes = *ui->fContentLv;
  ui->fCategory3Lbl->setText(episodes.RowCount() > 0 ? ParentName(episodes.RowData(0)) : QString());
}

void TMain::mCategoryLvEnter() {
  UpdateCategoryLabels();
  fAdjustTimer->start();
}

void TMain::fAdjustTimerTimer() {
  fAdjustTimer->stop();
  UpdateCategoryLabels();
}

bool TMain::fSearchEdtKeyPress(int aKey) {
  if (aKey != Qt::Key_Return && aKey != Qt::Key_Enter)
    return false;
  FCategoryColumns.ObjectAt(0)->SelectRow(-1);
  ClearList(*FCategoryColumns.ObjectAt(1));
  SetCategoryColumnCount(2);
  ui->fCategory1Lbl->clear();
  ui->fCategory2Lbl->clear();
  ui->fCategory3Lbl->setText(QStringLiteral("Results of Search: "));
  ListAllEpisodes(ui->fSearchEdt->text());
  return true;
}

QString TMain::GetSelectedPath() const {
  const int row = ui->fContentLv->SelectedRow();
  const tCatalogItemC *item = row < 0 ? nullptr : ui->fContentLv->RowData(row);
  return item ? item->GetPath() : QString();
}

void TMain::SelectPath(QString aPath) {
  if (aPath.isEmpty())
    return;
  int column = 0;
  while (true) {
    const QString part = NextPathPart(aPath);
    if (part.isEmpty())
      return;
    TCatalogListView &list = *FCategoryColumns.ObjectAt(column);
    const int row = FindCaption(list, part);
    if (row < 0)
      return;
    list.SelectRow(row);
    if (++column >= FCategoryColumns.Count())
      break;
  }
  // An episode that is gone leaves no row selected, not the list's first.
  ui->fContentLv->SelectRow(FindCaption(*ui->fContentLv, aPath));
}

bool TMain::eventFilter(QObject *aWatched, QEvent *aEvent) {
  if (aEvent->type() == QEvent::Resize && aWatched == ui->fMoviePnl) {
    Guarded([this] { PlaceMovie(); });
  } else if (aEvent->type() == QEvent::Resize && aWatched == ui->fControlPnl) {
    Guarded([this] { CenterControlPanel(); });
  } else if (aEvent->type() == QEvent::FocusIn && aWatched->property("tag").isValid()) {
    Guarded([this] { mCategoryLvEnter(); });
  } else if (aEvent->type() == QEvent::KeyPress && aWatched == ui->fSearchEdt) {
    bool consumed = false;
    Guarded([&] { consumed = fSearchEdtKeyPress(static_cast<QKeyEvent *>(aEvent)->key()); });
    return consumed;
  }
  return QWidget::eventFilter(aWatched, aEvent);
}
