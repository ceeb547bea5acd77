#pragma once

#include <QString>

// Makes every file the store sells that aFolder lacks: movies with ffmpeg,
// sheets as PDF (needs a QGuiApplication). Each file appears under its name
// only once complete, so whatever is there counts as done; leftovers of an
// interrupted run are removed first. Returns how many files were made.
// Raises std::runtime_error.
int EnsureDemoStoreFiles(const QString &aFolder);
