#pragma once
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class RecordColumn;

// A filter on the rows of a record set, written as the windows write it:
// comparisons of a field with a literal, joined with AND and OR and grouped
// with parentheses.
//   DeviceId = 5        DeviceId<0        UserId =7
//   UserSecondName='O''Brien' AND UserFirstName='x' AND UserMiddleName='y'
// Operators = <> < > <= >=, and IS NULL / IS NOT NULL; numbers in decimal, optionally signed or
// with a fraction; texts between single quotes with inner quotes doubled. Field names are matched
// without regard to case and may be written in [brackets]. Texts compare exactly (case and blanks
// count); a NULL cell passes no comparison. The text is never handed to the database.
class RecordFilter {
public:
  RecordFilter();
  ~RecordFilter();
  RecordFilter(RecordFilter &&) noexcept;
  RecordFilter &operator=(RecordFilter &&) noexcept;

  // Compiles `text` against the field names of a record set. An empty text
  // passes every row; a text that is not understood (or names an unknown
  // field) gives false and a filter that passes no row.
  bool Compile(const QString &text, const QStringList &fieldNames);

  bool PassesAll() const;
  bool Passes(const std::vector<RecordColumn> &columns, int row) const;

  struct Node;

private:
  std::unique_ptr<Node> root_;
  bool valid_ = true;
};
