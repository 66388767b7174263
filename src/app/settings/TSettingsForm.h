#pragma once
// The modal preferences dialog, and the owner of the program's configuration: its settings
// holder keeps the one root that the defaults and the user file are loaded into.
//
// Controls bind to settings by name: a control whose Tag (see SetTag) is not 0 shows and edits
// the key "settings." + its object name, when the root holds that key. The kind of binding
// follows the control's exact class: QCheckBox (bool), QComboBox (item index as integer; a
// combo box whose name contains "Volume" finds the key's text among its items and stores its
// own text as integer), QLineEdit (text; integer keys take the text as a decimal integer, 0 when
// it is not one), QSpinBox (integer). Showing the dialog fills the controls; OK writes them back.
//
// "Reset to default" deletes the user file and reloads both files into the same root, which
// destroys every context and tag of the tree: ConfigurationReloaded is emitted at once (also
// when the reload fails), and whoever keeps pointers into the tree must fetch them again then,
// whether the dialog later ends with OK or Cancel.
//
// Thread: GUI thread only. Failure: errors of the configuration layer (a key of an unexpected
// type, a failed reload) reach the class library's exception box when they arise in an event
// handler, and pass to the caller when the operation is called directly.
#include <QDialog>

#include "app/settings/TSettingsHolder.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TSettingsForm : public QDialog {
    Q_OBJECT

public:
    using settings_t = ::settings_t;

    explicit TSettingsForm(QWidget* parent = nullptr);
    ~TSettingsForm() override;

    // The binding tag of a control: 0 leaves it unbound.
    [[nodiscard]] static int Tag(const QObject* control);
    static void SetTag(QObject* control, int tag);

    // On every showing: OK becomes the default and takes the focus, the bound controls show their
    // keys, hidden options count as off, and the dependent controls follow.
    void FormShow();
    // Writes the bound controls into the root and ends the dialog with the OK result.
    void OKButtonClick();
    // Ends the dialog with the Cancel result; the root is untouched.
    void CancelButtonClick();
    // Asks, and on Yes deletes the user file, reloads the settings and shows the defaults. The
    // dialog stays open.
    void Button1Click();
    // Clears the root and loads the defaults file (which must exist), then the user file (when
    // it exists); emits ConfigurationReloaded whether or not the load succeeds.
    void ReloadSettings();
    // ShowFilledShapes is enabled exactly when ShowFingering is checked.
    void ShowFingeringClick();
    // The interval edit's text as a decimal integer (0 when it is not one), clamped to 100..2000.
    void UpcomingNoteIntervalExit();

    settings_t Settings;

    QCheckBox* ShowHints = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* QuantizeMode = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* StepAdvanceThroughClipsBy = nullptr;
    QCheckBox* ShowFingering = nullptr;
    QCheckBox* ShowFilledShapes = nullptr;
    QCheckBox* ShowColorSpots = nullptr;
    QCheckBox* ShowShapes = nullptr;
    QCheckBox* ShowUpcomingNotes = nullptr;
    QLineEdit* UpcomingNoteInterval = nullptr;
    QLabel* Label3 = nullptr;
    QCheckBox* ShowFingeringOnTranscriptions = nullptr;
    QCheckBox* UseInvertedVideo = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;
    QPushButton* Button1 = nullptr;

signals:
    // The root was cleared and loaded again: every pointer into the tree is stale.
    void ConfigurationReloaded();

protected:
    void showEvent(QShowEvent* event) override;
    // Esc anywhere in the dialog cancels it.
    void keyPressEvent(QKeyEvent* event) override;
    // The interval edit takes only digits and control characters, and is clamped when it loses
    // the focus.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ControlsFromKeys();
    void KeysFromControls();
    // The user file the reset deletes.
    [[nodiscard]] std::string UserFileName() const;
};
