#pragma once

#include <QString>

#include <cstdint>

// How the musician last practised one lesson. Speeds are playback rates
// (1.0 is the movie's own speed), times are milliseconds into the movie.
struct tPracticeStateC {
  double mSpeed = 1.0;
  // The section played over and over; none when mHasSection is off.
  bool mHasSection = false;
  int64_t mSectionStartMs = 0;
  int64_t mSectionEndMs = 0;
  // The speed trainer raises the speed by mTrainerStepPercent every
  // mTrainerPasses passes of the section, from its start to its target.
  bool mTrainerOn = false;
  double mTrainerStartSpeed = 0.6;
  int mTrainerStepPercent = 5;
  int mTrainerPasses = 2;
  double mTrainerTargetSpeed = 1.0;
  bool mMirrored = false;
  int64_t mPositionMs = 0;

  bool operator==(const tPracticeStateC &) const = default;
};

// The volume and mute switch, the same for every lesson and application.
struct tPlayerSoundC {
  int mVolume = 100; // 0 to 100
  bool mMuted = false;

  bool operator==(const tPlayerSoundC &) const = default;
};

inline constexpr double cPracticeSpeedPresets[] = {0.6, 0.8, 1.0, 1.1, 1.2};
inline constexpr double cMinPracticeSpeed = 0.6;
inline constexpr double cMaxPracticeSpeed = 1.2;

// The state kept for a lesson (its catalog path) of an application; the
// defaults for a lesson without one. Each field that does not read back as
// a valid value (edited by hand, another type, out of range) is its default;
// nothing here raises.
tPracticeStateC ReadPracticeState(const QString &aApplicationName, const QString &aLessonPath);
// Keeps the state in one save of the settings file; a field out of range is
// kept as its default. False when the settings file cannot be written.
bool WritePracticeState(const QString &aApplicationName, const QString &aLessonPath,
                        const tPracticeStateC &aState);
// Forgets the lesson's state, as when its episode is removed; true when
// there is none left.
bool RemovePracticeState(const QString &aApplicationName, const QString &aLessonPath);

tPlayerSoundC ReadPlayerSound();
bool WritePlayerSound(const tPlayerSoundC &aSound);

// The state with every field valid: what a read of it gives back.
tPracticeStateC ValidPracticeState(const tPracticeStateC &aState);

// Where a lesson starts again: at the kept position, unless that lies within
// 5 s of the movie's start or end (or the duration is unknown), then at 0.
int64_t RestoredPosition(int64_t aPositionMs, int64_t aDurationMs);
