#include "melDownloadResume.h"

#include "melAtomicSave.h"

#include <QFile>

#include <limits>

namespace {

const QByteArray cHeader = "Melodra resume";
constexpr qsizetype cMaxValidator = 512;

bool SafeHeaderText(const QByteArray &aText) {
  if (aText.isEmpty() || aText.size() > cMaxValidator)
    return false;
  for (const char c : aText)
    if (uchar(c) < 0x20 || uchar(c) > 0x7E)
      return false;
  return aText == aText.trimmed();
}

QByteArray FirstHeader(const QList<std::pair<QByteArray, QByteArray>> &aHeaders,
                       const QByteArray &aName) {
  for (const auto &[name, value] : aHeaders)
    if (name.compare(aName, Qt::CaseInsensitive) == 0)
      return value.trimmed();
  return {};
}

} // namespace

QString ResumeStatePath(const QString &aLocalFile) {
  return aLocalFile + QStringLiteral(".resume");
}

QByteArray FormatResumeState(const tResumeStateC &aState) {
  return cHeader + "\nTotal=" + QByteArray::number(qint64(aState.mTotal)) +
         "\nValidator=" + aState.mValidator + '\n';
}

std::optional<int64_t> ParseByteCount(const QByteArray &aText) {
  if (aText.isEmpty() || aText.size() > 19)
    return std::nullopt;
  int64_t value = 0;
  for (const char c : aText) {
    if (c < '0' || c > '9')
      return std::nullopt;
    const int digit = c - '0';
    if (value > (std::numeric_limits<int64_t>::max() - digit) / 10)
      return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

std::optional<tResumeStateC> ParseResumeState(const QByteArray &aText) {
  QList<QByteArray> lines = aText.split('\n');
  if (!lines.isEmpty() && lines.last().isEmpty())
    lines.removeLast();
  if (lines.size() != 3 || lines[0] != cHeader || !lines[1].startsWith("Total=") ||
      !lines[2].startsWith("Validator="))
    return std::nullopt;
  tResumeStateC state;
  const auto total = ParseByteCount(lines[1].mid(6));
  if (!total)
    return std::nullopt;
  state.mTotal = *total;
  state.mValidator = lines[2].mid(10);
  if (!SafeHeaderText(state.mValidator))
    return std::nullopt;
  return state;
}

std::optional<tResumeStateC> ReadResumeState(const QString &aLocalFile) {
  QFile file(ResumeStatePath(aLocalFile));
  if (!file.open(QIODevice::ReadOnly))
    return std::nullopt;
  return ParseResumeState(file.read(4096));
}

QString WriteResumeState(const QString &aLocalFile, const tResumeStateC &aState) {
  return SaveFileAtomically(ResumeStatePath(aLocalFile), FormatResumeState(aState),
                            QStringLiteral("resume state"));
}

void RemoveResumeState(const QString &aLocalFile) {
  QFile::remove(ResumeStatePath(aLocalFile));
}

std::optional<QByteArray>
ResumeValidator(const QList<std::pair<QByteArray, QByteArray>> &aHeaders) {
  const QByteArray etag = FirstHeader(aHeaders, "ETag");
  // A weak tag promises only equivalent content, not the same bytes.
  if (etag.size() >= 2 && etag.startsWith('"') && etag.endsWith('"') && SafeHeaderText(etag))
    return etag;
  const QByteArray modified = FirstHeader(aHeaders, "Last-Modified");
  if (SafeHeaderText(modified))
    return modified;
  return std::nullopt;
}

std::optional<tContentRangeC> ParseContentRange(const QByteArray &aValue) {
  const QByteArray value = aValue.trimmed();
  if (!value.startsWith("bytes "))
    return std::nullopt;
  const QByteArray spec = value.mid(6).trimmed();
  const qsizetype dash = spec.indexOf('-');
  const qsizetype slash = spec.indexOf('/');
  if (dash <= 0 || slash <= dash + 1)
    return std::nullopt;
  const auto first = ParseByteCount(spec.left(dash));
  const auto last = ParseByteCount(spec.mid(dash + 1, slash - dash - 1));
  if (!first || !last || *last < *first)
    return std::nullopt;
  tContentRangeC range{*first, *last, -1};
  const QByteArray total = spec.mid(slash + 1);
  if (total != "*") {
    const auto count = ParseByteCount(total);
    if (!count || *count <= *last)
      return std::nullopt;
    range.mTotal = *count;
  }
  return range;
}

tProgressRuleC::tProgressRuleC(int64_t aTotal, int64_t aDone)
    // A file under 100 bytes still counts one byte per step, so that a
    // resume has a defined first step.
    : mStep(std::max<int64_t>(aTotal / 100, 1)), mDone(aDone) {
  if (aDone > 0) {
    mNext = aDone / mStep;
    mPercent = int32_t(std::min<int64_t>(mNext, std::numeric_limits<int32_t>::max()));
  }
}

void tProgressRuleC::Block(int64_t aDone, QList<int32_t> &aShown) {
  if (aDone >= mStep * mNext) {
    mPercent = int32_t(std::min<int64_t>(mNext, std::numeric_limits<int32_t>::max()));
    aShown.append(mPercent);
    if (mNext < 100)
      ++mNext;
  }
}

QList<int32_t> tProgressRuleC::Received(int64_t aCount) {
  QList<int32_t> shown;
  while (aCount > 0) {
    const int64_t take = std::min(aCount, cBlock - mPending);
    mPending += take;
    mDone += take;
    aCount -= take;
    if (mPending == cBlock) {
      mPending = 0;
      Block(mDone, shown);
    }
  }
  return shown;
}

QList<int32_t> tProgressRuleC::Ended() {
  QList<int32_t> shown;
  if (mPending > 0) {
    mPending = 0;
    Block(mDone, shown);
  }
  return shown;
}
