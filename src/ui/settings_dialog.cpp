#include "ui/settings_dialog.h"

#include <QKeyEvent>
#include <QLabel>

#include "shell/drop_sound.h"
#include "shell/shared_values.h"
#include "ui/info_label.h"
#include "ui/pictures.h"
#include "ui/ui_style.h"

namespace pictorra::ui {

namespace {
constexpr uint32_t kUnitText = 0x9A5445;
constexpr uint32_t kNoteText = 0xC00000;

// The information choices in the order the list shows them, with what each means to a person.
struct MetadataItem {
    image::MetadataChoice choice;
    const char* caption;
};
constexpr MetadataItem kMetadataItems[] = {
    {image::MetadataChoice::kNoLocation, "All but the location (GPS)"},
    {image::MetadataChoice::kKeepAll, "All, the location too"},
    {image::MetadataChoice::kNone, "None"},
};
}  // namespace

SettingsDialog::SettingsDialog(controls::CSubclass* hook, shell::SettingsStore& store,
                               shell::SizeSettingsView& shown)
    : FormWindow("FSets", QStringLiteral("Settings Options"), QSize(384, 300), kFormBack),
      store_(store),
      shown_(shown) {
    QWidget* c = Client();
    auto* banner = new QLabel(c);
    banner->setObjectName(QStringLiteral("Image1"));
    banner->setGeometry(0, 0, 417, 20);
    banner->setPixmap(QPixmap::fromImage(pictures::Banner(417, 25)));
    MakeLabel(c, "Label2", QRect(-4, 0, 505, 25), QStringLiteral(" "), SansFont(kSmallPx), 0,
              kStripBack)
        ->setPixmap(QPixmap::fromImage(pictures::Banner(505, 25)));
    auto* icon = new QLabel(c);
    icon->setObjectName(QStringLiteral("Image2"));
    icon->setGeometry(12, 4, 16, 15);
    icon->setPixmap(QPixmap::fromImage(pictures::ProgramIcon(15)));
    QLabel* bar = MakeLabel(c, "LabBar", QRect(36, 4, 241, 21), QStringLiteral("   Settings"),
                            SansFont(kLargePx, true), 0xFFFFFF);
    bar->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    MakeDragBar(bar);
    auto* close = MakeButton(hook, c, "bWindowG", QPoint(360, 4), pictures::CloseButton(),
                             QStringLiteral("Close"));
    connect(close, &controls::GlowBut::Click, this, &QWidget::hide);

    MakeLabel(c, "Label1(7)", QRect(8, 28, 196, 17), QStringLiteral("Kept for the next start."),
              SansFont(kSmallPx), kNoteText);
    auto* info = new InfoLabel(c, "LabInfo", QRect(208, 32, 21, 17));
    connect(info, &InfoLabel::Clicked, this,
            [this] { emit HelpRequested(QStringLiteral("options")); });

    MakeLabel(c, "Label1(0)", QRect(8, 60, 281, 17),
              QStringLiteral("Max. pixel size for resizing options:"), SansFont(kSmallPx, true),
              kHeadingText);
    QLabel* custom =
        MakeLabel(c, "Label1(8)", QRect(224, 60, 169, 41), QStringLiteral("Custom cropping ratio:"),
                  SansFont(kSmallPx, true), kHeadingText);
    custom->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    custom->setGeometry(224, 60, 152, 41);

    const char* const names[] = {"Mini-view:", "EZ-view:", "Desk-view:"};
    for (int i = 0; i < 3; ++i) {
        const int y = 88 + 32 * i;
        MakeLabel(c, QStringLiteral("Label1(%1)").arg(i + 1).toLatin1().constData(),
                  QRect(8, y, 89, 17), QString::fromLatin1(names[i]), WideFont(kSmallPx),
                  kNameText);
        MakeLabel(c, QStringLiteral("Label1(%1)").arg(i + 4).toLatin1().constData(),
                  QRect(152, y, 57, 17), QStringLiteral("pixels"), WideFont(kSmallPx), kUnitText);
    }
    const QRect boxes[] = {{88, 84, 61, 21},
                           {88, 116, 61, 21},
                           {88, 148, 61, 21},
                           {288, 96, 37, 21},
                           {288, 128, 37, 21}};
    for (int i = 0; i < 5; ++i) {
        auto* field = new QLineEdit(c);
        field->setObjectName(QStringLiteral("TPix(%1)").arg(i));
        field->setGeometry(boxes[i]);
        field->setFont(WideFont(kSmallPx));
        fields_[size_t(i)] = field;
    }
    QLabel* small = MakeLabel(c, "Label1(9)", QRect(208, 97, 73, 17), QStringLiteral("sm. dim.:"),
                              WideFont(kSmallPx), kUnitText);
    QLabel* large = MakeLabel(c, "Label1(10)", QRect(224, 129, 57, 17), QStringLiteral("lg. dim.:"),
                              WideFont(kSmallPx), kUnitText);
    small->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    large->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    sound_ = new CaptionCheck(c, "CkSound", QRect(12, 192, 205, 37),
                              QStringLiteral("Enable sound when dropping onto chute."),
                              WideFont(kSmallPx), kNameText, false);
    connect(sound_->Box(), &QCheckBox::clicked, this, &SettingsDialog::SoundClicked);

    MakeLabel(c, "LabMetadata", QRect(8, 236, 225, 17),
              QStringLiteral("Photo details kept in JPG files:"), SansFont(kSmallPx, true),
              kHeadingText);
    metadata_ = new QComboBox(c);
    metadata_->setObjectName(QStringLiteral("CbMetadata"));
    metadata_->setGeometry(8, 256, 225, 23);
    metadata_->setFont(WideFont(kSmallPx));
    for (const MetadataItem& item : kMetadataItems)
        metadata_->addItem(QString::fromLatin1(item.caption), int(item.choice));
    metadata_->setToolTip(
        QStringLiteral("Date and time, camera, lens, exposure, author and copyright go with "
                       "the picture. Where it was taken is left out unless you keep it."));

    MakeLabel(c, "Label3", QRect(240, 240, 141, 53), QString(), SansFont(kSmallPx), 0, kFormBack);
    auto* save = MakeButton(hook, c, "bOKG(0)", QPoint(248, 256),
                            pictures::CaptionButton(36, 23, QStringLiteral("OK")),
                            QStringLiteral("Close and save changes."));
    auto* cancel = MakeButton(hook, c, "bOKG(1)", QPoint(312, 256),
                              pictures::CaptionButton(61, 23, QStringLiteral("Cancel")),
                              QStringLiteral("Close without saving changes."));
    connect(save, &controls::GlowBut::Click, this, &SettingsDialog::Save);
    connect(cancel, &controls::GlowBut::Click, this, &QWidget::hide);
    // The strip's pieces lie in the order they were made; the bar and its buttons go on top.
    banner->lower();
    for (QWidget* w : std::initializer_list<QWidget*>{icon, bar, close}) w->raise();
}

void SettingsDialog::Open() {
    SetField(0, std::to_string(shell::gSize1));
    SetField(1, std::to_string(shell::gSize2));
    SetField(2, std::to_string(shell::gSize3));
    SetMetadataChoice(shell::gMetadata);
    switch (shell::GetDropSoundState(shell::gSoundPath, shell::gMutedSoundPath)) {
        case shell::DropSoundState::kOn:
            SetSoundValue(1);
            break;
        case shell::DropSoundState::kOff:
            SetSoundValue(0);
            break;
        case shell::DropSoundState::kUnavailable:
            SetSoundValue(2);
            break;
    }
    show();
    raise();
    activateWindow();
}

void SettingsDialog::SetField(int index, const std::string& text) {
    if (index >= 0 && index < 5) fields_[size_t(index)]->setText(QString::fromStdString(text));
}

std::array<std::string, 5> SettingsDialog::Fields() const {
    std::array<std::string, 5> out;
    for (size_t i = 0; i < 5; ++i) out[i] = fields_[i]->text().toStdString();
    return out;
}

void SettingsDialog::SetMetadataChoice(image::MetadataChoice choice) {
    metadata_->setCurrentIndex(metadata_->findData(int(choice)));
}

image::MetadataChoice SettingsDialog::Metadata() const {
    return static_cast<image::MetadataChoice>(metadata_->currentData().toInt());
}

void SettingsDialog::SetSoundValue(int value) {
    sound_->Box()->setCheckState(value == 1   ? Qt::Checked
                                 : value == 2 ? Qt::PartiallyChecked
                                              : Qt::Unchecked);
}

int SettingsDialog::SoundValue() const {
    switch (sound_->Box()->checkState()) {
        case Qt::Checked:
            return 1;
        case Qt::PartiallyChecked:
            return 2;
        default:
            return 0;
    }
}

void SettingsDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            Save();
            break;
        case Qt::Key_Escape:
            hide();
            break;
        default:
            FormWindow::keyPressEvent(event);
            break;
    }
}

void SettingsDialog::Save() {
    shell::SaveSizeSettings(store_, shown_, Fields(), Metadata());
    hide();
}

void SettingsDialog::SoundClicked() {
    // Only the user's own click on the shown dialog renames anything: the value the program sets
    // when it opens the dialog describes the files and must not move them.
    if (!isVisible()) return;
    const int value = SoundValue();
    if (value == 2) return;
    shell::SwitchDropSound(value == 1, shell::gSoundPath, shell::gMutedSoundPath);
}

}  // namespace pictorra::ui
