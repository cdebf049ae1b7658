#include "platform/MessageText.h"

#include <gtest/gtest.h>

TEST(MessageText, ControlCharactersCannotReachTheTerminal) {
    const struct {
        QString In, Out;
    } Cases[] = {
        {"info.zev", "info.zev"},
        {"a\nb\r\tc", "a\\nb\\r\\tc"},
        {QString("\x1b]0;owned\x07"), "\\x1b]0;owned\\x07"},
        {QString(QChar(0x9b)) + "31m", "\\x9b31m"},
        {QString(QChar(0x2028)), "\\u2028"},
        // A right-to-left override would turn "gpj.exe" round on the screen.
        {QString("a") + QChar(0x202E) + "gpj.exe" + QChar(0x2066), "a\\u202egpj.exe\\u2066"},
        {"C:\\Data", "C:\\\\Data"},
        {QString::fromUtf8("Zürich °"), QString::fromUtf8("Zürich °")},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(MessageText::Shown(C.In), C.Out) << C.In.toStdString();
}

TEST(MessageText, LongTextIsCutAndItsLengthSaid) {
    const QString Long(30'000'000, QChar('x'));
    const QString Shown = MessageText::Shown(Long, 10);
    EXPECT_EQ(Shown, "xxxxxxxxxx... (30000000 characters)");
    EXPECT_EQ(MessageText::Quoted("abc", 3), "\"abc\"");
}
