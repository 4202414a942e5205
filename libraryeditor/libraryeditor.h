#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>

#include <exception>
#include <memory>
#include <optional>
#include <vector>

class QLineEdit;
class QListView;
class QThread;
class QToolButton;

namespace core {
class Deck;
}

namespace libraryeditor {

class LibraryModel;

// The character library editor. It edits its own copy of the library file at
// `libraryPath`, read when it opens; only " 离开了" writes the copy back, and
// then closes. However the dialog closes, it says so first (closing), so
// that the stage reads the library again (without redrawing). `stageDeck`,
// the deck the stage shows, is only read: when it holds the very text of the
// file, the editor shares its bytes instead of holding a second copy.
//
// MarkedIndex is the dialog's remembered position: 0 at open, set from the
// highlight whenever the user changes it. Insert and the two arrows act on
// it, the arrows move it along with their entry; add, insert and delete leave
// it alone, and only delete acts on the highlight.
class LibraryEditor : public QDialog {
    Q_OBJECT

public:
    LibraryEditor(QString libraryPath, const core::Deck* stageDeck, QWidget* parent);
    ~LibraryEditor() override;

    int markedIndex() const { return m_markedIndex; }
    // The highlighted row, or -1 when no entry is highlighted.
    int highlightedRow() const;
    std::vector<QByteArray> entries() const;
    // Whether " 离开了" is writing the library on its thread: the dialog
    // tells how it went, and closes, once the write is over.
    bool isWriting() const { return m_writer != nullptr; }

    // Every way of closing ends here, telling closing first. While the
    // library is being written the dialog stays open.
    void done(int result) override;

Q_SIGNALS:
    // The dialog is about to close, however it closes: the library file may
    // have changed.
    void closing();

    // What the controls do.
public Q_SLOTS:
    void rememberHighlight();          // the user highlights an entry
    void addTypedEntry();              // " 添加字": append the typed text
    void insertTypedEntry();           // "插入字": insert the typed text at MarkedIndex
    void deleteHighlightedEntry();     // "删除字": remove the highlighted entry
    void moveEntryUp();                // up arrow: move the entry at MarkedIndex up
    void moveEntryDown();              // down arrow: move it down
    void saveAndLeave();               // " 离开了": save the library and close
    void deleteHighlightedRecording(); // "删除录音": the parent's recording of the highlighted entry

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildControls();
    void buildHeadings();
    void buildList();
    void buildButtons();
    void buildRecordingButton();
    QString highlightedRecording() const;
    void showWhetherRecorded();
    void makeButton(QStringView name, const QRect& place, QStringView caption, QStringView picture,
                    void (LibraryEditor::*handler)());
    void loadLibrary();
    void leave();
    // Writes the rows as they are now to the library file on a thread of
    // its own, then finishes leaving.
    void startWriting();
    void finishLeaving();
    void offerLeavingWithoutSaving();

    // The text field as a library entry, or nothing after telling the user
    // why it cannot be one.
    std::optional<QByteArray> typedEntry();
    void refuseTypedText(const QString& message);
    void clearTextField();
    void moveMarkedEntry(int step);
    QByteArray takeRow(int row);

    QString m_libraryPath;
    const core::Deck* m_stageDeck;
    LibraryModel* m_model;
    QToolButton* m_deleteRecordingButton = nullptr;
    QListView* m_list;
    QLineEdit* m_textField;
    int m_markedIndex = 0;
    // The library file could not be read at open: the list is not the library.
    bool m_libraryUnread = false;
    // A write failed: Esc and the close box leave without writing.
    bool m_leavingWithoutSaving = false;
    bool m_pasteRefusalPending = false;
    // The library's write while " 离开了" waits for it, and how it failed.
    std::unique_ptr<QThread> m_writer;
    std::exception_ptr m_writeFailure;
};

} // namespace libraryeditor
