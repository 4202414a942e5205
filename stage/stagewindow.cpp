#include "stage/stagewindow.h"

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

StageWindow::StageWindow(StageDialogs dialogs, QWidget* parent)
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

    core::StageState& state = core::stageState();
    state.deck = core::Deck::fromEntries(core::builtInEntries());
    state.deckKind = core::DeckKind::Library;
    readStartup();
    showColourMode();
}

StageWindow::~StageWindow()
{
    // Writes what is still queued while the application is still there.
    core::stageState().record.reset();
}

void StageWindow::readStartup()
{
    core::StageState& state = core::stageState();
    const bool libraryRead = platform::guarded(this, [&state] {
        state.settingsFile = std::make_unique<settings::SettingsFile>(
            platform::dataPath(u"database\\qrnv.ini"));
        state.deck = core::readDeckFile(platform::dataPath(core::deckFileName(core::DeckKind::Library)));
        state.deckKind = core::DeckKind::Library;
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

core::Record* StageWindow::learningRecord()
{
    // Opened on first use, so that a run without judgements touches no file;
    // the record then opens on its own thread and the stage never waits.
    core::StageState& state = core::stageState();
    if (m_recordConnected)
        return state.record.get();
    m_recordConnected = true;
    platform::guarded(this, [this, &state] {
        if (!state.record)
            state.record = std::make_unique<core::Record>(platform::userFilePath(u"record.sqlite"));
        // The record reports its first failure once; the stage goes on without it.
        connect(state.record.get(), &core::Record::failed, this, &StageWindow::showRecordFailure,
                Qt::QueuedConnection);
        // It may have failed before the connection was made.
        const QString early = state.record->failureMessage();
        if (!early.isEmpty())
            QMetaObject::invokeMethod(
                this, [this, early] { showRecordFailure(early); }, Qt::QueuedConnection);
    });
    return state.record.get();
}

void StageWindow::showRecordFailure(const QString& message)
{
    if (m_recordFailureShown)
        return;
    m_recordFailureShown = true;
    platform::guarded(this, [this, &message] {
        platform::effects().showMessage(this, message);
        regainKeyboard();
    });
}

void StageWindow::judge(bool right)
{
    if (m_judgedThisShowing || m_entry.isEmpty())
        return;
    m_judgedThisShowing = true;
    if (core::Record* record = learningRecord())
        record->judge(m_entry, right);
}

QColor StageWindow::nextColour()
{
    // Reseeded from the clock at every step; 255 itself is never drawn.
    std::mt19937 generator(static_cast<std::mt19937::result_type>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count()));
    std::uniform_int_distribution<int> component(0, 254);
    const int red = component(generator);
    const int green = component(generator);
    const int blue = component(generator);

    const core::StageState& state = core::stageState();
    if (state.settings.colourMode == settings::ColourMode::Random)
        return QColor(red, green, blue);
    return settings::toQColor(state.settings.singleColour).value_or(m_colour);
}

void StageWindow::showEntry()
{
    m_colour = nextColour();
    const qsizetype index = core::nextIndex();
    const core::StageState& state = core::stageState();
    drawEntry(index >= 0 ? state.deck.at(index) : QByteArrayView());
    m_judgedThisShowing = false;
    playCue(SoundCue::Step);
}

void StageWindow::drawEntry(QByteArrayView entry)
{
    const settings::StageSettings& settings = core::stageState().settings;
    const settings::WordClass wordClass = wordClassOf(entry);
    m_entry = entry.toByteArray();
    m_face = drawingFace(settings.fontFace, m_face);
    m_font = drawingFont(m_face, settings.size(wordClass), logicalDpiY());
    const settings::Position place = settings.position(wordClass);
    m_textPlace = QPoint(place.x, place.y);
    applyShape();
}

void StageWindow::applyShape()
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

void StageWindow::cutWindowToShape()
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

bool StageWindow::hitsGlyph(QPointF at) const
{
    const qreal ratio = devicePixelRatioF();
    if (ratio == 1.0)
        return m_shape.contains(at.toPoint());
    // Widgets get positions rounded to whole device-independent pixels:
    // any device pixel that rounds to `at` may have been the one clicked.
    const QRectF around((at - QPointF(0.5, 0.5)) * ratio, QSizeF(ratio, ratio));
    return m_nativeShape.intersects(around.toAlignedRect());
}

void StageWindow::regainKeyboard()
{
    // Window managers give the keyboard back to whatever they like once a
    // dialog closes (often nothing): the stage must answer Enter at once.
    activateWindow();
    setFocus(Qt::OtherFocusReason);
}

void StageWindow::showEvent(QShowEvent* event)
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

bool StageWindow::nativeEvent(const QByteArray& eventType, void* message, qintptr* result)
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

void StageWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The shape is cut to the window: rebuild it for the final size.
    if (m_firstShowDone)
        platform::guarded(this, [this] { applyShape(); });
}

void StageWindow::paintEvent(QPaintEvent*)
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

void StageWindow::mousePressEvent(QMouseEvent* event)
{
    m_pressIsClick = event->button() == Qt::LeftButton;
    QWidget::mousePressEvent(event);
}

void StageWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double-click is not a click: the stage has no
    // double-click action, so two quick clicks step only once.
    m_pressIsClick = false;
    event->accept();
}

void StageWindow::keyPressEvent(QKeyEvent* event)
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
            if (core::stepBack()) {
                platform::effects().showMessage(this, QStringLiteral("已到最前面！"));
                regainKeyboard();
                return;
            }
            showEntry();
        }
    });
}

void StageWindow::contextMenuEvent(QContextMenuEvent* event)
{
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard)
        at = screen() ? screen()->geometry().topLeft() : QPoint(0, 0);
    else if (!hitsGlyph(event->pos()))
        return;
    m_menu->popup(at);
}

void StageWindow::buildMenu()
{
    m_menu = new QMenu(this);
    connect(m_menu, &QMenu::aboutToShow, this, &StageWindow::prepareMenu);
    auto command = [this](QMenu* menu, const QIcon& icon, const QString& text, auto handler) {
        QAction* action = menu->addAction(icon, text);
        connect(action, &QAction::triggered, this, [this, handler] {
            platform::guarded(this, [this, handler] { (this->*handler)(); });
            regainKeyboard(); // after the command's dialog, if it opened one
        });
        return action;
    };

    m_addAction = command(m_menu, menuicons::add(), QStringLiteral("添加"), &StageWindow::openLibraryEditor);
    m_menu->addSeparator();
    command(m_menu, menuicons::locate(), QStringLiteral("定位指针"), &StageWindow::openPositionPicker);
    m_menu->addSeparator();
    command(m_menu, menuicons::settings(), QStringLiteral("设置"), &StageWindow::openDisplaySettings);

    QMenu* colourMenu = m_menu->addMenu(menuicons::colours(), QStringLiteral("颜色设置"));
    m_randomColourAction = command(colourMenu, QIcon(), QStringLiteral("字体颜色随机"),
                                   &StageWindow::useRandomColours);
    m_singleColourAction = command(colourMenu, QIcon(), QStringLiteral("字体单一颜色"),
                                   &StageWindow::useSingleColour);
    m_randomColourAction->setCheckable(true);
    m_singleColourAction->setCheckable(true);
    m_randomColourAction->setChecked(true);
    colourMenu->addSeparator();
    m_chooseColourAction = command(colourMenu, menuicons::pickColour(), QStringLiteral("设置单一字体颜色"),
                                   &StageWindow::chooseSingleColour);
    m_menu->addSeparator();

    const std::pair<core::DeckKind, std::pair<QIcon, QString>> decks[] = {
        {core::DeckKind::Library, {menuicons::library(), QStringLiteral("识字篇")}},
        {core::DeckKind::Surnames, {menuicons::surnames(), QStringLiteral("百家姓篇")}},
        {core::DeckKind::ThreeCharacter, {menuicons::threeCharacter(), QStringLiteral("三字经篇")}},
        {core::DeckKind::ThousandCharacter, {menuicons::thousandCharacter(), QStringLiteral("千字文篇")}},
    };
    for (const auto& [kind, look] : decks) {
        QAction* action = m_menu->addAction(look.first, look.second);
        connect(action, &QAction::triggered, this,
                [this, kind = kind] { platform::guarded(this, [this, kind] { showDeck(kind); }); });
    }
    command(m_menu, menuicons::review(), QStringLiteral("复习篇"), &StageWindow::showReviewDeck);
    m_menu->addSeparator();
    command(m_menu, menuicons::record(), QStringLiteral("学习记录"), &StageWindow::openProgress);
    command(m_menu, menuicons::help(), QStringLiteral("帮助"), &StageWindow::openHelp);
    m_menu->addSeparator();
    command(m_menu, menuicons::close(), QStringLiteral("关闭"), &StageWindow::rememberPlaceAndClose);
}

void StageWindow::prepareMenu()
{
    m_chooseColourAction->setEnabled(m_singleColourAction->isChecked());
}

void StageWindow::showColourMode()
{
    const bool random = core::stageState().settings.colourMode == settings::ColourMode::Random;
    m_randomColourAction->setChecked(random);
    m_singleColourAction->setChecked(!random);
}

void StageWindow::endProgram()
{
    if (m_endProgram)
        m_endProgram();
}

void StageWindow::openLibraryEditor()
{
    playCue(SoundCue::Chime);
    m_dialogs.libraryEditor(*this);
}

void StageWindow::openPositionPicker()
{
    m_dialogs.positionPicker(*this);
}

void StageWindow::openDisplaySettings()
{
    playCue(SoundCue::Chime);
    m_dialogs.displaySettings(*this);
}

void StageWindow::useRandomColours()
{
    core::StageState& state = core::stageState();
    if (state.settings.colourMode == settings::ColourMode::Random) {
        showColourMode(); // choosing the checked item leaves it checked
        return;
    }
    state.settings.colourMode = settings::ColourMode::Random;
    showColourMode();
    core::settingsFile().writeInteger(settings::keys::kColourSection, settings::keys::kColourMode, 1);
}

void StageWindow::useSingleColour()
{
    core::StageState& state = core::stageState();
    if (state.settings.colourMode == settings::ColourMode::Single) {
        showColourMode();
        return;
    }
    state.settings.colourMode = settings::ColourMode::Single;
    showColourMode();
    core::settingsFile().writeInteger(settings::keys::kColourSection, settings::keys::kColourMode, 2);
}

void StageWindow::chooseSingleColour()
{
    const std::optional<QColor> chosen = platform::effects().chooseColour(this, m_lastChosenColour);
    if (!chosen)
        return;
    m_lastChosenColour = *chosen;
    const settings::Colour colour = settings::fromQColor(*chosen);
    core::stageState().settings.singleColour = colour;
    core::settingsFile().writeString(settings::keys::kColourSection, settings::keys::kSingleColour,
                                     settings::colourToText(colour));
}

void StageWindow::showDeck(core::DeckKind kind)
{
    playCue(SoundCue::Chime);
    core::loadDeck(kind);
    m_addAction->setEnabled(kind == core::DeckKind::Library);
    showEntry();
}

void StageWindow::showReviewDeck()
{
    core::Record* record = learningRecord();
    const QList<QByteArray> due = record ? record->reviewDeck(QDate::currentDate()) : QList<QByteArray>();
    if (due.isEmpty()) {
        platform::effects().showMessage(this, QStringLiteral("今天没有要复习的了！"));
        return;
    }
    playCue(SoundCue::Chime);
    core::loadReviewDeck(due);
    m_addAction->setEnabled(false);
    showEntry();
}

void StageWindow::openProgress()
{
    core::Record* record = learningRecord();
    if (!record)
        return;
    m_dialogs.progress(*this, *record);
}

void StageWindow::openHelp()
{
    playCue(SoundCue::Chime);
    platform::effects().openDocument(platform::dataPath(u"database\\help.htm"));
}

void StageWindow::rememberPlaceAndClose()
{
    core::settingsFile().writeInteger(settings::keys::kStartSection, settings::keys::kStartPosition,
                                      core::startPositionToStore(core::stageState().cursor));
    endProgram();
}

void StageWindow::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressIsClick && event->button() == Qt::LeftButton && hitsGlyph(event->position());
    m_pressIsClick = false;
    if (click)
        platform::guarded(this, [this] { showEntry(); });
}

} // namespace stage
