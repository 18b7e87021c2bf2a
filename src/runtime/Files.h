#pragma once

#include <QByteArray>
#include <QString>

namespace qv::files {

// The per-user data root (XDG data folder), or the folder a test set.
QString dataRoot();
// "<data root>/Quellvista", the application-support folder.
QString applicationSupportDirectory();
// The configuration folder for the defaults store: "<XDG config>/Quellvista".
QString configDirectory();

// Redirects dataRoot() and configDirectory() (tests); an empty text returns to the real ones.
void setRootOverride(const QString &root);

// Writes the whole file or nothing (temporary file and rename), creating missing folders.
bool writeAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// Moves an unreadable file aside as "<name>.unreadable-<time>.<ext>" and returns the new
// path (empty when the move failed). Nothing is ever written over an unread file.
QString moveAside(const QString &path);

} // namespace qv::files
