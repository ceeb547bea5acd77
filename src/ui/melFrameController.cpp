#include "melFrameController.h"

#include "melImageButton.h"
#include "melMessages.h"
#include "melWindowRegion.h"
#include "ui_melMain.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <initializer_list>

namespace {

// The width the title bar's right-anchored buttons were placed for.
constexpr int cDesignWidth = 580;
constexpr int cTileSize = 512;
constexpr int cHighlightOpacity = 96;

QImage Asset(const char *aName) {
  return QImage(QStringLiteral(":/assets/%1.png").arg(QLatin1String(aName)));
}

QPixmap Picture(const char *aName) {
  return QPixmap::fromImage(Asset(aName));
}

// A frame picture as it draws: the transparent colour lets the background
// through; the key colour stays, for the window's shape.
QPixmap FramePicture(const char *aName) {
  const QImage picture = Asset(aName);
  if (picture.isNull())
    return QPixmap();
  return QPixmap::fromImage(WithTransparentColor(picture, cFrameTransparentColor));
}

const QColor cSkinText(0xdc, 0xd6, 0xf7);
const QColor cSkinTitle(0xee, 0xeb, 0xfb);

const char *const cMenuButtonStyle =
    "QToolButton { color: #d8d2f5; background: transparent; border: 1px solid transparent;"
    " border-radius: 3px; padding: 0px; }"
    "QToolButton:hover { color: #ffffff; background: rgba(255, 255, 255, 26);"
    " border-color: rgba(255, 255, 255, 36); }"
    "QToolButton:pressed { color: #f2a33a; background: rgba(0, 0, 0, 70); }";

const char *const cMenuStyle =
    "QMenu { background: #1f1b45; color: #e8e5f6; border: 1px solid #08071a; padding: 4px 0px; }"
    "QMenu::item { padding: 4px 24px 4px 18px; }"
    "QMenu::item:selected { background: #f2a33a; color: #1d194d; }"
    "QMenu::item:disabled { color: #6f6a98; background: transparent; }"
    "QMenu::separator { height: 1px; background: #3a3478; margin: 4px 8px; }";

const char *const cSearchStyle = "QLineEdit { background: #f4f2fc; color: #1d194d;"
                                 " border: 1px solid #08071a; border-radius: 3px;"
                                 " padding: 0px 4px; }";

} // namespace

TFrameController::TFrameController(Ui::TMain &aForm, QWidget &aWindow, QObject *aParent)
    : QObject(aParent), ui(&aForm), FWindow(aWindow) {
  FWindow.setWindowFlags(FWindow.windowFlags() | Qt::FramelessWindowHint);

  FBackTile = Asset("backtile").convertToFormat(QImage::Format_ARGB32_Premultiplied);
  FHighlight = Asset("highlight").convertToFormat(QImage::Format_ARGB32_Premultiplied);

  const struct {
    QLabel *mImage;
    const char *mPicture;
  } frame[] = {
      {ui->fTopLeftImg, "frame-top-left"},           {ui->fTopMiddleImg, "frame-top-middle"},
      {ui->fTopRightImg, "frame-top-right"},         {ui->fBottomLeftImg, "frame-bottom-left"},
      {ui->fBottomMiddleImg, "frame-bottom-middle"}, {ui->fBottomRightImg, "frame-bottom-right"},
      {ui->fSearchLeftImg, "frame-edge-left"},       {ui->fSearchRightImg, "frame-edge-right"},
      {ui->fLeftEdgeImg, "frame-edge-left"},         {ui->fRightEdgeImg, "frame-edge-right"},
      {ui->fTopBottomLeftImg, "frame-edge-left"},    {ui->fTopBottomRightImg, "frame-edge-right"},
      {ui->fMidBottomLeftImg, "frame-edge-left"},    {ui->fMidBottomRightImg, "frame-edge-right"},
  };
  for (const auto &image : frame)
    image.mImage->setPixmap(FramePicture(image.mPicture));
  ui->fResize->setPixmap(Picture("frame-grip"));
  // Hiding the grip while maximized leaves the status bar's labels in place.
  QSizePolicy gripPolicy = ui->fResize->sizePolicy();
  gripPolicy.setRetainSizeWhenHidden(true);
  ui->fResize->setSizePolicy(gripPolicy);

  const struct {
    TImageButton *mButton;
    const char *mUp;
    const char *mDown;
    void (TFrameController::*mClick)();
  } buttons[] = {
      {ui->fMinimizeBtn, "btn-minimize-up", "btn-minimize-down",
       &TFrameController::fMinimizeBtnClick},
      {ui->fMaximizeBtn, "btn-maximize-up", "btn-maximize-down",
       &TFrameController::fMaximizeBtnClick},
      {ui->fRestoreBtn, "btn-restore-up", "btn-restore-down", &TFrameController::fRestoreBtnClick},
      {ui->fCloseBtn, "btn-close-up", "btn-close-down", &TFrameController::fCloseBtnClick},
  };
  for (const auto &button : buttons) {
    button.mButton->SetPictures(Picture(button.mUp), Picture(button.mDown));
    connect(button.mButton, &QAbstractButton::clicked, this,
            [this, click = button.mClick] { Guarded([&] { (this->*click)(); }); });
  }
  ui->fiPodBtn->SetPictures(Picture("btn-export-up"), Picture("btn-export-down"));
  connect(ui->fFileMnuBtn, &QAbstractButton::clicked, this,
          [this] { Guarded([this] { fFileMnuBtnClick(); }); });
  connect(ui->fHelpMnuBtn, &QAbstractButton::clicked, this,
          [this] { Guarded([this] { fHelpMnuBtnClick(); }); });

  // The title bar's own controls lie over its pictures.
  for (QWidget *control : std::initializer_list<QWidget *>{
           ui->ProgBarPnl, ui->fFileMnuBtn, ui->fHelpMnuBtn, ui->fMinimizeBtn, ui->fMaximizeBtn,
           ui->fRestoreBtn, ui->fCloseBtn})
    control->raise();

  for (QWidget *source :
       std::initializer_list<QWidget *>{ui->fTopPnl, ui->fTopMiddleImg, ui->fTitleLbl})
    source->installEventFilter(this);
  ui->fResize->installEventFilter(this);
  for (QWidget *panel : std::initializer_list<QWidget *>{ui->fLeftPnl, ui->fRightPnl,
                                                         ui->fTopBottomPnl, ui->fMidBottomPnl})
    panel->installEventFilter(this);

  CreateMenus();
  ApplySkin();
  UpdateFrameButtons();
}

TFrameController::~TFrameController() = default;

void TFrameController::CreateMenus() {
  fFilePm = new QMenu(&FWindow);
  fFilePm->setObjectName(QStringLiteral("fFilePm"));
  FExport1 = fFilePm->addAction(QStringLiteral("Export..."));
  FExport1->setObjectName(QStringLiteral("Export1"));
  // Only a selected episode can be exported.
  FExport1->setEnabled(false);
  FFit1 = fFilePm->addAction(QStringLiteral("Fit Window"));
  FFit1->setObjectName(QStringLiteral("Fit1"));
  fFilePm->addSeparator();
  FExit1 = fFilePm->addAction(QStringLiteral("Exit"));
  FExit1->setObjectName(QStringLiteral("Exit1"));
  connect(FExit1, &QAction::triggered, this, [this] { Guarded([this] { fCloseBtnClick(); }); });

  fHelpPm = new QMenu(&FWindow);
  fHelpPm->setObjectName(QStringLiteral("fHelpPm"));
  FSupportPage1 = fHelpPm->addAction(QStringLiteral("Support Page"));
  FSupportPage1->setObjectName(QStringLiteral("SupportPage1"));
  FCheckVersion1 = fHelpPm->addAction(QStringLiteral("Check For Updates"));
  FCheckVersion1->setObjectName(QStringLiteral("CheckVersion1"));
  fHelpPm->addSeparator();
  FAbout1 = fHelpPm->addAction(QStringLiteral("About..."));
  FAbout1->setObjectName(QStringLiteral("About1"));

  for (QMenu *menu : std::initializer_list<QMenu *>{fFilePm, fHelpPm})
    menu->setStyleSheet(QLatin1String(cMenuStyle));
}

void TFrameController::ApplySkin() {
  // Light text wherever it stands on the skin rather than on a list.
  for (QWidget *area : std::initializer_list<QWidget *>{ui->fTopPnl, ui->fTopBottomPnl,
                                                        ui->fSearchPnl, ui->fBottomMiddlePnl}) {
    QPalette palette = area->palette();
    palette.setColor(QPalette::WindowText, cSkinText);
    area->setPalette(palette);
  }
  QPalette title = ui->fTitleLbl->palette();
  title.setColor(QPalette::WindowText, cSkinTitle);
  ui->fTitleLbl->setPalette(title);
  QFont titleFont = ui->fTitleLbl->font();
  titleFont.setBold(true);
  ui->fTitleLbl->setFont(titleFont);

  // The control bar is a well a shade darker than the background, its bevel
  // in the skin's own light and shadow.
  QPalette well = ui->fControlPnl->palette();
  well.setColor(QPalette::Window, QColor(0, 0, 0, 56));
  well.setColor(QPalette::Light, QColor(0x4a, 0x42, 0x90));
  well.setColor(QPalette::Dark, QColor(0x08, 0x07, 0x16));
  ui->fControlPnl->setPalette(well);
  ui->fControlPnl->setAutoFillBackground(true);

  for (QWidget *button : std::initializer_list<QWidget *>{ui->fFileMnuBtn, ui->fHelpMnuBtn})
    button->setStyleSheet(QLatin1String(cMenuButtonStyle));
  ui->fSearchEdt->setStyleSheet(QLatin1String(cSearchStyle));

  // Behind and between the category columns.
  QPalette columns = ui->fCategoryScroll->palette();
  columns.setColor(QPalette::Window, QColor(0x12, 0x10, 0x28));
  ui->fCategoryScroll->setPalette(columns);
  ui->fCategoryScroll->viewport()->setPalette(columns);
  ui->fCategoryScrollContent->setPalette(columns);
  ui->fCategoryScrollContent->setAutoFillBackground(true);
}

void TFrameController::CenterOnScreen() {
  QScreen *screen = FWindow.screen() ? FWindow.screen() : QGuiApplication::primaryScreen();
  if (!screen)
    return;
  const QRect area = screen->availableGeometry();
  FWindow.move(area.left() + (area.width() - FWindow.width()) / 2,
               area.top() + (area.height() - FWindow.height()) / 2);
}

void TFrameController::PaintBackground() {
  const QSize size = FWindow.size();
  if (size.isEmpty())
    return;
  FBackBuffer = QImage(size, QImage::Format_ARGB32_Premultiplied);
  // Shown only where a missing tile leaves a gap.
  FBackBuffer.fill(QColor(0x17, 0x15, 0x31));
  {
    QPainter painter(&FBackBuffer);
    if (!FBackTile.isNull())
      for (int y = 0; y < size.height(); y += cTileSize)
        for (int x = 0; x < size.width(); x += cTileSize)
          painter.drawImage(QPoint(x, y), FBackTile);
    if (!FHighlight.isNull()) {
      painter.setOpacity(cHighlightOpacity / 255.0);
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.drawImage(QRect(QPoint(0, 0), size), FHighlight);
    }
  }
  QPalette palette = ui->fBackgroundPanel->palette();
  palette.setBrush(QPalette::Window, QBrush(QPixmap::fromImage(FBackBuffer)));
  ui->fBackgroundPanel->setPalette(palette);
  ui->fBackgroundPanel->setAutoFillBackground(true);
}

QPoint TFrameController::ControlOrigin(const QWidget &aControl) const {
  return aControl.mapTo(&FWindow, QPoint(0, 0));
}

void TFrameController::UniteRegion(const QRegion &aRegion) {
  if (FNewRegion)
    FNewRegion = FNewRegion->united(aRegion);
  else
    FNewRegion = aRegion;
}

void TFrameController::AddImageRegion(const QLabel &aImage) {
  const QPoint origin = ControlOrigin(aImage);
  const bool stretched = aImage.hasScaledContents();
  const std::optional<QRegion> region =
      BitmapToRegion(aImage.pixmap().toImage(), cFrameKeyColor, origin.x(), origin.y(), 0,
                     stretched ? aImage.width() : -1, stretched ? aImage.height() : -1);
  // A missing picture adds nothing; the rest still shapes the window.
  if (region)
    UniteRegion(*region);
}

void TFrameController::AddPanelRegion(const QWidget &aPanel) {
  UniteRegion(QRegion(QRect(ControlOrigin(aPanel), aPanel.size())));
}

void TFrameController::UpdateWindowRegion() {
  FNewRegion.reset();
  for (const QLabel *image : std::initializer_list<const QLabel *>{
           ui->fTopRightImg, ui->fTopLeftImg, ui->fTopMiddleImg, ui->fBottomRightImg,
           ui->fBottomLeftImg, ui->fSearchRightImg, ui->fSearchLeftImg})
    AddImageRegion(*image);
  for (const QWidget *panel : std::initializer_list<QWidget *>{
           ui->fMoviePnl, ui->fLeftPnl, ui->fRightPnl, ui->fTopBottomPnl, ui->fMidBottomPnl,
           ui->fBottomMiddlePnl, ui->fSearchPnl})
    AddPanelRegion(*panel);
  FWindowRegion = FNewRegion;
  // Where the window system cannot shape a window it stays a rectangle, and
  // the cut corners show the background.
  FWindow.setMask(FNewRegion.value_or(QRegion()));
  FWindow.update();
}

void TFrameController::FormResize() {
  PaintBackground();
  UpdateWindowRegion();
  if (FActions.mCenterControlPanel)
    FActions.mCenterControlPanel();
  FWindow.update();
}

void TFrameController::PlaceAnchoredControls() {
  // Each keeps its design distance from the title bar's right edge.
  const struct {
    TImageButton *mButton;
    int mDesignLeft;
  } anchored[] = {
      {ui->fMinimizeBtn, 524},
      {ui->fMaximizeBtn, 542},
      {ui->fRestoreBtn, 542},
      {ui->fCloseBtn, 560},
  };
  for (const auto &button : anchored)
    button.mButton->move(ui->fTopPnl->width() - (cDesignWidth - button.mDesignLeft),
                         button.mButton->y());
  const struct {
    QLabel *mEdge;
    QWidget *mPanel;
    bool mRight;
  } edges[] = {
      {ui->fLeftEdgeImg, ui->fLeftPnl, false},
      {ui->fRightEdgeImg, ui->fRightPnl, true},
      {ui->fTopBottomLeftImg, ui->fTopBottomPnl, false},
      {ui->fTopBottomRightImg, ui->fTopBottomPnl, true},
      {ui->fMidBottomLeftImg, ui->fMidBottomPnl, false},
      {ui->fMidBottomRightImg, ui->fMidBottomPnl, true},
  };
  for (const auto &edge : edges) {
    const int edgeWidth = 2;
    edge.mEdge->setGeometry(edge.mRight ? edge.mPanel->width() - edgeWidth : 0, 0, edgeWidth,
                            edge.mPanel->height());
    edge.mEdge->raise();
  }
}

void TFrameController::UpdateButtons() {
  if (FActions.mUpdateButtons)
    FActions.mUpdateButtons();
  else
    UpdateFrameButtons();
}

void TFrameController::UpdateFrameButtons() {
  ui->fMaximizeBtn->setVisible(!FMaximized);
  ui->fRestoreBtn->setVisible(FMaximized);
  ui->fResize->setVisible(!FMaximized);
  ui->fResize->setCursor(FMaximized ? Qt::ArrowCursor : Qt::SizeAllCursor);
}

void TFrameController::fMoveMouseDown(QWidget &aSender, QMouseEvent &aEvent) {
  if (FMaximized)
    return;
  FDragWindowOrigin = FWindow.pos();
  FDragMouseOrigin = aSender.mapToGlobal(aEvent.position().toPoint());
  FDragging = true;
}

void TFrameController::fMoveMouseMove(QWidget &aSender, QMouseEvent &aEvent) {
  if (!FDragging)
    return;
  const QPoint mouse = aSender.mapToGlobal(aEvent.position().toPoint());
  FWindow.move(mouse.x() + FDragWindowOrigin.x() - FDragMouseOrigin.x(),
               mouse.y() + FDragWindowOrigin.y() - FDragMouseOrigin.y());
}

void TFrameController::fMoveMouseUp() {
  FDragging = false;
}

void TFrameController::fResizeMouseDown(QMouseEvent &aEvent) {
  if (FMaximized)
    return;
  ui->fResize->releaseMouse();
  QWindow *handle = FWindow.windowHandle();
  const bool bySystem = handle && handle->startSystemResize(Qt::RightEdge | Qt::BottomEdge);
  if (!bySystem) {
    // No window manager to size it (or one that cannot): follow the mouse
    // ourselves until the button is released.
    FGripSizing = true;
    FGripSizeOrigin = FWindow.size();
    FGripMouseOrigin = ui->fResize->mapToGlobal(aEvent.position().toPoint());
  }
  FUserSized = true;
}

void TFrameController::fResizeMouseMove(QMouseEvent &aEvent) {
  if (!FGripSizing)
    return;
  const QPoint delta = ui->fResize->mapToGlobal(aEvent.position().toPoint()) - FGripMouseOrigin;
  FWindow.resize(FGripSizeOrigin + QSize(delta.x(), delta.y()));
}

void TFrameController::fResizeMouseUp() {
  FGripSizing = false;
}

void TFrameController::fMaximizeBtnClick() {
  FRestoreBounds = FWindow.geometry();
  QScreen *screen = FWindow.screen() ? FWindow.screen() : QGuiApplication::primaryScreen();
  if (screen)
    FWindow.setGeometry(screen->availableGeometry());
  FMaximized = true;
  UpdateButtons();
}

void TFrameController::fRestoreBtnClick() {
  FWindow.setGeometry(FRestoreBounds);
  FMaximized = false;
  UpdateButtons();
}

void TFrameController::fMinimizeBtnClick() {
  FWindow.showMinimized();
  UpdateButtons();
}

void TFrameController::fCloseBtnClick() {
  FWindow.close();
}

void TFrameController::fTitleLblDblClick() {
  const Qt::WindowStates state = FWindow.windowState();
  if (state & Qt::WindowMinimized)
    return;
  if (state & Qt::WindowMaximized)
    FWindow.showNormal();
  else
    FWindow.showMaximized();
}

void TFrameController::fFileMnuBtnClick() {
  fFilePm->popup(ui->fFileMnuBtn->mapToGlobal(QPoint(0, ui->fFileMnuBtn->height())));
}

void TFrameController::fHelpMnuBtnClick() {
  fHelpPm->popup(ui->fHelpMnuBtn->mapToGlobal(QPoint(0, ui->fHelpMnuBtn->height())));
}

void TFrameController::fTopPnlResize() {
  if (FActions.mPlaceProgressPanel)
    FActions.mPlaceProgressPanel();
  PlaceAnchoredControls();
}

bool TFrameController::eventFilter(QObject *aWatched, QEvent *aEvent) {
  QWidget *widget = qobject_cast<QWidget *>(aWatched);
  if (!widget)
    return QObject::eventFilter(aWatched, aEvent);
  const bool titleBar =
      widget == ui->fTopPnl || widget == ui->fTopMiddleImg || widget == ui->fTitleLbl;
  const bool grip = widget == ui->fResize;
  switch (aEvent->type()) {
  case QEvent::MouseButtonPress:
  case QEvent::MouseButtonDblClick:
  case QEvent::MouseMove:
  case QEvent::MouseButtonRelease: {
    if (!titleBar && !grip)
      break;
    auto &mouse = static_cast<QMouseEvent &>(*aEvent);
    Guarded([&] {
      switch (aEvent->type()) {
      case QEvent::MouseButtonPress:
        if (titleBar)
          fMoveMouseDown(*widget, mouse);
        else
          fResizeMouseDown(mouse);
        break;
      case QEvent::MouseButtonDblClick:
        if (titleBar)
          fMoveMouseDown(*widget, mouse);
        if (widget == ui->fTitleLbl)
          fTitleLblDblClick();
        break;
      case QEvent::MouseMove:
        if (titleBar)
          fMoveMouseMove(*widget, mouse);
        else
          fResizeMouseMove(mouse);
        break;
      default:
        if (titleBar)
          fMoveMouseUp();
        else
          fResizeMouseUp();
        break;
      }
    });
    // Handled here once, not again by the parents it would pass to.
    return true;
  }
  case QEvent::Resize:
    if (widget == ui->fTopPnl)
      Guarded([this] { fTopPnlResize(); });
    else if (widget == ui->fLeftPnl || widget == ui->fRightPnl || widget == ui->fTopBottomPnl ||
             widget == ui->fMidBottomPnl)
      Guarded([this] { PlaceAnchoredControls(); });
    break;
  default: break;
  }
  return QObject::eventFilter(aWatched, aEvent);
}
