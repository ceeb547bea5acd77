#include "melMoviePositionBar.h"

#include <QApplication>
#include <QImage>
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

// The centres of the runs of the markers' amber along the bar's top rows.
std::vector<int> MarkerColumns(TMoviePositionBar &aBar) {
  const QImage image = aBar.grab().toImage();
  const QRgb amber = qRgb(0xff, 0xb0, 0x20);
  std::vector<int> centres;
  for (int x = 0, runStart = -1; x <= image.width(); ++x) {
    const bool marked = x < image.width() && image.pixel(x, 1) == amber;
    if (marked && runStart < 0)
      runStart = x;
    if (!marked && runStart >= 0) {
      centres.push_back((runStart + x - 1) / 2);
      runStart = -1;
    }
  }
  return centres;
}

TEST(TMoviePositionBarSectionTest, MarkersSitWhereTheSectionsTimesAre) {
  struct tCaseC {
    int mWidth;
    tMovieSectionC mSection;
    std::vector<int> mColumns;
  };
  // The track runs from 8 to width - 8.
  const tCaseC cases[] = {
      {216, {2500, 7500}, {58, 158}},   {216, {0, 10000}, {8, 208}},
      {416, {1000, 3000}, {48, 128}},   {116, {5000, 9000}, {58, 98}},
      {216, {6000, 20000}, {128, 208}}, // running past the end: drawn at the end
  };
  for (const tCaseC &test : cases) {
    SCOPED_TRACE(test.mWidth);
    TMoviePositionBar bar;
    bar.resize(test.mWidth, TMoviePositionBar::cHeight);
    bar.SetDuration(cDuration);
    bar.SetPosition(0);
    EXPECT_TRUE(MarkerColumns(bar).empty()) << "no section, no markers";
    bar.SetSection(test.mSection);
    EXPECT_EQ(MarkerColumns(bar), test.mColumns);
    for (int column : test.mColumns)
      EXPECT_EQ(std::lround(bar.XAt(bar.TimeAt(column))), column) << "one rule both ways";
    bar.SetSection(std::nullopt);
    EXPECT_TRUE(MarkerColumns(bar).empty());
  }
}

TEST_F(TMoviePositionBarTest, TheSpanBetweenTheMarkersIsTinted) {
  mBar.SetSection(tMovieSectionC{2500, 7500});
  const QImage image = mBar.grab().toImage();
  const QColor inside = image.pixelColor(108, 4), outside = image.pixelColor(180, 4);
  EXPECT_GT(inside.red() - inside.blue(), outside.red() - outside.blue() + 30)
      << "amber over the span only";
}

TEST_F(TMoviePositionBarTest, DraggingAMarkerMovesThatEndOnly) {
  struct tCaseC {
    const char *mName;
    int mFrom;
    int mTo;
    tMovieSectionC mRequested;
  };
  // A section of 2500 to 7500 has its markers at 58 and 158.
  const tCaseC cases[] = {
      {"start left", 59, 28, {1000, 7500}},
      {"start right", 56, 108, {5000, 7500}},
      {"start past the end", 58, 200, {7400, 7500}},
      {"start before the movie", 58, 0, {0, 7500}},
      {"end right", 157, 188, {2500, 9000}},
      {"end past the start", 158, 20, {2500, 2600}},
      {"end past the movie", 160, 215, {2500, 10000}},
  };
  for (const tCaseC &test : cases) {
    SCOPED_TRACE(test.mName);
    mBar.SetSection(tMovieSectionC{2500, 7500});
    QSignalSpy seeks(&mBar, &TMoviePositionBar::SeekRequested);
    QSignalSpy requests(&mBar, &TMoviePositionBar::SectionChangeRequested);
    Mouse(QEvent::MouseButtonPress, test.mFrom);
    EXPECT_TRUE(mBar.DraggingMarker());
    EXPECT_EQ(requests.count(), 0) << "taking a marker asks for nothing";
    Mouse(QEvent::MouseMove, (test.mFrom + test.mTo) / 2);
    Mouse(QEvent::MouseMove, test.mTo);
    Mouse(QEvent::MouseButtonRelease, test.mTo);
    EXPECT_FALSE(mBar.DraggingMarker());
    EXPECT_EQ(seeks.count(), 0);
    ASSERT_GE(requests.count(), 1);
    const QList<QVariant> last = requests.last();
    EXPECT_EQ((tMovieSectionC{last.at(0).value<int64_t>(), last.at(1).value<int64_t>()}),
              test.mRequested);
    for (const QList<QVariant> &request : requests)
      EXPECT_GE(request.at(1).value<int64_t>() - request.at(0).value<int64_t>(),
                TMoviePositionBar::cShortestSection);
    EXPECT_EQ(mBar.Section(), test.mRequested) << "the marker follows the mouse";
  }
}

TEST_F(TMoviePositionBarTest, AClickAwayFromTheMarkersStillSeeks) {
  mBar.SetSection(tMovieSectionC{2500, 7500});
  for (int x : {108, 20, 190, 53, 163}) {
    SCOPED_TRACE(x);
    QSignalSpy seeks(&mBar, &TMoviePositionBar::SeekRequested);
    QSignalSpy requests(&mBar, &TMoviePositionBar::SectionChangeRequested);
    Mouse(QEvent::MouseButtonPress, x);
    Mouse(QEvent::MouseButtonRelease, x);
    EXPECT_EQ(seeks.count(), 1);
    EXPECT_EQ(requests.count(), 0);
    EXPECT_EQ(mBar.Section(), (tMovieSectionC{2500, 7500}));
  }
}

} // namespace
