#include "melPracticeState.h"

#include "melRegistry.h"
#include "melUtil.h"

#include <QCryptographicHash>

#include <climits>
#include <cmath>
#include <exception>
#include <optional>

namespace {

// A lesson's key is named by a hash of its catalog path: key names compare
// ignoring case and cannot hold a backslash, while catalog paths are full of
// backslashes, may differ only in case and run to any length. The path is
// kept as a value beside the state, so that a key found under a colliding
// name is not taken for this lesson's.
QString LessonKey(const QString &aApplicationName, const QString &aLessonPath) {
  const QByteArray hash =
      QCryptographicHash::hash(aLessonPath.toUtf8(), QCryptographicHash::Sha1).toHex();
  return cOptionsKey + u'\\' + aApplicationName + QStringLiteral("\\Practice\\") +
         QString::fromLatin1(hash);
}

const QString cSoundKey = cOptionsKey + QStringLiteral("\\Player");

const QString cLesson = QStringLiteral("Lesson");
const QString cSpeed = QStringLiteral("Speed");
const QString cSection = QStringLiteral("Section");
const QString cSectionStart = QStringLiteral("SectionStart");
const QString cSectionEnd = QStringLiteral("SectionEnd");
const QString cTrainer = QStringLiteral("Trainer");
const QString cTrainerStart = QStringLiteral("TrainerStart");
const QString cTrainerStep = QStringLiteral("TrainerStep");
const QString cTrainerPasses = QStringLiteral("TrainerPasses");
const QString cTrainerTarget = QStringLiteral("TrainerTarget");
const QString cMirror = QStringLiteral("Mirror");
const QString cPosition = QStringLiteral("Position");
const QString cVolume = QStringLiteral("Volume");
const QString cMute = QStringLiteral("Mute");

// Speeds are kept in thousandths, as the file holds whole numbers only.
constexpr int cSpeedScale = 1000;

int SpeedToStored(double aSpeed) {
  return int(std::lround(aSpeed * cSpeedScale));
}

double StoredToSpeed(int aStored) {
  return double(aStored) / cSpeedScale;
}

bool IsSpeedInRange(double aSpeed) {
  return std::isfinite(aSpeed) && SpeedToStored(aSpeed) >= SpeedToStored(cMinPracticeSpeed) &&
         SpeedToStored(aSpeed) <= SpeedToStored(cMaxPracticeSpeed);
}

bool IsPresetSpeed(double aSpeed) {
  if (!std::isfinite(aSpeed))
    return false;
  for (const double preset : cPracticeSpeedPresets) {
    if (SpeedToStored(aSpeed) == SpeedToStored(preset))
      return true;
  }
  return false;
}

bool IsTime(int64_t aMs) {
  return aMs >= 0 && aMs <= INT_MAX;
}

// The value when it is a whole number, nothing when it is missing or of
// another type.
std::optional<int> ReadNumber(const TRegistry &aRegistry, const QString &aName) {
  try {
    return aRegistry.ReadInteger(aName);
  } catch (const ERegistryException &) {
    return std::nullopt;
  }
}

std::optional<bool> ReadSwitch(const TRegistry &aRegistry, const QString &aName) {
  const auto value = ReadNumber(aRegistry, aName);
  if (!value || (*value != 0 && *value != 1))
    return std::nullopt;
  return *value == 1;
}

bool StoresLesson(const TRegistry &aRegistry, const QString &aLessonPath) {
  try {
    return aRegistry.ValueExists(cLesson) && aRegistry.ReadString(cLesson) == aLessonPath;
  } catch (const ERegistryException &) {
    return false;
  }
}

} // namespace

tPracticeStateC ValidPracticeState(const tPracticeStateC &aState) {
  const tPracticeStateC defaults;
  tPracticeStateC state = aState;
  if (!IsSpeedInRange(state.mTrainerStartSpeed))
    state.mTrainerStartSpeed = defaults.mTrainerStartSpeed;
  if (!IsSpeedInRange(state.mTrainerTargetSpeed))
    state.mTrainerTargetSpeed = defaults.mTrainerTargetSpeed;
  if (SpeedToStored(state.mTrainerStartSpeed) >= SpeedToStored(state.mTrainerTargetSpeed)) {
    state.mTrainerStartSpeed = defaults.mTrainerStartSpeed;
    state.mTrainerTargetSpeed = defaults.mTrainerTargetSpeed;
  }
  if (state.mTrainerStepPercent < 1 || state.mTrainerStepPercent > 10)
    state.mTrainerStepPercent = defaults.mTrainerStepPercent;
  if (state.mTrainerPasses < 1 || state.mTrainerPasses > 10)
    state.mTrainerPasses = defaults.mTrainerPasses;
  // Between the presets only the trainer's way from its start to its target.
  const bool trainerSpeed =
      state.mTrainerOn && IsSpeedInRange(state.mSpeed) &&
      SpeedToStored(state.mSpeed) >= SpeedToStored(state.mTrainerStartSpeed) &&
      SpeedToStored(state.mSpeed) <= SpeedToStored(state.mTrainerTargetSpeed);
  if (!IsPresetSpeed(state.mSpeed) && !trainerSpeed)
    state.mSpeed = defaults.mSpeed;
  // Speeds read back in thousandths; a written one must compare equal.
  state.mSpeed = StoredToSpeed(SpeedToStored(state.mSpeed));
  state.mTrainerStartSpeed = StoredToSpeed(SpeedToStored(state.mTrainerStartSpeed));
  state.mTrainerTargetSpeed = StoredToSpeed(SpeedToStored(state.mTrainerTargetSpeed));
  if (!state.mHasSection || !IsTime(state.mSectionStartMs) || !IsTime(state.mSectionEndMs) ||
      state.mSectionStartMs >= state.mSectionEndMs) {
    state.mHasSection = defaults.mHasSection;
    state.mSectionStartMs = defaults.mSectionStartMs;
    state.mSectionEndMs = defaults.mSectionEndMs;
  }
  if (!IsTime(state.mPositionMs))
    state.mPositionMs = defaults.mPositionMs;
  return state;
}

tPracticeStateC ReadPracticeState(const QString &aApplicationName, const QString &aLessonPath) {
  tPracticeStateC state;
  try {
    TRegistry registry;
    if (!registry.OpenKeyReadOnly(LessonKey(aApplicationName, aLessonPath)) ||
        !StoresLesson(registry, aLessonPath))
      return state;
    // A missing or damaged value leaves its field at the default; the
    // validation then takes out what does not fit together.
    if (const auto v = ReadNumber(registry, cSpeed))
      state.mSpeed = StoredToSpeed(*v);
    // A section with an end lost would play from elsewhere: it goes whole.
    const auto section = ReadSwitch(registry, cSection);
    const auto sectionStart = ReadNumber(registry, cSectionStart);
    const auto sectionEnd = ReadNumber(registry, cSectionEnd);
    if (section && sectionStart && sectionEnd) {
      state.mHasSection = *section;
      state.mSectionStartMs = *sectionStart;
      state.mSectionEndMs = *sectionEnd;
    }
    if (const auto v = ReadSwitch(registry, cTrainer))
      state.mTrainerOn = *v;
    if (const auto v = ReadNumber(registry, cTrainerStart))
      state.mTrainerStartSpeed = StoredToSpeed(*v);
    if (const auto v = ReadNumber(registry, cTrainerStep))
      state.mTrainerStepPercent = *v;
    if (const auto v = ReadNumber(registry, cTrainerPasses))
      state.mTrainerPasses = *v;
    if (const auto v = ReadNumber(registry, cTrainerTarget))
      state.mTrainerTargetSpeed = StoredToSpeed(*v);
    if (const auto v = ReadSwitch(registry, cMirror))
      state.mMirrored = *v;
    if (const auto v = ReadNumber(registry, cPosition))
      state.mPositionMs = *v;
  } catch (const std::exception &) {
    // A settings file that cannot be read at all gives what was read so far.
  }
  return ValidPracticeState(state);
}

bool WritePracticeState(const QString &aApplicationName, const QString &aLessonPath,
                        const tPracticeStateC &aState) {
  if (!aLessonPath.isValidUtf16())
    return false;
  const tPracticeStateC state = ValidPracticeState(aState);
  try {
    TRegistry registry;
    registry.BeginUpdate();
    if (!registry.OpenKey(LessonKey(aApplicationName, aLessonPath), true))
      return false;
    registry.WriteString(cLesson, aLessonPath);
    registry.WriteInteger(cSpeed, SpeedToStored(state.mSpeed));
    registry.WriteInteger(cSection, state.mHasSection ? 1 : 0);
    registry.WriteInteger(cSectionStart, int(state.mSectionStartMs));
    registry.WriteInteger(cSectionEnd, int(state.mSectionEndMs));
    registry.WriteInteger(cTrainer, state.mTrainerOn ? 1 : 0);
    registry.WriteInteger(cTrainerStart, SpeedToStored(state.mTrainerStartSpeed));
    registry.WriteInteger(cTrainerStep, state.mTrainerStepPercent);
    registry.WriteInteger(cTrainerPasses, state.mTrainerPasses);
    registry.WriteInteger(cTrainerTarget, SpeedToStored(state.mTrainerTargetSpeed));
    registry.WriteInteger(cMirror, state.mMirrored ? 1 : 0);
    registry.WriteInteger(cPosition, int(state.mPositionMs));
    registry.EndUpdate();
  } catch (const std::exception &) {
    return false;
  }
  return true;
}

bool RemovePracticeState(const QString &aApplicationName, const QString &aLessonPath) {
  const QString key = LessonKey(aApplicationName, aLessonPath);
  try {
    TRegistry registry;
    if (!registry.OpenKeyReadOnly(key))
      return true;
    // A key under the same name kept for another lesson stays.
    if (registry.ValueExists(cLesson) && !StoresLesson(registry, aLessonPath))
      return true;
    registry.CloseKey();
    return registry.DeleteKey(key);
  } catch (const std::exception &) {
    return false;
  }
}

tPlayerSoundC ReadPlayerSound() {
  tPlayerSoundC sound;
  try {
    TRegistry registry;
    if (!registry.OpenKeyReadOnly(cSoundKey))
      return sound;
    if (const auto v = ReadNumber(registry, cVolume); v && *v >= 0 && *v <= 100)
      sound.mVolume = *v;
    if (const auto v = ReadSwitch(registry, cMute))
      sound.mMuted = *v;
  } catch (const std::exception &) {
  }
  return sound;
}

bool WritePlayerSound(const tPlayerSoundC &aSound) {
  try {
    TRegistry registry;
    registry.BeginUpdate();
    if (!registry.OpenKey(cSoundKey, true))
      return false;
    registry.WriteInteger(cVolume, aSound.mVolume >= 0 && aSound.mVolume <= 100
                                       ? aSound.mVolume
                                       : tPlayerSoundC().mVolume);
    registry.WriteInteger(cMute, aSound.mMuted ? 1 : 0);
    registry.EndUpdate();
  } catch (const std::exception &) {
    return false;
  }
  return true;
}

int64_t RestoredPosition(int64_t aPositionMs, int64_t aDurationMs) {
  constexpr int64_t cMargin = 5000;
  if (aPositionMs > cMargin && aPositionMs < aDurationMs - cMargin)
    return aPositionMs;
  return 0;
}
