#include "melFrameController.h"
#include "melImageButton.h"
#include "melMain.h"
#include "melUiTestSupport.h"
#include "melWindowRegion.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QTest>
#include <QToolButton>

namespace {

class FrameTest : public TStoreApplicationTest {
protected:
  void OpenWindow() {
    OpenWindowDecliningLogin();
    ASSERT_TRUE(mWindow);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(mWindow.get()));
  }
  template <typename T = QWidget> T &Control(const char *aName) {
    T *control = mWindow->findChild<T *>(QString::fromLatin1(aName));
    EXPECT_NE(control, nullptr) << aName;
    return *control;
  }
  TFrameController &Frame() { return mWindow->Frame(); }
  QRect WorkArea() { return mWindow->screen()->availableGeometry(); }
  // The control's rectangle in the window's coordinates.
  QRect InWindow(const char *aName) {
    QWidget &control = Control(aName);
    return QRect(control.mapTo(mWindow.get(), QPoint(0, 0)), control.size());
  }
  bool WindowAt(QPoint aPosition) {
    return WaitFor([&] { return mWindow->pos() == aPosition; }, 2000);
  }
  // Presses on the title, moves the mouse by each offset in turn from where
  // it was pressed, and releases.
  void DragTitle(std::initializer_list<QPoint> aOffsets, QPoint *aEnd = nullptr) {
    QWidget &title = Control("fTitleLbl");
    const QPoint press(30, 8);
    const QPoint start = title.mapToGlobal(press);
    QTest::mousePress(&title, Qt::LeftButton, {}, press);
    for (const QPoint &offset : aOffsets) {
      QTest::mouseMove(&title, title.mapFromGlobal(start + offset));
      QCoreApplication::processEvents();
    }
    if (aEnd)
      *aEnd = mWindow->pos();
    QTest::mouseRelease(&title, Qt::LeftButton, {},
                        title.mapFromGlobal(start + *(aOffsets.end() - 1)));
  }
};

TEST_F(FrameTest, TheWindowHasNoSystemBorderAndOpensCentred) {
  OpenWindow();
  EXPECT_TRUE(mWindow->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(mWindow->minimumSize(), QSize(580, 580));
  const QRect area = WorkArea();
  EXPECT_EQ(mWindow->pos(), area.topLeft() + QPoint((area.width() - mWindow->width()) / 2,
                                                    (area.height() - mWindow->height()) / 2));
  EXPECT_EQ(Frame().BackBuffer().size(), mWindow->size());
  EXPECT_FALSE(Frame().Dragging());
  EXPECT_FALSE(Frame().Maximized());
  EXPECT_FALSE(Frame().UserSized());
  EXPECT_FALSE(Control("fiPodBtn").isEnabled());
  EXPECT_FALSE(Control("fiPodLbl").isEnabled());
}

TEST_F(FrameTest, TheShapeCutsTheCornersAndKeepsThePanels) {
  OpenWindow();
  const QRegion shape = mWindow->mask();
  const QRect window = mWindow->rect();
  // The rounded corners are cut from the frame pictures; the middle stays.
  for (const QPoint corner :
       {window.topLeft(), window.topRight(), window.bottomLeft(), window.bottomRight()})
    EXPECT_FALSE(shape.contains(corner)) << corner.x() << "," << corner.y();
  EXPECT_TRUE(shape.contains(QPoint(window.width() / 2, 1)));
  EXPECT_TRUE(shape.contains(QPoint(1, window.height() / 2)));
  EXPECT_TRUE(shape.contains(window.adjusted(7, 7, -7, -7)));
}

TEST_F(FrameTest, AFramePictureAllKeyColourOrMissingLeavesThePanelsInTheShape) {
  OpenWindow();
  const char *const panels[] = {"fMoviePnl",     "fLeftPnl",         "fRightPnl", "fTopBottomPnl",
                                "fMidBottomPnl", "fBottomMiddlePnl", "fSearchPnl"};
  for (const bool missing : {false, true}) {
    SCOPED_TRACE(missing ? "missing" : "all key colour");
    for (const char *name : {"fTopRightImg", "fSearchLeftImg", "fTopMiddleImg"}) {
      SCOPED_TRACE(name);
      auto &image = Control<QLabel>(name);
      const QPixmap original = image.pixmap();
      QPixmap cut(original.size());
      cut.fill(QColor::fromRgb(cFrameKeyColor));
      image.setPixmap(missing ? QPixmap() : cut);
      Frame().UpdateWindowRegion();
      const QRegion shape = mWindow->mask();
      EXPECT_TRUE(shape.intersected(InWindow(name)).isEmpty());
      for (const char *panel : panels)
        EXPECT_TRUE(shape.contains(InWindow(panel))) << panel;
      EXPECT_TRUE(shape.contains(InWindow("fTopLeftImg").center()));
      image.setPixmap(original);
    }
  }
}

TEST_F(FrameTest, DraggingTheTitleMovesTheWindowByTheMouseMovement) {
  OpenWindow();
  const QPoint origin = mWindow->pos();
  QTest::mousePress(&Control("fTitleLbl"), Qt::LeftButton, {}, QPoint(30, 8));
  EXPECT_TRUE(Frame().Dragging());
  QTest::mouseRelease(&Control("fTitleLbl"), Qt::LeftButton, {}, QPoint(30, 8));
  EXPECT_FALSE(Frame().Dragging());

  QPoint reached;
  DragTitle({QPoint(37, 23), QPoint(-15, 41)}, &reached);
  EXPECT_TRUE(WindowAt(origin + QPoint(-15, 41)));
  EXPECT_FALSE(Frame().Dragging());
  // The title bar's empty part moves it as well.
  const QPoint before = mWindow->pos();
  QWidget &bar = Control("fTopMiddleImg");
  const QPoint start = bar.mapToGlobal(QPoint(200, 40));
  QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(200, 40));
  QTest::mouseMove(&bar, bar.mapFromGlobal(start + QPoint(12, -9)));
  EXPECT_TRUE(WindowAt(before + QPoint(12, -9)));
  QTest::mouseRelease(&bar, Qt::LeftButton, {}, bar.mapFromGlobal(start + QPoint(12, -9)));
}

TEST_F(FrameTest, MaximizeFillsTheWorkAreaAndRestoreReturnsToTheSavedBounds) {
  OpenWindow();
  mWindow->setGeometry(QRect(QPoint(20, 15), QSize(600, 590)));
  ASSERT_TRUE(WindowAt(QPoint(20, 15)));
  const QRect saved = mWindow->geometry();

  QTest::mouseClick(&Control("fMaximizeBtn"), Qt::LeftButton);
  EXPECT_TRUE(Frame().Maximized());
  EXPECT_EQ(Frame().RestoreBounds(), saved);
  EXPECT_TRUE(WaitFor([&] { return mWindow->geometry() == WorkArea(); }));
  EXPECT_FALSE(Control("fMaximizeBtn").isVisible());
  EXPECT_TRUE(Control("fRestoreBtn").isVisible());
  EXPECT_FALSE(Control("fResize").isVisible());
  EXPECT_EQ(Control("fResize").cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(Frame().BackBuffer().size(), WorkArea().size());
  // The transport's button updates keep the frame's state.
  mWindow->Playback().UpdateButtons();
  EXPECT_TRUE(Control("fRestoreBtn").isVisible());

  // Presses on the title bar and the grip are ignored while maximized.
  DragTitle({QPoint(40, 30)});
  EXPECT_FALSE(Frame().Dragging());
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(8, 8), QPointF(), Qt::LeftButton,
                    Qt::LeftButton, {});
  QApplication::sendEvent(&Control("fResize"), &press);
  EXPECT_FALSE(Frame().UserSized());
  QTest::qWait(20);
  EXPECT_EQ(mWindow->geometry(), WorkArea());

  QTest::mouseClick(&Control("fRestoreBtn"), Qt::LeftButton);
  EXPECT_FALSE(Frame().Maximized());
  EXPECT_TRUE(WaitFor([&] { return mWindow->geometry() == saved; }));
  EXPECT_TRUE(Control("fMaximizeBtn").isVisible());
  EXPECT_FALSE(Control("fRestoreBtn").isVisible());
  EXPECT_TRUE(Control("fResize").isVisible());
  EXPECT_EQ(Control("fResize").cursor().shape(), Qt::SizeAllCursor);
}

TEST_F(FrameTest, TheGripSizesTheWindowWhereTheSystemCannot) {
  OpenWindow();
  const QSize before = mWindow->size();
  QWidget &grip = Control("fResize");
  const QPoint start = grip.mapToGlobal(QPoint(8, 8));
  QTest::mousePress(&grip, Qt::LeftButton, {}, QPoint(8, 8));
  EXPECT_TRUE(Frame().UserSized());
  QTest::mouseMove(&grip, grip.mapFromGlobal(start + QPoint(60, 25)));
  EXPECT_TRUE(WaitFor([&] { return mWindow->size() == before + QSize(60, 25); }));
  QTest::mouseRelease(&grip, Qt::LeftButton, {}, grip.mapFromGlobal(start + QPoint(60, 25)));

  // The new size has its background and shape, and the title bar's buttons
  // stay at the right edge.
  ASSERT_TRUE(WaitFor([&] { return Frame().BackBuffer().size() == mWindow->size(); }));
  EXPECT_EQ(mWindow->mask().boundingRect(), mWindow->rect());
  EXPECT_EQ(InWindow("fCloseBtn").right(), mWindow->width() - 7);
  EXPECT_EQ(InWindow("fMinimizeBtn").left(), mWindow->width() - 56);
  EXPECT_EQ(InWindow("fRightEdgeImg").right(), mWindow->width() - 1);
}

struct tMenuItemC {
  QString mText;
  bool mEnabled;
  QString mName;
};

std::vector<tMenuItemC> Items(const QMenu &aMenu) {
  std::vector<tMenuItemC> items;
  for (const QAction *action : aMenu.actions())
    items.push_back({action->isSeparator() ? QStringLiteral("-") : action->text(),
                     action->isEnabled(), action->objectName()});
  return items;
}

TEST_F(FrameTest, TheMenusDropFromTheirButtonsWithTheirItemsInOrder) {
  OpenWindow();
  const struct {
    const char *mButton;
    QMenu *mMenu;
    std::vector<tMenuItemC> mItems;
  } menus[] = {
      {"fFileMnuBtn",
       Frame().FilePm(),
       {{"Export...", false, "Export1"},
        {"Fit Window", true, "Fit1"},
        {"-", true, ""},
        {"Exit", true, "Exit1"}}},
      {"fHelpMnuBtn",
       Frame().HelpPm(),
       {{"Support Page", true, "SupportPage1"},
        {"Check For Updates", true, "CheckVersion1"},
        {"Keyboard", true, "Keyboard1"},
        {"-", true, ""},
        {"About...", true, "About1"}}},
  };
  for (const auto &menu : menus) {
    SCOPED_TRACE(menu.mButton);
    const std::vector<tMenuItemC> items = Items(*menu.mMenu);
    ASSERT_EQ(items.size(), menu.mItems.size());
    for (size_t i = 0; i < items.size(); ++i) {
      EXPECT_EQ(items[i].mText, menu.mItems[i].mText);
      EXPECT_EQ(items[i].mEnabled, menu.mItems[i].mEnabled) << items[i].mText.toStdString();
      EXPECT_EQ(items[i].mName, menu.mItems[i].mName);
    }
    auto &button = Control<QToolButton>(menu.mButton);
    QTest::mouseClick(&button, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return menu.mMenu->isVisible(); }));
    EXPECT_EQ(menu.mMenu->pos(), button.mapToGlobal(QPoint(0, button.height())));
    menu.mMenu->hide();
  }
  EXPECT_EQ(Frame().Export1(), Frame().FilePm()->actions().at(0));
  EXPECT_EQ(Frame().About1(), Frame().HelpPm()->actions().at(4));
}

TEST_F(FrameTest, ExitAndTheCloseButtonCloseTheWindow) {
  for (const bool byMenu : {true, false}) {
    SCOPED_TRACE(byMenu ? "Exit" : "close button");
    OpenWindow();
    if (byMenu)
      Frame().Exit1()->trigger();
    else
      QTest::mouseClick(&Control("fCloseBtn"), Qt::LeftButton);
    EXPECT_FALSE(mWindow->isVisible());
    mWindow.reset();
  }
}

} // namespace
