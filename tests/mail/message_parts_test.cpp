// The socket-free parts of the mail facility: the reply reader, the address
// parser and the message format.
#include "mail/address.h"
#include "mail/message_format.h"
#include "mail/smtp_reply.h"
#include "platform/codepage.h"

#include <gtest/gtest.h>

using mail::ReplyParse;
using platform::Text;
using platform::codepage::gbk;

TEST(ParseReply, Table) {
    struct {
        const char* name;
        Text data;
        ReplyParse parse;
        int code;
        Text text;
        qsizetype consumed;
    } const cases[] = {
        {"single", "220 mx ready\r\n", ReplyParse::Complete, 220, "mx ready", 14},
        {"multi-line, last decides", "250-mx\r\n250-AUTH LOGIN\r\n354 go on\r\n", ReplyParse::Complete, 354, "go on",
         35},
        {"bare code is a last line", "250-mx\r\n250\r\n", ReplyParse::Complete, 250, "", 13},
        {"other byte continues", "250Xmore\r\n250 end\r\n", ReplyParse::Complete, 250, "end", 19},
        {"LF alone ends a line", "221 bye\n", ReplyParse::Complete, 221, "bye", 8},
        {"text trimmed, controls blanked", "550   no\tway \x01 \r\n", ReplyParse::Complete, 550, "no way", 17},
        {"next reply left", "250 a\r\n221 b\r\n", ReplyParse::Complete, 250, "a", 7},
        {"continuation only", "250-mx\r\n", ReplyParse::Incomplete, 0, "", 0},
        {"no line end", "220 mx", ReplyParse::Incomplete, 0, "", 0},
        {"empty", "", ReplyParse::Incomplete, 0, "", 0},
        {"not a code", "hello\r\n", ReplyParse::Malformed, 0, "", 0},
        {"short line", "25\r\n", ReplyParse::Malformed, 0, "", 0},
        {"bad later line", "250-ok\r\nxyz\r\n", ReplyParse::Malformed, 0, "", 0},
    };
    for (const auto& c : cases) {
        mail::Reply reply;
        qsizetype consumed = -1;
        EXPECT_EQ(mail::parseReply(c.data, reply, consumed), c.parse) << c.name;
        if (c.parse == ReplyParse::Complete) {
            EXPECT_EQ(reply.code, c.code) << c.name;
            EXPECT_EQ(reply.text, c.text) << c.name;
            EXPECT_EQ(consumed, c.consumed) << c.name;
        }
    }
}

TEST(ParseReply, CapsAFlood) {
    const Text flood = Text("250-") + Text(mail::kMaxReplyBytes, 'x');
    mail::Reply reply;
    qsizetype consumed = 0;
    EXPECT_EQ(mail::parseReply(flood, reply, consumed), ReplyParse::Malformed);
    Text manyLines;
    while (manyLines.size() <= mail::kMaxReplyBytes)
        manyLines += "250-capability\r\n";
    EXPECT_EQ(mail::parseReply(manyLines + "250 end\r\n", reply, consumed), ReplyParse::Malformed);
}

TEST(ParseAddress, Table) {
    struct {
        Text piece;
        bool ok;
        Text name, address;
    } const cases[] = {
        {"a@x.cn", true, "", "a@x.cn"},
        {"  a@x.cn \t", true, "", "a@x.cn"},
        {"Ann <a@x.cn>", true, "Ann", "a@x.cn"},
        {" Ann Lee  < a@x.cn > rest <ignored>", true, "Ann Lee", "a@x.cn"},
        {"<a@x.cn>", true, "", "a@x.cn"},
        {"Ann <>", true, "Ann", ""},
        {"", true, "", ""},
        {"a@x.cn>", true, "", "a@x.cn>"},
        {"Ann <a@x.cn", false, "", ""},
        {"a@x.cn\r\nDATA", false, "", ""},
        {"An\nn <a@x.cn>", false, "", ""},
        {QByteArray("a@x\0.cn", 7), false, "", ""},
        {"a@x.cn\r\n", true, "", "a@x.cn"}, // surrounding white space goes before the check
    };
    for (const auto& c : cases) {
        mail::Address a;
        EXPECT_EQ(mail::parseAddress(c.piece, a), c.ok) << c.piece.constData();
        if (c.ok) {
            EXPECT_EQ(a.name, c.name) << c.piece.constData();
            EXPECT_EQ(a.address, c.address) << c.piece.constData();
        }
    }
}

TEST(ParseAddressList, SplitsAndSkips) {
    QList<mail::Address> list;
    ASSERT_TRUE(mail::parseAddressList("a@x.cn, B <b@x.cn>;;c@x.cn; <> ,", list));
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list[0].address, "a@x.cn");
    EXPECT_EQ(list[1].name, "B");
    EXPECT_EQ(list[1].address, "b@x.cn");
    EXPECT_EQ(list[2].address, "c@x.cn");
    EXPECT_TRUE(mail::parseAddressList("", list));
    EXPECT_TRUE(list.isEmpty());
    EXPECT_FALSE(mail::parseAddressList("a@x.cn, B <b@x.cn", list));
    // A "," inside the angle brackets splits the piece, leaving a "<" without ">".
    EXPECT_FALSE(mail::parseAddressList("B <b@x.cn,c@x.cn>", list));
}

TEST(EncodeHeaderText, AsciiUnchanged) {
    EXPECT_EQ(mail::encodeHeaderText("Host alert"), "Host alert");
    EXPECT_EQ(mail::encodeHeaderText(""), "");
}

TEST(EncodeHeaderText, SubjectIsOneWord) {
    const Text subject = gbk(u8"网络监控邮件");
    EXPECT_EQ(mail::encodeHeaderText(subject), "=?gb2312?B?" + subject.toBase64() + "?=");
}

// Long texts split into words of whole characters, at most 62 base64 characters each.
TEST(EncodeHeaderText, SplitsAtWholeCharacters) {
    const Text inputs[] = {
        gbk(u8"主机故障报告：以下地址在最近一次检测中没有应答，请尽快检查网络连接与设备电源状态"),
        "a" + gbk(u8"一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十"), // a boundary mid-character
        gbk(u8"监控") + Text(100, 'x'),
    };
    for (const Text& input : inputs) {
        const Text encoded = mail::encodeHeaderText(input);
        const QList<QByteArray> words = encoded.split('\n');
        ASSERT_GT(words.size(), 1);
        Text decoded;
        for (qsizetype i = 0; i < words.size(); ++i) {
            QByteArray w = words[i];
            if (i + 1 < words.size()) {
                ASSERT_TRUE(w.endsWith('\r'));
                w.chop(1);
            }
            if (i > 0) {
                ASSERT_TRUE(w.startsWith(' '));
                w.remove(0, 1);
            }
            ASSERT_TRUE(w.startsWith("=?gb2312?B?") && w.endsWith("?=")) << w.constData();
            const QByteArray b64 = w.mid(11, w.size() - 13);
            EXPECT_LE(b64.size(), mail::kMaxEncodedChars);
            const Text piece = QByteArray::fromBase64(b64);
            // Whole characters: the piece converts back without a replacement character.
            EXPECT_FALSE(platform::codepage::toUnicode(piece).contains(QChar(0xFFFD)));
            decoded += piece;
        }
        EXPECT_EQ(decoded, input);
    }
}

TEST(FormatDate, EnglishNamesAndOffset) {
    struct {
        platform::LocalTime t;
        const char* text;
    } const cases[] = {
        {{2026, 12, 11, 5, 9, 5, 7, 480}, "Fri, 11 Dec 2026 09:05:07 +0800"},
        {{2024, 1, 1, 1, 0, 0, 0, 0}, "Mon, 01 Jan 2024 00:00:00 +0000"},
        {{2025, 7, 20, 0, 23, 59, 59, -210}, "Sun, 20 Jul 2025 23:59:59 -0330"},
        {{2025, 3, 9, 0, 12, 30, 0, 345}, "Sun, 09 Mar 2025 12:30:00 +0545"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(mail::formatDate(c.t), Text(c.text));
}

TEST(BodyCharset, AsciiOrGb2312) {
    EXPECT_EQ(mail::bodyCharset("all ascii\r\n"), "us-ascii");
    EXPECT_EQ(mail::bodyCharset(""), "us-ascii");
    EXPECT_EQ(mail::bodyCharset(gbk(u8"测试")), "gb2312");
}

TEST(EncodeBody, LinesOf76AndTheFinalBreak) {
    struct {
        qsizetype bytes;
        Text layout; // the length of each line before its "\r\n"
    } const cases[] = {
        {0, "0"}, {10, "16"}, {57, "76,0"}, {58, "76,4"}, {114, "76,76,0"}, {200, "76,76,76,40"},
    };
    for (const auto& c : cases) {
        Text body;
        for (qsizetype i = 0; i < c.bytes; ++i)
            body += char(0x80 + i % 100);
        const Text encoded = mail::encodeBody(body);
        ASSERT_TRUE(encoded.endsWith("\r\n"));
        QList<QByteArray> lines = encoded.split('\n');
        lines.removeLast(); // what follows the last "\r\n"
        QList<QByteArray> lengths;
        for (const QByteArray& l : lines) {
            ASSERT_TRUE(l.endsWith('\r'));
            lengths.append(QByteArray::number(l.size() - 1));
        }
        const Text layout = lengths.join(',');
        EXPECT_EQ(layout, c.layout) << c.bytes;
        EXPECT_EQ(QByteArray::fromBase64(Text(encoded).replace("\r\n", "")), body);
    }
}
