#include "melPracticeTrainer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(SpeedTrainerTest, RaisesByItsStepsUpToTheTargetAndStays) {
  struct tCaseC {
    const char *mName;
    tSpeedTrainerSettingsC mSettings;
    // The speed after each pass, in hundredths.
    std::vector<int> mSpeeds;
  };
  const tCaseC cases[] = {
      {"0.6 by 10 % every 2 passes to 1.0",
       {0.6, 10, 2, 1.0},
       {60, 70, 70, 80, 80, 90, 90, 100, 100, 100}},
      {"a last step short of the target", {0.6, 7, 1, 0.8}, {67, 74, 80, 80}},
      {"a start above the target starts there", {1.2, 5, 1, 1.0}, {100, 100}},
      {"the target is at most 1.2", {1.1, 10, 1, 2.0}, {120, 120}},
      {"step and passes brought into range", {0.6, 50, 0, 1.2}, {70, 80, 90}},
      {"passes at most 10", {0.6, 1, 25, 1.2}, {60, 60, 60, 60, 60, 60, 60, 60, 60, 61}},
  };
  for (const tCaseC &test : cases) {
    SCOPED_TRACE(test.mName);
    tSpeedTrainerC trainer(test.mSettings);
    for (size_t i = 0; i < test.mSpeeds.size(); ++i) {
      const double before = trainer.Speed();
      const bool raised = trainer.Pass();
      EXPECT_EQ(trainer.Passes(), int(i + 1));
      EXPECT_DOUBLE_EQ(trainer.Speed(), test.mSpeeds[i] / 100.0) << "pass " << i + 1;
      EXPECT_EQ(raised, trainer.Speed() != before) << "pass " << i + 1;
    }
    trainer.Restart();
    EXPECT_EQ(trainer.Passes(), 0);
    EXPECT_DOUBLE_EQ(trainer.Speed(), trainer.Settings().mStart);
  }
}

TEST(SpeedTrainerTest, ShowsTheNearestSliderPosition) {
  const struct {
    double mSpeed;
    int mPosition;
  } cases[] = {{0.1, 0}, {0.6, 0},  {0.7, 0},  {0.71, 1}, {0.8, 1},  {0.9, 1}, {0.95, 2},
               {1.0, 2}, {1.05, 2}, {1.06, 3}, {1.1, 3},  {1.15, 3}, {1.2, 4}, {2.0, 4}};
  for (const auto &test : cases)
    EXPECT_EQ(NearestPracticeSpeed(test.mSpeed), test.mPosition) << test.mSpeed;
  // Rates come through floats.
  EXPECT_EQ(NearestPracticeSpeed(double(1.1f)), 3);
  EXPECT_EQ(tSpeedTrainerC({0.6, 10, 1, 1.2}).SliderPosition(), 0);
}

} // namespace
