#include "dialogs/FormPrintHistory.h"

#include <QLocale>
#include <cmath>
#include <optional>

#include "common/AppContext.h"
#include "db/TDM.h"
#include "history/DayCount.h"
#include "history/DoseFormat.h"

namespace {

constexpr int kUnknownCode = 0;

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

bool TFormPrintHistory::ShowReport(const QString &userLine) {
  TDM *dm = ctx_.DM;
  if (!dm ||
      (!dm->ADOQueryHistory.Active() && !dm->OpenUserHistory(ctx_.state.User.CurrentUserKey)))
    return false;
  const RecordSet &history = dm->ADOQueryHistory;
  *report_.Title.Value("QRL_User") = userLine;
  report_.Detail.rows = history.RowCount();
  report_.Detail.text = [this, &history](int row, int field) {
    return FieldText(history, row, field);
  };
  ApplyTexts();
  Present(caption_, QStringLiteral("QR_History"));
  return true;
}

QVariant TFormPrintHistory::Column(const RecordSet &history, int row, const char *name) const {
  return history.Value(row, QLatin1String(name));
}

QString TFormPrintHistory::FieldText(const RecordSet &history, int row, int field) const {
  QString value;
  switch (field) {
  case Date:
    return EventTimeText(Column(history, row, "DateTimeEvent"));
  case Event:
    value = Column(history, row, "EventType").toString();
    QT_EventPrint(history, row, value);
    return value;
  case Value:
    value = Column(history, row, "EventValue").toString();
    QT_ValuePrint(history, row, value);
    return value;
  case DEValue:
    value = Column(history, row, "DEValue").toString();
    QT_DEValuePrint(history, row, value);
    return value;
  case DevNum:
    return Column(history, row, "DeviceId").toString();
  }
  return value;
}

int TFormPrintHistory::EventCode(const RecordSet &history, int row) const {
  const std::optional<double> code = Number(Column(history, row, "EventType"));
  if (!code || *code != std::floor(*code) || *code < 1 || *code > 9)
    return kUnknownCode;
  return int(*code);
}

void TFormPrintHistory::QT_EventPrint(const RecordSet &history, int row, QString &value) const {
  // The text entry of each event code; code 4 depends on its value.
  static constexpr int kEventText[10] = {-1, 13, 14, 15, -1, 21, 22, 23, 18, 19};
  const TextTable &t = ctx_.state.Texts;
  const int code = EventCode(history, row);
  if (code == 4) {
    const QVariant v = Column(history, row, "EventValue");
    value = v.isNull() ? QString() : t.at(Number(v).value_or(0) > 0 ? 17 : 16);
  } else if (code != kUnknownCode) {
    value = t.at(kEventText[code]);
  } // else the code number as the field holds it
}

void TFormPrintHistory::QT_ValuePrint(const RecordSet &history, int row, QString &value) const {
  value = DoseCell(history, row, "EventValue", 1, 7, true);
}

void TFormPrintHistory::QT_DEValuePrint(const RecordSet &history, int row, QString &value) const {
  value = DoseCell(history, row, "DEValue", 7, 8, false);
}

QString TFormPrintHistory::DoseCell(const RecordSet &history, int row, const char *column,
                                    int codeA, int codeB, bool rate) const {
  const int code = EventCode(history, row);
  const std::optional<double> dose = Number(Column(history, row, column));
  if ((code != codeA && code != codeB) || !dose || *dose < 0)
    return {};
  return FormatDose(*dose, ctx_.state.ProgSetting.Roentgen, rate, ctx_.state.Texts);
}

QString TFormPrintHistory::EventTimeText(const QVariant &dayCount) {
  const std::optional<double> days = Number(dayCount);
  if (!days)
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
