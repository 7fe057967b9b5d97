#pragma once
#include <QString>
#include <cstdint>

// The database file behind an open connection, as it was when the connection
// was opened: which file it is and whether this process may write it. An open
// connection keeps working on the file it opened even after that file was
// deleted, replaced by another or made read-only; what it then writes is
// lost or goes where it must not. Comparing this state before each statement
// tells when to reconnect to what the path names now.
struct DbFileState {
  bool exists = false;
  bool writable = false;
  std::uint64_t device = 0; // the file's identity where the platform has one
  std::uint64_t inode = 0;

  bool operator==(const DbFileState &) const = default;
};

DbFileState CurrentDbFileState(const QString &path);
