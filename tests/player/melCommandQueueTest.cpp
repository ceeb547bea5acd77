#include "melCommandQueue.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Episodes only serve as identities here.
tFileItemC *const A = reinterpret_cast<tFileItemC *>(0x10);
tFileItemC *const B = reinterpret_cast<tFileItemC *>(0x20);
tFileItemC *const C = reinterpret_cast<tFileItemC *>(0x30);

std::string Describe(const tCommandQueueC &aQueue) {
  std::string text;
  for (int i = 0; i < aQueue.Count(); ++i) {
    const tQueueItemC &item = aQueue.At(i);
    static const char *const cNames[] = {"close", "open", "play", "rate"};
    text += std::string(i ? " " : "") + cNames[item.mKind];
    if (item.mData)
      text += item.mData == A ? "A" : item.mData == B ? "B" : "C";
  }
  return text;
}

struct tCommandC {
  uint8_t mKind;
  tFileItemC *mData;
};

struct tQueueCase {
  const char *mName;
  std::vector<tCommandC> mCommands;
  const char *mQueue;
};

class CommandQueueTest : public ::testing::TestWithParam<tQueueCase> {};

TEST_P(CommandQueueTest, NewCommandsDropThePendingOnesTheyMakePointless) {
  tCommandQueueC queue;
  for (const tCommandC &command : GetParam().mCommands)
    queue.Enqueue(command.mKind, command.mData);
  EXPECT_EQ(Describe(queue), GetParam().mQueue);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandQueueTest,
    ::testing::Values(
        tQueueCase{"DoubleClickAfterASelection",
                   {{qkClose, A}, {qkOpen, A}, {qkClose, B}, {qkOpen, B}, {qkPlay, nullptr}},
                   "closeA closeB openB play"},
        tQueueCase{
            "ThreeQuickSelections",
            {{qkClose, A}, {qkOpen, A}, {qkClose, B}, {qkOpen, B}, {qkClose, C}, {qkOpen, C}},
            "closeA closeB closeC openC"},
        tQueueCase{"APendingPlayGoesWithTheNextClose",
                   {{qkClose, A}, {qkOpen, A}, {qkPlay, nullptr}, {qkClose, B}},
                   "closeA openA closeB"},
        tQueueCase{"APlayOfAnEpisodeDropsOpensAndRates",
                   {{qkOpen, A}, {qkSetRate, nullptr}, {qkClose, A}, {qkPlay, B}},
                   "closeA playB"},
        tQueueCase{"APlayWithoutEpisodeKeepsOpensAndRates",
                   {{qkOpen, A}, {qkSetRate, nullptr}, {qkPlay, nullptr}, {qkPlay, nullptr}},
                   "openA rate play"},
        tQueueCase{"ARateChangeDropsAPlayOnly",
                   {{qkOpen, A}, {qkPlay, nullptr}, {qkSetRate, nullptr}},
                   "openA rate"}),
    [](const auto &aInfo) { return std::string(aInfo.param.mName); });

TEST(CommandQueueOwnershipTest, ItemsKeepTheirTreeAliveUntilDropped) {
  auto tree = std::make_shared<int>(1);
  std::weak_ptr<int> watch = tree;
  tCommandQueueC queue;
  queue.Enqueue(qkPlay, A, tree);
  tree.reset();
  EXPECT_FALSE(watch.expired());
  queue.Enqueue(qkClose, nullptr);
  EXPECT_TRUE(watch.expired());
}

TEST(CommandQueueHeadTest, TheHeadGoesOnlyWhenItIsStillTheCommandCarriedOut) {
  tCommandQueueC queue;
  queue.Enqueue(qkOpen, A);
  const tQueueItemC carriedOut = queue.Head();
  // While it was carried out, a newer open took its place at the head.
  queue.Enqueue(qkOpen, B);
  queue.ForgetEpisode(carriedOut.mSerial);
  queue.Done(carriedOut.mSerial);
  EXPECT_EQ(Describe(queue), "openB");
  // The same command again is a new one.
  queue.Enqueue(qkOpen, B);
  const uint64_t older = carriedOut.mSerial;
  queue.Done(older);
  EXPECT_EQ(Describe(queue), "openB");
  queue.ForgetEpisode(queue.Head().mSerial);
  EXPECT_EQ(Describe(queue), "open");
  queue.Done(queue.Head().mSerial);
  EXPECT_TRUE(queue.Empty());
}

} // namespace
