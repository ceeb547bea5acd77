#pragma once

#include <QString>

#include <pugixml.hpp>

#include <cstdint>

// Edits of a catalog file in place, on its DOM: download status changes, the
// removal of an episode and the repair of statuses left over by a run that
// ended during downloads. The file functions open the file, edit it and save
// it atomically; failures raise ECatalogError or EMelError and leave the file
// as it was.

// Sets the Status of every File below aElement whose URL text is aURL,
// compared exactly and without trimming.
void SetStatusByURL(pugi::xml_node aElement, const QString &aURL, uint8_t aStatus);
// The file is written back even when no episode carries the URL.
void UpdateEpisodeStatusInFile(const QString &aLocalCatalogFile, const QString &aURL,
                               uint8_t aStatus);

// Removes the first File below aElement, in document order, whose "name"
// attribute is aName, then every category on its path that it left empty.
// aEmptied tells whether aElement itself was left without child nodes; it is
// never removed. Returns whether a File was found.
bool RemoveEpisodeNode(pugi::xml_node aElement, const QString &aName, bool &aEmptied);
// Returns false, and leaves the file untouched, when no episode has the name.
bool RemoveEpisodeFromFile(const QString &aLocalCatalogFile, const QString &aName);

// Downloads do not survive the program: "Error" becomes "Not downloaded" and
// "Downloading" becomes "Paused". A File without Status ends the walk of its
// category; the rest of the tree is still repaired. Returns whether a status
// changed.
bool ResetStatusesIn(pugi::xml_node aElement);
// Saves only when a status changed.
void ResetStatusesInFile(const QString &aLocalCatalogFile);
