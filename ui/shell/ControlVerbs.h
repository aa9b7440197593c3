#pragma once

#include <QStringList>

#include <cstdio>

namespace mirl {

/// Whether `word` is one of the verbs that control a running Mirl: start, extend, cancel, status.
bool isControlVerb(const QString& word);

/// Runs `mirl <verb> [arguments]` against the running instance (args without the program
/// name) and gives the exit status: 0 done, 1 no running instance or the instance refused,
/// 2 a malformed command line (the usage goes to err).
///   mirl start MINUTES     start a timer (1 to 1440 minutes)
///   mirl extend MINUTES    add minutes to the running timer (or start one)
///   mirl cancel            cancel the timer and put the screen and volume back
///   mirl status [--json]   what the timer and the detectors are doing
int runControlVerb(const QStringList& args, std::FILE* out, std::FILE* err);

/// The verbs' lines for the program's usage text.
const char* controlVerbsUsage();

} // namespace mirl
