#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::test {

// Makes a folder read-only while it stands: by its permissions, or, for a user whom
// permissions do not stop (root), by mounting the folder read-only on itself. active() is
// false when neither worked; the test should then be skipped.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString &path) : m_path(QFile::encodeName(path))
    {
        struct stat status {};
        if (::stat(m_path.constData(), &status) != 0)
            return;
        m_mode = status.st_mode & 07777;
        ::chmod(m_path.constData(), 0555);
        if (::access(m_path.constData(), W_OK) != 0) {
            m_active = true;
            return;
        }
        if (::mount(m_path.constData(), m_path.constData(), nullptr, MS_BIND, nullptr) != 0)
            return;
        m_mounted = true;
        m_active = ::mount(nullptr, m_path.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0 &&
                   ::access(m_path.constData(), W_OK) != 0;
    }
    ~ReadOnlyFolder()
    {
        if (m_mounted)
            ::umount2(m_path.constData(), MNT_DETACH);
        if (m_mode)
            ::chmod(m_path.constData(), m_mode);
    }
    bool active() const { return m_active; }
    ReadOnlyFolder(const ReadOnlyFolder &) = delete;
    ReadOnlyFolder &operator=(const ReadOnlyFolder &) = delete;

private:
    QByteArray m_path;
    mode_t m_mode = 0;
    bool m_mounted = false;
    bool m_active = false;
};

} // namespace qv::test
