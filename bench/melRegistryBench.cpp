// The settings file: parsing a large file, and reads through the registry
// once the file is parsed.
#include "melRegistry.h"
#include "melRegistryFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int cSections = 40000;

QString LargeFile() {
  QString text = QStringLiteral("Windows Registry Editor Version 5.00\n");
  for (int i = 0; i < cSections; ++i) {
    text += QStringLiteral("\n[HKEY_LOCAL_MACHINE\\Software\\Melodra\\Application %1]\n").arg(i);
    text += QStringLiteral("\"Name\"=\"Lessons %1\"\n\"LastPath\"=\"\\\\Guitar\\\\Blues\\\\%1\"\n"
                           "\"Count\"=dword:%2\n")
                .arg(i)
                .arg(i, 8, 16, QChar(u'0'));
  }
  return text;
}

void BM_ParseSections(benchmark::State &aState) {
  const QString text = LargeFile();
  for (auto _ : aState) {
    auto file = std::make_unique<tRegistryFileC>(tRegistryFileC::Parse(text));
    benchmark::DoNotOptimize(file->mProblemLine);
    // Freeing the parsed file is not part of the parse.
    aState.PauseTiming();
    file.reset();
    aState.ResumeTiming();
  }
  aState.counters["sections"] = cSections;
}

void BM_ReadValue(benchmark::State &aState) {
  QTemporaryDir home;
  qputenv("MELODRA_HOME", QFile::encodeName(home.path()));
  QFile file(TRegistry::FilePath());
  if (!file.open(QIODevice::WriteOnly)) {
    aState.SkipWithError("Cannot write the settings file");
    return;
  }
  file.write(LargeFile().toUtf8());
  file.close();
  TRegistry registry;
  if (!registry.OpenKeyReadOnly(QStringLiteral("\\Software\\Melodra\\Application 20000"))) {
    aState.SkipWithError("The key is missing");
    return;
  }
  for (auto _ : aState)
    benchmark::DoNotOptimize(registry.ReadString(QStringLiteral("LastPath")));
  qunsetenv("MELODRA_HOME");
}

} // namespace

BENCHMARK(BM_ParseSections)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadValue)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
