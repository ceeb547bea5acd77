#include "melCatalog.h"
#include "melText.h"

namespace {

inline bool IsAsciiLetter(char16_t aChar) {
  return (aChar >= u'a' && aChar <= u'z') || (aChar >= u'A' && aChar <= u'Z');
}

constexpr int cPrefetchAhead = 8;

void Prefetch(const tFileItemC *aEpisode) {
  __builtin_prefetch(aEpisode);
  for (const QString *text : {&aEpisode->mName, &aEpisode->mArtist, &aEpisode->mInstrument,
                              &aEpisode->mLevel, &aEpisode->mFileType})
    __builtin_prefetch(text->constData());
}

tCategoryItemC *AsCategory(tCatalogItemC *aItem) {
  return aItem && aItem->IsCategory() ? static_cast<tCategoryItemC *>(aItem) : nullptr;
}

} // namespace

tRowC EpisodeRow(tFileItemC &aEpisode) {
  tRowC row;
  row.mCaption = aEpisode.mName;
  row.mSubItems = {aEpisode.mArtist, aEpisode.mInstrument, aEpisode.mLevel};
  row.mData = &aEpisode;
  if (aEpisode.mFileType == QLatin1String("Movie"))
    row.mImageIndex = cMovieImage;
  else if (aEpisode.mFileType == QLatin1String("PDF"))
    row.mImageIndex = cPdfImage;
  return row;
}

void tCatalogC::FillCategoryView(tRowSinkC &aColumn, const QString &aPath) const {
  aColumn.BeginUpdate();
  aColumn.Clear();
  // A path naming an episode or nothing leaves the column empty.
  if (tCategoryItemC *category = AsCategory(FindItem(aPath))) {
    aColumn.Hold(mRoot);
    if (aPath == QLatin1String("\\")) {
      auto all = std::make_shared<tAllCategoryItemC>();
      aColumn.Hold(all);
      aColumn.AppendRow({all->GetName(), {}, all.get(), -1});
    }
    const int count = category->mItems.Count();
    for (int i = 0; i < count; ++i) {
      tCatalogItemC *child = category->mItems.ObjectAt(i);
      aColumn.AppendRow({child->GetName(), {}, child, -1});
    }
    if (count > 0)
      aColumn.SelectRow(0);
  }
  aColumn.EndUpdate();
}

void tCatalogC::FillEpisodeList(tRowSinkC &aList, const QString &aPath) const {
  aList.BeginUpdate();
  aList.Clear();
  tCategoryItemC *category = AsCategory(FindItem(aPath));
  if (category && category->mHasFiles) {
    aList.Hold(mRoot);
    const int count = category->mItems.Count();
    for (int i = 0; i < count; ++i)
      aList.AppendRow(EpisodeRow(*static_cast<tFileItemC *>(category->mItems.ObjectAt(i))));
    if (count > 0)
      aList.SelectRow(0);
  }
  aList.EndUpdate();
}

void tCatalogC::ForEachMatching(const QString &aWord, const tMatchHandler &aHandler) const {
  if (!mRoot)
    return;
  const bool everything = aWord == QLatin1String("*");
  // Depth first without recursion; the reader bounds the depth, but the walk
  // need not rely on it.
  struct tFrameC {
    tCategoryItemC *mCategory;
    int mNext;
  };
  std::vector<tFrameC> stack{{mRoot.get(), 0}};
  while (!stack.empty()) {
    tFrameC &frame = stack.back();
    tCategoryItemC *category = frame.mCategory;
    if (category->mHasFiles) {
      const int count = category->mItems.Count();
      for (int i = 0; i < count; ++i) {
        // Large trees do not fit the cache; fetch the episodes ahead of use.
        if (i + cPrefetchAhead < count)
          Prefetch(static_cast<tFileItemC *>(category->mItems.ObjectAt(i + cPrefetchAhead)));
        auto *episode = static_cast<tFileItemC *>(category->mItems.ObjectAt(i));
        if ((everything || EpisodeMatches(*episode, aWord)) && aHandler)
          aHandler(*category, *episode);
      }
      stack.pop_back();
      continue;
    }
    if (frame.mNext >= category->mItems.Count()) {
      stack.pop_back();
      continue;
    }
    tCatalogItemC *child = category->mItems.ObjectAt(frame.mNext++);
    stack.push_back({static_cast<tCategoryItemC *>(child), 0});
  }
}

tCatalogItemC *tCatalogC::FindNextFile(const QString &aEpisodePath) const {
  const qsizetype slash = aEpisodePath.lastIndexOf(u'\\');
  const QString folder = slash < 0 ? QString() : aEpisodePath.left(slash);
  const QString last = aEpisodePath.mid(slash + 1);
  tCategoryItemC *category = AsCategory(FindItem(folder));
  if (!category)
    return nullptr;
  const int index = category->mItems.IndexOf(last);
  if (index >= category->mItems.Count() || index + 1 >= category->mItems.Count())
    return nullptr;
  return category->mItems.ObjectAt(index + 1);
}

bool EpisodeMatches(const tFileItemC &aEpisode, const QString &aWord) {
  return MatchesWord(aWord, aEpisode.mName) || MatchesWord(aWord, aEpisode.mArtist) ||
         MatchesWord(aWord, aEpisode.mInstrument) || MatchesWord(aWord, aEpisode.mLevel);
}

bool MatchesWord(const QString &aWord, const QString &aText) {
  const qsizetype wordLength = aWord.size();
  const qsizetype textLength = aText.size();
  const char16_t *word = reinterpret_cast<const char16_t *>(aWord.constData());
  const char16_t *text = reinterpret_cast<const char16_t *>(aText.constData());
  for (qsizetype p = 0; p < textLength; ++p) {
    // The part at p is shorter than the word near the end: no match there.
    if (p + wordLength > textLength)
      return false;
    qsizetype i = 0;
    while (i < wordLength && FoldAsciiCase(text[p + i]) == FoldAsciiCase(word[i]))
      ++i;
    if (i < wordLength)
      continue;
    if (p > 0 && IsAsciiLetter(text[p - 1]))
      continue;
    const qsizetype end = p + wordLength;
    if (end >= textLength || !IsAsciiLetter(text[end]))
      return true;
  }
  return false;
}
