#include "display/DisplayIdentity.h"

#include "platform/Displays.h"
#include "platform/Platform.h"
#include "platform/Processes.h"
#include "platform/Screens.h"
#include "runtime/Logging.h"
#include "runtime/Scheduler.h"
#include "runtime/Shared.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace qv {

// (filled in below)

} // namespace qv
