#pragma once
// Faults the instrument shows on request.

#include <QByteArray>
#include <QString>
#include <optional>

// The command letters the instrument answers.
constexpr char InstrumentCommands[] = "nPSTAHCG";

struct CommandFault {
  int count = 0;       // busy answers, stray bytes or pieces
  QByteArray commands; // the command letters it applies to
  bool appliesTo(char code) const { return count > 0 && commands.contains(code); }
};

struct FaultPlan {
  CommandFault busy;  // lone 0xEE answers before the real one, for every request
  CommandFault stray; // 0xEE bytes sent in front of a reply
  CommandFault split; // a reply sent in pieces with pauses between them
  int splitPauseMs = 20;
  CommandFault trickle;                 // a reply sent one byte at a time, count = ms between bytes
  QByteArray silent;                    // commands left without an answer
  QByteArray badChecksum;               // commands whose replies carry a spoiled checksum
  QByteArray damage;                    // commands whose replies are spoiled after the checksum
  int damageBlock = 0;                  // with H damaged: only history block k (0: every block)
  std::optional<QByteArray> numberText; // the seven characters of the n reply
  bool emptyBlocks = false;             // history blocks without data, each promising more
  bool impossibleActivationDate = false; // month 13 in the activation reply
  int dropAfterBlock = 0;                // close the link after sending history block k
  bool dropAdvance = false;              // each further faulty link drops one block later
  bool no9Wire = false;                  // IAS without the 9-wire bit, and connects refused
  bool refuseConnect = false;
};

// How many connected links show the faults; shared by every link of one
// instrument.
struct FaultBudget {
  int linksLeft = -1; // links that will still show them; negative: every link
  int linksShown = 0; // links that showed them so far
};

// "all" or letters from InstrumentCommands.
bool ParseCommandList(const QString &text, QByteArray &commands, QString &error);
// "N" (all commands) or "N:LETTERS".
bool ParseCommandFault(const QString &text, CommandFault &fault, QString &error);
