#include "dose/DoseLimits.h"

#include <QLocale>
#include <cmath>

std::optional<double> TypedDose(const QString &text) {
  QString t = text.trimmed();
  t.replace(QLocale().decimalPoint(), QStringLiteral("."));
  t.replace(u',', u'.');
  bool ok = false;
  const double v = QLocale::c().toDouble(t, &ok);
  if (!ok || !std::isfinite(v) || v <= 0)
    return std::nullopt;
  return v;
}
