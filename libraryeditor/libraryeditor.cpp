#include "libraryeditor/libraryeditor.h"

#include "core/deck.h"

#include "libraryeditor/librarymodel.h"
#include "platform/desktopwindow.h"
#include "platform/dialogframe.h"
#include "platform/effects.h"
#include "platform/gbk.h"
#include "platform/guard.h"
#include "platform/voicerecorder.h"

#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QValidator>
#include <QWindow>

#include <tuple>
#include <utility>

namespace libraryeditor {

namespace {

constexpr QSize kOuterSize(327, 449);
const QColor kCream(255, 251, 240);
const QColor kGreen(0, 128, 0);
const QColor kNavy(0, 0, 128);
constexpr int kRowHeight = 13;
const QString kLineBreakRefused = QStringLiteral("添加的字中不能有换行符！");
const QString kUnreadLibraryKept = QStringLiteral(
    "打开时没能读出字库文件，这次的更改不能保存，字库文件保持原样！");

QFont dialogFont(const QString& face, int pixels, bool bold)
{
    QFont font(face);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

void setTextColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

// Rows of a fixed height, whatever the font asks for.
class FixedRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), kRowHeight);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        // The keyboard cursor on a row that is not highlighted gets a dotted
        // frame: the style's tinted box would pass for a highlight.
        QStyleOptionViewItem plain(option);
        plain.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(painter, plain, index);
        if ((option.state & QStyle::State_HasFocus) && !(option.state & QStyle::State_Selected)) {
            painter->save();
            painter->setPen(QPen(option.palette.color(QPalette::Text), 1, Qt::DotLine));
            painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
            painter->restore();
        }
    }
};

// As in a list box, the user moves the highlight but cannot take it away:
// a click below the last row or a Ctrl+click on the highlighted row keeps it.
class EntryListView : public QListView {
public:
    using QListView::QListView;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override
    {
        const QItemSelectionModel::SelectionFlags command = QListView::selectionCommand(index, event);
        if (!index.isValid() || command.testFlag(QItemSelectionModel::Deselect))
            return QItemSelectionModel::NoUpdate;
        return command;
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        // With nothing highlighted, the first arrow key highlights the row of
        // the keyboard cursor (the first row after opening) instead of
        // stepping past it, so every row can be reached from the keyboard.
        const bool arrow = event->key() == Qt::Key_Up || event->key() == Qt::Key_Down;
        if (arrow && event->modifiers() == Qt::NoModifier && !selectionModel()->hasSelection()
            && currentIndex().isValid()) {
            selectionModel()->setCurrentIndex(currentIndex(), QItemSelectionModel::ClearAndSelect);
            scrollTo(currentIndex());
            event->accept();
            return;
        }
        QListView::keyPressEvent(event);
    }
};

// An entry is one line of the library file: a line break would split it in
// two, and a NUL byte would end the file there.
bool breaksTheLine(QStringView text)
{
    return text.contains(u'\r') || text.contains(u'\n') || text.contains(QChar(0));
}

// Keeps line breaks out of the text field as they arrive (they come only by
// pasting): the field would show them as blanks.
class OneLineValidator : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int&) const override
    {
        return breaksTheLine(input) ? Invalid : Acceptable;
    }
};

// A character named so that it can be told even where the font has no glyph
// for it: "𠀀" (U+20000).
QString nameCharacter(const QString& character)
{
    const QList<uint> codes = character.toUcs4();
    const uint code = codes.isEmpty() ? 0 : codes.front();
    return QStringLiteral("“%1”（U+%2）")
        .arg(character, QString::number(code, 16).toUpper().rightJustified(4, u'0'));
}

} // namespace

LibraryEditor::LibraryEditor(QString libraryPath, const core::Deck* stageDeck, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_libraryPath(std::move(libraryPath))
    , m_stageDeck(stageDeck)
    , m_model(new LibraryModel(this))
{
    setWindowTitle(QStringLiteral("添加字"));
    setFixedSize(platform::dialogClientSize(kOuterSize));
    setTextColour(this, QPalette::Window, kCream);
    buildControls();
    loadLibrary();
}

LibraryEditor::~LibraryEditor()
{
    // A program that ends while the library is written ends after the write:
    // the file is never left to chance.
    if (m_writer)
        m_writer->wait();
}

void LibraryEditor::buildControls()
{
    buildHeadings();
    buildList();

    m_textField = new QLineEdit(this);
    m_textField->setObjectName(QStringLiteral("entryField"));
    m_textField->setGeometry(168, 40, 137, 29);
    m_textField->setFont(dialogFont(QStringLiteral("楷体_GB2312"), 21, true));
    setTextColour(m_textField, QPalette::Text, kNavy);
    m_textField->setValidator(new OneLineValidator(m_textField));
    // The refusal comes once the paste is over and the field is as before;
    // the field reports one paste more than once.
    connect(m_textField, &QLineEdit::inputRejected, this, [this] {
        if (std::exchange(m_pasteRefusalPending, true))
            return;
        QTimer::singleShot(0, this, [this] {
            m_pasteRefusalPending = false;
            platform::guarded(this, [this] { refuseTypedText(kLineBreakRefused); });
        });
    });

    // Decoration only: without its picture the dialog works the same.
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("twigPicture"));
    picture->setGeometry(176, 80, 121, 105);
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setPixmap(
        platform::sharpPicture(QStringLiteral(":/libraryeditor/twig.jpg"), picture->devicePixelRatioF()));

    buildButtons();

    // The list has the keyboard focus when the dialog opens; the buttons
    // never take it, so Tab goes between the list and the text field.
    setTabOrder(m_list, m_textField);
    m_list->setFocus();
}

void LibraryEditor::buildHeadings()
{
    const QFont font = dialogFont(QStringLiteral("楷体_GB2312"), 21, true);
    const std::tuple<const char16_t*, QRect, const char16_t*> headings[] = {
        {u"libraryHeading", QRect(16, 8, 121, 25), u"全部字表："},
        {u"entryFieldHeading", QRect(144, 8, 153, 25), u"添加字输入框："},
    };
    for (const auto& [name, place, caption] : headings) {
        auto* heading = new QLabel(QString::fromUtf16(caption), this);
        heading->setObjectName(QString::fromUtf16(name));
        heading->setGeometry(place);
        heading->setFont(font);
        setTextColour(heading, QPalette::WindowText, kGreen);
    }
}

void LibraryEditor::buildList()
{
    m_list = new EntryListView(this);
    m_list->setObjectName(QStringLiteral("entryList"));
    m_list->setGeometry(8, 32, 121, 377);
    m_list->setFont(dialogFont(QStringLiteral("MS Sans Serif"), 11, false));
    m_list->setItemDelegate(new FixedRowDelegate(m_list));
    // One row height for all: a library of 100,000 entries lays out at once.
    m_list->setUniformItemSizes(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setModel(m_model);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) {
                // Rows removed by the commands take their highlight along;
                // only a new highlight is the user's.
                if (!selected.isEmpty())
                    rememberHighlight();
            });
    // A click on the highlighted entry marks it again (after an insert the
    // mark and the highlight can differ).
    connect(m_list, &QListView::clicked, this, &LibraryEditor::rememberHighlight);
}

void LibraryEditor::buildButtons()
{
    makeButton(u"upButton", QRect(136, 32, 23, 41), {}, u"up.png", &LibraryEditor::moveEntryUp);
    makeButton(u"downButton", QRect(136, 80, 23, 41), {}, u"down.png", &LibraryEditor::moveEntryDown);
    makeButton(u"addButton", QRect(168, 200, 137, 41), u" 添加字", u"add.png", &LibraryEditor::addTypedEntry);
    makeButton(u"insertButton", QRect(168, 256, 137, 41), u"插入字", u"insert.png",
               &LibraryEditor::insertTypedEntry);
    makeButton(u"deleteButton", QRect(168, 312, 137, 41), u"删除字", u"delete.png",
               &LibraryEditor::deleteHighlightedEntry);
    makeButton(u"leaveButton", QRect(168, 368, 137, 41), u" 离开了", u"leave.png",
               &LibraryEditor::saveAndLeave);
    buildRecordingButton();
}

// Below the picture: enabled when the highlighted entry has the parent's
// recording, which it deletes.
void LibraryEditor::buildRecordingButton()
{
    m_deleteRecordingButton = new QToolButton(this);
    m_deleteRecordingButton->setObjectName(QStringLiteral("deleteRecordingButton"));
    m_deleteRecordingButton->setGeometry(176, 164, 121, 24);
    m_deleteRecordingButton->setText(QStringLiteral("删除录音"));
    m_deleteRecordingButton->setFocusPolicy(Qt::NoFocus);
    m_deleteRecordingButton->setEnabled(false);
    connect(m_deleteRecordingButton, &QToolButton::clicked, this, &LibraryEditor::deleteHighlightedRecording);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &LibraryEditor::showWhetherRecorded);
}

QString LibraryEditor::highlightedRecording() const
{
    const int row = highlightedRow();
    return row >= 0 ? platform::recordingFile(m_model->entry(row)) : QString();
}

void LibraryEditor::showWhetherRecorded()
{
    const QString recording = highlightedRecording();
    m_deleteRecordingButton->setEnabled(!recording.isEmpty() && QFileInfo::exists(recording));
}

void LibraryEditor::deleteHighlightedRecording()
{
    platform::guarded(this, [this] {
        const QString recording = highlightedRecording();
        if (recording.isEmpty() || !QFileInfo::exists(recording))
            return;
        const QString entry = platform::gbk::decode(m_model->entry(highlightedRow()));
        if (!platform::effects().confirm(this, QStringLiteral("删除“%1”的录音吗？").arg(entry)))
            return;
        if (!QFile::remove(recording))
            platform::effects().showMessage(this, QStringLiteral("无法删除录音：%1").arg(recording));
        showWhetherRecorded();
    });
}

void LibraryEditor::makeButton(QStringView name, const QRect& place, QStringView caption, QStringView picture,
                               void (LibraryEditor::*handler)())
{
    auto* button = new QToolButton(this);
    button->setObjectName(name.toString());
    button->setGeometry(place);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    const QPixmap pixmap = platform::sharpPicture(QStringLiteral(":/libraryeditor/") + picture.toString(),
                                                  button->devicePixelRatioF());
    button->setIcon(pixmap);
    button->setIconSize(pixmap.deviceIndependentSize().toSize());
    if (!caption.isEmpty()) {
        button->setText(caption.toString());
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setFont(dialogFont(QStringLiteral("华文楷体"), 19, true));
        setTextColour(button, QPalette::ButtonText, kGreen);
    }
    connect(button, &QToolButton::clicked, this, handler);
}

namespace {

// The library as read, or the stage's deck when it holds the very text read,
// as it does unless the file changed since the stage read it: the editor
// then shares the stage's bytes instead of holding a second copy of a
// library that may be large.
core::Deck sharedWithTheStage(core::Deck read, const core::Deck* stageDeck)
{
    if (stageDeck && read == *stageDeck)
        return *stageDeck;
    return read;
}

} // namespace

void LibraryEditor::loadLibrary()
{
    m_markedIndex = 0;
    // The dialog is not on screen yet: an error box goes over the stage.
    m_libraryUnread = !platform::guarded(parentWidget(), [this] {
        m_model->setEntries({});
        m_model->setDeck(sharedWithTheStage(core::readDeckFile(m_libraryPath), m_stageDeck));
    });
}

void LibraryEditor::done(int result)
{
    if (isWriting())
        return; // the write closes the dialog once it is over
    Q_EMIT closing();
    QDialog::done(result);
}

int LibraryEditor::highlightedRow() const
{
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

std::vector<QByteArray> LibraryEditor::entries() const
{
    return m_model->entries();
}

void LibraryEditor::rememberHighlight()
{
    platform::guarded(this, [this] {
        const int row = highlightedRow();
        if (row >= 0)
            m_markedIndex = row;
    });
}

std::optional<QByteArray> LibraryEditor::typedEntry()
{
    const QString text = m_textField->text();
    if (text.isEmpty()) {
        refuseTypedText(QStringLiteral("请输入添加的字！"));
        return std::nullopt;
    }
    if (breaksTheLine(text)) {
        refuseTypedText(kLineBreakRefused);
        return std::nullopt;
    }
    // The library is GBK: a character without a GBK form cannot be stored.
    if (const std::optional<QString> character = platform::gbk::firstUnencodable(text)) {
        refuseTypedText(QStringLiteral("%1不是字库能保存的字（GBK字符集中没有这个字），请换一个字！")
                            .arg(nameCharacter(*character)));
        return std::nullopt;
    }
    return platform::gbk::encode(text);
}

void LibraryEditor::refuseTypedText(const QString& message)
{
    platform::effects().showMessage(this, message);
    m_textField->setFocus();
}

void LibraryEditor::clearTextField()
{
    m_textField->clear();
    m_textField->setFocus();
}

void LibraryEditor::addTypedEntry()
{
    if (isWriting())
        return;
    platform::guarded(this, [this] {
        const std::optional<QByteArray> entry = typedEntry();
        if (!entry)
            return;
        m_model->append(*entry);
        clearTextField();
    });
}

void LibraryEditor::insertTypedEntry()
{
    if (isWriting())
        return;
    platform::guarded(this, [this] {
        const std::optional<QByteArray> entry = typedEntry();
        if (!entry)
            return;
        // MarkedIndex stays: it now designates the new entry, so the next
        // insert goes in front of this one.
        m_model->insert(m_markedIndex, *entry);
        clearTextField();
    });
}

void LibraryEditor::deleteHighlightedEntry()
{
    if (isWriting())
        return;
    platform::guarded(this, [this] {
        const int row = highlightedRow();
        if (row >= 0)
            takeRow(row); // its highlight goes with it
    });
}

void LibraryEditor::moveEntryUp()
{
    platform::guarded(this, [this] { moveMarkedEntry(-1); });
}

void LibraryEditor::moveEntryDown()
{
    platform::guarded(this, [this] { moveMarkedEntry(+1); });
}

void LibraryEditor::moveMarkedEntry(int step)
{
    if (isWriting())
        return;
    const int from = m_markedIndex;
    const int to = from + step;
    if (from < 0 || from >= m_model->count() || to < 0 || to >= m_model->count())
        return;
    // Taken out and put back, so a highlight on the moved entry is gone
    // while one on its neighbour stays with the neighbour.
    m_model->insert(to, takeRow(from));
    m_markedIndex = to;
    const QModelIndex moved = m_model->index(to);
    m_list->selectionModel()->setCurrentIndex(moved, QItemSelectionModel::NoUpdate);
    m_list->scrollTo(moved);
}

QByteArray LibraryEditor::takeRow(int row)
{
    // The list moves its current row to a neighbour of a removed one and, in
    // single selection, highlights it: the highlight must leave with the
    // removed entry instead.
    if (m_list->currentIndex().row() == row)
        m_list->selectionModel()->clearCurrentIndex();
    return m_model->take(row);
}

void LibraryEditor::saveAndLeave()
{
    platform::guarded(this, [this] { leave(); });
}

void LibraryEditor::leave()
{
    if (isWriting())
        return; // a second click while the first one's write goes on
    // The list never held the file's entries: writing it would replace the
    // parent's library with whatever was added since.
    if (m_libraryUnread && QFileInfo::exists(m_libraryPath)) {
        platform::effects().showMessage(this, kUnreadLibraryKept);
        reject();
        return;
    }
    if (m_model->count() == 0) {
        platform::effects().showMessage(
            this, QStringLiteral("注意：字库中不能为空，系统将添加默认字符，确保系统配置正常！"));
        m_model->append(platform::gbk::encodeLiteral(u"字库为空"));
    }
    startWriting();
}

void LibraryEditor::startWriting()
{
    // A million-entry library takes tens of milliseconds to write and sync;
    // the dialog goes on drawing meanwhile. The commands wait for the write,
    // and so does closing, so the rows written are the rows shown.
    m_writeFailure = nullptr;
    m_writer.reset(QThread::create([this, rows = m_model->rows(), path = m_libraryPath] {
        try {
            rows.writeFile(path);
        } catch (...) {
            m_writeFailure = std::current_exception();
        }
    }));
    connect(m_writer.get(), &QThread::finished, this,
            [this] { platform::guarded(this, [this] { finishLeaving(); }); });
    m_writer->start();
}

void LibraryEditor::finishLeaving()
{
    m_writer->wait(); // it has said it is finished, and is ending
    m_writer.reset();
    // The write's error is shown as any command's error is.
    const bool written = platform::guarded(this, [failure = std::exchange(m_writeFailure, nullptr)] {
        if (failure)
            std::rethrow_exception(failure);
    });
    if (!written) {
        offerLeavingWithoutSaving();
        return; // the dialog stays open with its list
    }
    platform::effects().showMessage(this, QStringLiteral("注意：字库中更改的内容，在系统再次启动时生效！"));
    accept();
}

void LibraryEditor::offerLeavingWithoutSaving()
{
    // The parent may not be able to free the file: Esc and the title bar's
    // close box now leave without writing. The flags go to the window as it
    // is, since setWindowFlags() would hide it and end the modal loop.
    m_leavingWithoutSaving = true;
    const Qt::WindowFlags flags = windowFlags() | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    overrideWindowFlags(flags);
    if (QWindow* window = windowHandle())
        window->setFlags(flags);
}

void LibraryEditor::keyPressEvent(QKeyEvent* event)
{
    // No default key and no cancel key: Enter adds nothing, and Esc closes
    // only once a failed write has offered leaving without saving.
    switch (event->key()) {
    case Qt::Key_Escape:
        if (m_leavingWithoutSaving)
            reject();
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

} // namespace libraryeditor
