#pragma once

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QRegion>

#include <functional>
#include <optional>

namespace Ui {
class TMain;
}

class QAction;
class QLabel;
class QMenu;
class QMouseEvent;
class QWidget;

// The main window's own frame, drawn in place of the system's: the window's
// outline cut from the frame pictures, the textured background, the title
// bar that moves the window, the minimize, maximize, restore and close
// buttons, the resize grip, and the File and Help menus.
class TFrameController : public QObject {
  Q_OBJECT
public:
  // What the frame asks of the rest of the window.
  struct tActionsC {
    // The window's button states, which include the frame's (UpdateButtons).
    std::function<void()> mUpdateButtons;
    std::function<void()> mCenterControlPanel;
    // Puts the store's progress panel in the middle of the title bar.
    std::function<void()> mPlaceProgressPanel;
  };

  // aWindow is the form's window; it loses its system border here.
  TFrameController(Ui::TMain &aForm, QWidget &aWindow, QObject *aParent = nullptr);
  ~TFrameController() override;

  void SetActions(tActionsC aActions) { FActions = std::move(aActions); }

  // Centres the window on its screen's work area, as at its first showing.
  void CenterOnScreen();
  void PaintBackground();
  void UpdateWindowRegion();
  // After every change of the window's size.
  void FormResize();
  // The frame's part of UpdateButtons: maximize or restore, and the grip.
  void UpdateFrameButtons();

  bool Dragging() const { return FDragging; }
  QPoint DragWindowOrigin() const { return FDragWindowOrigin; }
  QPoint DragMouseOrigin() const { return FDragMouseOrigin; }
  bool Maximized() const { return FMaximized; }
  void SetMaximized(bool aMaximized) { FMaximized = aMaximized; }
  // The bounds the maximize button saved, for the restore button.
  QRect RestoreBounds() const { return FRestoreBounds; }
  // The user sized the window with the grip; the window fitting leaves such
  // a size alone.
  bool UserSized() const { return FUserSized; }
  void SetUserSized(bool aUserSized) { FUserSized = aUserSized; }
  // The shape last given to the window; none before the first.
  const std::optional<QRegion> &WindowRegion() const { return FWindowRegion; }
  const QImage &BackBuffer() const { return FBackBuffer; }

  QMenu *FilePm() const { return fFilePm; }
  QMenu *HelpPm() const { return fHelpPm; }
  QAction *Export1() const { return FExport1; }
  QAction *Fit1() const { return FFit1; }
  QAction *Exit1() const { return FExit1; }
  QAction *SupportPage1() const { return FSupportPage1; }
  QAction *CheckVersion1() const { return FCheckVersion1; }
  QAction *About1() const { return FAbout1; }

protected:
  bool eventFilter(QObject *aWatched, QEvent *aEvent) override;

private:
  void CreateMenus();
  void ApplySkin();
  // The point (0, 0) of aControl in the window's client coordinates.
  QPoint ControlOrigin(const QWidget &aControl) const;
  void AddImageRegion(const QLabel &aImage);
  void AddPanelRegion(const QWidget &aPanel);
  void UniteRegion(const QRegion &aRegion);
  // Keeps the title bar's right-anchored buttons at their distance from the
  // right edge, and the side edges along their panels.
  void PlaceAnchoredControls();

  void fMoveMouseDown(QWidget &aSender, QMouseEvent &aEvent);
  void fMoveMouseMove(QWidget &aSender, QMouseEvent &aEvent);
  void fMoveMouseUp();
  void fResizeMouseDown(QMouseEvent &aEvent);
  void fResizeMouseMove(QMouseEvent &aEvent);
  void fResizeMouseUp();
  void fMaximizeBtnClick();
  void fRestoreBtnClick();
  void fMinimizeBtnClick();
  void fCloseBtnClick();
  void fTitleLblDblClick();
  void fFileMnuBtnClick();
  void fHelpMnuBtnClick();
  void fTopPnlResize();
  void UpdateButtons();

  Ui::TMain *ui;
  QWidget &FWindow;
  tActionsC FActions;

  QImage FBackBuffer;
  QImage FBackTile;
  QImage FHighlight;
  std::optional<QRegion> FWindowRegion;
  // Built by UpdateWindowRegion; none until the first part is added.
  std::optional<QRegion> FNewRegion;

  bool FDragging = false;
  QPoint FDragWindowOrigin;
  QPoint FDragMouseOrigin;
  bool FMaximized = false;
  QRect FRestoreBounds;
  bool FUserSized = false;
  // Sizing by the grip ourselves, where the window system cannot.
  bool FGripSizing = false;
  QSize FGripSizeOrigin;
  QPoint FGripMouseOrigin;

  QMenu *fFilePm = nullptr;
  QMenu *fHelpPm = nullptr;
  QAction *FExport1 = nullptr;
  QAction *FFit1 = nullptr;
  QAction *FExit1 = nullptr;
  QAction *FSupportPage1 = nullptr;
  QAction *FCheckVersion1 = nullptr;
  QAction *FAbout1 = nullptr;
};
