#include "stage/tform1.h"

#include "core/stagestate.h"
#include "platform/desktopwindow.h"
#include "platform/effects.h"
#include "platform/fonts.h"
#include "platform/gbk.h"
#include "platform/guard.h"
#include "platform/programdir.h"
#include "settings/colourtext.h"
#include "settings/keys.h"
#include "settings/startupread.h"
#include "stage/glyphrenderer.h"
#include "stage/menuicons.h"
#include "stage/soundcues.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTransform>
#include <QWindow>
#include <QtMath>

#include <chrono>
#include <random>

namespace stage {

TForm1::TForm1(StageDialogs dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint)
    , m_colour(128, 0, 128)
    , m_face(platform::defaultFaceName())
    , m_translucent(platform::screenIsComposited())
    , m_dialogs(std::move(dialogs))
{
    setWindowTitle(platform::applicationTitle());
    // Where a compositor draws the screen, the window is see-through outside
    // the glyphs, its input cut to them and its picture a pixel wider, so
    // that the edges can be smooth. Wayland honours nothing but the input
    // part of a shape.
    if (m_translucent)
        setAttribute(Qt::WA_TranslucentBackground);
    // At the screen's corner and above panels and docks, so that a stored
    // position means the same on every desktop.
    platform::coverScreen(this, QGuiApplication::primaryScreen());

    setFocusPolicy(Qt::StrongFocus);
    m_endProgram = [this] {
        close();
        QCoreApplication::quit();
    };
    buildMenu();

    StageState& state = stageState();
    state.deck = Deck::fromEntries(builtInEntries());
    state.deckKind = DeckKind::Library;
    formCreate();
    showColourMode();
}

TForm1::~TForm1()
{
    // Writes what is still queued while the application is still there.
    stageState().record.reset();
}

void TForm1::formCreate()
{
    StageState& state = stageState();
    const bool libraryRead = platform::guarded(this, [&state] {
        state.settingsFile = std::make_unique<settings::SettingsFile>(
            platform::dataPath(u"database\\qrnv.ini"));
        state.deck = readDeckFile(platform::dataPath(deckFileName(DeckKind::Library)));
        state.deckKind = DeckKind::Library;
    });
    if (!state.settingsFile)
        return; // not even opened; the error has been shown
    platform::guarded(this, [&state, libraryRead] {
        preloadSoundCues();
        if (!libraryRead) {
            // The built-in list is shown as the stored settings say. The stored
            // start position counts the library's entries, so it is left
            // unread, and without the chime the start does not sound as if
            // all went well.
            settings::readDisplaySettings(*state.settingsFile, state.settings);
            return;
        }
        settings::readStartupSettings(*state.settingsFile, state.cursor, state.settings);
        playCue(SoundCue::Chime);
    });
}

core::Record* TForm1::learningRecord()
{
    // Opened on first use, so that a run without judgements touches no file;
    // the record then opens on its own thread and the stage never waits.
    StageState& state = stageState();
    if (m_recordConnected)
        return state.record.get();
    m_recordConnected = true;
    platform::guarded(this, [this, &state] {
        if (!state.record)
            state.record = std::make_unique<core::Record>(platform::userFilePath(u"record.sqlite"));
        // The record reports its first failure once; the stage goes on without it.
        connect(state.record.get(), &core::Record::failed, this, &TForm1::showRecordFailure,
                Qt::QueuedConnection);
        // It may have failed before the connection was made.
        const QString early = state.record->failureMessage();
        if (!early.isEmpty())
            QMetaObject::invokeMethod(
                this, [this, early] { showRecordFailure(early); }, Qt::QueuedConnection);
    });
    return state.record.get();
}

void TForm1::showRecordFailure(const QString& message)
{
    if (m_recordFailureShown)
        return;
    m_recordFailureShown = true;
    platform::guarded(this, [this, &message] {
        platform::effects().showMessage(this, message);
        regainKeyboard();
    });
}

void TForm1::judge(bool right)
{
    if (m_judgedThisShowing || m_entry.isEmpty())
        return;
    m_judgedThisShowing = true;
    if (core::Record* record = learningRecord())
        record->judge(m_entry, right);
}

QColor TForm1::nextColour()
{
    // Reseeded from the clock at every step; 255 itself is never drawn.
    std::mt19937 generator(static_cast<std::mt19937::result_type>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count()));
    std::uniform_int_distribution<int> component(0, 254);
    const int red = component(generator);
    const int green = component(generator);
    const int blue = component(generator);

    const StageState& state = stageState();
    if (state.settings.colourMode == settings::ColourMode::Random)
        return QColor(red, green, blue);
    return settings::toQColor(state.settings.singleColour).value_or(m_colour);
}

void TForm1::showEntry()
{
    m_colour = nextColour();
    const qsizetype index = nextIndex();
    const StageState& state = stageState();
    drawEntry(index >= 0 ? state.deck.at(index) : QByteArrayView());
    m_judgedThisShowing = false;
    playCue(SoundCue::Step);
}

void TForm1::drawEntry(QByteArrayView entry)
{
    const settings::StageSettings& settings = stageState().settings;
    const settings::WordClass wordClass = wordClassOf(entry);
    m_entry = entry.toByteArray();
    m_face = drawingFace(settings.fontFace, m_face);
    m_font = drawingFont(m_face, settings.size(wordClass), logicalDpiY());
    const settings::Position place = settings.position(wordClass);
    m_textPlace = QPoint(place.x, place.y);
    applyShape();
}

void TForm1::applyShape()
{
    const QRect before = m_shape.boundingRect();
    const QPainterPath outlines = glyphPath(platform::gbk::decode(m_entry), m_font, m_textPlace);
    m_glyphs = emboldened(outlines, emboldenWidth(m_font));
    m_shape = glyphRegion(m_glyphs, size());
    if (m_shape.isEmpty()) {
        m_shape = placeholderMark(m_textPlace, size());
        m_glyphs = QPainterPath();
        m_glyphs.addRegion(m_shape);
    }

    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, m_colour);
    setPalette(palette);
    cutWindowToShape();
    if (m_translucent) {
        // The last glyphs are still painted on the see-through window, and
        // smooth edges reach a pixel beyond the shape.
        const QMargins edge(2, 2, 2, 2);
        update(QRegion(before.marginsAdded(edge)).united(m_shape.boundingRect().marginsAdded(edge)));
        return;
    }
    update(m_shape.boundingRect());
}

void TForm1::cutWindowToShape()
{
    const qreal ratio = devicePixelRatioF();
    if (ratio == 1.0) {
        m_nativeShape = m_shape;
        m_nativeShapePath = QPainterPath();
    } else {
        // Found on the device pixels from the outlines: the font's size and
        // place are device-independent, its edges are not.
        const QTransform toDevice = QTransform::fromScale(ratio, ratio);
        const QSize deviceSize(qCeil(width() * ratio), qCeil(height() * ratio));
        m_nativeShape = glyphRegion(toDevice.map(m_glyphs), deviceSize);
        if (m_nativeShape.isEmpty())
            m_nativeShape = toDevice.map(m_shape);
        QPainterPath devicePixels;
        devicePixels.addRegion(m_nativeShape);
        m_nativeShapePath = QTransform::fromScale(1 / ratio, 1 / ratio).map(devicePixels);
    }
    QWindow* window = windowHandle();
    if (!window) {
        if (!m_translucent)
            setMask(m_shape);
        return;
    }
    if (m_translucent)
        platform::setGlyphShape(window, m_shape, m_nativeShape);
    else
        platform::setOpaqueGlyphShape(window, m_shape, m_nativeShape);
}

bool TForm1::hitsGlyph(QPointF at) const
{
    const qreal ratio = devicePixelRatioF();
    if (ratio == 1.0)
        return m_shape.contains(at.toPoint());
    // Widgets get positions rounded to whole device-independent pixels:
    // any device pixel that rounds to `at` may have been the one clicked.
    const QRectF around((at - QPointF(0.5, 0.5)) * ratio, QSizeF(ratio, ratio));
    return m_nativeShape.intersects(around.toAlignedRect());
}

void TForm1::regainKeyboard()
{
    // Window managers give the keyboard back to whatever they like once a
    // dialog closes (often nothing): the stage must answer Enter at once.
    activateWindow();
    setFocus(Qt::OtherFocusReason);
}

void TForm1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_firstShowDone)
        return;
    m_firstShowDone = true;
    // Before the window is mapped, so that no compositor ever shadows it.
    platform::setPlainForCompositors(windowHandle());
    // Drawn before the window first appears, so the unshaped window is never seen.
    platform::guarded(this, [this] { showEntry(); });
}

bool TForm1::nativeEvent(const QByteArray& eventType, void* message, qintptr* result)
{
    // Once mapped, the window stands in its window manager's frame, which
    // needs the compositor hints too.
    if (platform::isMapEvent(eventType, message)) {
        platform::guarded(this, [this] {
            platform::setPlainForCompositors(windowHandle());
            // Some window managers (xfwm4) leave a new window without the
            // keyboard now and then: Enter must work from the start.
            if (!m_firstMapDone) {
                m_firstMapDone = true;
                regainKeyboard();
            }
        });
    }
    return QWidget::nativeEvent(eventType, message, result);
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The shape is cut to the window: rebuild it for the final size.
    if (m_firstShowDone)
        platform::guarded(this, [this] { applyShape(); });
}

void TForm1::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_translucent) {
        // Smooth edges; the see-through background is cleared by Qt.
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(m_glyphs, m_colour);
        return;
    }
    if (!m_nativeShapePath.isEmpty()) {
        // Device pixels that the window keeps, whole: its edges lie on
        // device pixel boundaries, so the fill covers them exactly.
        painter.fillPath(m_nativeShapePath, m_colour);
        return;
    }
    painter.setClipRegion(m_shape);
    painter.fillRect(m_shape.boundingRect(), m_colour);
}

void TForm1::mousePressEvent(QMouseEvent* event)
{
    m_pressIsClick = event->button() == Qt::LeftButton;
    QWidget::mousePressEvent(event);
}

void TForm1::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double-click is not a click: the stage has no
    // double-click action, so two quick clicks step only once.
    m_pressIsClick = false;
    event->accept();
}

void TForm1::keyPressEvent(QKeyEvent* event)
{
    const QString text = event->text();
    if (text.isEmpty()) {
        QWidget::keyPressEvent(event); // the menu key arrives as a context menu event
        return;
    }
    const char16_t key = text.front().unicode();
    platform::guarded(this, [this, key] {
        // Each test is made on the same character, one after another.
        if (key == u'\r')
            showEntry();
        if (key == 27) {
            endProgram(); // without storing the position
            return;
        }
        if (key == u' ') {
            playCue(SoundCue::Applause);
            judge(true);
        }
        if (key >= u'0' && key <= u'9') {
            playCue(SoundCue::Wrong);
            judge(false);
        }
        if (key == u'0') {
            if (stepBack()) {
                platform::effects().showMessage(this, QStringLiteral("已到最前面！"));
                regainKeyboard();
                return;
            }
            showEntry();
        }
    });
}

void TForm1::contextMenuEvent(QContextMenuEvent* event)
{
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard)
        at = screen() ? screen()->geometry().topLeft() : QPoint(0, 0);
    else if (!hitsGlyph(event->pos()))
        return;
    m_menu->popup(at);
}

void TForm1::buildMenu()
{
    m_menu = new QMenu(this);
    connect(m_menu, &QMenu::aboutToShow, this, &TForm1::prepareMenu);
    auto command = [this](QMenu* menu, const QIcon& icon, const QString& text, auto handler) {
        QAction* action = menu->addAction(icon, text);
        connect(action, &QAction::triggered, this, [this, handler] {
            platform::guarded(this, [this, handler] { (this->*handler)(); });
            regainKeyboard(); // after the command's dialog, if it opened one
        });
        return action;
    };

    m_addAction = command(m_menu, menuicons::add(), QStringLiteral("添加"), &TForm1::addClick);
    m_menu->addSeparator();
    command(m_menu, menuicons::locate(), QStringLiteral("定位指针"), &TForm1::locateClick);
    m_menu->addSeparator();
    command(m_menu, menuicons::settings(), QStringLiteral("设置"), &TForm1::settingsClick);

    QMenu* colourMenu = m_menu->addMenu(menuicons::colours(), QStringLiteral("颜色设置"));
    m_randomColourAction = command(colourMenu, QIcon(), QStringLiteral("字体颜色随机"),
                                   &TForm1::randomColourClick);
    m_singleColourAction = command(colourMenu, QIcon(), QStringLiteral("字体单一颜色"),
                                   &TForm1::singleColourClick);
    m_randomColourAction->setCheckable(true);
    m_singleColourAction->setCheckable(true);
    m_randomColourAction->setChecked(true);
    colourMenu->addSeparator();
    m_chooseColourAction = command(colourMenu, menuicons::pickColour(), QStringLiteral("设置单一字体颜色"),
                                   &TForm1::chooseSingleColourClick);
    m_menu->addSeparator();

    const std::pair<DeckKind, std::pair<QIcon, QString>> decks[] = {
        {DeckKind::Library, {menuicons::library(), QStringLiteral("识字篇")}},
        {DeckKind::Surnames, {menuicons::surnames(), QStringLiteral("百家姓篇")}},
        {DeckKind::ThreeCharacter, {menuicons::threeCharacter(), QStringLiteral("三字经篇")}},
        {DeckKind::ThousandCharacter, {menuicons::thousandCharacter(), QStringLiteral("千字文篇")}},
    };
    for (const auto& [kind, look] : decks) {
        QAction* action = m_menu->addAction(look.first, look.second);
        connect(action, &QAction::triggered, this,
                [this, kind = kind] { platform::guarded(this, [this, kind] { deckClick(kind); }); });
    }
    command(m_menu, menuicons::review(), QStringLiteral("复习篇"), &TForm1::reviewClick);
    m_menu->addSeparator();
    command(m_menu, menuicons::record(), QStringLiteral("学习记录"), &TForm1::recordClick);
    command(m_menu, menuicons::help(), QStringLiteral("帮助"), &TForm1::helpClick);
    m_menu->addSeparator();
    command(m_menu, menuicons::close(), QStringLiteral("关闭"), &TForm1::closeClick);
}

void TForm1::prepareMenu()
{
    m_chooseColourAction->setEnabled(m_singleColourAction->isChecked());
}

void TForm1::showColourMode()
{
    const bool random = stageState().settings.colourMode == settings::ColourMode::Random;
    m_randomColourAction->setChecked(random);
    m_singleColourAction->setChecked(!random);
}

void TForm1::endProgram()
{
    if (m_endProgram)
        m_endProgram();
}

void TForm1::addClick()
{
    playCue(SoundCue::Chime);
    m_dialogs.libraryEditor(*this);
}

void TForm1::locateClick()
{
    m_dialogs.positionPicker(*this);
}

void TForm1::settingsClick()
{
    playCue(SoundCue::Chime);
    m_dialogs.displaySettings(*this);
}

void TForm1::randomColourClick()
{
    StageState& state = stageState();
    if (state.settings.colourMode == settings::ColourMode::Random) {
        showColourMode(); // choosing the checked item leaves it checked
        return;
    }
    state.settings.colourMode = settings::ColourMode::Random;
    showColourMode();
    settingsFile().writeInteger(settings::keys::kColourSection, settings::keys::kColourMode, 1);
}

void TForm1::singleColourClick()
{
    StageState& state = stageState();
    if (state.settings.colourMode == settings::ColourMode::Single) {
        showColourMode();
        return;
    }
    state.settings.colourMode = settings::ColourMode::Single;
    showColourMode();
    settingsFile().writeInteger(settings::keys::kColourSection, settings::keys::kColourMode, 2);
}

void TForm1::chooseSingleColourClick()
{
    const std::optional<QColor> chosen = platform::effects().chooseColour(this, m_lastChosenColour);
    if (!chosen)
        return;
    m_lastChosenColour = *chosen;
    const settings::Colour colour = settings::fromQColor(*chosen);
    stageState().settings.singleColour = colour;
    settingsFile().writeString(settings::keys::kColourSection, settings::keys::kSingleColour,
                               settings::colourToText(colour));
}

void TForm1::deckClick(DeckKind kind)
{
    playCue(SoundCue::Chime);
    loadDeck(kind);
    m_addAction->setEnabled(kind == DeckKind::Library);
    showEntry();
}

void TForm1::reviewClick()
{
    core::Record* record = learningRecord();
    const QList<QByteArray> due = record ? record->reviewDeck(QDate::currentDate()) : QList<QByteArray>();
    if (due.isEmpty()) {
        platform::effects().showMessage(this, QStringLiteral("今天没有要复习的了！"));
        return;
    }
    playCue(SoundCue::Chime);
    loadReviewDeck(due);
    m_addAction->setEnabled(false);
    showEntry();
}

void TForm1::recordClick()
{
    core::Record* record = learningRecord();
    if (!record)
        return;
    m_dialogs.progress(*this, *record);
}

void TForm1::helpClick()
{
    playCue(SoundCue::Chime);
    platform::effects().openDocument(platform::dataPath(u"database\\help.htm"));
}

void TForm1::closeClick()
{
    settingsFile().writeInteger(settings::keys::kStartSection, settings::keys::kStartPosition,
                                startPositionToStore(stageState().cursor));
    endProgram();
}

void TForm1::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressIsClick && event->button() == Qt::LeftButton && hitsGlyph(event->position());
    m_pressIsClick = false;
    if (click)
        platform::guarded(this, [this] { showEntry(); });
}

} // namespace stage
