#include "melCatalogGenerator.h"

#include <QFile>
#include <QStringView>

#include <algorithm>
#include <array>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Word pools. Everything must fit ISO-8859-1; the writer refuses the rest.

constexpr std::array<std::u16string_view, 16> cInstruments = {
    u"Guitar",  u"Piano", u"Drums", u"Bass",  u"Violin",   u"Saxophone", u"Vocals",   u"Ukulele",
    u"Trumpet", u"Flute", u"Cello", u"Banjo", u"Mandolin", u"Harmonica", u"Keyboard", u"Clarinet"};

constexpr std::array<std::u16string_view, 22> cCategories = {
    u"Blues",          u"Rock",
    u"Jazz",           u"Classical",
    u"Technique",      u"Theory",
    u"Country",        u"Funk",
    u"Latin",          u"Metal",
    u"Folk",           u"Reggae",
    u"Rhythm & Blues", u"Fingerstyle",
    u"Improvisation",  u"Sight-Reading",
    u"Ear Training",   u"Songwriting",
    u"Gospel",         u"Bossa Nova",
    u"Música Latina",  u"Chanson Française"};

struct tLevelC {
  std::u16string_view mSubCategory;
  std::u16string_view mLevel;
};
constexpr std::array<tLevelC, 4> cLevelSubCategories = {{{u"Beginner", u"Beginner"},
                                                         {u"Intermediate", u"Intermediate"},
                                                         {u"Advanced", u"Advanced"},
                                                         {u"Master Class", u"Advanced"}}};
constexpr std::array<std::u16string_view, 4> cLevels = {u"Beginner", u"Intermediate", u"Advanced",
                                                        u"All Levels"};

constexpr std::array<std::u16string_view, 24> cAdjectives = {
    u"Easy",    u"Essential", u"Funky",  u"Smooth",     u"Slow",   u"Fast",
    u"Classic", u"Modern",    u"Dorian", u"Syncopated", u"Légère", u"Naïve",
    u"Walking", u"Chromatic", u"Open",   u"Hybrid",     u"Minor",  u"Major",
    u"Latin",   u"Swinging",  u"Quiet",  u"Percussive", u"Schöne", u"Daily"};

constexpr std::array<std::u16string_view, 36> cNouns = {u"Groove",
                                                        u"Riffs",
                                                        u"Chord Changes",
                                                        u"Scales & Arpeggios",
                                                        u"Call & Response",
                                                        u"Rock & Roll Licks",
                                                        u"Tips & Tricks",
                                                        u"Turnarounds",
                                                        u"Vibrato",
                                                        u"Bends",
                                                        u"Strumming",
                                                        u"Fills",
                                                        u"Comping",
                                                        u"Voicings",
                                                        u"Pentatonics",
                                                        u"Modes",
                                                        u"Timing",
                                                        u"Dynamics",
                                                        u"Warm-Up",
                                                        u"Ballad",
                                                        u"Café Blues",
                                                        u"Señor Groove",
                                                        u"Jalapeño Funk",
                                                        u"Für Elise",
                                                        u"Études",
                                                        u"Noël Medley",
                                                        u"Crème Brûlée Swing",
                                                        u"Mañana Bossa",
                                                        u"Über Riffs",
                                                        u"Déjà Vu Vamp",
                                                        u"Paradiddles",
                                                        u"Slap Bass",
                                                        u"Harmonics",
                                                        u"Sight Reading",
                                                        u"Tremolo Picking",
                                                        u"Ghost Notes"};

constexpr std::array<std::u16string_view, 10> cKeys = {
    u"E", u"A", u"G", u"D", u"C", u"Bb", u"F#", u"A minor", u"E minor", u"D minor"};

constexpr std::array<std::u16string_view, 8> cSubtitles = {u"The \"Hook\" Explained",
                                                           u"Tempo Drills (<60 BPM)",
                                                           u"Dynamics > Speed",
                                                           u"Practice Loop",
                                                           u"Slow Version",
                                                           u"Play-Along",
                                                           u"Q&A Session",
                                                           u"Step by Step"};

constexpr std::array<std::u16string_view, 24> cArtists = {
    u"John Smith",     u"Mary Johnson", u"José Núñez",   u"Jürgen Müller", u"Françoise Dupré",
    u"Björn Ångström", u"Ana Peña",     u"Tom O'Brien",  u"Lee & Friends", u"Chloé Lefèvre",
    u"Søren Dahl",     u"Ingrid Weiß",  u"Marcus Brown", u"Linda Carter",  u"Hiro Tanaka",
    u"Paolo Rossi",    u"Grace Okafor", u"Dave Wilson",  u"Émile Roux",    u"Zoë Adams",
    u"Carlos Ibáñez",  u"Sarah O'Neil", u"Nina Köhler",  u"Ray Davis"};

constexpr int cRareWordPercent = 3;

// Streams of the random source apart from the episodes' ones.
constexpr uint64_t cLayoutStream = uint64_t(1) << 40;

uint64_t Mix(uint64_t aValue) {
  aValue = (aValue ^ (aValue >> 30)) * 0xBF58476D1CE4E5B9ull;
  aValue = (aValue ^ (aValue >> 27)) * 0x94D049BB133111EBull;
  return aValue ^ (aValue >> 31);
}

// SplitMix64: independent of the standard library, so a seed gives the same
// file everywhere; each episode has its own stream, so any one of them can be
// rebuilt without the others.
class tRandomC {
public:
  tRandomC(uint64_t aSeed, uint64_t aStream) : mState(Mix(aSeed) ^ Mix(aStream + 1)) {}

  uint64_t Next() {
    mState += 0x9E3779B97F4A7C15ull;
    return Mix(mState);
  }
  int Below(int aLimit) { return int(Next() % uint64_t(aLimit)); }
  bool Chance(int aPercent) { return Below(100) < aPercent; }
  template <typename T, size_t N> const T &Pick(const std::array<T, N> &aPool) {
    return aPool[size_t(Below(int(N)))];
  }

private:
  uint64_t mState;
};

QString Str(std::u16string_view aText) {
  return QString(reinterpret_cast<const QChar *>(aText.data()), qsizetype(aText.size()));
}

tCatalogShapeC Normalised(const tCatalogShapeC &aShape) {
  tCatalogShapeC shape = aShape;
  shape.mEpisodes = std::max(shape.mEpisodes, 0);
  shape.mInstruments = std::max(shape.mInstruments, 1);
  shape.mCategories = std::max(shape.mCategories, 1);
  shape.mSubCategories = std::max(shape.mSubCategories, 1);
  return shape;
}

// A pool entry, numbered once the pool is used up, so names stay unique.
QString Numbered(std::u16string_view aBase, int aRound) {
  return aRound == 0 ? Str(aBase) : Str(aBase) + u' ' + QString::number(aRound + 1);
}

// The category tree, without the episodes.
class tLayoutC {
public:
  explicit tLayoutC(const tCatalogShapeC &aShape)
      : mShape(aShape), mLeaves(aShape.mInstruments * aShape.mCategories * aShape.mSubCategories) {
    tRandomC random(aShape.mSeed, cLayoutStream);
    for (int i = 0; i < aShape.mInstruments; ++i) {
      const std::u16string_view instrument = cInstruments[size_t(i) % cInstruments.size()];
      mInstruments.push_back(Numbered(instrument, i / int(cInstruments.size())));
      std::string abbreviation;
      for (const char16_t c : instrument.substr(0, 3))
        abbreviation += char(c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c);
      mAbbreviations.push_back(abbreviation);

      // Each instrument has its own choice and order of styles.
      std::array<size_t, cCategories.size()> order;
      for (size_t k = 0; k < order.size(); ++k)
        order[k] = k;
      for (size_t k = order.size() - 1; k > 0; --k)
        std::swap(order[k], order[size_t(random.Below(int(k + 1)))]);

      for (int c = 0; c < aShape.mCategories; ++c) {
        const std::u16string_view base = cCategories[order[size_t(c) % order.size()]];
        const QString category = Numbered(base, c / int(order.size()));
        mCategories.push_back(category);
        const bool byLevel = random.Chance(70);
        for (int s = 0; s < aShape.mSubCategories; ++s) {
          if (byLevel && s < int(cLevelSubCategories.size())) {
            const tLevelC &level = cLevelSubCategories[size_t(s)];
            mSubCategories.push_back(Str(level.mSubCategory) + u' ' + category);
            mLevels.push_back(level.mLevel);
          } else {
            mSubCategories.push_back(QStringLiteral("Volume %1").arg(s + 1));
            mLevels.push_back({});
          }
        }
      }
    }
  }

  int Leaves() const { return mLeaves; }
  int LeafOf(int aEpisode) const {
    return int(int64_t(aEpisode) * mLeaves / std::max(mShape.mEpisodes, 1));
  }
  int FirstOf(int aLeaf) const {
    return int((int64_t(aLeaf) * mShape.mEpisodes + mLeaves - 1) / mLeaves);
  }
  int InstrumentOf(int aLeaf) const { return aLeaf / (mShape.mCategories * mShape.mSubCategories); }
  int CategoryOf(int aLeaf) const { return aLeaf / mShape.mSubCategories; }

  tCatalogShapeC mShape;
  int mLeaves;
  std::vector<QString> mInstruments;
  std::vector<std::string> mAbbreviations;
  std::vector<QString> mCategories;
  std::vector<QString> mSubCategories;
  // Empty for numbered volumes: their episodes have mixed levels.
  std::vector<std::u16string_view> mLevels;
};

struct tEpisodeC {
  QString mName;
  std::u16string_view mArtist;
  std::u16string_view mLevel;
  std::string_view mFileType;
  std::string_view mStatus;
  // Some catalogs escape the ampersands of names twice; the reader takes
  // both forms.
  bool mDoubleAmpersands = false;
};

// Must be the first draw of an episode's stream, so counting needs no names.
bool HasRareWord(tRandomC &aRandom) {
  return aRandom.Below(100) < cRareWordPercent;
}

tEpisodeC MakeEpisode(const tLayoutC &aLayout, int aIndex) {
  tRandomC random(aLayout.mShape.mSeed, uint64_t(aIndex));
  const bool rare = HasRareWord(random);
  const int leaf = aLayout.LeafOf(aIndex);
  const int number = aIndex - aLayout.FirstOf(leaf) + 1;

  tEpisodeC episode;
  QString title;
  if (random.Chance(40)) {
    title += Str(random.Pick(cAdjectives));
    title += u' ';
  }
  title += rare ? cRareWord : Str(random.Pick(cNouns));
  const int extra = random.Below(100);
  if (extra < 20)
    title += QStringLiteral(" in ") + Str(random.Pick(cKeys));
  else if (extra < 30)
    title += QStringLiteral(" - ") + Str(random.Pick(cSubtitles));
  else if (extra < 36)
    title += QStringLiteral(" (feat. ") + Str(random.Pick(cArtists)) + u')';
  else if (extra < 40)
    title += QStringLiteral(" ©") + QString::number(1995 + random.Below(20));

  // The number keeps names unique within a sub-category whatever the title.
  switch (random.Below(4)) {
  case 0:
  case 1:
    episode.mName =
        QStringLiteral("Lesson ") + QString::number(number) + QStringLiteral(" - ") + title;
    break;
  case 2: episode.mName = title + QStringLiteral(", Part ") + QString::number(number); break;
  default:
    episode.mName = QStringLiteral("%1. ").arg(number, 2, 10, QLatin1Char('0')) + title;
    break;
  }

  episode.mArtist = random.Pick(cArtists);
  const std::u16string_view level = aLayout.mLevels[size_t(leaf)];
  episode.mLevel = level.empty() ? random.Pick(cLevels) : level;
  const int type = random.Below(100);
  episode.mFileType = type < 90 ? "Movie" : type < 97 ? "PDF" : "MOV";
  const int status = random.Below(100);
  episode.mStatus = status < 60   ? "Downloaded"
                    : status < 88 ? "Not downloaded"
                    : status < 93 ? "Downloading"
                    : status < 97 ? "Paused"
                                  : "Error";
  episode.mDoubleAmpersands = random.Chance(50);
  return episode;
}

enum class tEscapeE { Text, Attribute, NameTwice };

// Buffered ISO-8859-1 output with XML escaping.
class tXmlWriterC {
public:
  explicit tXmlWriterC(const QString &aFileName) : mFile(aFileName) {
    if (!mFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
      Fail();
    mBuffer.reserve(cFlushSize + 4096);
  }

  void Raw(std::string_view aText) {
    mBuffer.append(aText.data(), qsizetype(aText.size()));
    FlushIfFull();
  }

  void Text(QStringView aText, tEscapeE aEscape) {
    for (const QChar ch : aText) {
      const char16_t c = ch.unicode();
      switch (c) {
      case u'&': mBuffer.append(aEscape == tEscapeE::NameTwice ? "&amp;amp;" : "&amp;"); break;
      case u'<': mBuffer.append("&lt;"); break;
      case u'>': mBuffer.append("&gt;"); break;
      case u'"':
        if (aEscape == tEscapeE::Text)
          mBuffer.append('"');
        else
          mBuffer.append("&quot;");
        break;
      default:
        if (c > 0xFF)
          throw std::logic_error("catalog generator: a word outside ISO-8859-1");
        mBuffer.append(char(c));
      }
    }
    FlushIfFull();
  }

  qint64 Finish() {
    Flush();
    if (!mFile.flush())
      Fail();
    mFile.close();
    return mWritten;
  }

private:
  static constexpr qsizetype cFlushSize = qsizetype(1) << 20;

  void FlushIfFull() {
    if (mBuffer.size() >= cFlushSize)
      Flush();
  }
  void Flush() {
    if (mFile.write(mBuffer) != mBuffer.size())
      Fail();
    mWritten += mBuffer.size();
    mBuffer.clear();
  }
  [[noreturn]] void Fail() {
    throw std::runtime_error(QStringLiteral("Cannot write the catalog file %1: %2")
                                 .arg(mFile.fileName(), mFile.errorString())
                                 .toStdString());
  }

  QFile mFile;
  QByteArray mBuffer;
  qint64 mWritten = 0;
};

void WriteEpisode(tXmlWriterC &aOut, const tLayoutC &aLayout, int aIndex) {
  const tEpisodeC episode = MakeEpisode(aLayout, aIndex);
  const int leaf = aLayout.LeafOf(aIndex);
  const int instrument = aLayout.InstrumentOf(leaf);
  const QString &instrumentName = aLayout.mInstruments[size_t(instrument)];
  const bool pdf = episode.mFileType == "PDF";

  char stem[64];
  std::snprintf(stem, sizeof stem, "%s_%03d_%04d",
                aLayout.mAbbreviations[size_t(instrument)].c_str(), leaf,
                aIndex - aLayout.FirstOf(leaf) + 1);
  const std::string_view extension = pdf ? ".pdf" : ".mov";

  aOut.Raw("\t\t\t\t<File name=\"");
  aOut.Text(episode.mName, episode.mDoubleAmpersands ? tEscapeE::NameTwice : tEscapeE::Attribute);
  aOut.Raw("\">\n\t\t\t\t\t<Filename>");
  aOut.Raw(pdf ? "pdf\\" : "video\\");
  aOut.Text(instrumentName, tEscapeE::Text);
  aOut.Raw("\\");
  aOut.Raw(stem);
  aOut.Raw(extension);
  aOut.Raw("</Filename>\n\t\t\t\t\t<iPodFile>iPod\\");
  aOut.Raw(stem);
  aOut.Raw(".m4v</iPodFile>\n\t\t\t\t\t<AcidFile>ACID\\");
  aOut.Raw(stem);
  aOut.Raw(".acd-zip</AcidFile>\n\t\t\t\t\t<FileType>");
  aOut.Raw(episode.mFileType);
  aOut.Raw("</FileType>\n\t\t\t\t\t<Instrument>");
  aOut.Text(instrumentName, tEscapeE::Text);
  aOut.Raw("</Instrument>\n\t\t\t\t\t<Artist>");
  aOut.Text(episode.mArtist, tEscapeE::Text);
  aOut.Raw("</Artist>\n\t\t\t\t\t<Level>");
  aOut.Text(episode.mLevel, tEscapeE::Text);
  aOut.Raw("</Level>\n\t\t\t\t\t<URL>https://store.example/downloadStore/files/");
  aOut.Raw(stem);
  aOut.Raw(extension);
  aOut.Raw("</URL>\n\t\t\t\t\t<Status>");
  aOut.Raw(episode.mStatus);
  aOut.Raw("</Status>\n\t\t\t\t</File>\n");
}

} // namespace

qint64 WriteCatalogFile(const QString &aFileName, const tCatalogShapeC &aShape) {
  const tLayoutC layout(Normalised(aShape));
  const tCatalogShapeC &shape = layout.mShape;
  tXmlWriterC out(aFileName);
  out.Raw("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<Catalog version=\"1.0\">\n");
  int episode = 0;
  int leaf = 0;
  for (int i = 0; i < shape.mInstruments; ++i) {
    out.Raw("\t<Category name=\"");
    out.Text(layout.mInstruments[size_t(i)], tEscapeE::Attribute);
    out.Raw("\">\n");
    for (int c = 0; c < shape.mCategories; ++c) {
      out.Raw("\t\t<Category name=\"");
      out.Text(layout.mCategories[size_t(i * shape.mCategories + c)], tEscapeE::Attribute);
      out.Raw("\">\n");
      for (int s = 0; s < shape.mSubCategories; ++s, ++leaf) {
        out.Raw("\t\t\t<Category name=\"");
        out.Text(layout.mSubCategories[size_t(leaf)], tEscapeE::Attribute);
        const int end = layout.FirstOf(leaf + 1);
        if (episode == end) {
          out.Raw("\"/>\n");
          continue;
        }
        out.Raw("\">\n");
        for (; episode < end; ++episode)
          WriteEpisode(out, layout, episode);
        out.Raw("\t\t\t</Category>\n");
      }
      out.Raw("\t\t</Category>\n");
    }
    out.Raw("\t</Category>\n");
  }
  out.Raw("</Catalog>\n");
  return out.Finish();
}

QString EpisodePath(const tCatalogShapeC &aShape, int aIndex) {
  const tLayoutC layout(Normalised(aShape));
  if (aIndex < 0 || aIndex >= layout.mShape.mEpisodes)
    throw std::out_of_range("EpisodePath: no such episode");
  const int leaf = layout.LeafOf(aIndex);
  return u'\\' + layout.mInstruments[size_t(layout.InstrumentOf(leaf))] + u'\\' +
         layout.mCategories[size_t(layout.CategoryOf(leaf))] + u'\\' +
         layout.mSubCategories[size_t(leaf)] + u'\\' + MakeEpisode(layout, aIndex).mName;
}

int RareWordEpisodes(const tCatalogShapeC &aShape) {
  const tCatalogShapeC shape = Normalised(aShape);
  int count = 0;
  for (int i = 0; i < shape.mEpisodes; ++i) {
    tRandomC random(shape.mSeed, uint64_t(i));
    count += HasRareWord(random) ? 1 : 0;
  }
  return count;
}
