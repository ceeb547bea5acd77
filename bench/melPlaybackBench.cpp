#include "melPlaybackBench.h"

#include "melCatalogListView.h"
#include "melLogging.h"
#include "melMain.h"

#include <QApplication>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <vector>

QString tBenchHomeC::Prepare(const tClipSpecC &aClip) {
  if (!mHome.isValid())
    return QStringLiteral("no temporary folder");
  qputenv("MELODRA_HOME", QFile::encodeName(mHome.path()));
  if (QString error = MakeTestClip(Clip(), aClip); !error.isEmpty())
    return error;
  QFile catalog(mHome.filePath(QStringLiteral("Catalog.xml")));
  if (!catalog.open(QIODevice::WriteOnly))
    return catalog.errorString();
  catalog.write("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<Catalog version=\"1.0\">"
                "<Category name=\"A\"><Category name=\"B\"><Category name=\"C\">"
                "<File name=\"Clip\"><Filename>clip.mp4</Filename><FileType>Movie</FileType>"
                "</File></Category></Category></Category></Catalog>");
  catalog.close();
  OpenLog();
  mApplication = DefaultApplication();
  SetCurrentApplication(mApplication.get());
  return {};
}

tBenchHomeC::~tBenchHomeC() {
  if (mApplication) {
    SetCurrentApplication(nullptr);
    CloseLog();
  }
}

bool ShowWithEpisodeListed(TMain &aWindow) {
  aWindow.show();
  if (!QTest::qWaitForWindowExposed(&aWindow))
    return false;
  QTest::qWait(300);
  aWindow.CategoryColumn(0)->SelectRow(1); // the category, down to its episode
  aWindow.findChild<TCatalogListView *>(QStringLiteral("fContentLv"))->SelectRow(-1);
  QTest::qWait(200);
  return true;
}

void DoubleClickEpisode(TMain &aWindow) {
  auto *list = aWindow.findChild<TCatalogListView *>(QStringLiteral("fContentLv"));
  list->SelectRow(0);
  emit list->itemDoubleClicked(list->topLevelItem(0), 0);
}

double Median(std::vector<double> aValues) {
  std::sort(aValues.begin(), aValues.end());
  return aValues.empty() ? 0 : aValues[aValues.size() / 2];
}

int RunPlaybackBench(int aArgc, char **aArgv, const tClipSpecC &aClip,
                     const std::function<int(const tBenchHomeC &)> &aBody) {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(aArgc, aArgv);
  std::setlocale(LC_NUMERIC, "C");
  tBenchHomeC home;
  if (const QString error = home.Prepare(aClip); !error.isEmpty()) {
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return 1;
  }
  return aBody(home);
}
