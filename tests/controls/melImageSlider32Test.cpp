#include "melImageSlider32.h"

#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

const QColor kTick(115, 115, 115);
const QColor kLeft(200, 40, 40);
const QColor kRight(40, 40, 200);
const QColor kCenter(40, 160, 40);
const QColor kNib(230, 200, 30);
const QColor kNibSelected(200, 30, 200);
const QColor kPanel(0xe8, 0xe8, 0xec);

QImage Solid(int aWidth, int aHeight, const QColor &aColor) {
  QImage img(aWidth, aHeight, QImage::Format_ARGB32);
  img.fill(aColor);
  return img;
}

struct tChangeC {
  int mNewPosition;
  int mPositionWhenTold;
  bool operator==(const tChangeC &) const = default;
};

std::ostream &operator<<(std::ostream &aOut, const tChangeC &aChange) {
  return aOut << "{" << aChange.mNewPosition << ", " << aChange.mPositionWhenTold << "}";
}

// The speed slider as the main window sets it up, on a plain panel.
class ImageSlider32Test : public ::testing::Test {
protected:
  void SetUp() override {
    mPanel.resize(160, 60);
    mPanel.setAutoFillBackground(true);
    QPalette palette = mPanel.palette();
    palette.setColor(QPalette::Window, kPanel);
    mPanel.setPalette(palette);
    mSlider = new TImageSlider32(&mPanel);
    mSlider->setGeometry(14, 27, 126, 22);
    mSlider->SetTickPen(QPen(kTick));
    mSlider->SetPosition(2);
    mSlider->SetStart(0);
    mSlider->SetStop(4);
    mSlider->SetTickSize(1);
    SetPictures(true);
    QObject::connect(mSlider, &TImageSlider32::OnChange,
                     [this](TImageSlider32 *aSender, int aNewPosition) {
                       EXPECT_EQ(aSender, mSlider);
                       mChanges.push_back({aNewPosition, aSender->Position()});
                     });
    mPanel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&mPanel));
  }
  void SetPictures(bool aOn) {
    mSlider->SetLeftImg(aOn ? Solid(10, 7, kLeft) : QImage());
    mSlider->SetRightImg(aOn ? Solid(10, 7, kRight) : QImage());
    mSlider->SetCenterImg(aOn ? Solid(110, 7, kCenter) : QImage());
    mSlider->SetNibImg(aOn ? Solid(13, 16, kNib) : QImage());
    mSlider->SetNibSelectedImg(aOn ? Solid(13, 16, kNibSelected) : QImage());
  }
  // Presses on the nib's left edge (plus one), moves through aXs, releases.
  void Drag(const std::vector<int> &aXs) {
    const QPoint press(mSlider->TickX(mSlider->Position()) - 6 + 1, 15);
    QTest::mousePress(mSlider, Qt::LeftButton, {}, press);
    EXPECT_TRUE(mSlider->Held());
    QPoint at = press;
    for (int x : aXs) {
      at = QPoint(x, 15);
      QTest::mouseMove(mSlider, at);
    }
    QTest::mouseRelease(mSlider, Qt::LeftButton, {}, at);
    EXPECT_FALSE(mSlider->Held());
  }
  QImage Rendered() { return mSlider->grab().toImage(); }

  QWidget mPanel;
  TImageSlider32 *mSlider = nullptr;
  std::vector<tChangeC> mChanges;
};

TEST_F(ImageSlider32Test, TheMainWindowsLayoutGivesTheseTickColumns) {
  EXPECT_EQ(mSlider->NibWidth(), 13);
  EXPECT_EQ(mSlider->NibHeight(), 16);
  const int expected[] = {6, 34, 63, 92, 120};
  for (int p = 0; p <= 4; ++p)
    EXPECT_EQ(mSlider->TickX(p), expected[p]) << "position " << p;
}

TEST_F(ImageSlider32Test, DraggingTheNibSnapsToTheTickUnderTheMouse) {
  // Tick windows are X(p) +- 14: 1 -> 20..48, 2 -> 49..77, 3 -> 78..106,
  // 4 -> 106..134; left of tick 0 is 0 and right of everything is Stop.
  const struct {
    std::vector<int> mXs;
    int mPosition;
    std::vector<int> mChanges;
  } cases[] = {
      {{0}, 0, {0}},
      {{-30}, 0, {0}},
      {{50}, 2, {}},
      {{49, 77, 60}, 2, {}},
      {{48}, 1, {1}},
      {{78}, 3, {3}},
      {{106}, 3, {3}},
      {{107}, 4, {4}},
      {{140}, 4, {4}},
      {{0, 50, 106, 140}, 4, {0, 2, 3, 4}},
      {{140, 141, 100}, 3, {4, 3}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(::testing::Message() << "moves ending at x " << c.mXs.back());
    mSlider->SetPosition(2);
    mChanges.clear();
    Drag(c.mXs);
    EXPECT_EQ(mSlider->Position(), c.mPosition);
    // Each change is told while Position still holds the one before.
    std::vector<tChangeC> expected;
    int before = 2;
    for (int p : c.mChanges) {
      expected.push_back({p, before});
      before = p;
    }
    EXPECT_EQ(mChanges, expected);
  }
}

TEST_F(ImageSlider32Test, AnExactlyHalfwayReachRoundsToEven) {
  // 128 wide: Step 29, ticks at 6, 35, 64, 93, 122 and a reach of 14.5 -> 14.
  mSlider->resize(128, 22);
  ASSERT_EQ(mSlider->width(), 128);
  const struct {
    int mX;
    int mPosition;
  } cases[] = {{20, 0}, {21, 1}, {49, 1}, {50, 2}, {78, 2}, {79, 3}};
  for (const auto &c : cases)
    EXPECT_EQ(mSlider->PositionAt(c.mX), c.mPosition) << "x " << c.mX;
}

TEST_F(ImageSlider32Test, OnlyAPressOnTheNibTakesHoldOfIt) {
  // With pictures the nib at position 2 covers x 57..70, y 6..22; without
  // them it counts as 20 x 20: Half 10, Step 26.5, x 53..73, y 2..22.
  const struct {
    bool mPictures;
    QPoint mAt;
    Qt::MouseButton mButton;
    bool mHeld;
  } cases[] = {
      {true, {57, 6}, Qt::LeftButton, true},    {true, {70, 22}, Qt::LeftButton, true},
      {true, {63, 12}, Qt::RightButton, true},  {true, {56, 12}, Qt::LeftButton, false},
      {true, {71, 12}, Qt::LeftButton, false},  {true, {63, 5}, Qt::LeftButton, false},
      {true, {72, 12}, Qt::LeftButton, false},  {false, {53, 2}, Qt::LeftButton, true},
      {false, {73, 22}, Qt::LeftButton, true},  {false, {72, 12}, Qt::LeftButton, true},
      {false, {52, 12}, Qt::LeftButton, false}, {false, {74, 12}, Qt::LeftButton, false},
      {false, {63, 1}, Qt::LeftButton, false},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "pictures " << c.mPictures << " at " << c.mAt.x() << "," << c.mAt.y());
    SetPictures(c.mPictures);
    QTest::mousePress(mSlider, c.mButton, {}, c.mAt);
    EXPECT_EQ(mSlider->Held(), c.mHeld);
    QTest::mouseRelease(mSlider, c.mButton, {}, c.mAt);
    EXPECT_FALSE(mSlider->Held());
  }
}

TEST_F(ImageSlider32Test, MovesWithoutHoldingTheNibChangeNothing) {
  // A press beside the nib, then a drag across the whole slider.
  QTest::mousePress(mSlider, Qt::LeftButton, {}, QPoint(20, 15));
  QTest::mouseMove(mSlider, QPoint(120, 15));
  QTest::mouseRelease(mSlider, Qt::LeftButton, {}, QPoint(120, 15));
  // Plain hovering, before any press and after a finished drag.
  mSlider->setMouseTracking(true);
  QTest::mouseMove(mSlider, QPoint(0, 15));
  Drag({});
  QTest::mouseMove(mSlider, QPoint(120, 15));
  EXPECT_EQ(mSlider->Position(), 2);
  EXPECT_TRUE(mChanges.empty());
}

bool IsColor(const QImage &aImg, int aX, int aY, const QColor &aColor) {
  return aImg.pixelColor(aX, aY).rgba() == aColor.rgba();
}

TEST_F(ImageSlider32Test, TicksRunDownToTheNibAndTheLastHugsTheRightEdge) {
  const QImage img = Rendered();
  for (int x : {6, 34, 63, 92, 119}) {
    EXPECT_TRUE(IsColor(img, x, 0, kTick)) << "x " << x;
    EXPECT_TRUE(IsColor(img, x, 5, kTick)) << "x " << x;
  }
  for (int x : {5, 7, 33, 35, 120})
    EXPECT_EQ(qAlpha(img.pixel(x, 0)), 0) << "x " << x;
}

TEST_F(ImageSlider32Test, TheTrackLiesAlongTheBottomWithItsCentreStretched) {
  const QImage img = Rendered();
  EXPECT_TRUE(IsColor(img, 0, 21, kLeft));
  EXPECT_TRUE(IsColor(img, 9, 15, kLeft));
  EXPECT_TRUE(IsColor(img, 10, 15, kCenter));
  EXPECT_TRUE(IsColor(img, 115, 21, kCenter));
  EXPECT_TRUE(IsColor(img, 116, 15, kRight));
  EXPECT_TRUE(IsColor(img, 125, 21, kRight));
  EXPECT_EQ(qAlpha(img.pixel(20, 14)), 0);
}

TEST_F(ImageSlider32Test, TheNibSitsOnItsTickOrAtTheRightEdgeForStop) {
  const struct {
    int mPosition;
    int mLeft; // first column of the nib
  } cases[] = {{2, 57}, {0, 0}, {3, 86}, {4, 113}};
  for (const auto &c : cases) {
    SCOPED_TRACE(::testing::Message() << "position " << c.mPosition);
    mSlider->SetPosition(c.mPosition);
    const QImage img = Rendered();
    EXPECT_TRUE(IsColor(img, c.mLeft, 6, kNib));
    EXPECT_TRUE(IsColor(img, c.mLeft + 12, 14, kNib));
    if (c.mLeft > 0) {
      EXPECT_FALSE(IsColor(img, c.mLeft - 1, 10, kNib));
    }
    if (c.mLeft + 13 < img.width()) {
      EXPECT_FALSE(IsColor(img, c.mLeft + 13, 10, kNib));
    }
  }
}

TEST_F(ImageSlider32Test, AHeldNibShowsTheSelectedPicture) {
  QTest::mousePress(mSlider, Qt::LeftButton, {}, QPoint(60, 10));
  EXPECT_TRUE(IsColor(Rendered(), 60, 10, kNibSelected));
  QTest::mouseRelease(mSlider, Qt::LeftButton, {}, QPoint(60, 10));
  EXPECT_TRUE(IsColor(Rendered(), 60, 10, kNib));
}

TEST_F(ImageSlider32Test, PicturesBlendOverWhateverLiesBeneath) {
  mSlider->SetNibImg(Solid(13, 16, QColor(255, 255, 255, 128)));
  const QImage panel = mPanel.grab().toImage();
  const QPoint origin = mSlider->pos();
  // Beside the ticks the panel shows through untouched.
  EXPECT_TRUE(IsColor(panel, origin.x() + 20, origin.y() + 3, kPanel));
  // Half-white nib over the green track: neither colour alone.
  const QColor mixed = panel.pixelColor(origin.x() + 60, origin.y() + 18);
  EXPECT_EQ(mixed.alpha(), 255);
  EXPECT_NEAR(mixed.red(), (255 + kCenter.red()) / 2, 2);
  EXPECT_NEAR(mixed.green(), (255 + kCenter.green()) / 2, 2);
  // Over the panel, above the track.
  const QColor overPanel = panel.pixelColor(origin.x() + 60, origin.y() + 10);
  EXPECT_NEAR(overPanel.blue(), (255 + kPanel.blue()) / 2, 2);
}

TEST_F(ImageSlider32Test, DegenerateRangesNeitherDivideByZeroNorLoop) {
  // Start == Stop: every x is Start.
  mSlider->SetStart(3);
  mSlider->SetStop(3);
  for (int x : {-10, 0, 6, 63, 125, 500})
    EXPECT_EQ(mSlider->PositionAt(x), 3) << "x " << x;
  EXPECT_FALSE(Rendered().isNull());

  // Stop < Start: nothing to pick.
  mSlider->SetStart(4);
  mSlider->SetStop(0);
  for (int x : {0, 63, 125})
    EXPECT_EQ(mSlider->PositionAt(x), 0) << "x " << x;
  EXPECT_FALSE(Rendered().isNull());

  // A tick size of zero or less draws the Start tick alone.
  mSlider->SetStart(0);
  mSlider->SetStop(4);
  for (int size : {0, -1}) {
    mSlider->SetTickSize(size);
    const QImage img = Rendered();
    EXPECT_TRUE(IsColor(img, 6, 0, kTick)) << "tick size " << size;
    for (int x : {34, 63, 92, 119})
      EXPECT_EQ(qAlpha(img.pixel(x, 0)), 0) << "tick size " << size << " x " << x;
  }

  // A bigger tick size skips positions; Stop is not reached from 0 by 3s.
  mSlider->SetTickSize(3);
  const QImage img = Rendered();
  EXPECT_TRUE(IsColor(img, 6, 0, kTick));
  EXPECT_TRUE(IsColor(img, 92, 0, kTick));
  for (int x : {34, 63, 119})
    EXPECT_EQ(qAlpha(img.pixel(x, 0)), 0) << "x " << x;
}

} // namespace
