// The desktop's own effects, where a test can watch them without blocking.
#include "platform/effects.h"

#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

TEST(DesktopEffectsTest, WithoutALauncherTheHelpPageIsNamedInAMessageBox)
{
    // The desktop has no xdg-open: an empty PATH stands for a machine without it.
    QTemporaryDir emptyPath;
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", emptyPath.path().toLocal8Bit());
    auto previous = platform::setEffects(nullptr);

    QString shown;
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, [poll, &shown] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
            poll->stop();
        }
    });
    poll->start(20);
    QTimer::singleShot(10000, poll, &QTimer::stop); // never wait for ever
    platform::effects().openDocument(QStringLiteral("/usr/share/quenlo/database/help.htm"));
    delete poll;

    platform::setEffects(std::move(previous));
    qputenv("PATH", oldPath);
    EXPECT_EQ(shown, platform::noLauncherMessage(QStringLiteral("/usr/share/quenlo/database/help.htm")));
    EXPECT_TRUE(shown.contains(QStringLiteral("/usr/share/quenlo/database/help.htm")));
}
