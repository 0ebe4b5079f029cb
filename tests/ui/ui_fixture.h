#pragma once
// What the window tests share: a program started with recording message boxes and stacking, an
// in-memory settings store and a folder of its own, and controls found by their names.

#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "shell/shared_values.h"
#include "ui/program.h"

namespace pictorra::ui::test {

struct Boxes final : shell::MessageBoxes {
    std::vector<std::string> shown;
    bool answer = true;
    bool Ask(const std::string& text) override {
        shown.push_back(text);
        return answer;
    }
    void Inform(const std::string& text) override { shown.push_back(text); }
    void Plain(const std::string& text) override { shown.push_back(text); }
};

struct Stacking final : WindowStacking {
    std::vector<std::string> calls;  // "top FShow", "bottom FTools", ...
    void SetTopmost(QWidget* w) override { calls.push_back("top " + Name(w)); }
    void SetBottom(QWidget* w) override { calls.push_back("bottom " + Name(w)); }
    static std::string Name(QWidget* w) { return w->objectName().toStdString(); }
};

struct Store final : shell::SettingsStore {
    std::map<std::string, std::string> values;
    std::string GetSetting(const std::string&, const std::string&, const std::string& key,
                           const std::string& fallback) override {
        const auto it = values.find(key);
        return it == values.end() ? fallback : it->second;
    }
    void SaveSetting(const std::string&, const std::string&, const std::string& key,
                     const std::string& value) override {
        values[key] = value;
    }
};

struct Fixture {
    QTemporaryDir folder;
    Boxes boxes;
    Stacking stacking;
    Store store;
    std::unique_ptr<Program> program;

    explicit Fixture(bool graphics = true) {
        shell::ResetSharedValues();
        Program::Parts parts;
        parts.program_folder = folder.path().toStdString();
        parts.graphics_check = [graphics] { return graphics; };
        parts.boxes = &boxes;
        parts.stacking = &stacking;
        parts.store = &store;
        program = std::make_unique<Program>(std::move(parts));
    }
    std::string Path(const char* name) const { return (folder.path() + "/" + name).toStdString(); }
};

template <typename T>
T* Find(QWidget* window, const QString& name) {
    T* found = window->findChild<T*>(name);
    if (found == nullptr)
        qFatal("no control %s in %s", qPrintable(name), qPrintable(window->objectName()));
    return found;
}

}  // namespace pictorra::ui::test
