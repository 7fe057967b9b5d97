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
};
static_assert(std::size(kTexts) == std::size_t(ProgramText::Count));
} // namespace

QString ProgramTextIn(Language language, ProgramText text) {
  const Texts &t = kTexts[std::size_t(text)];
  const char *utf8 = language == Language::Russian   ? t.russian
                     : language == Language::Spanish ? t.spanish
                                                     : t.english;
  QString s = QString::fromUtf8(utf8);
  return text == ProgramText::NameTooLong ? s.arg(MaxNameLength) : s;
}
