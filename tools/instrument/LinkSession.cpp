#include "LinkSession.h"

#include "FrameCodec.h"

#include <QTextStream>

namespace {

// A device never sends a longer line, and takes none either.
constexpr int MaxLineLength = 4096;

QByteArray hexByte(quint8 value) {
  return QByteArray::number(value, 16).rightJustified(2, '0');
}

} // namespace

LinkSession::LinkSession(LinkChannel &channel, Instrument &instrument,
                         const DeviceIdentity &identity, const FaultPlan &plan, FaultBudget &budget,
                         bool verbose, QObject *parent)
    : QObject(parent), channel(channel), instrument(instrument), identity(identity), plan(plan),
      budget(budget), verbose(verbose) {
  pause.setSingleShot(true);
  connect(&pause, &QTimer::timeout, this, &LinkSession::drain);
}

void LinkSession::log(const QString &text) const {
  if (verbose)
    QTextStream(stderr) << "[" << channel.name() << "] " << text << '\n';
}

void LinkSession::receive(const QByteArray &bytes) {
  if (closing)
    return;
  input.append(bytes);
  if (framing) {
    handleFrames();
    return;
  }
  const qsizetype end = input.indexOf('\n');
  if (end < 0) {
    if (input.size() > MaxLineLength) {
      log("line too long, closing");
      closing = true;
      channel.hangUp();
    }
    return;
  }
  QByteArray line = input.left(end);
  input.remove(0, end + 1);
  if (line.endsWith('\r'))
    line.chop(1);
  handleLine(line);
}

void LinkSession::sendLine(const QByteArray &line, bool closeAfter) {
  log("sends " + QString::fromLatin1(line));
  output.append({line + '\n', 0, closeAfter});
  drain();
}

void LinkSession::handleLine(const QByteArray &line) {
  log("got " + QString::fromLatin1(line.left(200)));
  const QList<QByteArray> fields = line.split(' ');
  const QByteArray &verb = fields.first();
  if (verb == "INFO" && fields.size() == 1) {
    sendLine("DEVICE " + QByteArray::number(identity.id, 16).rightJustified(8, '0') + ' ' +
                 identity.name.toHex() + ' ' + hexByte(identity.hint1) + ' ' +
                 hexByte(identity.hint2) + ' ' + hexByte(identity.charset),
             true);
  } else if (verb == "IAS" && fields.size() == 3) {
    if (fields[1] == "IrDA:IrCOMM" && fields[2] == "Parameters")
      sendLine("OCTETSEQ " + identity.iasParameters.toHex(), true);
    else if (fields[1] == "Device" && fields[2] == "DeviceName")
      sendLine("STRING " + identity.name.toHex(), true);
    else
      sendLine("NONE", true);
  } else if (verb == "CONNECT" && fields.size() == 3 && (fields[2] == "0" || fields[2] == "1")) {
    if (identity.refuseConnect || fields[1] != "IrDA:IrCOMM") {
      sendLine("REFUSED", true);
      return;
    }
    sendLine("OK", false);
    startFraming();
  } else {
    log("unknown line, closing");
    closing = true;
    channel.hangUp();
  }
}

void LinkSession::startFraming() {
  framing = true;
  if (budget.linksLeft != 0) {
    faults = plan;
    if (faults.dropAdvance && faults.dropAfterBlock > 0)
      faults.dropAfterBlock += budget.linksShown;
    ++budget.linksShown;
    if (budget.linksLeft > 0)
      --budget.linksLeft;
  }
  handleFrames();
}

void LinkSession::handleFrames() {
  // One request at a time: the next is taken only when the last reply is out.
  while (!closing && output.isEmpty()) {
    int dropped = 0;
    const std::optional<RequestFrame> frame = TakeRequestFrame(input, &dropped);
    if (dropped > 0)
      log(QStringLiteral("dropped %1 bytes outside frames").arg(dropped));
    if (!frame)
      return;
    log("got " + QString::fromLatin1(frame->bytes.toHex(' ')));
    if (!frame->checksumOk) {
      log("wrong checksum, request ignored");
      continue;
    }
    answerFrame(frame->bytes);
  }
}

void LinkSession::answerFrame(const QByteArray &request) {
  const char code = request.at(2);
  if (faults.silent.contains(code)) {
    log("silent");
    return;
  }
  // A request other than the one last answered busy is new and gets its own
  // busy answers, also when the host gave up on the last one.
  if (request != busyRequest)
    busyAnswers = 0;
  if (faults.busy.appliesTo(code) && busyAnswers < faults.busy.count) {
    ++busyAnswers;
    busyRequest = request;
    log("busy");
    output.append({QByteArray(1, BusyByte), 0, false});
    drain();
    return;
  }
  busyAnswers = 0;
  busyRequest.clear();
  QByteArray reply = instrument.answer(request, cursor, faults);
  if (reply.isEmpty()) {
    log("unknown request, ignored");
    return;
  }
  if (faults.badChecksum.contains(code))
    reply.back() = char(reply.back() ^ 0x5A);
  if (faults.damage.contains(code) &&
      (code != 'H' || faults.damageBlock == 0 || faults.damageBlock == cursor.lastBlock)) {
    // One bit of the first data byte (of the code when there is no data),
    // after the checksum was made.
    const qsizetype at = reply.size() > FrameHeaderSize + 1 ? FrameHeaderSize : 2;
    reply[at] = char(reply.at(at) ^ 0x01);
  }
  const bool drop =
      code == 'H' && faults.dropAfterBlock > 0 && cursor.lastBlock == faults.dropAfterBlock;
  queueReply(reply, code, drop);
}

void LinkSession::queueReply(const QByteArray &reply, char code, bool closeAfter) {
  QByteArray bytes = reply;
  if (faults.stray.appliesTo(code))
    bytes.prepend(QByteArray(faults.stray.count, BusyByte));
  log("sends " + QString::fromLatin1(bytes.left(48).toHex(' ')) +
      (bytes.size() > 48 ? QStringLiteral(" ... (%1 bytes)").arg(bytes.size()) : QString()));
  const bool trickle = faults.trickle.appliesTo(code);
  int pieces = 1;
  if (trickle)
    pieces = int(bytes.size());
  else if (faults.split.appliesTo(code))
    pieces = qBound(1, faults.split.count, int(bytes.size()));
  const int pauseMs = trickle ? faults.trickle.count : faults.splitPauseMs;
  qsizetype start = 0;
  for (int i = 0; i < pieces; ++i) {
    const qsizetype end = bytes.size() * (i + 1) / pieces;
    output.append(
        {bytes.mid(start, end - start), i == 0 ? 0 : pauseMs, closeAfter && i == pieces - 1});
    start = end;
  }
  drain();
}

void LinkSession::drain() {
  while (!output.isEmpty()) {
    Piece &next = output.first();
    if (next.pauseBeforeMs > 0) {
      if (!pause.isActive())
        pause.start(next.pauseBeforeMs);
      next.pauseBeforeMs = 0;
      return;
    }
    if (pause.isActive())
      return;
    channel.write(next.bytes);
    const bool close = next.closeAfter;
    output.removeFirst();
    if (close) {
      log("closing the link");
      closing = true;
      output.clear();
      channel.hangUp();
      return;
    }
  }
  if (framing && !input.isEmpty())
    QTimer::singleShot(0, this, &LinkSession::handleFrames);
}
