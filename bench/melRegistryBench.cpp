// The settings file: parsing a large file, reads through the registry once
// the file is parsed, a write followed by a read, and listing many subkeys.
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

// One binary value of as many continuation lines as the large file has
// sections.
void BM_ParseLongBinary(benchmark::State &aState) {
  QString text = QStringLiteral("Windows Registry Editor Version 5.00\n\n"
                                "[HKEY_LOCAL_MACHINE\\Software\\Melodra]\n\"Blob\"=hex:00,\\\n");
  for (int i = 0; i < cSections; ++i)
    text += QStringLiteral("  00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,\\\n");
  text += QStringLiteral("  ff\n");
  for (auto _ : aState) {
    const tRegistryFileC file = tRegistryFileC::Parse(text);
    benchmark::DoNotOptimize(file.mProblemLine);
  }
  aState.counters["lines"] = cSections;
}

bool WriteLargeFile(benchmark::State &aState) {
  QFile file(TRegistry::FilePath());
  if (!file.open(QIODevice::WriteOnly)) {
    aState.SkipWithError("Cannot write the settings file");
    return false;
  }
  file.write(LargeFile().toUtf8());
  return true;
}

void BM_ReadValue(benchmark::State &aState) {
  QTemporaryDir home;
  qputenv("MELODRA_HOME", QFile::encodeName(home.path()));
  if (!WriteLargeFile(aState))
    return;
  TRegistry registry;
  if (!registry.OpenKeyReadOnly(QStringLiteral("\\Software\\Melodra\\Application 20000"))) {
    aState.SkipWithError("The key is missing");
    return;
  }
  for (auto _ : aState)
    benchmark::DoNotOptimize(registry.ReadString(QStringLiteral("LastPath")));
  qunsetenv("MELODRA_HOME");
}

// A write rewrites the whole file; the read after it must not parse it again.
void BM_WriteThenRead(benchmark::State &aState) {
  QTemporaryDir home;
  qputenv("MELODRA_HOME", QFile::encodeName(home.path()));
  if (!WriteLargeFile(aState))
    return;
  TRegistry registry;
  if (!registry.OpenKey(QStringLiteral("\\Software\\Melodra\\Application 20000"), false)) {
    aState.SkipWithError("The key is missing");
    return;
  }
  int count = 0;
  for (auto _ : aState) {
    registry.WriteString(QStringLiteral("LastPath"), QString::number(++count));
    benchmark::DoNotOptimize(registry.ReadString(QStringLiteral("Name")));
  }
  qunsetenv("MELODRA_HOME");
}

// The program opens a key for writing before each write; an existing key
// needs nothing copied.
void BM_OpenForWriting(benchmark::State &aState) {
  QTemporaryDir home;
  qputenv("MELODRA_HOME", QFile::encodeName(home.path()));
  if (!WriteLargeFile(aState))
    return;
  TRegistry registry;
  for (auto _ : aState)
    benchmark::DoNotOptimize(
        registry.OpenKey(QStringLiteral("\\Software\\Melodra\\Application 20000"), true));
  qunsetenv("MELODRA_HOME");
}

// The applications are the subkeys of one key.
void BM_SubkeyNames(benchmark::State &aState) {
  QTemporaryDir home;
  qputenv("MELODRA_HOME", QFile::encodeName(home.path()));
  if (!WriteLargeFile(aState))
    return;
  TRegistry registry;
  if (!registry.OpenKeyReadOnly(QStringLiteral("\\Software\\Melodra"))) {
    aState.SkipWithError("The key is missing");
    return;
  }
  for (auto _ : aState)
    benchmark::DoNotOptimize(registry.GetKeyNames());
  qunsetenv("MELODRA_HOME");
}

} // namespace

BENCHMARK(BM_ParseSections)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseLongBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadValue)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteThenRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenForWriting)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SubkeyNames)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
