#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// Keyed object lists: parallel arrays of keys and objects, sorted or in
// insertion order, owning their objects through a release callback. Their
// lookup rules decide how catalog paths resolve: unsorted lists find the
// last equal key, stored text keys are trimmed, and case folding covers the
// ASCII letters only.

inline constexpr int cListInitialCapacity = 32;

// Compares with the letters a-z taken as A-Z; every other character by code.
int CompareTextAsciiCase(const QString &aLeft, const QString &aRight);
bool SameTextAsciiCase(const QString &aLeft, const QString &aRight);
// Without leading and trailing blanks and control characters.
QString TrimControl(const QString &aText);

// The release callback that owning lists use: destroys the object, clears
// the slot.
template <typename T> void ReleaseObject(T *&aSlot) {
  delete aSlot;
  aSlot = nullptr;
}

template <typename T> class tStringListC {
public:
  using tReleaseFn = void (*)(T *&);

  tStringListC() { Reserve(cListInitialCapacity); }
  ~tStringListC() { Clear(); }
  tStringListC(const tStringListC &) = delete;
  tStringListC &operator=(const tStringListC &) = delete;

  void SetSorted(bool aSorted) { mSorted = aSorted; }
  void SetAllowDuplicates(bool aAllow) { mAllowDuplicates = aAllow; }
  void SetTrimKeys(bool aTrim) { mTrimKeys = aTrim; }
  void SetCaseSensitive(bool aCaseSensitive) { mCaseSensitive = aCaseSensitive; }
  void SetReleaseCallback(tReleaseFn aRelease) { mRelease = aRelease; }

  int Add(const QString &aKey, T *aObject) {
    if (!mAllowDuplicates && Contains(aKey))
      return IndexOf(aKey);
    if (mCount == mCapacity)
      Reserve(mCapacity * 2);
    const int position = mSorted ? IndexOf(aKey) : mCount;
    mKeys.insert(mKeys.begin() + position, mTrimKeys ? TrimControl(aKey) : aKey);
    mObjects.insert(mObjects.begin() + position, aObject);
    ++mCount;
    return position;
  }

  int IndexOf(const QString &aKey) const {
    if (!mSorted) {
      for (int i = mCount - 1; i >= 0; --i) {
        if (Compare(mKeys[size_t(i)], aKey) == 0)
          return i;
      }
      return mCount;
    }
    int low = 0;
    int high = mCount - 1;
    while (low <= high) {
      const int middle = (low + high) / 2;
      const int order = Compare(mKeys[size_t(middle)], aKey);
      if (order == 0)
        return middle;
      if (order < 0)
        low = middle + 1;
      else
        high = middle - 1;
    }
    return low;
  }

  bool Contains(const QString &aKey) const {
    const int i = IndexOf(aKey);
    return i < mCount && Compare(mKeys[size_t(i)], aKey) == 0;
  }

  T *Find(const QString &aKey) const {
    const int i = IndexOf(aKey);
    return i < mCount && Compare(mKeys[size_t(i)], aKey) == 0 ? mObjects[size_t(i)] : nullptr;
  }

  T *ObjectAt(int aIndex) const { return mObjects[size_t(aIndex)]; }
  const QString &KeyAt(int aIndex) const { return mKeys[size_t(aIndex)]; }
  int Count() const { return mCount; }
  int Capacity() const { return mCapacity; }

  void Clear() {
    if (mRelease) {
      for (T *&object : mObjects)
        mRelease(object);
    }
    std::vector<QString>().swap(mKeys);
    std::vector<T *>().swap(mObjects);
    mCount = 0;
    mCapacity = 0;
    Reserve(cListInitialCapacity);
  }

private:
  int Compare(const QString &aLeft, const QString &aRight) const {
    return mCaseSensitive ? QString::compare(aLeft, aRight, Qt::CaseSensitive)
                          : CompareTextAsciiCase(aLeft, aRight);
  }
  void Reserve(int aCapacity) {
    mCapacity = aCapacity;
    mKeys.reserve(size_t(aCapacity));
    mObjects.reserve(size_t(aCapacity));
  }

  std::vector<QString> mKeys;
  std::vector<T *> mObjects;
  int mCapacity = 0;
  int mCount = 0;
  bool mSorted = true;
  bool mAllowDuplicates = true;
  bool mTrimKeys = true;
  bool mCaseSensitive = false;
  tReleaseFn mRelease = nullptr;
};

// Keys are integers or object references; they compare as signed numbers.
template <typename T> class tIntegerListC {
public:
  using tKey = std::intptr_t;
  using tReleaseFn = void (*)(T *&);

  tIntegerListC() { Reserve(cListInitialCapacity); }
  ~tIntegerListC() { Clear(); }
  tIntegerListC(const tIntegerListC &) = delete;
  tIntegerListC &operator=(const tIntegerListC &) = delete;

  static tKey KeyOf(const void *aObject) { return reinterpret_cast<tKey>(aObject); }

  void SetSorted(bool aSorted) { mSorted = aSorted; }
  void SetAllowDuplicates(bool aAllow) { mAllowDuplicates = aAllow; }
  void SetReleaseCallback(tReleaseFn aRelease) { mRelease = aRelease; }

  int Add(tKey aKey, T *aObject) {
    if (!mAllowDuplicates && Contains(aKey))
      return -1;
    if (mCount == mCapacity)
      Reserve(mCapacity * 2);
    const int position = mSorted ? IndexOf(aKey) : mCount;
    mKeys.insert(mKeys.begin() + position, aKey);
    mObjects.insert(mObjects.begin() + position, aObject);
    ++mCount;
    return position;
  }

  int IndexOf(tKey aKey) const {
    if (!mSorted) {
      for (int i = mCount - 1; i >= 0; --i) {
        if (mKeys[size_t(i)] == aKey)
          return i;
      }
      return mCount;
    }
    int low = 0;
    int high = mCount - 1;
    while (low <= high) {
      const int middle = (low + high) / 2;
      if (mKeys[size_t(middle)] == aKey)
        return middle;
      if (mKeys[size_t(middle)] < aKey)
        low = middle + 1;
      else
        high = middle - 1;
    }
    return low;
  }

  bool Contains(tKey aKey) const {
    const int i = IndexOf(aKey);
    return i < mCount && mKeys[size_t(i)] == aKey;
  }

  T *ObjectAt(int aIndex) const { return mObjects[size_t(aIndex)]; }
  tKey KeyAt(int aIndex) const { return mKeys[size_t(aIndex)]; }
  int Count() const { return mCount; }
  int Capacity() const { return mCapacity; }

  void Delete(int aIndex) {
    if (aIndex < 0 || aIndex >= mCount)
      return;
    if (mRelease)
      mRelease(mObjects[size_t(aIndex)]);
    mKeys.erase(mKeys.begin() + aIndex);
    mObjects.erase(mObjects.begin() + aIndex);
    --mCount;
  }

  void Remove(tKey aKey) {
    if (Contains(aKey))
      Delete(IndexOf(aKey));
  }

  void Clear() {
    if (mRelease) {
      for (T *&object : mObjects)
        mRelease(object);
    }
    std::vector<tKey>().swap(mKeys);
    std::vector<T *>().swap(mObjects);
    mCount = 0;
    mCapacity = 0;
    Reserve(cListInitialCapacity);
  }

private:
  void Reserve(int aCapacity) {
    mCapacity = aCapacity;
    mKeys.reserve(size_t(aCapacity));
    mObjects.reserve(size_t(aCapacity));
  }

  std::vector<tKey> mKeys;
  std::vector<T *> mObjects;
  int mCapacity = 0;
  int mCount = 0;
  bool mSorted = true;
  bool mAllowDuplicates = false;
  tReleaseFn mRelease = nullptr;
};
