#include "melPickApplication.h"
#include "melImageButton.h"
#include "melTestEnv.h"

#include <QImage>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

class PickApplicationTest : public TTempHomeTest {
protected:
  // Pictures in the given format: red at rest, blue while pressed.
  void AddApplication(const QString &aName, const char *aFormat = "png") {
    // Named by position: a name may hold characters no file name can.
    const QString stem = QStringLiteral("application%1").arg(mList.Count());
    const QString up = stem + QStringLiteral("-up.") + QString::fromLatin1(aFormat);
    const QString down = stem + QStringLiteral("-down.") + QString::fromLatin1(aFormat);
    QImage image(54, 48, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(HomeFile(up), aFormat));
    image.fill(Qt::blue);
    ASSERT_TRUE(image.save(HomeFile(down), aFormat));
    auto application = std::make_unique<tApplicationC>();
    application->mName = aName;
    application->mIconUp = up;
    application->mIconDown = down;
    mList.Add(std::move(application));
  }
  TImageButton *Button(TPickApplication &aDialog, int aIndex) {
    return aDialog.findChild<TImageButton *>(QStringLiteral("fApplicationBtn%1").arg(aIndex));
  }
  QLabel *Label(TPickApplication &aDialog, int aIndex) {
    return aDialog.findChild<QLabel *>(QStringLiteral("fApplicationLbl%1").arg(aIndex));
  }
  void ShowTwoApplications(TPickApplication &aDialog) {
    AddApplication(QStringLiteral("Guitar"));
    AddApplication(QStringLiteral("Piano"));
    aDialog.SetApplications(mList);
    aDialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&aDialog));
  }
  tApplicationListC mList;
};

TEST_F(PickApplicationTest, RowsStandAtTheirPlacesAndTheHeightFollowsTheCount) {
  for (const char *name : {"Guitar", "Piano", "Drums"})
    AddApplication(QString::fromLatin1(name));
  TPickApplication dialog;
  dialog.SetApplications(mList);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  EXPECT_EQ(dialog.size(), QSize(604, 3 * 64 + 311));
  EXPECT_EQ(dialog.ApplicationsPanel()->geometry(), QRect(0, 81, 604, 3 * 64 + 16));
  const int buttonTops[] = {8, 72, 136};
  const int labelTops[] = {24, 88, 152};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Button(dialog, i)->geometry(), QRect(250, buttonTops[i], 54, 48));
    EXPECT_EQ(Label(dialog, i)->pos(), QPoint(314, labelTops[i]));
    EXPECT_EQ(Label(dialog, i)->text(), mList.Items(i)->mName);
    EXPECT_EQ(Label(dialog, i)->font().pointSize(), 10);
  }
  const auto *quit = dialog.findChild<QPushButton *>(QStringLiteral("fQuitBtn"));
  EXPECT_EQ(quit->text(), QStringLiteral("Quit"));
  EXPECT_EQ(quit->geometry(), QRect(512, 20, 75, 25));
  EXPECT_EQ(quit->mapTo(&dialog, QPoint(0, 0)).y(), dialog.height() - 65 + 20);
}

TEST_F(PickApplicationTest, NamesShowAsPlainText) {
  const QString names[] = {QStringLiteral("<b>Bold</b>"), QStringLiteral("Jazz &amp; <i>Blues")};
  for (const QString &name : names)
    AddApplication(name);
  TPickApplication dialog;
  dialog.SetApplications(mList);
  for (int i = 0; i < 2; ++i) {
    QLabel *label = Label(dialog, i);
    EXPECT_EQ(label->textFormat(), Qt::PlainText) << i;
    // Sized for every character of the name, tags included.
    EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(names[i])) << i;
  }
}

TEST_F(PickApplicationTest, PicturesLoadThroughTheImageReaders) {
  AddApplication(QStringLiteral("Png"), "png");
  AddApplication(QStringLiteral("Jpeg"), "jpg");
  AddApplication(QStringLiteral("Tiff"), "tiff");
  TPickApplication dialog;
  dialog.SetApplications(mList);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Button(dialog, i)->PictureUp().size(), QSize(54, 48)) << i;
    EXPECT_EQ(Button(dialog, i)->PictureDown().size(), QSize(54, 48)) << i;
  }
}

TEST_F(PickApplicationTest, TheButtonShowsItsPressedPictureOnlyWhileHeld) {
  TPickApplication dialog;
  ShowTwoApplications(dialog);
  TImageButton *button = Button(dialog, 1);
  auto centre = [button] { return button->grab().toImage().pixelColor(27, 24); };
  EXPECT_EQ(centre(), QColor(Qt::red));
  QTest::mousePress(button, Qt::LeftButton);
  EXPECT_EQ(centre(), QColor(Qt::blue));
  QTest::mouseRelease(button, Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.mSelected, 1);
}

TEST_F(PickApplicationTest, LabelsTurnSilverUnderTheMouseAndSelectOnClick) {
  TPickApplication dialog;
  ShowTwoApplications(dialog);
  QLabel *label = Label(dialog, 0);
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QApplication::sendEvent(label, &enter);
  EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0xC0, 0xC0, 0xC0));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(label, &leave);
  EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::black));
  QTest::mouseClick(label, Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.mSelected, 0);
}

TEST_F(PickApplicationTest, EscapeLeavesItOpenAndQuitCancels) {
  AddApplication(QStringLiteral("Guitar"));
  AddApplication(QStringLiteral("Piano"));
  int result = 0;
  bool openAfterEscape = false;
  QTimer::singleShot(0, [&openAfterEscape] {
    auto *dialog = qobject_cast<TPickApplication *>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowCloseButtonHint);
    QTest::keyClick(dialog, Qt::Key_Escape);
    openAfterEscape = dialog->isVisible();
    dialog->findChild<QPushButton *>(QStringLiteral("fQuitBtn"))->click();
  });
  result = PickApplication(mList);
  EXPECT_TRUE(openAfterEscape);
  EXPECT_EQ(result, -1);
}

} // namespace
