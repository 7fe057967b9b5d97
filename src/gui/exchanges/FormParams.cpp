#include "exchanges/FormParams.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSlider>
#include <QTabWidget>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "common/AppContext.h"
#include "common/OperatorMessages.h"
#include "common/WidgetHints.h"
#include "exchanges/FormRead.h"
#include "history/DayCount.h"

namespace {

template <typename W> W *named(W *widget, const char *name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

// Keeps a control's place in the layout while it is hidden, so that the page
// does not jump when the sound or energy-saving options are switched.
void KeepPlaceWhenHidden(QWidget *widget) {
  QSizePolicy policy = widget->sizePolicy();
  policy.setRetainSizeWhenHidden(true);
  widget->setSizePolicy(policy);
}

// The exchange window's mode is its tag; its texts depend on the mode.
template <typename Form> bool RunModalExchange(Form &form, const TextTable &texts, int mode) {
  if constexpr (requires { form.Tag = mode; })
    form.Tag = mode;
  else
    form.setProperty("Tag", mode);
  if constexpr (requires { form.ApplyTexts(mode); })
    form.ApplyTexts(mode);
  else if constexpr (requires { form.ApplyTexts(texts, mode); })
    form.ApplyTexts(texts, mode);
  return form.exec() == QDialog::Accepted;
}

// A key that inserts text, as opposed to editing and navigation keys and shortcuts.
bool IsTypedCharacter(const QKeyEvent *key) {
  if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
    return false;
  const QString text = key->text();
  return text.size() == 1 && text[0].isPrint();
}

} // namespace

TFormParams::TFormParams(AppContext &ctx, QWidget *parent) : QDialog(parent), ctx_(ctx) {
  setObjectName(QStringLiteral("FormParams"));
  setWindowTitle(QStringLiteral("Device's settings"));
  setModal(true);
  RunExchange = [this](int mode) { return RunExchangeWindow(ctx_, mode); };

  PageControlParams = named(new QTabWidget(this), "PageControlParams");
  BuildGeneralPage();
  BuildMeasurementsPage();
  BuildOthersPage();

  SB_Read = named(new QPushButton(QStringLiteral("Read"), this), "SB_Read");
  SB_Write = named(new QPushButton(QStringLiteral("Record"), this), "SB_Write");
  SB_Close = named(new QPushButton(QStringLiteral("Close"), this), "SB_Close");
  SetHint(SB_Read, QStringLiteral("Read params from device"));
  SetHint(SB_Write, QStringLiteral("Record params to device"));
  SetHint(SB_Close, QStringLiteral("Close window of device settings"));
  // Enter in an edit must not start an exchange.
  for (QPushButton *b : {SB_Read, SB_Write, SB_Close}) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(SB_Read);
  buttons->addWidget(SB_Write);
  buttons->addStretch();
  buttons->addWidget(SB_Close);

  auto *layout = new QVBoxLayout(this);
  layout->addWidget(PageControlParams);
  layout->addLayout(buttons);
  // The window takes the size its pages need, in every language.
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(SB_Read, &QPushButton::clicked, this, &TFormParams::SB_ReadClick);
  connect(SB_Write, &QPushButton::clicked, this, &TFormParams::SB_WriteClick);
  connect(SB_Close, &QPushButton::clicked, this, &TFormParams::SB_CloseClick);

  // The pickers start at the current date and time.
  const QDateTime now = ctx_.state.clock->now();
  Ed_DateActive->setDate(now.date());
  Ed_TimeActive->setTime(now.time());
  CB_SoundClick();
  cbTimeIndicationControlClick();
  TrBarBrightnessChange();
  SetThresholdLabels();
}

void TFormParams::BuildGeneralPage() {
  tsGeneral = named(new QWidget, "tsGeneral");
  PageControlParams->addTab(tsGeneral, QStringLiteral("General"));

  L_num = named(new QLabel(QStringLiteral("Device №"), tsGeneral), "L_num");
  QFont bold = L_num->font();
  bold.setBold(true);
  L_num->setFont(bold);

  L_history_interval =
      named(new QLabel(QStringLiteral("Interval of record events in a history, min"), tsGeneral),
            "L_history_interval");
  Ed_history_interval = named(new QLineEdit(tsGeneral), "Ed_history_interval");
  SetHint(Ed_history_interval,
          QStringLiteral("Input interval of record events in a history, min (1-2400)"));
  Ed_history_interval->setMaxLength(12);
  Ed_history_interval->setFixedWidth(
      Ed_history_interval->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
  L_history_interval->setBuddy(Ed_history_interval);

  L_DateTimeActive = named(new QGroupBox(QStringLiteral("Time/date of activate device"), tsGeneral),
                           "L_DateTimeActive");
  Ed_DateActive = named(new QDateEdit, "Ed_DateActive");
  Ed_TimeActive = named(new QTimeEdit, "Ed_TimeActive");
  Ed_DateActive->setCalendarPopup(true);
  Ed_DateActive->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
  Ed_TimeActive->setDisplayFormat(QStringLiteral("HH:mm:ss"));
  Ed_DateActive->setMinimumDate(QDate(1899, 12, 30));
  // The pickers show the instrument's time; a written time is always the PC's.
  Ed_DateActive->setReadOnly(true);
  Ed_TimeActive->setReadOnly(true);
  SetHint(Ed_TimeActive, QStringLiteral("Time of activate"));
  SetHint(Ed_DateActive, QStringLiteral("Date of activate"));
  CB_Sync = named(new QCheckBox(QStringLiteral("Syncronize with PC")), "CB_Sync");
  SetHint(CB_Sync, QStringLiteral("Syncronize device time with PC time at record of parameters"));
  L_TimePC = named(new QLabel(QStringLiteral("(set PC time to device)")), "L_TimePC");
  auto *pickers = new QHBoxLayout;
  pickers->addWidget(Ed_DateActive);
  pickers->addWidget(Ed_TimeActive);
  pickers->addStretch();
  auto *sync = new QHBoxLayout;
  sync->addWidget(CB_Sync);
  sync->addWidget(L_TimePC);
  sync->addStretch();
  auto *activation = new QVBoxLayout(L_DateTimeActive);
  activation->addLayout(pickers);
  activation->addLayout(sync);

  CB_ClearHist = named(new QCheckBox(QStringLiteral("Clear history"), tsGeneral), "CB_ClearHist");
  SetHint(CB_ClearHist, QStringLiteral("Clear history at record of parameters"));

  auto *interval = new QHBoxLayout;
  interval->addWidget(L_history_interval);
  interval->addWidget(Ed_history_interval);
  interval->addStretch();
  auto *page = new QVBoxLayout(tsGeneral);
  page->addWidget(L_num);
  page->addLayout(interval);
  page->addWidget(L_DateTimeActive);
  page->addWidget(CB_ClearHist);
  page->addStretch();

  Ed_history_interval->installEventFilter(this);
  connect(Ed_history_interval, &QLineEdit::editingFinished, this,
          &TFormParams::Ed_history_intervalExit);
}

void TFormParams::BuildMeasurementsPage() {
  tsMeasurements = named(new QWidget, "tsMeasurements");
  PageControlParams->addTab(tsMeasurements, QStringLiteral("Measurement"));

  gbxThresholdsRadiation =
      named(new QGroupBox(QStringLiteral("Thresholds"), tsMeasurements), "gbxThresholdsRadiation");
  L_ThresholdDER = named(new QLabel, "L_ThresholdDER");
  L_ThresholdDE = named(new QLabel, "L_ThresholdDE");
  Ed_ThresholdDER = named(new QLineEdit, "Ed_ThresholdDER");
  Ed_ThresholdDE = named(new QLineEdit, "Ed_ThresholdDE");
  L_Threshold_Gamma = named(new QLabel, "L_Threshold_Gamma");
  Ed_Threshold_Gamma = named(new QLineEdit, "Ed_Threshold_Gamma");
  SetHint(Ed_Threshold_Gamma, QStringLiteral("Input gamma threshold"));
  L_ThresholdDER->setBuddy(Ed_ThresholdDER);
  L_ThresholdDE->setBuddy(Ed_ThresholdDE);
  const int editWidth =
      Ed_ThresholdDER->fontMetrics().horizontalAdvance(QStringLiteral("1000000.000000")) + 12;
  auto *thresholds = new QGridLayout(gbxThresholdsRadiation);
  int row = 0;
  for (auto [label, edit] :
       {std::pair{L_ThresholdDER, Ed_ThresholdDER}, std::pair{L_ThresholdDE, Ed_ThresholdDE},
        std::pair{L_Threshold_Gamma, Ed_Threshold_Gamma}}) {
    edit->setFixedWidth(editWidth);
    edit->setMaxLength(40);
    thresholds->addWidget(label, row, 0);
    thresholds->addWidget(edit, row, 1);
    ++row;
  }
  thresholds->setColumnStretch(2, 1);
  L_Threshold_Gamma->hide();
  Ed_Threshold_Gamma->hide();

  rgpUnitOfMeasurements =
      named(new QGroupBox(QStringLiteral("Unit of measurements"), tsMeasurements),
            "rgpUnitOfMeasurements");
  rbUnitSievert = named(new QRadioButton(QStringLiteral("Sievert")), "rbUnitSievert");
  rbUnitRoentgen = named(new QRadioButton(QStringLiteral("Roentgen")), "rbUnitRoentgen");
  auto *unitGroup = new QButtonGroup(rgpUnitOfMeasurements);
  unitGroup->addButton(rbUnitSievert, 0);
  unitGroup->addButton(rbUnitRoentgen, 1);
  rbUnitSievert->setChecked(true);
  auto *units = new QVBoxLayout(rgpUnitOfMeasurements);
  units->addWidget(rbUnitSievert);
  units->addWidget(rbUnitRoentgen);

  // Controls of channels and modes the instrument does not have; never shown.
  L_Gamma = named(new QLabel(QStringLiteral("Gamma channel on"), tsMeasurements), "L_Gamma");
  L_Chemistry =
      named(new QLabel(QStringLiteral("Chemistry channel on"), tsMeasurements), "L_Chemistry");
  cbRadiationChannel = named(new QCheckBox(QStringLiteral("Gamma channel on"), tsMeasurements),
                             "cbRadiationChannel");
  cbChemicalChannel = named(new QCheckBox(QStringLiteral("Chemistry channel on"), tsMeasurements),
                            "cbChemicalChannel");
  GB_ModeJob = named(new QGroupBox(QStringLiteral("Job mode"), tsMeasurements), "GB_ModeJob");
  cbDER = named(new QCheckBox(QStringLiteral("Dose rate"), GB_ModeJob), "cbDER");
  cbDE = named(new QCheckBox(QStringLiteral("Equivalent dose"), GB_ModeJob), "cbDE");
  for (QWidget *w : std::initializer_list<QWidget *>{L_Gamma, L_Chemistry, cbRadiationChannel,
                                                     cbChemicalChannel, GB_ModeJob})
    w->hide();

  auto *page = new QVBoxLayout(tsMeasurements);
  page->addWidget(gbxThresholdsRadiation);
  page->addWidget(rgpUnitOfMeasurements);
  page->addStretch();

  for (QLineEdit *edit : {Ed_ThresholdDER, Ed_ThresholdDE}) {
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::textChanged, this, [this, edit] { Ed_Threshold_GammaChange(edit); });
    connect(edit, &QLineEdit::editingFinished, this,
            [this, edit] { Ed_Threshold_GammaExit(edit); });
  }
  connect(unitGroup, &QButtonGroup::idClicked, this, &TFormParams::rgpUnitOfMeasurementsClick);
}

void TFormParams::BuildOthersPage() {
  tsOthers = named(new QWidget, "tsOthers");
  PageControlParams->addTab(tsOthers, QStringLiteral("Others"));

  CB_Sound = named(new QCheckBox(QStringLiteral("Sound"), tsOthers), "CB_Sound");
  rbLoudly = named(new QRadioButton(QStringLiteral("Loudly"), tsOthers), "rbLoudly");
  rbSilent = named(new QRadioButton(QStringLiteral("Silent"), tsOthers), "rbSilent");
  rbLoudly->setChecked(true);
  CB_ButtonSound =
      named(new QCheckBox(QStringLiteral("Button beep enable"), tsOthers), "CB_ButtonSound");
  cbCalendar = named(new QCheckBox(QStringLiteral("Clock-calendar"), tsOthers), "cbCalendar");

  LBrightness = named(new QLabel(QStringLiteral("Brightness"), tsOthers), "LBrightness");
  L_min = named(new QLabel(QStringLiteral("min"), tsOthers), "L_min");
  L_max = named(new QLabel(QStringLiteral("max"), tsOthers), "L_max");
  TrBarBrightness = named(new QSlider(Qt::Horizontal, tsOthers), "TrBarBrightness");
  TrBarBrightness->setRange(BrightnessMin, BrightnessMax);
  TrBarBrightness->setSingleStep(1);
  TrBarBrightness->setPageStep(1);
  TrBarBrightness->setTickPosition(QSlider::TicksBelow);
  TrBarBrightness->setTickInterval(1);
  TrBarBrightness->setMinimumWidth(180);
  ShapeColor = named(new QFrame(tsOthers), "ShapeColor");
  ShapeColor->setFrameShape(QFrame::Box);
  ShapeColor->setFixedSize(28, 28);
  ShapeColor->setAutoFillBackground(true);

  cbTimeIndicationControl = named(new QCheckBox(QStringLiteral("Energy econom mode"), tsOthers),
                                  "cbTimeIndicationControl");
  SetHint(cbTimeIndicationControl, QStringLiteral("Display of"));
  L_TimeIndication =
      named(new QLabel(QStringLiteral("Time indication"), tsOthers), "L_TimeIndication");
  cmb_TimeIndication = named(new QComboBox(tsOthers), "cmb_TimeIndication");
  cmb_TimeIndication->setEditable(true);
  cmb_TimeIndication->setInsertPolicy(QComboBox::NoInsert);
  for (int item = 0; item < DisplayOffDelayItems; ++item)
    cmb_TimeIndication->addItem(QString::number((item + 1) * DisplayOffDelayStep));
  cmb_TimeIndication->lineEdit()->setMaxLength(12);
  L_TimeIndication->setBuddy(cmb_TimeIndication);

  for (QWidget *w : std::initializer_list<QWidget *>{rbLoudly, rbSilent, CB_ButtonSound,
                                                     L_TimeIndication, cmb_TimeIndication})
    KeepPlaceWhenHidden(w);

  auto *sound = new QGridLayout;
  sound->addWidget(CB_Sound, 0, 0, 1, 2);
  sound->addWidget(rbLoudly, 1, 1);
  sound->addWidget(rbSilent, 2, 1);
  sound->addWidget(CB_ButtonSound, 3, 1);
  sound->setColumnMinimumWidth(0, 16);
  sound->setColumnStretch(2, 1);

  auto *bar = new QHBoxLayout;
  bar->addWidget(L_min);
  bar->addWidget(TrBarBrightness);
  bar->addWidget(L_max);
  bar->addSpacing(8);
  bar->addWidget(ShapeColor);
  bar->addStretch();

  auto *delay = new QHBoxLayout;
  delay->addSpacing(16);
  delay->addWidget(L_TimeIndication);
  delay->addWidget(cmb_TimeIndication);
  delay->addStretch();

  auto *page = new QVBoxLayout(tsOthers);
  page->addLayout(sound);
  page->addWidget(cbCalendar);
  page->addSpacing(6);
  page->addWidget(LBrightness);
  page->addLayout(bar);
  page->addSpacing(6);
  page->addWidget(cbTimeIndicationControl);
  page->addLayout(delay);
  page->addStretch();

  connect(CB_Sound, &QCheckBox::toggled, this, &TFormParams::CB_SoundClick);
  connect(cbTimeIndicationControl, &QCheckBox::toggled, this,
          &TFormParams::cbTimeIndicationControlClick);
  connect(TrBarBrightness, &QSlider::valueChanged, this, &TFormParams::TrBarBrightnessChange);
  cmb_TimeIndication->installEventFilter(this);
  cmb_TimeIndication->lineEdit()->installEventFilter(this);
  connect(cmb_TimeIndication->lineEdit(), &QLineEdit::textEdited, this,
          &TFormParams::cmb_TimeIndicationChange);
  connect(cmb_TimeIndication, &QComboBox::activated, this, &TFormParams::cmb_TimeIndicationChange);
}

bool TFormParams::RunExchangeWindow(AppContext &ctx, int mode) {
  if (!ctx.FormRead)
    return false;
  return RunModalExchange(*ctx.FormRead, ctx.state.Texts, mode);
}

void TFormParams::ApplyTexts() {
  const TextTable &t = ctx_.state.Texts;
  setWindowTitle(t.at(195));
  SB_Close->setText(t.at(130));
  SetHint(SB_Close, t.at(200));
  SB_Read->setText(t.at(196));
  SetHint(SB_Read, t.at(197));
  SB_Write->setText(t.at(198));
  SetHint(SB_Write, t.at(199));
  SetHint(Ed_Threshold_Gamma, t.at(202));
  SetHint(Ed_history_interval, t.at(204));
  L_history_interval->setText(t.at(203));
  CB_Sound->setText(t.at(205));
  cbRadiationChannel->setText(t.at(208));
  cbChemicalChannel->setText(t.at(209));
  L_Gamma->setText(t.at(208));
  L_Chemistry->setText(t.at(209));
  L_DateTimeActive->setTitle(t.at(212));
  SetHint(Ed_TimeActive, t.at(213));
  SetHint(Ed_DateActive, t.at(214));
  CB_Sync->setText(t.at(215));
  SetHint(CB_Sync, t.at(216));
  L_TimePC->setText(t.at(217));
  CB_ClearHist->setText(t.at(218));
  SetHint(CB_ClearHist, t.at(219));
  L_num->setText(t.at(149));
  rbLoudly->setText(t.at(236));
  rbSilent->setText(t.at(237));
  cbTimeIndicationControl->setText(t.at(238));
  SetHint(cbTimeIndicationControl, t.at(239));
  L_TimeIndication->setText(t.at(240));
  LBrightness->setText(t.at(241));
  gbxThresholdsRadiation->setTitle(t.at(242));
  rgpUnitOfMeasurements->setTitle(t.at(257));
  rbUnitSievert->setText(t.at(258));
  rbUnitRoentgen->setText(t.at(259));
  GB_ModeJob->setTitle(t.at(260));
  cbDER->setText(t.at(261));
  cbDE->setText(t.at(262));
  cbCalendar->setText(t.at(263));
  L_max->setText(t.at(220));
  L_min->setText(t.at(221));
  PageControlParams->setTabText(PageControlParams->indexOf(tsGeneral), t.at(222));
  PageControlParams->setTabText(PageControlParams->indexOf(tsMeasurements), t.at(223));
  PageControlParams->setTabText(PageControlParams->indexOf(tsOthers), t.at(224));
  CB_ButtonSound->setText(t.at(264));
  SetThresholdLabels();
}

void TFormParams::SetThresholdLabels() {
  const TextTable &t = ctx_.state.Texts;
  const bool roentgen = UnitItem() != 0;
  L_ThresholdDER->setText(ThresholdLabel(t, true, roentgen));
  L_Threshold_Gamma->setText(ThresholdLabel(t, true, roentgen));
  L_ThresholdDE->setText(ThresholdLabel(t, false, roentgen));
}

void TFormParams::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  if (!event->spontaneous())
    FormShow();
}

void TFormParams::FormShow() {
  // What the instrument said last, or nothing: never a mix of a reading and
  // the edits of an earlier showing.
  if (ctx_.state.LastReadParams.DeviceId > 0)
    ShowDeviceParams();
  else
    ShowNothingRead();
  CB_SoundClick();
  CB_Sync->setChecked(false);
  CB_ClearHist->setChecked(false);
  PageControlParams->setCurrentWidget(tsGeneral);
}

void TFormParams::ShowNothingRead() {
  SetEditText(Ed_ThresholdDER, QString());
  SetEditText(Ed_ThresholdDE, QString());
  SetUnitItem(0);
  unitTag_ = 0;
  Ed_history_interval->clear();
  L_num->setText(ctx_.state.Texts.at(149));
  ShowOptions(ParamsFormValues{});
  const QDateTime now = ctx_.state.clock->now();
  Ed_DateActive->setDate(now.date());
  Ed_TimeActive->setTime(now.time());
}

void TFormParams::ShowOptions(const ParamsFormValues &v) {
  CB_Sound->setChecked(v.SoundOn);
  (v.Loud ? rbLoudly : rbSilent)->setChecked(true);
  CB_ButtonSound->setChecked(v.ButtonBeep);
  cbTimeIndicationControl->setChecked(v.DisplayOffEnabled);
  cmb_TimeIndication->setCurrentIndex(v.DelayItem);
  cmb_TimeIndication->setEditText(v.Delay);
  TrBarBrightness->setValue(v.Brightness);
  cbCalendar->setChecked(v.ClockCalendar);
}

void TFormParams::SB_ReadClick() {
  if (RunExchange && RunExchange(ModeReadInfo))
    ShowDeviceParams();
}

void TFormParams::ShowDeviceParams() {
  const DEVICE_PARAMS &params = ctx_.state.LastReadParams;
  const ParamsFormValues v = DeviceParamsToForm(params, DecimalPoint());
  Ed_history_interval->setText(v.HistoryInterval);
  L_num->setText(ctx_.state.Texts.at(149) + u' ' + QString::number(params.DeviceId));
  ShowOptions(v);
  SetUnitItem(v.Roentgen ? 1 : 0);
  SetEditText(Ed_ThresholdDER, v.ThresholdDER);
  SetEditText(Ed_ThresholdDE, v.ThresholdDE);
  const QDateTime activation = DayCountToDateTime(params.ActivationTime);
  if (activation.date().isValid()) {
    Ed_DateActive->setDate(activation.date());
    Ed_TimeActive->setTime(activation.time());
  }
}

bool TFormParams::CollectDeviceParams() {
  return FormToDeviceParams(FormValues(), ctx_.state.ParamsToWrite, DecimalPoint());
}

ParamsFormValues TFormParams::FormValues() const {
  ParamsFormValues v;
  v.ThresholdDER = Ed_ThresholdDER->text();
  v.ThresholdDE = Ed_ThresholdDE->text();
  v.HistoryInterval = Ed_history_interval->text();
  // The list's own visibility, whichever page is on show.
  v.DelayVisible = !cmb_TimeIndication->isHidden();
  v.Delay = cmb_TimeIndication->currentText();
  v.SoundOn = CB_Sound->isChecked();
  v.Loud = rbLoudly->isChecked();
  v.ButtonBeep = CB_ButtonSound->isChecked();
  v.DisplayOffEnabled = cbTimeIndicationControl->isChecked();
  v.Roentgen = UnitItem() != 0;
  v.ClockCalendar = cbCalendar->isChecked();
  v.Brightness = TrBarBrightness->value();
  v.ClearHistory = CB_ClearHist->isChecked();
  v.SetActivationTime = CB_Sync->isChecked();
  return v;
}

bool TFormParams::RefuseUnfitField() {
  const auto field = UnfitField(FormValues(), DecimalPoint());
  if (!field)
    return false;
  QLabel *label = L_history_interval;
  QWidget *input = Ed_history_interval;
  switch (*field) {
  case ParamsField::ThresholdDER:
    label = L_ThresholdDER;
    input = Ed_ThresholdDER;
    break;
  case ParamsField::ThresholdDE:
    label = L_ThresholdDE;
    input = Ed_ThresholdDE;
    break;
  case ParamsField::DisplayOffDelay:
    label = L_TimeIndication;
    input = cmb_TimeIndication;
    break;
  case ParamsField::HistoryInterval:
    break;
  }
  // The field's page comes forward, so the operator sees what to correct.
  for (QWidget *page : {tsGeneral, tsMeasurements, tsOthers})
    if (page->isAncestorOf(input))
      PageControlParams->setCurrentWidget(page);
  const auto [lowest, highest] = FieldRange(*field, UnitItem() != 0, DecimalPoint());
  ctx_.messages.error(
      this,
      ctx_.state.Texts.text(ProgramText::ParamOutOfRange).arg(label->text(), lowest, highest));
  input->setFocus();
  return true;
}

void TFormParams::SB_WriteClick() {
  const TextTable &t = ctx_.state.Texts;
  const DEVICE_PARAMS &p = ctx_.state.ParamsToWrite;
  if (RefuseUnfitField())
    return;
  if (!CollectDeviceParams() || !(p.DoWriteParams || p.DoSetActivationTime || p.DoClearHistory)) {
    ctx_.messages.error(this, t.at(235));
    return;
  }
  if (!p.DoWriteParams && p.DoSetActivationTime &&
      !ctx_.messages.question(this, t.at(229) + u'\n' + t.at(230), true))
    return;
  if (p.DoClearHistory && !p.DoWriteParams &&
      !ctx_.messages.question(this, t.at(231) + u'\n' + t.at(230)))
    return;
  if (p.DoClearHistory && p.DoWriteParams &&
      !ctx_.messages.question(this, t.at(225) + u'\n' + t.at(226)))
    return;
  if (!RunExchange || !RunExchange(ModeWriteParameters))
    return;
  ctx_.messages.notice(this, t.at(232));
  ShowDeviceParams();
}

void TFormParams::SB_CloseClick() {
  reject();
}

void TFormParams::CB_SoundClick() {
  const bool on = CB_Sound->isChecked();
  SetHint(CB_Sound, ctx_.state.Texts.at(on ? 206 : 207));
  rbLoudly->setVisible(on);
  rbSilent->setVisible(on);
  CB_ButtonSound->setVisible(on);
}

void TFormParams::cbTimeIndicationControlClick() {
  const bool on = cbTimeIndicationControl->isChecked();
  L_TimeIndication->setVisible(on);
  cmb_TimeIndication->setVisible(on);
}

int TFormParams::UnitItem() const {
  return rbUnitRoentgen->isChecked() ? 1 : 0;
}

void TFormParams::SetUnitItem(int item) {
  (item == 0 ? rbUnitSievert : rbUnitRoentgen)->setChecked(true);
  rgpUnitOfMeasurementsClick();
}

void TFormParams::rgpUnitOfMeasurementsClick() {
  SetThresholdLabels();
  const int item = UnitItem();
  if (unitTag_ == item)
    return;
  const bool toRoentgen = item != 0;
  for (QLineEdit *edit : {Ed_ThresholdDER, Ed_ThresholdDE})
    if (const auto text = ConvertThresholdText(edit->text(), toRoentgen, DecimalPoint()))
      SetEditText(edit, *text);
  unitTag_ = item;
}

void TFormParams::TrBarBrightnessChange() {
  const std::uint32_t bgr = BrightnessColor(TrBarBrightness->value());
  QPalette palette = ShapeColor->palette();
  palette.setColor(QPalette::Window, QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF));
  ShapeColor->setPalette(palette);
}

void TFormParams::SetEditText(QLineEdit *edit, const QString &text) {
  if (edit->text() != text)
    edit->setText(text);
}

void TFormParams::Ed_Threshold_GammaChange(QLineEdit *edit) {
  CheckThreshold(edit, true);
}

void TFormParams::Ed_Threshold_GammaExit(QLineEdit *edit) {
  if (!edit->text().isEmpty())
    CheckThreshold(edit, false);
}

void TFormParams::CheckThreshold(QLineEdit *edit, bool typing) {
  if (checkingText_)
    return;
  checkingText_ = true;
  SetEditText(edit, CheckThresholdText(edit->text(), DecimalPoint(), typing));
  checkingText_ = false;
}

void TFormParams::Ed_history_intervalExit() {
  SetEditText(Ed_history_interval, CheckIntervalText(Ed_history_interval->text()));
}

void TFormParams::cmb_TimeIndicationChange() {
  if (DelayTextAccepted(cmb_TimeIndication->currentText()))
    return;
  cmb_TimeIndication->setCurrentIndex(DisplayOffDelayItems - 1);
  cmb_TimeIndication->setEditText(QString::number(DisplayOffDelayMax));
}

bool TFormParams::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::FocusIn &&
      (watched == cmb_TimeIndication || watched == cmb_TimeIndication->lineEdit())) {
    cmb_TimeIndicationChange();
  } else if (event->type() == QEvent::KeyPress) {
    const auto *key = static_cast<QKeyEvent *>(event);
    if (IsTypedCharacter(key)) {
      if (watched == Ed_ThresholdDER || watched == Ed_ThresholdDE || watched == Ed_history_interval)
        return NumberKeyPress(static_cast<QLineEdit *>(watched), key->text());
      if (watched == cmb_TimeIndication || watched == cmb_TimeIndication->lineEdit())
        return DelayKeyPress(key->text());
    }
  }
  return QDialog::eventFilter(watched, event);
}

bool TFormParams::NumberKeyPress(QLineEdit *edit, const QString &typed) {
  const QChar c = typed[0];
  if (c == u',' || c == u'.') {
    // Either separator key types the one of the operator's regional settings.
    edit->insert(QString(DecimalPoint()));
    return true;
  }
  const bool passes =
      (c >= u'0' && c <= u'9') || c == u'-' || c == u'e' || c == u'E' || c == DecimalPoint();
  return !passes;
}

bool TFormParams::DelayKeyPress(const QString &typed) {
  const QChar c = typed[0];
  return !(c >= u'0' && c <= u'9');
}

QChar TFormParams::DecimalPoint() const {
  const QString point = QLocale().decimalPoint();
  return point.isEmpty() ? QChar(u'.') : point[0];
}
