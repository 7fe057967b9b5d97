#pragma once
#include <QObject>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "FakeIrdaStack.h"
#include "link/IrdaTransport.h"

using Bytes = std::vector<std::uint8_t>;

// A reply frame: 55, L, code, 01, data, checksum.
Bytes Frame(std::uint8_t code, const Bytes &data);
// A fake stack behind a transport that does not wait between tries.
struct FakeLink {
  std::shared_ptr<FakeIrdaStack> stack = std::make_shared<FakeIrdaStack>();
  IrdaTransport link{stack};
  int sleeps = 0;
  FakeLink() {
    link.Sleep = [this](int) { ++sleeps; };
    link.Now = [this] {
      return IrdaTransport::Clock::time_point(std::chrono::milliseconds(stack->ClockMs));
    };
  }
  FakeIrdaStack &fake() { return *stack; }
};

class TestLink : public QObject {
  Q_OBJECT

private slots:
  // Transport over the fake stack.
  void openTunesEverySocketAndLoadsTheLibraryOnce();
  void openWithoutLibraryOrExport();
  void openFailures();
  void findDevicesRetries_data();
  void findDevicesRetries();
  void connectWalksIasParameters_data();
  void connectWalksIasParameters();
  void connectUsesFirstDeviceAndPassesErrors();
  void closeAlwaysEndsWinsockAndClearsHandle();
  void sendLoopsOverPartialSends();
  void receiveErrorLeavesBufferAlone();

  // Frames and exchanges.
  void checksumAndRequestFrames();
  void exchangeBusyAnswers();
  void exchangeStrayBytesAndPieces();
  void exchangeIncompleteAttempts();
  void exchangeRefusesOversizedReplies();
  void deviceNumberReplies_data();
  void deviceNumberReplies();
  void deviceNumberTextReadsLikeAtol();
  void activationTimeDecoding_data();
  void activationTimeDecoding();
  void activationTimeWriting();
  void clearCommandsSendFixedFrames();

  // History transfer.
  void historyOneBlock();
  void historyBlocksInPiecesWithProgress();
  void historyCutShortFails_data();
  void historyCutShortFails();
  void historyBadBlockLengthsAndOverflow_data();
  void historyBadBlockLengthsAndOverflow();

  // Damage, busy and endless histories, slow instruments, Cancel.
  void damagedNumberReplyFails();
  void damagedHistoryBlockFailsTheTransfer_data();
  void damagedHistoryBlockFailsTheTransfer();
  void historyBusyAnswersAreWaitedOut();
  void historyThatCannotEndFails();
  void slowRepliesEndAtTheReplyLimit();
  void cancelEndsTheExchangeBetweenReceives();

  // Parameter block.
  void readDeviceInfoDecodesEverything();
  void readDeviceInfoFailures();
  void writeFrameFromParameterReply_data();
  void writeFrameFromParameterReply();
  void everyFlagSurvivesReadThenWrite();
  void writeParametersUsesUncheckedReply();

  // Random and truncated input.
  void fuzzExchangeReplies();
  void fuzzHistoryBlocks();
  void fuzzDecoders();

  // The virtual IrDA link over TCP.
  void errnoMapping_data();
  void errnoMapping();
  void endpointList();
  void virtualEnumeration();
  void virtualConnectAndFrames();
  void virtualRefusedAndMissingService();
  void virtualSocketChecks();
  void optionsLibrary_data();
  void optionsLibrary();
};
