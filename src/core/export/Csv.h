#pragma once
#include <QList>
#include <QString>
#include <QStringList>

// A field as RFC 4180 writes it: quoted when it holds a comma, a quote or a
// line break, its quotes doubled.
QString CsvField(const QString &text);

// Rows of fields, one line each, ended by LF.
QString CsvText(const QList<QStringList> &rows);
