#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>
#include <utility>

// What a partial file was fetched against: the first answer's validator
// (strong ETag, else Last-Modified) and the whole file's size. Kept beside
// the partial file, so a resume asks If-Range for exactly that content.
struct tResumeStateC {
  int64_t mTotal = 0;
  QByteArray mValidator;
  bool operator==(const tResumeStateC &) const = default;
};

// The file that holds it: the local file's path + ".resume".
QString ResumeStatePath(const QString &aLocalFile);
// Text of the state file; Parse takes only what Format writes: a validator
// of printable ASCII (it goes back into a request header) and a size of
// decimal digits that fits.
QByteArray FormatResumeState(const tResumeStateC &aState);
std::optional<tResumeStateC> ParseResumeState(const QByteArray &aText);
// Missing or unreadable state gives nothing: the transfer then starts anew.
std::optional<tResumeStateC> ReadResumeState(const QString &aLocalFile);
// Returns the empty text or what went wrong.
QString WriteResumeState(const QString &aLocalFile, const tResumeStateC &aState);
void RemoveResumeState(const QString &aLocalFile);

// The validator an answer offers for a later If-Range: its ETag when strong,
// else its Last-Modified; nothing when neither is usable.
std::optional<QByteArray> ResumeValidator(const QList<std::pair<QByteArray, QByteArray>> &aHeaders);

// "bytes first-last/total"; a total of "*" is -1.
struct tContentRangeC {
  int64_t mFirst = 0;
  int64_t mLast = 0;
  int64_t mTotal = -1;
};
std::optional<tContentRangeC> ParseContentRange(const QByteArray &aValue);
// Decimal digits only, fitting in 64 bits.
std::optional<int64_t> ParseByteCount(const QByteArray &aText);

// The progress steps of a transfer as 1024-byte reads show them, whatever
// chunks the data arrives in: Step = Total div 100 bytes per step; a block
// that brings the local bytes to Step * Next shows Next and moves it on by
// one, up to 100.
class tProgressRuleC {
public:
  static constexpr int64_t cBlock = 1024;
  // aDone: the bytes the local file holds already.
  tProgressRuleC(int64_t aTotal, int64_t aDone);
  // The step shown before the first block (Done div Step when resuming).
  int32_t Percent() const { return mPercent; }
  // aCount more bytes arrived; the steps to show, one per block that met
  // the rule.
  QList<int32_t> Received(int64_t aCount);
  // The body ended: a short last block counts as a block too.
  QList<int32_t> Ended();
  int64_t Done() const { return mDone; }

private:
  void Block(int64_t aDone, QList<int32_t> &aShown);
  int64_t mStep;
  int64_t mDone;        // every byte held locally
  int64_t mPending = 0; // bytes of the block being read
  int64_t mNext = 1;
  int32_t mPercent = 0;
};
