#include <QApplication>

#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // As the program does: video and web views share GL contexts.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  // The movie engine reads numbers in the C locale.
  std::setlocale(LC_NUMERIC, "C");
  return RUN_ALL_TESTS();
}
