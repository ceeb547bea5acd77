#include "ocLists.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

struct tCountedC {
  explicit tCountedC(int &aAlive) : mAlive(aAlive) { ++mAlive; }
  ~tCountedC() { --mAlive; }
  int &mAlive;
};

tStringListC<int> *UnsortedStrings() {
  auto *list = new tStringListC<int>;
  list->SetSorted(false);
  return list;
}

TEST(StringListTest, UnsortedLookupFindsTheLastEqualKeyIgnoringAsciiCase) {
  std::unique_ptr<tStringListC<int>> list(UnsortedStrings());
  int blues = 1, rock = 2, lower = 3;
  list->Add(QStringLiteral("Blues"), &blues);
  list->Add(QStringLiteral("Rock"), &rock);
  list->Add(QStringLiteral("blues"), &lower);
  EXPECT_EQ(list->Find(QStringLiteral("BLUES")), &lower);
  EXPECT_EQ(list->IndexOf(QStringLiteral("rOCK")), 1);
  EXPECT_EQ(list->IndexOf(QStringLiteral("Jazz")), 3); // the count: not found
  EXPECT_EQ(list->Find(QStringLiteral("Jazz")), nullptr);
  // Only a-z fold: accented letters are compared by code.
  int cafe = 4;
  list->Add(QString::fromUtf8("Café"), &cafe);
  EXPECT_EQ(list->Find(QString::fromUtf8("CAFé")), &cafe);
  EXPECT_EQ(list->Find(QString::fromUtf8("CAFÉ")), nullptr);
}

TEST(StringListTest, StoredKeysAreTrimmedButLookupKeysAreNot) {
  std::unique_ptr<tStringListC<int>> list(UnsortedStrings());
  int a = 1;
  list->Add(QStringLiteral(" \tA "), &a);
  EXPECT_EQ(list->KeyAt(0), QStringLiteral("A"));
  EXPECT_EQ(list->Find(QStringLiteral("A")), &a);
  EXPECT_EQ(list->Find(QStringLiteral(" \tA ")), nullptr);
  list->SetTrimKeys(false);
  list->Add(QStringLiteral(" B "), &a);
  EXPECT_EQ(list->KeyAt(1), QStringLiteral(" B "));
}

TEST(StringListTest, RefusedDuplicatesGiveTheExistingIndex) {
  std::unique_ptr<tStringListC<int>> list(UnsortedStrings());
  list->SetAllowDuplicates(false);
  int a = 1, b = 2;
  EXPECT_EQ(list->Add(QStringLiteral("Jazz"), &a), 0);
  EXPECT_EQ(list->Add(QStringLiteral("JAZZ"), &b), 0);
  EXPECT_EQ(list->Count(), 1);
  EXPECT_EQ(list->Find(QStringLiteral("jazz")), &a);
}

TEST(StringListTest, SortedListsKeepAscendingOrder) {
  tStringListC<int> list;
  int x = 0;
  for (const char *key : {"delta", "Alpha", "charlie", "Bravo"})
    list.Add(QString::fromLatin1(key), &x);
  QStringList keys;
  for (int i = 0; i < list.Count(); ++i)
    keys << list.KeyAt(i);
  EXPECT_EQ(keys, (QStringList{QStringLiteral("Alpha"), QStringLiteral("Bravo"),
                               QStringLiteral("charlie"), QStringLiteral("delta")}));
  EXPECT_TRUE(list.Contains(QStringLiteral("CHARLIE")));
  EXPECT_EQ(list.IndexOf(QStringLiteral("Beta")), 1);
}

TEST(IntegerListTest, RefusesDuplicatesWithMinusOne) {
  tIntegerListC<int> list;
  list.SetSorted(false);
  int a = 1;
  EXPECT_EQ(list.Add(7, &a), 0);
  EXPECT_EQ(list.Add(7, &a), -1);
  EXPECT_EQ(list.Count(), 1);
  list.SetAllowDuplicates(true);
  EXPECT_EQ(list.Add(7, &a), 1);
  EXPECT_EQ(list.IndexOf(7), 1);
}

TEST(IntegerListTest, StorageGrowsWithTheListAndGoesWithClear) {
  // A catalog holds many small lists: an empty one reserves nothing.
  tIntegerListC<int> list;
  list.SetSorted(false);
  EXPECT_EQ(list.Capacity(), 0);
  std::vector<int> values(40);
  const int expected[] = {1, 2, 4, 4, 8, 8, 8, 8, 16};
  for (int i = 0; i < 33; ++i) {
    list.Add(100 - i, &values[size_t(i)]);
    if (i < 9) {
      EXPECT_EQ(list.Capacity(), expected[i]) << "after add " << i + 1;
    }
  }
  EXPECT_EQ(list.Capacity(), 64);
  for (int i = 0; i < 33; ++i) {
    EXPECT_EQ(list.KeyAt(i), 100 - i);
    EXPECT_EQ(list.ObjectAt(i), &values[size_t(i)]);
  }
  list.Clear();
  EXPECT_EQ(list.Capacity(), 0);
  EXPECT_EQ(list.Count(), 0);
}

TEST(IntegerListTest, OwningListsReleaseOnDeleteRemoveClearAndDestroy) {
  int alive = 0;
  {
    tIntegerListC<tCountedC> list;
    list.SetSorted(false);
    list.SetReleaseCallback(ReleaseObject<tCountedC>);
    for (int i = 0; i < 4; ++i) {
      auto *object = new tCountedC(alive);
      list.Add(tIntegerListC<tCountedC>::KeyOf(object), object);
    }
    EXPECT_EQ(alive, 4);
    tCountedC *second = list.ObjectAt(1);
    list.Delete(0);
    EXPECT_EQ(alive, 3);
    EXPECT_EQ(list.ObjectAt(0), second);
    list.Delete(17); // outside: ignored
    list.Remove(tIntegerListC<tCountedC>::KeyOf(second));
    EXPECT_EQ(alive, 2);
    EXPECT_EQ(list.Count(), 2);
  }
  EXPECT_EQ(alive, 0);

  tStringListC<tCountedC> names;
  names.SetReleaseCallback(ReleaseObject<tCountedC>);
  names.Add(QStringLiteral("a"), new tCountedC(alive));
  names.Add(QStringLiteral("b"), new tCountedC(alive));
  names.Clear();
  EXPECT_EQ(alive, 0);
}

} // namespace
