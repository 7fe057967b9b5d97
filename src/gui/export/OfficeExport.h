#pragma once
#include <QString>
#include <QTemporaryDir>
#include <QUrl>
#include <functional>

#include "export/TextExport.h"

// An OpenDocument text holding one table of the rows top to bottom and every
// column: a filled row gives its cells (a cell empty after trimming stays
// empty), an empty row gives a row of empty cells. False with the reason in
// *error when the file cannot be written.
bool WriteOdtTable(const QString &path, const GridText &grid, int top, int bottom,
                   QString *error = nullptr);

// An .xlsx workbook with one sheet: column j of the grid in sheet column
// "a" + j, the k-th row of top..bottom in sheet row k, so that empty rows keep
// their places; each column as wide as its longest text.
bool WriteXlsxCells(const QString &path, const GridText &grid, int top, int bottom,
                    QString *error = nullptr);

// The word processor and spreadsheet command: writes the selected rows as an
// OpenDocument text and as an .xlsx workbook into a folder that lives as long
// as this object, and opens both in the desktop's default applications.
class OfficeExport {
public:
  // Opens a written file; the desktop's default application unless replaced.
  using Opener = std::function<bool(const QUrl &)>;
  explicit OfficeExport(Opener opener = {});

  // False with the system's message in *error when a file cannot be written
  // or opened.
  bool Export(const GridText &grid, int top, int bottom, QString *error = nullptr);

  // The files of the last export.
  const QString &OdtPath() const { return odtPath_; }
  const QString &XlsxPath() const { return xlsxPath_; }

private:
  Opener opener_;
  QTemporaryDir folder_;
  int count_ = 0;
  QString odtPath_, xlsxPath_;
};
