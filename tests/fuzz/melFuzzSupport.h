#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A temporary program folder for the whole run (MELODRA_HOME points at it).
QString FuzzHome();
void WriteFuzzFile(const QString &aPath, const QByteArray &aData);
QByteArray ReadFuzzFile(const QString &aPath);

// A broken property: print it with the values and abort, so libFuzzer keeps
// the input.
[[noreturn]] inline void FuzzFailure(const char *aWhat, const QString &aDetail = {}) {
  std::fprintf(stderr, "fuzz property broken: %s\n%s\n", aWhat, aDetail.toUtf8().constData());
  std::abort();
}
