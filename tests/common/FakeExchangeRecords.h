#pragma once
// The register and the history for exchange tests that need no database:
// holders are set by the test, every call is recorded in order, and filing
// can be made to fail.
#include <map>
#include <string>
#include <vector>

#include "exchange/ExchangeRecords.h"

class FakeExchangeRecords : public ExchangeRecords {
public:
  std::map<qint32, Holder> Holders; // instrument -> holder
  bool RegisterUnreadable = false;  // HolderOf and CountDeviceHolders fail
  bool FilingFails = false;         // FileReading answers Failed
  // Calls in order: "holder 4418", "count 4418", "file 4418 100", "forget 4418".
  std::vector<std::string> Calls;
  // The bytes of every reading filed, in order.
  std::vector<std::vector<std::uint8_t>> Filed;

  std::optional<Holder> HolderOf(qint32 deviceId) override {
    Calls.push_back("holder " + std::to_string(deviceId));
    if (RegisterUnreadable)
      return std::nullopt;
    return HolderFor(deviceId);
  }
  int CountDeviceHolders(qint32 deviceId) override {
    Calls.push_back("count " + std::to_string(deviceId));
    if (RegisterUnreadable)
      return -1;
    return Holders.count(deviceId) ? 1 : 0;
  }
  FilingResult FileReading(qint32 deviceId, std::span<const std::uint8_t> history) override {
    Calls.push_back("file " + std::to_string(deviceId) + " " + std::to_string(history.size()));
    FilingResult result;
    if (FilingFails || RegisterUnreadable) {
      result.error = QStringLiteral("refused");
      return result;
    }
    result.holder = HolderFor(deviceId);
    if (result.holder.UserId < 1) {
      result.outcome = FilingResult::Outcome::NoHolder;
      return result;
    }
    Filed.emplace_back(history.begin(), history.end());
    result.outcome = FilingResult::Outcome::Filed;
    result.EventsFiled = static_cast<int>(history.size() / 20);
    return result;
  }
  bool ForgetFiledReading(qint32 deviceId) override {
    Calls.push_back("forget " + std::to_string(deviceId));
    return true;
  }

private:
  Holder HolderFor(qint32 deviceId) const {
    auto it = Holders.find(deviceId);
    return it == Holders.end() ? Holder{} : it->second;
  }
};
