#include "melMessages.h"
#include "melErrors.h"
#include "melUiTestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(ErrorBoxTextTest, AddsAFullStopAfterCharactersThatSortAfterIt) {
  const std::pair<const char *, const char *> cases[] = {
      {"Node is not found", "Node is not found."},
      {"Unknown file type:WMV", "Unknown file type:WMV."},
      {"Saved.", "Saved."},
      {"Really?", "Really?."},
      {"(see log)", "(see log)"},
      {"Code -", "Code -"},
      {"Error 1", "Error 1."},
      {"", ""},
  };
  for (const auto &[message, shown] : cases)
    EXPECT_EQ(ErrorBoxText(QString::fromUtf8(message)), QString::fromUtf8(shown)) << message;
}

TEST(GuardedTest, AFailureEndsTheHandlerAndShowsTheErrorBox) {
  bool after = false;
  const auto seen = RunAnsweringBoxes([&after] {
    Guarded([&after] {
      throw EMelError(QStringLiteral("Node is not found"));
      after = true;
    });
    Guarded([] { throw std::runtime_error("disk full"); });
  });
  EXPECT_FALSE(after);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].mCaption, QStringLiteral("Melodra"));
  EXPECT_EQ(seen[0].mText, QStringLiteral("Node is not found."));
  EXPECT_EQ(seen[0].mIcon, QMessageBox::Critical);
  EXPECT_EQ(seen[0].mButtons, QMessageBox::Ok);
  EXPECT_EQ(seen[1].mText, QStringLiteral("disk full."));
}

TEST(MessageBoxTest, ConfirmationsAndNoticesHaveTheirCaptionsAndIcons) {
  const auto seen = RunAnsweringBoxes([] {
    Confirm(QStringLiteral("Delete the episode?"));
    Information(QStringLiteral("Nothing to export."));
  });
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].mCaption, QStringLiteral("Confirm"));
  EXPECT_EQ(seen[0].mIcon, QMessageBox::Question);
  EXPECT_EQ(seen[0].mButtons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(seen[1].mCaption, QStringLiteral("Information"));
  EXPECT_EQ(seen[1].mIcon, QMessageBox::Information);
  EXPECT_EQ(seen[1].mText, QStringLiteral("Nothing to export."));
}

TEST(MessageBoxTest, EveryBoxShowsItsTextAsPlainText) {
  // Names in messages come from catalogs and settings; markup stays literal.
  const QString text = QStringLiteral("Delete <b>Blues</b> &amp; more?");
  const auto seen = RunAnsweringBoxes([&text] {
    ShowErrorBox(text);
    Confirm(text);
    Information(text);
  });
  ASSERT_EQ(seen.size(), 3u);
  for (const tSeenBoxC &box : seen) {
    EXPECT_EQ(box.mTextFormat, Qt::PlainText) << box.mCaption.toStdString();
    EXPECT_TRUE(box.mText.startsWith(text)) << box.mCaption.toStdString();
  }
}

} // namespace
