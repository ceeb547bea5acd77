#pragma once

#include "melText.h"

#include <QString>

#include <cstdint>
#include <vector>

// Keyed object lists: parallel arrays of keys and objects, sorted or in
// insertion order, owning their objects through a release callback. Their
// lookup rules decide how catalog paths resolve: unsorted lists find the
// last equal key, stored text keys are trimmed, and case folding covers the
// ASCII letters only.

// The first growth of a list, doubled from there; an empty list holds no
// storage, since a catalog has many lists of one or two entries.
inline constexpr int cListInitialCapacity = 1;

// Without leading and trailing blanks and control characters.
QString TrimControl(const QString &aText);

// The release callback that owning lists use: destroys the object, clears
// the slot.
template <typename T> void ReleaseObject(T *&aSlot) {
  delete aSlot;
  aSlot = nullptr;
}

// The parallel arrays, their growth and the release of objects, shared by
// both lists.
template <typename K, typename T> class tKeyedListC {
public:
  using tReleaseFn = void (*)(T *&);

  tKeyedListC(const tKeyedListC &) = delete;
  tKeyedListC &operator=(const tKeyedListC &) = delete;

  void SetSorted(bool aSorted) { mSorted = aSorted; }
  void SetAllowDuplicates(bool aAllow) { mAllowDuplicates = aAllow; }
  void SetReleaseCallback(tReleaseFn aRelease) { mRelease = aRelease; }

  T *ObjectAt(int aIndex) const { return mObjects[size_t(aIndex)]; }
  const K &KeyAt(int aIndex) const { return mKeys[size_t(aIndex)]; }
  int Count() const { return mCount; }
  int Capacity() const { return mCapacity; }

  void Clear() {
    if (mRelease) {
      for (T *&object : mObjects)
        mRelease(object);
    }
    std::vector<K>().swap(mKeys);
    std::vector<T *>().swap(mObjects);
    mCount = 0;
    mCapacity = 0;
  }

protected:
  explicit tKeyedListC(bool aAllowDuplicates) : mAllowDuplicates(aAllowDuplicates) {}
  ~tKeyedListC() { Clear(); }

  // Unsorted: the last equal key, or the count. Sorted: an equal key, or
  // where the key would go. aCompare orders a stored key against the key.
  template <typename C> int Locate(C aCompare) const {
    if (!mSorted) {
      for (int i = mCount - 1; i >= 0; --i) {
        if (aCompare(mKeys[size_t(i)]) == 0)
          return i;
      }
      return mCount;
    }
    int low = 0;
    int high = mCount - 1;
    while (low <= high) {
      const int middle = (low + high) / 2;
      const int order = aCompare(mKeys[size_t(middle)]);
      if (order == 0)
        return middle;
      if (order < 0)
        low = middle + 1;
      else
        high = middle - 1;
    }
    return low;
  }

  int Insert(int aPosition, K aKey, T *aObject) {
    if (mCount == mCapacity)
      Reserve(mCapacity == 0 ? cListInitialCapacity : mCapacity * 2);
    const int position = mSorted ? aPosition : mCount;
    mKeys.insert(mKeys.begin() + position, std::move(aKey));
    mObjects.insert(mObjects.begin() + position, aObject);
    ++mCount;
    return position;
  }

  void DeleteAt(int aIndex) {
    if (aIndex < 0 || aIndex >= mCount)
      return;
    if (mRelease)
      mRelease(mObjects[size_t(aIndex)]);
    mKeys.erase(mKeys.begin() + aIndex);
    mObjects.erase(mObjects.begin() + aIndex);
    --mCount;
  }

  bool mSorted = true;
  bool mAllowDuplicates;

private:
  void Reserve(int aCapacity) {
    mCapacity = aCapacity;
    mKeys.reserve(size_t(aCapacity));
    mObjects.reserve(size_t(aCapacity));
  }

  std::vector<K> mKeys;
  std::vector<T *> mObjects;
  int mCapacity = 0;
  int mCount = 0;
  tReleaseFn mRelease = nullptr;
};

// Keyed by text: duplicates allowed, keys trimmed, ASCII case ignored, unless
// set otherwise.
template <typename T> class tStringListC : public tKeyedListC<QString, T> {
  using tBase = tKeyedListC<QString, T>;

public:
  tStringListC() : tBase(true) {}

  void SetTrimKeys(bool aTrim) { mTrimKeys = aTrim; }
  void SetCaseSensitive(bool aCaseSensitive) { mCaseSensitive = aCaseSensitive; }

  int Add(const QString &aKey, T *aObject) {
    if (!this->mAllowDuplicates && Contains(aKey))
      return IndexOf(aKey);
    return this->Insert(this->mSorted ? IndexOf(aKey) : 0, mTrimKeys ? TrimControl(aKey) : aKey,
                        aObject);
  }
  int IndexOf(const QString &aKey) const {
    return this->Locate([this, &aKey](const QString &aStored) { return Compare(aStored, aKey); });
  }
  bool Contains(const QString &aKey) const {
    const int i = IndexOf(aKey);
    return i < this->Count() && Compare(this->KeyAt(i), aKey) == 0;
  }
  T *Find(const QString &aKey) const {
    const int i = IndexOf(aKey);
    return i < this->Count() && Compare(this->KeyAt(i), aKey) == 0 ? this->ObjectAt(i) : nullptr;
  }

private:
  int Compare(const QString &aLeft, const QString &aRight) const {
    return mCaseSensitive ? QString::compare(aLeft, aRight, Qt::CaseSensitive)
                          : CompareTextAsciiCase(aLeft, aRight);
  }

  bool mTrimKeys = true;
  bool mCaseSensitive = false;
};

// Keyed by an integer or an object reference, compared as signed numbers;
// duplicates refused unless allowed.
template <typename T> class tIntegerListC : public tKeyedListC<std::intptr_t, T> {
  using tBase = tKeyedListC<std::intptr_t, T>;

public:
  using tKey = std::intptr_t;

  tIntegerListC() : tBase(false) {}

  static tKey KeyOf(const void *aObject) { return reinterpret_cast<tKey>(aObject); }

  int Add(tKey aKey, T *aObject) {
    if (!this->mAllowDuplicates && Contains(aKey))
      return -1;
    return this->Insert(this->mSorted ? IndexOf(aKey) : 0, aKey, aObject);
  }
  int IndexOf(tKey aKey) const {
    return this->Locate(
        [aKey](tKey aStored) { return aStored < aKey ? -1 : (aStored > aKey ? 1 : 0); });
  }
  bool Contains(tKey aKey) const {
    const int i = IndexOf(aKey);
    return i < this->Count() && this->KeyAt(i) == aKey;
  }
  void Delete(int aIndex) { this->DeleteAt(aIndex); }
  void Remove(tKey aKey) {
    if (Contains(aKey))
      Delete(IndexOf(aKey));
  }
};
