// A start on a desktop whose only faces have no Chinese: the user is told
// which packages bring a face, and the stage goes on as before. The program
// runs with a font configuration that holds the DejaVu faces alone.
#include "stagefixture.h"

#include "stage/fontcheck.h"

#include <QMouseEvent>
#include <QTest>

TEST_F(StageTest, WithoutAChineseFaceTheNoticeNamesThePackagesAndTheStageGoesOn)
{
    ASSERT_FALSE(stage::hasChineseFace()) << "FONTCONFIG_FILE must name a font set without Chinese";
    writeLibrary({QStringLiteral("大"), QStringLiteral("口")});
    stage::StageWindow& stage = start();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&stage));
    ASSERT_TRUE(recorder->messages().isEmpty()) << "the stage itself says nothing of faces";

    stage::tellIfNoChineseFace(&stage);
    ASSERT_EQ(recorder->messages().size(), 1);
    const QString notice = recorder->messages().front();
    for (const char* package : {"fonts-arphic-ukai", "fonts-arphic-gkai00mp", "fonts-noto-cjk",
                                "cjkuni-ukai-fonts", "google-noto-sans-cjk-fonts"})
        EXPECT_TRUE(notice.contains(QLatin1String(package))) << package;

    // The entries are drawn as boxes, which the click still hits.
    EXPECT_EQ(shown(), QStringLiteral("大"));
    ASSERT_FALSE(stage.shape().isEmpty());
    const QPoint onInk = stage.shape().begin()->center();
    QTest::mouseClick(&stage, Qt::LeftButton, Qt::NoModifier, onInk);
    EXPECT_EQ(shown(), QStringLiteral("口"));
    EXPECT_EQ(recorder->messages().size(), 1);
}
