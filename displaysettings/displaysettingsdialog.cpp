#include "displaysettings/displaysettingsdialog.h"

#include "settings/settingsfile.h"

#include "platform/desktopwindow.h"
#include "platform/dialogframe.h"
#include "platform/effects.h"
#include "platform/error.h"
#include "platform/fonts.h"
#include "platform/gbk.h"
#include "platform/guard.h"
#include "settings/colourtext.h"
#include "settings/integertext.h"
#include "settings/startupread.h"

#include <QBitmap>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include <algorithm>
#include <limits>

namespace displaysettings {

namespace {

using settings::WordClass;
using enum settings::WordClass;

// The classes in the order of their keys "1" to "5", which is also the
// order of the size boxes and of the radio buttons: the
// order of taking the sizes, of finding the selected class and of the focus.
constexpr std::array<WordClass, settings::kWordClassCount> kKeyOrder {One, Two, Three, Many, Four};

// One step of the arrow pad, in pixels.
constexpr qint32 kArrowStep = 5;

// 369 x 456 pixels with the frame: the client area holds the panel
// (8, 8, 345 x 413) with an 8-pixel margin all round.
constexpr QSize kClientSize = platform::dialogClientSize(QSize(369, 456));

// The sizes the stage can draw sensibly, in points.
constexpr qint32 kSmallestSize = 12;
constexpr qint32 kLargestSize = 2000;

const QColor kPanelGreen {192, 220, 192};
const QColor kTitleGreen {0, 128, 0};
const QColor kCaptionRed {255, 0, 0};
const QColor kAxisNavy {0, 0, 128};

// A row of the size group or of the position group, top to bottom.
struct Row {
    WordClass wordClass;
    const char* boxName;
    const char* radioName;
    const char* labelName; // the caption above the size box
    const char16_t* sizeCaption;
    const char16_t* radioCaption;
    const char16_t* className; // in messages
};

// The rows stand in the order One, Two, Three, Four, Many.
constexpr std::array<Row, settings::kWordClassCount> kRows {{
    {One, "sizeOneBox", "classOneRadio", "sizeOneCaption", u"单字：", u"单字位置设置", u"单字"},
    {Two, "sizeTwoBox", "classTwoRadio", "sizeTwoCaption", u"双字：", u"双字位置设置", u"双字"},
    {Three, "sizeThreeBox", "classThreeRadio", "sizeThreeCaption", u"三字：", u"三字位置设置", u"三字"},
    {Four, "sizeFourBox", "classFourRadio", "sizeFourCaption", u"四字：", u"四字位置设置", u"四字"},
    {Many, "sizeManyBox", "classManyRadio", "sizeManyCaption", u"多字：", u"多字位置设置", u"多字"},
}};

QFont fontOf(const QString& family, int pixelHeight, bool bold = false)
{
    QFont font(family);
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    return font;
}

// The dialog's small default face, which the captions and boxes use.
QFont smallFont()
{
    return fontOf(platform::defaultFaceName(), 11);
}

QFont groupTitleFont()
{
    return fontOf(QStringLiteral("楷体_GB2312"), 21, true);
}

void setColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

QLabel* addLabel(QWidget* parent, const char* name, const QRect& place, const QString& text,
                 const QFont& font, const QColor& colour,
                 Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1StringView(name));
    label->setGeometry(place);
    label->setFont(font);
    label->setAlignment(alignment);
    setColour(label, QPalette::WindowText, colour);
    return label;
}

QGroupBox* addGroup(QWidget* parent, const char* name, const QRect& place)
{
    auto* group = new QGroupBox(parent);
    group->setObjectName(QLatin1StringView(name));
    group->setGeometry(place);
    return group;
}

// Flat buttons show only a thin frame, raised while the pointer is over them
// and sunk while pressed; their face stays see-through, so the pad's buttons
// never hide the star.
const char kFlatButtonStyle[] =
    "QToolButton { border: 1px solid transparent; background: transparent; padding: 0px; }"
    "QToolButton:hover { border-color: white #808080 #808080 white; }"
    "QToolButton:pressed { border-color: #808080 white white #808080; }";

// A flat button that never takes the focus: no border until the pointer is
// over it, and a single step per press (no repeat while held).
QToolButton* addFlatButton(QWidget* parent, const char* name, const QRect& place)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1StringView(name));
    button->setGeometry(place);
    button->setAutoRaise(true);
    button->setAutoRepeat(false);
    button->setFocusPolicy(Qt::NoFocus);
    button->setStyleSheet(QLatin1StringView(kFlatButtonStyle));
    return button;
}

// A picture whose pure white pixels are not drawn.
QPixmap withWhiteTransparent(QPixmap picture)
{
    picture.setMask(picture.createMaskFromColor(Qt::white));
    return picture;
}

// The coordinate moved by one arrow step. Coordinates have no bounds, but a
// step past the ends of the 32-bit range stops there instead of wrapping
// round to the far side of the screen.
qint32 steppedCoordinate(qint32 coordinate, qint32 delta)
{
    const qint64 moved = qint64(coordinate) + delta;
    return qint32(
        std::clamp<qint64>(moved, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

bool isAsciiLetter(QChar c)
{
    const char16_t code = c.unicode();
    return (code >= u'A' && code <= u'Z') || (code >= u'a' && code <= u'z');
}

// A size box's text as a size the stage can draw: an integer by the
// settings file's integer syntax, within the sensible range.
std::optional<qint32> sizeFromText(const QString& text)
{
    const std::optional<QByteArray> bytes = platform::gbk::encode(text);
    if (!bytes)
        return std::nullopt;
    try {
        const qint32 size = settings::toInteger(*bytes);
        if (size < kSmallestSize || size > kLargestSize)
            return std::nullopt;
        return size;
    } catch (const platform::Error&) {
        return std::nullopt;
    }
}

} // namespace

DisplaySettingsDialog::DisplaySettingsDialog(settings::StageSettings current, settings::SettingsFile& file,
                                             QWidget* parent)
    : QDialog(parent)
    , m_settings(std::move(current))
    , m_openingSettings(m_settings)
    , m_file(file)
{
    setObjectName(QStringLiteral("displaySettingsDialog"));
    setWindowTitle(QStringLiteral("显示设置"));
    setFont(smallFont());
    setFixedSize(kClientSize);
    buildPanel();
    setFocusOrder();
    loadSettings();
    // Only what the user chooses is shown on the stage, not the filling.
    connect(m_fontBox, &QComboBox::currentTextChanged, this, &DisplaySettingsDialog::previewFace);
}

// ---------------------------------------------------------------------------
// The controls, as the layout places them.

void DisplaySettingsDialog::buildPanel()
{
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("panel"));
    panel->setGeometry(8, 8, 345, 413);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setAutoFillBackground(true);
    setColour(panel, QPalette::Window, kPanelGreen);

    buildSizeGroup(panel);
    buildPositionGroup(panel);
    buildFontGroup(panel);
    buildButtons(panel);
    buildLookRow(panel);
}

// The look of the glyphs: the outline switch and the backdrop's colour.
void DisplaySettingsDialog::buildLookRow(QWidget* panel)
{
    auto* outline = new QCheckBox(QStringLiteral("字加描边"), panel);
    outline->setObjectName(QStringLiteral("outlineBox"));
    outline->setGeometry(16, 376, 150, 22);
    outline->setToolTip(QStringLiteral("每一笔加一圈深色或浅色的边，放在什么背景上都看得清"));
    setColour(outline, QPalette::WindowText, kCaptionRed);
    connect(outline, &QCheckBox::toggled, this, &DisplaySettingsDialog::previewOutline);

    auto* backdrop = new QPushButton(QStringLiteral("幕布颜色…"), panel);
    backdrop->setObjectName(QStringLiteral("backdropColourButton"));
    backdrop->setGeometry(184, 372, 153, 28);
    backdrop->setFocusPolicy(Qt::NoFocus);
    backdrop->setToolTip(QStringLiteral("菜单里勾选“幕布”时，字后面铺满整个屏幕的颜色"));
    connect(backdrop, &QPushButton::clicked, this, &DisplaySettingsDialog::chooseBackdropColour);
}

void DisplaySettingsDialog::buildSizeGroup(QWidget* panel)
{
    QGroupBox* group = addGroup(panel, "sizeGroup", {8, 6, 161, 243});
    addLabel(group, "sizeTitle", {8, 8, 145, 33}, QStringLiteral("字体大小选择："), groupTitleFont(),
             kTitleGreen);

    int top = 35;
    for (const Row& row : kRows) {
        addLabel(group, row.labelName, {16, top, 36, 13}, QString::fromUtf16(row.sizeCaption), smallFont(),
                 kCaptionRed);
        auto* box = new QLineEdit(group);
        box->setObjectName(QLatin1StringView(row.boxName));
        box->setGeometry(16, top + 16, 129, 21);
        box->installEventFilter(this);
        sizeBox(row.wordClass) = box;
        connect(box, &QLineEdit::textEdited, this,
                [this, c = row.wordClass](const QString& text) { previewSize(c, text); });
        top += 40;
    }
}

void DisplaySettingsDialog::buildPositionGroup(QWidget* panel)
{
    QGroupBox* group = addGroup(panel, "positionGroup", {176, 8, 161, 305});
    addLabel(group, "positionTitle", {8, 8, 145, 33}, QStringLiteral("字体位置设置："), groupTitleFont(),
             kTitleGreen);

    int top = 38;
    for (const Row& row : kRows) {
        auto* radio = new QRadioButton(QString::fromUtf16(row.radioCaption), group);
        radio->setObjectName(QLatin1StringView(row.radioName));
        radio->setGeometry(32, top, 97, 17);
        setColour(radio, QPalette::WindowText, kCaptionRed);
        radioButton(row.wordClass) = radio;
        top += 24;
    }
    radioButton(One)->setChecked(true);

    buildArrowPad(group);

    const QFont valueFont = fontOf(platform::defaultFaceName(), 16, true);
    const Qt::Alignment centred = Qt::AlignHCenter | Qt::AlignTop;
    m_axisLabel = addLabel(group, "axisLabel", {40, 272, 25, 20}, QStringLiteral("X:"), valueFont, kAxisNavy,
                           centred);
    m_valueField = addLabel(group, "valueField", {64, 272, 65, 25}, QStringLiteral("100"), valueFont,
                            kCaptionRed, centred);
}

// The star, with four flat buttons without caption over its points. Only the
// star is seen; a button shows its frame while the pointer is over it.
void DisplaySettingsDialog::buildArrowPad(QWidget* group)
{
    auto* star = new QLabel(group);
    star->setObjectName(QStringLiteral("arrowStar"));
    star->setGeometry(34, 163, 102, 102);
    star->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    star->setPixmap(withWhiteTransparent(
        platform::sharpPicture(QStringLiteral(":/displaysettings/star.png"), star->devicePixelRatioF())));

    // Made after the star, so they lie over it.
    connect(addFlatButton(group, "upButton", {70, 168, 22, 33}), &QToolButton::clicked, this,
            &DisplaySettingsDialog::moveUp);
    connect(addFlatButton(group, "leftButton", {40, 200, 33, 22}), &QToolButton::clicked, this,
            &DisplaySettingsDialog::moveLeft);
    connect(addFlatButton(group, "rightButton", {96, 200, 33, 22}), &QToolButton::clicked, this,
            &DisplaySettingsDialog::moveRight);
    connect(addFlatButton(group, "downButton", {70, 224, 22, 33}), &QToolButton::clicked, this,
            &DisplaySettingsDialog::moveDown);

    // Over the star's empty corner, bottom right.
    auto* centre = new QToolButton(group);
    centre->setObjectName(QStringLiteral("centreButton"));
    centre->setText(QStringLiteral("居中"));
    centre->setGeometry(108, 238, 48, 24);
    centre->setFocusPolicy(Qt::NoFocus);
    centre->setToolTip(QStringLiteral("把选中的一类字放回屏幕正中"));
    connect(centre, &QToolButton::clicked, this, &DisplaySettingsDialog::centreSelectedClass);
}

void DisplaySettingsDialog::buildFontGroup(QWidget* panel)
{
    QGroupBox* group = addGroup(panel, "fontGroup", {8, 248, 161, 113});
    addLabel(group, "fontTitle", {8, 16, 145, 25}, QStringLiteral("字体类型选择："), groupTitleFont(),
             kTitleGreen);

    m_fontBox = new QComboBox(group);
    m_fontBox->setObjectName(QStringLiteral("fontBox"));
    m_fontBox->setGeometry(16, 60, 137, 21);
    m_fontBox->setEditable(true);
    // The typed text is the face; the list itself never grows.
    m_fontBox->setInsertPolicy(QComboBox::NoInsert);

    buildStarBurstBox(group);
}

// Its own key, written as soon as it changes: "设置" and "离开" leave it be.
void DisplaySettingsDialog::buildStarBurstBox(QWidget* group)
{
    auto* box = new QCheckBox(QStringLiteral("答对时放星星"), group);
    box->setObjectName(QStringLiteral("starBurstBox"));
    box->setGeometry(16, 86, 137, 21);
    box->setChecked(m_settings.starBurst);
    connect(box, &QCheckBox::toggled, this, [this](bool on) {
        platform::guarded(this, [this, on] {
            m_settings.starBurst = on;
            Q_EMIT settingsChanged(m_settings);
            settings::writeStarBurst(m_file, on);
        });
    });
}

void DisplaySettingsDialog::buildButtons(QWidget* panel)
{
    const QFont captionFont = fontOf(QStringLiteral("华文楷体"), 16);
    auto addCaptionedButton = [&](const char* name, const QRect& place, const QString& caption,
                                  const QString& iconPath) {
        QToolButton* button = addFlatButton(panel, name, place);
        const QPixmap icon = platform::sharpPicture(iconPath, button->devicePixelRatioF());
        button->setText(caption);
        button->setIcon(icon);
        button->setIconSize(icon.deviceIndependentSize().toSize());
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setFont(captionFont);
        setColour(button, QPalette::ButtonText, kTitleGreen);
        return button;
    };
    connect(addCaptionedButton("applyButton", {184, 328, 73, 30}, QStringLiteral("设置"),
                               QStringLiteral(":/displaysettings/apply.png")),
            &QToolButton::clicked, this, &DisplaySettingsDialog::applyAndSave);
    connect(addCaptionedButton("leaveButton", {264, 328, 73, 30}, QStringLiteral("离开"),
                               QStringLiteral(":/displaysettings/leave.png")),
            &QToolButton::clicked, this, &DisplaySettingsDialog::leave);
}

// The size boxes in key order, the radio buttons, the font box. Of the radio buttons only
// the selected one is reached with Tab; the arrow keys move between them.
void DisplaySettingsDialog::setFocusOrder()
{
    QWidget* previous = nullptr;
    auto append = [&previous](QWidget* next) {
        if (previous)
            setTabOrder(previous, next);
        previous = next;
    };
    for (WordClass c : kKeyOrder)
        append(sizeBox(c));
    for (WordClass c : kKeyOrder)
        append(radioButton(c));
    append(m_fontBox);
    append(findChild<QCheckBox*>(QStringLiteral("starBurstBox")));
    append(findChild<QCheckBox*>(QStringLiteral("outlineBox")));
}

// ---------------------------------------------------------------------------
// The handlers.

void DisplaySettingsDialog::loadSettings()
{
    platform::guarded(this, [this] {
        const settings::StageSettings& current = m_settings;

        m_openingFace = current.fontFace;
        m_fontBox->addItems(platform::chineseFontFamilies());
        showFace(platform::gbk::decode(current.fontFace));

        for (WordClass c : kKeyOrder)
            sizeBox(c)->setText(QString::number(current.size(c)));
        findChild<QCheckBox*>(QStringLiteral("outlineBox"))->setChecked(current.outline);

        // The pad starts out showing One's x, with "X:" and One selected.
        m_valueField->setText(QString::number(current.position(One).x));
        sizeBox(One)->setFocus();
    });
}

// Shows the face exactly as stored, installed or not. A face of the list is
// also highlighted there when the list drops down.
void DisplaySettingsDialog::showFace(const QString& face)
{
    m_fontBox->setCurrentIndex(m_fontBox->findText(face, Qt::MatchFixedString));
    m_fontBox->setEditText(face);
}

bool DisplaySettingsDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        for (QLineEdit* box : m_sizeBoxes) {
            if (watched == box)
                return filterSizeKey(box, *static_cast<QKeyEvent*>(event));
        }
    }
    return QDialog::eventFilter(watched, event);
}

// The key filter of the five size boxes: typed ASCII letters are dropped.
// Digits, signs, "$", blanks, punctuation, control keys and every character
// beyond ASCII reach the box; so does pasted text. Returns true when the key
// press is used up here.
bool DisplaySettingsDialog::filterSizeKey(QLineEdit* box, const QKeyEvent& key)
{
    bool usedUp = false;
    platform::guarded(this, [&] {
        // With Ctrl, Alt or Meta a letter is a shortcut (select all, paste), not typing.
        if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
            return;
        const QString typed = key.text();
        QString kept = typed;
        kept.removeIf(isAsciiLetter);
        if (kept.size() == typed.size())
            return;
        // A key that types several characters at once keeps those that are no letters.
        if (!kept.isEmpty())
            box->insert(kept);
        usedUp = true;
    });
    return usedUp;
}

// There is no default button: Enter presses nothing. Esc leaves, as "离开" does.
void DisplaySettingsDialog::keyPressEvent(QKeyEvent* event)
{
    const bool isEnter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (isEnter) {
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        leave();
        return;
    }
    QDialog::keyPressEvent(event);
}

void DisplaySettingsDialog::moveUp()
{
    arrowStep(Axis::Y, -kArrowStep);
}

void DisplaySettingsDialog::moveDown()
{
    arrowStep(Axis::Y, kArrowStep);
}

void DisplaySettingsDialog::moveLeft()
{
    arrowStep(Axis::X, -kArrowStep);
}

void DisplaySettingsDialog::moveRight()
{
    arrowStep(Axis::X, kArrowStep);
}

// Moves the selected class at once; the settings file is not written here.
void DisplaySettingsDialog::arrowStep(Axis axis, qint32 delta)
{
    platform::guarded(this, [&] {
        m_axisLabel->setText(axis == Axis::Y ? QStringLiteral("Y:") : QStringLiteral("X:"));
        const std::optional<WordClass> selected = selectedClass();
        if (!selected)
            return;
        settings::Position& place = m_settings.position(*selected);
        qint32& coordinate = axis == Axis::Y ? place.y : place.x;
        coordinate = steppedCoordinate(coordinate, delta);
        m_valueField->setText(QString::number(coordinate));
        Q_EMIT settingsChanged(m_settings);
    });
}

std::optional<settings::WordClass> DisplaySettingsDialog::selectedClass() const
{
    for (WordClass c : kKeyOrder) {
        if (radioButton(c)->isChecked())
            return c;
    }
    return std::nullopt;
}

// Whether the face is one the dialog offers, or the one it opened with.
bool DisplaySettingsDialog::offersFace(const QString& face) const
{
    return m_fontBox->findText(face, Qt::MatchFixedString) >= 0
           || face == platform::gbk::decode(m_openingFace);
}

// The message for the first field that the stage could not use, top to
// bottom as the dialog shows them; nothing when every field is right.
std::optional<QString> DisplaySettingsDialog::firstInvalidField() const
{
    for (const Row& row : kRows) {
        const QString text = m_sizeBoxes[static_cast<int>(row.wordClass)]->text();
        if (sizeFromText(text))
            continue;
        const QString name = QString::fromUtf16(row.className);
        if (text.trimmed().isEmpty())
            return QStringLiteral("请填写%1的字体大小：%2 到 %3 之间的整数。")
                .arg(name)
                .arg(kSmallestSize)
                .arg(kLargestSize);
        return QStringLiteral("%1的字体大小“%2”不对：请填 %3 到 %4 之间的整数。")
            .arg(name, text)
            .arg(kSmallestSize)
            .arg(kLargestSize);
    }
    const QString face = m_fontBox->currentText();
    if (face.isEmpty())
        return QStringLiteral("请选择一种字体。");
    if (!offersFace(face))
        return QStringLiteral("字体“%1”不在列表里：请从列表中选择一种能显示汉字的字体。").arg(face);
    return std::nullopt;
}

// The font box's text as GBK, or nothing when it holds a character that GBK
// lacks. Unchanged text keeps the bytes the dialog opened with.
std::optional<QByteArray> DisplaySettingsDialog::faceToStore() const
{
    const QString text = m_fontBox->currentText();
    if (text == platform::gbk::decode(m_openingFace))
        return m_openingFace;
    return platform::gbk::encode(text);
}

// "设置": every field checked, then the face and the sizes taken and every
// key written. A field that is wrong stops it with a message and nothing
// changed or written; a failed write stops it with the file's error. Only
// success closes the dialog.
void DisplaySettingsDialog::applyAndSave()
{
    platform::guarded(this, [this] {
        if (const std::optional<QString> problem = firstInvalidField()) {
            platform::effects().showMessage(this, *problem);
            return;
        }
        const std::optional<QByteArray> face = faceToStore();
        if (!face) {
            // Stored as GBK, such a name would come back with '?' in place of
            // the character: refuse it before anything changes.
            const QString character =
                platform::gbk::firstUnencodable(m_fontBox->currentText()).value_or(QString());
            platform::effects().showMessage(
                this, QStringLiteral("字体名称中的字符“%1”无法保存，请选择或输入其他字体。").arg(character));
            return;
        }

        m_settings.fontFace = *face;
        for (WordClass c : kKeyOrder)
            m_settings.size(c) = *sizeFromText(sizeBox(c)->text());
        Q_EMIT settingsChanged(m_settings);
        settings::writeDisplaySettings(m_file, m_settings);
        // Saved: leaving now keeps them.
        m_openingSettings = m_settings;
        accept();
    });
}

// "离开": close, with the settings the dialog opened with in force again.
void DisplaySettingsDialog::leave()
{
    platform::guarded(this, [this] { reject(); });
}

void DisplaySettingsDialog::reject()
{
    m_settings = m_openingSettings;
    Q_EMIT settingsChanged(m_settings);
    QDialog::reject();
}

// "居中": the selected class back in the middle of the screen. Positions
// stored as top-left corners by earlier versions have no meaning from the
// centre, so every class is centred then.
void DisplaySettingsDialog::centreSelectedClass()
{
    platform::guarded(this, [this] {
        const std::optional<WordClass> selected = selectedClass();
        if (!selected)
            return;
        if (m_settings.placement == settings::Placement::FromTopLeft) {
            m_settings.placement = settings::Placement::FromCentre;
            m_settings.positions.fill({});
        }
        m_settings.position(*selected) = {};
        m_valueField->setText(QStringLiteral("0"));
        Q_EMIT settingsChanged(m_settings);
    });
}

void DisplaySettingsDialog::chooseBackdropColour()
{
    platform::guarded(this, [this] {
        const QColor current = settings::toQColor(m_settings.backdropColour).value_or(Qt::white);
        const std::optional<QColor> chosen = platform::effects().chooseColour(this, current);
        if (!chosen)
            return;
        m_settings.backdropColour = settings::fromQColor(*chosen);
        Q_EMIT settingsChanged(m_settings);
    });
}

// A size typed in shows on the stage as soon as it is one the stage can draw.
void DisplaySettingsDialog::previewSize(WordClass c, const QString& text)
{
    const std::optional<qint32> size = sizeFromText(text);
    if (!size || *size == m_settings.size(c))
        return;
    m_settings.size(c) = *size;
    Q_EMIT settingsChanged(m_settings);
}

void DisplaySettingsDialog::previewFace(const QString& face)
{
    if (face.isEmpty() || !offersFace(face))
        return;
    const std::optional<QByteArray> bytes = faceToStore();
    if (!bytes || *bytes == m_settings.fontFace)
        return;
    m_settings.fontFace = *bytes;
    Q_EMIT settingsChanged(m_settings);
}

void DisplaySettingsDialog::previewOutline(bool on)
{
    if (on == m_settings.outline)
        return;
    m_settings.outline = on;
    Q_EMIT settingsChanged(m_settings);
}

} // namespace displaysettings
