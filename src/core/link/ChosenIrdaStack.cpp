#include "link/ChosenIrdaStack.h"

ChosenIrdaStack::ChosenIrdaStack(std::shared_ptr<IrdaStack> socketStack,
                                 std::function<LinkChoice()> choice)
    : socketStack_(std::move(socketStack)), choice_(std::move(choice)),
      current_(socketStack_.get()) {}

int ChosenIrdaStack::Startup(std::uint16_t version) {
  const LinkChoice choice = choice_ ? choice_() : LinkChoice{};
  if (!choice.Serial) {
    current_ = socketStack_.get();
  } else {
    const SerialPortConfig &port = choice.Port;
    if (!serial_ || serial_->Config().PortName != port.PortName ||
        serial_->Config().Speed != port.Speed)
      serial_ = std::make_unique<SerialIrdaStack>(port);
    current_ = serial_.get();
  }
  return current_->Startup(version);
}
