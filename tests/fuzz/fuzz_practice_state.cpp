// The practice state on any settings file: a read never raises and gives a
// valid state, which writes and reads back as it is; a removed state reads
// as the defaults, and the sound reads within its range.
#include "melFuzzSupport.h"
#include "melPracticeState.h"
#include "melRegistry.h"

#include <exception>

namespace {

const QString cApplication = QStringLiteral("Guitar");
const QString cLesson = QStringLiteral("\\Guitar\\Blues\\Lesson 1");

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *aData, size_t aSize) {
  FuzzHome();
  WriteFuzzFile(TRegistry::FilePath(),
                QByteArray(reinterpret_cast<const char *>(aData), qsizetype(aSize)));
  try {
    const tPracticeStateC state = ReadPracticeState(cApplication, cLesson);
    if (ValidPracticeState(state) != state)
      FuzzFailure("a state read back is not valid");
    const tPlayerSoundC sound = ReadPlayerSound();
    if (sound.mVolume < 0 || sound.mVolume > 100)
      FuzzFailure("a volume out of range", QString::number(sound.mVolume));
    if (!WritePracticeState(cApplication, cLesson, state))
      FuzzFailure("a state read back cannot be written");
    if (ReadPracticeState(cApplication, cLesson) != state)
      FuzzFailure("a state written does not read back");
    if (!RemovePracticeState(cApplication, cLesson) ||
        ReadPracticeState(cApplication, cLesson) != tPracticeStateC())
      FuzzFailure("a removed state reads back");
  } catch (const std::exception &e) {
    FuzzFailure("an exception escaped", QString::fromUtf8(e.what()));
  }
  return 0;
}
