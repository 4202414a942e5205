#include "stage/stagewindow.h"

#include "core/stagestate.h"
#include "core/strokedata.h"
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
#include "stage/helpwindow.h"
#include "stage/menuicons.h"
#include "stage/parentvoice.h"
#include "stage/pinyinlabels.h"
#include "stage/readablecolours.h"
#include "stage/soundcues.h"
#include "stage/stagecaptions.h"
#include "stage/starburst.h"
#include "stage/strokeanimation.h"
#include "stage/tracing.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QTransform>
#include <QWindow>
#include <QtMath>

#include <chrono>
#include <random>

namespace stage {

namespace {

// Once the stage has appeared and its start-up sound has played.
constexpr std::chrono::milliseconds kSetUpRecorderAfter {2000};

} // namespace

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
    m_voice = new ParentVoice(this, [this](const QString& message) {
        platform::effects().showMessage(this, message);
        regainKeyboard();
    });
    buildMenu();
    m_starBurst = new StarBurst(this);
    connect(m_starBurst, &StarBurst::frameChanged, this,
            [this] { platform::guarded(this, [this] { applyShape(); }); });

    m_state.deck = core::Deck::fromEntries(core::builtInEntries());
    m_state.deckKind = core::DeckKind::Library;
    readStartup();
    showColourMode();
    showBackdropState();
    m_pinyinAction->setChecked(m_state.settings.showPinyin);

    m_recordKeyUp.setSingleShot(true);
    m_recordKeyUp.setInterval(150);
    connect(&m_recordKeyUp, &QTimer::timeout, this,
            [this] { platform::guarded(this, [this] { m_voice->stopRecording(); }); });
    m_captionTimer.setSingleShot(true);
    connect(&m_captionTimer, &QTimer::timeout, this,
            [this] { platform::guarded(this, [this] { hideFirstStartCaption(); }); });
}

StageWindow::~StageWindow()
{
    // Writes what is still queued while the application is still there.
    m_state.record.reset();
}

void StageWindow::readStartup()
{
    core::StageState& state = m_state;
    const bool libraryRead = platform::guarded(this, [this, &state] {
        state.settingsFile = std::make_unique<settings::SettingsFile>(
            platform::dataPath(u"database\\qrnv.ini"));
        // Nothing has written the settings yet: a first start, which explains itself.
        m_firstStart = !QFileInfo::exists(state.settingsFile->path());
        state.deck = core::readDeckFile(platform::dataPath(core::deckFileName(core::DeckKind::Library)));
        state.deckKind = core::DeckKind::Library;
    });
    if (!state.settingsFile)
        return; // not even opened; the error has been shown
    platform::guarded(this, [&state, libraryRead] {
        // Whose record the judgements go to, whatever else fails.
        state.children = core::Children::read(*state.settingsFile);
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
        // The start position counts entries in the library file's order.
        const qint32 start = state.cursor;
        core::setLibraryShuffled(state, state.settingsFile->readInteger(settings::keys::kOrderSection,
                                                                        settings::keys::kShuffleLibrary, 0)
                                            == 1);
        core::restorePlace(state, start);
        core::readDeckPlaces(*state.settingsFile, state.places, state.children.currentNumber());
        playCue(SoundCue::Chime);
    });
    platform::guarded(this, [this] {
        const bool readAloud = m_state.settingsFile->readInteger(settings::keys::kVoiceSection,
                                                                 settings::keys::kReadAloud, 0)
                               != 0;
        m_voice->setReadsAloud(readAloud);
        m_readAloudAction->setChecked(readAloud);
    });
}

core::Record* StageWindow::learningRecord()
{
    // Opened on first use, so that a run without judgements touches no file;
    // the record then opens on its own thread and the stage never waits.
    core::StageState& state = m_state;
    if (m_recordConnected)
        return state.record.get();
    m_recordConnected = true;
    platform::guarded(this, [this, &state] {
        if (!state.record)
            state.record = std::make_unique<core::Record>(
                platform::userFilePath(core::recordFileName(state.children.currentNumber())));
        // The record tells each kind of failure once, on this thread and
        // never before this connection is made; the stage goes on without it.
        connect(state.record.get(), &core::Record::failed, this, &StageWindow::showRecordFailure);
    });
    return state.record.get();
}

void StageWindow::showRecordFailure(const QString& message)
{
    platform::guarded(this, [this, &message] {
        platform::effects().showMessage(this, message);
        regainKeyboard();
    });
}

void StageWindow::judge(bool right)
{
    if (m_judgedThisShowing || m_entry.isEmpty())
        return;
    core::StageState& state = m_state;
    const bool inReview = state.deckKind == core::DeckKind::Review && state.review;
    // A review records each of its entries once, even when the adult goes back.
    if (inReview && !state.review->markJudged(state.cursor))
        return;
    m_judgedThisShowing = true;
    if (core::Record* record = learningRecord()) {
        record->judge(m_entry, right);
        ++m_judgedThisRun[m_entry];
    }
    if (inReview && state.review->isComplete())
        finishReview();
    countDueEntries(false);
}

void StageWindow::finishReview()
{
    // The judgement's cue is not cut off: the deck before comes back silently.
    core::endReview(m_state);
    m_addAction->setEnabled(m_state.deckKind == core::DeckKind::Library);
    stepTo(false);
    showCaption(QStringLiteral("今天的复习完成了！"));
}

void StageWindow::takeBackJudgement()
{
    const auto judged = m_judgedThisRun.find(m_entry);
    core::Record* record = m_state.record.get();
    if (judged == m_judgedThisRun.end() || judged.value() == 0 || !record)
        return;
    record->undoLastJudgement(m_entry);
    --judged.value();
    m_judgedThisShowing = false;
    if (m_state.deckKind == core::DeckKind::Review && m_state.review)
        m_state.review->unmarkJudged(m_state.cursor);
}

void StageWindow::stepBackWithoutJudging()
{
    core::DeckCursor back = m_state.cursor;
    if (core::stepCursorBack(back))
        return; // the first entry shows: nothing to go back to
    m_state.cursor = back;
    showEntry();
}

void StageWindow::showCaption(const QString& text)
{
    if (!m_passingCaptionTimer) {
        m_passingCaptionTimer = new QTimer(this);
        m_passingCaptionTimer->setSingleShot(true);
        connect(m_passingCaptionTimer, &QTimer::timeout, this, [this] {
            m_captionText.clear();
            platform::guarded(this, [this] { redraw(); });
        });
    }
    m_captionText = text;
    m_passingCaptionTimer->start(std::chrono::seconds(5));
    redraw();
}

QPainterPath StageWindow::smallTexts(const QRectF& glyphs) const
{
    QPainterPath texts;
    const int height = captionPixelHeight(size());
    if (!m_counterText.isEmpty())
        texts.addPath(placedBeside(captionOutlines(m_counterText, m_face, height), glyphs, size()));
    if (!m_captionText.isEmpty())
        texts.addPath(placedBelow(captionOutlines(m_captionText, m_face, height), glyphs, size()));
    return texts;
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

    const core::StageState& state = m_state;
    if (state.settings.colourMode == settings::ColourMode::Single)
        return settings::toQColor(state.settings.singleColour).value_or(m_colour);
    // A colour of the palette, never the same twice running.
    const std::span<const QColor> palette = randomPalette();
    const size_t drawn = size_t(red + green + blue) % palette.size();
    const QColor colour = palette[drawn];
    return colour == m_colour ? palette[(drawn + 1) % palette.size()] : colour;
}

void StageWindow::showEntry()
{
    m_starBurst->stop(); // the next step never waits for the stars
    // A review does not wrap around: past its last entry the deck shown
    // before it comes back.
    if (core::reviewAtLastEntry(m_state)) {
        core::endReview(m_state);
        m_addAction->setEnabled(m_state.deckKind == core::DeckKind::Library);
    }
    stepTo(true);
}

void StageWindow::stepTo(bool withCue)
{
    m_colour = nextColour();
    const qsizetype index = core::nextIndex(m_state);
    const core::StageState& state = m_state;
    const bool inReview = state.deckKind == core::DeckKind::Review && state.review;
    m_counterText = inReview && index >= 0 ? state.review->progressText(index) : QString();
    drawEntry(index >= 0 ? state.deck.at(index) : QByteArrayView());
    m_judgedThisShowing = false;
    if (withCue)
        playCue(SoundCue::Step);
    m_voice->entryShown(m_entry);
}

void StageWindow::redraw()
{
    layOutEntry();
    applyShape();
}

void StageWindow::drawEntry(QByteArrayView entry)
{
    m_entry = entry.toByteArray();
    layOutEntry();
    applyShape();
}

void StageWindow::layOutEntry()
{
    discardStrokeOrder();
    const settings::StageSettings& settings = m_state.settings;
    const settings::WordClass wordClass = wordClassOf(m_entry);
    m_face = drawingFace(settings.fontFace, m_face);
    m_font = drawingFont(m_face, settings.size(wordClass), logicalDpiY());
    m_layout = layoutEntry(platform::gbk::decode(m_entry), m_font, settings.placement,
                           settings.position(wordClass), size());
    m_outlineWidth = settings.outline ? outlineWidthFor(m_font.pixelSize() * m_layout.scale) : 0;
    // Each kind of text grows its own outline: faces wind their outlines
    // either way round, and one direction for all would thin the letters of
    // a face that winds the other way.
    const QRectF ink = m_layout.glyphs.boundingRect();
    m_glyphs = m_layout.glyphs;
    m_outlined = withOutline(m_glyphs, m_outlineWidth);
    const auto add = [this](const QPainterPath& texts) {
        m_glyphs.addPath(texts);
        m_outlined.addPath(withOutline(texts, m_outlineWidth));
    };
    add(smallTexts(ink));
    if (settings.showPinyin)
        add(pinyinOverCells(platform::gbk::decode(m_entry), m_layout.characterCells, m_font, m_layout.scale,
                            ink.top()));
    startTracing();
    if (m_caption.isEmpty() && !m_firstStart)
        return;
    m_firstStart = false;
    QFont captionFont(m_face);
    captionFont.setPixelSize(qMax(16, height() / 40));
    captionFont.setBold(true);
    m_caption = captionBeside(
        QStringLiteral("点字或按回车：下一个　空格：读对了　数字键：读错了　右键点字：菜单　F1：帮助"),
        captionFont,
        m_glyphs.boundingRect().marginsAdded(
            QMarginsF(m_outlineWidth, m_outlineWidth, m_outlineWidth, m_outlineWidth)),
        size());
    m_captionOutlined = withOutline(m_caption, outlineWidthFor(0));
    if (!m_captionTimer.isActive())
        startFirstStartCaption();
}

// The glyphs with their outline and the hint beside them, in a window of
// `windowSize` device pixels, `ratio` of them to a pixel.
QRegion StageWindow::inkShape(QSize windowSize, qreal ratio) const
{
    const QTransform toDevice = QTransform::fromScale(ratio, ratio);
    QRegion shape = m_writing        ? m_writing->shape(windowSize, ratio)
                    : showsTracing() ? m_tracing->shape(windowSize, ratio)
                                     : glyphRegion(toDevice.map(m_outlined), windowSize);
    if (!m_caption.isEmpty())
        shape += glyphRegion(toDevice.map(m_captionOutlined), windowSize);
    const QPainterPath stars = m_starBurst->stars();
    if (!stars.isEmpty())
        shape += glyphRegion(toDevice.map(stars), windowSize);
    return shape;
}

QPoint StageWindow::placeholderPlace() const
{
    if (m_state.settings.placement == settings::Placement::FromTopLeft)
        return m_layout.anchor.toPoint();
    constexpr int kMarkRadius = 24;
    return m_layout.anchor.toPoint() - QPoint(kMarkRadius, kMarkRadius);
}

bool StageWindow::starBurstRunning() const
{
    return m_starBurst->isRunning();
}

void StageWindow::applyShape()
{
    const QRect before = m_shape.boundingRect();
    m_shape = inkShape(size(), 1);
    if (!m_writing && (m_glyphs.isEmpty() || m_shape.isEmpty())) {
        // Nothing to draw still leaves a mark to click.
        m_shape = placeholderMark(placeholderPlace(), size());
        m_glyphs = QPainterPath();
        m_glyphs.addRegion(m_shape);
        m_outlined = m_glyphs;
    }
    if (m_state.settings.backdrop)
        m_shape = QRegion(rect());

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
        m_nativeShape = m_state.settings.backdrop ? QRegion(QRect(QPoint(0, 0), deviceSize))
                                                  : inkShape(deviceSize, ratio);
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
    platform::guarded(this, [this] {
        showEntry();
        countDueEntries(true); // a review that waits is announced once
    });
    // The recorder is set up while nothing happens, so that the first R
    // waits only for the microphone.
    QTimer::singleShot(kSetUpRecorderAfter, this,
                       [this] { platform::guarded(this, [this] { m_voice->setUpAhead(); }); });
}

void StageWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // Nobody records into a hidden stage: the desktop stops showing the
    // microphone in use.
    m_voice->releaseMicrophone();
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
    // The entry is placed on the window and cut to it: lay it out again for
    // the final size.
    if (m_firstShowDone)
        platform::guarded(this, [this] { redraw(); });
}

QColor StageWindow::outlineColour() const
{
    return outlineColourFor(m_colour);
}

void StageWindow::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const settings::StageSettings& settings = m_state.settings;
    if (settings.backdrop) {
        painter.fillRect(rect(), settings::toQColor(settings.backdropColour).value_or(Qt::white));
    } else if (!m_translucent) {
        // Every pixel the window keeps, whole, in the colour of its edge;
        // the glyphs are then painted smooth inside it.
        const QColor edge = m_outlineWidth > 0 ? outlineColour() : m_colour;
        if (!m_nativeShapePath.isEmpty()) {
            // Device pixels that the window keeps: its edges lie on device
            // pixel boundaries, so the fill covers them exactly.
            painter.fillPath(m_nativeShapePath, edge);
        } else {
            painter.setClipRegion(m_shape);
            painter.fillRect(m_shape.boundingRect(), edge);
            painter.setClipping(false);
        }
    }
    // Smooth edges; on a see-through window the outline is a soft halo.
    painter.setRenderHint(QPainter::Antialiasing);
    paintInk(painter, event->rect());
    // Gold over whatever the window kept of them.
    const QPainterPath stars = m_starBurst->stars();
    if (!stars.isEmpty()) {
        painter.setRenderHint(QPainter::Antialiasing, m_translucent);
        painter.fillPath(stars, QColor(255, 196, 0));
    }
}

void StageWindow::paintInk(QPainter& painter, const QRect& exposed) const
{
    auto paint = [&](const QPainterPath& glyphs, const QPainterPath& outlined, bool hasOutline) {
        if (hasOutline)
            painter.fillPath(outlined, outlineColour());
        painter.fillPath(glyphs, m_colour);
    };
    if (m_writing)
        m_writing->paint(painter, exposed, m_colour, outlineColour());
    else if (showsTracing())
        m_tracing->paint(painter, exposed, m_colour, outlineColour());
    else
        paint(m_glyphs, m_outlined, m_outlineWidth > 0);
    if (!m_caption.isEmpty())
        paint(m_caption, m_captionOutlined, true);
}

void StageWindow::mousePressEvent(QMouseEvent* event)
{
    m_pressIsClick = false;
    if (m_writing) {
        platform::guarded(this, [this] { endStrokeOrder(); });
        return;
    }
    if (showsTracing() && event->button() == Qt::LeftButton && hitsGlyph(event->position())) {
        m_tracing->press(event->position());
        return;
    }
    m_pressIsClick = event->button() == Qt::LeftButton;
    QWidget::mousePressEvent(event);
}

void StageWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (m_tracing && m_tracing->isTracing())
        m_tracing->move(event->position());
    QWidget::mouseMoveEvent(event);
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
    if (m_writing) {
        // Any key ends the writing and does nothing else.
        platform::guarded(this, [this] { endStrokeOrder(); });
        return;
    }
    if (event->matches(QKeySequence::Undo)) {
        platform::guarded(this, [this] { takeBackJudgement(); });
        return;
    }
    if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Backspace) {
        platform::guarded(this, [this] { stepBackWithoutJudging(); });
        return;
    }
    if (event->key() == Qt::Key_F1) {
        platform::guarded(this, [this] { openHelp(); });
        return;
    }
    const QString text = event->text();
    if (text.isEmpty()) {
        QWidget::keyPressEvent(event); // the menu key arrives as a context menu event
        return;
    }
    const char16_t key = text.front().toLower().unicode();
    if (key == u'r' && (event->isAutoRepeat() || m_recordKeyUp.isActive())) {
        m_recordKeyUp.stop();
        return; // still held down
    }
    platform::guarded(this, [this, key] {
        // R held down records the entry, V plays it back.
        if (key == u'r')
            startRecording();
        if (key == u'v')
            m_voice->play(m_entry);
        // Each test is made on the same character, one after another.
        if (key == u'\r')
            showEntry();
        if (key == u'b' || key == u'B')
            playStrokeOrder();
        if (key == 27) {
            if (escapeEndsProgram())
                endProgram(); // without storing the position
            return;
        }
        if (key == u' ') {
            playCue(SoundCue::Applause);
            if (m_state.settings.starBurst)
                m_starBurst->start(m_outlined.boundingRect().toAlignedRect());
            judge(true);
        }
        if (key >= u'0' && key <= u'9') {
            playCue(SoundCue::Wrong);
            judge(false);
        }
        if (key == u'p' || key == u'P')
            togglePinyin();
        if (key == u'0') {
            if (core::stepBack(m_state)) {
                platform::effects().showMessage(this, QStringLiteral("已到最前面！"));
                regainKeyboard();
                return;
            }
            showEntry();
        }
    });
}

void StageWindow::keyReleaseEvent(QKeyEvent* event)
{
    // Releasing R keeps the recording.
    if (event->key() == Qt::Key_R && !event->isAutoRepeat() && m_voice->isRecording())
        m_recordKeyUp.start();
    QWidget::keyReleaseEvent(event);
}

void StageWindow::startRecording()
{
    const QRect glyphs = m_outlined.boundingRect().toAlignedRect();
    m_voice->startRecording(m_entry, mapToGlobal(QPoint(glyphs.left(), glyphs.bottom() + 12)));
}

void StageWindow::toggleRecording()
{
    if (m_voice->isRecording())
        m_voice->stopRecording();
    else
        startRecording();
}

void StageWindow::switchReadingAloud()
{
    const bool on = m_readAloudAction->isChecked();
    m_voice->setReadsAloud(on);
    core::settingsFile(m_state).writeInteger(settings::keys::kVoiceSection, settings::keys::kReadAloud,
                                             on ? 1 : 0);
}

void StageWindow::contextMenuEvent(QContextMenuEvent* event)
{
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard)
        at = screen() ? screen()->geometry().topLeft() : QPoint(0, 0);
    else if (!hitsGlyph(event->pos()))
        return;
    // The hint has been understood.
    platform::guarded(this, [this] { hideFirstStartCaption(); });
    m_menu->popup(at);
}

bool StageWindow::escapeEndsProgram()
{
    if (!m_state.settings.backdrop)
        return true;
    // A child banging on the keyboard does not end the lesson: with the
    // backdrop, Esc must come twice within a second.
    constexpr qint64 kSecond = 1000;
    if (m_lastEscape.isValid() && m_lastEscape.elapsed() <= kSecond)
        return true;
    m_lastEscape.start();
    return false;
}

void StageWindow::startFirstStartCaption()
{
    constexpr int kMinute = 60 * 1000;
    m_captionTimer.start(kMinute);
}

void StageWindow::hideFirstStartCaption()
{
    m_firstStart = false;
    m_captionTimer.stop();
    if (m_caption.isEmpty())
        return;
    m_caption = QPainterPath();
    applyShape();
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
    m_backdropAction = command(m_menu, QIcon(), QStringLiteral("幕布"), &StageWindow::toggleBackdrop);
    m_backdropAction->setCheckable(true);
    m_pinyinAction = command(m_menu, QIcon(), QStringLiteral("拼音"), &StageWindow::togglePinyin);
    m_pinyinAction->setCheckable(true);
    m_pinyinAction->setShortcut(QKeySequence(Qt::Key_P));
    m_pinyinAction->setShortcutContext(Qt::WidgetShortcut);
    m_menu->addSeparator();
    command(m_menu, QIcon(), QStringLiteral("笔顺"), &StageWindow::playStrokeOrder);
    m_tracingAction = command(m_menu, QIcon(), QStringLiteral("描红"), &StageWindow::toggleTracing);
    m_tracingAction->setCheckable(true);
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
    m_reviewAction = command(m_menu, menuicons::review(), QStringLiteral("复习篇"),
                             &StageWindow::showReviewDeck);
    m_shuffleAction = command(m_menu, QIcon(), QStringLiteral("随机顺序"),
                              &StageWindow::toggleShuffledLibrary);
    m_shuffleAction->setCheckable(true);
    m_menu->addSeparator();
    m_recordAction = command(m_menu, QIcon(), QStringLiteral("录音"), &StageWindow::toggleRecording);
    m_recordAction->setCheckable(true);
    // Pointing at it is the first sign of a recording: the microphone opens
    // while the adult clicks.
    connect(m_recordAction, &QAction::hovered, this, [this] {
        if (!m_entry.isEmpty() && !m_voice->isRecording())
            m_voice->prepareToRecord();
    });
    m_readAloudAction = command(m_menu, QIcon(), QStringLiteral("自动朗读"),
                                &StageWindow::switchReadingAloud);
    m_readAloudAction->setCheckable(true);
    m_menu->addSeparator();
    m_childrenMenu = m_menu->addMenu(QStringLiteral("孩子"));
    command(m_menu, menuicons::record(), QStringLiteral("学习记录"), &StageWindow::openProgress);
    command(m_menu, menuicons::help(), QStringLiteral("帮助"), &StageWindow::openHelp);
    m_menu->addSeparator();
    command(m_menu, menuicons::close(), QStringLiteral("关闭"), &StageWindow::rememberPlaceAndClose);
}

void StageWindow::prepareMenu()
{
    m_chooseColourAction->setEnabled(m_singleColourAction->isChecked());
    m_shuffleAction->setChecked(m_state.shuffleLibrary);
    listChildren();
    countDueEntries(false);
    // Checked while a recording runs: choosing it again stops it.
    m_recordAction->setEnabled(!m_entry.isEmpty());
    m_recordAction->setChecked(m_voice->isRecording());
}

void StageWindow::countDueEntries(bool announce)
{
    // A record that was never written has nothing due: it is not made for this.
    if (!m_state.record
        && !QFile::exists(platform::userFilePath(core::recordFileName(m_state.children.currentNumber()))))
        return;
    core::Record* record = learningRecord();
    if (!record)
        return;
    // A record that can't be read counts nothing here: its failure is told
    // on its own, and 复习篇 says so when it is chosen.
    record->reviewDeck(QDate::currentDate(), this, [this, announce](const core::Record::DueEntries& due) {
        platform::guarded(this,
                          [this, announce, count = due ? due->size() : 0] { showDueCount(count, announce); });
    });
}

void StageWindow::showDueCount(qsizetype due, bool announce)
{
    m_reviewAction->setText(due > 0 ? QStringLiteral("复习篇（%1）").arg(due) : QStringLiteral("复习篇"));
    if (announce && due > 0 && m_state.deckKind != core::DeckKind::Review)
        showCaption(QStringLiteral("今天有 %1 个要复习").arg(due));
}

void StageWindow::listChildren()
{
    m_childrenMenu->clear();
    const core::Children& children = m_state.children;
    for (const core::Child& child : children.all()) {
        QAction* item = m_childrenMenu->addAction(platform::gbk::decode(child.name));
        item->setCheckable(true);
        item->setChecked(child.number == children.currentNumber());
        connect(item, &QAction::triggered, this, [this, number = child.number] {
            platform::guarded(this, [this, number] { switchToChild(number); });
            regainKeyboard();
        });
    }
    m_childrenMenu->addSeparator();
    const std::pair<QString, void (StageWindow::*)()> commands[] = {
        {QStringLiteral("新建…"), &StageWindow::addChild},
        {QStringLiteral("改名…"), &StageWindow::renameChild},
        {QStringLiteral("删除…"), &StageWindow::removeChild},
    };
    for (const auto& [text, handler] : commands) {
        QAction* item = m_childrenMenu->addAction(text);
        connect(item, &QAction::triggered, this, [this, handler = handler] {
            platform::guarded(this, [this, handler] { (this->*handler)(); });
            regainKeyboard();
        });
    }
    m_childrenMenu->actions().back()->setEnabled(children.all().size() > 1);
}

void StageWindow::closeRecord()
{
    // Writes what is queued for the child before; the next judgement opens
    // the new child's record.
    m_state.record.reset();
    m_recordConnected = false;
    m_judgedThisRun.clear();
}

void StageWindow::switchToChild(int number)
{
    if (number == m_state.children.currentNumber())
        return;
    closeRecord();
    core::switchChild(m_state, number);
    m_addAction->setEnabled(m_state.deckKind == core::DeckKind::Library);
    showEntry();
    showCaption(platform::gbk::decode(m_state.children.current().name));
}

std::optional<QByteArray> StageWindow::askChildName(const QString& question, const QByteArray& initial)
{
    const std::optional<QString> typed = platform::effects().askText(this, question,
                                                                     platform::gbk::decode(initial));
    if (!typed || typed->trimmed().isEmpty())
        return std::nullopt;
    const std::optional<QByteArray> name = platform::gbk::encode(typed->trimmed());
    if (!name)
        platform::effects().showMessage(this, QStringLiteral("名字里有程序不能保存的字，请换一个名字。"));
    return name;
}

void StageWindow::addChild()
{
    const std::optional<QByteArray> name = askChildName(QStringLiteral("新孩子的名字："), {});
    if (!name)
        return;
    switchToChild(m_state.children.add(core::settingsFile(m_state), *name));
}

void StageWindow::renameChild()
{
    const core::Child child = m_state.children.current();
    const std::optional<QByteArray> name = askChildName(
        QStringLiteral("“%1”的新名字：").arg(platform::gbk::decode(child.name)), child.name);
    if (name)
        m_state.children.rename(core::settingsFile(m_state), child.number, *name);
}

void StageWindow::removeChild()
{
    core::Children& children = m_state.children;
    const core::Child child = children.current();
    if (children.all().size() <= 1)
        return;
    const QString name = platform::gbk::decode(child.name);
    if (!platform::effects().confirm(
            this, QStringLiteral("删除“%1”吗？%1的学习记录会改名保存在原来的文件夹里，不会丢掉。").arg(name)))
        return;
    const int next = children.all().front().number == child.number ? children.all()[1].number
                                                                   : children.all().front().number;
    switchToChild(next);
    core::keepRecordAside(platform::userFilePath(core::recordFileName(child.number)));
    children.remove(core::settingsFile(m_state), child.number);
    m_state.otherChildrenPlaces.erase(child.number);
}

void StageWindow::showColourMode()
{
    const bool random = m_state.settings.colourMode == settings::ColourMode::Random;
    m_randomColourAction->setChecked(random);
    m_singleColourAction->setChecked(!random);
}

void StageWindow::showBackdropState()
{
    m_backdropAction->setChecked(m_state.settings.backdrop);
}

// 幕布: a calm plain colour over the whole screen behind the glyphs. The
// stage then takes every click, and nothing beneath can take the keyboard.
void StageWindow::toggleBackdrop()
{
    settings::StageSettings& settings = m_state.settings;
    settings.backdrop = !settings.backdrop;
    showBackdropState();
    m_lastEscape.invalidate();
    applyShape();
    if (settings.backdrop)
        raise();
    core::settingsFile(m_state).writeInteger(settings::keys::kColourSection, settings::keys::kBackdrop,
                                             settings.backdrop ? 1 : 0);
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
    core::StageState& state = m_state;
    if (state.settings.colourMode == settings::ColourMode::Random) {
        showColourMode(); // choosing the checked item leaves it checked
        return;
    }
    state.settings.colourMode = settings::ColourMode::Random;
    showColourMode();
    core::settingsFile(m_state).writeInteger(settings::keys::kColourSection, settings::keys::kColourMode, 1);
}

void StageWindow::useSingleColour()
{
    core::StageState& state = m_state;
    if (state.settings.colourMode == settings::ColourMode::Single) {
        showColourMode();
        return;
    }
    state.settings.colourMode = settings::ColourMode::Single;
    showColourMode();
    core::settingsFile(m_state).writeInteger(settings::keys::kColourSection, settings::keys::kColourMode, 2);
}

void StageWindow::chooseSingleColour()
{
    // The chooser opens at the colour in force.
    const QColor current = settings::toQColor(m_state.settings.singleColour).value_or(Qt::black);
    const std::optional<QColor> chosen = platform::effects().chooseColour(this, current);
    if (!chosen)
        return;
    const settings::Colour colour = settings::fromQColor(*chosen);
    m_state.settings.singleColour = colour;
    core::settingsFile(m_state).writeString(settings::keys::kColourSection, settings::keys::kSingleColour,
                                            settings::colourToText(colour));
}

void StageWindow::showDeck(core::DeckKind kind)
{
    playCue(SoundCue::Chime);
    core::switchDeck(m_state, kind);
    m_addAction->setEnabled(kind == core::DeckKind::Library);
    showEntry();
}

void StageWindow::showReviewDeck()
{
    core::Record* record = learningRecord();
    if (!record) {
        showDueEntries(std::nullopt);
        return;
    }
    // The record answers later; the stage meanwhile goes on as it is.
    record->reviewDeck(QDate::currentDate(), this, [this](const core::Record::DueEntries& due) {
        platform::guarded(this, [this, &due] { showDueEntries(due); });
    });
}

void StageWindow::showDueEntries(const std::optional<QList<QByteArray>>& due)
{
    if (!due) {
        platform::effects().showMessage(this, QStringLiteral("学习记录无法读取，不知道今天要复习哪些字。"));
        regainKeyboard();
        return;
    }
    if (due->isEmpty()) {
        platform::effects().showMessage(this, QStringLiteral("今天没有要复习的了！"));
        regainKeyboard();
        return;
    }
    playCue(SoundCue::Chime);
    core::startReview(m_state, *due, QDate::currentDate());
    m_addAction->setEnabled(false);
    showEntry();
}

void StageWindow::toggleShuffledLibrary()
{
    // Stays on the entry showing: the next step goes on in the new order.
    core::setLibraryShuffled(m_state, !m_state.shuffleLibrary);
    m_shuffleAction->setChecked(m_state.shuffleLibrary);
    core::settingsFile(m_state).writeInteger(settings::keys::kOrderSection, settings::keys::kShuffleLibrary,
                                             m_state.shuffleLibrary ? 1 : 0);
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
    const QString page = platform::dataPath(u"database\\help.htm");
    // Never silent: where no browser opens the page, the program shows it.
    platform::effects().openDocument(page, [stage = QPointer<StageWindow>(this), page] {
        if (stage)
            platform::guarded(stage, [&] { stage->showHelpWindow(page); });
    });
}

void StageWindow::showHelpWindow(const QString& page)
{
    if (!m_helpWindow)
        m_helpWindow = new HelpWindow(this);
    m_helpWindow->showPage(page);
}

void StageWindow::rememberPlaceAndClose()
{
    // The start position is only ever the library's; the other decks keep
    // theirs apart, for each child.
    core::storePlaces(m_state);
    endProgram();
}

void StageWindow::togglePinyin()
{
    core::StageState& state = m_state;
    state.settings.showPinyin = !state.settings.showPinyin;
    m_pinyinAction->setChecked(state.settings.showPinyin);
    redraw();
    core::settingsFile(m_state).writeInteger(settings::keys::kFontSection, settings::keys::kShowPinyin,
                                             state.settings.showPinyin ? 1 : 0);
}

void StageWindow::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_tracing && m_tracing->isTracing() && event->button() == Qt::LeftButton) {
        platform::guarded(this, [this, at = event->position()] { finishTrace(at); });
        return;
    }
    const bool click = m_pressIsClick && event->button() == Qt::LeftButton && hitsGlyph(event->position());
    m_pressIsClick = false;
    if (click)
        platform::guarded(this, [this] { showEntry(); });
}

EntryStrokes StageWindow::entryStrokes() const
{
    const core::StrokeData& data = m_strokeData ? *m_strokeData : core::StrokeData::shipped();
    return stage::entryStrokes(platform::gbk::decode(m_entry), m_font, m_layout, data);
}

// 笔顺: the entry writes itself stroke by stroke. An entry without stroke
// data stays as it is.
void StageWindow::playStrokeOrder()
{
    discardStrokeOrder();
    StrokeWriting writing(entryStrokes(), m_glyphs);
    if (!writing.strokes().hasStrokes())
        return;
    const QRect before = m_shape.boundingRect();
    m_writing = std::make_unique<StrokeAnimation>(std::move(writing), m_outlineWidth);
    connect(m_writing.get(), &StrokeAnimation::frameShown, this,
            [this](QRect changed) { platform::guarded(this, [this, changed] { showInkChange(changed); }); });
    connect(m_writing.get(), &StrokeAnimation::finished, this,
            [this] { platform::guarded(this, [this] { endStrokeOrder(); }); });
    m_writing->start();
    // The entry as it stood goes, all but the first ink.
    update(before.adjusted(-2, -2, 2, 2));
}

// The whole entry stands again, exactly as before the writing.
void StageWindow::endStrokeOrder()
{
    if (!m_writing)
        return;
    discardStrokeOrder();
    applyShape();
}

void StageWindow::discardStrokeOrder()
{
    // Its own signal may be calling: it goes once that has returned.
    if (m_writing)
        m_writing.release()->deleteLater();
}

// The window's shape and picture for ink that changed within `changed`.
void StageWindow::showInkChange(const QRect& changed)
{
    m_shape = m_state.settings.backdrop ? QRegion(rect()) : inkShape(size(), 1);
    cutWindowToShape();
    update(changed);
}

// 描红: the entry's strokes stand pale, to be traced one after another.
void StageWindow::toggleTracing()
{
    startTracing();
    applyShape();
}

void StageWindow::startTracing()
{
    m_tracing.reset();
    if (!m_tracingAction->isChecked()) {
        unsetCursor();
        return;
    }
    setCursor(TracingPractice::brushCursor(m_colour));
    EntryStrokes strokes = entryStrokes();
    if (!strokes.hasStrokes())
        return; // shown whole, clicked on as usual
    m_tracing = std::make_unique<TracingPractice>(std::move(strokes), m_outlineWidth);
    connect(m_tracing.get(), &TracingPractice::changed, this, [this](QRect changed) { update(changed); });
}

bool StageWindow::showsTracing() const
{
    return m_tracing && !m_tracing->isDone();
}

// Tracing is practice: it plays the cues and records nothing.
void StageWindow::finishTrace(QPointF at)
{
    switch (m_tracing->release(at)) {
    case TracingPractice::Outcome::Filled:
        playCue(SoundCue::Step);
        break;
    case TracingPractice::Outcome::FilledTheLast:
        playCue(SoundCue::Applause);
        applyShape(); // the entry stands whole, as the font draws it
        break;
    case TracingPractice::Outcome::Strayed:
    case TracingPractice::Outcome::Nothing:
        break;
    }
}

} // namespace stage
