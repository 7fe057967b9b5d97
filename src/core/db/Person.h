#pragma once
#include <QList>
#include <QString>
#include <optional>

// One row of the register: a person and the instrument the person holds.
struct Person {
  qint32 UserId = -1;
  QString SecondName;
  QString FirstName;
  QString MiddleName; // NULL reads as empty
  // 1 or more: the instrument held now; -1 (any negative number stored):
  // none, free to receive one; 0 (0, NULL, out of range): none.
  qint32 DeviceId = -1;
  // The instrument column as its text reads as a 32-bit integer; none for
  // NULL and anything else. The printed register shows it when 0 or more.
  std::optional<qint32> StoredDeviceId;

  bool HoldsInstrument() const { return DeviceId >= 1; }
  bool operator==(const Person &) const = default;
};

// A person looked up again in the database before a command acts on her.
struct PersonLookup {
  enum class Outcome {
    Found,
    Gone,  // no longer in the register (another desk deleted her)
    Failed // the register cannot be read
  };
  Outcome outcome = Outcome::Failed;
  Person person;
};
