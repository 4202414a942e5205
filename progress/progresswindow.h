#pragma once

#include <QDate>
#include <QDialog>

#include <optional>

class QLabel;

namespace core {
class Record;
struct Statistics;
} // namespace core

namespace progress {

class DailyChart;

// The progress window for the parent: how many entries the child knows, is
// learning and should review today, the last thirty days' judgements, and
// the entries most often wrong. The record can be exported as CSV or cleared.
// It works on the record the stage hands it, and shows "正在读取…" until the
// record's figures arrive.
class ProgressWindow : public QDialog {
    Q_OBJECT

public:
    ProgressWindow(core::Record& record, QWidget* parent, QDate today = QDate::currentDate());

    // Names the child whose record this is, in the title and the CSV file.
    void setChildName(const QString& name);

    // What is shown (for tests).
    QString countsText() const;
    QStringList mostWrongShown() const;
    // The often-wrong entries with their counts, as the window lays them out.
    QString mostWrongText() const;
    // The pinyin under each of them, in the same order.
    QStringList mostWrongPinyinShown() const;
    const DailyChart& chart() const { return *m_chart; }

Q_SIGNALS:
    // The figures (or that there are none) are on show.
    void statisticsShown();

public Q_SLOTS:
    void exportCsv();
    void clearRecord();

private:
    void buildLayout();
    void readStatistics();
    void showStatistics(const std::optional<core::Statistics>& stats);

    core::Record& m_record;
    QDate m_today;
    QString m_childName;
    QLabel* m_known = nullptr;
    QLabel* m_learning = nullptr;
    QLabel* m_due = nullptr;
    DailyChart* m_chart = nullptr;
    QLabel* m_mostWrong = nullptr;
};

} // namespace progress
