#include "melDemoLessons.h"

#include <QDir>

#include <array>
#include <cmath>
#include <stdexcept>

namespace {

struct tRowC {
  const char16_t *mInstrument;
  const char16_t *mCategory;
  const char16_t *mSubCategory;
  const char16_t *mName;
  const char16_t *mArtist;
  const char16_t *mFileType;
  tDemoSheetE mSheet = tDemoSheetE::None;
};

// Each instrument has one sheet and one "MOV" movie, so the browser shows every
// kind of entry; the names carry Latin-1 letters and the characters XML must
// escape, which the catalog reader has to bring back unchanged.
constexpr std::array<tRowC, 36> cRows = {{
    {u"Guitar", u"Blues", u"Beginner", u"Twelve-Bar Shuffle", u"Dana Whitfield", u"Movie"},
    {u"Guitar", u"Blues", u"Beginner", u"Your First Turnaround", u"Dana Whitfield", u"Movie"},
    {u"Guitar", u"Blues", u"Beginner", u"Blues Chords - E7, A7 & B7", u"Dana Whitfield", u"PDF",
     tDemoSheetE::ChordChart},
    {u"Guitar", u"Blues", u"Intermediate", u"Slide Guitar in Open G", u"Leon Batiste", u"MOV"},
    {u"Guitar", u"Blues", u"Intermediate", u"String Bends That Sing", u"Dana Whitfield", u"Movie"},
    {u"Guitar", u"Blues", u"Intermediate", u"Call & Response Phrasing", u"Leon Batiste", u"Movie"},
    {u"Guitar", u"Rock", u"Beginner", u"Power Chords & Palm Muting", u"Jörg Halvorsen", u"Movie"},
    {u"Guitar", u"Rock", u"Beginner", u"Three-Chord Garage Riffs", u"Jörg Halvorsen", u"Movie"},
    {u"Guitar", u"Rock", u"Beginner", u"Eighth-Note Strumming", u"Jörg Halvorsen", u"Movie"},
    {u"Guitar", u"Rock", u"Intermediate", u"Alternate Picking Workout", u"Jörg Halvorsen",
     u"Movie"},
    {u"Guitar", u"Rock", u"Intermediate", u"Anatomy of a Rock Solo", u"Sam Okonkwo", u"Movie"},
    {u"Guitar", u"Rock", u"Intermediate", u"Drop D Riffs", u"Sam Okonkwo", u"Movie"},

    {u"Piano", u"Classical", u"Beginner", u"C Major Scale, Hands Together", u"Renée Castellanos",
     u"PDF", tDemoSheetE::ScaleStaff},
    {u"Piano", u"Classical", u"Beginner", u"Minuet in G, Slowly", u"Renée Castellanos", u"Movie"},
    {u"Piano", u"Classical", u"Beginner", u"Für Elise, Opening Bars", u"Renée Castellanos",
     u"Movie"},
    {u"Piano", u"Classical", u"Intermediate", u"Für Elise, Middle Section", u"Renée Castellanos",
     u"Movie"},
    {u"Piano", u"Classical", u"Intermediate", u"Nocturne Voicing and Pedal", u"Hannah Lindqvist",
     u"Movie"},
    {u"Piano", u"Classical", u"Intermediate", u"Clair de Lune - Rubato", u"Hannah Lindqvist",
     u"MOV"},
    {u"Piano", u"Jazz", u"Beginner", u"Shell Voicings in C", u"Marcus Oyelaran", u"Movie"},
    {u"Piano", u"Jazz", u"Beginner", u"Your First ii-V-I", u"Marcus Oyelaran", u"Movie"},
    {u"Piano", u"Jazz", u"Beginner", u"Walking Left Hand", u"Marcus Oyelaran", u"Movie"},
    {u"Piano", u"Jazz", u"Intermediate", u"Café Bossa Comping", u"Marcus Oyelaran", u"Movie"},
    {u"Piano", u"Jazz", u"Intermediate", u"Block Chords - \"Locked Hands\"", u"Marcus Oyelaran",
     u"Movie"},
    {u"Piano", u"Jazz", u"Intermediate", u"Blues Scale Improvisation", u"Marcus Oyelaran",
     u"Movie"},

    {u"Drums", u"Groove", u"Beginner", u"Rock Beat in Four", u"Inés Moreau", u"PDF",
     tDemoSheetE::DrumGroove},
    {u"Drums", u"Groove", u"Beginner", u"Hi-Hat Control", u"Inés Moreau", u"Movie"},
    {u"Drums", u"Groove", u"Beginner", u"Your First Shuffle", u"Inés Moreau", u"Movie"},
    {u"Drums", u"Groove", u"Intermediate", u"Linear Funk Grooves", u"Inés Moreau", u"Movie"},
    {u"Drums", u"Groove", u"Intermediate", u"Bossa Nova on the Kit", u"Inés Moreau", u"MOV"},
    {u"Drums", u"Groove", u"Intermediate", u"Half-Time Shuffle", u"Tom Kowalczyk", u"Movie"},
    {u"Drums", u"Fills", u"Beginner", u"Tom Fills Around the Kit", u"Tom Kowalczyk", u"Movie"},
    {u"Drums", u"Fills", u"Beginner", u"Crash & Kick Endings", u"Tom Kowalczyk", u"Movie"},
    {u"Drums", u"Fills", u"Beginner", u"Counting Sixteenth-Note Fills", u"Tom Kowalczyk", u"Movie"},
    {u"Drums", u"Fills", u"Intermediate", u"Paradiddle Fills", u"Tom Kowalczyk", u"Movie"},
    {u"Drums", u"Fills", u"Intermediate", u"Triplet Fills (< 100 BPM)", u"Tom Kowalczyk", u"Movie"},
    {u"Drums", u"Fills", u"Intermediate", u"Fills Across the Bar Line", u"Tom Kowalczyk", u"Movie"},
}};

struct tNoteC {
  const char *mName;
  int mMidi;
};

// A minor pentatonic from G3 to A5: any two tones sound well together, and
// none is too low for laptop speakers or shrill.
constexpr std::array<tNoteC, 12> cNotes = {{{"G3", 55},
                                            {"A3", 57},
                                            {"C4", 60},
                                            {"D4", 62},
                                            {"E4", 64},
                                            {"G4", 67},
                                            {"A4", 69},
                                            {"C5", 72},
                                            {"D5", 74},
                                            {"E5", 76},
                                            {"G5", 79},
                                            {"A5", 81}}};

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

std::vector<tDemoLessonC> MakeLessons() {
  std::vector<tDemoLessonC> lessons;
  lessons.reserve(cRows.size());
  int number = 0;
  for (size_t i = 0; i < cRows.size(); ++i) {
    const tRowC &row = cRows[i];
    tDemoLessonC lesson;
    lesson.mInstrument = QString::fromUtf16(row.mInstrument);
    lesson.mCategory = QString::fromUtf16(row.mCategory);
    lesson.mSubCategory = QString::fromUtf16(row.mSubCategory);
    lesson.mName = QString::fromUtf16(row.mName);
    lesson.mArtist = QString::fromUtf16(row.mArtist);
    lesson.mLevel = lesson.mSubCategory;
    lesson.mFileType = QString::fromUtf16(row.mFileType);
    lesson.mSheet = row.mSheet;

    const bool sameLeaf = !lessons.empty() && lessons.back().mInstrument == lesson.mInstrument &&
                          lessons.back().mCategory == lesson.mCategory &&
                          lessons.back().mSubCategory == lesson.mSubCategory;
    number = sameLeaf ? number + 1 : 1;
    lesson.mStem = Slug(lesson.mInstrument) + u'-' + Slug(lesson.mCategory) + u'-' +
                   Slug(lesson.mSubCategory) + u'-' + QString::number(number);

    const tNoteC &note = cNotes[i % cNotes.size()];
    lesson.mNote = QString::fromLatin1(note.mName);
    lesson.mFrequency = 440.0 * std::pow(2.0, (note.mMidi - 69) / 12.0);
    lessons.push_back(std::move(lesson));
  }
  return lessons;
}

void OpenCategory(QString &aOut, int aDepth, const QString &aName) {
  aOut += QString(aDepth, u'\t') + QLatin1String("<Category name=\"") + XmlEscaped(aName) +
          QLatin1String("\">\n");
}

void CloseCategory(QString &aOut, int aDepth) {
  aOut += QString(aDepth, u'\t') + QLatin1String("</Category>\n");
}

} // namespace

QString XmlEscaped(const QString &aText) {
  QString out;
  out.reserve(aText.size());
  for (const QChar c : aText) {
    switch (c.unicode()) {
    case u'&': out += QLatin1String("&amp;"); break;
    case u'<': out += QLatin1String("&lt;"); break;
    case u'>': out += QLatin1String("&gt;"); break;
    case u'"': out += QLatin1String("&quot;"); break;
    default: out += c;
    }
  }
  return out;
}

void AppendXmlElement(QString &aOut, int aDepth, const char *aTag, const QString &aText) {
  aOut += QString(aDepth, u'\t') + u'<' + QLatin1String(aTag) + u'>' + XmlEscaped(aText) +
          QLatin1String("</") + QLatin1String(aTag) + QLatin1String(">\n");
}

QString tDemoLessonC::CatalogPath() const {
  return Media() == tDemoMediaE::Sheet ? QStringLiteral("pdf\\") + mStem + QLatin1String(".pdf")
                                       : QStringLiteral("video\\") + mStem + QLatin1String(".mov");
}

QString tDemoLessonC::LocalPath(const QString &aProgramFolder) const {
  QString relative = CatalogPath();
  relative.replace(u'\\', u'/');
  return QDir(aProgramFolder).filePath(relative);
}

const std::vector<tDemoLessonC> &DemoLessons() {
  static const std::vector<tDemoLessonC> lessons = MakeLessons();
  return lessons;
}

QByteArray DemoCatalog(const std::vector<tDemoLessonC> &aLessons) {
  QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                               "<Catalog version=\"1.0\">\n");
  const tDemoLessonC *previous = nullptr;
  for (const tDemoLessonC &lesson : aLessons) {
    // Close and open only the levels that change from one lesson to the next.
    const bool newInstrument = !previous || previous->mInstrument != lesson.mInstrument;
    const bool newCategory = newInstrument || previous->mCategory != lesson.mCategory;
    const bool newSubCategory = newCategory || previous->mSubCategory != lesson.mSubCategory;
    if (previous) {
      if (newSubCategory)
        CloseCategory(xml, 3);
      if (newCategory)
        CloseCategory(xml, 2);
      if (newInstrument)
        CloseCategory(xml, 1);
    }
    if (newInstrument)
      OpenCategory(xml, 1, lesson.mInstrument);
    if (newCategory)
      OpenCategory(xml, 2, lesson.mCategory);
    if (newSubCategory)
      OpenCategory(xml, 3, lesson.mSubCategory);

    const QString extension =
        lesson.Media() == tDemoMediaE::Sheet ? QStringLiteral(".pdf") : QStringLiteral(".mov");
    xml +=
        QLatin1String("\t\t\t\t<File name=\"") + XmlEscaped(lesson.mName) + QLatin1String("\">\n");
    AppendXmlElement(xml, 5, "Filename", lesson.CatalogPath());
    AppendXmlElement(xml, 5, "iPodFile",
                     QStringLiteral("iPod\\") + lesson.mStem + QLatin1String(".m4v"));
    AppendXmlElement(xml, 5, "AcidFile",
                     QStringLiteral("ACID\\") + lesson.mStem + QLatin1String(".acd-zip"));
    AppendXmlElement(xml, 5, "FileType", lesson.mFileType);
    AppendXmlElement(xml, 5, "Instrument", lesson.mInstrument);
    AppendXmlElement(xml, 5, "Artist", lesson.mArtist);
    AppendXmlElement(xml, 5, "Level", lesson.mLevel);
    AppendXmlElement(xml, 5, "URL",
                     QStringLiteral("https://127.0.0.1:8443/downloadStore/files/") + lesson.mStem +
                         extension);
    AppendXmlElement(xml, 5, "Status", QStringLiteral("Downloaded"));
    xml += QLatin1String("\t\t\t\t</File>\n");
    previous = &lesson;
  }
  if (previous) {
    CloseCategory(xml, 3);
    CloseCategory(xml, 2);
    CloseCategory(xml, 1);
  }
  xml += QLatin1String("</Catalog>\n");

  for (const QChar c : xml) {
    if (c.unicode() > 0xFF)
      throw std::logic_error("demo catalog: a character outside ISO-8859-1");
  }
  return xml.toLatin1();
}
