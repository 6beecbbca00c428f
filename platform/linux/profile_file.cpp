// Profile files on disk: read whole, replaced whole through a temporary file.
#include "platform/profile.h"

#include "platform/codepage.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

QString systemText(int error) {
    char buf[256];
    return QString::fromLocal8Bit(strerror_r(error, buf, sizeof buf));
}

QString utf8(const char8_t* text) {
    return QString::fromUtf8(reinterpret_cast<const char*>(text));
}

QString failure(const char8_t* what, const QByteArray& path, int error) {
    return utf8(what).arg(QFile::decodeName(path), systemText(error));
}

void setReason(QString* reason, const QString& text) {
    if (reason)
        *reason = text;
}

enum class ReadResult { Ok, Missing, Failed };

ReadResult readWhole(const QByteArray& path, QByteArray& out, int& error) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return (error == ENOENT || error == ENOTDIR) ? ReadResult::Missing : ReadResult::Failed;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        return ReadResult::Failed;
    }
    out.clear();
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            ::close(fd);
            return ReadResult::Failed;
        }
        out.append(buf, n);
    }
    ::close(fd);
    return ReadResult::Ok;
}

bool writeAll(int fd, const QByteArray& bytes) {
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// A link to the settings is followed, so that the file it points at is
// replaced rather than the link.
QByteArray resolvedPath(const QByteArray& path) {
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char buf[PATH_MAX];
    return ::realpath(path.constData(), buf) ? QByteArray(buf) : path;
}

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.first(slash);
}

bool replaceWhole(const QByteArray& path, const QByteArray& bytes, mode_t mode, const struct stat* old,
                  QString* reason) {
    const QByteArray folder = folderOf(path);
    const QByteArray base = path.sliced(path.lastIndexOf('/') + 1);
    QByteArray temp = folder + "/." + base + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        setReason(reason, failure(u8"无法在文件夹 %1 中创建临时文件：%2", folder, errno));
        return false;
    }
    auto fail = [&](const char8_t* what, int error, bool open) {
        if (open)
            ::close(fd);
        ::unlink(temp.constData());
        setReason(reason, failure(what, temp, error));
        return false;
    };
    if (::fchmod(fd, mode) != 0)
        return fail(u8"无法设置临时文件 %1 的权限：%2", errno, true);
    if (old && (old->st_uid != ::geteuid() || old->st_gid != ::getegid()))
        (void)!::fchown(fd, old->st_uid, old->st_gid); // best effort: only root may give a file away
    if (!writeAll(fd, bytes))
        return fail(u8"写入临时文件 %1 失败：%2", errno, true);
    if (::fsync(fd) != 0)
        return fail(u8"临时文件 %1 未能写入磁盘：%2", errno, true);
    if (::close(fd) != 0)
        return fail(u8"临时文件 %1 未能写入磁盘：%2", errno, false);
    if (::rename(temp.constData(), path.constData()) != 0) {
        const int error = errno;
        ::unlink(temp.constData());
        setReason(reason, failure(u8"无法用新文件替换 %1：%2", path, error));
        return false;
    }
    // The rename itself reaches the disk with the folder.
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

QByteArray readOrEmpty(const QString& file) {
    QByteArray bytes;
    int error = 0;
    if (file.isEmpty() || readWhole(QFile::encodeName(file), bytes, error) != ReadResult::Ok)
        return {};
    return bytes;
}

} // namespace

Text ProfileRead(const QString& file, const Text& section, const Text& key) {
    return ProfileText(readOrEmpty(file)).value(section, key);
}

QList<Text> ProfileReadLines(const QString& file, const Text& section, const Text& key) {
    return ProfileText(readOrEmpty(file)).valueLines(section, key, ValueLines::WithBareLines);
}

int ProfileWrite(const QString& file, const QList<ProfileEntry>& entries, QString* reason) {
    if (file.isEmpty()) {
        setReason(reason, utf8(u8"没有文件名"));
        return 0;
    }
    const QByteArray path = resolvedPath(QFile::encodeName(file));
    QByteArray bytes;
    int error = 0;
    struct stat st {};
    const struct stat* old = nullptr;
    mode_t mode = S_IRUSR | S_IWUSR; // the file holds a password
    switch (readWhole(path, bytes, error)) {
    case ReadResult::Ok:
        if (::stat(path.constData(), &st) == 0) {
            mode = st.st_mode & 07777;
            old = &st;
        }
        break;
    case ReadResult::Missing:
        bytes.clear();
        break;
    case ReadResult::Failed:
        setReason(reason, failure(u8"无法读取原文件 %1：%2", path, error));
        return 0;
    }
    ProfileText text(bytes);
    for (const ProfileEntry& e : entries) {
        if (!text.setValue(e.section, e.key, e.value, e.lines)) {
            setReason(reason, utf8(u8"键“%1”的值含有换行符，或节名、键名为空").arg(codepage::toUnicode(e.key)));
            return 0;
        }
    }
    return replaceWhole(path, text.bytes(), mode, old, reason) ? 1 : 0;
}

int ProfileWrite(const QString& file, const Text& section, const Text& key, const Text& value, QString* reason) {
    return ProfileWrite(file, QList<ProfileEntry>{{section, key, value, ValueLines::KeyLine}}, reason);
}

int FileExists(const QString& path) {
    struct stat st {};
    return (!path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) == 0) ? 1 : 0;
}

} // namespace platform
