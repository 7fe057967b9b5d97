#pragma once
#include "db/PeopleStore.h"

class OperatorMessages;
class QWidget;
class TextTable;

// Tells the operator how registering an instrument ended, as both windows
// that register do: a notice when somebody holds it already, "Data base
// problem" when the register could not be changed. True when registered.
bool TellRegistration(Registration outcome, OperatorMessages &messages, QWidget *parent,
                      const TextTable &texts);
