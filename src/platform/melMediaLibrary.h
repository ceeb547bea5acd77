#pragma once

#include <QList>
#include <QString>

// The desktop's media library: playlists are M3U8 files (UTF-8, #EXTM3U with
// an #EXTINF title per entry, absolute paths) in Playlists/ of the user's
// music folder, where desktop players look for them. A portable player is a
// folder (a mounted device) that receives a copy of a playlist and its files.

struct tPlaylistEntryC {
  QString mTitle;
  // Absolute local path.
  QString mFile;
  bool operator==(const tPlaylistEntryC &) const = default;
};

// Playlists/ in the music folder the desktop names (XDG_MUSIC_DIR, else
// ~/Music), without a trailing separator.
QString PlaylistsFolder();
// Where the playlist named aName is kept, whether it exists or not.
QString PlaylistFile(const QString &aName);
// The file of the playlist named aName, made (empty but for its header) when
// there is none yet. Raises EMelError when it cannot be made.
QString FindOrCreatePlaylist(const QString &aName);
// Appends an entry to the playlist file; the title loses its line breaks. The
// file is replaced atomically, so an interrupted write keeps the previous
// list. Raises EMelError when it cannot be written, or when aFile cannot be
// written as a playlist line.
void AddToPlaylist(const QString &aPlaylistFile, const QString &aFile, const QString &aTitle);
// The local files of a playlist in order, relative entries resolved against
// its folder; addresses that are not local files are left out. Raises
// EMelError when it cannot be read.
QList<tPlaylistEntryC> ReadPlaylist(const QString &aPlaylistFile);

// The folder the portable player keeps a playlist's files in, beside the
// playlist: its name without the extension.
QString PortableFilesFolderName(const QString &aPlaylistFile);
// Copies the playlist and the files it lists that exist into aPlayerFolder:
// the files into the subfolder PortableFilesFolderName, the playlist beside
// it naming them relative to itself, so the player finds them wherever the
// device is mounted. A file already there with the same size and time is not
// copied again; nothing on the player is removed. Returns false, doing
// nothing, when aPlayerFolder is not an existing folder. Raises EMelError
// when a copy fails; what was copied before stays.
bool UpdatePortablePlayer(const QString &aPlaylistFile, const QString &aPlayerFolder);
