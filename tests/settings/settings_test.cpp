// set.ini through loadSettings and saveSettings, with fake controls.
#include "settings/settings.h"

#include "platform/codepage.h"
#include "settings_fakes.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using platform::Text;
using platform::codepage::gbk;
using namespace settings_test;

namespace {

class Folder {
public:
    QString path() const { return m_dir.path(); }
    QString ini() const { return m_dir.filePath(QStringLiteral("set.ini")); }
    QStringList entries() const {
        return QDir(path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

private:
    QTemporaryDir m_dir;
};

QList<Text> load(const Folder& folder) {
    FakeWindow w;
    settings::loadSettings(w.controls, folder.path());
    return w.texts();
}

// Saves the texts into the folder and returns what a fresh window loads back.
QList<Text> saveAndLoad(const Folder& folder, const QList<Text>& texts) {
    FakeWindow w;
    w.setTexts(texts);
    settings::saveSettings(w.controls, folder.path());
    EXPECT_TRUE(w.messageBox.shown.isEmpty()) << w.messageBox.shown.value(0).toStdString();
    return load(folder);
}

struct LoadCase {
    const char* name;
    bool hasFile;
    QByteArray file;
    QList<Text> boxes;
};

} // namespace

TEST(LoadSettings, FilesAndTheBoxesTheyFill) {
    const Text empty;
    const LoadCase cases[] = {
        {"no file", false, {}, {empty, empty, empty, empty, empty}},
        {"no mail section",
         true,
         "[IP]\r\nIP=127.0.0.1%0D%0A127.0.0.2\r\n",
         {"127.0.0.1\r\n127.0.0.2", empty, empty, empty, empty}},
        {"a missing key",
         true,
         "[IP]\nIP=h\n[mail]\nserver=smtp.example\nsend=me@example\nrec=you@example\n",
         {"h", "smtp.example", "me@example", empty, "you@example"}},
        {"upper-case names",
         true,
         "[ip]\nIp=h\n[MAIL]\nSERVER=s\nSend=a\nPASSWORD=p\nREC=r\n",
         {"h", "s", "a", "p", "r"}},
        {"blanks around names, '=' and values",
         true,
         "  [ IP ]  \n\t IP \t=\t h1 \t\n[mail]\n  server =  smtp.example  \n send= a \npassword =\n rec = r r \n",
         {"h1", "smtp.example", "a", empty, "r r"}},
        {"CRLF, no line end at the end",
         true,
         "[IP]\r\nIP=h\r\n[mail]\r\nserver=s\r\nsend=a\r\npassword=p\r\nrec=r",
         {"h", "s", "a", "p", "r"}},
        {"comments",
         true,
         "; set.ini\r\n[IP]\r\n;IP=commented\r\nIP=h\r\n[mail]\r\n  ; "
         "server=commented\r\nserver=s\r\n;[other]\r\nsend=a\r\n",
         {"h", "s", "a", empty, empty}},
        {"quoted values",
         true,
         "[mail]\nserver=\"smtp.example\"\nsend=\"  a  \"\npassword= \" p \" \nrec=\"r\n",
         {empty, "smtp.example", "  a  ", " p ", "\"r"}},
        {"legacy raw list",
         true,
         "[IP]\r\nIP=127.0.0.1\r\n127.0.0.2\r\n\r\nhost-a\r\n\r\n[mail]\r\nserver=s\r\n",
         {"127.0.0.1\r\n127.0.0.2\r\n\r\nhost-a", "s", empty, empty, empty}},
        {"legacy raw list up to the next key, less comments",
         true,
         "[IP]\nIP=a\n b \n; 127.0.0.9\nc\nother=1\nd\n",
         {"a\r\n b \r\nc", empty, empty, empty, empty}},
        {"percent signs that are no escape", true, "[IP]\nIP=50%off%2\n", {"50%off%2", empty, empty, empty, empty}},
        {"bytes that are not valid GBK",
         true,
         "[IP]\nIP=\x81\xFF\x80"
         "a\xB0\n[mail]\nserver=\xD6\xD0\xCE\xC4\nsend=\x7F\x01x\npassword=\xFF\xFE]\\\n",
         {"\x81\xFF\x80"
          "a\xB0",
          "\xD6\xD0\xCE\xC4", "\x7F\x01x", "\xFF\xFE]\\", empty}},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        Folder folder;
        if (c.hasFile) {
            ASSERT_TRUE(writeFile(folder.ini(), c.file));
        }
        EXPECT_EQ(load(folder), c.boxes);
    }
}

TEST(LoadSettings, MegabyteListsLoadWhole) {
    QList<Text> hosts;
    qsizetype size = 0;
    for (int i = 0; size < 1024 * 1024; ++i) {
        hosts.append("127." + Text::number(i / 65536) + '.' + Text::number(i / 256 % 256) + '.' + Text::number(i % 256));
        size += hosts.back().size() + 2;
    }
    hosts.append("last.example");
    const Text list = hosts.join("\r\n");

    Folder legacy;
    ASSERT_TRUE(writeFile(legacy.ini(), "[IP]\r\nIP=" + list + "\r\n[mail]\r\nserver=s\r\n"));
    EXPECT_EQ(load(legacy), (QList<Text>{list, "s", {}, {}, {}}));
    EXPECT_EQ(saveAndLoad(legacy, {list, "s"}), (QList<Text>{list, "s", {}, {}, {}}));
    EXPECT_LT(readFile(legacy.ini()).count('\n'), 10) << "the raw list stayed beside the one-line form";

    Folder written;
    EXPECT_EQ(saveAndLoad(written, {list, "s"}), (QList<Text>{list, "s", {}, {}, {}}));
}

TEST(SaveSettings, EveryBoxEmptyWritesFiveEmptyKeys) {
    Folder fresh;
    saveAndLoad(fresh, {});
    EXPECT_EQ(readFile(fresh.ini()), "[IP]\r\nIP=\r\n\r\n[mail]\r\nserver=\r\nsend=\r\npassword=\r\nrec=\r\n");

    Folder filled;
    ASSERT_TRUE(writeFile(filled.ini(), "[IP]\nIP=h\n[mail]\nserver=s\nsend=a\npassword=p\nrec=r\n"));
    EXPECT_EQ(saveAndLoad(filled, {}), (QList<Text>{{}, {}, {}, {}, {}}));
    EXPECT_EQ(readFile(filled.ini()), "[IP]\nIP=\n[mail]\nserver=\nsend=\npassword=\nrec=\n");
}

TEST(SaveSettings, KeepsEveryOtherLineAsItWas) {
    Folder folder;
    ASSERT_TRUE(writeFile(folder.ini(), "; written by hand\n"
                                        "[General]\n"
                                        "Lang = zh\n"
                                        "\n"
                                        "[ip]\n"
                                        "Ip=127.0.0.1\n"
                                        "127.0.0.2\n"
                                        "; a host for later\n"
                                        "127.0.0.3\n"
                                        "\n"
                                        "Other=1\n"
                                        "[MAIL]\n"
                                        "Server = old.example ; not a comment\n"
                                        "PASSWORD\n"
                                        "[extra]\n"
                                        "k=v"));
    const QList<Text> texts{"h1\r\nh2", "smtp.new", "me", " pw ", "r"};
    EXPECT_EQ(saveAndLoad(folder, texts), texts);
    EXPECT_EQ(readFile(folder.ini()), "; written by hand\n"
                                      "[General]\n"
                                      "Lang = zh\n"
                                      "\n"
                                      "[ip]\n"
                                      "Ip=h1%0D%0Ah2\n"
                                      "; a host for later\n"
                                      "\n"
                                      "Other=1\n"
                                      "[MAIL]\n"
                                      "Server =smtp.new\n"
                                      "PASSWORD=\" pw \"\n"
                                      "send=me\n"
                                      "rec=r\n"
                                      "[extra]\n"
                                      "k=v");
}

TEST(SaveSettings, ValuesComeBackByteForByte) {
    const Text values[] = {
        " lead", "trail ", " both ", "\tpass\t", "\"quoted\"", "\"",           "\"\"",     "  \"a\"  ",        "a=b=c",
        ";no",   "[x]",    "%0D%0A", "50%",      "\\",         "\x81\xFF\x80", "\xB0\x5C", gbk(u8"密码 口令"),
    };
    for (const Text& v : values) {
        SCOPED_TRACE(v.toStdString());
        Folder folder;
        const QList<Text> texts{v, v, v, v, v};
        EXPECT_EQ(saveAndLoad(folder, texts), texts);
    }
}

TEST(SaveSettings, AddressListsRoundTrip) {
    const Text lines[] = {
        "",
        " ",
        "127.0.0.1",
        "  127.0.0.2  ",
        "host-a.example",
        "[x]",
        "[IP]",
        "k=v",
        "IP=1",
        ";",
        "; c",
        "\"quoted\"",
        "%",
        "%0D%0A",
        "%25",
        "\t",
        "\\",
        "\x81",
        "\xFF\x80",
        "\xB0\x5C",
        "\xB0",
        gbk(u8"主机一"),
        "rec=x",
    };
    const Text breaks[] = {"\r\n", "\r\n", "\r\n", "\n", "\r"};
    std::mt19937 random(6);
    auto pick = [&](auto& array) { return array[random() % std::size(array)]; };
    Folder folder; // every save replaces the one before
    for (int n = 0; n < 300; ++n) {
        Text list;
        const int count = int(random() % 12);
        for (int i = 0; i < count; ++i)
            list += (i ? pick(breaks) : Text()) + pick(lines);
        if (random() % 3 == 0)
            list += "\r\n";
        SCOPED_TRACE(list.toStdString());
        const QList<Text> texts{list, "s", "a", "p", "r"};
        ASSERT_EQ(saveAndLoad(folder, texts), texts);
    }
}

TEST(SaveSettings, FailureShowsTheBoxAndKeepsTheOldFile) {
    {
        SCOPED_TRACE("a line break in a single-line box");
        Folder folder;
        const QByteArray old = "[IP]\r\nIP=h\r\n";
        ASSERT_TRUE(writeFile(folder.ini(), old));
        FakeWindow w;
        w.setTexts({"h2", "smtp\nexample"});
        settings::saveSettings(w.controls, folder.path());
        ASSERT_EQ(w.messageBox.shown.size(), 1);
        EXPECT_TRUE(w.messageBox.shown[0].contains(gbk(u8"设置没有保存")));
        EXPECT_TRUE(w.messageBox.shown[0].contains(QFile::encodeName(folder.ini())));
        EXPECT_TRUE(w.messageBox.shown[0].contains(gbk(u8"换行符")));
        EXPECT_EQ(readFile(folder.ini()), old);
        EXPECT_EQ(folder.entries(), QStringList{QStringLiteral("set.ini")});
    }
    {
        SCOPED_TRACE("a program folder that does not exist");
        Folder parent;
        const QString missing = parent.path() + QStringLiteral("/gone");
        FakeWindow w;
        w.setTexts({"h"});
        settings::saveSettings(w.controls, missing);
        ASSERT_EQ(w.messageBox.shown.size(), 1);
        EXPECT_TRUE(w.messageBox.shown[0].contains(QFile::encodeName(missing + QStringLiteral("/set.ini"))));
        EXPECT_TRUE(w.messageBox.shown[0].contains("No such file or directory"));
        EXPECT_TRUE(parent.entries().isEmpty());
    }
}

TEST(SaveSettings, FilePermissions) {
    auto modeOf = [](const QString& path) {
        struct stat st {};
        EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0);
        return st.st_mode;
    };
    {
        SCOPED_TRACE("a new file holds a password: its owner only, whatever the umask");
        Folder folder;
        const mode_t before = ::umask(0);
        saveAndLoad(folder, {"h", "s", "a", "p", "r"});
        ::umask(before);
        EXPECT_EQ(modeOf(folder.ini()) & 07777, 0600u);
        EXPECT_EQ(folder.entries(), QStringList{QStringLiteral("set.ini")});
    }
    {
        SCOPED_TRACE("an existing file keeps its permissions and owner");
        Folder folder;
        ASSERT_TRUE(writeFile(folder.ini(), "[IP]\nIP=old\n"));
        ASSERT_EQ(::chmod(QFile::encodeName(folder.ini()).constData(), 0644), 0);
        const bool root = ::geteuid() == 0;
        if (root) {
            ASSERT_EQ(::chown(QFile::encodeName(folder.ini()).constData(), 4321, 4321), 0);
        }
        saveAndLoad(folder, {"new"});
        EXPECT_EQ(modeOf(folder.ini()) & 07777, 0644u);
        if (root) {
            EXPECT_EQ(QFileInfo(folder.ini()).ownerId(), 4321u);
        }
    }
    {
        SCOPED_TRACE("a link to the file stays a link");
        Folder folder;
        const QString target = folder.path() + QStringLiteral("/real.ini");
        ASSERT_TRUE(writeFile(target, "[IP]\nIP=old\n"));
        ASSERT_TRUE(QFile::link(target, folder.ini()));
        EXPECT_EQ(saveAndLoad(folder, {"new"}), (QList<Text>{"new", {}, {}, {}, {}}));
        EXPECT_TRUE(QFileInfo(folder.ini()).isSymLink());
        EXPECT_TRUE(readFile(target).contains("IP=new"));
    }
}
