#include "melPracticeState.h"
#include "melPracticeWriterTurns.h"
#include "melRegistry.h"
#include "melRegistryFile.h"
#include "melTestEnv.h"
#include "melUtil.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <functional>
#include <iostream>
#include <random>

// Found beside the type, for the test messages.
static std::ostream &operator<<(std::ostream &aOut, const tPracticeStateC &aState) {
  return aOut << "{speed " << aState.mSpeed << ", section " << aState.mHasSection << ' '
              << aState.mSectionStartMs << '-' << aState.mSectionEndMs << ", trainer "
              << aState.mTrainerOn << ' ' << aState.mTrainerStartSpeed << '+'
              << aState.mTrainerStepPercent << "%x" << aState.mTrainerPasses << "->"
              << aState.mTrainerTargetSpeed << ", mirror " << aState.mMirrored << ", position "
              << aState.mPositionMs << '}';
}

namespace {

const QString cLessonPath = QStringLiteral("\\Guitar\\Blues\\Lesson 1");

tPracticeStateC FullState() {
  tPracticeStateC state;
  state.mSpeed = 0.85;
  state.mHasSection = true;
  state.mSectionStartMs = 12000;
  state.mSectionEndMs = 34500;
  state.mTrainerOn = true;
  state.mTrainerStartSpeed = 0.7;
  state.mTrainerStepPercent = 7;
  state.mTrainerPasses = 4;
  state.mTrainerTargetSpeed = 1.1;
  state.mMirrored = true;
  state.mPositionMs = 61234;
  return state;
}

class PracticeStateTest : public TTempHomeTest {
protected:
  // The settings file holds only what it read without a problem.
  void ExpectCleanFile() const {
    const tRegistryFileC file = tRegistryFileC::Parse(ReadRegistry());
    EXPECT_EQ(file.mProblemLine, 0) << file.mProblem.toStdString();
  }
  // Puts aLine in place of the line of the value aName in the settings file.
  void ReplaceValueLine(const QString &aName, const QString &aLine) const {
    QString text = ReadRegistry();
    const QRegularExpression line(u"(?m)^\""_qs + QRegularExpression::escape(aName) + u"\"=.*$"_qs);
    ASSERT_TRUE(line.match(text).hasMatch()) << aName.toStdString();
    text.replace(line, aLine);
    WriteFile(TRegistry::FilePath(), text.toUtf8());
  }
};

TEST_F(PracticeStateTest, FullAndDefaultStatesReadBack) {
  EXPECT_EQ(ReadPracticeState(cPracticeApplication, cLessonPath), tPracticeStateC());
  ASSERT_TRUE(WritePracticeState(cPracticeApplication, cLessonPath, FullState()));
  EXPECT_EQ(ReadPracticeState(cPracticeApplication, cLessonPath), FullState());
  // Kept per application.
  EXPECT_EQ(ReadPracticeState(QStringLiteral("Piano"), cLessonPath), tPracticeStateC());
  ASSERT_TRUE(WritePracticeState(cPracticeApplication, cLessonPath, tPracticeStateC()));
  EXPECT_EQ(ReadPracticeState(cPracticeApplication, cLessonPath), tPracticeStateC());
  ExpectCleanFile();
}

TEST_F(PracticeStateTest, AStateOutOfRangeIsKeptAsItsDefaults) {
  tPracticeStateC state = FullState();
  state.mTrainerOn = false; // 0.85 is no preset without the trainer
  state.mTrainerPasses = 11;
  state.mSectionEndMs = state.mSectionStartMs;
  state.mPositionMs = -1;
  ASSERT_TRUE(WritePracticeState(cPracticeApplication, cLessonPath, state));
  tPracticeStateC expected = state;
  expected.mSpeed = 1.0;
  expected.mTrainerPasses = tPracticeStateC().mTrainerPasses;
  expected.mHasSection = false;
  expected.mSectionStartMs = expected.mSectionEndMs = 0;
  expected.mPositionMs = 0;
  EXPECT_EQ(ReadPracticeState(cPracticeApplication, cLessonPath), expected);
  // Every preset speed is taken as it is.
  for (const double speed : cPracticeSpeedPresets) {
    tPracticeStateC preset;
    preset.mSpeed = speed;
    ASSERT_TRUE(WritePracticeState(cPracticeApplication, cLessonPath, preset));
    EXPECT_EQ(ReadPracticeState(cPracticeApplication, cLessonPath).mSpeed, speed);
  }
}

struct tDamageCaseC {
  const char *mName;
  QString mValue;
  QString mLine; // in place of the value's line
  std::function<void(tPracticeStateC &)> mExpect;
};

void DefaultSection(tPracticeStateC &aState) {
  aState.mHasSection = false;
  aState.mSectionStartMs = aState.mSectionEndMs = 0;
}

TEST_F(PracticeStateTest, DamagedValuesReadAsTheirDefaults) {
  const tPracticeStateC d;
  const std::vector<tDamageCaseC> cases = {
      {"speed as text", u"Speed"_qs, u"\"Speed\"=\"fast\""_qs,
       [&](auto &s) { s.mSpeed = d.mSpeed; }},
      {"speed zero", u"Speed"_qs, u"\"Speed\"=dword:00000000"_qs, [&](auto &s) { s.mSpeed = 1.0; }},
      {"speed above all", u"Speed"_qs, u"\"Speed\"=dword:00000514"_qs,
       [&](auto &s) { s.mSpeed = 1.0; }},
      {"speed negative", u"Speed"_qs, u"\"Speed\"=dword:ffffffff"_qs,
       [&](auto &s) { s.mSpeed = 1.0; }},
      {"speed binary", u"Speed"_qs, u"\"Speed\"=hex:01,02"_qs, [&](auto &s) { s.mSpeed = 1.0; }},
      {"speed malformed", u"Speed"_qs, u"\"Speed\"=dword:zz"_qs, [&](auto &s) { s.mSpeed = 1.0; }},
      {"section switch 2", u"Section"_qs, u"\"Section\"=dword:00000002"_qs, DefaultSection},
      {"section ends first", u"SectionEnd"_qs, u"\"SectionEnd\"=dword:00000064"_qs, DefaultSection},
      {"section start as text", u"SectionStart"_qs, u"\"SectionStart\"=\"0\""_qs, DefaultSection},
      {"section start negative", u"SectionStart"_qs, u"\"SectionStart\"=dword:80000000"_qs,
       DefaultSection},
      // Without the trainer, the trainer's speed is no speed to play at.
      {"trainer switch 7", u"Trainer"_qs, u"\"Trainer\"=dword:00000007"_qs,
       [&](auto &s) { s.mTrainerOn = false, s.mSpeed = 1.0; }},
      {"step 0", u"TrainerStep"_qs, u"\"TrainerStep\"=dword:00000000"_qs,
       [&](auto &s) { s.mTrainerStepPercent = d.mTrainerStepPercent; }},
      {"step 11", u"TrainerStep"_qs, u"\"TrainerStep\"=dword:0000000b"_qs,
       [&](auto &s) { s.mTrainerStepPercent = d.mTrainerStepPercent; }},
      {"passes 11", u"TrainerPasses"_qs, u"\"TrainerPasses\"=dword:0000000b"_qs,
       [&](auto &s) { s.mTrainerPasses = d.mTrainerPasses; }},
      {"passes as text", u"TrainerPasses"_qs, u"\"TrainerPasses\"=\"3\""_qs,
       [&](auto &s) { s.mTrainerPasses = d.mTrainerPasses; }},
      {"trainer start too fast", u"TrainerStart"_qs, u"\"TrainerStart\"=dword:00000514"_qs,
       [&](auto &s) { s.mTrainerStartSpeed = d.mTrainerStartSpeed; }},
      {"trainer target at its start", u"TrainerTarget"_qs, u"\"TrainerTarget\"=dword:000002bc"_qs,
       [&](auto &s) {
         s.mTrainerStartSpeed = d.mTrainerStartSpeed;
         s.mTrainerTargetSpeed = d.mTrainerTargetSpeed;
       }},
      // The speed lay on the way to the old target only.
      {"trainer target below the speed", u"TrainerTarget"_qs,
       u"\"TrainerTarget\"=dword:00000320"_qs,
       [&](auto &s) { s.mTrainerTargetSpeed = 0.8, s.mSpeed = 1.0; }},
      {"mirror 2", u"Mirror"_qs, u"\"Mirror\"=dword:00000002"_qs,
       [&](auto &s) { s.mMirrored = false; }},
      {"position negative", u"Position"_qs, u"\"Position\"=dword:ffffffff"_qs,
       [&](auto &s) { s.mPositionMs = 0; }},
      {"position as text", u"Position"_qs, u"\"Position\"=\"61234\""_qs,
       [&](auto &s) { s.mPositionMs = 0; }},
      {"position gone", u"Position"_qs, u"; nothing"_qs, [&](auto &s) { s.mPositionMs = 0; }},
      {"lesson of another type", u"Lesson"_qs, u"\"Lesson\"=dword:00000001"_qs,
       [&](auto &s) { s = d; }},
      {"another lesson's state", u"Lesson"_qs, u"\"Lesson\"=\"\\\\Piano\\\\Other\""_qs,
       [&](auto &s) { s = d; }},
  };
  for (const tDamageCaseC &c : cases) {
    ASSERT_TRUE(WritePracticeState(cPracticeApplication, cLessonPath, FullState()));
    ReplaceValueLine(c.mValue, c.mLine);
    tPracticeStateC expected = FullState();
    c.mExpect(expected);
    tPracticeStateC read;
    ASSERT_NO_THROW(read = ReadPracticeState(cPracticeApplication, cLessonPath)) << c.mName;
    EXPECT_EQ(read, expected) << c.mName;
  }
}

TEST_F(PracticeStateTest, ASettingsFileOfGarbageReadsAsDefaultsAndIsWrittenAnew) {
  WriteFile(TRegistry::FilePath(), QByteArray("\xff\xfe[\x00garbage\n\"Speed\"=dword:1\n", 30));
  EXPECT_EQ(ReadPracticeState(cPracticeApplication, cLessonPath), tPracticeStateC());
  EXPECT_EQ(ReadPlayerSound(), tPlayerSoundC());
  ASSERT_TRUE(WritePracticeState(cPracticeApplication, cLessonPath, FullState()));
  EXPECT_EQ(ReadPracticeState(cPracticeApplication, cLessonPath), FullState());
}

TEST_F(PracticeStateTest, WhereNothingCanBeWrittenWritesFailQuietly) {
  WriteFile(HomeFile(QStringLiteral("plain")), "x");
  qputenv("MELODRA_HOME", QFile::encodeName(HomeFile(QStringLiteral("plain"))));
  EXPECT_FALSE(WritePracticeState(cPracticeApplication, cLessonPath, FullState()));
  EXPECT_FALSE(WritePlayerSound({10, true}));
  EXPECT_TRUE(RemovePracticeState(cPracticeApplication, cLessonPath));
  EXPECT_EQ(ReadPracticeState(cPracticeApplication, cLessonPath), tPracticeStateC());
  EXPECT_EQ(ReadPlayerSound(), tPlayerSoundC());
}

TEST_F(PracticeStateTest, HostileLessonPathsKeepTheirOwnStates) {
  const QStringList paths = {
      cLessonPath,
      cLessonPath.toUpper(), // keys ignore case, lessons do not
      u"\\Guitar\\\"quoted\" \\\\ double\\"_qs,
      u"\\Guitar\\line\nfeed\r\\%0A [brackets]"_qs,
      u"\\Gitarre\\Übung für Anfänger\\日本語 🎸"_qs,
      u"\\"_qs + QString(5000, u'x'),
      QString(),
  };
  for (qsizetype i = 0; i < paths.size(); ++i) {
    tPracticeStateC state = FullState();
    state.mPositionMs = 10000 + i;
    ASSERT_TRUE(WritePracticeState(cPracticeApplication, paths[i], state)) << i;
  }
  ExpectCleanFile();
  for (qsizetype i = 0; i < paths.size(); ++i)
    EXPECT_EQ(ReadPracticeState(cPracticeApplication, paths[i]).mPositionMs, 10000 + i) << i;

  // Removal drops exactly that lesson's state.
  ASSERT_TRUE(RemovePracticeState(cPracticeApplication, paths[2]));
  EXPECT_EQ(ReadPracticeState(cPracticeApplication, paths[2]), tPracticeStateC());
  for (qsizetype i = 0; i < paths.size(); ++i) {
    if (i != 2) {
      EXPECT_EQ(ReadPracticeState(cPracticeApplication, paths[i]).mPositionMs, 10000 + i) << i;
    }
  }
  EXPECT_TRUE(RemovePracticeState(cPracticeApplication, paths[2]));
  EXPECT_TRUE(RemovePracticeState(QStringLiteral("Piano"), paths[0]));
  EXPECT_EQ(ReadPracticeState(cPracticeApplication, paths[0]).mPositionMs, 10000);
  // A path the file cannot hold is refused, not stored under another's name.
  EXPECT_FALSE(WritePracticeState(cPracticeApplication, u"\\a"_qs + QChar(0xD800), FullState()));
  ExpectCleanFile();
}

TEST_F(PracticeStateTest, RemovalLeavesTheLastPathAndTheSound) {
  WriteLastPath(cPracticeApplication, cLessonPath);
  ASSERT_TRUE(WritePlayerSound({35, true}));
  ASSERT_TRUE(WritePracticeState(cPracticeApplication, cLessonPath, FullState()));
  ASSERT_TRUE(RemovePracticeState(cPracticeApplication, cLessonPath));
  EXPECT_EQ(ReadPracticeState(cPracticeApplication, cLessonPath), tPracticeStateC());
  EXPECT_EQ(ReadLastPath(cPracticeApplication), cLessonPath);
  EXPECT_EQ(ReadPlayerSound(), (tPlayerSoundC{35, true}));
}

TEST_F(PracticeStateTest, SoundIsValidatedPerField) {
  EXPECT_EQ(ReadPlayerSound(), tPlayerSoundC());
  ASSERT_TRUE(WritePlayerSound({0, true}));
  EXPECT_EQ(ReadPlayerSound(), (tPlayerSoundC{0, true}));
  ASSERT_TRUE(WritePlayerSound({150, false}));
  EXPECT_EQ(ReadPlayerSound(), (tPlayerSoundC{100, false}));
  const struct {
    QString mValue, mLine;
    tPlayerSoundC mExpected;
  } cases[] = {
      {u"Volume"_qs, u"\"Volume\"=dword:00000065"_qs, {100, true}},
      {u"Volume"_qs, u"\"Volume\"=dword:ffffffff"_qs, {100, true}},
      {u"Volume"_qs, u"\"Volume\"=\"50\""_qs, {100, true}},
      {u"Mute"_qs, u"\"Mute\"=dword:00000002"_qs, {40, false}},
      {u"Mute"_qs, u"\"Mute\"=\"yes\""_qs, {40, false}},
  };
  for (const auto &c : cases) {
    ASSERT_TRUE(WritePlayerSound({40, true}));
    ReplaceValueLine(c.mValue, c.mLine);
    EXPECT_EQ(ReadPlayerSound(), c.mExpected) << c.mLine.toStdString();
  }
}

TEST(PracticeRestoreTest, PositionIsRestoredOnlyAwayFromBothEnds) {
  const struct {
    int64_t mPosition, mDuration, mExpected;
  } cases[] = {
      {0, 60000, 0},         {5000, 60000, 0},  {5001, 60000, 5001}, {30000, 60000, 30000},
      {54999, 60000, 54999}, {55000, 60000, 0}, {60000, 60000, 0},   {90000, 60000, 0},
      {-1, 60000, 0},        {5000, 10000, 0},  {5001, 10002, 5001}, {5001, 10001, 0},
      {30000, 0, 0},         {30000, -1, 0},
  };
  for (const auto &c : cases)
    EXPECT_EQ(RestoredPosition(c.mPosition, c.mDuration), c.mExpected)
        << c.mPosition << " of " << c.mDuration;
}

// The turn a state read back belongs to; -1 when it is none of them.
int TurnOf(const tPracticeStateC &aState) {
  const int64_t base = aState.mMirrored ? 20000 : 30000;
  const int turn = int(aState.mPositionMs - base);
  return turn >= 0 && PracticeTurn(turn) == aState ? turn : -1;
}

const QStringList cChildLessons = {u"\\Guitar\\Blues\\Lesson 1"_qs, u"\\Guitar\\Blues\\Lesson 2"_qs,
                                   u"\\Guitar\\Jazz\\Übung \"3\""_qs};

TEST_F(PracticeStateTest, AnotherProgramsLastStatesReadBack) {
  QProcess child;
  child.start(QStringLiteral(PRACTICE_WRITER_CHILD),
              QStringList{QStringLiteral("9")} + cChildLessons);
  ASSERT_TRUE(child.waitForFinished());
  ASSERT_EQ(child.exitCode(), 0) << child.readAllStandardError().constData();
  for (const QString &lesson : cChildLessons)
    EXPECT_EQ(ReadPracticeState(cPracticeApplication, lesson), PracticeTurn(2));
}

TEST_F(PracticeStateTest, AKilledWriterLeavesTheOldOrTheNewState) {
  const QString bystander = QStringLiteral("\\Piano\\Scales\\C major");
  ASSERT_TRUE(WritePracticeState(cPracticeApplication, bystander, FullState()));
  const unsigned seed = 20261211;
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delay(0, 200);
  int kills = 0;
  int killsAfterASave = 0;
  int finished = 0;
  for (int run = 0; run < 25; ++run) {
    const tPracticeStateC before = ReadPracticeState(cPracticeApplication, cChildLessons[0]);
    QProcess child;
    child.start(QStringLiteral(PRACTICE_WRITER_CHILD),
                QStringList{QStringLiteral("3000")} + cChildLessons);
    ASSERT_TRUE(child.waitForStarted()) << child.errorString().toStdString();
    if (child.waitForFinished(delay(random))) {
      ++finished;
      EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardError().constData();
    } else {
      child.kill();
      ASSERT_TRUE(child.waitForFinished());
      ++kills;
      if (ReadPracticeState(cPracticeApplication, cChildLessons[0]) != before)
        ++killsAfterASave;
    }
    ExpectCleanFile();
    for (const QString &lesson : cChildLessons) {
      const tPracticeStateC state = ReadPracticeState(cPracticeApplication, lesson);
      EXPECT_TRUE(state == tPracticeStateC() || TurnOf(state) >= 0)
          << "run " << run << ": " << state;
    }
    EXPECT_EQ(ReadPracticeState(cPracticeApplication, bystander), FullState()) << "run " << run;
  }
  std::cout << "[ harness  ] seed " << seed << ": " << kills << " kills, " << killsAfterASave
            << " after a save, " << finished << " runs finished first\n";
  EXPECT_GT(killsAfterASave, 0);
}

} // namespace
