#include "platform/fonts.h"

#include <QCollator>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QRawFont>

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

namespace {

// Whether a face draws the common Chinese characters itself, not through a
// fallback face: it says it writes Simplified Chinese, or it has every one
// of a handful of the commonest characters.
bool drawsCommonChinese(const QString& family)
{
    const QString face = family.compare(u"Default", Qt::CaseInsensitive) == 0
                             ? QFontInfo(QFont(defaultFaceName())).family()
                             : family;
    if (QFontDatabase::writingSystems(face).contains(QFontDatabase::SimplifiedChinese))
        return true;
    // The face's own glyphs: QFontMetrics would count those of fallback faces.
    const QRawFont raw = QRawFont::fromFont(QFont(face));
    if (!raw.isValid() || raw.familyName().compare(face, Qt::CaseInsensitive) != 0)
        return false;
    for (char32_t character : U"的一是人大") {
        if (character != 0 && !raw.supportsCharacter(character))
            return false;
    }
    return true;
}

} // namespace

QString shippedFaceName()
{
    return QStringLiteral("华文楷体");
}

QStringList chineseFontFamilies()
{
    QStringList faces {shippedFaceName()};
    for (const QString& family : fontFamilies()) {
        if (family.compare(shippedFaceName(), Qt::CaseInsensitive) != 0 && drawsCommonChinese(family))
            faces.append(family);
    }
    return faces;
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
