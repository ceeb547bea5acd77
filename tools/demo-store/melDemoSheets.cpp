#include "melDemoSheets.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSaveFile>

#include <array>
#include <stdexcept>
#include <vector>

namespace {

constexpr int cDpi = 300;
constexpr double cPageWidth = 210; // A4, mm
constexpr double cPageHeight = 297;
constexpr double cMargin = 20;
constexpr double cContentWidth = cPageWidth - 2 * cMargin;

const QColor cInk(0x22, 0x22, 0x22);
const QColor cMuted(0x6b, 0x6b, 0x6b);
const QColor cRule(0xc8, 0xc8, 0xc8);

double Mm(double aMillimetres) {
  return aMillimetres * cDpi / 25.4;
}

QColor Accent(const QString &aInstrument) {
  if (aInstrument == QLatin1String("Guitar"))
    return QColor(0xa8, 0x4a, 0x22);
  if (aInstrument == QLatin1String("Piano"))
    return QColor(0x25, 0x55, 0x80);
  return QColor(0x2f, 0x6e, 0x44);
}

QFont Font(const char *aFamily, double aPoints, bool aBold = false) {
  QFont font(QString::fromLatin1(aFamily));
  font.setPointSizeF(aPoints);
  font.setBold(aBold);
  return font;
}

// Diatonic steps from C0, so staff positions need no accidentals.
constexpr int Step(char aLetter, int aOctave) {
  constexpr std::array<char, 7> letters = {'C', 'D', 'E', 'F', 'G', 'A', 'B'};
  int index = 0;
  while (letters[size_t(index)] != aLetter)
    ++index;
  return aOctave * 7 + index;
}

enum class tHeadE { Filled, Hollow, Cross };

// A five-line staff; units are device pixels, s the gap between two lines.
class tStaffC {
public:
  tStaffC(QPainter &aPainter, double aLeft, double aTop, double aWidth, double aGap,
          int aBottomLineStep)
      : mPainter(aPainter), mLeft(aLeft), mTop(aTop), mWidth(aWidth), mGap(aGap),
        mBottomLineStep(aBottomLineStep) {}

  double Top() const { return mTop; }
  double Bottom() const { return mTop + 4 * mGap; }
  double Gap() const { return mGap; }
  double Y(int aStep) const { return Bottom() - (aStep - mBottomLineStep) * mGap / 2; }
  int MiddleStep() const { return mBottomLineStep + 4; }

  void DrawLines() const {
    mPainter.setPen(QPen(cInk, mGap * 0.09));
    for (int i = 0; i < 5; ++i)
      mPainter.drawLine(QPointF(mLeft, mTop + i * mGap), QPointF(mLeft + mWidth, mTop + i * mGap));
  }

  void DrawHead(double aX, int aStep, tHeadE aHead) const {
    DrawLedgers(aX, aStep);
    const double y = Y(aStep);
    mPainter.save();
    mPainter.translate(aX, y);
    if (aHead == tHeadE::Cross) {
      const double r = mGap * 0.45;
      mPainter.setPen(QPen(cInk, mGap * 0.16, Qt::SolidLine, Qt::RoundCap));
      mPainter.drawLine(QPointF(-r, -r), QPointF(r, r));
      mPainter.drawLine(QPointF(-r, r), QPointF(r, -r));
    } else {
      mPainter.rotate(-20);
      const QRectF ellipse(-mGap * 0.66, -mGap * 0.46, mGap * 1.32, mGap * 0.92);
      if (aHead == tHeadE::Filled) {
        mPainter.setPen(Qt::NoPen);
        mPainter.setBrush(cInk);
        mPainter.drawEllipse(ellipse);
      } else {
        mPainter.setPen(QPen(cInk, mGap * 0.16));
        mPainter.setBrush(Qt::NoBrush);
        mPainter.drawEllipse(ellipse.adjusted(mGap * 0.06, mGap * 0.1, -mGap * 0.06, -mGap * 0.1));
      }
    }
    mPainter.restore();
  }

  // Up-stems sit on the right of the head, down-stems on the left.
  void DrawStem(double aX, int aFromStep, double aToY) const {
    const bool up = aToY < Y(aFromStep);
    const double x = aX + (up ? 1 : -1) * mGap * 0.6;
    mPainter.setPen(QPen(cInk, mGap * 0.11));
    mPainter.drawLine(QPointF(x, Y(aFromStep) + (up ? -0.15 : 0.15) * mGap), QPointF(x, aToY));
  }

  // A quarter or half note with the stem its position calls for.
  void DrawNote(double aX, int aStep, bool aHalf) const {
    DrawHead(aX, aStep, aHalf ? tHeadE::Hollow : tHeadE::Filled);
    const double direction = aStep < MiddleStep() ? -1 : 1;
    DrawStem(aX, aStep, Y(aStep) + direction * 3.4 * mGap);
  }

  void DrawBarLine(double aX, double aBottom = -1) const {
    mPainter.setPen(QPen(cInk, mGap * 0.12));
    mPainter.drawLine(QPointF(aX, mTop), QPointF(aX, aBottom < 0 ? Bottom() : aBottom));
  }

  void DrawFinalBar(double aX, double aBottom = -1) const {
    const double bottom = aBottom < 0 ? Bottom() : aBottom;
    DrawBarLine(aX - mGap * 0.7, bottom);
    mPainter.fillRect(QRectF(aX - mGap * 0.45, mTop, mGap * 0.45, bottom - mTop), cInk);
  }

  void DrawTimeSignature(double aX, int aBeats, int aUnit) const {
    QFont font = Font("DejaVu Serif", 10, true);
    font.setPixelSize(int(mGap * 2.5));
    mPainter.setFont(font);
    mPainter.setPen(cInk);
    const QRectF upper(aX - mGap, mTop - mGap * 0.25, mGap * 2, mGap * 2.2);
    const QRectF lower(aX - mGap, mTop + mGap * 1.95, mGap * 2, mGap * 2.2);
    mPainter.drawText(upper, Qt::AlignCenter, QString::number(aBeats));
    mPainter.drawText(lower, Qt::AlignCenter, QString::number(aUnit));
  }

  // No font on a plain system has the clef symbols, so they are drawn.
  void DrawTrebleClef(double aX) const {
    const double g = mGap;
    const double y0 = Y(mBottomLineStep + 2); // the G line
    auto p = [&](double aDx, double aDy) { return QPointF(aX + aDx * g, y0 + aDy * g); };
    // From the centre of the curl round the G line, up into the top loop,
    // down the stem and into the hook.
    QPainterPath path(p(0.3, 0.1));
    path.cubicTo(p(0.35, -0.75), p(-0.85, -0.7), p(-0.85, 0.2));
    path.cubicTo(p(-0.85, 1.25), p(1.35, 1.35), p(1.35, -0.05));
    path.cubicTo(p(1.35, -1.2), p(0.1, -1.55), p(-0.4, -2.2));
    path.cubicTo(p(-0.85, -2.8), p(0.2, -3.6), p(0.45, -4.3));
    path.cubicTo(p(0.6, -4.8), p(0.35, -5.1), p(0.1, -4.55));
    path.cubicTo(p(-0.1, -4.0), p(0.05, -1.0), p(0.3, 1.9));
    path.cubicTo(p(0.36, 2.65), p(-0.4, 2.8), p(-0.5, 2.15));
    mPainter.setBrush(Qt::NoBrush);
    mPainter.setPen(QPen(cInk, g * 0.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    mPainter.drawPath(path);
    mPainter.setPen(Qt::NoPen);
    mPainter.setBrush(cInk);
    mPainter.drawEllipse(p(-0.22, 2.1), g * 0.32, g * 0.32);
  }

  void DrawBassClef(double aX) const {
    const double g = mGap;
    const double y0 = Y(mBottomLineStep + 6); // the F line
    auto p = [&](double aDx, double aDy) { return QPointF(aX + aDx * g, y0 + aDy * g); };
    mPainter.setPen(Qt::NoPen);
    mPainter.setBrush(cInk);
    mPainter.drawEllipse(p(-0.45, 0.05), g * 0.36, g * 0.36);
    QPainterPath path(p(-0.7, 0.0));
    path.cubicTo(p(-0.6, -1.05), p(1.25, -1.2), p(1.3, 0.2));
    path.cubicTo(p(1.35, 1.5), p(0.2, 2.45), p(-0.75, 2.9));
    mPainter.setBrush(Qt::NoBrush);
    mPainter.setPen(QPen(cInk, g * 0.24, Qt::SolidLine, Qt::RoundCap));
    mPainter.drawPath(path);
    mPainter.setPen(Qt::NoPen);
    mPainter.setBrush(cInk);
    mPainter.drawEllipse(p(1.95, -0.5), g * 0.17, g * 0.17);
    mPainter.drawEllipse(p(1.95, 0.5), g * 0.17, g * 0.17);
  }

  void DrawPercussionClef(double aX) const {
    const QRectF bar(aX - mGap * 0.5, mTop + mGap, mGap * 0.35, mGap * 2);
    mPainter.fillRect(bar, cInk);
    mPainter.fillRect(bar.translated(mGap * 0.7, 0), cInk);
  }

private:
  void DrawLedgers(double aX, int aStep) const {
    mPainter.setPen(QPen(cInk, mGap * 0.09));
    const double half = mGap * 1.0;
    for (int step = mBottomLineStep - 2; step >= aStep; step -= 2)
      mPainter.drawLine(QPointF(aX - half, Y(step)), QPointF(aX + half, Y(step)));
    for (int step = mBottomLineStep + 10; step <= aStep; step += 2)
      mPainter.drawLine(QPointF(aX - half, Y(step)), QPointF(aX + half, Y(step)));
  }

  QPainter &mPainter;
  double mLeft;
  double mTop;
  double mWidth;
  double mGap;
  int mBottomLineStep;
};

class tSheetC {
public:
  tSheetC(QPainter &aPainter, const tDemoLessonC &aLesson)
      : mPainter(aPainter), mLesson(aLesson), mAccent(Accent(aLesson.mInstrument)) {}

  void Draw() {
    DrawHeading();
    switch (mLesson.mSheet) {
    case tDemoSheetE::ChordChart: DrawChordChart(); break;
    case tDemoSheetE::ScaleStaff: DrawScale(); break;
    case tDemoSheetE::DrumGroove: DrawGroove(); break;
    case tDemoSheetE::None: break;
    }
    DrawPracticeLog();
    DrawFooter();
  }

private:
  // Text from the current position on; moves it below the text.
  void Paragraph(const QString &aText, const QFont &aFont, const QColor &aColor,
                 double aSpaceAfter) {
    mPainter.setFont(aFont);
    mPainter.setPen(aColor);
    const QRectF box(Mm(cMargin), mY, Mm(cContentWidth), Mm(100));
    const QRectF used = mPainter.boundingRect(box, Qt::TextWordWrap, aText);
    mPainter.drawText(box, Qt::TextWordWrap, aText);
    mY += used.height() + Mm(aSpaceAfter);
  }

  void Heading(const QString &aText) {
    Paragraph(aText, Font("DejaVu Sans", 13, true), mAccent, 3);
  }

  void Bullets(const std::vector<QString> &aLines) {
    const QFont font = Font("DejaVu Serif", 11);
    for (const QString &line : aLines) {
      mPainter.setPen(Qt::NoPen);
      mPainter.setBrush(mAccent);
      mPainter.setFont(font);
      const double dot = QFontMetricsF(font, mPainter.device()).height() / 2;
      mPainter.drawEllipse(QPointF(Mm(cMargin + 1.2), mY + dot), Mm(0.8), Mm(0.8));
      mPainter.setPen(cInk);
      const QRectF box(Mm(cMargin + 5), mY, Mm(cContentWidth - 5), Mm(60));
      const QRectF used = mPainter.boundingRect(box, Qt::TextWordWrap, line);
      mPainter.drawText(box, Qt::TextWordWrap, line);
      mY += used.height() + Mm(2);
    }
  }

  void Rule(double aY) {
    mPainter.setPen(QPen(cRule, Mm(0.3)));
    mPainter.drawLine(QPointF(Mm(cMargin), aY), QPointF(Mm(cMargin + cContentWidth), aY));
  }

  void DrawHeading() {
    mPainter.fillRect(QRectF(Mm(cMargin), Mm(cMargin - 6), Mm(cContentWidth), Mm(1.6)), mAccent);
    mY = Mm(cMargin);
    QFont label = Font("DejaVu Sans", 8.5, true);
    label.setLetterSpacing(QFont::AbsoluteSpacing, Mm(0.35));
    Paragraph(QStringLiteral("MELODRA SAMPLE LESSON"), label, mAccent, 2);
    Paragraph(mLesson.mName, Font("DejaVu Serif", 24, true), cInk, 2);
    Paragraph(QStringLiteral("with ") + mLesson.mArtist, Font("DejaVu Serif", 13), cInk, 1);
    Paragraph(mLesson.mInstrument + QStringLiteral("  \u00b7  ") + mLesson.mCategory +
                  QStringLiteral("  \u00b7  ") + mLesson.mLevel,
              Font("DejaVu Sans", 10), cMuted, 5);
    Rule(mY);
    mY += Mm(9);
  }

  // Fills the rest of the page with something a student writes in.
  void DrawPracticeLog() {
    constexpr int cFewestLines = 3;
    constexpr double cHeadingHeight = 10;
    const double rowHeight = Mm(8);
    const double bottom = Mm(cPageHeight - cMargin - 4);
    mY += Mm(7);
    // A log with fewer lines would look like a leftover.
    if (bottom - mY - Mm(cHeadingHeight) < (cFewestLines + 1) * rowHeight)
      return;
    Heading(QStringLiteral("Practice log"));
    const int lines = int((bottom - mY) / rowHeight) - 1;
    static constexpr std::array<const char *, 4> columns = {"Date", "Tempo (BPM)", "Minutes",
                                                            "Notes"};
    static constexpr std::array<double, 4> widths = {28, 30, 24, cContentWidth - 82};
    double x = Mm(cMargin);
    for (size_t c = 0; c < columns.size(); ++c) {
      const QRectF cell(x, mY, Mm(widths[c]), rowHeight);
      mPainter.fillRect(cell, QColor(0xf0, 0xf0, 0xf0));
      mPainter.setFont(Font("DejaVu Sans", 8.5, true));
      mPainter.setPen(cInk);
      mPainter.drawText(cell.adjusted(Mm(2), 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                        QString::fromLatin1(columns[c]));
      x += Mm(widths[c]);
    }
    const double end = mY + (lines + 1) * rowHeight;
    mPainter.setPen(QPen(cRule, Mm(0.25)));
    for (int r = 1; r <= lines + 1; ++r)
      mPainter.drawLine(QPointF(Mm(cMargin), mY + r * rowHeight),
                        QPointF(Mm(cMargin + cContentWidth), mY + r * rowHeight));
    x = Mm(cMargin);
    for (size_t c = 0; c + 1 < columns.size(); ++c) {
      x += Mm(widths[c]);
      mPainter.drawLine(QPointF(x, mY), QPointF(x, end));
    }
    mY = end;
  }

  void DrawFooter() {
    const double y = Mm(cPageHeight - cMargin);
    Rule(y);
    mPainter.setFont(Font("DejaVu Sans", 8));
    mPainter.setPen(cMuted);
    const QRectF box(Mm(cMargin), y + Mm(2), Mm(cContentWidth), Mm(6));
    mPainter.drawText(box, Qt::AlignLeft | Qt::AlignTop, mLesson.mStem + QStringLiteral(".pdf"));
    mPainter.drawText(box, Qt::AlignRight | Qt::AlignTop,
                      QStringLiteral("Practise slowly; speed follows accuracy."));
  }

  struct tChordC {
    const char *mName;
    // Low E to high E: -1 muted, 0 open, else the fret.
    std::array<int, 6> mFrets;
    std::array<int, 6> mFingers;
  };

  void DrawChordBox(double aLeft, double aTop, const tChordC &aChord) {
    const double gap = Mm(6.5);
    const double fret = Mm(8);
    const double width = gap * 5;
    mPainter.setFont(Font("DejaVu Sans", 16, true));
    mPainter.setPen(cInk);
    mPainter.drawText(QRectF(aLeft, aTop, width, Mm(9)), Qt::AlignCenter,
                      QString::fromLatin1(aChord.mName));
    const double top = aTop + Mm(15);

    mPainter.setPen(QPen(cInk, Mm(0.35)));
    for (int s = 0; s < 6; ++s)
      mPainter.drawLine(QPointF(aLeft + s * gap, top), QPointF(aLeft + s * gap, top + 4 * fret));
    for (int f = 1; f <= 4; ++f)
      mPainter.drawLine(QPointF(aLeft, top + f * fret), QPointF(aLeft + width, top + f * fret));
    mPainter.fillRect(QRectF(aLeft - Mm(0.2), top - Mm(1.4), width + Mm(0.4), Mm(1.6)), cInk);

    QFont fingerFont = Font("DejaVu Sans", 9, true);
    for (int s = 0; s < 6; ++s) {
      const double x = aLeft + s * gap;
      const int at = aChord.mFrets[size_t(s)];
      if (at <= 0) {
        // Open and muted strings are marked above the nut.
        const QPointF mark(x, top - Mm(4.5));
        const double r = Mm(1.4);
        mPainter.setBrush(Qt::NoBrush);
        mPainter.setPen(QPen(cInk, Mm(0.35)));
        if (at == 0) {
          mPainter.drawEllipse(mark, r, r);
        } else {
          mPainter.drawLine(mark + QPointF(-r, -r), mark + QPointF(r, r));
          mPainter.drawLine(mark + QPointF(-r, r), mark + QPointF(r, -r));
        }
        continue;
      }
      const QPointF centre(x, top + (at - 0.5) * fret);
      const double r = Mm(2.6);
      mPainter.setPen(Qt::NoPen);
      mPainter.setBrush(mAccent);
      mPainter.drawEllipse(centre, r, r);
      mPainter.setFont(fingerFont);
      mPainter.setPen(Qt::white);
      mPainter.drawText(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), Qt::AlignCenter,
                        QString::number(aChord.mFingers[size_t(s)]));
    }
  }

  void DrawChordChart() {
    Heading(QStringLiteral("The three chords"));
    static constexpr std::array<tChordC, 3> chords = {{
        {"E7", {0, 2, 0, 1, 0, 0}, {0, 2, 0, 1, 0, 0}},
        {"A7", {-1, 0, 2, 0, 2, 0}, {0, 0, 2, 0, 3, 0}},
        {"B7", {-1, 2, 1, 2, 0, 2}, {0, 2, 1, 3, 0, 4}},
    }};
    const double boxWidth = Mm(6.5 * 5);
    const double spacing = (Mm(cContentWidth) - 3 * boxWidth) / 4;
    for (size_t i = 0; i < chords.size(); ++i)
      DrawChordBox(Mm(cMargin) + spacing + i * (boxWidth + spacing), mY, chords[i]);
    mY += Mm(15 + 32 + 9);

    Heading(QStringLiteral("Twelve-bar blues in E"));
    static constexpr std::array<const char *, 12> bars = {"E7", "E7", "E7", "E7", "A7", "A7",
                                                          "E7", "E7", "B7", "A7", "E7", "B7"};
    const double cellWidth = Mm(cContentWidth) / 4;
    const double cellHeight = Mm(14);
    for (size_t i = 0; i < bars.size(); ++i) {
      const QRectF cell(Mm(cMargin) + double(i % 4) * cellWidth, mY + double(i / 4) * cellHeight,
                        cellWidth, cellHeight);
      mPainter.setBrush((i / 4) % 2 ? QColor(0xf6, 0xf1, 0xec) : QColor(Qt::white));
      mPainter.setPen(QPen(cInk, Mm(0.3)));
      mPainter.drawRect(cell);
      mPainter.setFont(Font("DejaVu Sans", 7));
      mPainter.setPen(cMuted);
      mPainter.drawText(cell.adjusted(Mm(1.5), Mm(1), 0, 0), Qt::AlignLeft | Qt::AlignTop,
                        QString::number(i + 1));
      mPainter.setFont(Font("DejaVu Sans", 15, true));
      mPainter.setPen(cInk);
      mPainter.drawText(cell.adjusted(0, 0, 0, -Mm(3)), Qt::AlignCenter,
                        QString::fromLatin1(bars[i]));
      mPainter.setFont(Font("DejaVu Sans", 8));
      mPainter.setPen(cMuted);
      mPainter.drawText(cell.adjusted(0, 0, 0, -Mm(1.5)), Qt::AlignHCenter | Qt::AlignBottom,
                        QStringLiteral("/   /   /   /"));
    }
    mY += 3 * cellHeight + Mm(9);

    Heading(QStringLiteral("Practice"));
    Bullets({QStringLiteral("Play each chord for four beats and let every string ring before "
                            "you change."),
             QStringLiteral("Loop the twelve bars at 70 BPM with a shuffle feel: long-short, "
                            "long-short."),
             QStringLiteral("Once the changes are smooth, raise the tempo 5 BPM at a time. "
                            "Bar 12 turns the form around: land on E7 again.")});
  }

  void DrawScale() {
    Heading(QStringLiteral("One octave up and down"));
    const double gap = Mm(2.3);
    const double left = Mm(cMargin + 6);
    const double width = Mm(cContentWidth - 6);
    const double trebleTop = mY + Mm(12);
    const double bassTop = trebleTop + gap * 11;
    const tStaffC treble(mPainter, left, trebleTop, width, gap, Step('E', 4));
    const tStaffC bass(mPainter, left, bassTop, width, gap, Step('G', 2));
    treble.DrawLines();
    bass.DrawLines();

    // The brace and the system line join the two hands.
    mPainter.fillRect(QRectF(left - gap * 0.2, trebleTop, gap * 0.2, bass.Bottom() - trebleTop),
                      cInk);
    QPainterPath brace;
    const double bx = left - gap * 0.8;
    const double mid = (trebleTop + bass.Bottom()) / 2;
    brace.moveTo(bx, trebleTop);
    brace.cubicTo(bx - gap * 1.2, trebleTop + gap * 2, bx + gap * 0.4, mid - gap * 3,
                  bx - gap * 0.9, mid);
    brace.cubicTo(bx + gap * 0.4, mid + gap * 3, bx - gap * 1.2, bass.Bottom() - gap * 2, bx,
                  bass.Bottom());
    mPainter.setPen(QPen(cInk, gap * 0.28, Qt::SolidLine, Qt::RoundCap));
    mPainter.setBrush(Qt::NoBrush);
    mPainter.drawPath(brace);

    treble.DrawTrebleClef(left + gap * 1.8);
    bass.DrawBassClef(left + gap * 1.5);
    treble.DrawTimeSignature(left + gap * 5.6, 4, 4);
    bass.DrawTimeSignature(left + gap * 5.6, 4, 4);

    struct tNoteC {
      char mLetter;
      int mOctaveRight; // the left hand plays an octave lower
      int mFingerRight;
      int mFingerLeft;
    };
    static constexpr std::array<tNoteC, 15> notes = {{{'C', 4, 1, 5},
                                                      {'D', 4, 2, 4},
                                                      {'E', 4, 3, 3},
                                                      {'F', 4, 1, 2},
                                                      {'G', 4, 2, 1},
                                                      {'A', 4, 3, 3},
                                                      {'B', 4, 4, 2},
                                                      {'C', 5, 5, 1},
                                                      {'B', 4, 4, 2},
                                                      {'A', 4, 3, 3},
                                                      {'G', 4, 2, 1},
                                                      {'F', 4, 1, 2},
                                                      {'E', 4, 3, 3},
                                                      {'D', 4, 2, 4},
                                                      {'C', 4, 1, 5}}};
    const double barsStart = left + gap * 7.6;
    const double barWidth = (left + width - barsStart) / 4;
    const double beat = barWidth / 4;
    QFont fingerFont = Font("DejaVu Sans", 8, true);
    for (size_t i = 0; i < notes.size(); ++i) {
      const double x = barsStart + (double(i) + 0.55) * beat;
      const bool last = i + 1 == notes.size();
      const int right = Step(notes[i].mLetter, notes[i].mOctaveRight);
      const int leftHand = Step(notes[i].mLetter, notes[i].mOctaveRight - 1);
      treble.DrawNote(x, right, last);
      bass.DrawNote(x, leftHand, last);
      mPainter.setFont(fingerFont);
      mPainter.setPen(mAccent);
      // Fingering sits outside the system: above the right hand, below the left.
      mPainter.drawText(QRectF(x - gap, trebleTop - gap * 4.2, gap * 2, gap * 2), Qt::AlignCenter,
                        QString::number(notes[i].mFingerRight));
      mPainter.drawText(QRectF(x - gap, bass.Bottom() + gap * 2.4, gap * 2, gap * 2),
                        Qt::AlignCenter, QString::number(notes[i].mFingerLeft));
    }
    for (int b = 1; b < 4; ++b)
      treble.DrawBarLine(barsStart + b * barWidth, bass.Bottom());
    treble.DrawFinalBar(left + width, bass.Bottom());

    mY = bass.Bottom() + gap * 4.5;
    Legend(left, width,
           QStringLiteral("Fingering: above for the right hand, below for the left "
                          "(1 = thumb)."));

    Heading(QStringLiteral("Practice"));
    Bullets({QStringLiteral("Right hand: tuck the thumb under to F on the way up; cross the third "
                            "finger over to E on the way down."),
             QStringLiteral("Left hand: cross the third finger over to A on the way up; tuck the "
                            "thumb under to G on the way down."),
             QStringLiteral("Start at 60 BPM, one note a beat, hands exactly together. Then each "
                            "hand alone with your eyes closed.")});
  }

  // A small grey line under a drawing that explains its signs.
  void Legend(double aLeft, double aWidth, const QString &aText) {
    mPainter.setFont(Font("DejaVu Sans", 8));
    mPainter.setPen(cMuted);
    mPainter.drawText(QRectF(aLeft, mY, aWidth, Mm(5)), Qt::AlignLeft, aText);
    mY += Mm(14);
  }

  void DrawGroove() {
    Heading(QStringLiteral("The basic rock beat"));
    const double gap = Mm(2.6);
    const double left = Mm(cMargin + 2);
    const double width = Mm(cContentWidth - 2);
    const double top = mY + Mm(16);
    const tStaffC staff(mPainter, left, top, width, gap, Step('E', 4));
    staff.DrawLines();
    staff.DrawBarLine(left);
    staff.DrawPercussionClef(left + gap * 1.6);
    staff.DrawTimeSignature(left + gap * 4.6, 4, 4);

    const int hiHat = Step('G', 5);
    const int snare = Step('C', 5);
    const int kick = Step('F', 4);
    const double barsStart = left + gap * 7;
    const double barWidth = (left + width - barsStart) / 2;
    const double eighth = barWidth / 8;
    const double beamY = staff.Y(hiHat) - gap * 3;
    QFont countFont = Font("DejaVu Sans", 8);
    for (int bar = 0; bar < 2; ++bar) {
      for (int e = 0; e < 8; ++e) {
        const double x = barsStart + bar * barWidth + (e + 0.5) * eighth;
        staff.DrawHead(x, hiHat, tHeadE::Cross);
        int lowest = hiHat;
        if (e == 2 || e == 6) {
          staff.DrawHead(x, snare, tHeadE::Filled);
          lowest = snare;
        }
        // Bass drum on 1, 3 and the "and" of 3.
        if (e == 0 || e == 4 || e == 5) {
          staff.DrawHead(x, kick, tHeadE::Filled);
          lowest = kick;
        }
        staff.DrawStem(x, lowest, beamY);
        mPainter.setFont(countFont);
        mPainter.setPen(e % 2 ? cMuted : cInk);
        mPainter.drawText(QRectF(x - gap * 1.5, staff.Bottom() + gap * 2, gap * 3, gap * 2),
                          Qt::AlignCenter,
                          e % 2 ? QStringLiteral("&") : QString::number(e / 2 + 1));
      }
      // Eighths beamed by half bar.
      for (int half = 0; half < 2; ++half) {
        const double x0 = barsStart + bar * barWidth + (half * 4 + 0.5) * eighth + gap * 0.6;
        const double x1 = x0 + 3 * eighth;
        mPainter.fillRect(QRectF(x0 - gap * 0.055, beamY, x1 - x0 + gap * 0.11, gap * 0.5), cInk);
      }
      if (bar == 0)
        staff.DrawBarLine(barsStart + barWidth);
    }
    staff.DrawFinalBar(left + width);

    mY = staff.Bottom() + gap * 6;
    Legend(left, width,
           QStringLiteral("x above the staff: closed hi-hat  \u00b7  third space: "
                          "snare  \u00b7  bottom space: bass drum"));

    Heading(QStringLiteral("Practice"));
    Bullets({QStringLiteral("Hi-hat: even eighth notes with the right hand, counting "
                            "\"1 & 2 & 3 & 4 &\" out loud."),
             QStringLiteral("Snare on 2 and 4 with the left hand; bass drum on 1, 3 and the "
                            "\"&\" of 3."),
             QStringLiteral("Start at 70 BPM with a metronome. Loosen your grip before you speed "
                            "up; a relaxed groove is a steady one.")});
  }

  QPainter &mPainter;
  const tDemoLessonC &mLesson;
  QColor mAccent;
  double mY = 0;
};

} // namespace

void WriteDemoSheet(const QString &aFileName, const tDemoLessonC &aLesson) {
  if (!QDir().mkpath(QFileInfo(aFileName).absolutePath()))
    throw std::runtime_error(
        QStringLiteral("Cannot make the folder of %1").arg(aFileName).toStdString());
  QSaveFile file(aFileName);
  if (!file.open(QIODevice::WriteOnly))
    throw std::runtime_error(
        QStringLiteral("Cannot write %1: %2").arg(aFileName, file.errorString()).toStdString());
  {
    QPdfWriter writer(&file);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(cDpi);
    writer.setTitle(aLesson.mName);
    writer.setCreator(QStringLiteral("Melodra"));
    QPainter painter(&writer);
    painter.setRenderHint(QPainter::Antialiasing);
    tSheetC(painter, aLesson).Draw();
  }
  if (!file.commit())
    throw std::runtime_error(
        QStringLiteral("Cannot write %1: %2").arg(aFileName, file.errorString()).toStdString());
}
