#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace qv {

// What a display's EDID says about it, as the display services report it: the vendor is
// the 16-bit manufacturer id (three letters packed five bits each), the model the product
// code, the serial the 32-bit serial number, the name the monitor-name descriptor.
struct EdidInfo {
    bool valid = false; // a complete base block with a good checksum
    quint32 vendor = 0;
    quint32 model = 0;
    quint32 serial = 0;
    QString manufacturer; // the three letters ("DEL"), empty when the id is zero or garbled
    QString name;         // empty without a monitor-name descriptor
    QString serialText;   // the serial-number descriptor; empty without one
    QString problem;      // why nothing or less was taken, for the one log line
};

// Decodes an EDID base block (extension blocks are ignored). A short block, a bad header or
// checksum gives nothing; a zero or garbled manufacturer id gives vendor 0 and the rest.
EdidInfo decodeEdid(const QByteArray &edid);

// The text that names the monitor in its EDID: vendor, product and serial (number and
// text); empty where the EDID names nothing (none, a bad one, one all zero).
QString edidMonitorText(const EdidInfo &edid);

// The display id of a monitor, the same on every port and at every start: made from its
// EDID's vendor, product and serial (number and text), or, without a usable EDID, from the
// output's name. The top bit is always set, so it never equals an X resource id (the ids
// displays had before). A twin (another connected monitor has the same EDID text: a
// matched pair without serials) is told apart by its output's name too.
quint32 monitorDisplayId(const EdidInfo &edid, const QString &outputName, bool twin = false);

} // namespace qv
