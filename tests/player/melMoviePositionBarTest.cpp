#include "melMoviePositionBar.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

// 8 pixels of margin at both ends leave a 200-pixel track.
constexpr int cWidth = 216;
constexpr int64_t cDuration = 10000;

class TMoviePositionBarTest : public ::testing::Test {
protected:
  void SetUp() override {
    mBar.resize(cWidth, TMoviePositionBar::cHeight);
    mBar.SetDuration(cDuration);
  }

  void Mouse(QEvent::Type aType, int aX) {
    const QPointF at(aX, TMoviePositionBar::cHeight / 2);
    const Qt::MouseButtons held =
        aType == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(aType, at, mBar.mapToGlobal(at),
                      aType == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held,
                      Qt::NoModifier);
    QApplication::sendEvent(&mBar, &event);
  }

  TMoviePositionBar mBar;
};

TEST_F(TMoviePositionBarTest, ClickSeeksToTheTimeUnderTheMouse) {
  struct tCaseC {
    int mX;
    int64_t mTime;
  };
  const tCaseC cases[] = {{8, 0}, {58, 2500}, {108, 5000}, {208, 10000}, {2, 0}, {214, 10000}};
  for (const tCaseC &test : cases) {
    SCOPED_TRACE(test.mX);
    QSignalSpy seeks(&mBar, &TMoviePositionBar::SeekRequested);
    Mouse(QEvent::MouseButtonPress, test.mX);
    Mouse(QEvent::MouseButtonRelease, test.mX);
    ASSERT_EQ(seeks.count(), 1);
    EXPECT_EQ(seeks.at(0).at(0).value<int64_t>(), test.mTime);
    EXPECT_EQ(mBar.Position(), test.mTime);
    EXPECT_FALSE(mBar.Dragging());
  }
}

TEST_F(TMoviePositionBarTest, DragSeeksAlongAndHoldsTheKnob) {
  QSignalSpy seeks(&mBar, &TMoviePositionBar::SeekRequested);
  Mouse(QEvent::MouseButtonPress, 28);
  Mouse(QEvent::MouseMove, 68);
  Mouse(QEvent::MouseMove, 68); // the same place asks for nothing new
  // The engine reports the old place meanwhile; the knob stays with the mouse.
  mBar.SetPosition(1000);
  EXPECT_EQ(mBar.Position(), 3000);
  Mouse(QEvent::MouseMove, 128);
  Mouse(QEvent::MouseButtonRelease, 128);

  std::vector<int64_t> times;
  for (const QList<QVariant> &seek : seeks)
    times.push_back(seek.at(0).value<int64_t>());
  EXPECT_EQ(times, (std::vector<int64_t>{1000, 3000, 6000}));
  mBar.SetPosition(6500);
  EXPECT_EQ(mBar.Position(), 6500) << "released: the engine moves the knob again";
}

TEST_F(TMoviePositionBarTest, NoMovieMeansNoSeeking) {
  mBar.SetDuration(0);
  QSignalSpy seeks(&mBar, &TMoviePositionBar::SeekRequested);
  Mouse(QEvent::MouseButtonPress, 108);
  Mouse(QEvent::MouseButtonRelease, 108);
  EXPECT_EQ(seeks.count(), 0);
  mBar.SetPosition(500);
  EXPECT_EQ(mBar.Position(), 0);
}

} // namespace
