#include "app/settings/TSettingsForm.h"

#include "platform/system/AppPath.h"
#include "platform/ui/EventBridge.h"
#include "platform/system/Exception.h"
#include "platform/system/LinuxFileNames.h"
#include "platform/ui/MessageBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QVariant>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

constexpr const char* TagProperty = "Tag";
constexpr int MinInterval = 100;
constexpr int MaxInterval = 2000;

std::string Bytes(const QString& text)
{
    return text.toLatin1().toStdString();
}

QString Text(const std::string& text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

// A decimal integer with an optional sign after leading blanks; 0 for anything else.
std::int32_t DecimalOrZero(const std::string& text)
{
    std::size_t first = 0;
    while (first < text.size() && (text[first] == ' ' || text[first] == '\t'))
        ++first;
    const char* begin = text.data() + first;
    const char* end = text.data() + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    std::int32_t value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value, 10);
    return error == std::errc() && stop == end && begin != end ? value : 0;
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const char* caption, const QRect& geometry)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    TSettingsForm::SetTag(box, 1);
    return box;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, const QRect& geometry)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    return label;
}

QComboBox* MakeDropDown(QWidget* parent, const char* name, const QStringList& items, const QRect& geometry)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->addItems(items);
    combo->setGeometry(geometry);
    TSettingsForm::SetTag(combo, 1);
    return combo;
}

}  // namespace

TSettingsForm::TSettingsForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName("SettingsForm");
    setWindowTitle("Korvane - Preferences");
    setFixedSize(515, 321);

    ShowHints = MakeCheckBox(this, "ShowHints", "Show fly-by hints", QRect(16, 12, 480, 20));

    Label1 = MakeLabel(this, "Label1", "When triggering riffs instantly, quantize riffs to:", QRect(16, 42, 310, 18));
    QuantizeMode = MakeDropDown(this, "QuantizeMode",
                                {"full bar", "half note", "quarter note", "eighth note", "sixteenth note",
                                 "do not quantize"},
                                QRect(330, 38, 170, 24));

    Label2 = MakeLabel(this, "Label2", "Step advance through clips by:", QRect(16, 72, 310, 18));
    StepAdvanceThroughClipsBy = MakeDropDown(this, "StepAdvanceThroughClipsBy",
                                             {"note groups", "bars ", "half notes ", "quarter note ", "eighth notes"},
                                             QRect(330, 68, 170, 24));

    ShowFingering = MakeCheckBox(this, "ShowFingering", "Show fingering on fretboard", QRect(16, 100, 480, 20));
    ShowFingering->hide();
    connect(ShowFingering, &QCheckBox::toggled, this, [this] { CallEventHandler([this] { ShowFingeringClick(); }); });
    ShowFilledShapes = MakeCheckBox(this, "ShowFilledShapes", "Use color coding for fingering", QRect(36, 122, 460, 20));
    ShowFilledShapes->hide();
    ShowColorSpots = MakeCheckBox(this, "ShowColorSpots", "Show bent notes in grey", QRect(16, 144, 480, 20));
    ShowShapes = MakeCheckBox(this, "ShowShapes", "Show note outlines", QRect(16, 166, 480, 20));
    ShowUpcomingNotes = MakeCheckBox(this, "ShowUpcomingNotes", "Show upcoming notes", QRect(16, 188, 170, 20));

    UpcomingNoteInterval = new QLineEdit("300", this);
    UpcomingNoteInterval->setObjectName("UpcomingNoteInterval");
    UpcomingNoteInterval->setGeometry(190, 186, 52, 22);
    SetTag(UpcomingNoteInterval, 1);
    UpcomingNoteInterval->installEventFilter(this);
    Label3 = MakeLabel(this, "Label3", "msec      before they are played.", QRect(248, 190, 250, 18));

    ShowFingeringOnTranscriptions = MakeCheckBox(this, "ShowFingeringOnTranscriptions",
                                                 "Show fingering on transcriptions", QRect(16, 214, 480, 20));
    UseInvertedVideo = MakeCheckBox(this, "UseInvertedVideo", "Use playercam (inverted) videos when available",
                                    QRect(16, 236, 480, 20));

    OKButton = new QPushButton("OK", this);
    OKButton->setObjectName("OKButton");
    OKButton->setGeometry(258, 284, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, [this] { CallEventHandler([this] { OKButtonClick(); }); });

    CancelButton = new QPushButton("Cancel", this);
    CancelButton->setObjectName("CancelButton");
    CancelButton->setGeometry(343, 284, 75, 25);
    connect(CancelButton, &QPushButton::clicked, this, [this] { CallEventHandler([this] { CancelButtonClick(); }); });

    Button1 = new QPushButton("Reset to default", this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(16, 284, 130, 25);
    connect(Button1, &QPushButton::clicked, this, [this] { CallEventHandler([this] { Button1Click(); }); });

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

TSettingsForm::~TSettingsForm() = default;

int TSettingsForm::Tag(const QObject* control)
{
    return control ? control->property(TagProperty).toInt() : 0;
}

void TSettingsForm::SetTag(QObject* control, int tag)
{
    control->setProperty(TagProperty, tag);
}

void TSettingsForm::ControlsFromKeys()
{
    TDVContext* root = Settings.GetContext();
    for (QWidget* control : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (Tag(control) == 0)
            continue;
        const std::string key = "settings." + Bytes(control->objectName());
        if (!root->Exists(key))
            continue;
        const char* kind = control->metaObject()->className();
        if (std::strcmp(kind, "QComboBox") == 0) {
            auto* combo = static_cast<QComboBox*>(control);
            if (control->objectName().contains("Volume"))
                combo->setCurrentIndex(combo->findText(Text(root->GetValueText(key)), Qt::MatchFixedString));
            else
                combo->setCurrentIndex(root->GetInteger(key));
        } else if (std::strcmp(kind, "QLineEdit") == 0) {
            static_cast<QLineEdit*>(control)->setText(Text(root->GetValueText(key)));
        } else if (std::strcmp(kind, "QCheckBox") == 0) {
            static_cast<QCheckBox*>(control)->setChecked(root->GetBool(key));
        } else if (std::strcmp(kind, "QSpinBox") == 0) {
            static_cast<QSpinBox*>(control)->setValue(root->GetInteger(key));
        }
    }
}

void TSettingsForm::KeysFromControls()
{
    TDVContext* root = Settings.GetContext();
    for (QWidget* control : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (Tag(control) == 0)
            continue;
        const std::string key = "settings." + Bytes(control->objectName());
        if (!root->Exists(key))
            continue;
        const char* kind = control->metaObject()->className();
        if (std::strcmp(kind, "QComboBox") == 0) {
            auto* combo = static_cast<QComboBox*>(control);
            if (control->objectName().contains("Volume"))
                root->SetInteger(key, DecimalOrZero(Bytes(combo->currentText())));
            else
                root->SetInteger(key, combo->currentIndex());
        } else if (std::strcmp(kind, "QLineEdit") == 0) {
            const std::string text = Bytes(static_cast<QLineEdit*>(control)->text());
            if (root->GetTagType(key) == vtInteger)
                root->SetInteger(key, DecimalOrZero(text));
            else
                root->SetString(key, text);
        } else if (std::strcmp(kind, "QCheckBox") == 0) {
            root->SetBool(key, static_cast<QCheckBox*>(control)->isChecked());
        } else if (std::strcmp(kind, "QSpinBox") == 0) {
            root->SetInteger(key, static_cast<QSpinBox*>(control)->value());
        }
    }
}

void TSettingsForm::FormShow()
{
    OKButton->setDefault(true);
    OKButton->setFocus();
    ControlsFromKeys();
    // An option the configuration does not offer counts as off.
    for (QCheckBox* option : {ShowFingering, ShowFingeringOnTranscriptions, UseInvertedVideo})
        option->setChecked(option->isChecked() && !option->isHidden());
    ShowFingeringClick();
    Label3->setVisible(!UpcomingNoteInterval->isHidden());
}

void TSettingsForm::OKButtonClick()
{
    // Enter on the default button does not move the focus out of the edit, so the edit is
    // brought into its range here as leaving it would.
    UpcomingNoteIntervalExit();
    KeysFromControls();
    accept();
}

void TSettingsForm::CancelButtonClick()
{
    reject();
}

std::string TSettingsForm::UserFileName() const
{
    return Settings.INIFileName.empty() ? ExecutableFolder() + settings_t::UserFileName : Settings.INIFileName;
}

void TSettingsForm::Button1Click()
{
    if (MessageBox("Do you want reset all settings to default?", "Warning!", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) !=
        IDYES)
        return;
    const std::string name = UserFileName();
    const std::string file = ResolveFileName(name);
    if (FileExists(file)) {
        std::error_code error;
        if (!std::filesystem::remove(file, error) || error)
            throw Exception("Cannot delete file \"" + file + "\"");
    }
    ReloadSettings();
    FormShow();
}

void TSettingsForm::ReloadSettings()
{
    try {
        Settings.Reload();
    } catch (...) {
        emit ConfigurationReloaded();
        throw;
    }
    emit ConfigurationReloaded();
}

void TSettingsForm::ShowFingeringClick()
{
    ShowFilledShapes->setEnabled(ShowFingering->isChecked());
}

void TSettingsForm::UpcomingNoteIntervalExit()
{
    const std::int32_t value = DecimalOrZero(Bytes(UpcomingNoteInterval->text()));
    UpcomingNoteInterval->setText(QString::number(std::clamp(value, MinInterval, MaxInterval)));
}

void TSettingsForm::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        CallEventHandler([this] { FormShow(); });
    QDialog::showEvent(event);
}

void TSettingsForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        CallEventHandler([this] { CancelButtonClick(); });
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TSettingsForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == UpcomingNoteInterval) {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const QString text = key->text();
            // Editing keys such as Delete are no characters here, only typed characters are
            // filtered: digits and control characters (codes 0 to 30) pass.
            if (!text.isEmpty() && key->key() != Qt::Key_Delete) {
                const char16_t c = text.front().unicode();
                if (!(c >= u'0' && c <= u'9') && c > 30)
                    return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            CallEventHandler([this] { UpcomingNoteIntervalExit(); });
        }
    }
    return QDialog::eventFilter(watched, event);
}
