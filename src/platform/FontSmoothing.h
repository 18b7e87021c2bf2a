#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace qv {

// The system-wide font-smoothing switch. Reads and writes answer through a callback, at once
// or later from the event loop, in the order they were asked; none blocks the calling
// thread for long. A back-end that changes the desktop keeps what it must put back itself.
class FontSmoothing : public QObject {
    Q_OBJECT
public:
    struct Outcome {
        // Whether the operation did what was asked (a write: the setting reads back as
        // written).
        bool succeeded = false;
        // The switch as last read; nothing when it could not be read.
        std::optional<bool> disabled;
        // The setting does not exist here (nothing else is said about it).
        bool unavailable = false;
        // A write was made and read back as written.
        bool wrote = false;
        // The setting was written but reads back otherwise: the write did not take.
        bool notKept = false;
        // Why it did not succeed, for the log.
        QString failure;
    };
    using Done = std::function<void(const Outcome &)>;

    explicit FontSmoothing(QObject *parent = nullptr) : QObject(parent) {}

    // Whether the setting exists here and can be switched, as far as known.
    virtual bool isAvailable() const = 0;
    virtual void read(Done done) = 0;
    // Writes the setting when it is not already so, and reads it back.
    virtual void write(bool disabled, Done done) = 0;

signals:
    void availableChanged();
    // Someone else changed the setting while this program runs; its new state.
    void changedElsewhere(bool disabled);
};

} // namespace qv
