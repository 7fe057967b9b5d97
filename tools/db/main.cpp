// vx4418-db: sets up and looks after the program's database.
//   vx4418-db init URI        creates the tables in an empty PostgreSQL database
//   vx4418-db copy FROM TO    copies a whole register and history into an empty database
//   vx4418-db check DB        reports layout problems
// A database is a SQLite file path or a postgresql:// URI (a copy may also read
// the .mdb file of an earlier installation). Exit status: 0 done (a check
// found nothing), 1 a check found problems, 2 wrong arguments, 3 refused or
// failed; the reason is one line on standard error.
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "db/DatabaseAdmin.h"

namespace {
const char *const Usage = "usage: vx4418-db init URI | copy FROM TO | check DB\n";

void Print(std::FILE *to, const QString &line) {
  std::fputs(qPrintable(line + u'\n'), to);
}

int ExitCode(const AdminResult &r) {
  switch (r.outcome) {
  case AdminResult::Outcome::Done:
    return 0;
  case AdminResult::Outcome::Problems:
    return 1;
  default:
    return 3;
  }
}
} // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  // What goes wrong is told in one line; the words of the support log and of
  // Qt's drivers stay out.
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
  const QStringList args = app.arguments().mid(1);
  const QString command = args.value(0);
  AdminResult result;
  if (command == QLatin1String("init") && args.size() == 2)
    result = InitServerDatabase(args[1]);
  else if (command == QLatin1String("copy") && args.size() == 3)
    result = CopyDatabase(args[1], args[2]);
  else if (command == QLatin1String("check") && args.size() == 2)
    result = CheckDatabase(args[1]);
  else {
    const bool help = command == QLatin1String("--help");
    std::fputs(Usage, help ? stdout : stderr);
    return help ? 0 : 2;
  }
  for (const QString &line : result.lines)
    Print(stdout, line);
  if (!result.error.isEmpty())
    Print(stderr, QStringLiteral("vx4418-db: ") + result.error);
  return ExitCode(result);
}
