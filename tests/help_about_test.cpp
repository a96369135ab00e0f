// The Help and About windows: their texts, and the About window's link.
#include "support/Harness.h"
#include "templates/AboutWindow.h"
#include "templates/HelpWindow.h"
#include "templates/Placeholders.h"

#include <QTest>
#include <QWidget>

using HelpAndAbout = AppHarness;

TEST_F(HelpAndAbout, HelpShowsFourteenLinesWithItsDoubleBlanks) {
    class HelpWindow& help = HelpWindow();
    EXPECT_TRUE(help.Visible());
    EXPECT_EQ(help.Title(), QStringLiteral("Help"));
    EXPECT_EQ(&HelpWindow(), &help);

    QString text = help.EditField1().Text();
    EXPECT_FALSE(text.contains(QChar(u'\n')));
    QStringList lines = text.split(QChar(u'\r'));
    ASSERT_EQ(lines.size(), 14);
    EXPECT_EQ(lines[0], QStringLiteral("To use quillory3 follow these simple steps."));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("generiform, at ") + kGeneriformHomeAddress));
    EXPECT_EQ(lines[13], QStringLiteral("10) Put them on your server and point your students at YourTitle.html. "));

    EXPECT_EQ(text.count(QStringLiteral("  ")), 3);
    EXPECT_TRUE(lines[3].contains(QStringLiteral("'mailto:'  you")));
    EXPECT_TRUE(lines[8].contains(QStringLiteral("variable  in")));
    EXPECT_TRUE(lines[12].contains(QStringLiteral("done.  The")));
    saveScreenshot(help, QStringLiteral("HelpWindow.png"));
}

TEST_F(HelpAndAbout, AboutShowsNameCreditsAndLinkHost) {
    class AboutWindow& about = AboutWindow();
    EXPECT_TRUE(about.Visible());
    EXPECT_EQ(about.Title(), QStringLiteral("About"));
    EXPECT_EQ(&AboutWindow(), &about);
    EXPECT_EQ(about.StaticText1().Text(), QStringLiteral("quillory3\r"));
    EXPECT_FALSE(about.StaticText2().Text().isEmpty());
    EXPECT_EQ(about.StaticText3().Text(), QStringLiteral("www.example.com"));
    EXPECT_TRUE(kAboutLinkAddress.startsWith(QStringLiteral("https://www.example.com/")));
    // The labels lie on the panel.
    QWidget* panel = about.Rectangle1().widget();
    for (fw::StaticText* label : {&about.StaticText1(), &about.StaticText2(), &about.StaticText3()})
        EXPECT_TRUE(panel->isAncestorOf(label->widget())) << label->Name();
    saveScreenshot(about, QStringLiteral("AboutWindow.png"));
}

TEST_F(HelpAndAbout, EachClickOnTheLinkOpensItsAddressOnce) {
    class AboutWindow& about = AboutWindow();
    QWidget* link = about.StaticText3().widget();
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(urls_.size(), 1u);
    EXPECT_EQ(urls_[0], kAboutLinkAddress);
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(30, 10));
    EXPECT_EQ(urls_.size(), 2u);

    // Elsewhere nothing opens.
    QTest::mouseClick(about.StaticText1().widget(), Qt::LeftButton);
    QTest::mouseClick(about.StaticText2().widget(), Qt::LeftButton);
    QTest::mouseClick(about.Rectangle1().widget(), Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseClick(about.widget(), Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(urls_.size(), 2u);

    EXPECT_FALSE(about.StaticText3_MouseDown(0, 0));
    EXPECT_EQ(urls_.size(), 3u);
    EXPECT_TRUE(about.Visible());
}
