// Any bytes as the resume state kept beside a partial file, and as the
// Content-Range of a store's answer: a state read back formats to itself and
// holds only what may go into a request header; a range read is ordered.
#include "melDownloadResume.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *aData, size_t aSize) {
  const QByteArray text(reinterpret_cast<const char *>(aData), qsizetype(aSize));
  if (const auto state = ParseResumeState(text)) {
    if (state->mTotal < 0 || state->mValidator.isEmpty())
      std::abort();
    for (const char c : state->mValidator)
      if (uchar(c) < 0x20 || uchar(c) > 0x7E)
        std::abort();
    if (ParseResumeState(FormatResumeState(*state)) != state)
      std::abort();
  }
  if (const auto range = ParseContentRange(text)) {
    if (range->mFirst < 0 || range->mLast < range->mFirst ||
        (range->mTotal != -1 && range->mTotal <= range->mLast))
      std::abort();
  }
  return 0;
}
