#include "SimulatorOptions.h"

#include "InstrumentState.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace {

constexpr char Description[] =
    "A virtual VX4418 dosimeter in infrared range: one instrument listening on one loopback\n"
    "TCP endpoint and speaking the virtual IrDA link (INFO, IAS, CONNECT, then raw frames).\n"
    "It answers the commands n, P, S, T, A, H, C and G, and prints one line\n"
    "\"LISTENING <port>\" on standard output once it accepts connections.\n"
    "\n"
    "State: with --state FILE the instrument's number, parameter block, activation time,\n"
    "history and accumulated dose (DE) are loaded from FILE when it exists, and FILE is\n"
    "written (whole or not at all) at start and after every change (S, A, C, G), before the\n"
    "acknowledgement goes out. When FILE exists it wins over --number, --params,\n"
    "--activation, --de, --events and --history. The file is JSON: format, version,\n"
    "number, parameters (58 hex digits: reply bytes 4..32), activation (14 hex digits:\n"
    "day, month, year low, year high, hour, minute, second), de (Sv), historyLength,\n"
    "history (base64 of the raw 20-byte records).\n"
    "\n"
    "Faults: LETTERS is a set of command letters (nPSTAHCG) or \"all\"; without\n"
    "\":LETTERS\" a fault applies to all commands. Faults hold for every connected link\n"
    "unless --faulty-links limits them.";

struct Option {
  QString name;
  QString description;
  QString valueName;
};

const QList<Option> &optionTable() {
  static const QList<Option> table{
      {"port", "Listen on 127.0.0.1:N (default 4418; 0 picks a free port).", "N"},
      {"name", "Device name in the device list, 1 to 22 bytes (default VX4418).", "TEXT"},
      {"device-id", "Device id, 8 hex digits (default 4418 followed by the port in hex).", "HEX"},
      {"hints", "Hint bytes and character set of the device list entry (default 80,04,00).",
       "H1,H2,CS"},
      {"ias",
       "IrCOMM \"Parameters\" octet sequence in hex (default 000104: service type, "
       "9-wire).",
       "HEX"},
      {"number", "Instrument number, 0 to 9999999, sent as 7 digits (default 4418001).", "N"},
      {"params", "Parameter block, 58 hex digits (reply bytes 4..32).", "HEX"},
      {"activation", "Activation time, YYYY-MM-DDTHH:MM:SS (default 2024-01-15T08:30:00).", "TIME"},
      {"de", "Accumulated dose in Sv (default: the dose of the last history record).", "SV"},
      {"events",
       "Generate a history of N events (0 to 13317; 13317 fill the 266,340-byte "
       "area): sessions from switch-on to switch-off or battery failure with alarms "
       "of every kind between, dates rising from the activation time, DE rising.",
       "N"},
      {"seed", "Seed of the generated history (default 4418).", "N"},
      {"history",
       "Load the history from FILE (raw 20-byte records, sent as they are; more "
       "than 266,340 bytes is allowed to try hosts with it).",
       "FILE"},
      {"state", "Keep the instrument's state in FILE across runs (see above).", "FILE"},
      {"dump-state", "Same as --state.", "FILE"},
      {"block-size", "History data bytes per block, 1 to 200 (default 200).", "N"},
      {"busy",
       "Answer each request a lone 0xEE (busy) N times before the real reply (each "
       "history block's request too).",
       "N[:LETTERS]"},
      {"stray", "Send N 0xEE bytes in front of each reply.", "N[:LETTERS]"},
      {"split", "Send each reply in N pieces with pauses between them.", "N[:LETTERS]"},
      {"split-pause", "Pause between the pieces of a split reply (default 20 ms).", "MS"},
      {"trickle", "Send each reply one byte at a time, MS (1 to 1000) between bytes.",
       "MS[:LETTERS]"},
      {"silent", "Leave these commands without any answer.", "LETTERS"},
      {"bad-checksum",
       "Spoil the checksum of the replies to these commands (P, T, PT or any "
       "LETTERS; every block of H).",
       "LETTERS"},
      {"damage",
       "Spoil one byte of the replies to these commands after the checksum was made "
       "(the first data byte: n turns 4418001 into 5418001).",
       "LETTERS"},
      {"damage-block", "With H in --damage: spoil only history block K (from 1).", "K"},
      {"number-text",
       "Send TEXT (up to 7 characters, blanks in front) as the number in the n reply, "
       "for example \"     -1\" or \"12a4567\"; the checksum is correct.",
       "TEXT"},
      {"empty-blocks",
       "Answer every history request with a block without data that "
       "promises more, forever.",
       ""},
      {"bad-date", "Send month 13 in the activation time (checksum correct).", ""},
      {"drop-after", "Close the link right after sending history block K (from 1).", "K"},
      {"drop-advance",
       "With --drop-after K: the first faulty link drops after block K, the next "
       "after K+1, and so on (a walk over every block position).",
       ""},
      {"no-9wire", "Offer IrCOMM without the 9-wire bit (000102) and refuse connects.", ""},
      {"refuse", "Answer every CONNECT with REFUSED.", ""},
      {"faulty-links",
       "Show the frame faults on the first K connected links only; later links "
       "behave (default: every link).",
       "K"},
      {"serial",
       "Sit behind a serial port instead of a TCP endpoint: make a pseudo-terminal, print "
       "\"SERIAL <path>\" and answer the commands on it from the first byte, as behind a "
       "serial infrared adapter. Each opening of the port by a host is one link; a drop "
       "(--drop-after) closes the pseudo-terminal and makes a new one.",
       ""},
      {"serial-link",
       "With --serial: keep PATH a symbolic link to the pseudo-terminal, also to each new "
       "one after a drop, and print PATH.",
       "PATH"},
      {"verbose", "Log every line and frame on standard error.", ""},
  };
  return table;
}

bool parseInt(const QString &text, qint64 low, qint64 high, qint64 &value, const QString &name,
              QString &error) {
  bool ok = false;
  value = text.toLongLong(&ok);
  if (!ok || value < low || value > high) {
    error = QStringLiteral("--%1: '%2' is not a number from %3 to %4")
                .arg(name, text)
                .arg(low)
                .arg(high);
    return false;
  }
  return true;
}

bool parseHex(const QString &text, QByteArray &bytes, const QString &name, QString &error) {
  static const QRegularExpression hex(QStringLiteral("^([0-9a-fA-F]{2})*$"));
  if (!hex.match(text).hasMatch()) {
    error = QStringLiteral("--%1: '%2' is not an even number of hex digits").arg(name, text);
    return false;
  }
  bytes = QByteArray::fromHex(text.toLatin1());
  return true;
}

} // namespace

bool ParseSimulatorOptions(const QStringList &arguments, SimulatorOptions &options,
                           QString &error) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QString::fromLatin1(Description));
  parser.addHelpOption();
  for (const Option &option : optionTable())
    parser.addOption(QCommandLineOption(option.name, option.description, option.valueName));
  if (!parser.parse(arguments)) {
    error = parser.errorText();
    return false;
  }
  if (parser.isSet("help"))
    parser.showHelp(0);
  if (!parser.positionalArguments().isEmpty()) {
    error = QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first());
    return false;
  }

  qint64 value = 0;
  const auto integer = [&](const QString &name, qint64 low, qint64 high) {
    return parseInt(parser.value(name), low, high, value, name, error);
  };
  options.identity.name = "VX4418";
  options.identity.iasParameters = QByteArray::fromHex("000104");

  if (parser.isSet("port")) {
    if (!integer("port", 0, 65535))
      return false;
    options.port = quint16(value);
  }
  if (parser.isSet("name")) {
    options.identity.name = parser.value("name").toUtf8();
    if (options.identity.name.isEmpty() || options.identity.name.size() > 22) {
      error = QStringLiteral("--name: 1 to 22 bytes");
      return false;
    }
  }
  if (parser.isSet("device-id")) {
    QByteArray id;
    if (!parseHex(parser.value("device-id"), id, "device-id", error))
      return false;
    if (id.size() != 4) {
      error = QStringLiteral("--device-id: 8 hex digits");
      return false;
    }
    options.deviceId = id.toHex().toUInt(nullptr, 16);
  }
  if (parser.isSet("hints")) {
    QByteArray hints;
    if (!parseHex(parser.value("hints").remove(','), hints, "hints", error))
      return false;
    if (hints.size() != 3) {
      error = QStringLiteral("--hints: three hex bytes H1,H2,CS");
      return false;
    }
    options.identity.hint1 = quint8(hints[0]);
    options.identity.hint2 = quint8(hints[1]);
    options.identity.charset = quint8(hints[2]);
  }
  if (parser.isSet("ias") &&
      !parseHex(parser.value("ias"), options.identity.iasParameters, "ias", error))
    return false;

  if (parser.isSet("number")) {
    if (!integer("number", 0, MaxInstrumentNumber))
      return false;
    options.number = qint32(value);
    options.seedGiven = true;
  }
  if (parser.isSet("params")) {
    QByteArray block;
    if (!parseHex(parser.value("params"), block, "params", error))
      return false;
    if (block.size() != ParameterBlockSize) {
      error = QStringLiteral("--params: %1 bytes (%2 hex digits)")
                  .arg(ParameterBlockSize)
                  .arg(ParameterBlockSize * 2);
      return false;
    }
    options.parameters = block;
    options.seedGiven = true;
  }
  if (parser.isSet("activation")) {
    const QDateTime time = QDateTime::fromString(parser.value("activation"), Qt::ISODate);
    if (!time.isValid()) {
      error = QStringLiteral("--activation: YYYY-MM-DDTHH:MM:SS");
      return false;
    }
    options.activation = time;
    options.seedGiven = true;
  }
  if (parser.isSet("de")) {
    bool ok = false;
    const double de = parser.value("de").toDouble(&ok);
    if (!ok || de < 0) {
      error = QStringLiteral("--de: a dose in Sv, 0 or more");
      return false;
    }
    options.de = float(de);
    options.seedGiven = true;
  }
  if (parser.isSet("events")) {
    if (!integer("events", 0, HistoryAreaSize / HistoryRecordSize))
      return false;
    options.events = int(value);
    options.seedGiven = true;
  }
  if (parser.isSet("seed")) {
    if (!integer("seed", 0, 0xFFFFFFFFLL))
      return false;
    options.seed = quint32(value);
  }
  if (parser.isSet("history")) {
    if (parser.isSet("events")) {
      error = QStringLiteral("--history and --events exclude each other");
      return false;
    }
    options.historyPath = parser.value("history");
    options.seedGiven = true;
  }
  if (parser.isSet("state") && parser.isSet("dump-state") &&
      parser.value("state") != parser.value("dump-state")) {
    error = QStringLiteral("--state and --dump-state must name the same file");
    return false;
  }
  options.statePath = parser.isSet("state") ? parser.value("state") : parser.value("dump-state");
  if (parser.isSet("block-size")) {
    if (!integer("block-size", 1, 200))
      return false;
    options.blockSize = int(value);
  }

  FaultPlan &faults = options.faults;
  if ((parser.isSet("busy") && !ParseCommandFault(parser.value("busy"), faults.busy, error)) ||
      (parser.isSet("stray") && !ParseCommandFault(parser.value("stray"), faults.stray, error)) ||
      (parser.isSet("split") && !ParseCommandFault(parser.value("split"), faults.split, error)) ||
      (parser.isSet("silent") && !ParseCommandList(parser.value("silent"), faults.silent, error)))
    return false;
  if (parser.isSet("trickle")) {
    if (!ParseCommandFault(parser.value("trickle"), faults.trickle, error))
      return false;
    if (faults.trickle.count < 1) {
      error = QStringLiteral("--trickle: MS from 1 to 1000");
      return false;
    }
  }
  if (parser.isSet("damage") && !ParseCommandList(parser.value("damage"), faults.damage, error)) {
    error = "--damage: " + error;
    return false;
  }
  if (parser.isSet("damage-block")) {
    if (!integer("damage-block", 1, 1000000))
      return false;
    faults.damageBlock = int(value);
  }
  if (parser.isSet("number-text")) {
    const QByteArray text = parser.value("number-text").toLatin1();
    if (text.size() > 7) {
      error = QStringLiteral("--number-text: at most 7 characters");
      return false;
    }
    faults.numberText = text;
  }
  faults.emptyBlocks = parser.isSet("empty-blocks");
  if (parser.isSet("split-pause")) {
    if (!integer("split-pause", 0, 60000))
      return false;
    faults.splitPauseMs = int(value);
  }
  if (parser.isSet("bad-checksum")) {
    if (!ParseCommandList(parser.value("bad-checksum"), faults.badChecksum, error)) {
      error = "--bad-checksum: " + error;
      return false;
    }
  }
  faults.impossibleActivationDate = parser.isSet("bad-date");
  if (parser.isSet("drop-after")) {
    if (!integer("drop-after", 1, 1000000))
      return false;
    faults.dropAfterBlock = int(value);
  }
  faults.dropAdvance = parser.isSet("drop-advance");
  if (parser.isSet("faulty-links")) {
    if (!integer("faulty-links", 0, 1000000))
      return false;
    options.faultyLinks = int(value);
  }
  faults.no9Wire = parser.isSet("no-9wire");
  faults.refuseConnect = parser.isSet("refuse");
  if (faults.no9Wire)
    options.identity.iasParameters = QByteArray::fromHex("000102");
  options.identity.refuseConnect = faults.no9Wire || faults.refuseConnect;
  options.verbose = parser.isSet("verbose");
  options.serial = parser.isSet("serial");
  options.serialLink = parser.value("serial-link");
  if (!options.serialLink.isEmpty() && !options.serial) {
    error = QStringLiteral("--serial-link needs --serial");
    return false;
  }
  return true;
}
