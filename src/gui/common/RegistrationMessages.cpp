#include "common/RegistrationMessages.h"

#include "common/OperatorMessages.h"
#include "lang/TextTable.h"

bool TellRegistration(Registration outcome, OperatorMessages &messages, QWidget *parent,
                      const TextTable &texts) {
  switch (outcome) {
  case Registration::Registered:
    return true;
  case Registration::AlreadyHeld:
    messages.notice(parent, texts.at(69));
    return false;
  case Registration::PersonGone:
  case Registration::Failed:
    break;
  }
  messages.error(parent, texts.at(67) + u'\n' + texts.at(68));
  return false;
}
