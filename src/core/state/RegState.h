#pragma once
#include <QString>

// The subject of an instrument exchange: which instrument, who holds it or is
// to receive it, and whether a registration clears and restarts it.
struct REG_STATE {
  qint32 DeviceId = 0;          // read from the instrument (command n)
  QString SecondName;
  QString FirstName;
  QString MiddleName;
  bool ClearAll = false;        // clear history, DE and set the PC time
  double ActivationTime = 0.0;  // day count since 30 December 1899
  qint32 UserId = 0;            // 0 or less: nobody
};
