#include "melApplications.h"
#include "melLogging.h"
#include "melTestEnv.h"

namespace {

class ApplicationsTest : public TTempHomeTest {
protected:
  void SetUp() override {
    TTempHomeTest::SetUp();
    OpenTestLog();
  }
  void TearDown() override {
    SetCurrentApplication(nullptr);
    TTempHomeTest::TearDown();
  }
  // A registered application whose pictures exist unless told otherwise.
  QStringList App(const QString &aKey, const QString &aName, bool aUp = true, bool aDown = true) {
    const QString up = aKey + QStringLiteral("-up.png");
    const QString down = aKey + QStringLiteral("-down.png");
    if (aUp)
      WriteFile(HomeFile(up), "png");
    if (aDown)
      WriteFile(HomeFile(down), "png");
    return {QStringLiteral("[HKEY_LOCAL_MACHINE\\Software\\Melodra\\Lessondeck\\Applications\\") +
                aKey + u']',
            QStringLiteral("\"Name\"=\"%1\"").arg(aName),
            QStringLiteral("\"IconUp\"=\"%1\"").arg(up),
            QStringLiteral("\"IconDown\"=\"%1\"").arg(down),
            QStringLiteral("\"Catalog\"=\"%1.xml\"").arg(aKey)};
  }
  QStringList GetApplicationLines() {
    return {QStringLiteral("Enter to GetApplication : tApplicationC"),
            QStringLiteral("Entered to melUtil.GetApplications")};
  }
  QString CountLine(int aIndex, const QString &aKey, const QString &aName) {
    return QStringLiteral("Count: %1 ApplicationName: %3, ApplicationIconUp: %2-up.png, "
                          "ApplicationIconDown: %2-down.png, ApplicationCatalog: %2.xml")
        .arg(aIndex)
        .arg(aKey, aName);
  }
  int mPickerShown = 0;
  tPickApplicationFn Picker(int aChoice) {
    return [this, aChoice](const tApplicationListC &) {
      ++mPickerShown;
      return aChoice;
    };
  }
};

TEST_F(ApplicationsTest, NoRegistryGivesTheStoreApplication) {
  const tApplicationC *application = GetApplication(Picker(0));
  ASSERT_NE(application, nullptr);
  EXPECT_EQ(application->mName, QStringLiteral("Download Store"));
  EXPECT_EQ(application->mCatalog, QStringLiteral("Catalog.xml"));
  EXPECT_EQ(mPickerShown, 0);
  SetCurrentApplication(application);
  EXPECT_TRUE(IsStoreApplication());
  EXPECT_EQ(
      LogMessages(),
      (QStringList{QStringLiteral("Enter to GetApplication : tApplicationC"),
                   QStringLiteral("Entered to melUtil.GetApplications"),
                   QStringLiteral("melUtil.GetApplications - "
                                  "\\Software\\Melodra\\Lessondeck\\Application key not found"),
                   QStringLiteral("Exit from melUtil.GetApplications"),
                   QStringLiteral("vApplications.mCount: 0"),
                   QStringLiteral("Entered to melUtil.CheckFilesExisting"),
                   QStringLiteral("Exit from melUtil.CheckFilesExisting"),
                   QStringLiteral("Exit from GetApplication : tApplicationC")}));
}

TEST_F(ApplicationsTest, AMissingPictureDropsItsApplicationAndTheOtherIsTaken) {
  WriteRegistry(App(QStringLiteral("a"), QStringLiteral("Guitar")) +
                App(QStringLiteral("b"), QStringLiteral("Piano"), true, false));
  const tApplicationC *application = GetApplication(Picker(0));
  ASSERT_NE(application, nullptr);
  EXPECT_EQ(application->mName, QStringLiteral("Guitar"));
  EXPECT_EQ(application->mCatalog, QStringLiteral("a.xml"));
  EXPECT_EQ(mPickerShown, 0);
  const QStringList log = LogMessages();
  EXPECT_TRUE(log.contains(CountLine(0, QStringLiteral("a"), QStringLiteral("Guitar"))));
  EXPECT_TRUE(log.contains(CountLine(1, QStringLiteral("b"), QStringLiteral("Piano"))));
  EXPECT_TRUE(log.contains(QStringLiteral("vApplications.mCount: 2")));
  EXPECT_TRUE(log.contains(QStringLiteral("count: 1file %1 not exist").arg(HomeFile("b-down.png"))))
      << log.join(u'\n').toStdString();
  EXPECT_EQ(log.filter(QStringLiteral(" not exist")).size(), 1);
}

TEST_F(ApplicationsTest, CheckFilesExistingCountsEntryPositions) {
  // Entry indices keep counting after a removal; an empty picture value is
  // the program folder itself, which is no file.
  WriteRegistry(App(QStringLiteral("a"), QStringLiteral("A"), false, false) +
                App(QStringLiteral("b"), QStringLiteral("B")) +
                QStringList{QStringLiteral("[HKEY_LOCAL_MACHINE\\Software\\Melodra\\Lessondeck\\"
                                           "Applications\\c]"),
                            QStringLiteral("\"Name\"=\"C\"")});
  auto list = GetApplications();
  ASSERT_EQ(list->Count(), 3);
  CheckFilesExisting(*list);
  ASSERT_EQ(list->Count(), 1);
  EXPECT_EQ(list->Items(0)->mName, QStringLiteral("B"));
  EXPECT_EQ(LogMessages().filter(QStringLiteral("not exist")),
            (QStringList{QStringLiteral("count: 0file %1 not exist").arg(HomeFile("a-up.png")),
                         QStringLiteral("count: 0file %1 not exist").arg(HomeFile("a-down.png")),
                         QStringLiteral("count: 2file %1 not exist").arg(Home()),
                         QStringLiteral("count: 2file %1 not exist").arg(Home())}));
}

TEST_F(ApplicationsTest, ANonTextNameSkipsItsSubkeyAndLeavesAGap) {
  QStringList broken = App(QStringLiteral("b"), QStringLiteral("Broken"));
  broken[1] = QStringLiteral("\"Name\"=dword:00000007");
  // Subkeys are read in ascending order ignoring case, not in file order.
  WriteRegistry(App(QStringLiteral("C"), QStringLiteral("Drums")) + broken +
                App(QStringLiteral("a"), QStringLiteral("Guitar")));
  auto list = GetApplications();
  ASSERT_EQ(list->Count(), 2);
  EXPECT_EQ(list->Items(0)->mName, QStringLiteral("Guitar"));
  EXPECT_EQ(list->Items(1)->mName, QStringLiteral("Drums"));
  EXPECT_EQ(LogMessages().filter(QStringLiteral("Count: ")),
            (QStringList{CountLine(0, QStringLiteral("a"), QStringLiteral("Guitar")),
                         CountLine(2, QStringLiteral("C"), QStringLiteral("Drums"))}));
}

TEST_F(ApplicationsTest, ThePickerChoosesAmongSeveralOrQuits) {
  WriteRegistry(App(QStringLiteral("a"), QStringLiteral("Guitar")) +
                App(QStringLiteral("b"), QStringLiteral("Piano")) +
                App(QStringLiteral("c"), QStringLiteral("Download Store")));
  const tApplicationC *chosen = GetApplication(Picker(2));
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(chosen->mName, QStringLiteral("Download Store"));
  SetCurrentApplication(chosen);
  EXPECT_TRUE(IsStoreApplication());
  EXPECT_EQ(CatalogFilePath().replace(u'\\', u'/'), HomeFile(QStringLiteral("c.xml")));
  QStringList log = LogMessages();
  EXPECT_EQ(log.mid(log.size() - 2),
            (QStringList{QStringLiteral("show PickApplication"),
                         QStringLiteral("Exit from GetApplication : tApplicationC")}));

  const qsizetype before = LogMessages().size();
  EXPECT_EQ(GetApplication(Picker(-1)), nullptr);
  EXPECT_EQ(mPickerShown, 2);
  log = LogMessages();
  EXPECT_EQ(log.last(), QStringLiteral("show PickApplication"));
  EXPECT_GT(log.size(), before);
}

TEST_F(ApplicationsTest, OnlyTheExactStoreNameIsTheStoreApplication) {
  tApplicationC application;
  for (const auto &[name, store] : {std::pair{"Download Store", true},
                                    {"download store", false},
                                    {"Download Store ", false},
                                    {"Guitar", false}}) {
    application.mName = QString::fromUtf8(name);
    SetCurrentApplication(&application);
    EXPECT_EQ(IsStoreApplication(), store) << name;
  }
}

} // namespace
