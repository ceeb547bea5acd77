#pragma once

#include "melErrors.h"

#include <QString>

// A file type outside the placement table.
class UnknownFileTypeException : public EMelError {
public:
  using EMelError::EMelError;
};

// A store file name that could place a file outside the media folders: the
// catalog reader, once it has trimmed and resolved the stored path, would not
// find one file directly inside the media folder of its type (a separator, a
// colon, an empty name, "." or ".." after trimming), or the name holds a
// control character.
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
