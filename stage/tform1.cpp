#include "stage/tform1.h"

#include "platform/effects.h"
#include "platform/fonts.h"
#include "platform/gbk.h"
#include "platform/guard.h"
#include "platform/programdir.h"
#include "settings/colourtext.h"
#include "settings/keys.h"
#include "settings/startupread.h"
#include "stage/glyphrenderer.h"
#include "stage/soundcues.h"
#include "stage/stagestate.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <chrono>
#include <random>

namespace stage {

TForm1::TForm1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint)
    , m_colour(128, 0, 128)
    , m_face(platform::defaultFaceName())
{
    setWindowTitle(platform::applicationTitle());
    // Wayland honours only the input part of a shape: the window must then be
    // see-through outside the glyphs, which are painted in the window colour.
    if (QGuiApplication::platformName() == u"wayland")
        setAttribute(Qt::WA_TranslucentBackground);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen)
        setGeometry(screen->geometry());

    StageState& state = stageState();
    state.deck = Deck::fromEntries(builtInEntries());
    state.deckKind = DeckKind::Library;
    formCreate();
}

TForm1::~TForm1() = default;

void TForm1::formCreate()
{
    platform::guarded(this, [] {
        StageState& state = stageState();
        state.settingsFile = std::make_unique<settings::SettingsFile>(
            platform::dataPath(u"database\\qrnv.ini"));
        state.deck = readDeckFile(platform::dataPath(deckFileName(DeckKind::Library)));
        state.deckKind = DeckKind::Library;
        settings::readStartupSettings(*state.settingsFile, state.cursor, state.settings);
        preloadSoundCues();
        playCue(SoundCue::Chime);
    });
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
    const QPainterPath path = glyphPath(platform::gbk::decode(m_entry), m_font, m_textPlace);
    m_shape = glyphRegion(path, emboldenWidth(m_font), size());
    if (m_shape.isEmpty())
        m_shape = placeholderMark(m_textPlace, size());

    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, m_colour);
    setPalette(palette);
    setMask(m_shape);
    update();
}

void TForm1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_firstShowDone)
        return;
    m_firstShowDone = true;
    // Drawn before the window first appears, so the unshaped window is never seen.
    platform::guarded(this, [this] { showEntry(); });
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

void TForm1::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressIsClick && event->button() == Qt::LeftButton
                       && m_shape.contains(event->position().toPoint());
    m_pressIsClick = false;
    if (click)
        platform::guarded(this, [this] { showEntry(); });
}

} // namespace stage
