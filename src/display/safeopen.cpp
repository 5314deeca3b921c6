#include "display/safeopen.h"
#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// QIODevice::setErrorString is protected; a pointer to it formed through a derived
// class is the one lawful way to call it on a QFile from outside.
struct ErrorText : QFile {
    static bool Fail(QFile &file, int error)
    {
        (file.*&ErrorText::setErrorString)(qt_error_string(error));
        return false;
    }
};

} // namespace

bool OpenWithoutBlocking(QFile &file, QIODevice::OpenMode mode)
{
#ifdef Q_OS_UNIX
    if (file.isOpen())
        return file.open(mode); // refused with Qt's own warning, before a descriptor leaks
    // The same flags QFile uses, and never waiting.
    if (mode & QIODevice::Append)
        mode |= QIODevice::WriteOnly;
    const bool write = mode & QIODevice::WriteOnly;
    int flags = O_NONBLOCK | O_CLOEXEC | (!write ? O_RDONLY : mode & QIODevice::ReadOnly ? O_RDWR : O_WRONLY);
    if (write)
        flags |= O_CREAT;
    if (mode & QIODevice::Append)
        flags |= O_APPEND;
    else if (mode & QIODevice::Truncate || (write && !(mode & QIODevice::ReadOnly)))
        flags |= O_TRUNC;
    const QByteArray path = QFile::encodeName(file.fileName());
    int fd;
    do
        fd = ::open(path.constData(), flags, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return ErrorText::Fail(file, errno);
    // open(2) lets a folder be opened for reading; QFile refuses it.
    struct stat info;
    if (const int error = fstat(fd, &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0) {
        ::close(fd);
        return ErrorText::Fail(file, error);
    }
    // O_APPEND already puts every write at the end; QFile's own Append would seek
    // there first, which a FIFO refuses. Any failure left comes after QFile took fd and closed it.
    return file.open(fd, mode & ~QIODevice::Append, QFileDevice::AutoCloseHandle);
#else
    return file.open(mode);
#endif
}
