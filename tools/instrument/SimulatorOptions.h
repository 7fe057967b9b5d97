#pragma once
// The simulator's command line.

#include "FaultPlan.h"
#include "LinkSession.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

struct SimulatorOptions {
  quint16 port = 4418;
  std::optional<quint32> deviceId; // default: derived from the port
  DeviceIdentity identity;
  int blockSize = 200;
  QString statePath;
  bool verbose = false;
  bool serial = false; // behind a pseudo-terminal instead of a TCP endpoint
  QString serialLink;  // with serial: a symbolic link kept pointing at it
  FaultPlan faults;
  int faultyLinks = -1; // connected links that show the faults; -1: all

  // What a new instrument starts with (ignored when the state file exists).
  qint32 number = 4418001;
  std::optional<QByteArray> parameters;
  std::optional<QDateTime> activation;
  std::optional<float> de;
  int events = 0;
  QString historyPath;
  quint32 seed = 4418;
  bool seedGiven = false; // any of the options above was given
};

// Exits with the help text for --help; false and a reason for a wrong command line.
bool ParseSimulatorOptions(const QStringList &arguments, SimulatorOptions &options, QString &error);
