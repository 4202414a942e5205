#pragma once

#include "settings/stagesettings.h"

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
// It keeps no settings of its own and works on the stage's settings directly:
// an arrow press moves the selected class at once; "设置" takes the face and
// the five sizes from the boxes and writes face, sizes and positions to the
// settings file; "离开" and the close box just close, undoing nothing. The
// stage shows the changes at its next step.
//
// The controls carry object names that say what they are ("sizeOneBox",
// "classManyRadio", "upButton", ...), so tests and readers can find them.
class DisplaySettingsDialog : public QDialog {
    Q_OBJECT

public:
    explicit DisplaySettingsDialog(QWidget* parent);

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
    void buildButtons(QWidget* panel);
    void setFocusOrder();

    // What the controls do. The arrows move the selected class.
    void loadSettings();
    bool filterSizeKey(QLineEdit* box, const QKeyEvent& key);
    void moveUp();
    void moveDown();
    void moveLeft();
    void moveRight();
    void applyAndSave(); // "设置"
    void leave();        // "离开"

    void arrowStep(Axis axis, qint32 delta);
    void showFace(const QString& face);
    std::optional<WordClass> selectedClass() const;
    std::optional<QByteArray> faceToStore() const;

    QLineEdit*& sizeBox(WordClass c) { return m_sizeBoxes[static_cast<int>(c)]; }
    QRadioButton*& radioButton(WordClass c) { return m_radioButtons[static_cast<int>(c)]; }
    QRadioButton* radioButton(WordClass c) const { return m_radioButtons[static_cast<int>(c)]; }

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
