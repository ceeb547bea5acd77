#include "melElfVersion.h"
#include "melTestEnv.h"

#include <QCoreApplication>
#include <QFile>

namespace {

class ElfVersionTest : public TTempHomeTest {};

TEST_F(ElfVersionTest, ReadsTheNoteOfAProgramFile) {
  // Test programs carry the same note as the program.
  const auto version = ReadElfVersionNote(QCoreApplication::applicationFilePath());
  ASSERT_TRUE(version.has_value());
  EXPECT_EQ(version->mVersionMS, (1u << 16) | 5u);
  EXPECT_EQ(version->mVersionLS, (0u << 16) | 61u);
}

TEST_F(ElfVersionTest, FilesWithoutTheNoteGiveNothing) {
  const QByteArray self = ReadFile(QCoreApplication::applicationFilePath());
  const QString truncated = HomeFile(QStringLiteral("truncated"));
  WriteFile(truncated, self.left(40));
  const QString text = HomeFile(QStringLiteral("text.txt"));
  WriteFile(text, "not a program");
  for (const QString &file :
       {QStringLiteral("/bin/sh"), truncated, text, HomeFile(QStringLiteral("missing"))})
    EXPECT_FALSE(ReadElfVersionNote(file).has_value()) << file.toStdString();
}

} // namespace
