#pragma once

#include "melDemoLessons.h"

#include <QString>

// Writes the lesson's sheet as a one-page A4 PDF: heading, the music the
// lesson is about, practice notes. Needs a QGuiApplication for the fonts.
// Raises std::runtime_error when the file cannot be written.
void WriteDemoSheet(const QString &aFileName, const tDemoLessonC &aLesson);
