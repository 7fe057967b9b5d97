// The toolkit's own texts follow the program's language: the standard
// buttons of a question, already open or opened later, and the file dialog,
// through the main window's language commands.
#include "ProgramRunBase.h"
#include "lang/ToolkitTranslations.h"
#include "main/MainForm.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

namespace {

struct Run : ProgramRunBase {
  Run() {
    ctx.executableFolder = folder.path();
    QFile settings(folder.file("VX4418.ini"));
    if (settings.open(QIODevice::WriteOnly))
      settings.write("[Program setting]\nRunSet=0\n");
  }
  void start() {
    windows = CreateProgramWindows(ctx);
    windows->MainForm->show();
  }
  void choose(const char *action) { windows->MainForm->action(action)->trigger(); }
};

// The texts a question's Yes, No and Cancel show, without the mnemonic.
QStringList ButtonTexts(const QDialogButtonBox &box) {
  QStringList texts;
  for (auto b : {QDialogButtonBox::Yes, QDialogButtonBox::No, QDialogButtonBox::Cancel})
    texts << box.button(b)->text().remove(u'&');
  return texts;
}

QStringList QuestionButtons() {
  QMessageBox box(QMessageBox::Question, "t", "q",
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  QStringList texts;
  for (auto b : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel})
    texts << box.button(b)->text().remove(u'&');
  return texts;
}

const QStringList English{"Yes", "No", "Cancel"};
const QStringList Russian{"Да", "Нет", "Отмена"};
const QStringList Spanish{"Sí", "No", "Cancelar"};

} // namespace

class TestToolkitLanguage : public QObject {
  Q_OBJECT
private slots:
  void languageCommandsReachTheStandardButtons();
  void anOpenDialogFollowsAtOnce();
  void fileDialogFollows();
  void aCatalogueGoesWithItsOwner();
};

void TestToolkitLanguage::languageCommandsReachTheStandardButtons() {
  Run run;
  QVERIFY(run.folder.isValid());
  run.start();
  QCOMPARE(QuestionButtons(), English);
  run.choose("SpanishLang");
  QCOMPARE(QuestionButtons(), Spanish);
  run.choose("EnglLang");
  QCOMPARE(QuestionButtons(), English);
  run.choose("RussianLang");
  QCOMPARE(QuestionButtons(), Russian);
}

void TestToolkitLanguage::anOpenDialogFollowsAtOnce() {
  ToolkitTranslations toolkit;
  QDialogButtonBox box(QDialogButtonBox::Yes | QDialogButtonBox::No | QDialogButtonBox::Cancel);
  box.show();
  QCOMPARE(ButtonTexts(box), English);
  QVERIFY(toolkit.Follow(Language::Spanish));
  QTRY_COMPARE(ButtonTexts(box), Spanish);
  QVERIFY(toolkit.Follow(Language::Russian));
  QTRY_COMPARE(ButtonTexts(box), Russian);
  QVERIFY(toolkit.Follow(Language::English));
  QTRY_COMPARE(ButtonTexts(box), English);
}

void TestToolkitLanguage::fileDialogFollows() {
  ToolkitTranslations toolkit;
  QVERIFY(toolkit.Follow(Language::Russian));
  QFileDialog dialog;
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  const QLabel *fileNameLabel = dialog.findChild<QLabel *>("fileNameLabel");
  QVERIFY(fileNameLabel);
  QCOMPARE(fileNameLabel->text().remove(u'&').remove(u':'), "Имя файла");
}

void TestToolkitLanguage::aCatalogueGoesWithItsOwner() {
  ToolkitTranslations toolkit;
  QVERIFY(toolkit.Follow(Language::Russian));
  {
    ToolkitTranslations other;
    QVERIFY(other.Follow(Language::Spanish));
    QCOMPARE(QuestionButtons(), Spanish);
  }
  QCOMPARE(QuestionButtons(), Russian);
}

QTEST_MAIN(TestToolkitLanguage)
#include "tst_toolkitlanguage.moc"
