// The user editor: required names, trimming, the duplicate check in both
// modes, names stored as typed, failures, the Enter key and the markers.
#include "DialogFixture.h"
#include "dialogs/FormUser.h"
#include "lang/ProgramTexts.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

struct UserRow {
  qint64 key;
  QString second, first, middle;
  qint64 device;
};

struct Editor : DialogFixture<TFormUser> {
  QList<UserRow> users() {
    QList<UserRow> rows;
    for (const QVariantList &r :
         select("SELECT UserId, UserSecondName, UserFirstName, UserMiddleName, DeviceId "
                "FROM TableUser ORDER BY UserId"))
      rows.append({r[0].toLongLong(), r[1].toString(), r[2].toString(), r[3].toString(),
                   r[4].toLongLong()});
    return rows;
  }

  void open(int mode, const QString &second = {}, const QString &first = {},
            const QString &middle = {}, int key = -1) {
    form.hide();
    form.Mode = mode;
    form.StoredSecondName = second;
    form.StoredFirstName = first;
    form.StoredMiddleName = middle;
    form.EditedUserKey = key;
    form.show();
  }
  void type(const QString &second, const QString &first, const QString &middle) {
    form.EdSecondName->setText(second);
    form.EdFirstName->setText(first);
    form.EdMiddleName->setText(middle);
  }
  // Presses Save; true when the window closed with OK.
  bool save() {
    form.setResult(-1);
    QTest::mouseClick(form.SB_Save, Qt::LeftButton);
    return !form.isVisible() && form.result() == QDialog::Accepted;
  }
  QString lastError() const {
    return messages.shown.empty() ? QString() : messages.shown.back().text;
  }
};

// With the "1" the tests add, the longest first name the register keeps.
const QString LongName = QString(150, u'Я') + QString(104, u'w');

} // namespace

class TestUserEditor : public QObject {
  Q_OBJECT
private slots:
  void requiredNames_data();
  void requiredNames();
  void longNamesAreRefusedNeverCut();
  void trimsOnlyControlCodesAndBlanksAtTheEnds();
  void namesAreStoredAndComparedAsTyped_data();
  void namesAreStoredAndComparedAsTyped();
  void duplicateInAddMode_data();
  void duplicateInAddMode();
  void editChecksOtherRowsOnly();
  void editWithoutChangeTouchesNothing();
  void unreachableDatabaseIsReported();
  void enterWalksTheEditsAndNeverSaves();
  void textsModeAndMarkersFollowTheLanguage();
};

void TestUserEditor::requiredNames_data() {
  QTest::addColumn<int>("mode");
  QTest::addColumn<QString>("second");
  QTest::addColumn<QString>("first");
  QTest::newRow("blank second name") << 0 << "   "
                                     << "Ivan";
  QTest::newRow("empty first name") << 0 << "Ivanov"
                                    << "";
  QTest::newRow("control codes only") << 0 << QString("\t\x01\x1f ") << "Ivan";
  QTest::newRow("both empty") << 0 << ""
                              << "";
  QTest::newRow("edit into blank first name") << 1 << "Ivanov"
                                              << " \t ";
}

void TestUserEditor::requiredNames() {
  QFETCH(int, mode);
  QFETCH(QString, second);
  QFETCH(QString, first);
  Editor e;
  e.exec({"INSERT INTO TableUser VALUES (5, 'Ivanov', 'Ivan', 'I', 12)"});
  e.open(mode, "Ivanov", "Ivan", "I", 5);
  e.type(second, first, "Middle");
  QVERIFY(!e.save());
  QVERIFY(e.form.isVisible());
  QCOMPARE(e.messages.shown.size(), std::size_t(1));
  QCOMPARE(e.messages.shown.front().kind, OperatorMessages::Error);
  QCOMPARE(e.lastError(), e.state.Texts.at(40));
  // The input stays as typed and nothing is written.
  QCOMPARE(e.form.EdSecondName->text(), second);
  QCOMPARE(e.form.EdMiddleName->text(), QString("Middle"));
  const QList<UserRow> rows = e.users();
  QCOMPARE(rows.size(), 1);
  QCOMPARE(rows[0].middle, QString("I"));
}

// A name longer than the register keeps is refused with a message in the
// language in use, in both modes; the longest one is stored whole.
void TestUserEditor::longNamesAreRefusedNeverCut() {
  Editor e;
  e.exec({"INSERT INTO TableUser VALUES (5, 'Ivanov', 'Ivan', 'I', 12)"});
  const QString longest(MaxNameLength, QChar(u'\u0416'));
  const QString tooLong = longest + u'x';
  for (const auto &[language, file] :
       {std::pair{Language::English, "LangE"}, std::pair{Language::Russian, "LangR"},
        std::pair{Language::Spanish, "LangES"}}) {
    e.state.Paths.LangFile = QString::fromLatin1(file);
    QVERIFY(
        e.state.Texts.loadLanguageFile(VX_SOURCE_DIR "/lang/" + e.state.Paths.LangFile + ".txt"));
    for (int mode : {0, 1}) {
      e.messages.shown.clear();
      e.open(mode, "Ivanov", "Ivan", "I", 5);
      e.type(mode ? "Ivanov" : "New", tooLong, "");
      QVERIFY(!e.save());
      QVERIFY(e.form.isVisible());
      QCOMPARE(e.lastError(), ProgramTextIn(language, ProgramText::NameTooLong));
      QCOMPARE(e.users().size(), 1);
      QCOMPARE(e.users()[0].first, QString("Ivan"));
    }
  }
  QVERIFY(ProgramTextIn(Language::Russian, ProgramText::NameTooLong) !=
          ProgramTextIn(Language::English, ProgramText::NameTooLong));
  e.messages.shown.clear();
  e.open(0, "", "", "", -1);
  e.type("New", longest, longest);
  QVERIFY(e.save());
  QVERIFY(e.messages.shown.empty());
  QCOMPARE(e.users().size(), 2);
  QCOMPARE(e.users()[1].first, longest);
}

void TestUserEditor::trimsOnlyControlCodesAndBlanksAtTheEnds() {
  QCOMPARE(TFormUser::TrimName(QString("\x01 \tAb  cd\n\x1f ")), QString("Ab  cd"));
  // A no-break space (160) and other letters above 32 stay.
  QCOMPARE(TFormUser::TrimName(QStringLiteral("\u00a0Ab\u2003")), QStringLiteral("\u00a0Ab\u2003"));
  QCOMPARE(TFormUser::TrimName(QString(" \x7f")), QString("\x7f"));

  Editor e;
  e.open(0);
  e.type("  Petrov\t", "\x02Petr ", "  ");
  QVERIFY(e.save());
  const QList<UserRow> rows = e.users();
  QCOMPARE(rows.size(), 1);
  QCOMPARE(rows[0].second, QString("Petrov"));
  QCOMPARE(rows[0].first, QString("Petr"));
  QCOMPARE(rows[0].middle, QString(""));
  QCOMPARE(rows[0].device, qint64(-1)); // a new user holds no instrument
  QVERIFY(e.messages.shown.empty());
}

void TestUserEditor::namesAreStoredAndComparedAsTyped_data() {
  QTest::addColumn<QString>("name");
  QTest::newRow("apostrophe") << "Ab'cd";
  QTest::newRow("two apostrophes") << "O''Brien'";
  QTest::newRow("statement in a name") << "x' OR '1'='1";
  QTest::newRow("end of statement") << "'); DELETE FROM TableUser; --";
  QTest::newRow("double quotes") << "\"Quoted\" \"\"";
  QTest::newRow("backslashes") << "C:\\dir\\ \\' \\";
  QTest::newRow("percent and underscore") << "100% _a%_";
  QTest::newRow("inner tab") << "Ab\tcd";
  QTest::newRow("placeholders") << ":DTEB ? @p $q :1";
  QTest::newRow("Cyrillic") << "Щербаков-Ёлкин";
  QTest::newRow("right to left") << "שלום عربي";
  QTest::newRow("254 characters") << LongName;
}

// Stored byte for byte, found again by the duplicate check, and left alone
// when a row of other names is edited.
void TestUserEditor::namesAreStoredAndComparedAsTyped() {
  QFETCH(QString, name);
  Editor e;
  e.exec({"INSERT INTO TableUser VALUES (3, 'Other', 'Person', '', -1)"});
  e.open(0);
  e.type(name, name + "1", name);
  QVERIFY2(e.save(), qPrintable(e.lastError() + " " + e.dm.LastError()));
  QList<UserRow> rows = e.users();
  QCOMPARE(rows.size(), 2);
  QCOMPARE(rows[1].second, name);
  QCOMPARE(rows[1].first, name + "1");
  QCOMPARE(rows[1].middle, name);

  // The same three names again: refused.
  e.open(0);
  e.type(name, name + "1", name);
  QVERIFY(!e.save());
  QCOMPARE(e.lastError(), e.state.Texts.at(44));
  QCOMPARE(e.users().size(), 2);

  // Editing the other person into these names is refused; into names that
  // differ in one letter it is stored.
  e.messages.shown.clear();
  e.open(1, "Other", "Person", "", 3);
  e.type(name, name + "1", name);
  QVERIFY(!e.save());
  QCOMPARE(e.lastError(), e.state.Texts.at(44));
  e.type(name, name + "2", name);
  QVERIFY(e.save());
  rows = e.users();
  QCOMPARE(rows[0].second, name);
  QCOMPARE(rows[0].first, name + "2");
  QCOMPARE(rows[0].middle, name);
  QCOMPARE(rows[1].first, name + "1");
}

void TestUserEditor::duplicateInAddMode_data() {
  QTest::addColumn<QString>("second");
  QTest::addColumn<QString>("first");
  QTest::addColumn<QString>("middle");
  QTest::addColumn<bool>("duplicate");
  QTest::newRow("same names") << "Ivanov"
                              << "Ivan"
                              << "" << true;
  QTest::newRow("same names with blanks around") << " Ivanov "
                                                 << "Ivan\t"
                                                 << " " << true;
  QTest::newRow("other middle name") << "Ivanov"
                                     << "Ivan"
                                     << "Petrovich" << false;
  // Names compare without regard to case, as the desks' first engine did.
  QTest::newRow("other case") << "IVANOV"
                              << "ivan"
                              << "" << true;
  QTest::newRow("second and first swapped") << "Ivan"
                                            << "Ivanov"
                                            << "" << false;
}

void TestUserEditor::duplicateInAddMode() {
  QFETCH(QString, second);
  QFETCH(QString, first);
  QFETCH(QString, middle);
  QFETCH(bool, duplicate);
  Editor e;
  e.exec({"INSERT INTO TableUser VALUES (4, 'Ivanov', 'Ivan', '', 7)"});
  e.open(0);
  e.type(second, first, middle);
  QCOMPARE(e.save(), !duplicate);
  QCOMPARE(e.users().size(), duplicate ? 1 : 2);
  QCOMPARE(e.lastError(), duplicate ? e.state.Texts.at(44) : QString());
  if (duplicate)
    QVERIFY(e.form.isVisible());
}

void TestUserEditor::editChecksOtherRowsOnly() {
  Editor e;
  e.exec({"INSERT INTO TableUser VALUES (7, 'Seven', 'S', 'M', 70)",
          "INSERT INTO TableUser VALUES (9, 'Nine', 'N', 'M', 90)",
          "INSERT INTO TableUser VALUES (11, 'Twin', 'T', '', -1)",
          "INSERT INTO TableUser VALUES (12, 'Twin', 'T', '', -1)"});
  // Into the names of user 9: refused, row 7 unchanged.
  e.open(1, "Seven", "S", "M", 7);
  e.type("Nine", "N", "M");
  QVERIFY(!e.save());
  QCOMPARE(e.lastError(), e.state.Texts.at(44));
  QCOMPARE(e.users()[0].second, QString("Seven"));

  // Into new names: only row 7 changes, and it keeps its instrument.
  e.type("Seventh", "Sam", "");
  QVERIFY(e.save());
  QList<UserRow> rows = e.users();
  QCOMPARE(rows[0].second, QString("Seventh"));
  QCOMPARE(rows[0].first, QString("Sam"));
  QCOMPARE(rows[0].middle, QString(""));
  QCOMPARE(rows[0].device, qint64(70));
  QCOMPARE(rows[1].second, QString("Nine"));

  // Names the database finds in user 12's row and in user 11's own row: the
  // user's own row among the matches lets the update run.
  e.messages.shown.clear();
  e.open(1, "Twin", "T", "old middle", 11);
  e.type("Twin", "T", "");
  QVERIFY(e.save());
  QVERIFY(e.messages.shown.empty());
}

// Changes only in blanks and control codes at the ends close with OK without
// any statement: the database is unreachable, and no failure is reported.
void TestUserEditor::editWithoutChangeTouchesNothing() {
  Editor e;
  e.exec({"INSERT INTO TableUser VALUES (2, 'Ab''cd', 'Ef', NULL, -1)"});
  e.makeDatabaseUnreachable();
  e.open(1, "Ab'cd ", "Ef", "", 2);
  QCOMPARE(e.form.EdSecondName->text(), QString("Ab'cd "));
  QCOMPARE(e.form.EdFirstName->text(), QString("Ef"));
  e.type("  Ab'cd", "Ef\t", " ");
  QVERIFY(e.save());
  QVERIFY(e.messages.shown.empty());
  // After OK the caller still reads the edits.
  QCOMPARE(e.form.EdSecondName->text(), QString("  Ab'cd"));
}

void TestUserEditor::unreachableDatabaseIsReported() {
  Editor e;
  e.exec({"INSERT INTO TableUser VALUES (2, 'Ab', 'Cd', '', -1)"});
  e.makeDatabaseUnreachable();
  e.open(0);
  e.type("New", "Person", "");
  QVERIFY(!e.save());
  QVERIFY(e.form.isVisible());
  QCOMPARE(e.lastError(), e.state.Texts.at(42));
  QCOMPARE(e.form.EdSecondName->text(), QString("New"));

  e.open(1, "Ab", "Cd", "", 2);
  e.type("Ab", "Cd", "Ef");
  QVERIFY(!e.save());
  QCOMPARE(e.lastError(), e.state.Texts.at(43));
  QCOMPARE(e.messages.shown.size(), std::size_t(2));

  // Reachable again: the same input goes through.
  e.makeDatabaseReachable();
  QVERIFY(e.save());
  QCOMPARE(e.users()[0].middle, QString("Ef"));
}

void TestUserEditor::enterWalksTheEditsAndNeverSaves() {
  Editor e;
  QSignalSpy finished(&e.form, &QDialog::finished);
  e.open(0);
  QVERIFY(QTest::qWaitForWindowActive(&e.form));
  QTRY_COMPARE(QApplication::focusWidget(), e.form.EdSecondName);
  e.type("A", "B", "C");
  const QList<QLineEdit *> ring{e.form.EdFirstName, e.form.EdMiddleName, e.form.EdSecondName,
                                e.form.EdFirstName};
  int key = Qt::Key_Return;
  for (QLineEdit *next : ring) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QCOMPARE(QApplication::focusWidget(), next);
    key = key == Qt::Key_Return ? Qt::Key_Enter : Qt::Key_Return;
  }
  QVERIFY(e.form.isVisible());
  QCOMPARE(finished.size(), 0);
  QVERIFY(e.users().isEmpty());
  // Other keys are typed as usual.
  QTest::keyClicks(e.form.EdFirstName, "x'");
  QCOMPARE(e.form.EdFirstName->text(), QString("Bx'"));
  e.form.SB_Cancel->click();
  QCOMPARE(finished.size(), 1);
  QCOMPARE(e.form.result(), int(QDialog::Rejected));
  QVERIFY(e.users().isEmpty());
}

void TestUserEditor::textsModeAndMarkersFollowTheLanguage() {
  Editor e;
  const auto markerFollows = [](const QLabel *label, const QLabel *star) {
    return star->x() == label->x() + label->width() + 2 &&
           label->width() >= label->sizeHint().width() && star->y() < label->y() + label->height();
  };
  e.open(0);
  QCOMPARE(e.form.windowTitle(), QString("Add new user"));
  QVERIFY(markerFollows(e.form.LSecondName, e.form.LSecNameStar));
  QVERIFY(markerFollows(e.form.LFirstName, e.form.LFirstNameStar));
  QCOMPARE(e.form.SB_Save->toolTip(), e.state.Texts.at(37));
  e.form.reject();

  // A longer language: the markers move, and the window grows to hold the texts.
  e.state.Texts.set(28, QStringLiteral("Добавить нового пользователя"));
  e.state.Texts.set(29, QStringLiteral("Редактировать"));
  e.state.Texts.set(30, QStringLiteral("Фамилия пользователя, как в паспорте"));
  e.state.Texts.set(32, QStringLiteral("Имя"));
  e.state.Texts.set(45, QStringLiteral("поле, обязательное для заполнения при каждом сохранении, "
                                       "очень длинный текст примечания"));
  e.open(1, "S", "F", "M", 4);
  QCOMPARE(e.form.windowTitle(), QStringLiteral("Редактировать"));
  QCOMPARE(e.form.EdMiddleName->text(), QString("M"));
  QVERIFY(markerFollows(e.form.LSecondName, e.form.LSecNameStar));
  QVERIFY(markerFollows(e.form.LFirstName, e.form.LFirstNameStar));
  QVERIFY(e.form.LNote->width() >= e.form.LNote->sizeHint().width());
  QVERIFY(e.form.LNote->geometry().right() < e.form.width());
  e.form.reject();

  // Add mode again: the edits are emptied.
  e.open(0, "S", "F", "M", 4);
  QCOMPARE(e.form.windowTitle(), QStringLiteral("Добавить нового пользователя"));
  QVERIFY(e.form.EdSecondName->text().isEmpty() && e.form.EdMiddleName->text().isEmpty());
}

QTEST_MAIN(TestUserEditor)
#include "tst_usereditor.moc"
