#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace qv::files {

// The per-user data root (XDG data folder), or the folder a test set.
QString dataRoot();
// "<data root>/Quellvista", the application-support folder.
QString applicationSupportDirectory();
// The configuration folder for the defaults store: "<XDG config>/Quellvista".
QString configDirectory();

// Redirects dataRoot() and configDirectory() (tests); an empty text returns to the real ones.
void setRootOverride(const QString &root);

// The size limit of every stored file, for reading and for writing alike: what a store
// writes it can read back, and a larger file is refused before anything of it is read.
inline constexpr qint64 kMaxStoredFileBytes = 16 * 1024 * 1024;

// What reading a stored file found.
struct StoredFile {
    enum class State { absent, read, unreadable };
    State state = State::absent;
    QByteArray bytes; // the whole file, when read
    QString error;    // why it is unreadable
};
// Reads a stored file whole. Only a regular file (or a link to one) is opened: a folder, a
// pipe, a device or a socket in its place is unreadable, as is a file that cannot be
// opened or read, and one larger than maxBytes. Never blocks.
StoredFile readStoredFile(const QString &path, qint64 maxBytes = kMaxStoredFileBytes);

// Writes the whole file or nothing, creating missing folders: the bytes go to a temporary
// file beside it (".<name>.partial-XXXXXX"), which is flushed to disk and renamed over the
// file. A link is followed, so that the file it names is replaced. Something other than a
// regular file in its place is never replaced, and more than kMaxStoredFileBytes are never
// written. On failure error names the cause ("No space left on device") and the file is as
// it was.
bool writeAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// Moves a file aside as "<name>.unreadable-<time>.<ext>" by renaming it and returns the
// new path (empty, with the cause in error, when the move failed).
QString moveAside(const QString &path, QString *error = nullptr);

// Keeps a stored file that could not be read in full before a save replaces it. A regular
// file that can be read is copied beside it as "<name>.unreadable-<time>.<ext>" (the
// original bytes stay in place until the save replaces them), unless a copy with the same
// bytes is already there; anything else in its place is moved aside under that name. True when nothing can be lost any more: the file was
// kept (the copy's path in keptAs) or is no longer there (keptAs empty). False, with the
// cause in error, when it is still in place and was not kept: then nothing may be written
// over it.
bool keepAside(const QString &path, QString *keptAs = nullptr, QString *error = nullptr);

// A stored file its owner could not read in full: once marked, it is kept aside (keepAside)
// before the first save in its place, and no save may go ahead until that succeeds.
class UnreadFile {
public:
    void mark() { m_marked = true; }
    // Whether a save over path may go ahead now. A marked file is kept aside first: kept
    // hears where it went (when anything was there to keep); when it cannot be kept,
    // refused hears the cause, the first time only, and the answer is false.
    bool clearForSave(const QString &path, const std::function<void(const QString &keptAs)> &kept,
                      const std::function<void(const QString &error)> &refused);

private:
    bool m_marked = false;
    bool m_refusalReported = false;
};

// Removes the temporary files that writes of ours interrupted midway (the process was
// killed, the machine lost power) left in the application-support and configuration
// folders: only names of writeAtomically's pattern, only regular files, and only those
// older than a minute, so that a write in progress is never touched. Called once at start;
// returns how many were removed.
int removeStaleTemporaryFiles();

} // namespace qv::files
