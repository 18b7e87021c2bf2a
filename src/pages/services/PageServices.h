#pragma once

#include "pages/services/UpdateChecker.h"
#include "wellness/BreakReminder.h"
#include "wellness/SessionHistory.h"

#include <QObject>
#include <QPointer>

class QQmlEngine;

namespace qv {

// What the application gives the pages' models: its break reminder, the session history
// and its update checker. The application fills the services of the engine its windows
// are made in; a model that QML makes takes them from its engine as it is created, a
// model made in C++ is given them in its constructor. Each may be null (a view shown on
// its own, without the application): the model then does without, as it says.
class PageServices : public QObject {
    Q_OBJECT

public:
    QPointer<BreakReminder> breakReminder;
    QPointer<SessionHistory> history;
    QPointer<UpdateChecker> updater;

    // The services of an engine, made empty on first use; the engine owns them.
    static PageServices &of(QQmlEngine &engine);
    // The services of the engine that made object, or null (no engine, or none given).
    static const PageServices *find(const QObject *object);

private:
    using QObject::QObject;
};

} // namespace qv
