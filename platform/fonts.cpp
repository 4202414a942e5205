#include "platform/fonts.h"

#include <QCollator>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>

#include <algorithm>
#include <optional>

namespace platform {

namespace {

// A family that several foundries supply is listed as "Name [Foundry]"; the
// user chooses the family, so the foundry is left out.
QString withoutFoundry(const QString& family)
{
    const qsizetype bracket = family.lastIndexOf(QStringLiteral(" ["));
    return bracket > 0 && family.endsWith(u']') ? family.left(bracket) : family;
}

QStringList gatherFamilies()
{
    QStringList families;
    for (const QString& family : QFontDatabase::families())
        families.append(withoutFoundry(family));
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
    // The GB face first: it draws the mainland standard forms (真, 骨) that
    // the children learn; the UKai faces have the rest of GBK.
    static const QStringList candidates = {
        QStringLiteral("AR PL KaitiM GB"),   QStringLiteral("AR PL UKai CN"),
        QStringLiteral("AR PL UKai TW"),     QStringLiteral("KaiTi"),
        QStringLiteral("STKaiti"),           QStringLiteral("Noto Serif CJK SC"),
        QStringLiteral("Noto Sans CJK SC"),  QStringLiteral("AR PL UMing CN"),
        QStringLiteral("WenQuanYi Zen Hei"),
    };
    return candidates;
}

// The Kai face names that the library, the decks and stored settings use.
const QStringList& namedKaiFaces()
{
    static const QStringList names = {QStringLiteral("华文楷体"), QStringLiteral("楷体_GB2312"),
                                      QStringLiteral("楷体"), QStringLiteral("STKaiti")};
    return names;
}

// The named Kai faces that installFontSubstitutions mapped onto an installed face.
QStringList& standInNames()
{
    static QStringList names;
    return names;
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

bool standsInForNamedKaiFace(const QString& family)
{
    return standInNames().contains(family, Qt::CaseInsensitive);
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
    for (const QString& name : namedKaiFaces()) {
        if (!isInstalled(name) && !kai.isEmpty()) {
            QFont::insertSubstitutions(name, kai);
            if (!standInNames().contains(name))
                standInNames().append(name);
        }
    }
    if (!isInstalled(defaultFaceName())) {
        const QString sans = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
        QFont::insertSubstitutions(defaultFaceName(), {sans, QStringLiteral("DejaVu Sans")});
    }
}

} // namespace platform
