#include "history/FormJournal.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "common/AppContext.h"
#include "common/OperatorMessages.h"
#include "db/TDM.h"
#include "history/JournalList.h"

TFormJournal::TFormJournal(AppContext &ctx, QWidget *parent) : QDialog(parent), ctx_(ctx) {
  setObjectName(QStringLiteral("FormJournal"));
  setModal(true);
  Rows = new JournalModel(this);
  TV_Journal = new QTableView(this);
  TV_Journal->setObjectName(QStringLiteral("TV_Journal"));
  TV_Journal->setModel(Rows);
  TV_Journal->setSelectionBehavior(QAbstractItemView::SelectRows);
  TV_Journal->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TV_Journal->setAlternatingRowColors(true);
  TV_Journal->verticalHeader()->hide();
  TV_Journal->horizontalHeader()->setStretchLastSection(true);
  SB_Close = new QPushButton(this);
  SB_Close->setObjectName(QStringLiteral("SB_Close"));
  SB_Close->setDefault(true);
  connect(SB_Close, &QPushButton::clicked, this, &QDialog::accept);

  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(SB_Close);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(TV_Journal);
  layout->addLayout(buttons);
  resize(820, 460);
}

bool TFormJournal::ShowJournal() {
  const TextTable &texts = ctx_.state.Texts;
  std::optional<QList<JournalEntry>> entries =
      ctx_.DM ? ctx_.DM->JournalLog().Entries() : std::nullopt;
  if (!entries) {
    ctx_.messages.error(this, texts.text(ProgramText::JournalUnreadable) + u'\n' +
                                  (ctx_.DM ? ctx_.DM->LastError() : QString()));
    return false;
  }
  setWindowTitle(texts.text(ProgramText::JournalTitle));
  SB_Close->setText(texts.text(ProgramText::JournalClose));
  Rows->Fill(std::move(*entries), texts);
  TV_Journal->resizeColumnsToContents();
  if (Rows->rowCount() > 0)
    TV_Journal->selectRow(0);
  exec();
  return true;
}
