// set.ini through the real window: loaded at creation, saved by 按钮4, and a
// save that fails on a read-only or full file system shows the message box.
#include "app/application.h"

#include "settings_fakes.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace settings_test;

namespace {

// Clicks the button and returns the text of the message box it opened, or a
// null string when none opened. The box is dismissed as soon as it is seen.
QString clickAndDismissBox(QPushButton* button) {
    QString text;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal->objectName() != QStringLiteral("messageBox"))
            return;
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            text = box->text();
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->accept();
    });
    poll.start();
    button->click();
    poll.stop();
    return text;
}

// A small tmpfs of the test's own, mounted in a mount namespace that only this
// thread sees, so nothing reaches the host's mount table.
class PrivateTmpfs {
public:
    // Empty on success, else why it cannot be had.
    QString mount(const QString& at, const char* options) {
        if (::geteuid() != 0)
            return QStringLiteral("not root");
        static const QString entered = enterNamespace();
        if (!entered.isEmpty())
            return entered;
        m_at = QFile::encodeName(at);
        if (::mount("tmpfs", m_at.constData(), "tmpfs", MS_NOSUID | MS_NODEV, options) != 0) {
            m_at.clear();
            return QStringLiteral("mount tmpfs: ") + QString::fromLocal8Bit(std::strerror(errno));
        }
        return {};
    }
    bool makeReadOnly() {
        return ::mount(nullptr, m_at.constData(), nullptr, MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr) == 0;
    }
    ~PrivateTmpfs() {
        if (!m_at.isEmpty())
            ::umount2(m_at.constData(), MNT_DETACH);
    }

private:
    static QString enterNamespace() {
        if (::unshare(CLONE_NEWNS) != 0)
            return QStringLiteral("unshare(CLONE_NEWNS): ") + QString::fromLocal8Bit(std::strerror(errno));
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return QStringLiteral("make / private: ") + QString::fromLocal8Bit(std::strerror(errno));
        return {};
    }
    QByteArray m_at;
};

#define MOUNT_OR_SKIP(tmpfs, at, options)                                                                              \
    do {                                                                                                               \
        const QString why = (tmpfs).mount((at), (options));                                                            \
        if (!why.isEmpty()) {                                                                                          \
            if (!qEnvironmentVariableIsEmpty("CI"))                                                                    \
                FAIL() << "cannot mount a tmpfs (" << why.toStdString() << "); CI must run this test";                 \
            GTEST_SKIP() << "cannot mount a tmpfs (" << why.toStdString() << "); run as root with mount namespaces";   \
        }                                                                                                              \
    } while (0)

QString typedList() {
    return QStringLiteral("127.0.0.1\n\n  主机 a  \n[x]\nk=v\n;\n");
}

} // namespace

TEST(SettingsWindow, StartsEmptyAndTheFirstSaveIsLoadedByTheNextStart) {
    QTemporaryDir dir;
    {
        app::Application program(dir.path());
        auto& w = program.window();
        for (QLineEdit* e : {w.编辑框2, w.编辑框3, w.编辑框4, w.编辑框5})
            EXPECT_TRUE(e->text().isEmpty());
        EXPECT_TRUE(w.编辑框1->toPlainText().isEmpty());
        w.编辑框1->setPlainText(typedList());
        w.编辑框2->setText(QStringLiteral("smtp.example"));
        w.编辑框4->setText(QStringLiteral(" 密 码 "));
        EXPECT_TRUE(clickAndDismissBox(w.按钮4).isNull());
    }
    app::Application next(dir.path());
    EXPECT_EQ(next.window().编辑框1->toPlainText(), typedList());
    EXPECT_EQ(next.window().编辑框2->text(), QStringLiteral("smtp.example"));
    EXPECT_EQ(next.window().编辑框4->text(), QStringLiteral(" 密 码 "));
}

TEST(SettingsWindow, SaveIntoAReadOnlyFolderShowsTheBoxAndKeepsTheOldFile) {
    QTemporaryDir dir;
    PrivateTmpfs tmpfs;
    MOUNT_OR_SKIP(tmpfs, dir.path(), "size=256k,mode=0755");
    const QString ini = dir.filePath(QStringLiteral("set.ini"));
    const QByteArray old = "[IP]\r\nIP=127.0.0.1\r\n[mail]\r\nserver=old.example\r\n";
    ASSERT_TRUE(writeFile(ini, old));
    ASSERT_TRUE(tmpfs.makeReadOnly());

    app::Application program(dir.path());
    EXPECT_EQ(program.window().编辑框2->text(), QStringLiteral("old.example"));
    program.window().编辑框2->setText(QStringLiteral("new.example"));
    const QString shown = clickAndDismissBox(program.window().按钮4);
    EXPECT_TRUE(shown.contains(QStringLiteral("设置没有保存"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(ini)) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("Read-only file system"))) << shown.toStdString();
    EXPECT_EQ(readFile(ini), old);
}

TEST(SettingsWindow, SaveIntoAFullFileSystemShowsTheBoxAndKeepsTheOldFile) {
    QTemporaryDir dir;
    PrivateTmpfs tmpfs;
    MOUNT_OR_SKIP(tmpfs, dir.path(), "size=64k,mode=0755");
    const QString ini = dir.filePath(QStringLiteral("set.ini"));
    const QByteArray old = "[IP]\r\nIP=127.0.0.1\r\n[mail]\r\nserver=old.example\r\n";
    ASSERT_TRUE(writeFile(ini, old));
    {
        QFile filler(dir.filePath(QStringLiteral("filler")));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        for (int i = 0; i < 64 && filler.write(block) == block.size() && filler.flush(); ++i) {
        }
    }

    app::Application program(dir.path());
    QString list;
    for (int i = 0; i < 10000; ++i)
        list += QStringLiteral("127.1.%1.%2\n").arg(i / 256).arg(i % 256);
    program.window().编辑框1->setPlainText(list);
    const QString shown = clickAndDismissBox(program.window().按钮4);
    EXPECT_TRUE(shown.contains(QStringLiteral("设置没有保存"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(ini)) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("No space left on device"))) << shown.toStdString();
    EXPECT_EQ(readFile(ini), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2) << "a temporary file was left behind";
}
