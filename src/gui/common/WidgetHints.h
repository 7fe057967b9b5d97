#pragma once
#include "lang/TextTable.h"

#include <QWidget>

// Gives a control a hint: the tool tip is the part before "|", the status
// bar's long hint the part after it (both the whole text without "|").
inline void SetHint(QWidget *widget, const QString &hint) {
  widget->setToolTip(TextTable::shortHint(hint));
  widget->setStatusTip(TextTable::longHint(hint));
}
