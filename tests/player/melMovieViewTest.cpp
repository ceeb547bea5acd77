#include "melMovieView.h"
#include "melMovieEngine.h"
#include "melMoviePositionBar.h"
#include "melPlayerTestSupport.h"
#include "melQTControl.h"

#include <QGuiApplication>
#include <QOpenGLContext>
#include <QTest>

#include <gtest/gtest.h>

// Runs on a display (xcb, under the suite's Xvfb): OpenGL in widgets is what
// it checks.
namespace {

// Counts the pixels, on a coarse grid, that are not black.
double ColouredPart(const QImage &aImage) {
  int coloured = 0, all = 0;
  for (int y = 0; y < aImage.height(); y += 8)
    for (int x = 0; x < aImage.width(); x += 8, ++all)
      coloured += qGray(aImage.pixel(x, y)) > 16 ? 1 : 0;
  return all ? double(coloured) / all : 0;
}

TEST(TQTControlVideoTest, DrawsAMovieLoadedBeforeTheViewShows) {
  QString error;
  const QString clip = TestClip(&error);
  ASSERT_TRUE(error.isEmpty()) << error.toStdString();
  ASSERT_EQ(QGuiApplication::platformName(), QLatin1String("xcb"))
      << "this test draws through OpenGL on a display";
  {
    QOpenGLContext probe;
    ASSERT_TRUE(probe.create()) << "no OpenGL on this display";
  }
  QWidget window; // outlives the control, which moves into it
  tMovieOptionsC options;
  options.mEngineOptions = {{"ao", "null"}};
  TQTControl control(nullptr, options);
  control.Initialize();
  ASSERT_TRUE(LoadAndWait(control.Engine(), clip));
  control.resize(320, 240 + TMoviePositionBar::cHeight);
  control.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&control));
  TMovieView *video = control.View();
  ASSERT_NE(video, nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return video->Drawing(); }, 3000));
  EXPECT_EQ(video->height(), 240);

  control.Movie()->Play(1);
  QTest::qWait(600);
  EXPECT_GT(video->FramesDrawn(), 3);
  EXPECT_GT(ColouredPart(video->grabFramebuffer()), 0.5) << "a picture, not black";

  // Moving to another window keeps the picture (without shared GL contexts,
  // Qt gives the widget a new one there).
  window.resize(400, 300);
  control.setParent(&window);
  control.move(0, 0);
  control.show();
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  ASSERT_TRUE(QTest::qWaitFor([&] { return video->Drawing(); }, 3000));
  const int drawn = video->FramesDrawn();
  control.Movie()->Rewind();
  control.Movie()->Play(1);
  QTest::qWait(600);
  EXPECT_GT(video->FramesDrawn(), drawn + 3);
  EXPECT_GT(ColouredPart(video->grabFramebuffer()), 0.5) << "the picture is back";
}

TEST(TQTControlVideoTest, FullScreenKeepsThePictureDrawing) {
  QString error;
  const QString clip = TestClip(&error);
  ASSERT_TRUE(error.isEmpty()) << error.toStdString();
  ASSERT_EQ(QGuiApplication::platformName(), QLatin1String("xcb"))
      << "this test draws through OpenGL on a display";
  QWidget window;
  window.resize(400, 300);
  tMovieOptionsC options;
  options.mEngineOptions = {{"ao", "null"}};
  auto *control = new TQTControl(&window, options);
  control->setGeometry(10, 10, 320, 240 + TMoviePositionBar::cHeight);
  control->Initialize();
  ASSERT_TRUE(LoadAndWait(control->Engine(), clip));
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  ASSERT_TRUE(QTest::qWaitFor([&] { return control->View()->Drawing(); }, 3000));
  control->Movie()->Play(1);

  // Each step: the picture goes on drawing, and shows a picture.
  auto drawsOn = [&](const char *aWhere) {
    SCOPED_TRACE(aWhere);
    TMovieView *video = control->View();
    ASSERT_NE(video, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return video->Drawing(); }, 3000));
    const int drawn = video->FramesDrawn();
    ASSERT_TRUE(QTest::qWaitFor([&] { return video->FramesDrawn() > drawn + 3; }, 3000));
    EXPECT_GT(ColouredPart(video->grabFramebuffer()), 0.3) << "a picture, not black";
  };
  drawsOn("in the window");
  control->SetFullScreen(true);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(control));
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return control->View()->height() > 240 + TMoviePositionBar::cHeight; }, 3000))
      << "the picture fills the screen";
  drawsOn("fullscreen");
  control->SetFullScreen(false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return control->View()->height() == 240; }, 3000));
  EXPECT_EQ(control->parentWidget(), &window);
  drawsOn("back in the window");
  control->Terminate();
}

} // namespace
