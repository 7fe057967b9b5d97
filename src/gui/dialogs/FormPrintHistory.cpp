#include "dialogs/FormPrintHistory.h"

#include <QLocale>
#include <cmath>
#include <optional>

#include "common/AppContext.h"
#include "db/TDM.h"
#include "history/DayCount.h"
#include "history/DoseFormat.h"
#include "history/HistoryOrder.h"

namespace {

// The locale's long time format without its time-zone part: stored times are
// wall-clock times and carry no zone.
QString TimeFormatWithoutZone(const QString &format) {
  QString out;
  bool quoted = false;
  for (qsizetype i = 0; i < format.size(); ++i) {
    const QChar c = format[i];
    if (c == u'\'')
      quoted = !quoted;
    if (quoted || c != u't') {
      out += c;
      continue;
    }
    // Drop the zone with the brackets and blanks around it.
    while (!out.isEmpty() && (out.back().isSpace() || out.back() == u'('))
      out.chop(1);
    while (i + 1 < format.size() && (format[i + 1] == u't' || format[i + 1] == u')'))
      ++i;
  }
  return out.trimmed();
}

// The number a cell holds, or nothing for NULL and texts that are not numbers.
std::optional<double> Number(const QVariant &v) {
  if (v.isNull())
    return std::nullopt;
  bool ok = false;
  const double d = v.toDouble(&ok);
  if (!ok || std::isnan(d))
    return std::nullopt;
  return d;
}

} // namespace

TFormPrintHistory::TFormPrintHistory(AppContext &ctx, QWidget *parent)
    : TReportWindow(ctx, QStringLiteral("FormPrintHistory"), parent) {
  report_.Title = {
      "TitleBand1",
      19.8,
      {{"QRL_HistoryUser", 0, 3.0, 12, true, true}, {"QRL_User", 0, 12.7, 12, false, true}},
      {}};
  report_.ColumnTitles = {"ChildBand1",
                          10.6,
                          {{"QRL_DateTitle", 14.3},
                           {"QRL_HistoryEventTitle", 50.8},
                           {"QRL_Value", 108.7},
                           {"QRL_DEValue", 137.1},
                           {"QRL_DevNum", 165.4}},
                          {}};
  report_.ColumnTitlesOnEveryPage = false;
  report_.Detail.name = "QRSD_History";
  report_.Detail.height = 7.1;
  report_.Detail.fields = {{"QT_Date", 14.8},
                           {"QT_Event", 50.8},
                           {"QT_Value", 109.0},
                           {"QT_DEValue", 137.6},
                           {"QT_DevNum", 168.5}};
}

void TFormPrintHistory::ApplyTexts() {
  const TextTable &t = ctx_.state.Texts;
  *report_.Title.Value("QRL_HistoryUser") = t.at(150);
  *report_.ColumnTitles.Value("QRL_DateTitle") = t.at(151);
  *report_.ColumnTitles.Value("QRL_HistoryEventTitle") = t.at(152);
  *report_.ColumnTitles.Value("QRL_Value") = t.at(153);
  *report_.ColumnTitles.Value("QRL_DEValue") = t.at(20);
  *report_.ColumnTitles.Value("QRL_DevNum") = t.at(149);
  caption_ = t.at(154);
}

bool TFormPrintHistory::ShowReport(const QString &userLine,
                                   const std::optional<QList<StoredEvent>> &shown) {
  std::optional<QList<StoredEvent>> rows = shown;
  if (!rows && ctx_.DM)
    rows = ctx_.DM->History().UserHistory(ctx_.state.User.CurrentUserKey, ctx_.state.Filter);
  if (!rows)
    return false;
  PutInTimeOrder(*rows);
  *report_.Title.Value("QRL_User") = userLine;
  report_.Detail.rows = int(rows->size());
  report_.Detail.text = [this, history = *rows](int row, int field) {
    return FieldText(history[row], field);
  };
  ApplyTexts();
  Present(caption_, QStringLiteral("QR_History"));
  return true;
}

QString TFormPrintHistory::FieldText(const StoredEvent &event, int field) const {
  QString value;
  switch (field) {
  case Date:
    return EventTimeText(event.DateTimeEvent);
  case Event:
    if (event.EventType)
      value = QString::number(*event.EventType);
    QT_EventPrint(event, value);
    return value;
  case Value:
    if (event.EventValue)
      value = QString::number(*event.EventValue);
    QT_ValuePrint(event, value);
    return value;
  case DEValue:
    if (event.DEValue)
      value = QString::number(*event.DEValue);
    QT_DEValuePrint(event, value);
    return value;
  case DevNum:
    return event.DeviceId ? QString::number(*event.DeviceId) : QString();
  }
  return value;
}

void TFormPrintHistory::QT_EventPrint(const StoredEvent &event, QString &value) const {
  // The text entry of each event code; code 4 depends on its value.
  static constexpr int kEventText[10] = {-1, 13, 14, 15, -1, 21, 22, 23, 18, 19};
  const TextTable &t = ctx_.state.Texts;
  const int code = event.EventType.value_or(0);
  if (code == 4)
    value = event.EventValue ? t.at(*event.EventValue > 0 ? 17 : 16) : QString();
  else if (code >= 1 && code <= 9)
    value = t.at(kEventText[code]);
  // else the code number as the cell holds it
}

void TFormPrintHistory::QT_ValuePrint(const StoredEvent &event, QString &value) const {
  const std::optional<double> rate = ShownRate(event);
  value =
      rate ? FormatDose(*rate, ctx_.state.ProgSetting.Roentgen, true, ctx_.state.Texts) : QString();
}

void TFormPrintHistory::QT_DEValuePrint(const StoredEvent &event, QString &value) const {
  const std::optional<double> dose = ShownDose(event);
  value = dose ? FormatDose(*dose, ctx_.state.ProgSetting.Roentgen, false, ctx_.state.Texts)
               : QString();
}

QString TFormPrintHistory::EventTimeText(const QVariant &dayCount) {
  return EventTimeText(Number(dayCount));
}

QString TFormPrintHistory::EventTimeText(std::optional<double> days) {
  if (!days || std::isnan(*days))
    return {};
  const QDateTime t = DayCountToDateTime(*days);
  if (t.date().isNull())
    return {};
  const QLocale locale;
  QString text = locale.toString(t.date(), locale.dateFormat(QLocale::ShortFormat));
  if (t.time() != QTime(0, 0))
    text += u' ' + locale.toString(t.time(), TimeFormatWithoutZone(locale.timeFormat()));
  return text;
}
