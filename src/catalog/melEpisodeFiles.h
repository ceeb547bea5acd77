#pragma once

#include "melErrors.h"

#include <QString>

// A file type outside the placement table.
class UnknownFileTypeException : public EMelError {
public:
  using EMelError::EMelError;
};

// A store file name that could place a file outside the media folders: it
// holds a separator, is "." or "..", is empty, or holds a control character.
class UnsafeFileNameException : public EMelError {
public:
  using EMelError::EMelError;
};

// The text before the last "."; the whole text when it has none.
QString StripExtension(const QString &aText);

// Where an episode file of the given type lies, relative to the catalog
// file's folder, backslash-separated (video\clip.mov). Raises
// UnknownFileTypeException or UnsafeFileNameException.
QString EpisodeFilePath(const QString &aFileName, const QString &aFileType);
