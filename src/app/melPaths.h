#pragma once

#include <QString>

// The folder the program keeps its files in ($MELODRA_HOME, else
// $XDG_DATA_HOME/Melodra), with a trailing separator.
QString ProgramFolder();
void EnsureProgramFolder();
// The running program file.
QString ProgramFile();

// Splits the drive, share or URL-like prefix off a path whose separators are
// backslashes; returns it and leaves the rest in aPath.
QString SplitPathPrefix(QString &aPath);
QString RemoveLastFolder(const QString &aFolder);
// Resolves a catalog or settings path against a base folder. Works on the
// stored text with backslash separators; LocalPath turns the result into a
// path of this file system.
QString ExpandRelativePath(const QString &aBaseFolder, const QString &aPath);
QString LocalPath(const QString &aResolvedPath);
// A file (not a folder) is at the resolved path.
bool LocalFileExists(const QString &aResolvedPath);

// ExpandRelativePath against one base folder, many times: the common case of
// a plain relative path is the base followed by the path.
class tRelativePathResolverC {
public:
  explicit tRelativePathResolverC(QString aBaseFolder);
  QString Resolve(const QString &aPath) const;

private:
  QString mBaseFolder;
  QString mResolvedBase; // the base as a resolution begins every result
};
