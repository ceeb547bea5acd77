// The settings file parser on any text: parsed, written and parsed again, a
// file keeps its sections and values, and its text after the first rewrite.
#include "melFuzzSupport.h"
#include "melRegistryFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *aData, size_t aSize) {
  const QString text = QString::fromUtf8(reinterpret_cast<const char *>(aData), qsizetype(aSize));
  const tRegistryFileC first = tRegistryFileC::Parse(text);
  const QString written = first.Serialize();
  const tRegistryFileC second = tRegistryFileC::Parse(written);
  if (second.mProblemLine != 0)
    FuzzFailure("a written file has a malformed line",
                second.mProblem + QStringLiteral(" at line ") +
                    QString::number(second.mProblemLine) + u'\n' + written);
  if (!second.SameContent(first))
    FuzzFailure("a rewrite changed the sections or values", written);
  if (second.Serialize() != written)
    FuzzFailure("a second rewrite changed the text", written);
  (void)first.SubkeyNames(QStringLiteral("Software"));
  return 0;
}
