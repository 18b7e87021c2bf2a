// The session history file as a launch reads it, the statistics over it, and the file
// rewritten by the next record and read again.
#include "FuzzInput.h"

#include "wellness/SessionHistory.h"

#include <QFile>

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::InputScope input(data, size);
    decodeSessionEvents(input.bytes());

    const QString path = fuzz::InputScope::writeFile(SessionHistory::defaultStorePath(), input.bytes());
    SessionHistory history;
    history.statistics();
    history.recordActivityMinute();
    history.statistics();

    QFile file(path);
    fuzz::require(file.open(QIODevice::ReadOnly), "the history file is there after a record");
    const DecodedSessionEvents written = decodeSessionEvents(file.readAll());
    fuzz::require(written.readable && written.skipped == 0, "the written history reads back in full");
    fuzz::require(written.events == history.events(), "the written history holds the events in memory");
    return 0;
}
