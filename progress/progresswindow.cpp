#include "progress/progresswindow.h"

#include "core/pinyin.h"
#include "core/record.h"
#include "platform/effects.h"
#include "platform/guard.h"
#include "platform/textencoding.h"
#include "progress/dailychart.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace progress {

namespace {

// The editor's colours: a cream page, green headings, navy text.
const QColor kCream(255, 251, 240);
const QColor kGreen(0, 128, 0);
const QColor kNavy(0, 0, 128);

QFont captionFont(int pixels, bool bold = false)
{
    QFont font(QStringLiteral("华文楷体"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QLabel* label(QWidget* parent, const QString& text, const QFont& font, const QColor& colour)
{
    auto* result = new QLabel(text, parent);
    result->setFont(font);
    QPalette palette = result->palette();
    palette.setColor(QPalette::WindowText, colour);
    result->setPalette(palette);
    return result;
}

QLabel* heading(QWidget* parent, const QString& text)
{
    return label(parent, text, captionFont(24, true), kGreen);
}

// An entry with its count, joined so that a line never breaks inside it:
// WORD JOINER between every two characters.
QString unbreakable(const QString& entry, int count)
{
    constexpr char32_t wordJoiner = 0x2060;
    QString joined;
    for (const char32_t character : (entry + QStringLiteral("×%1").arg(count)).toUcs4()) {
        if (!joined.isEmpty())
            joined += QChar(wordJoiner);
        joined += QString::fromUcs4(&character, 1);
    }
    return joined;
}

// The entries in rows of a table, each (`cells`: with its count) over its
// pinyin in small type.
QString entriesWithPinyin(const QStringList& cells, const QStringList& pinyin)
{
    constexpr int perRow = 6;
    QString html = QStringLiteral("<table cellspacing=\"10\">");
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i % perRow == 0)
            html += i == 0 ? QStringLiteral("<tr>") : QStringLiteral("</tr><tr>");
        html += QStringLiteral("<td align=\"center\">%1<br><span style=\"font-size:18px; "
                               "font-weight:normal\">%2</span></td>")
                    .arg(cells.at(i).toHtmlEscaped(), pinyin.at(i).toHtmlEscaped());
    }
    return html + QStringLiteral("</tr></table>");
}

} // namespace

ProgressWindow::ProgressWindow(core::Record& record, QWidget* parent, QDate today)
    : QDialog(parent)
    , m_record(record)
    , m_today(today)
{
    setWindowTitle(QStringLiteral("学习记录"));
    setModal(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kCream);
    setPalette(palette);
    setAutoFillBackground(true);
    buildLayout();
    readStatistics();
}

void ProgressWindow::buildLayout()
{
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(28, 20, 28, 20);
    page->setSpacing(12);

    auto* counts = new QHBoxLayout;
    counts->setSpacing(40);
    m_known = label(this, {}, captionFont(26, true), kNavy);
    m_learning = label(this, {}, captionFont(26, true), kNavy);
    m_due = label(this, {}, captionFont(26, true), kNavy);
    for (QLabel* count : {m_known, m_learning, m_due})
        counts->addWidget(count);
    counts->addStretch();
    page->addWidget(heading(this, QStringLiteral("认字情况")));
    page->addLayout(counts);

    page->addWidget(heading(this, QStringLiteral("最近三十天")));
    m_chart = new DailyChart(this);
    m_chart->setFont(captionFont(15));
    page->addWidget(m_chart, 1);

    page->addWidget(heading(this, QStringLiteral("最常认错的字")));
    m_mostWrong = label(this, {}, captionFont(44, true), kNavy);
    m_mostWrong->setWordWrap(true);
    m_mostWrong->setMinimumHeight(120);
    page->addWidget(m_mostWrong);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    const std::pair<QString, void (ProgressWindow::*)()> commands[] = {
        {QStringLiteral("导出记录"), &ProgressWindow::exportCsv},
        {QStringLiteral("清除记录"), &ProgressWindow::clearRecord},
        {QStringLiteral("关闭"), &ProgressWindow::accept},
    };
    for (const auto& [text, handler] : commands) {
        auto* button = new QPushButton(text, this);
        button->setFont(captionFont(20, true));
        button->setMinimumSize(120, 40);
        connect(button, &QPushButton::clicked, this, handler);
        buttons->addWidget(button);
    }
    page->addLayout(buttons);
    resize(860, 680);
}

void ProgressWindow::readStatistics()
{
    m_known->setText(QStringLiteral("正在读取…"));
    m_record.statistics(m_today, this, [this](const std::optional<core::Statistics>& stats) {
        platform::guarded(this, [this, &stats] { showStatistics(stats); });
    });
}

void ProgressWindow::showStatistics(const std::optional<core::Statistics>& stats)
{
    QStringList entries;
    QStringList shown;
    QStringList pinyin;
    if (!stats) {
        // Zeros would read as facts: say that there are none to show.
        m_known->setText(QStringLiteral("学习记录无法读取"));
        m_learning->clear();
        m_due->clear();
        m_chart->setDays({});
        m_mostWrong->clear();
    } else {
        m_known->setText(QStringLiteral("已认识 %1 个").arg(stats->known));
        m_learning->setText(QStringLiteral("正在学 %1 个").arg(stats->learning));
        m_due->setText(QStringLiteral("今天要复习 %1 个").arg(stats->dueToday));
        m_chart->setDays(stats->lastDays);
        for (const core::WrongCount& wrong : stats->mostWrong) {
            entries.append(platform::textencoding::displayText(wrong.entry));
            pinyin.append(core::pinyinLine(entries.back()));
            shown.append(unbreakable(entries.back(), wrong.wrong));
        }
        if (shown.isEmpty()) {
            m_mostWrong->setTextFormat(Qt::PlainText);
            m_mostWrong->setText(QStringLiteral("还没有认错的字"));
        } else {
            m_mostWrong->setTextFormat(Qt::RichText);
            m_mostWrong->setText(entriesWithPinyin(shown, pinyin));
        }
    }
    m_mostWrong->setProperty("entries", entries);
    m_mostWrong->setProperty("cells", shown);
    m_mostWrong->setProperty("pinyin", pinyin);
    Q_EMIT statisticsShown();
}

QString ProgressWindow::countsText() const
{
    return QStringList {m_known->text(), m_learning->text(), m_due->text()}.join(u' ');
}

QStringList ProgressWindow::mostWrongShown() const
{
    return m_mostWrong->property("entries").toStringList();
}

void ProgressWindow::setChildName(const QString& name)
{
    m_childName = name;
    setWindowTitle(QStringLiteral("学习记录 - %1").arg(name));
}

QString ProgressWindow::mostWrongText() const
{
    return m_mostWrong->property("cells").toStringList().join(QChar(0x3000));
}

QStringList ProgressWindow::mostWrongPinyinShown() const
{
    return m_mostWrong->property("pinyin").toStringList();
}

void ProgressWindow::exportCsv()
{
    const QString fileName = m_childName.isEmpty() ? QStringLiteral("学习记录.csv")
                                                   : QStringLiteral("学习记录-%1.csv").arg(m_childName);
    const std::optional<QString> path = platform::effects().chooseSaveFile(
        this, QDir::home().filePath(fileName), QStringLiteral("CSV 文件 (*.csv)"));
    if (!path)
        return;
    m_record.exportCsv(*path, this, [this](bool exported) {
        platform::guarded(this, [this, exported] {
            if (!exported)
                platform::effects().showMessage(this, QStringLiteral("学习记录没有导出成功。"));
        });
    });
}

void ProgressWindow::clearRecord()
{
    if (!platform::effects().confirm(this, QStringLiteral("要清除全部学习记录吗？清除后不能恢复。")))
        return;
    m_record.clear(this, [this](bool cleared) {
        platform::guarded(this, [this, cleared] {
            if (!cleared)
                platform::effects().showMessage(this, QStringLiteral("学习记录没有清除成功。"));
            readStatistics();
        });
    });
}

} // namespace progress
