#pragma once
#include <functional>
#include <memory>

#include "link/IrdaStack.h"
#include "link/SerialIrdaStack.h"

// Which way the program reaches instruments: the platform's IrDA stack (the
// infrared socket; the virtual link on Linux) or an adapter's serial port.
struct LinkChoice {
  bool Serial = false;
  SerialPortConfig Port; // with Serial
};

// The IrDA stack the settings choose. Each connection asks the choice when
// it starts (Startup) and stays on that stack until the next one starts, so
// a change in the settings window takes effect at the next attempt. The
// options library is always the platform stack's: it tunes sockets only.
class ChosenIrdaStack : public IrdaStack {
public:
  ChosenIrdaStack(std::shared_ptr<IrdaStack> socketStack, std::function<LinkChoice()> choice);

  int Startup(std::uint16_t version) override;
  void Cleanup() override { current_->Cleanup(); }
  IrdaSocket CreateSocket() override { return current_->CreateSocket(); }
  int EnumDevices(IrdaSocket socket, void *deviceList, int length) override {
    return current_->EnumDevices(socket, deviceList, length);
  }
  int IasQuery(IrdaSocket socket, void *query, int length) override {
    return current_->IasQuery(socket, query, length);
  }
  int SetNineWireMode(IrdaSocket socket, int value) override {
    return current_->SetNineWireMode(socket, value);
  }
  int Connect(IrdaSocket socket, const void *address, int length) override {
    return current_->Connect(socket, address, length);
  }
  int Send(IrdaSocket socket, const void *data, int length) override {
    return current_->Send(socket, data, length);
  }
  int Receive(IrdaSocket socket, void *data, int length) override {
    return current_->Receive(socket, data, length);
  }
  int Close(IrdaSocket socket) override { return current_->Close(socket); }
  int WaitReadable(IrdaSocket socket, int timeoutMs) override {
    return current_->WaitReadable(socket, timeoutMs);
  }
  int ReceiveTimeoutMs(IrdaSocket socket) override { return current_->ReceiveTimeoutMs(socket); }
  int ModemLines(IrdaSocket socket) override { return current_->ModemLines(socket); }
  void SetWaitHooks(std::function<void()> breathe, std::function<bool()> cancelled) override {
    current_->SetWaitHooks(std::move(breathe), std::move(cancelled));
  }
  int LastError() const override { return current_->LastError(); }
  void SetLastError(int error) override { current_->SetLastError(error); }
  void *LoadOptionsLibrary() override { return current_->LoadOptionsLibrary(); }
  SetSockValProc FindSetSockVal(void *library) override {
    return current_->FindSetSockVal(library);
  }
  void FreeOptionsLibrary(void *library) override { socketStack_->FreeOptionsLibrary(library); }

  // The stack the last connection used.
  IrdaStack &Current() { return *current_; }

private:
  std::shared_ptr<IrdaStack> socketStack_;
  std::function<LinkChoice()> choice_;
  std::unique_ptr<SerialIrdaStack> serial_;
  IrdaStack *current_;
};
