#include "display/FontSmoothingController.h"

#include "platform/FontSmoothing.h"
#include "platform/Platform.h"
#include "runtime/Scheduler.h"

namespace qv {

FontSmoothingController::FontSmoothingController(QObject *parent) : QObject(parent)
{
    service();
}

FontSmoothing *FontSmoothingController::service()
{
    // The platform's service, followed when the platform is installed anew.
    FontSmoothing *current = platform().fontSmoothing;
    if (current == m_service)
        return current;
    if (m_service)
        disconnect(m_service, nullptr, this, nullptr);
    m_service = current;
    if (!current) {
        assignAvailable(false);
        return nullptr;
    }
    assignAvailable(current->isAvailable());
    connect(current, &FontSmoothing::availableChanged, this, [this, current] { assignAvailable(current->isAvailable()); });
    connect(current, &FontSmoothing::changedElsewhere, this, [this](bool disabled) {
        assignFailure({});
        assignDisabled(disabled);
    });
    return current;
}

void FontSmoothingController::refresh()
{
    FontSmoothing *smoothing = service();
    if (!smoothing)
        return;
    smoothing->read([self = QPointer<FontSmoothingController>(this)](const FontSmoothing::Outcome &outcome) {
        if (!self)
            return;
        if (outcome.unavailable) {
            self->assignDisabled(false);
            return;
        }
        if (!outcome.succeeded || !outcome.disabled) {
            self->m_log.error("Could not read font smoothing (%s); keeping %s", qUtf8Printable(outcome.failure),
                              self->m_isDisabled ? "DISABLED" : "ENABLED");
            return;
        }
        self->assignDisabled(*outcome.disabled);
    });
}

void FontSmoothingController::setDisabled(bool disabled)
{
    if (disabled == m_isDisabled)
        return;
    FontSmoothing *smoothing = service();
    if (!smoothing || !m_isAvailable) {
        m_log.error("Failed to toggle font smoothing: the setting is not available on this desktop");
        return;
    }
    smoothing->write(disabled, [self = QPointer<FontSmoothingController>(this), disabled](const FontSmoothing::Outcome &outcome) {
        if (!self)
            return;
        if (outcome.disabled)
            self->assignDisabled(*outcome.disabled);
        if (!outcome.succeeded) {
            self->m_log.error("Failed to toggle font smoothing: %s", qUtf8Printable(outcome.failure));
            self->assignFailure(outcome.notKept ? QStringLiteral("The desktop did not keep the change")
                                                : QStringLiteral("Could not switch"));
            return;
        }
        self->assignFailure({});
        if (!outcome.wrote)
            return; // it was so already
        self->m_lastToggleTime = scheduler().now();
        emit self->lastToggleTimeChanged();
        self->m_log.info("Font smoothing set to %s", disabled ? "DISABLED" : "ENABLED");
    });
}

void FontSmoothingController::assignAvailable(bool available)
{
    if (available == m_isAvailable)
        return;
    m_isAvailable = available;
    emit isAvailableChanged();
}

void FontSmoothingController::assignDisabled(bool disabled)
{
    if (disabled == m_isDisabled)
        return;
    m_isDisabled = disabled;
    emit isDisabledChanged();
}

void FontSmoothingController::assignFailure(const QString &failure)
{
    if (failure == m_failure)
        return;
    m_failure = failure;
    emit failureChanged();
}

} // namespace qv
