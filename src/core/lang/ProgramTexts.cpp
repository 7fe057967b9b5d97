#include "lang/ProgramTexts.h"

#include <iterator>

Language LanguageOfFile(const QString &langFile) {
  const QString name = langFile.toUpper();
  if (name.isEmpty()) // no language file: the built-in English texts
    return Language::English;
  if (name.contains(QLatin1String("LANGES")))
    return Language::Spanish;
  if (name.contains(QLatin1String("LANGE")))
    return Language::English;
  return Language::Russian;
}

namespace {
struct Texts {
  ProgramText text;
  const char *english, *russian, *spanish; // UTF-8
};

// Each text in the three languages, in the order of ProgramText.
const Texts kTexts[] = {
    {ProgramText::NameTooLong, "A name may have at most %1 characters. Shorten it!",
     "Имя может содержать не более %1 знаков. Сократите его!",
     "Un nombre puede tener como máximo %1 caracteres. ¡Acórtelo!"},
    {ProgramText::JournalCommand, "Journal", "Журнал", "Registro de cambios"},
    {ProgramText::JournalHint, "Journal|Who changed the register or the history, and when",
     "Журнал|Кто и когда изменял список пользователей или историю",
     "Registro de cambios|Quién cambió el registro o el historial, y cuándo"},
    {ProgramText::JournalTitle, "Journal of changes", "Журнал изменений", "Registro de cambios"},
    {ProgramText::JournalTime, "Time", "Время", "Hora"},
    {ProgramText::JournalDesk, "Desk", "Рабочее место", "Puesto"},
    {ProgramText::JournalOsUser, "User", "Пользователь", "Usuario"},
    {ProgramText::JournalAction, "Action", "Действие", "Acción"},
    {ProgramText::JournalPerson, "Person", "Сотрудник", "Persona"},
    {ProgramText::JournalDevice, "Device", "Прибор", "Dispositivo"},
    {ProgramText::JournalCount, "Events", "События", "Eventos"},
    {ProgramText::JournalClose, "Close", "Закрыть", "Cerrar"},
    {ProgramText::JournalUnreadable, "The journal cannot be read.", "Журнал прочитать невозможно.",
     "No se puede leer el registro de cambios."},
    {ProgramText::ActionReadingFiled, "Reading filed", "История прочитана", "Lectura archivada"},
    {ProgramText::ActionRegistered, "Device registered", "Прибор зарегистрирован",
     "Dispositivo registrado"},
    {ProgramText::ActionRegistrationCancelled, "Registration cancelled", "Регистрация отменена",
     "Registro cancelado"},
    {ProgramText::ActionPersonAdded, "Person added", "Сотрудник добавлен", "Persona añadida"},
    {ProgramText::ActionPersonChanged, "Person changed", "Сотрудник изменён", "Persona modificada"},
    {ProgramText::ActionPersonDeleted, "Person deleted", "Сотрудник удалён", "Persona eliminada"},
    {ProgramText::ActionHistoryDeleted, "History deleted", "История удалена",
     "Historial eliminado"},
    {ProgramText::ActionImported, "Database imported", "База данных импортирована",
     "Base de datos importada"},
    {ProgramText::ActionUnknown, "Action %1", "Действие %1", "Acción %1"},
    {ProgramText::PasswordTitle, "Database password", "Пароль базы данных",
     "Contraseña de la base de datos"},
    {ProgramText::PasswordPrompt,
     "The database server %1 asks for a password:", "Сервер базы данных %1 запрашивает пароль:",
     "El servidor de la base de datos %1 pide una contraseña:"},
    {ProgramText::DatabaseInUse, "Database in use: %1", "Используемая база данных: %1",
     "Base de datos en uso: %1"},
    {ProgramText::DosesCommand, "Doses", "Дозы", "Dosis"},
    {ProgramText::DosesHint, "Doses|Each person's dose against the limits",
     "Дозы|Доза каждого сотрудника в сравнении с пределами",
     "Dosis|La dosis de cada persona frente a los límites"},
    {ProgramText::DosesTitle, "Doses per person", "Дозы сотрудников", "Dosis por persona"},
    {ProgramText::DosesYear, "Year:", "Год:", "Año:"},
    {ProgramText::DosesPerson, "Person", "Сотрудник", "Persona"},
    {ProgramText::DosesYearDose, "Year %1", "За %1 год", "Año %1"},
    {ProgramText::DosesLast12Months, "Last 12 months", "За 12 месяцев", "Últimos 12 meses"},
    {ProgramText::DosesFiveYears, "Five years %1", "За пять лет %1", "Cinco años %1"},
    {ProgramText::DosesHighestRate, "Highest dose rate", "Наибольшая мощность дозы",
     "Tasa de dosis máxima"},
    {ProgramText::DosesAlarms, "Alarms", "Тревоги", "Alarmas"},
    {ProgramText::DosesLastReading, "Last reading", "Последнее чтение", "Última lectura"},
    {ProgramText::DosesOverInvestigation, "Over the investigation level",
     "Выше контрольного уровня", "Por encima del nivel de investigación"},
    {ProgramText::DosesOverLimit, "Over a dose limit", "Выше предела дозы",
     "Por encima de un límite de dosis"},
    {ProgramText::DosesChart, "Chart", "График", "Gráfico"},
    {ProgramText::DosesReport, "Annual report", "Годовой отчёт", "Informe anual"},
    {ProgramText::DosesSaveTable, "Save table", "Сохранить таблицу", "Guardar tabla"},
    {ProgramText::DosesUnreadable, "The doses cannot be worked out: %1",
     "Дозы вычислить невозможно: %1", "No se pueden calcular las dosis: %1"},
    {ProgramText::ChartCommand, "Dose chart", "График дозы", "Gráfico de dosis"},
    {ProgramText::ChartHint, "Dose chart|The person's dose over time",
     "График дозы|Доза сотрудника во времени",
     "Gráfico de dosis|La dosis de la persona en el tiempo"},
    {ProgramText::ChartTitle, "Dose of %1", "Доза: %1", "Dosis de %1"},
    {ProgramText::ChartFrom, "From:", "С:", "Desde:"},
    {ProgramText::ChartTo, "To:", "По:", "Hasta:"},
    {ProgramText::ChartReceived, "Dose received", "Полученная доза", "Dosis recibida"},
    {ProgramText::ChartAlarms, "Dose-rate alarms", "Тревоги по мощности дозы",
     "Alarmas de tasa de dosis"},
    {ProgramText::ChartInvestigationLevel, "Investigation level", "Контрольный уровень",
     "Nivel de investigación"},
    {ProgramText::ChartAnnualLimit, "Annual limit", "Годовой предел", "Límite anual"},
    {ProgramText::ChartTime, "Time", "Время", "Hora"},
    {ProgramText::ChartDose, "Dose, %1", "Доза, %1", "Dosis, %1"},
    {ProgramText::ChartSavePng, "Save as PNG", "Сохранить в PNG", "Guardar como PNG"},
    {ProgramText::ChartSavePdf, "Save as PDF", "Сохранить в PDF", "Guardar como PDF"},
    {ProgramText::FileNotWritten, "The file cannot be written: %1", "Файл записать невозможно: %1",
     "No se puede escribir el archivo: %1"},
    {ProgramText::ReadingDose, "Dose of this reading: %1. Dose of %2 this year: %3.",
     "Доза этого чтения: %1. Доза сотрудника %2 за этот год: %3.",
     "Dosis de esta lectura: %1. Dosis de %2 este año: %3."},
    {ProgramText::DoseWarningTitle, "Dose warning", "Предупреждение о дозе", "Aviso de dosis"},
    {ProgramText::OverInvestigationLevel,
     "%1 has received %2 this year, over the investigation level of %3.",
     "Сотрудник %1 получил за этот год %2, что выше контрольного уровня %3.",
     "%1 ha recibido %2 este año, por encima del nivel de investigación de %3."},
    {ProgramText::OverAnnualLimit, "%1 has received %2 this year, over the annual limit of %3.",
     "Сотрудник %1 получил за этот год %2, что выше годового предела %3.",
     "%1 ha recibido %2 este año, por encima del límite anual de %3."},
    {ProgramText::OverFiveYearLimit,
     "%1 has received %2 in five years, over the five-year limit of %3.",
     "Сотрудник %1 получил за пять лет %2, что выше пятилетнего предела %3.",
     "%1 ha recibido %2 en cinco años, por encima del límite de cinco años de %3."},
    {ProgramText::LimitsGroup, "Dose limits", "Пределы доз", "Límites de dosis"},
    {ProgramText::InvestigationLevel, "Investigation level, Sv per year",
     "Контрольный уровень, Зв в год", "Nivel de investigación, Sv por año"},
    {ProgramText::AnnualLimit, "Annual limit, Sv", "Годовой предел, Зв", "Límite anual, Sv"},
    {ProgramText::FiveYearLimit, "Five-year limit, Sv", "Предел за пять лет, Зв",
     "Límite de cinco años, Sv"},
    {ProgramText::LimitInvalid, "%1: enter a dose above 0, such as 0.020.",
     "%1: введите дозу больше 0, например 0.020.",
     "%1: introduzca una dosis mayor que 0, por ejemplo 0.020."},
    {ProgramText::ReportTitle, "Annual dose report %1", "Годовой отчёт о дозах за %1 год",
     "Informe anual de dosis %1"},
    {ProgramText::ReportYearDose, "Year dose", "Доза за год", "Dosis del año"},
    {ProgramText::ReportYearShare, "% of annual limit", "% годового предела", "% del límite anual"},
    {ProgramText::ReportFiveYearDose, "Five-year dose", "Доза за пять лет", "Dosis de cinco años"},
    {ProgramText::ReportFiveYearShare, "% of five-year limit", "% пятилетнего предела",
     "% del límite de cinco años"},
    {ProgramText::ReportMark, "Mark", "Отметка", "Marca"},
    {ProgramText::ReportLimits,
     "Investigation level %1, annual limit %2, five-year limit %3. Printed %4.",
     "Контрольный уровень %1, годовой предел %2, предел за пять лет %3. Напечатано %4.",
     "Nivel de investigación %1, límite anual %2, límite de cinco años %3. Impreso %4."},
    {ProgramText::WorkbookFilter, "Excel workbook (*.xlsx)", "Книга Excel (*.xlsx)",
     "Libro de Excel (*.xlsx)"},
    {ProgramText::CsvFilter, "Comma-separated values (*.csv)", "Значения через запятую (*.csv)",
     "Valores separados por comas (*.csv)"},
    {ProgramText::PortSpeed, "Port speed, bit/s", "Скорость порта, бит/с",
     "Velocidad del puerto, bit/s"},
    {ProgramText::PortMissing, "Port %1 does not exist", "Порт %1 не найден",
     "El puerto %1 no existe"},
    {ProgramText::PortBusy, "Port %1 is in use by another program",
     "Порт %1 занят другой программой", "Otro programa está usando el puerto %1"},
    {ProgramText::PortNoPermission,
     "No permission to open port %1: add the user to the dialout group and log in again",
     "Нет прав на порт %1: добавьте пользователя в группу dialout и войдите в систему заново",
     "Sin permiso para abrir el puerto %1: añada el usuario al grupo dialout y vuelva a iniciar "
     "la sesión"},
    {ProgramText::PortFailed, "Port %1 cannot be opened", "Порт %1 открыть невозможно",
     "No se puede abrir el puerto %1"},
    {ProgramText::ModemLines, "Adapter: DSR %1, DCD %2", "Адаптер: DSR %1, DCD %2",
     "Adaptador: DSR %1, DCD %2"},
    {ProgramText::LineOn, "on", "есть", "activa"},
    {ProgramText::LineOff, "off", "нет", "inactiva"},
    {ProgramText::ParamOutOfRange, "%1: the instrument takes values from %2 to %3 only",
     "%1: прибор принимает только значения от %2 до %3",
     "%1: el instrumento solo admite valores de %2 a %3"},
    {ProgramText::AttemptFailed, "Attempt %1 failed", "Попытка %1 не удалась",
     "Intento %1 fallido"},
    {ProgramText::CauseNoInstrument, "No instrument in range", "Прибор не найден в зоне связи",
     "Ningún instrumento al alcance"},
    {ProgramText::CauseRefused, "The instrument refused the connection",
     "Прибор отклонил соединение", "El instrumento rechazó la conexión"},
    {ProgramText::CauseConnectFailed, "Connection failed (%1)", "Соединение не установлено (%1)",
     "La conexión falló (%1)"},
    {ProgramText::CauseLinkLost, "Link lost after history block %1",
     "Связь потеряна после блока истории %1", "Enlace perdido tras el bloque de historial %1"},
    {ProgramText::CauseNoAnswer, "The instrument stopped answering", "Прибор перестал отвечать",
     "El instrumento dejó de responder"},
    {ProgramText::CauseBadNumber, "The instrument number cannot be read",
     "Номер прибора не читается", "No se puede leer el número del instrumento"},
    {ProgramText::CauseExchangeFailed, "The exchange failed (%1)", "Обмен не удался (%1)",
     "El intercambio falló (%1)"},
    {ProgramText::ReadingFiled, "%1 events filed under %2", "Записано событий: %1, владелец: %2",
     "%1 eventos archivados a nombre de %2"},
    {ProgramText::ReadingNotFiled, "No events filed: nobody holds instrument %1",
     "События не записаны: прибор %1 ни за кем не закреплён",
     "No se archivó ningún evento: nadie tiene el instrumento %1"},
};
static_assert(std::size(kTexts) == std::size_t(ProgramText::Count));
} // namespace

QString ProgramTextIn(Language language, ProgramText text) {
  const Texts &t = kTexts[std::size_t(text)];
  const char *utf8 = language == Language::Russian   ? t.russian
                     : language == Language::Spanish ? t.spanish
                                                     : t.english;
  return CompleteProgramText(text, QString::fromUtf8(utf8));
}

QString CompleteProgramText(ProgramText text, const QString &form) {
  return text == ProgramText::NameTooLong ? form.arg(MaxNameLength) : form;
}
