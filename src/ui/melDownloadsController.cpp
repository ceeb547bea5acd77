#include "melDownloadsController.h"

#include "melApplications.h"
#include "melCatalog.h"
#include "melCatalogListView.h"
#include "melDownloadFileThread.h"
#include "melDownloadManager.h"
#include "melMessages.h"
#include "melPaths.h"
#include "ui_melMain.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolTip>

namespace {

constexpr int cStatusImageWidth = 16;
// Between the status picture and the row's own icon.
constexpr int cStatusImageGap = 2;

const QString cConnectionErrorTip =
    QStringLiteral("There was a problem downloading this file due to a connection error.");

tFileItemC *EpisodeOf(tCatalogItemC *aItem) {
  return aItem && !aItem->IsCategory() ? static_cast<tFileItemC *>(aItem) : nullptr;
}

QPixmap Picture(const QString &aName) {
  return QPixmap(QStringLiteral(":/assets/%1.png").arg(aName));
}

// Draws the first column of an episode row with its download state.
class tEpisodeRowDelegateC : public QStyledItemDelegate {
public:
  tEpisodeRowDelegateC(TCatalogListView *aList, TDownloadsController *aDownloads)
      : QStyledItemDelegate(aList), mList(aList), mDownloads(aDownloads),
        mErrorImage(Picture(QStringLiteral("icon-error"))),
        mDownloadedImage(Picture(QStringLiteral("icon-downloaded"))) {
    for (int index = 0; index < 16; ++index)
      mProgressImages << Picture(QStringLiteral("progress-%1").arg(index));
  }

  void paint(QPainter *aPainter, const QStyleOptionViewItem &aOption,
             const QModelIndex &aIndex) const override {
    tFileItemC *episode = aIndex.column() == 0 ? EpisodeOf(mList->IndexData(aIndex)) : nullptr;
    if (!episode) {
      QStyledItemDelegate::paint(aPainter, aOption, aIndex);
      return;
    }
    QPixmap status;
    if (episode->mStatus == esDownloading)
      status = mProgressImages.value(mDownloads->ProgressImageIndex(episode->mProgress));
    else if (episode->mStatus == esError)
      status = mErrorImage;
    else if (episode->mStatus == esDownloaded)
      status = mDownloadedImage;
    // The row's selection and background span the picture too.
    QStyleOptionViewItem option = aOption;
    initStyleOption(&option, aIndex);
    const QRect whole = option.rect;
    option.rect.setLeft(whole.left() + cStatusImageWidth + cStatusImageGap);
    QStyleOptionViewItem background = aOption;
    background.rect = whole;
    background.text.clear();
    background.icon = QIcon();
    background.features &= ~QStyleOptionViewItem::HasDisplay;
    background.features &= ~QStyleOptionViewItem::HasDecoration;
    const QWidget *widget = aOption.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, aPainter, widget);
    if (!status.isNull())
      aPainter->drawPixmap(whole.left(), whole.top() + (whole.height() - cStatusImageWidth) / 2,
                           cStatusImageWidth, cStatusImageWidth, status);
    option.backgroundBrush = Qt::NoBrush;
    option.state &= ~QStyle::State_Selected;
    if (aOption.state & QStyle::State_Selected)
      option.palette.setColor(QPalette::Text, option.palette.color(QPalette::HighlightedText));
    style->drawControl(QStyle::CE_ItemViewItem, &option, aPainter, widget);
  }

  QSize sizeHint(const QStyleOptionViewItem &aOption, const QModelIndex &aIndex) const override {
    QSize size = QStyledItemDelegate::sizeHint(aOption, aIndex);
    if (aIndex.column() == 0)
      size.rwidth() += cStatusImageWidth + cStatusImageGap;
    return size;
  }

protected:
  void initStyleOption(QStyleOptionViewItem *aOption, const QModelIndex &aIndex) const override {
    QStyledItemDelegate::initStyleOption(aOption, aIndex);
    tFileItemC *episode = EpisodeOf(mList->IndexData(aIndex));
    if (!episode)
      return;
    if (episode->mStatus != esDownloaded)
      aOption->palette.setColor(QPalette::Text, QColor(128, 128, 128));
    if (aIndex.column() == 0 && episode->mStatus == esDownloading)
      aOption->text = episode->mName + QStringLiteral(" (") + QString::number(episode->mProgress) +
                      QStringLiteral("%)");
  }

private:
  TCatalogListView *mList;
  TDownloadsController *mDownloads;
  QPixmap mErrorImage;
  QPixmap mDownloadedImage;
  QList<QPixmap> mProgressImages;
};

} // namespace

TDownloadsController::TDownloadsController(Ui::TMain &aForm,
                                           const std::unique_ptr<tCatalogC> &aCatalog,
                                           QObject *aParent)
    : QObject(aParent), ui(&aForm), FCatalog(aCatalog) {
  TCatalogListView &list = *ui->fContentLv;
  list.setItemDelegate(new tEpisodeRowDelegateC(&list, this));
  fListViewport = list.viewport();
  fListViewport->installEventFilter(this);
  list.installEventFilter(this);

  pmContext = new QMenu(&list);
  pmContext->setObjectName(QStringLiteral("pmContext"));
  miDelete = pmContext->addAction(QStringLiteral("&Delete"));
  miDelete->setObjectName(QStringLiteral("miDelete"));
  miPause = pmContext->addAction(QStringLiteral("&Pause"));
  miPause->setObjectName(QStringLiteral("miPause"));
  miResume = pmContext->addAction(QStringLiteral("&Resume"));
  miResume->setObjectName(QStringLiteral("miResume"));
  connect(miDelete, &QAction::triggered, this, [this] { Guarded([this] { miDeleteClick(); }); });
  connect(miPause, &QAction::triggered, this, [this] { Guarded([this] { miPauseClick(); }); });
  connect(miResume, &QAction::triggered, this, [this] { Guarded([this] { miResumeClick(); }); });
  connect(pmContext, &QMenu::aboutToShow, this, [this] { Guarded([this] { pmContextPopup(); }); });
  list.setContextMenuPolicy(Qt::CustomContextMenu);
  connect(&list, &QWidget::customContextMenuRequested, this, [this](const QPoint &aWhere) {
    pmContext->popup(ui->fContentLv->viewport()->mapToGlobal(aWhere));
  });
}

TDownloadsController::~TDownloadsController() {
  // The transfers report through this object; they end before it goes.
  FDownloadManager.reset();
}

TmelDownloadManager &TDownloadsController::DownloadManager() {
  if (!FDownloadManager) {
    FDownloadManager = std::make_unique<TmelDownloadManager>(*this);
    fTransfersTimer = new QTimer(this);
    fTransfersTimer->setInterval(500);
    connect(fTransfersTimer, &QTimer::timeout, this, [this] { ShowTransfers(); });
    fTransfersTimer->start();
  }
  return *FDownloadManager;
}

void TDownloadsController::StartDownloads() {
  DownloadManager().StartDownloads();
  ShowTransfers();
}

void TDownloadsController::StopDownloads() {
  FDownloadManager.reset();
  if (fTransfersTimer)
    fTransfersTimer->stop();
  ShowTransfers();
}

QString TDownloadsController::TransfersText() const {
  if (!FDownloadManager)
    return QString();
  int running = 0;
  int waiting = 0;
  for (const TmelDownloadFileThread *worker : FDownloadManager->Threads()) {
    if (worker->FRunning)
      ++running;
    else if (!worker->Started())
      ++waiting;
  }
  if (running == 0 && waiting == 0)
    return QString();
  QString text = QStringLiteral("%1 downloading").arg(running);
  if (waiting > 0)
    text += QStringLiteral(", %1 waiting").arg(waiting);
  return text;
}

void TDownloadsController::ShowTransfers() {
  ui->fDownloadsLbl->setText(TransfersText());
}

void TDownloadsController::UpdateEpisodeStatus(const QString &aURL, uint8_t aStatus) {
  if (FActions.mUpdateEpisodeStatus)
    FActions.mUpdateEpisodeStatus(aURL, aStatus);
}

void TDownloadsController::ReportProgress(const QString &aURL, const QString &aLocalFile,
                                          int aPercent) {
  TCatalogListView &list = *ui->fContentLv;
  for (int row = 0; row < list.RowCount(); ++row) {
    tFileItemC *episode = EpisodeOf(list.RowData(row));
    if (episode && episode->mFilename == aLocalFile && episode->mURL == aURL) {
      episode->SetProgress(aPercent);
      list.viewport()->update();
      break;
    }
  }
  ShowTransfers();
}

void TDownloadsController::ReloadCatalog() {
  if (FActions.mReloadCatalog)
    FActions.mReloadCatalog();
  ShowTransfers();
}

bool TDownloadsController::CheckStoreLogin() {
  return FActions.mCheckStoreLogin && FActions.mCheckStoreLogin();
}

tStoreRequestOptionsC TDownloadsController::StoreRequestOptions() {
  return FActions.mStoreRequestOptions ? FActions.mStoreRequestOptions() : tStoreRequestOptionsC();
}

QString TDownloadsController::CatalogFilePath() {
  return ::CatalogFilePath();
}

int TDownloadsController::ProgressImageIndex(int aPercent) {
  // The last percent of each band; the fourth is one wider than the rest.
  static constexpr int cBandEnds[] = {12, 25, 38, 52, 65, 78, 91, 100};
  int band = 14;
  if (aPercent >= 0)
    for (int i = 0; i < 8; ++i)
      if (aPercent <= cBandEnds[i]) {
        band = 2 * i;
        break;
      }
  return BlinkPhase() == 2 ? band : band + 1;
}

int TDownloadsController::BlinkPhase() {
  if (FBlinkTimer)
    return FBlinkPhase;
  FBlinkPhase = 2;
  FBlinkTimer = new QTimer(this);
  FBlinkTimer->setInterval(500);
  connect(FBlinkTimer, &QTimer::timeout, this, [this] { Guarded([this] { BlinkTimerTick(); }); });
  FBlinkTimer->start();
  return FBlinkPhase;
}

void TDownloadsController::BlinkTimerTick() {
  FBlinkPhase = FBlinkPhase == 2 ? 4 : 2;
  ui->fContentLv->viewport()->update();
}

QString TDownloadsController::TipText(const tFileItemC &aEpisode) {
  QString tip = StatusToText(aEpisode.mStatus);
  if (aEpisode.mStatus == esError)
    tip += QStringLiteral(": ") + cConnectionErrorTip;
  return tip;
}

tFileItemC *TDownloadsController::SelectedEpisode() const {
  const int row = ui->fContentLv->SelectedRow();
  return row < 0 ? nullptr : EpisodeOf(ui->fContentLv->RowData(row));
}

void TDownloadsController::pmContextPopup() {
  tFileItemC *episode = SelectedEpisode();
  miDelete->setEnabled(episode != nullptr);
  if (!episode)
    return;
  const uint8_t status = episode->mStatus;
  miDelete->setEnabled(status != esDownloading && status != esPaused);
  miPause->setEnabled(status == esDownloading);
  miResume->setEnabled(status == esNotDownloaded || status == esError || status == esPaused);
}

void TDownloadsController::miPauseClick() {
  tFileItemC *episode = SelectedEpisode();
  if (!episode)
    return;
  const QString localFile = episode->mFilename;
  episode->SetStatus(esPaused);
  if (FDownloadManager)
    FDownloadManager->PauseDownload(localFile);
  ShowTransfers();
}

void TDownloadsController::miResumeClick() {
  tFileItemC *episode = SelectedEpisode();
  if (!episode || !FActions.mCheckStoreLogin || !FActions.mCheckStoreLogin())
    return;
  episode->SetStatus(esDownloading);
  DownloadManager().ResumeDownload(*episode);
  ShowTransfers();
}

void TDownloadsController::miDeleteClick() {
  DeleteSelectedEpisode();
}

void TDownloadsController::DeleteSelectedEpisode() {
  tFileItemC *episode = SelectedEpisode();
  if (!episode || (episode->mStatus != esDownloaded && episode->mStatus != esPaused))
    return;
  if (Confirm(QStringLiteral("Are you sure you want to send the file to the Recycle Bin?"),
              QMessageBox::Yes | QMessageBox::No, ui->fContentLv->window()) != QMessageBox::Yes)
    return;
  // The box ran the event loop: the row may have been rebuilt meanwhile.
  episode = SelectedEpisode();
  if (!episode || (episode->mStatus != esDownloaded && episode->mStatus != esPaused))
    return;
  if (episode->mFileType == QLatin1String("Movie") && LocalFileExists(episode->mFilename) &&
      episode->mStatus == esDownloaded && FActions.mStopMovie)
    FActions.mStopMovie();
  if (FActions.mRemoveEpisode)
    FActions.mRemoveEpisode(*episode);
}

bool TDownloadsController::eventFilter(QObject *aWatched, QEvent *aEvent) {
  // The event's type first: the list and its viewport also send events
  // while they are being destroyed, when neither may be asked anything.
  if (aEvent->type() == QEvent::ToolTip && aWatched == fListViewport) {
    TCatalogListView &list = *ui->fContentLv;
    auto *help = static_cast<QHelpEvent *>(aEvent);
    if (tFileItemC *episode = EpisodeOf(list.IndexData(list.indexAt(help->pos()))))
      QToolTip::showText(help->globalPos(), TipText(*episode), fListViewport);
    else
      QToolTip::hideText();
    return true;
  }
  if (aEvent->type() == QEvent::KeyPress && aWatched == ui->fContentLv &&
      static_cast<QKeyEvent *>(aEvent)->key() == Qt::Key_Delete) {
    Guarded([this] { DeleteSelectedEpisode(); });
    return true;
  }
  return QObject::eventFilter(aWatched, aEvent);
}
