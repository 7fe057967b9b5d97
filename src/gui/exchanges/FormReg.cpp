#include "exchanges/FormReg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "common/AppContext.h"
#include "common/WidgetHints.h"

namespace {

template <typename W> W *named(W *widget, const char *name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

} // namespace

TFormReg::TFormReg(AppContext &ctx, QWidget *parent) : QDialog(parent), ctx_(ctx) {
  setObjectName(QStringLiteral("FormReg"));
  setWindowTitle(QStringLiteral("Instrument's registration"));
  setModal(true);

  const QString clearHint =
      QStringLiteral("Clear history from instrument and set new activation time");
  RB_SaveAll =
      named(new QRadioButton(QStringLiteral("Save all data in instrument"), this), "RB_SaveAll");
  SetHint(RB_SaveAll, QStringLiteral("Save the old history and activation time at the instrument"));
  RB_ClearAll =
      named(new QRadioButton(QStringLiteral("Clear history, DE and synchronize instrument with PC"),
                             this),
            "RB_ClearAll");
  SetHint(RB_ClearAll, clearHint);
  RB_ClearAll->setChecked(true);
  L_ClearDE = named(new QLabel(QStringLiteral("Clear DE"), this), "L_ClearDE");
  SetHint(L_ClearDE, clearHint);
  L_PCSync = named(new QLabel(QStringLiteral("Synchronize instrument with PC"), this), "L_PCSync");
  SetHint(L_PCSync, clearHint);
  L_Recomend = named(new QLabel(QStringLiteral("recommended"), this), "L_Recomend");
  QFont italic = L_Recomend->font();
  italic.setItalic(true);
  L_Recomend->setFont(italic);
  L_Recomend->setStyleSheet(QStringLiteral("color: #006000;"));

  SB_Reg = named(new QPushButton(QStringLiteral("Register"), this), "SB_Reg");
  SetHint(SB_Reg, QStringLiteral("Click for begin register instrument"));
  SB_Reg->setDefault(true);
  SB_Cancel = named(new QPushButton(QStringLiteral("Cancel"), this), "SB_Cancel");
  SetHint(SB_Cancel, QStringLiteral("Not register instrument"));

  // The notes stand indented under the clearing choice.
  auto *notes = new QVBoxLayout;
  notes->setContentsMargins(24, 0, 0, 0);
  notes->addWidget(L_ClearDE);
  notes->addWidget(L_PCSync);
  auto *clearRow = new QHBoxLayout;
  clearRow->addWidget(RB_ClearAll);
  clearRow->addWidget(L_Recomend);
  clearRow->addStretch();

  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(SB_Reg);
  buttons->addWidget(SB_Cancel);

  auto *layout = new QVBoxLayout(this);
  layout->addWidget(RB_SaveAll);
  layout->addSpacing(6);
  layout->addLayout(clearRow);
  layout->addLayout(notes);
  layout->addSpacing(10);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(SB_Reg, &QPushButton::clicked, this, &TFormReg::SB_RegClick);
  connect(SB_Cancel, &QPushButton::clicked, this, &TFormReg::SB_CancelClick);
}

void TFormReg::ApplyTexts() {
  const TextTable &texts = ctx_.state.Texts;
  setWindowTitle(texts.at(166));
  RB_SaveAll->setText(texts.at(167));
  SetHint(RB_SaveAll, texts.at(168));
  RB_ClearAll->setText(texts.at(169));
  SetHint(RB_ClearAll, texts.at(170));
  L_ClearDE->setText(texts.at(171));
  SetHint(L_ClearDE, texts.at(170));
  L_PCSync->setText(texts.at(172));
  SetHint(L_PCSync, texts.at(170));
  L_Recomend->setText(texts.at(173));
  SB_Reg->setText(texts.at(174));
  SetHint(SB_Reg, texts.at(175));
  SB_Cancel->setText(texts.at(38));
  SetHint(SB_Cancel, texts.at(176));
}

void TFormReg::SB_RegClick() {
  accept();
}

void TFormReg::SB_CancelClick() {
  reject();
}
