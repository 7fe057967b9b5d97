#include "Instrument.h"

#include "FrameCodec.h"

#include <QTextStream>

namespace {

int requestLength(char code) {
  switch (code) {
  case 'S':
    return ParameterWriteLength;
  case 'A':
    return FrameHeaderSize + DateTimeGroupSize + 1;
  case 'n':
  case 'P':
  case 'T':
  case 'H':
  case 'C':
  case 'G':
    return FrameHeaderSize + 1;
  default:
    return -1;
  }
}

} // namespace

Instrument::Instrument(const InstrumentState &state, const QString &statePath, int blockSize)
    : current(state), statePath(statePath), blockSize(blockSize) {}

bool Instrument::save(QString &error) const {
  return statePath.isEmpty() || SaveStateFile(statePath, current, error);
}

void Instrument::changed() {
  QString error;
  if (!save(error))
    QTextStream(stderr) << "cannot save the state to " << statePath << ": " << error << '\n';
}

QByteArray Instrument::acknowledge(char code) const {
  return BuildFrame(code, {});
}

QByteArray Instrument::historyBlock(HistoryCursor &cursor, const FaultPlan &faults) const {
  if (faults.emptyBlocks) {
    cursor.lastBlock = ++cursor.blocksSent;
    return BuildFrame('H', {});
  }
  const QByteArray data = current.history.mid(cursor.offset, blockSize);
  cursor.offset += data.size();
  cursor.lastBlock = ++cursor.blocksSent;
  const bool last = cursor.offset >= current.history.size();
  if (last) {
    // The next transfer starts from the beginning again.
    cursor.offset = 0;
    cursor.blocksSent = 0;
  }
  return BuildFrame(last ? 'I' : 'H', data);
}

QByteArray Instrument::answer(const QByteArray &request, HistoryCursor &cursor,
                              const FaultPlan &faults) {
  const char code = request.at(2);
  if (request.size() != requestLength(code))
    return {};
  if (code != 'H')
    cursor = {};

  switch (code) {
  case 'n': {
    QByteArray data = faults.numberText ? faults.numberText->rightJustified(7, ' ')
                                        : QByteArray::number(current.number).rightJustified(7, '0');
    data.append(char(0x01));
    return BuildFrame(code, data);
  }
  case 'P': {
    return BuildFrame(code, current.parameters);
  }
  case 'T': {
    QByteArray group = current.activation;
    if (faults.impossibleActivationDate)
      group[1] = char(13);
    return BuildFrame(code, group);
  }
  case 'S':
    current.applyParameterWrite(request);
    changed();
    return acknowledge(code);
  case 'A':
    current.activation = request.mid(FrameHeaderSize, DateTimeGroupSize);
    changed();
    return acknowledge(code);
  case 'H':
    return historyBlock(cursor, faults);
  case 'C':
    current.history.clear();
    changed();
    return acknowledge(code);
  case 'G':
    current.de = 0.0f;
    changed();
    return acknowledge(code);
  default:
    return {};
  }
}
