#include "db/DbFileState.h"

#include <QFileInfo>

// A file that a connection holds open cannot be deleted or replaced here;
// whether it still exists and may be written is what can change.
DbFileState CurrentDbFileState(const QString &path) {
  DbFileState state;
  const QFileInfo info(path);
  state.exists = !path.isEmpty() && info.isFile();
  state.writable = state.exists && info.isWritable();
  return state;
}
