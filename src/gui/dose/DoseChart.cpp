#include "dose/DoseChart.h"

#include <QChart>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "history/DayCount.h"
#include "history/DoseFormat.h"
#include "lang/TextTable.h"

qint64 DayCountAxisTime::operator()(double dayCount) {
  const double whole = std::floor(dayCount);
  if (qint64(whole) != day_) {
    day_ = qint64(whole);
    midnight_ = DayCountToDateTime(whole).toMSecsSinceEpoch();
  }
  return midnight_ + qint64(std::llround((dayCount - whole) * 86400000.0));
}

QChart *BuildDoseChart(const DoseCurve &curve, const DosePeriod &period, const DoseLimits &limits,
                       const TextTable &texts, bool roentgen, const QString &person) {
  auto *chart = new QChart;
  chart->setTitle(texts.text(ProgramText::ChartTitle).arg(person));
  chart->setAnimationOptions(QChart::NoAnimation);
  DayCountAxisTime at;
  const qint64 begin = at(period.Begin), end = at(period.End);

  QList<QPointF> received;
  received.reserve(curve.points.size() + 2);
  received.append({double(begin), 0});
  for (const DoseCurve::Point &p : curve.points)
    received.append({double(at(p.Time)), MilliDose(p.Dose, roentgen)});
  received.append({double(end), MilliDose(curve.Total(), roentgen)});
  auto *line = new QLineSeries;
  line->setName(texts.text(ProgramText::ChartReceived));
  line->replace(received);

  QList<QPointF> alarmPoints;
  alarmPoints.reserve(curve.alarms.size());
  for (const DoseCurve::Alarm &a : curve.alarms)
    alarmPoints.append({double(at(a.Time)), MilliDose(a.Dose, roentgen)});
  auto *alarms = new QScatterSeries;
  alarms->setName(texts.text(ProgramText::ChartAlarms));
  alarms->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
  alarms->setMarkerSize(8);
  alarms->setColor(QColor(0xc0, 0x20, 0x20));
  alarms->replace(alarmPoints);

  auto level = [&](ProgramText name, double sv, const QColor &colour) {
    auto *s = new QLineSeries;
    s->setName(texts.text(name));
    const double y = MilliDose(sv, roentgen);
    s->append(double(begin), y);
    s->append(double(end), y);
    QPen pen(colour);
    pen.setStyle(Qt::DashLine);
    pen.setWidth(2);
    s->setPen(pen);
    return s;
  };
  QLineSeries *investigation =
      level(ProgramText::ChartInvestigationLevel, limits.InvestigationLevel, QColor(0xd0, 0x90, 0));
  QLineSeries *annual = level(ProgramText::ChartAnnualLimit, limits.AnnualLimit, Qt::red);

  chart->addSeries(line);
  chart->addSeries(investigation);
  chart->addSeries(annual);
  chart->addSeries(alarms);

  auto *x = new QDateTimeAxis;
  x->setTitleText(texts.text(ProgramText::ChartTime));
  x->setFormat(period.End - period.Begin > 400 ? QStringLiteral("yyyy")
                                               : QStringLiteral("dd.MM.yyyy"));
  x->setRange(QDateTime::fromMSecsSinceEpoch(begin), QDateTime::fromMSecsSinceEpoch(end));
  auto *y = new QValueAxis;
  y->setTitleText(texts.text(ProgramText::ChartDose).arg(MilliDoseUnit(roentgen, texts)));
  const double top =
      std::max({MilliDose(curve.Total(), roentgen), MilliDose(limits.AnnualLimit, roentgen),
                MilliDose(limits.InvestigationLevel, roentgen)});
  y->setRange(0, top * 1.1);
  y->applyNiceNumbers();
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  for (QAbstractSeries *s : chart->series()) {
    s->attachAxis(x);
    s->attachAxis(y);
  }
  return chart;
}
