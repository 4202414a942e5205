#include "platform/fonts.h"

#include <QCollator>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>

#include <algorithm>
#include <optional>

namespace platform {

namespace {

QStringList gatherFamilies()
{
    QStringList families = QFontDatabase::families();
    families.append(QStringLiteral("Default"));
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(families.begin(), families.end(),
              [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
    // A family that is reported several times stands once in the list.
    auto same = [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; };
    families.erase(std::unique(families.begin(), families.end(), same), families.end());
    return families;
}

std::optional<QStringList>& cachedFamilies()
{
    static std::optional<QStringList> families;
    return families;
}

bool isInstalled(const QString& family)
{
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

// Kai faces this program knows how to stand in for the ones its data names.
const QStringList& installedKaiFaces()
{
    static const QStringList candidates = {
        QStringLiteral("AR PL UKai CN"), QStringLiteral("AR PL UKai TW"),
        QStringLiteral("AR PL KaitiM GB"), QStringLiteral("KaiTi"), QStringLiteral("STKaiti"),
        QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC"),
        QStringLiteral("AR PL UMing CN"), QStringLiteral("WenQuanYi Zen Hei"),
    };
    return candidates;
}

} // namespace

const QStringList& fontFamilies()
{
    if (!cachedFamilies()) {
        cachedFamilies() = gatherFamilies();
        static bool watching = false;
        if (!watching && qGuiApp) {
            watching = true;
            QObject::connect(qGuiApp, &QGuiApplication::fontDatabaseChanged, qGuiApp,
                             [] { cachedFamilies().reset(); });
        }
    }
    return *cachedFamilies();
}

QString defaultFaceName()
{
    return QStringLiteral("MS Sans Serif");
}

void installFontSubstitutions()
{
    QStringList kai;
    for (const QString& face : installedKaiFaces()) {
        if (isInstalled(face))
            kai.append(face);
    }
    const QStringList kaiNames = {QStringLiteral("华文楷体"), QStringLiteral("楷体_GB2312"),
                                  QStringLiteral("楷体"), QStringLiteral("STKaiti")};
    for (const QString& name : kaiNames) {
        if (!isInstalled(name) && !kai.isEmpty())
            QFont::insertSubstitutions(name, kai);
    }
    if (!isInstalled(defaultFaceName())) {
        const QString sans = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
        QFont::insertSubstitutions(defaultFaceName(), {sans, QStringLiteral("DejaVu Sans")});
    }
}

} // namespace platform
