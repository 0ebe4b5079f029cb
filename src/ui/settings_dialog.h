#pragma once
// FSets, the settings dialog: the three resize presets, the custom crop ratio, the drop sound and
// which photo information JPG outputs carry. It is made hidden at start-up, shown (not modal) by
// the main window's options button and only ever hidden afterwards. Saving hands the five fields
// and the information choice to SaveSizeSettings; the sound box renames the sound file at once,
// whether or not the dialog is then saved.

#include <QComboBox>
#include <QLineEdit>
#include <array>
#include <string>

#include "shell/size_settings.h"
#include "ui/caption_check.h"
#include "ui/form_window.h"

namespace pictorra::ui {

class SettingsDialog : public FormWindow {
    Q_OBJECT

public:
    // store and shown: where saved values go and where the main window shows them; both must
    // outlive the dialog.
    SettingsDialog(controls::CSubclass* hook, shell::SettingsStore& store,
                   shell::SizeSettingsView& shown);

    // The main window's options button: the presets and the information choice in force into
    // their controls, the sound box from the files beside the program, then show. The custom
    // ratio fields keep what they hold.
    void Open();

    void SetField(int index, const std::string& text);
    std::array<std::string, 5> Fields() const;

    void SetMetadataChoice(image::MetadataChoice choice);
    image::MetadataChoice Metadata() const;

    // Ticked (1), unticked (0) or grey (2). Setting it never moves a file.
    void SetSoundValue(int value);
    int SoundValue() const;

signals:
    void HelpRequested(const QString& topic);

protected:
    // Enter saves and closes, Escape closes without saving, as the two buttons do.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Save();
    void SoundClicked();

    shell::SettingsStore& store_;
    shell::SizeSettingsView& shown_;
    std::array<QLineEdit*, 5> fields_{};
    CaptionCheck* sound_ = nullptr;
    QComboBox* metadata_ = nullptr;
};

// Where the sizes are shown: the main window's labels, tips and custom option, and the dialog's
// five fields.
class SizeDisplay final : public shell::SizeSettingsView {
public:
    SizeDisplay(shell::SizeSettingsView& main_window, SettingsDialog& dialog)
        : main_(main_window), dialog_(dialog) {}
    void SetPresetLabel(int index, const std::string& text) override {
        main_.SetPresetLabel(index, text);
    }
    void SetPresetTip(int index, const std::string& text) override {
        main_.SetPresetTip(index, text);
    }
    void SetDialogField(int index, const std::string& text) override {
        dialog_.SetField(index, text);
    }
    void SetCustomRatioCaption(const std::string& text) override {
        main_.SetCustomRatioCaption(text);
    }
    void EnableCustomRatioIfRatiosEnabled() override { main_.EnableCustomRatioIfRatiosEnabled(); }
    void SetMetadataChoice(image::MetadataChoice choice) override {
        dialog_.SetMetadataChoice(choice);
    }

private:
    shell::SizeSettingsView& main_;
    SettingsDialog& dialog_;
};

}  // namespace pictorra::ui
