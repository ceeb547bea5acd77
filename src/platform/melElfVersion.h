#pragma once

#include <QString>

#include <cstdint>
#include <optional>

struct tElfVersionC {
  uint32_t mVersionMS = 0;
  uint32_t mVersionLS = 0;
};

// Reads the version note ("Melodra", type 1) from an ELF file. Nothing when
// the file cannot be read, is not ELF or carries no such note.
std::optional<tElfVersionC> ReadElfVersionNote(const QString &aFileName);
