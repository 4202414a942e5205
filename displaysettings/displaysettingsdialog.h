#pragma once

#include "settings/stagesettings.h"

namespace settings {
class SettingsFile;
}

#include <QByteArray>
#include <QDialog>

#include <array>
#include <optional>

class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QRadioButton;
class QToolButton;

namespace displaysettings {

// The display settings dialog ("显示设置"): the font face of the stage, the
// point size of each word class and the place where each class is drawn.
//
// It edits a copy of the stage's settings and writes them to `file`. Every
// change is told at once through settingsChanged, so that the stage shows
// it while the dialog is open: a size that is in range, a face of the list,
// an arrow press, 居中, the outline switch, the backdrop's colour. "设置"
// checks every field, with a Chinese message for the first that is wrong,
// and writes face, sizes, positions and the rest to the settings file;
// "离开", Esc and the close box put back the settings the dialog opened
// with.
//
// The controls carry object names that say what they are ("sizeOneBox",
// "classManyRadio", "upButton", ...), so tests and readers can find them.
class DisplaySettingsDialog : public QDialog {
    Q_OBJECT

public:
    DisplaySettingsDialog(settings::StageSettings current, settings::SettingsFile& file, QWidget* parent);

    // The settings as this dialog has left them.
    const settings::StageSettings& stageSettings() const { return m_settings; }

Q_SIGNALS:
    // The settings changed, or were put back as the dialog left.
    void settingsChanged(const settings::StageSettings& changed);

public Q_SLOTS:
    // Leaves: the settings the dialog opened with are in force again.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    using WordClass = settings::WordClass;
    enum class Axis { X, Y };

    void buildPanel();
    void buildSizeGroup(QWidget* panel);
    void buildPositionGroup(QWidget* panel);
    void buildArrowPad(QWidget* group);
    void buildFontGroup(QWidget* panel);
    void buildStarBurstBox(QWidget* group);
    void buildButtons(QWidget* panel);
    void buildLookRow(QWidget* panel);
    void setFocusOrder();

    // What the controls do. The arrows move the selected class.
    void loadSettings();
    bool filterSizeKey(QLineEdit* box, const QKeyEvent& key);
    void moveUp();
    void moveDown();
    void moveLeft();
    void moveRight();
    void applyAndSave();        // "设置"
    void leave();               // "离开"
    void centreSelectedClass(); // "居中"
    void chooseBackdropColour();
    void previewSize(WordClass c, const QString& text);
    void previewFace(const QString& face);
    void previewOutline(bool on);

    void arrowStep(Axis axis, qint32 delta);
    void showFace(const QString& face);
    std::optional<WordClass> selectedClass() const;
    std::optional<QByteArray> faceToStore() const;
    bool offersFace(const QString& face) const;
    std::optional<QString> firstInvalidField() const;

    QLineEdit*& sizeBox(WordClass c) { return m_sizeBoxes[static_cast<int>(c)]; }
    QRadioButton*& radioButton(WordClass c) { return m_radioButtons[static_cast<int>(c)]; }
    QRadioButton* radioButton(WordClass c) const { return m_radioButtons[static_cast<int>(c)]; }

    settings::StageSettings m_settings;
    // What "离开" puts back.
    settings::StageSettings m_openingSettings;
    settings::SettingsFile& m_file;
    std::array<QLineEdit*, settings::kWordClassCount> m_sizeBoxes {};
    std::array<QRadioButton*, settings::kWordClassCount> m_radioButtons {};
    QLabel* m_axisLabel = nullptr;  // "X:" or "Y:"
    QLabel* m_valueField = nullptr; // the coordinate the last arrow press set
    QComboBox* m_fontBox = nullptr;

    // The face as it was when the dialog opened. Its bytes are kept when the
    // font box still shows it, so a face that is not valid GBK survives "设置".
    QByteArray m_openingFace;
};

} // namespace displaysettings
