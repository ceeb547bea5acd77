#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Called with the descriptor of the written and flushed temporary file, just
// before it is renamed into place.
using tBeforeCommitFn = std::function<void(int aHandle)>;

// Writes aContent to aLocalPath so that a failed or interrupted save keeps the
// previous content: a temporary file in the same folder, written and flushed
// (each checked), then renamed over the old one. Returns the empty text when
// saved, otherwise "Cannot write the <aWhat> <file>: <reason>" for the caller
// to raise as its own error.
[[nodiscard]] QString SaveFileAtomically(const QString &aLocalPath, const QByteArray &aContent,
                                         const QString &aWhat,
                                         const tBeforeCommitFn &aBeforeCommit = {});
