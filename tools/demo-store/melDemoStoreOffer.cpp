#include "melDemoStoreOffer.h"

#include <QStringList>

#include <array>
#include <cmath>
#include <map>
#include <stdexcept>

namespace {

struct tStoreOnlyRowC {
  const char16_t *mInstrument;
  const char16_t *mCategory;
  const char16_t *mSubCategory;
  const char16_t *mName;
  const char16_t *mArtist;
  const char16_t *mFileType;
  const char *mStem;
  double mFrequency;
  tDemoSheetE mSheet = tDemoSheetE::None;
};

// A few lessons join sub-categories the sample collection has, and one
// instrument is new, so a purchase on a seeded folder always brings something.
constexpr std::array<tStoreOnlyRowC, 7> cStoreOnly = {{
    {u"Guitar", u"Blues", u"Beginner", u"Minor Blues Licks", u"Dana Whitfield", u"Movie",
     "guitar-blues-beginner-store-1", 196.0},
    {u"Piano", u"Jazz", u"Intermediate", u"Tritone Substitutions", u"Marcus Oyelaran", u"Movie",
     "piano-jazz-intermediate-store-1", 293.66},
    {u"Drums", u"Fills", u"Beginner", u"Flam Fills", u"Tom Kowalczyk", u"Movie",
     "drums-fills-beginner-store-1", 329.63},
    {u"Bass", u"Funk", u"Beginner", u"Slap & Pop Basics", u"Ana Sørensen", u"Movie",
     "bass-funk-beginner-1", 110.0},
    {u"Bass", u"Funk", u"Beginner", u"Octave Grooves", u"Ana Sørensen", u"Movie",
     "bass-funk-beginner-2", 130.81},
    {u"Bass", u"Funk", u"Beginner", u"Pentatonic Box Shapes", u"Ana Sørensen", u"PDF",
     "bass-funk-beginner-3", 0, tDemoSheetE::ScaleStaff},
    {u"Bass", u"Funk", u"Intermediate", u"Ghost Notes in the Pocket", u"Ana Sørensen", u"MOV",
     "bass-funk-intermediate-1", 146.83},
}};

QString Extension(const tDemoLessonC &aLesson) {
  return aLesson.Media() == tDemoMediaE::Sheet ? QStringLiteral(".pdf") : QStringLiteral(".mov");
}

// The program refuses a store file name holding a separator or a colon.
QString SafeFileName(const QString &aTitle) {
  QString name = aTitle;
  name.replace(QLatin1String(": "), QLatin1String(" - "));
  name.replace(u':', u'-');
  name.replace(u'/', u'-');
  name.replace(u'\\', u'-');
  return name;
}

QString Slug(const QString &aText) {
  QString slug;
  for (const QChar c : aText.toLower()) {
    if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
      slug += c;
    else if (!slug.isEmpty() && !slug.endsWith(u'-'))
      slug += u'-';
  }
  return slug;
}

tDemoStoreLessonC StoreLesson(const tDemoLessonC &aLesson, bool aStoreOnly) {
  tDemoStoreLessonC lesson;
  lesson.mLesson = aLesson;
  lesson.mStoreFileName = SafeFileName(aLesson.mName) + Extension(aLesson);
  lesson.mServedName = aLesson.mStem + Extension(aLesson);
  lesson.mStoreOnly = aStoreOnly;
  return lesson;
}

std::vector<tDemoStoreItemC> MakeItems() {
  std::vector<tDemoStoreLessonC> all;
  for (const tDemoLessonC &lesson : DemoLessons())
    all.push_back(StoreLesson(lesson, false));
  for (const tStoreOnlyRowC &row : cStoreOnly) {
    tDemoLessonC lesson;
    lesson.mInstrument = QString::fromUtf16(row.mInstrument);
    lesson.mCategory = QString::fromUtf16(row.mCategory);
    lesson.mSubCategory = QString::fromUtf16(row.mSubCategory);
    lesson.mName = QString::fromUtf16(row.mName);
    lesson.mArtist = QString::fromUtf16(row.mArtist);
    lesson.mLevel = lesson.mSubCategory;
    lesson.mFileType = QString::fromUtf16(row.mFileType);
    lesson.mStem = QString::fromLatin1(row.mStem);
    lesson.mFrequency = row.mFrequency;
    lesson.mNote = QStringLiteral("%1 Hz").arg(std::lround(row.mFrequency));
    lesson.mSheet = row.mSheet;
    all.push_back(StoreLesson(lesson, true));
  }

  std::vector<tDemoStoreItemC> items;
  std::map<QString, size_t> byId;
  for (tDemoStoreLessonC &lesson : all) {
    const tDemoLessonC &l = lesson.mLesson;
    const QString id = Slug(l.mInstrument) + u'-' + Slug(l.mCategory) + u'-' + Slug(l.mSubCategory);
    auto [at, added] = byId.emplace(id, items.size());
    if (added) {
      tDemoStoreItemC item;
      item.mId = id;
      item.mTitle = l.mCategory + u' ' + l.mInstrument;
      item.mLevel = l.mLevel;
      items.push_back(std::move(item));
    }
    tDemoStoreItemC &item = items[at->second];
    if (!item.mArtist.split(QStringLiteral(", ")).contains(l.mArtist))
      item.mArtist += (item.mArtist.isEmpty() ? QString() : QStringLiteral(", ")) + l.mArtist;
    item.mLessons.push_back(std::move(lesson));
  }
  for (tDemoStoreItemC &item : items) {
    const int cents = int(item.mLessons.size()) * 450 - 1;
    item.mPrice = QStringLiteral("$%1.%2").arg(cents / 100).arg(cents % 100, 2, 10, QChar(u'0'));
  }
  return items;
}

} // namespace

const std::vector<tDemoStoreItemC> &DemoStoreItems() {
  static const std::vector<tDemoStoreItemC> items = MakeItems();
  return items;
}

const tDemoStoreItemC *FindDemoStoreItem(const QString &aId) {
  for (const tDemoStoreItemC &item : DemoStoreItems()) {
    if (item.mId == aId)
      return &item;
  }
  return nullptr;
}

std::vector<const tDemoStoreLessonC *> DemoStoreLessons() {
  std::vector<const tDemoStoreLessonC *> lessons;
  for (const tDemoStoreItemC &item : DemoStoreItems()) {
    for (const tDemoStoreLessonC &lesson : item.mLessons)
      lessons.push_back(&lesson);
  }
  return lessons;
}

const tDemoStoreLessonC *FindServedLesson(const QString &aServedName) {
  static const std::map<QString, const tDemoStoreLessonC *> byName = [] {
    std::map<QString, const tDemoStoreLessonC *> map;
    for (const tDemoStoreLessonC *lesson : DemoStoreLessons())
      map.emplace(lesson->mServedName, lesson);
    return map;
  }();
  const auto found = byName.find(aServedName);
  return found == byName.end() ? nullptr : found->second;
}

QByteArray DemoStoreCatalog(const tDemoStoreItemC &aItem, const QString &aPlainBase,
                            tBadCatalogE aBad) {
  if (aBad == tBadCatalogE::NotXml)
    return "<html><body><p>Item not available<br></body></html>\n";
  QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<Store item=\"") +
                aItem.mId + QStringLiteral("\">\n\t<Group name=\"") + XmlEscaped(aItem.mTitle) +
                QStringLiteral("\">\n");
  bool first = true;
  for (const tDemoStoreLessonC &lesson : aItem.mLessons) {
    const tDemoLessonC &l = lesson.mLesson;
    QString fileName = lesson.mStoreFileName;
    if (first && aBad == tBadCatalogE::DotDotFilename)
      fileName = QStringLiteral("../../") + fileName;
    const bool complete = !(first && aBad == tBadCatalogE::ItemMissingFields);
    xml += QLatin1String("\t\t<Item>\n");
    AppendXmlElement(xml, 3, "Instrument", l.mInstrument);
    AppendXmlElement(xml, 3, "Category", l.mCategory);
    AppendXmlElement(xml, 3, "Sub-Category", l.mSubCategory);
    AppendXmlElement(xml, 3, "Filename", fileName);
    if (complete)
      AppendXmlElement(xml, 3, "FileType", l.mFileType);
    AppendXmlElement(xml, 3, "Artist", l.mArtist);
    AppendXmlElement(xml, 3, "Level", l.mLevel);
    if (complete)
      AppendXmlElement(xml, 3, "Link",
                       aPlainBase + QStringLiteral("/downloadStore/files/") + lesson.mServedName);
    xml += QLatin1String("\t\t</Item>\n");
    first = false;
  }
  xml += QLatin1String("\t</Group>\n</Store>\n");
  for (const QChar c : xml) {
    if (c.unicode() > 0xFF)
      throw std::logic_error("store catalog: a character outside ISO-8859-1");
  }
  return xml.toLatin1();
}
