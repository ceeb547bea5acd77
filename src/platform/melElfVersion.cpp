#include "melElfVersion.h"

#include <QFile>

#include <cstring>
#include <elf.h>

namespace {

constexpr uint32_t cNoteType = 1;
constexpr char cNoteName[] = "Melodra";
// A note section larger than this is no version note; it keeps a damaged
// header from making us read the whole disk.
constexpr uint64_t cMaxNoteSection = 1 << 20;

struct tSectionC {
  uint32_t mType;
  uint64_t mOffset;
  uint64_t mSize;
};

template <typename T> bool ReadAt(QFile &aFile, uint64_t aOffset, T &aOut) {
  if (!aFile.seek(static_cast<qint64>(aOffset)))
    return false;
  return aFile.read(reinterpret_cast<char *>(&aOut), sizeof(T)) == static_cast<qint64>(sizeof(T));
}

template <typename Ehdr, typename Shdr>
bool ReadSections(QFile &aFile, std::vector<tSectionC> &aOut) {
  Ehdr header;
  if (!ReadAt(aFile, 0, header))
    return false;
  if (header.e_shentsize != sizeof(Shdr) || header.e_shnum == 0)
    return false;
  for (uint32_t i = 0; i < header.e_shnum; ++i) {
    Shdr section;
    if (!ReadAt(aFile, header.e_shoff + uint64_t(i) * sizeof(Shdr), section))
      return false;
    aOut.push_back({section.sh_type, section.sh_offset, section.sh_size});
  }
  return true;
}

uint32_t Align4(uint32_t aValue) {
  return (aValue + 3u) & ~3u;
}

std::optional<tElfVersionC> FindNote(const QByteArray &aData) {
  const auto size = static_cast<uint64_t>(aData.size());
  uint64_t pos = 0;
  while (pos + 12 <= size) {
    uint32_t nameSize, descSize, type;
    std::memcpy(&nameSize, aData.constData() + pos, 4);
    std::memcpy(&descSize, aData.constData() + pos + 4, 4);
    std::memcpy(&type, aData.constData() + pos + 8, 4);
    const uint64_t namePos = pos + 12;
    const uint64_t descPos = namePos + Align4(nameSize);
    const uint64_t next = descPos + Align4(descSize);
    if (next > size || next <= pos)
      break;
    if (type == cNoteType && nameSize == sizeof(cNoteName) &&
        std::memcmp(aData.constData() + namePos, cNoteName, nameSize) == 0 && descSize == 8) {
      tElfVersionC version;
      std::memcpy(&version.mVersionMS, aData.constData() + descPos, 4);
      std::memcpy(&version.mVersionLS, aData.constData() + descPos + 4, 4);
      return version;
    }
    pos = next;
  }
  return std::nullopt;
}

} // namespace

std::optional<tElfVersionC> ReadElfVersionNote(const QString &aFileName) {
  QFile file(aFileName);
  if (!file.open(QIODevice::ReadOnly))
    return std::nullopt;
  unsigned char ident[EI_NIDENT];
  if (file.read(reinterpret_cast<char *>(ident), EI_NIDENT) != EI_NIDENT ||
      std::memcmp(ident, ELFMAG, SELFMAG) != 0)
    return std::nullopt;
  // Only files of our own byte order carry a note we wrote.
  const bool little = ident[EI_DATA] == ELFDATA2LSB;
  if (little != (Q_BYTE_ORDER == Q_LITTLE_ENDIAN))
    return std::nullopt;

  std::vector<tSectionC> sections;
  bool ok = false;
  if (ident[EI_CLASS] == ELFCLASS64)
    ok = ReadSections<Elf64_Ehdr, Elf64_Shdr>(file, sections);
  else if (ident[EI_CLASS] == ELFCLASS32)
    ok = ReadSections<Elf32_Ehdr, Elf32_Shdr>(file, sections);
  if (!ok)
    return std::nullopt;

  for (const tSectionC &section : sections) {
    if (section.mType != SHT_NOTE || section.mSize > cMaxNoteSection)
      continue;
    if (!file.seek(static_cast<qint64>(section.mOffset)))
      continue;
    const QByteArray data = file.read(static_cast<qint64>(section.mSize));
    if (auto version = FindNote(data))
      return version;
  }
  return std::nullopt;
}
