// The data module's import calls, kept for the callers that know only the
// data module; the work is done by ExternalImport.
#include "import/Import.h"

#include "db/DbConnection.h"
#include "db/TDM.h"
#include "import/ExternalImport.h"
#include "state/AppState.h"

size_t qHash(const PersonName &name, size_t seed) {
  return qHashMulti(seed, name.Second, name.First, name.Middle);
}

bool TDM::OpenExternalDatabase(const QString &connectionString) {
  if (!external_)
    external_ = std::make_shared<ExternalConnection>();
  ExternalConnection &x = *external_;
  x.ConnectionString = connectionString;
  QString error;
  if (ReadImportTables(DataSourceOf(connectionString), x.ADOTableUserExternal,
                       x.ADOTableHistoryExternal, &error))
    return true;
  lastError_ = error;
  return false;
}

bool TDM::ImportExternalDatabase(const QString &connectionString) {
  ADOQDev.Close();
  ExternalImport import(*this, DataSourceOf(state_.Paths.ConnectionString));
  const ImportResult result = import.Run(DataSourceOf(connectionString));
  if (result.outcome != ImportOutcome::Merged)
    lastError_ = result.error;
  // The list shows the database as it is now, unfiltered.
  ADOQueryUser.SetFiltered(false);
  ADOQueryUser.SetFilter(QString());
  OpenUsers();
  return result.outcome == ImportOutcome::Merged;
}
