// Writes practice states over and over, for the test that kills it in the
// middle of a save:
//   practice_writer_child COUNT LESSON...
// Write i keeps the state PracticeTurn(i / n) for lesson i % n. Prints
// "writing" once before the first save.

#include "melPracticeState.h"
#include "melPracticeWriterTurns.h"

#include <QString>
#include <QStringList>

#include <cstdio>

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s COUNT LESSON...\n", argv[0]);
    return 2;
  }
  const int count = QString::fromLocal8Bit(argv[1]).toInt();
  QStringList lessons;
  for (int i = 2; i < argc; ++i)
    lessons << QString::fromLocal8Bit(argv[i]);
  std::fputs("writing\n", stdout);
  std::fflush(stdout);
  for (int i = 0; i < count; ++i) {
    if (!WritePracticeState(cPracticeApplication, lessons[i % lessons.size()],
                            PracticeTurn(i / int(lessons.size())))) {
      std::fprintf(stderr, "write %d failed\n", i);
      return 1;
    }
  }
  return 0;
}
