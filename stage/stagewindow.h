#pragma once

#include "core/stagestate.h"
#include "stage/entrylayout.h"
#include "stage/strokeanimation.h"

#include <QColor>
#include <QElapsedTimer>
#include <QFont>
#include <QHash>
#include <QPainterPath>
#include <QRegion>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class QAction;
class QTimer;
class QMenu;
class QPainter;

namespace core {
class StrokeData;
}

namespace stage {

class HelpWindow;
class StageWindow;
class StarBurst;
class ParentVoice;
class TracingPractice;

// The dialogs that the stage menu opens. The stage knows them only as these
// commands, given to it where the windows are put together
// (windows/stagedialogs.h): no window includes another window's header.
struct StageDialogs {
    std::function<void(StageWindow& stage)> libraryEditor;                  // 添加
    std::function<void(StageWindow& stage)> positionPicker;                 // 定位指针
    std::function<void(StageWindow& stage)> displaySettings;                // 设置
    std::function<void(StageWindow& stage, core::Record& record)> progress; // 学习记录
};

// The stage: a frameless window over the whole screen whose shape is cut to
// the glyphs of the entry it shows, so that only the coloured characters
// stand over the desktop and receive the mouse.
class StageWindow : public QWidget {
    Q_OBJECT

public:
    // Creates the stage and runs the start-up: opens the settings file, reads
    // the library, the start position and the display settings, and plays
    // the chime. An error shows the error box and skips the rest. The menu
    // opens `dialogs`.
    explicit StageWindow(StageDialogs dialogs, QWidget* parent = nullptr);
    ~StageWindow() override;

    // Advances to the next entry and draws it in a new colour, with the
    // step cue.
    void showEntry();

    // Draws the entry on screen again as the settings now say (its size,
    // place, face, outline, backdrop), in the same colour and without a cue:
    // the settings dialog shows its changes at once.
    void redraw();

    // What is on screen now (for the dialogs and for tests).
    QColor windowColour() const { return m_colour; }
    const QRegion& shape() const { return m_shape; }
    // The same glyphs in the window's device pixels, as the window is cut.
    const QRegion& nativeShape() const { return m_nativeShape; }
    // Whether the glyphs are painted smooth on a see-through window.
    bool isTranslucent() const { return m_translucent; }
    // Whether the pinyin stands above the characters.
    bool showsPinyin() const { return m_state.settings.showPinyin; }
    QByteArray shownEntry() const { return m_entry; }
    const QFont& drawnFont() const { return m_font; }
    // Where the entry's characters stand and at what scale.
    const EntryLayout& layout() const { return m_layout; }
    // The outline round the strokes: its colour, and its width (0 when off).
    QColor outlineColour() const;
    qreal outlineWidth() const { return m_outlineWidth; }
    // Whether the first start's hint is on screen.
    bool showsFirstStartCaption() const { return !m_caption.isEmpty(); }
    // The small texts beside the entry: the review's "3 / 8" and a caption.
    const QString& counterText() const { return m_counterText; }
    const QString& captionText() const { return m_captionText; }
    // Whether the stars of a right answer are flying now.
    bool starBurstRunning() const;
    // The parent's recordings of the entries.
    ParentVoice& parentVoice() { return *m_voice; }

    // 笔顺: the entry's writing under way, or null.
    const StrokeAnimation* strokeAnimation() const { return m_writing.get(); }
    StrokeAnimation* strokeAnimation() { return m_writing.get(); }
    // 描红: the entry being traced, or null.
    const TracingPractice* tracingPractice() const { return m_tracing.get(); }

    // The stage menu, as the right button opens it.
    QMenu* stageMenu() const { return m_menu; }
    // Sets the items' state as it is just before the menu opens.
    void prepareMenu();

    // The learning record, opened on first use; null only when it could not
    // even be made.
    core::Record* learningRecord();

    // The state the stage owns: its deck, cursor, settings, settings file
    // and learning record. The dialogs get from it only what they edit,
    // handed to them where the windows are put together.
    core::StageState& state() { return m_state; }
    const core::StageState& state() const { return m_state; }

    // The strokes that 笔顺 and 描红 draw: the shipped stroke file unless
    // tests give another.
    void setStrokeData(const core::StrokeData* data) { m_strokeData = data; }

    // Ends the program. Tests replace it to watch the end without ending.
    void setProgramEnder(std::function<void()> ender) { m_endProgram = std::move(ender); }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void readStartup();
    void buildMenu();
    void showColourMode();
    void endProgram();

    // The stage menu's commands.
    void openLibraryEditor();
    void openPositionPicker();
    void openDisplaySettings();
    void useRandomColours();
    void useSingleColour();
    void chooseSingleColour();
    void showDeck(core::DeckKind kind);
    void showReviewDeck();
    void toggleShuffledLibrary();
    // The 孩子 submenu.
    void listChildren();
    void switchToChild(int number);
    void addChild();
    void renameChild();
    void removeChild();
    std::optional<QByteArray> askChildName(const QString& question, const QByteArray& initial);
    void closeRecord();
    // 复习篇（8）: the count is asked of the record, which answers later.
    void countDueEntries(bool announce);
    void showDueCount(qsizetype due, bool announce);
    void openProgress();
    void openHelp();
    void showHelpWindow(const QString& page);
    void toggleRecording();
    void switchReadingAloud();
    void startRecording();
    void rememberPlaceAndClose();
    void togglePinyin();

    QColor nextColour();
    void drawEntry(QByteArrayView entry);
    void layOutEntry();
    void applyShape();
    QRegion inkShape(QSize windowSize, qreal ratio) const;
    QPoint placeholderPlace() const;
    void paintInk(QPainter& painter, const QRect& exposed) const;
    void playStrokeOrder();
    void endStrokeOrder();
    void discardStrokeOrder();
    void toggleTracing();
    void startTracing();
    bool showsTracing() const;
    void finishTrace(QPointF at);
    void showInkChange(const QRect& changed);
    EntryStrokes entryStrokes() const;
    void toggleBackdrop();
    void showBackdropState();
    bool escapeEndsProgram();
    void startFirstStartCaption();
    void hideFirstStartCaption();
    void cutWindowToShape();
    void paintGlyphs(QPainter& painter);
    bool hitsGlyph(QPointF at) const;
    void regainKeyboard();
    void judge(bool right);
    void stepTo(bool withCue);
    void stepBackWithoutJudging();
    void takeBackJudgement();
    void finishReview();
    void showCaption(const QString& text);
    QPainterPath smallTexts(const QRectF& glyphs) const;
    void showRecordFailure(const QString& message);
    void showDueEntries(const std::optional<QList<QByteArray>>& due);

    core::StageState m_state;
    QByteArray m_entry;
    QColor m_colour;
    QString m_face;
    QFont m_font;
    EntryLayout m_layout;
    qreal m_outlineWidth = 0;
    QRegion m_shape;
    // m_shape found again on the device pixels: finer than m_shape scaled
    // up where a device pixel ratio above 1 puts several under each pixel.
    QRegion m_nativeShape;
    // m_nativeShape in device-independent coordinates, to paint exactly
    // the device pixels that the window keeps.
    QPainterPath m_nativeShapePath;
    // The glyphs' outlines as painted, and the pixels they cover; m_shape
    // adds the stars of a burst.
    QPainterPath m_glyphs;
    // The glyphs grown by their outline, painted under them.
    QPainterPath m_outlined;
    // The first start's hint beside the glyphs, part of the shape; empty
    // once it has gone.
    QPainterPath m_caption;
    QPainterPath m_captionOutlined;
    bool m_firstStart = false;
    QTimer m_captionTimer;
    // Releasing R ends the recording a moment later, unless R comes down
    // again: an X server's key repeat may send a plain release and press
    // while the key is held.
    QTimer m_recordKeyUp;
    // With the backdrop, Esc ends the program only when pressed again
    // within a second of this.
    QElapsedTimer m_lastEscape;
    StarBurst* m_starBurst = nullptr;
    ParentVoice* m_voice = nullptr;
    // Painted smooth on a see-through window with only its input cut to the
    // glyphs, where a compositor draws the screen.
    bool m_translucent = false;
    bool m_firstShowDone = false;
    bool m_firstMapDone = false;
    bool m_pressIsClick = false;
    // Only the first judgement of each showing is recorded.
    bool m_judgedThisShowing = false;
    bool m_recordConnected = false;

    QMenu* m_menu = nullptr;
    QAction* m_addAction = nullptr;
    QAction* m_randomColourAction = nullptr;
    QAction* m_singleColourAction = nullptr;
    QAction* m_chooseColourAction = nullptr;
    QAction* m_shuffleAction = nullptr;
    QAction* m_reviewAction = nullptr;
    QMenu* m_childrenMenu = nullptr;
    // The review's "3 / 8" and a passing caption, drawn beside the entry.
    QString m_counterText;
    QString m_captionText;
    QTimer* m_passingCaptionTimer = nullptr;
    // Judgements made in this run, per entry: what Ctrl+Z may take back.
    QHash<QByteArray, int> m_judgedThisRun;
    QAction* m_recordAction = nullptr;
    QAction* m_readAloudAction = nullptr;
    QAction* m_pinyinAction = nullptr;
    // The colour chooser starts on the colour last accepted in this run.
    QColor m_lastChosenColour = Qt::black;
    // The help page, where no browser opens it; made on first need.
    HelpWindow* m_helpWindow = nullptr;
    QAction* m_backdropAction = nullptr;
    QAction* m_tracingAction = nullptr;
    const core::StrokeData* m_strokeData = nullptr;
    std::unique_ptr<StrokeAnimation> m_writing;
    std::unique_ptr<TracingPractice> m_tracing;
    std::function<void()> m_endProgram;
    StageDialogs m_dialogs;
};

} // namespace stage
