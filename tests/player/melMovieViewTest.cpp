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

} // namespace
