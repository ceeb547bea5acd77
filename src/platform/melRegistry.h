#pragma once

#include "melErrors.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

struct tRegValueC;
class tRegistryFileC;

// The settings store: the hive HKEY_LOCAL_MACHINE kept in a text file in the
// regedit format. Every operation sees the file as it is now (it is parsed
// again only when it changed) and every write replaces it atomically, so a
// key holds nothing between calls and a crash never leaves half a file.
class TRegistry {
public:
  TRegistry();

  // Opens a key for reading; false when it does not exist.
  bool OpenKeyReadOnly(const QString &aKey);
  // Opens a key for writing, creating it (and the keys above it) when
  // aCanCreate is set; false when it cannot be opened or the settings file
  // cannot be written.
  bool OpenKey(const QString &aKey, bool aCanCreate);
  void CloseKey();
  // Removes a key with its values and subkeys in one save; false when the
  // settings file cannot be written. A missing key counts as removed.
  bool DeleteKey(const QString &aKey);
  // The values written from BeginUpdate to EndUpdate reach the file in one
  // save, so that a reader, or a crash, sees all of them or none; reads in
  // between see the file as it was. EndUpdate raises ERegistryException when
  // the save fails; an update never ended is dropped.
  void BeginUpdate();
  void EndUpdate();
  const QString &CurrentPath() const { return mCurrentKey; }

  bool ValueExists(const QString &aName) const;
  // A missing value reads as the empty text; a value of another type raises
  // ERegistryException.
  QString ReadString(const QString &aName) const;
  // A missing value or one of another type raises ERegistryException.
  int ReadInteger(const QString &aName) const;
  void WriteString(const QString &aName, const QString &aValue);
  void WriteInteger(const QString &aName, int aValue);
  // Names of the open key's subkeys, ascending, ignoring case.
  QStringList GetKeyNames() const;

  // The file the hive is kept in.
  static QString FilePath();
  // Where problems with the file (a malformed line) are reported; the log
  // installs itself here.
  static void SetDiagnostics(std::function<void(const QString &)> aSink);

private:
  void WriteValue(const tRegValueC &aValue);

  QString mCurrentKey;
  bool mOpen = false;
  std::shared_ptr<tRegistryFileC> mPending; // the writes of an update
};
