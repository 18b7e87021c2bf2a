#pragma once

#include "platform/FontSmoothing.h"
#include "runtime/Logging.h"

namespace qv {

class Processes;

// The Mac's switch: the boolean "CGFontRenderingFontSmoothingDisabled" of the global
// defaults domain, read and written with the "defaults" command. Only exactly "1" (after
// trimming) is disabled. Nothing is put back: the switch stays as written, as the system's
// own setting. Every command answers at once.
class DefaultsFontSmoothing final : public FontSmoothing {
    Q_OBJECT
public:
    static inline const QString kProgram = QStringLiteral("/usr/bin/defaults");
    static inline const QString kKey = QStringLiteral("CGFontRenderingFontSmoothingDisabled");
    // How long one command may run before it is taken as failed.
    static constexpr int kTimeoutMs = 5000;

    explicit DefaultsFontSmoothing(Processes *processes, QObject *parent = nullptr);

    bool isAvailable() const override { return true; }
    void read(Done done) override;
    void write(bool disabled, Done done) override;

private:
    Outcome readNow();

    Processes *m_processes;
    std::optional<QString> m_lastUnusableText; // an answer that is not 0 or 1, as last said
    Logger m_log{"FontSmoothing"};
};

} // namespace qv
