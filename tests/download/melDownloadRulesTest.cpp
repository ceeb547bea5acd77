#include "melDownloadResume.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The steps shown for a body delivered in the given chunk sizes (the last
// one repeated until aBody bytes have arrived).
QList<int32_t> Shown(int64_t aTotal, int64_t aDone, int64_t aBody, std::vector<int64_t> aChunks,
                     int32_t *aFirst = nullptr) {
  tProgressRuleC rule(aTotal, aDone);
  if (aFirst)
    *aFirst = rule.Percent();
  QList<int32_t> shown;
  size_t at = 0;
  while (aBody > 0) {
    const int64_t count = std::min(aBody, aChunks[std::min(at, aChunks.size() - 1)]);
    ++at;
    aBody -= count;
    shown += rule.Received(count);
  }
  shown += rule.Ended();
  return shown;
}

QList<int32_t> Range(int32_t aFirst, int32_t aLast) {
  QList<int32_t> result;
  for (int32_t i = aFirst; i <= aLast; ++i)
    result.append(i);
  return result;
}

} // namespace

TEST(ProgressRule, ShowsWhatReadsOf1024BytesWouldShowWhateverTheChunks) {
  struct tCaseC {
    const char *mName;
    int64_t mTotal;
    int64_t mDone;
    int32_t mFirst;
    QList<int32_t> mShown;
  };
  const tCaseC cases[] = {
      // Step 512: every block raises the step by one, 50 after the last.
      {"51200 from scratch", 51200, 0, 0, Range(1, 50)},
      // Step 1024: one step per block, 100 with the last.
      {"102400 from scratch", 102400, 0, 0, Range(1, 100)},
      // Step 2902; a resume shows Done div Step with its first block.
      {"resume of 30000 of 290225", 290225, 30000, 10, Range(10, 100)},
      // Step 0 would leave the first step undefined; it counts as 1.
      {"50 bytes", 50, 0, 0, {1}},
      {"resume of 20 of 50", 50, 20, 20, {20}},
  };
  for (const tCaseC &c : cases) {
    SCOPED_TRACE(c.mName);
    for (const std::vector<int64_t> &chunks :
         {std::vector<int64_t>{1024}, std::vector<int64_t>{16384}, std::vector<int64_t>{1},
          std::vector<int64_t>{1000, 3000, 7, 65536}}) {
      int32_t first = -1;
      const QList<int32_t> shown = Shown(c.mTotal, c.mDone, c.mTotal - c.mDone, chunks, &first);
      EXPECT_EQ(first, c.mFirst);
      EXPECT_EQ(shown, c.mShown) << "chunks of " << chunks.front();
    }
  }
}

TEST(ProgressRule, StaysAt100AndRepeatsItForEveryFurtherBlock) {
  // Step 1024: 100 with the 100th block; the short block after it shows
  // 100 again.
  EXPECT_EQ(Shown(102450, 0, 102450, {1024}), Range(1, 100) + QList<int32_t>{100});
  EXPECT_EQ(Shown(102450, 0, 102450, {300, 70000}), Range(1, 100) + QList<int32_t>{100});
}

TEST(ResumeState, ReadsBackWhatItWritesAndNothingElse) {
  const tResumeStateC state{290225, "\"46db1-6760e5a1-0\""};
  EXPECT_EQ(ParseResumeState(FormatResumeState(state)), state);
  const tResumeStateC dated{5, "Fri, 11 Dec 2026 15:09:00 GMT"};
  EXPECT_EQ(ParseResumeState(FormatResumeState(dated)), dated);
  const char *refused[] = {
      "",
      "Melodra resume\nTotal=5\n",
      "Melodra resume\nTotal=\nValidator=\"a\"\n",
      "Melodra resume\nTotal=-5\nValidator=\"a\"\n",
      "Melodra resume\nTotal=99999999999999999999\nValidator=\"a\"\n",
      "Melodra resume\nTotal=5\nValidator=\n",
      // It goes into a request header: no line breaks, no control bytes.
      "Melodra resume\nTotal=5\nValidator=\"a\"\rX-Evil: 1\n",
      "Melodra resume\nTotal=5\nValidator=\"a\xff\"\n",
      "Melodra resume\nTotal=5\nValidator=\"a\"\nmore\n",
      "Other\nTotal=5\nValidator=\"a\"\n",
  };
  for (const char *text : refused)
    EXPECT_FALSE(ParseResumeState(text).has_value()) << text;
}

TEST(ResumeState, TheValidatorIsAStrongTagElseTheDate) {
  using tHeaders = QList<std::pair<QByteArray, QByteArray>>;
  const QByteArray date = "Fri, 11 Dec 2026 15:09:00 GMT";
  EXPECT_EQ(ResumeValidator(tHeaders{{"ETag", "\"x\""}, {"Last-Modified", date}}), "\"x\"");
  EXPECT_EQ(ResumeValidator(tHeaders{{"etag", "W/\"x\""}, {"Last-Modified", date}}), date);
  EXPECT_EQ(ResumeValidator(tHeaders{{"ETag", "\"x"}, {"last-modified", date}}), date);
  EXPECT_FALSE(ResumeValidator(tHeaders{{"ETag", "W/\"x\""}}).has_value());
  EXPECT_FALSE(ResumeValidator(tHeaders{}).has_value());
}

TEST(ResumeState, ContentRangeIsReadStrictly) {
  const auto range = ParseContentRange("bytes 100-289999/290000");
  ASSERT_TRUE(range.has_value());
  EXPECT_EQ(range->mFirst, 100);
  EXPECT_EQ(range->mLast, 289999);
  EXPECT_EQ(range->mTotal, 290000);
  EXPECT_EQ(ParseContentRange("bytes 0-9/*")->mTotal, -1);
  // Sizes beyond 32 bits.
  EXPECT_EQ(ParseContentRange("bytes 4294967296-8589934591/8589934592")->mFirst, 4294967296LL);
  for (const char *bad : {"", "bytes */100", "bytes 5-4/100", "bytes 0-99/99", "items 0-9/10",
                          "bytes -5-9/10", "bytes 0-9/1x"})
    EXPECT_FALSE(ParseContentRange(bad).has_value()) << bad;
}
