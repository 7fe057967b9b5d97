#include "exchanges/FormSetting.h"
#include "common/WidgetHints.h"
#include "db/DatabaseLocation.h"
#include "dose/DoseLimitsGroup.h"
#include "exchanges/ConnectionGroup.h"
#include "lang/ProgramTexts.h"
#include "state/AppState.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "lang/TextTable.h"
#include "state/AppState.h"

template <typename W> static W *named(W *widget, const char *name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

TFormSetting::TFormSetting(AppState &state, QWidget *parent) : QDialog(parent), state_(state) {
  setObjectName(QStringLiteral("FormSetting"));
  setWindowTitle(QStringLiteral("Settings"));
  setModal(true);

  GB_ShowHistory = named(new QGroupBox(QStringLiteral("History settings"), this), "GB_ShowHistory");
  RB_ShowSv = named(new QRadioButton(QStringLiteral("Show history in Sieverts")), "RB_ShowSv");
  RB_ShowRh = named(new QRadioButton(QStringLiteral("Show history in  Roentgen")), "RB_ShowRh");
  auto *unitLayout = new QVBoxLayout(GB_ShowHistory);
  unitLayout->addWidget(RB_ShowSv);
  unitLayout->addWidget(RB_ShowRh);

  CBShow = named(new QCheckBox(QStringLiteral("Don't show this windows at the next run"), this),
                 "CBShow");
  CBShow->setChecked(true);

  GBSetting = new TConnectionGroup(this);
  RBSock = GBSetting->RBSock;
  RBPort = GBSetting->RBPort;
  L_Port = GBSetting->L_Port;
  CmbPort = GBSetting->CmbPort;

  GB_Limits = new TDoseLimitsGroup(this);

  SB_Ok = named(new QPushButton(QStringLiteral("OK"), this), "SB_Ok");
  SB_Cancel = named(new QPushButton(QStringLiteral("Cancel"), this), "SB_Cancel");
  SetHint(SB_Ok, QStringLiteral("Accept this settings"));
  SetHint(SB_Cancel, QStringLiteral("Leave old settings"));
  SB_Ok->setDefault(true);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(SB_Ok);
  buttons->addWidget(SB_Cancel);

  // Which database this desk works on: a file, or a server several desks share.
  L_Database = named(new QLabel(this), "L_Database");
  L_Database->setTextFormat(Qt::PlainText);
  L_Database->setTextInteractionFlags(Qt::TextSelectableByMouse);
  L_Database->setWordWrap(true);
  L_Database->setMaximumWidth(420);

  auto *layout = new QVBoxLayout(this);
  layout->addWidget(L_Database);
  layout->addWidget(GB_ShowHistory);
  layout->addWidget(CBShow);
  layout->addWidget(GBSetting);
  layout->addWidget(GB_Limits);
  layout->addLayout(buttons);
  // The dialog takes the size of its texts, in every language.
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(SB_Ok, &QPushButton::clicked, this, &TFormSetting::SB_OkClick);
  connect(SB_Cancel, &QPushButton::clicked, this, &TFormSetting::SB_CancelClick);
}

void TFormSetting::ApplyTexts(const TextTable &texts) {
  setWindowTitle(texts.at(269));
  CBShow->setText(texts.at(271));
  // OK keeps its caption in every language; only its hint is translated.
  SetHint(SB_Ok, texts.at(272));
  SB_Cancel->setText(texts.at(38));
  SetHint(SB_Cancel, texts.at(273));
  GBSetting->ApplyTexts(texts);
  GB_Limits->ApplyTexts(texts);
  GB_ShowHistory->setTitle(texts.at(279));
  RB_ShowSv->setText(texts.at(280));
  RB_ShowRh->setText(texts.at(281));
}

void TFormSetting::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  if (!event->spontaneous())
    FormShow();
}

void TFormSetting::FormShow() {
  L_Database->setText(state_.Texts.text(ProgramText::DatabaseInUse)
                          .arg(QDir::toNativeSeparators(ShownLocation(state_.Paths.ADOFile))));
  const bool roentgen = state_.ProgSetting.Roentgen;
  RB_ShowRh->setChecked(roentgen);
  RB_ShowSv->setChecked(!roentgen);
  GBSetting->ShowSettings(state_.ProgSetting);
  GB_Limits->ShowLimits(state_.Limits);
  CBShow->setFocus();
}

void TFormSetting::SB_OkClick() {
  if (GB_Limits->TypedLimits())
    accept();
}

void TFormSetting::SB_CancelClick() {
  reject();
}
