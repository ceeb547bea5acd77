#include "melMain.h"

#include "melCatalogFile.h"
#include "melLogging.h"
#include "melMessages.h"
#include "melPaths.h"
#include "melUtil.h"
#include "ui_melMain.h"

#include <QApplication>
#include <QCloseEvent>

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
  try {
    FormCreate();
  } catch (...) {
    // The window opens all the same; the steps after the failure are skipped.
    ShowCurrentException();
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

  EnsureCatalogFile();
}

void TMain::FormShow() {
  QCoreApplication::postEvent(this, new QEvent(QEvent::Type(WM_DEFERRED_START)));
}

void TMain::DeferredStart() {
  FDeferredStartDone = true;
}

void TMain::FormDestroy() {
  if (FFPModeSaved)
    fesetenv(&FSaved8087CW);
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
