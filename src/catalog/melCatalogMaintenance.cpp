#include "melCatalogMaintenance.h"

#include "melCatalog.h"
#include "melCatalogDocument.h"

#include <cstring>

namespace {

bool IsFile(const pugi::xml_node &aNode) {
  return aNode.type() == pugi::node_element && std::strcmp(aNode.name(), "File") == 0;
}

// What a walk does after a File.
enum class tStep { Next, LeaveCategory, Stop };

// The node after aNode's subtree in document order, or none when that leaves
// aTop.
pugi::xml_node NextAfter(pugi::xml_node aNode, const pugi::xml_node &aTop) {
  while (aNode != aTop && !aNode.next_sibling())
    aNode = aNode.parent();
  return aNode == aTop ? pugi::xml_node() : aNode.next_sibling();
}

// Visits the Files below aTop in document order, entering every other node
// but no File. Walked without recursion: a damaged catalog may nest deeply.
template <typename tVisit> void ForEachFile(const pugi::xml_node &aTop, tVisit aVisit) {
  pugi::xml_node node = aTop.first_child();
  while (node) {
    if (!IsFile(node)) {
      node = node.first_child() ? node.first_child() : NextAfter(node, aTop);
      continue;
    }
    switch (aVisit(node)) {
    case tStep::Next: node = NextAfter(node, aTop); break;
    case tStep::LeaveCategory: node = NextAfter(node.parent(), aTop); break;
    case tStep::Stop: return;
    }
  }
}

void SetElementText(pugi::xml_node aElement, const QString &aText) {
  while (aElement.first_child())
    aElement.remove_child(aElement.first_child());
  if (!aText.isEmpty())
    aElement.append_child(pugi::node_pcdata).set_value(aText.toUtf8().constData());
}

} // namespace

void SetStatusByURL(pugi::xml_node aElement, const QString &aURL, uint8_t aStatus) {
  const QString status = StatusToText(aStatus);
  ForEachFile(aElement, [&](pugi::xml_node aFile) {
    const pugi::xml_node url = aFile.child("URL");
    if (url && ElementText(url) == aURL) {
      pugi::xml_node element = aFile.child("Status");
      // Every File the program writes has a Status; one edited by hand may
      // not, and gets one.
      if (!element)
        element = aFile.append_child("Status");
      SetElementText(element, status);
    }
    return tStep::Next;
  });
}

void UpdateEpisodeStatusInFile(const QString &aLocalCatalogFile, const QString &aURL,
                               uint8_t aStatus) {
  tCatalogDocumentC document(aLocalCatalogFile);
  SetStatusByURL(document.Root(), aURL, aStatus);
  document.Save();
}

bool RemoveEpisodeNode(pugi::xml_node aElement, const QString &aName, bool &aEmptied) {
  aEmptied = false;
  pugi::xml_node found;
  ForEachFile(aElement, [&](pugi::xml_node aFile) {
    const pugi::xml_attribute name = aFile.attribute("name");
    if (!name || Utf8Text(name.value()) != aName)
      return tStep::Next;
    found = aFile;
    return tStep::Stop;
  });
  if (!found)
    return false;
  pugi::xml_node node = found.parent();
  node.remove_child(found);
  // A category without episodes is of no use; the ones the removal emptied go
  // too, up to aElement.
  while (node != aElement && !node.first_child()) {
    pugi::xml_node parent = node.parent();
    parent.remove_child(node);
    node = parent;
  }
  aEmptied = node == aElement && !aElement.first_child();
  return true;
}

bool RemoveEpisodeFromFile(const QString &aLocalCatalogFile, const QString &aName) {
  tCatalogDocumentC document(aLocalCatalogFile);
  bool emptied = false;
  if (!RemoveEpisodeNode(document.Root(), aName, emptied))
    return false;
  document.Save();
  return true;
}

bool ResetStatusesIn(pugi::xml_node aElement) {
  const QString error = StatusToText(esError);
  const QString downloading = StatusToText(esDownloading);
  bool changed = false;
  ForEachFile(aElement, [&](pugi::xml_node aFile) {
    const pugi::xml_node status = aFile.child("Status");
    // The rest of the category is left as it is; other categories go on.
    if (!status)
      return tStep::LeaveCategory;
    if (ElementText(status) == error) {
      SetElementText(status, StatusToText(esNotDownloaded));
      changed = true;
    }
    if (ElementText(status) == downloading) {
      SetElementText(status, StatusToText(esPaused));
      changed = true;
    }
    return tStep::Next;
  });
  return changed;
}

void ResetStatusesInFile(const QString &aLocalCatalogFile) {
  tCatalogDocumentC document(aLocalCatalogFile);
  // Nothing to repair: the file is left as it is, byte for byte.
  if (ResetStatusesIn(document.Root()))
    document.Save();
}
