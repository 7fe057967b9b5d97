#pragma once
#include <QString>

// Texts the program shows beyond the entries of the language files, built in
// for each of the three languages. The language is the one of the language
// file in use (its name, as the settings keep it: LangE, LangR, LangES).
enum class ProgramText {
  NameTooLong, // a name of the user editor longer than MaxNameLength
  // The journal of changes: its command and hint, window, columns and actions.
  JournalCommand,
  JournalHint,
  JournalTitle,
  JournalTime,
  JournalDesk,
  JournalOsUser,
  JournalAction,
  JournalPerson,
  JournalDevice,
  JournalCount,
  JournalClose,
  JournalUnreadable,
  ActionReadingFiled,
  ActionRegistered,
  ActionRegistrationCancelled,
  ActionPersonAdded,
  ActionPersonChanged,
  ActionPersonDeleted,
  ActionHistoryDeleted,
  ActionImported,
  ActionUnknown, // %1: the code
  // A database server that asks for a password (%1: where it is).
  PasswordTitle,
  PasswordPrompt,
  // The connection settings window (%1: the database).
  DatabaseInUse,
  // The Doses view (%1 of DosesUnreadable: the database's reason).
  DosesCommand,
  DosesHint,
  DosesTitle,
  DosesYear,
  DosesPerson,
  DosesYearDose,
  DosesLast12Months,
  DosesFiveYears,
  DosesHighestRate,
  DosesAlarms,
  DosesLastReading,
  DosesOverInvestigation,
  DosesOverLimit,
  DosesChart,
  DosesReport,
  DosesSaveTable,
  DosesUnreadable,
  // The dose chart of a person (%1 of ChartTitle: the person; of ChartDose: the unit).
  ChartCommand,
  ChartHint,
  ChartTitle,
  ChartFrom,
  ChartTo,
  ChartReceived,
  ChartAlarms,
  ChartInvestigationLevel,
  ChartAnnualLimit,
  ChartTime,
  ChartDose,
  ChartSavePng,
  ChartSavePdf,
  // A file that cannot be written (%1: the file).
  FileNotWritten,
  // After a reading (%1 the reading's dose, %2 the person, %3 the year's dose).
  ReadingDose,
  DoseWarningTitle,
  // %1 the person, %2 the dose, %3 the level.
  OverInvestigationLevel,
  OverAnnualLimit,
  OverFiveYearLimit,
  // The limits in the settings window (%1 of LimitInvalid: the field).
  LimitsGroup,
  InvestigationLevel,
  AnnualLimit,
  FiveYearLimit,
  LimitInvalid,
  // The annual report (%1: the year).
  ReportTitle,
  ReportYearDose,
  ReportYearShare,
  ReportFiveYearDose,
  ReportFiveYearShare,
  ReportMark,
  ReportOverInvestigation, // the marks, short
  ReportOverLimit,
  ReportLimits,
  WorkbookFilter,
  CsvFilter,
  // The serial adapter: its speed in the settings window, why its port
  // cannot be opened (%1: the port), and the modem lines it reports.
  PortSpeed,
  PortMissing,
  PortBusy,
  PortNoPermission,
  PortFailed,
  ModemLines, // %1, %2: LineOn or LineOff for DSR and DCD
  LineOn,
  LineOff,
  DeleteHistoryQuestion, // %1: the number of events, %2: the person
  HistoryNotDeleted,
  RestoreHistoryCommand,
  RestoreHistoryHint,
  RestoreHistoryQuestion, // %1: the number of events, %2: the person
  NothingToRestore,       // %1: the person
  HistoryNotRestored,
  ActionHistoryRestored,
  ImportSummary, // %1 people matched, %2 added, %3 events copied, %4 already present
  // A parameter the instrument cannot take (%1: the field's label, %2 and
  // %3: the lowest and highest value).
  ParamOutOfRange,
  // The exchange window after a failed attempt (%1: attempts so far) and
  // its cause (%1 of CauseLinkLost: history blocks received, of the others:
  // the link's code).
  AttemptFailed,
  CauseNoInstrument,
  CauseRefused,
  CauseConnectFailed,
  CauseLinkLost,
  CauseNoAnswer,
  CauseBadNumber,
  CauseExchangeFailed,
  // A reading filed (%1: events, %2: the holder) or not (%1: the instrument).
  ReadingFiled,
  ReadingNotFiled,
  // The instrument answered "busy" to one request more often than waited out.
  CauseBusy,
  // The footer of every printed page (%1: the time of printing; %1 of %2:
  // the page and the pages).
  PrintedOn,
  PageOfPages,
  Count
};

// The longest name the register keeps, in characters.
inline constexpr int MaxNameLength = 255;

enum class Language { English, Russian, Spanish };

// The language of a language file name: "LangES..." Spanish, "LangE..."
// English, any other name Russian (the program's own rule at start); no name
// at all: English, the built-in texts.
Language LanguageOfFile(const QString &langFile);

QString ProgramTextIn(Language language, ProgramText text);

// The text as shown, from its form in the table or in a language file (the
// longest name filled into NameTooLong).
QString CompleteProgramText(ProgramText text, const QString &form);
