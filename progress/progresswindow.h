#pragma once

#include <QDate>
#include <QDialog>

class QLabel;

namespace core {
class Record;
}

namespace progress {

class DailyChart;

// The progress window for the parent: how many entries the child knows, is
// learning and should review today, the last thirty days' judgements, and
// the entries most often wrong. The record can be exported as CSV or cleared.
// It works on the record the stage hands it.
class ProgressWindow : public QDialog {
    Q_OBJECT

public:
    ProgressWindow(core::Record& record, QWidget* parent, QDate today = QDate::currentDate());

    // What is shown (for tests).
    QString countsText() const;
    QStringList mostWrongShown() const;
    const DailyChart& chart() const { return *m_chart; }

public Q_SLOTS:
    void exportCsv();
    void clearRecord();

private:
    void buildLayout();
    void showStatistics();

    core::Record& m_record;
    QDate m_today;
    QLabel* m_known = nullptr;
    QLabel* m_learning = nullptr;
    QLabel* m_due = nullptr;
    DailyChart* m_chart = nullptr;
    QLabel* m_mostWrong = nullptr;
};

} // namespace progress
