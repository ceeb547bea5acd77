#include "melMain.h"

#include "melApplications.h"
#include "melCatalog.h"
#include "melCatalogFile.h"
#include "melCatalogListView.h"
#include "melLogging.h"
#include "melMessages.h"
#include "melPaths.h"
#include "melQTControl.h"
#include "melScreenSaver.h"
#include "melUtil.h"
#include "ui_melMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QScrollBar>
#include <QTimer>

namespace {

QString VersionText() {
  return GetFileVersionString(ProgramFile());
}

} // namespace

TMain::TMain(QWidget *aParent) : QWidget(aParent), ui(std::make_unique<Ui::TMain>()) {
  ui->setupUi(this);
  QFont font;
  font.setFamilies({QStringLiteral("Lucida Sans Unicode"), QStringLiteral("DejaVu Sans")});
  font.setPixelSize(11);
  setFont(font);

  // Until the window draws its own frame: a white movie area on a quiet grey.
  ui->fMoviePnl->setStyleSheet(QStringLiteral("#fMoviePnl { background: white; }"));
  QPalette scrollPalette = ui->fCategoryScroll->palette();
  scrollPalette.setColor(QPalette::Window, QColor(212, 212, 212));
  ui->fCategoryScroll->setPalette(scrollPalette);
  ui->fCategoryScroll->viewport()->setPalette(scrollPalette);
  ui->fCategoryScrollContent->setPalette(scrollPalette);
  ui->fCategoryScrollContent->setAutoFillBackground(true);
  ui->fCategoryScroll->horizontalScrollBar()->setFixedHeight(16);

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
  SetUpPlayback();
  connect(fAdjustTimer, &QTimer::timeout, this,
          [this] { Guarded([this] { fAdjustTimerTimer(); }); });

  fQueueTimer->start();
  try {
    FormCreate();
  } catch (...) {
    // The window opens all the same, with whatever catalog was read; the
    // steps after the failure are skipped.
    ShowCurrentException();
    Guarded([this] { SetCategoryColumnCount(2); });
  }
}

TMain::~TMain() {
  Guarded([this] { FormDestroy(); });
}

void TMain::FormCreate() {
  WriteLog(QStringLiteral("Application started, version: ") + VersionText());

  fegetenv(&FSaved8087CW);
  FFPModeSaved = true;
  // Mask every floating-point exception and round to nearest while the window
  // exists; media and web engines expect it.
  fedisableexcept(FE_ALL_EXCEPT);
  fesetround(FE_TONEAREST);

  fQTControl->QuickTimeInitialize();
  FRate = 1.0;

  EnsureCatalogFile();

  FCatalog = std::make_unique<tCatalogC>(CatalogFilePath());
  // An episode's own status changes go through the window too, so that the
  // episode list is re-sorted after every write.
  FCatalog->SetStatusWriter(
      [this](const QString &aURL, uint8_t aStatus) { UpdateEpisodeStatus(aURL, aStatus); });

  SetCategoryColumnCount(2);
  FCatalog->FillCategoryView(*FCategoryColumns.ObjectAt(0), QStringLiteral("\\"));
}

void TMain::FormShow() {
  CenterControlPanel();
  PlaceMovie();
  ui->fContentLv->setFocus();
  UpdateButtons();
  QCoreApplication::postEvent(this, new QEvent(QEvent::Type(WM_DEFERRED_START)));
}

void TMain::DeferredStart() {
  FDeferredStartDone = true;
  // Without a catalog (its reading failed at creation, and was shown) there
  // is nothing to repair.
  if (FCatalog)
    ResetStatusesAtStart();
  SelectPath(ReadLastPath(CurrentApplication().mName));
}

void TMain::FormDestroy() {
  if (FFPModeSaved)
    fesetenv(&FSaved8087CW);
  fQTControl->QuickTimeTerminate();
  // Without a catalog nothing could be selected; the stored path stays for
  // the next start that reads one.
  if (FCatalog)
    WriteLastPath(CurrentApplication().mName, GetSelectedPath());
  WriteLog(QStringLiteral("Application closed, version: ") + VersionText());
}

void TMain::showEvent(QShowEvent *aEvent) {
  QWidget::showEvent(aEvent);
  if (FShown)
    return;
  FShown = true;
  Guarded([this] { FormShow(); });
}

void TMain::closeEvent(QCloseEvent *aEvent) {
  QWidget::closeEvent(aEvent);
  // The run ends when the main window closes.
  if (aEvent->isAccepted())
    QCoreApplication::quit();
}

void TMain::customEvent(QEvent *aEvent) {
  if (aEvent->type() == QEvent::Type(WM_DEFERRED_START)) {
    Guarded([this] { DeferredStart(); });
    return;
  }
  QWidget::customEvent(aEvent);
}
