#pragma once

#include "core/settings/Settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QWidget>

#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

class QLabel;
class QSlider;

namespace mirl {

/// The preferences' controls, each bound to one settings key: it shows the stored value (the
/// key's documented default when absent) and writes the key, with its type, as soon as the user
/// changes it. reload() shows the stored value again without writing anything.

/// A switch for a boolean key.
class BoundSwitch : public QCheckBox {
    Q_OBJECT
public:
    BoundSwitch(Settings& settings, std::string_view key, const QString& text, QWidget* parent = nullptr);
    void reload();
    std::string_view key() const { return key_; }

private:
    Settings& settings_;
    std::string key_;
};

/// A slider for an integer key over min..max in whole steps, with a value label above it that
/// `format` writes from the value. The stored value is written back as an integer; a stored value
/// off the slider's grid is shown at the nearest position but kept until the user moves it.
class BoundSlider : public QWidget {
    Q_OBJECT
public:
    struct Range {
        int min;
        int max;
        int step;
    };
    BoundSlider(Settings& settings, std::string_view key, Range range, std::function<QString(int)> format,
                QWidget* parent = nullptr);
    void reload();
    /// The value shown (the stored one until the user moves the slider).
    int value() const { return value_; }
    /// Moves the slider to `value` as a user would (snapped to the grid), writing the key.
    void moveTo(int value);
    QSlider* slider() const { return slider_; }
    QString labelText() const;
    std::string_view key() const { return key_; }

signals:
    void valueChanged(int value);

private:
    void showValue(int value);

    Settings& settings_;
    std::string key_;
    Range range_;
    std::function<QString(int)> format_;
    QLabel* label_;
    QSlider* slider_;
    int value_ = 0;
    bool loading_ = false;
};

/// A picker for an integer or text key over fixed rows. A stored value that is none of the rows
/// gets a row of its own (labelled by `unlisted`), so that it is shown and kept as it is; it is
/// never rewritten unless the user picks another row (and picking its row again brings it back).
class BoundPicker : public QComboBox {
    Q_OBJECT
public:
    using Value = std::variant<int, std::string>;
    struct Row {
        QString label;
        Value value;
    };
    BoundPicker(Settings& settings, std::string_view key, std::vector<Row> rows,
                std::function<QString(const Value&)> unlisted, QWidget* parent = nullptr);
    void reload();
    /// The rows offered, without an unlisted stored value's own row.
    void setRows(std::vector<Row> rows);
    /// The value of the selected row.
    Value value() const;
    /// Whether the selected row is an unlisted stored value's own row.
    bool showsUnlistedValue() const { return unlistedIndex_ >= 0 && currentIndex() == unlistedIndex_; }
    std::string_view key() const { return key_; }

signals:
    void valueChanged();

private:
    Value stored() const;
    void picked(int index);

    Settings& settings_;
    std::string key_;
    bool isText_;
    std::vector<Row> rows_;
    std::vector<Value> shown_; // the value of each item, the unlisted one included
    std::function<QString(const Value&)> unlisted_;
    int unlistedIndex_ = -1;
    bool loading_ = false;
};

/// The documented default of a key (SettingsKeys.h), for the controls' display.
bool defaultBool(std::string_view key);
int defaultInt(std::string_view key);
std::string defaultText(std::string_view key);

} // namespace mirl
