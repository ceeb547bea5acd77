#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

enum class tDemoMediaE { Movie, Sheet };

// What a sheet shows below its heading.
enum class tDemoSheetE { None, ChordChart, ScaleStaff, DrumGroove };

struct tDemoLessonC {
  QString mInstrument;
  QString mCategory;
  QString mSubCategory;
  QString mName;
  QString mArtist;
  QString mLevel;
  // Catalog file type: "Movie", "MOV" or "PDF".
  QString mFileType;
  // guitar-blues-beginner-1: names every file of the episode.
  QString mStem;
  // Pitch of the movie's tone, as a name and in Hz.
  QString mNote;
  double mFrequency = 0;
  tDemoSheetE mSheet = tDemoSheetE::None;

  tDemoMediaE Media() const {
    return mFileType == QLatin1String("PDF") ? tDemoMediaE::Sheet : tDemoMediaE::Movie;
  }
  // As the catalog stores it: backslashes, relative to the catalog's folder.
  QString CatalogPath() const;
  // The same file below the program folder, with this system's separators.
  QString LocalPath(const QString &aProgramFolder) const;
};

// Every lesson of the collection, in catalog order.
const std::vector<tDemoLessonC> &DemoLessons();

// The whole catalog as ISO-8859-1 bytes. Raises std::logic_error when a text
// does not fit that encoding.
QByteArray DemoCatalog(const std::vector<tDemoLessonC> &aLessons);

// Text for an XML element or a quoted attribute.
QString XmlEscaped(const QString &aText);
// One element on a line of its own, aDepth tabs in.
void AppendXmlElement(QString &aOut, int aDepth, const char *aTag, const QString &aText);
