#include "melListViewEx.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct tEventC {
  int mKind; // 0 begin, 1 during, 2 end
  int mIndex;
  int mWidth;
  bool operator==(const tEventC &) const = default;
};

std::ostream &operator<<(std::ostream &aOut, const tEventC &aEvent) {
  return aOut << "{" << aEvent.mKind << ", " << aEvent.mIndex << ", " << aEvent.mWidth << "}";
}

class ListViewExTest : public ::testing::Test {
protected:
  void SetUp() override {
    mList.SetColumns({QStringLiteral("Name"), QStringLiteral("Artist"), QStringLiteral("Level")});
    for (int i = 0; i < 3; ++i)
      mList.setColumnWidth(i, 100);
    mList.resize(400, 200);
    connect(0, &TListViewEx::OnBeginColumnResize);
    connect(1, &TListViewEx::OnColumnResize);
    connect(2, &TListViewEx::OnEndColumnResize);
    mList.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&mList));
  }
  template <typename S> void connect(int aKind, S aSignal) {
    QObject::connect(&mList, aSignal, [this, aKind](TListViewEx *aSender, int aIndex, int aWidth) {
      EXPECT_EQ(aSender, &mList);
      mEvents.push_back({aKind, aIndex, aWidth});
    });
  }
  // Drags the divider at the right of the section shown at aVisual by aDx.
  void DragDivider(int aVisual, int aDx) {
    QHeaderView *header = mList.header();
    const int logical = header->logicalIndex(aVisual);
    const int x = header->sectionViewportPosition(logical) + header->sectionSize(logical) - 1;
    QWidget *target = header->viewport();
    QTest::mousePress(target, Qt::LeftButton, {}, QPoint(x, 5));
    QTest::mouseMove(target, QPoint(x + aDx / 2, 5));
    mWidthDuringDrag = header->sectionSize(logical);
    QTest::mouseMove(target, QPoint(x + aDx, 5));
    QTest::mouseRelease(target, Qt::LeftButton, {}, QPoint(x + aDx, 5));
  }
  TListViewEx mList;
  std::vector<tEventC> mEvents;
  int mWidthDuringDrag = 0;
};

TEST_F(ListViewExTest, ADividerDragReportsBeginTrackAndEndAndAppliesTheWidthOnRelease) {
  DragDivider(0, 40);
  ASSERT_GE(mEvents.size(), 3u);
  EXPECT_EQ(mEvents.front(), (tEventC{0, 0, 100}));
  EXPECT_EQ(mEvents.back(), (tEventC{2, 0, 140}));
  EXPECT_EQ(mEvents[mEvents.size() - 2], (tEventC{1, 0, 140}));
  EXPECT_EQ(mWidthDuringDrag, 100); // no live resize while dragging
  EXPECT_EQ(mList.header()->sectionSize(0), 140);
}

TEST_F(ListViewExTest, ReorderedHeadersReportTheListsOwnColumnByCaption) {
  mList.header()->moveSection(2, 0); // Level, Name, Artist
  DragDivider(0, 10);
  ASSERT_FALSE(mEvents.empty());
  EXPECT_EQ(mEvents.back(), (tEventC{2, 2, 110}));
  EXPECT_EQ(mList.ColumnForHeaderItem(2), 2);
}

TEST_F(ListViewExTest, AHeaderTextMatchingNoCaptionReportsMinusOne) {
  mList.headerItem()->setText(1, QStringLiteral("Teacher"));
  EXPECT_EQ(mList.ColumnForHeaderItem(1), -1);
  mList.headerItem()->setText(1, QStringLiteral("Name"));
  EXPECT_EQ(mList.ColumnForHeaderItem(1), 0); // the first column with that caption
  DragDivider(1, -20);
  ASSERT_FALSE(mEvents.empty());
  EXPECT_EQ(mEvents.back(), (tEventC{2, 0, 80}));
}

TEST_F(ListViewExTest, PressesAwayFromADividerAreTheHeadersOwn) {
  QTest::mouseClick(mList.header()->viewport(), Qt::LeftButton, {}, QPoint(50, 5));
  EXPECT_TRUE(mEvents.empty());
}

} // namespace
