#pragma once

#include <QString>

inline const QString cProductKey = QStringLiteral("\\Software\\Melodra\\Lessondeck");
inline const QString cApplicationsKey = cProductKey + QStringLiteral("\\Applications");
inline const QString cOptionsKey = cProductKey + QStringLiteral("\\Options");

// The episode path selected when the application was last closed; the empty
// text when none is stored. A value that is not text raises
// ERegistryException.
QString ReadLastPath(const QString &aApplicationName);
// Does nothing when the settings key cannot be opened or created.
void WriteLastPath(const QString &aApplicationName, const QString &aPath);

// "a.b.c.d" from the version note of a program file; empty when it has none.
QString GetFileVersionString(const QString &aFileName);
QString GetProgramVersion();

// Moves one file to the desktop's trash, without asking. The outcome is not
// examined. Anything but a file or a link to a file (a folder, a link to a
// folder) stays where it is, as a missing file does; a link goes itself,
// never its target.
void MoveToRecycleBin(const QString &aFileName, quintptr aOwnerWindow);
