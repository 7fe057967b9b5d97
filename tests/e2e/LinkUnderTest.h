#pragma once
// The transport an end-to-end exchange test runs over: the virtual IrDA link
// (the simulator on a TCP endpoint), or, when CTest sets VX4418_TEST_LINK to
// "serial", a serial port: the simulator behind a pseudo-terminal and the
// program's serial backend, chosen by its settings as at a desk.
#include <QString>
#include <QStringList>
#include <memory>

#include "ObservedIrdaStack.h"
#include "link/ChosenIrdaStack.h"
#include "link/IrdaTransport.h"
#include "state/AppState.h"

inline bool SerialLinkUnderTest() {
  return qgetenv("VX4418_TEST_LINK") == "serial";
}

// What the simulator needs on its command line for the transport; `linkPath`
// is where its port stays across drops.
inline QStringList SimulatorLinkArguments(const QString &linkPath) {
  return SerialLinkUnderTest() ? QStringList{"--serial", "--serial-link", linkPath} : QStringList{};
}

// The program's link as the settings choose it, with the simulator's port in
// the settings for the serial transport, observed by the test. With `waitMs`
// above 0 a request left unanswered costs that long instead of ten seconds,
// on either transport.
inline std::shared_ptr<ObservedIrdaStack>
ObservedLinkUnderTest(AppState &state, const QString &serialPath, int waitMs = 0) {
  state.ProgSetting.Sock = !SerialLinkUnderTest();
  state.ProgSetting.PortIr = serialPath;
  VirtualIrdaConfig config;
  config.LibraryFolder = VX_BIN_DIR;
  config.ReplyTimeoutMs = 1000;
  auto socketStack = std::make_shared<ShortWaitIrdaStack>(config, waitMs);
  auto choice = [&state, waitMs] {
    LinkChoice chosen = LinkChoiceOf(state.ProgSetting);
    if (waitMs > 0)
      chosen.Port.ReplyTimeoutMs = chosen.Port.ProbeTimeoutMs = waitMs;
    return chosen;
  };
  return std::make_shared<ObservedIrdaStack>(std::move(socketStack), choice);
}

inline std::shared_ptr<IrdaTransport> LinkUnderTest(AppState &state, const QString &serialPath,
                                                    int waitMs = 0) {
  return std::make_shared<IrdaTransport>(ObservedLinkUnderTest(state, serialPath, waitMs));
}

// The link's stack without the program's settings, for the link's own
// tests: the virtual link of `config`, or the serial backend on `serialPath`
// for the serial transport.
inline std::shared_ptr<IrdaStack> StackUnderTest(VirtualIrdaConfig config,
                                                 const QString &serialPath) {
  auto socketStack = std::make_shared<VirtualIrdaStack>(std::move(config));
  if (!SerialLinkUnderTest())
    return socketStack;
  LinkChoice chosen;
  chosen.Serial = true;
  chosen.Port.PortName = serialPath;
  return std::make_shared<ChosenIrdaStack>(std::move(socketStack), [chosen] { return chosen; });
}

// The lines of the settings file that keep the transport when the program
// reads its settings at start.
inline QString LinkSettingsLines(const QString &serialPath) {
  return SerialLinkUnderTest() ? QStringLiteral("Sock=0\nPortIr=%1\n").arg(serialPath) : QString();
}
