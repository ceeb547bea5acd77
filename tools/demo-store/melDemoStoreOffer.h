#pragma once

#include "melDemoLessons.h"

#include <QByteArray>
#include <QString>

#include <vector>

// One lesson as the store sells it.
struct tDemoStoreLessonC {
  tDemoLessonC mLesson;
  // The name the store's catalog document gives ("Filename"): the lesson's
  // title, so a folder seeded with the sample collection already holds it,
  // made safe where the title holds a path separator or a colon.
  QString mStoreFileName;
  // The file's name on the server (and in DATA/files): the seeder's file name.
  QString mServedName;
  bool mStoreOnly = false;
};

// What one purchase brings: every lesson of one sub-category.
struct tDemoStoreItemC {
  QString mId;
  QString mTitle;
  QString mArtist;
  QString mLevel;
  QString mPrice;
  std::vector<tDemoStoreLessonC> mLessons;
};

// The sample collection and the lessons only the store has, one item per
// sub-category, in catalog order.
const std::vector<tDemoStoreItemC> &DemoStoreItems();
const tDemoStoreItemC *FindDemoStoreItem(const QString &aId);
// Every lesson of every item.
std::vector<const tDemoStoreLessonC *> DemoStoreLessons();
const tDemoStoreLessonC *FindServedLesson(const QString &aServedName);

// Ways the store's catalog document can be broken on purpose.
enum class tBadCatalogE { None, NotXml, ItemMissingFields, DotDotFilename };

// The item's store catalog document, ISO-8859-1: one group holding one item
// element per lesson; each lesson's Link is aPlainBase +
// "/downloadStore/files/" + its served name.
QByteArray DemoStoreCatalog(const tDemoStoreItemC &aItem, const QString &aPlainBase,
                            tBadCatalogE aBad = tBadCatalogE::None);
