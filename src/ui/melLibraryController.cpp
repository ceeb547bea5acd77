#include "melLibraryController.h"

#include "melApplications.h"
#include "melCatalog.h"
#include "melCatalogListView.h"
#include "melCatalogMaintenance.h"
#include "melLogging.h"
#include "melMessages.h"
#include "melPaths.h"
#include "melUtil.h"
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

QString CatalogFile() {
  return LocalPath(CatalogFilePath());
}

} // namespace

TLibraryController::TLibraryController(Ui::TMain &aForm, const std::unique_ptr<tCatalogC> &aCatalog,
                                       QObject *aParent)
    : QObject(aParent), ui(&aForm), FCatalog(aCatalog) {
  FCategoryColumns.SetSorted(false);
  FCategoryBevels.SetSorted(false);

  TCatalogListView &episodes = *ui->fContentLv;
  episodes.SetColumns({QStringLiteral("Name"), QStringLiteral("Artist"),
                       QStringLiteral("Instrument"), QStringLiteral("Level")});
  episodes.SetSortedRows(true);
  episodes.SetImages({QIcon(QStringLiteral(":/assets/icon-movie.png")),
                      QIcon(QStringLiteral(":/assets/icon-pdf.png"))});
  episodes.setIconSize(QSize(16, 16));
  episodes.header()->setMinimumSectionSize(40);
  episodes.setColumnWidth(0, 250);
  episodes.setColumnWidth(1, 110);
  episodes.setColumnWidth(2, 90);
  ui->fSearchEdt->installEventFilter(this);
  fAdjustTimer = new QTimer(this);
  fAdjustTimer->setSingleShot(true);
  fAdjustTimer->setInterval(10);
  connect(fAdjustTimer, &QTimer::timeout, this,
          [this] { Guarded([this] { fAdjustTimerTimer(); }); });
}

TLibraryController::~TLibraryController() = default;

void TLibraryController::ShowTopLevel() {
  if (FCatalog)
    FCatalog->FillCategoryView(*FCategoryColumns.ObjectAt(0), QStringLiteral("\\"));
}

void TLibraryController::DeleteLastColumn() {
  const int last = FCategoryColumns.Count() - 1;
  delete FCategoryColumns.ObjectAt(last);
  delete FCategoryBevels.ObjectAt(last);
  FCategoryColumns.Delete(last);
  FCategoryBevels.Delete(last);
}

void TLibraryController::SetCategoryColumnCount(int aCount) {
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
  while (FCategoryColumns.Count() > aCount)
    DeleteLastColumn();
  content->resize(FCategoryColumns.Count() * cColumnPitch, content->height());
}

void TLibraryController::mCategoryLvSelectItem(TCatalogListView *aSender, QTreeWidgetItem *aItem) {
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

void TLibraryController::ListAllEpisodes(const QString &aWord) {
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

void TLibraryController::AddEpisodeRow(tCategoryItemC &, tFileItemC &aEpisode) {
  ui->fContentLv->AppendRow(EpisodeRow(aEpisode));
}

void TLibraryController::ShowItemCount() {
  const int rows = ui->fContentLv->RowCount();
  ui->fItemCountLbl->setText(QString::number(rows) +
                             (rows == 1 ? QStringLiteral(" item") : QStringLiteral(" items")));
}

void TLibraryController::UpdateCategoryLabels() {
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

void TLibraryController::mCategoryLvEnter() {
  UpdateCategoryLabels();
  fAdjustTimer->start();
}

void TLibraryController::fAdjustTimerTimer() {
  fAdjustTimer->stop();
  UpdateCategoryLabels();
}

bool TLibraryController::fSearchEdtKeyPress(int aKey) {
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

QString TLibraryController::GetSelectedPath() const {
  const int row = ui->fContentLv->SelectedRow();
  const tCatalogItemC *item = row < 0 ? nullptr : ui->fContentLv->RowData(row);
  return item ? item->GetPath() : QString();
}

void TLibraryController::SelectPath(QString aPath) {
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

bool TLibraryController::eventFilter(QObject *aWatched, QEvent *aEvent) {
  if (aEvent->type() == QEvent::FocusIn && aWatched->property("tag").isValid()) {
    Guarded([this] { mCategoryLvEnter(); });
  } else if (aEvent->type() == QEvent::KeyPress && aWatched == ui->fSearchEdt) {
    bool consumed = false;
    Guarded([&] { consumed = fSearchEdtKeyPress(static_cast<QKeyEvent *>(aEvent)->key()); });
    return consumed;
  }
  return QObject::eventFilter(aWatched, aEvent);
}

void TLibraryController::UpdateEpisodeStatus(const QString &aURL, uint8_t aStatus) {
  UpdateEpisodeStatusInFile(CatalogFile(), aURL, aStatus);
  ui->fContentLv->ResortRows();
}

void TLibraryController::RemoveEpisode(tFileItemC &aEpisode,
                                       const std::function<void()> &aReleaseFile,
                                       quintptr aWindow) {
  // Copies: the reload below replaces the tree the episode belongs to.
  const QString name = aEpisode.mName;
  const QString fileName = aEpisode.mFilename;
  const bool downloaded = aEpisode.mStatus == esDownloaded;
  // The catalog is saved before the file goes, so a failed save never leaves
  // a "Downloaded" episode without its file; a failed removal changes
  // nothing, the movie included.
  if (!RemoveEpisodeFromFile(CatalogFile(), name))
    throw EMelError(QStringLiteral("Cannot find episode for delete"));
  if (downloaded) {
    // The movie must not hold the file open while it goes to the trash.
    if (aReleaseFile)
      aReleaseFile();
    MoveToRecycleBin(fileName, aWindow);
    WriteLog(QStringLiteral("Delete file: ") + fileName);
  }
  ResetCatalogView();
}

void TLibraryController::ResetCatalogView() {
  TCatalogListView &episodes = *ui->fContentLv;
  episodes.BeginUpdate();
  episodes.Clear();
  episodes.EndUpdate();
  // Two fresh, empty columns, as at start.
  FCategoryColumns.ObjectAt(0)->SelectRow(-1);
  while (FCategoryColumns.Count() > 0)
    DeleteLastColumn();
  SetCategoryColumnCount(2);
  ReloadCatalog();
}

void TLibraryController::ResetStatusesAtStart() {
  ResetStatusesInFile(CatalogFile());
  ReloadCatalog();
}

void TLibraryController::ReloadCatalog() {
  if (!FCatalog)
    return;
  // A reload follows every status change of a download. The user's place
  // stays: a selection moved under the user would point Delete or Pause at
  // another lesson.
  const QString episode = GetSelectedPath();
  const bool searching =
      FCategoryColumns.ObjectAt(0)->SelectedRow() < 0 && !ui->fSearchEdt->text().isEmpty();
  QString category;
  for (int i = 0; i < FCategoryColumns.Count(); ++i) {
    TCatalogListView &column = *FCategoryColumns.ObjectAt(i);
    const int row = column.SelectedRow();
    const tCatalogItemC *item = row < 0 ? nullptr : column.RowData(row);
    if (!item)
      break;
    if (const QString path = item->GetPath(); !path.isEmpty())
      category = path;
  }
  FCatalog->Load();
  if (searching) {
    fSearchEdtKeyPress(Qt::Key_Return);
  } else {
    ShowTopLevel();
    if (!category.isEmpty())
      SelectPath(category);
  }
  if (episode.isEmpty())
    return;
  for (int row = 0; row < ui->fContentLv->RowCount(); ++row)
    if (const tCatalogItemC *item = ui->fContentLv->RowData(row);
        item && item->GetPath() == episode)
      ui->fContentLv->SelectRow(row);
}
