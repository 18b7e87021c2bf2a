#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace qv {

struct ProcessResult {
    bool started = false;
    bool timedOut = false;
    bool crashed = false;
    bool tooMuchOutput = false;
    int exitCode = -1;
    QByteArray standardOutput;
    QByteArray standardError;
    QString errorText;

    bool succeeded() const { return started && !timedOut && !crashed && !tooMuchOutput && exitCode == 0; }
    // Why the command did not succeed, in a few words (its error output's start among them).
    QString failure() const;
};

// Runs a child process to completion from any thread. Both pipes are drained while the
// child runs, so a child that writes more than a pipe holds never blocks; a child still
// running after timeoutMs is killed and reported as timed out, and so is one that writes
// more than kMaxOutputBytes to either pipe (reported as too much output).
class ProcessRunner {
public:
    static constexpr qsizetype kMaxOutputBytes = 4 * 1024 * 1024;

    static ProcessResult run(const QString &program, const QStringList &arguments, int timeoutMs = 15000);
};

} // namespace qv
