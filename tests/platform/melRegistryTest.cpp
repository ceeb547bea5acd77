#include "melRegistry.h"
#include "melRegistryFile.h"
#include "melTestEnv.h"

#include <QFile>
#include <QFileInfo>

#include <optional>
#include <random>

#include <unistd.h>

namespace {

class RegistryTest : public TTempHomeTest {
protected:
  void SetUp() override {
    TTempHomeTest::SetUp();
    TRegistry::SetDiagnostics([this](const QString &aLine) { mDiagnostics << aLine; });
  }
  void TearDown() override {
    TRegistry::SetDiagnostics(nullptr);
    TTempHomeTest::TearDown();
  }
  QStringList mDiagnostics;
};

TEST_F(RegistryTest, LivesInTheProgramFolderWhenOneIsSet) {
  EXPECT_EQ(TRegistry::FilePath(), HomeFile(QStringLiteral("registry.reg")));
  qunsetenv("MELODRA_HOME");
  EXPECT_EQ(TRegistry::FilePath(), Home() + QStringLiteral("xdg-config/Melodra/registry.reg"));
}

TEST_F(RegistryTest, ReadsTypedValuesAndRejectsWrongTypes) {
  WriteRegistry({QStringLiteral("[HKEY_LOCAL_MACHINE\\Software\\Melodra\\Lessondeck\\Options]"),
                 QStringLiteral("\"StoreHost\"=\"shop.example\""),
                 QStringLiteral("\"StoreHttpPort\"=dword:00001f90"),
                 QStringLiteral("\"Blob\"=hex:01,02,\\"), QStringLiteral("  03,04"),
                 QStringLiteral("\"Quoted\"=\"C:\\\\Lessons\\\\\\\"x\\\"\"")});
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKeyReadOnly(QStringLiteral("\\software\\melodra\\LESSONDECK\\Options")));
  EXPECT_EQ(registry.ReadString(QStringLiteral("storehost")), QStringLiteral("shop.example"));
  EXPECT_EQ(registry.ReadInteger(QStringLiteral("StoreHttpPort")), 8080);
  EXPECT_EQ(registry.ReadString(QStringLiteral("Quoted")), QStringLiteral("C:\\Lessons\\\"x\""));
  EXPECT_EQ(registry.ReadString(QStringLiteral("Missing")), QString());
  EXPECT_THROW(registry.ReadString(QStringLiteral("StoreHttpPort")), ERegistryException);
  EXPECT_THROW(registry.ReadString(QStringLiteral("Blob")), ERegistryException);
  EXPECT_THROW(registry.ReadInteger(QStringLiteral("StoreHost")), ERegistryException);
  EXPECT_THROW(registry.ReadInteger(QStringLiteral("Missing")), ERegistryException);
  EXPECT_TRUE(mDiagnostics.isEmpty()) << mDiagnostics.join(u'\n').toStdString();
}

TEST_F(RegistryTest, ReadsOpenWithoutCreatingAndWritesCreate) {
  TRegistry registry;
  const QString key = QStringLiteral("\\Software\\Melodra\\Lessondeck\\Options\\Guitar");
  EXPECT_FALSE(registry.OpenKeyReadOnly(key));
  EXPECT_FALSE(registry.OpenKey(key, false));
  EXPECT_FALSE(QFile::exists(TRegistry::FilePath()));
  ASSERT_TRUE(registry.OpenKey(key, true));
  registry.WriteString(QStringLiteral("LastPath"), QStringLiteral("\\Guitar\\Blues\\Lesson 1"));
  registry.WriteInteger(QStringLiteral("Count"), 42);
  // The keys above a created key exist too.
  TRegistry parent;
  EXPECT_TRUE(parent.OpenKeyReadOnly(QStringLiteral("\\Software\\Melodra")));
  EXPECT_EQ(parent.GetKeyNames(), QStringList{QStringLiteral("Lessondeck")});
  EXPECT_EQ(ReadRegistry(),
            QStringLiteral("Windows Registry Editor Version 5.00\n\n"
                           "[HKEY_LOCAL_MACHINE\\Software\\Melodra\\Lessondeck\\Options\\Guitar]\n"
                           "\"LastPath\"=\"\\\\Guitar\\\\Blues\\\\Lesson 1\"\n"
                           "\"Count\"=dword:0000002a\n"));
  TRegistry again;
  ASSERT_TRUE(again.OpenKeyReadOnly(key));
  EXPECT_EQ(again.ReadString(QStringLiteral("LastPath")),
            QStringLiteral("\\Guitar\\Blues\\Lesson 1"));
}

TEST_F(RegistryTest, DeletingAKeyTakesItsSubkeysAndLeavesItsNeighbours) {
  const QString base = QStringLiteral("\\Software\\Melodra\\Keys\\");
  for (const char *name : {"Lesson", "lesson\\Inner", "Lesson2", "Other\\Lesson"}) {
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(base + QString::fromLatin1(name), true));
    registry.WriteInteger(QStringLiteral("Value"), 1);
  }
  TRegistry registry;
  EXPECT_TRUE(registry.DeleteKey(base + QStringLiteral("LESSON")));
  EXPECT_FALSE(registry.OpenKeyReadOnly(base + QStringLiteral("Lesson")));
  EXPECT_FALSE(registry.OpenKeyReadOnly(base + QStringLiteral("Lesson\\Inner")));
  ASSERT_TRUE(registry.OpenKeyReadOnly(base));
  EXPECT_EQ(registry.GetKeyNames(),
            (QStringList{QStringLiteral("Lesson2"), QStringLiteral("Other")}));
  EXPECT_TRUE(registry.OpenKeyReadOnly(base + QStringLiteral("Other\\Lesson")));
  // A missing key is removed already, and the file stays as it was.
  const QString before = ReadRegistry();
  EXPECT_TRUE(registry.DeleteKey(base + QStringLiteral("Missing")));
  EXPECT_EQ(ReadRegistry(), before);
}

TEST_F(RegistryTest, AnUpdateSavesItsWritesTogether) {
  const QString key = QStringLiteral("\\Software\\Melodra\\Update");
  TRegistry registry;
  registry.BeginUpdate();
  ASSERT_TRUE(registry.OpenKey(key, true));
  registry.WriteInteger(QStringLiteral("A"), 1);
  registry.WriteString(QStringLiteral("B"), QStringLiteral("two"));
  EXPECT_FALSE(TRegistry().OpenKeyReadOnly(key));
  registry.EndUpdate();
  TRegistry reader;
  ASSERT_TRUE(reader.OpenKeyReadOnly(key));
  EXPECT_EQ(reader.ReadInteger(QStringLiteral("A")), 1);
  EXPECT_EQ(reader.ReadString(QStringLiteral("B")), QStringLiteral("two"));
  // An update never ended leaves the file alone.
  {
    TRegistry dropped;
    dropped.BeginUpdate();
    ASSERT_TRUE(dropped.OpenKey(key, true));
    dropped.WriteInteger(QStringLiteral("A"), 2);
  }
  EXPECT_EQ(reader.ReadInteger(QStringLiteral("A")), 1);
}

TEST_F(RegistryTest, SubkeysAscendIgnoringCase) {
  WriteRegistry({QStringLiteral("[HKEY_LOCAL_MACHINE\\Apps\\zeta]"),
                 QStringLiteral("[HKEY_LOCAL_MACHINE\\Apps\\Beta\\Deeper]"),
                 QStringLiteral("[HKEY_LOCAL_MACHINE\\Apps\\alpha]"),
                 QStringLiteral("[HKEY_LOCAL_MACHINE\\Apps\\BETA]"),
                 QStringLiteral("[HKEY_LOCAL_MACHINE\\Apps\\Gamma]")});
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKeyReadOnly(QStringLiteral("\\Apps")));
  EXPECT_EQ(registry.GetKeyNames(), (QStringList{QStringLiteral("alpha"), QStringLiteral("Beta"),
                                                 QStringLiteral("Gamma"), QStringLiteral("zeta")}));
}

struct tMalformedCase {
  const char *mName;
  const char *mText;
  int mLine;
  bool mHostReadable; // the good value after the bad line still reads
};

class MalformedRegistryTest : public RegistryTest,
                              public ::testing::WithParamInterface<tMalformedCase> {};

TEST_P(MalformedRegistryTest, ReadsAsMissingKeysAndReportsTheLine) {
  const tMalformedCase &c = GetParam();
  WriteFile(HomeFile(QStringLiteral("registry.reg")), c.mText);
  TRegistry registry;
  const bool open = registry.OpenKeyReadOnly(QStringLiteral("\\Software\\Melodra"));
  EXPECT_EQ(open && registry.ReadString(QStringLiteral("Host")) == QStringLiteral("h"),
            c.mHostReadable);
  EXPECT_EQ(registry.ReadString(QStringLiteral("Bad")), QString());
  ASSERT_EQ(mDiagnostics.size(), 1) << mDiagnostics.join(u'\n').toStdString();
  EXPECT_TRUE(mDiagnostics[0].startsWith(
      QStringLiteral("Settings file %1, line %2:").arg(TRegistry::FilePath()).arg(c.mLine)))
      << mDiagnostics[0].toStdString();
  // Reading the same file again does not repeat the report.
  registry.OpenKeyReadOnly(QStringLiteral("\\Software\\Melodra"));
  EXPECT_EQ(mDiagnostics.size(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedRegistryTest,
    ::testing::Values(
        tMalformedCase{"Truncated",
                       "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\"
                       "Melodra]\n\"Host\"=\"h\"\n\"Bad\"=\"trunc",
                       5, true},
        tMalformedCase{
            "UnclosedKey",
            "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\Software\\Melodra\n"
            "\"Host\"=\"h\"\n",
            2, false},
        tMalformedCase{"NotRegistry", "\x89PNG\r\n\x1a\n\x00\x01garbage", 1, false},
        tMalformedCase{
            "BadValueThenGood",
            "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\Software\\Melodra]\n"
            "\"Bad\"=what\n\"Host\"=\"h\"\n",
            3, true},
        tMalformedCase{
            "BadDword",
            "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\Software\\Melodra]\n"
            "\"Bad\"=dword:xyz\n\"Host\"=\"h\"\n",
            3, true},
        tMalformedCase{
            "NameWithoutOpeningQuote",
            "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\Software\\Melodra]\n"
            "Bad\"=\"x\"\n\"Host\"=\"h\"\n",
            3, true},
        tMalformedCase{
            "BinaryContinuedPastTheEnd",
            "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\Software\\Melodra]\n"
            "\"Host\"=\"h\"\n\"Bad\"=hex:41,\\",
            4, true}),
    [](const auto &aInfo) { return std::string(aInfo.param.mName); });

TEST_F(RegistryTest, RewriteKeepsTheMalformedOriginalAside) {
  const QByteArray original = "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n"
                              "\"Good\"=\"1\"\n\"Bad\"=\"cut";
  WriteFile(HomeFile(QStringLiteral("registry.reg")), original);
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKey(QStringLiteral("\\A"), true));
  registry.WriteString(QStringLiteral("New"), QStringLiteral("2"));
  EXPECT_EQ(ReadFile(HomeFile(QStringLiteral("registry.reg.bak"))), original);
  TRegistry reader;
  ASSERT_TRUE(reader.OpenKeyReadOnly(QStringLiteral("\\A")));
  EXPECT_EQ(reader.ReadString(QStringLiteral("Good")), QStringLiteral("1"));
  EXPECT_EQ(reader.ReadString(QStringLiteral("New")), QStringLiteral("2"));
}

TEST_F(RegistryTest, UnwritableLocationRefusesToOpenForWriting) {
  if (geteuid() == 0) {
    // Root writes through permissions; use a path below a plain file.
    qputenv("MELODRA_HOME", QFile::encodeName(HomeFile(QStringLiteral("file/below"))));
    WriteFile(HomeFile(QStringLiteral("file")), "x");
  } else {
    QFile::setPermissions(Home(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  }
  TRegistry registry;
  EXPECT_FALSE(registry.OpenKey(QStringLiteral("\\Software\\Melodra"), true));
  QFile::setPermissions(Home(),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST(RegistryFileTest, RoundTripKeepsUnknownValuesAndOrder) {
  const QString text =
      QStringLiteral("Windows Registry Editor Version 5.00\n\n"
                     "[HKEY_LOCAL_MACHINE\\B]\n\"x\"=hex(2):41,00,00,00\n@=\"default\"\n\n"
                     "[HKEY_LOCAL_MACHINE\\A]\n\"Line\"=\"one\\ntwo\"\n");
  const tRegistryFileC file = tRegistryFileC::Parse(text);
  EXPECT_EQ(file.mProblemLine, 0);
  EXPECT_EQ(file.Serialize(), text);
  EXPECT_EQ(
      tRegistryFileC::FindValue(*file.FindSection(QStringLiteral("a")), QStringLiteral("Line"))
          ->mText,
      QStringLiteral("one\ntwo"));
}

TEST_F(RegistryTest, KeyNamesTheHeaderCannotHoldReadBack) {
  // An application name may hold anything a text value can.
  const QString keys[] = {QStringLiteral("\\Software\\Melodra\\Two\nLines"),
                          QStringLiteral("\\Software\\Melodra\\Ends\r"),
                          QStringLiteral("\\Software\\Melodra\\100% [x] %0A"),
                          QStringLiteral("\\Software\\Melodra\\Plain")};
  for (const QString &key : keys) {
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(key, true)) << key.toStdString();
    registry.WriteString(QStringLiteral("LastPath"), key);
  }
  for (const QString &key : keys) {
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKeyReadOnly(key)) << key.toStdString();
    EXPECT_EQ(registry.ReadString(QStringLiteral("LastPath")), key);
  }
  EXPECT_EQ(mDiagnostics, QStringList());
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKeyReadOnly(QStringLiteral("\\Software\\Melodra")));
  EXPECT_EQ(registry.GetKeyNames(),
            (QStringList{QStringLiteral("100% [x] %0A"), QStringLiteral("Ends\r"),
                         QStringLiteral("Plain"), QStringLiteral("Two\nLines")}));
}

TEST_F(RegistryTest, KeyEscapesReadInEitherCaseAndOtherPercentSignsStay) {
  WriteRegistry(
      {QStringLiteral("[HKEY_LOCAL_MACHINE\\A%0a%0DB%25c%41%0]"), QStringLiteral("\"v\"=\"1\"")});
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKeyReadOnly(QStringLiteral("\\A\n\rB%c%41%0")));
  EXPECT_EQ(registry.ReadString(QStringLiteral("v")), QStringLiteral("1"));
}

TEST_F(RegistryTest, ARewriteOfTheSameSizeInTheSameSecondIsSeen) {
  const QString path = HomeFile(QStringLiteral("registry.reg"));
  const QByteArray head = "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n";
  WriteFile(path, head + "\"v\"=\"one\"\n");
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKeyReadOnly(QStringLiteral("\\A")));
  EXPECT_EQ(registry.ReadString(QStringLiteral("v")), QStringLiteral("one"));
  // In place, as an editor may write it.
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  file.seek(head.size());
  file.write("\"v\"=\"two\"\n");
  file.close();
  EXPECT_EQ(registry.ReadString(QStringLiteral("v")), QStringLiteral("two"));
}

TEST(RegistryFileTest, BinaryContinuationsReadBackAsTheyWereRead) {
  // Lines ending with a backslash continue a binary value, a blank before
  // the sign or the backslash allowed; written back, the value must not take
  // in the next one, nor lose it.
  struct tCase {
    const char *mText;
    const char *mRaw;
    bool mNextSurvives;
  };
  const tCase cases[] = {
      {"\"x\"= hex:41,\\\n  42\n\"y\"=\"z\"\n", "hex:41,42", true},
      // Found by fuzzing: the blank before the last backslash hid it, and the
      // rewrite left the value ending with a backslash.
      {"\"x\"= hex,1,\\\n \\\nHINE\\ \\\n\n\"y\"=\"z\"\n", "hex,1,HINE\"y\"=\"z\"", false},
  };
  for (const tCase &c : cases) {
    const QString file =
        QStringLiteral("Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K]\n") +
        QString::fromUtf8(c.mText);
    const tRegistryFileC first = tRegistryFileC::Parse(file);
    const tRegistryFileC second = tRegistryFileC::Parse(first.Serialize());
    EXPECT_TRUE(second.SameContent(first)) << c.mText << "\n" << first.Serialize().toStdString();
    const tRegSectionC &section = *second.FindSection(QStringLiteral("K"));
    const tRegValueC *x = tRegistryFileC::FindValue(section, QStringLiteral("x"));
    ASSERT_NE(x, nullptr) << c.mText;
    EXPECT_EQ(x->mRaw, QString::fromUtf8(c.mRaw));
    EXPECT_EQ(tRegistryFileC::FindValue(section, QStringLiteral("y")) != nullptr, c.mNextSurvives);
  }
}

// Up to aMaxPieces awkward pieces put together at random: quotes,
// backslashes, line breaks, brackets, escapes of either kind, non-ASCII, a
// very long run.
QString AwkwardText(std::mt19937 &aRandom, int aMaxPieces) {
  static const QStringList pieces = {
      QStringLiteral("\""),  QStringLiteral("\\"),     QStringLiteral("\n"),
      QStringLiteral("\r"),  QStringLiteral("\t"),     QStringLiteral("="),
      QStringLiteral("["),   QStringLiteral("]"),      QStringLiteral("%"),
      QStringLiteral("%0A"), QStringLiteral("%25"),    QStringLiteral(" "),
      QStringLiteral(";"),   QStringLiteral("@"),      QStringLiteral("hex:"),
      QStringLiteral(","),   QStringLiteral("dword:"), QStringLiteral("日本"),
      QStringLiteral("é"),   QStringLiteral("𝄞"),      QStringLiteral("a"),
      QStringLiteral("Z"),   QString(4096, u'w'),      QString()};
  QString out;
  const int count = int(aRandom() % unsigned(aMaxPieces + 1));
  for (int i = 0; i < count; ++i)
    out += pieces[int(aRandom() % unsigned(pieces.size()))];
  return out;
}

// Parsed, written and parsed again, a file keeps its sections and values,
// and its text after the first rewrite; over awkward pieces put together at
// random (fixed seed).
TEST(RegistryFileTest, EveryReadWriteReadRoundTripIsExact) {
  std::mt19937 random(20261211);
  const auto text = [&](int aMaxPieces) { return AwkwardText(random, aMaxPieces); };
  const QString rawLines[] = {QStringLiteral("\"x\"= hex:41,\\"),
                              QStringLiteral("  42,\\"),
                              QStringLiteral("  43"),
                              QStringLiteral("\"y\"=\"z\""),
                              QStringLiteral("@=\"d\""),
                              QStringLiteral("[HKEY_LOCAL_MACHINE\\K]"),
                              QStringLiteral("\"w\"=dword:1"),
                              QStringLiteral("bad\"=\"v\""),
                              QStringLiteral("; note"),
                              QStringLiteral("HINE\\ \\"),
                              QStringLiteral("[HKEY_LOCAL_MACHINE\\K\\%41]"),
                              QStringLiteral("\"h\"=HEX(2):00,\\")};
  for (int round = 0; round < 300; ++round) {
    // Built through the API...
    tRegistryFileC built;
    for (int k = 0; k < 4; ++k) {
      tRegSectionC &section = built.AddSection(QStringLiteral("Software\\") + text(4));
      for (int v = 0; v < 4; ++v) {
        tRegValueC value;
        value.mName = text(3);
        if (random() % 2) {
          value.mText = text(6);
        } else {
          value.mKind = tRegValueC::tKind::DWord;
          value.mDWord = uint32_t(random());
        }
        tRegistryFileC::SetValue(section, value);
      }
    }
    const tRegistryFileC read = tRegistryFileC::Parse(built.Serialize());
    EXPECT_EQ(read.mProblemLine, 0) << read.mProblem.toStdString();
    EXPECT_TRUE(read.SameContent(built)) << built.Serialize().toStdString();
    // ... and from lines as a hand edit may leave them.
    QString lines =
        QStringLiteral("Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K]\n");
    for (int i = 0; i < 8; ++i)
      lines += rawLines[random() % std::size(rawLines)] + u'\n';
    const tRegistryFileC first = tRegistryFileC::Parse(lines);
    const tRegistryFileC second = tRegistryFileC::Parse(first.Serialize());
    EXPECT_TRUE(second.SameContent(first)) << lines.toStdString() << "\n--\n"
                                           << first.Serialize().toStdString();
    EXPECT_EQ(second.Serialize(), first.Serialize());
  }
}

// Whatever the program writes, it reads back: at once, and after the file
// was read anew.
TEST_F(RegistryTest, WhatIsWrittenReadsBack) {
  std::mt19937 random(1211);
  struct tWritten {
    QString mKey;
    QString mName;
    QString mText;
    std::optional<int> mNumber;
  };
  QList<tWritten> written;
  for (int i = 0; i < 60; ++i) {
    tWritten w{QStringLiteral("\\Software\\Melodra\\") + AwkwardText(random, 4),
               AwkwardText(random, 3), AwkwardText(random, 6), std::nullopt};
    if (random() % 3 == 0)
      w.mNumber = int(random());
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(w.mKey, true)) << w.mKey.toStdString();
    if (w.mNumber)
      registry.WriteInteger(w.mName, *w.mNumber);
    else
      registry.WriteString(w.mName, w.mText);
    // A later write to the same value, folded alike, wins.
    const auto same = [&](const tWritten &aOther) {
      return NormalizeRegKey(aOther.mKey).compare(NormalizeRegKey(w.mKey), Qt::CaseInsensitive) ==
                 0 &&
             aOther.mName.compare(w.mName, Qt::CaseInsensitive) == 0;
    };
    written.removeIf(same);
    written.append(w);
  }
  const auto readBack = [&](const char *aWhen) {
    for (const tWritten &w : written) {
      TRegistry registry;
      ASSERT_TRUE(registry.OpenKeyReadOnly(w.mKey)) << aWhen << ": " << w.mKey.toStdString();
      if (w.mNumber)
        EXPECT_EQ(registry.ReadInteger(w.mName), *w.mNumber) << aWhen;
      else
        EXPECT_EQ(registry.ReadString(w.mName), w.mText) << aWhen << ": " << w.mKey.toStdString();
    }
  };
  readBack("as written");
  // The same bytes written anew by someone else are parsed again.
  const QByteArray bytes = ReadFile(TRegistry::FilePath());
  QFile::remove(TRegistry::FilePath());
  WriteFile(TRegistry::FilePath(), bytes);
  readBack("read anew");
  EXPECT_EQ(mDiagnostics, QStringList());
}

TEST_F(RegistryTest, ATextTheFileCannotHoldIsRefused) {
  const QString halfPair(1, QChar(0xD834));
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKey(QStringLiteral("\\A"), true));
  registry.WriteString(QStringLiteral("Kept"), QStringLiteral("1"));
  const QByteArray before = ReadFile(TRegistry::FilePath());
  EXPECT_THROW(registry.WriteString(QStringLiteral("Bad"), halfPair), ERegistryException);
  EXPECT_THROW(registry.WriteString(halfPair, QStringLiteral("x")), ERegistryException);
  EXPECT_FALSE(registry.OpenKey(QStringLiteral("\\A\\") + halfPair, true));
  EXPECT_EQ(ReadFile(TRegistry::FilePath()), before);
}

} // namespace
