#include "ui/prefs/BoundControls.h"

#include "core/settings/SettingsKeys.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace mirl {

namespace {

const keys::SettingDefault* findDefault(std::string_view key) {
    for (const auto& d : keys::kSettingDefaults) {
        if (d.key == key)
            return &d;
    }
    return nullptr;
}

} // namespace

bool defaultBool(std::string_view key) {
    const auto* d = findDefault(key);
    return d && std::holds_alternative<bool>(d->value) ? std::get<bool>(d->value) : false;
}

int defaultInt(std::string_view key) {
    const auto* d = findDefault(key);
    return d && std::holds_alternative<int>(d->value) ? std::get<int>(d->value) : 0;
}

std::string defaultText(std::string_view key) {
    const auto* d = findDefault(key);
    return d && std::holds_alternative<std::string_view>(d->value)
               ? std::string(std::get<std::string_view>(d->value))
               : std::string();
}

// --- BoundSwitch

BoundSwitch::BoundSwitch(Settings& settings, std::string_view key, const QString& text, QWidget* parent)
    : QCheckBox(text, parent), settings_(settings), key_(key) {
    reload();
    connect(this, &QCheckBox::toggled, this, [this](bool on) { settings_.writeBool(key_, on); });
}

void BoundSwitch::reload() {
    QSignalBlocker quiet(this);
    setChecked(settings_.readBool(key_, defaultBool(key_)));
}

// --- BoundSlider

BoundSlider::BoundSlider(Settings& settings, std::string_view key, Range range,
                         std::function<QString(int)> format, QWidget* parent)
    : QWidget(parent), settings_(settings), key_(key), range_(range), format_(std::move(format)),
      label_(new QLabel(this)), slider_(new QSlider(Qt::Horizontal, this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(label_);
    layout->addWidget(slider_);
    // The slider moves over grid positions: position i is the value min + i * step.
    slider_->setRange(0, (range_.max - range_.min) / range_.step);
    slider_->setSingleStep(1);
    slider_->setPageStep(1);
    slider_->setTickPosition(QSlider::NoTicks);
    label_->setBuddy(slider_);
    reload();
    connect(slider_, &QSlider::valueChanged, this, [this](int position) {
        if (loading_)
            return;
        // A value shown as a double on the grid, stored back truncated to an integer.
        const double shown = range_.min + static_cast<double>(position) * range_.step;
        const int stored = static_cast<int>(std::trunc(shown));
        settings_.writeInt(key_, stored);
        showValue(stored);
        emit valueChanged(stored);
    });
}

void BoundSlider::reload() {
    showValue(settings_.readInt(key_, defaultInt(key_)));
}

void BoundSlider::showValue(int value) {
    value_ = value;
    label_->setText(format_(value));
    const double position =
        (static_cast<double>(std::clamp(value, range_.min, range_.max)) - range_.min) / range_.step;
    loading_ = true;
    slider_->setValue(static_cast<int>(std::lround(position)));
    loading_ = false;
}

void BoundSlider::moveTo(int value) {
    const int position = static_cast<int>(std::lround(
        (static_cast<double>(std::clamp(value, range_.min, range_.max)) - range_.min) / range_.step));
    if (position == slider_->value()) {
        // Qt reports no change for the same position: write it as the user's choice all the same.
        settings_.writeInt(key_, range_.min + position * range_.step);
        showValue(range_.min + position * range_.step);
        emit valueChanged(value_);
        return;
    }
    slider_->setValue(position);
}

QString BoundSlider::labelText() const {
    return label_->text();
}

// --- BoundPicker

BoundPicker::BoundPicker(Settings& settings, std::string_view key, std::vector<Row> rows,
                         std::function<QString(const Value&)> unlisted, QWidget* parent)
    : QComboBox(parent), settings_(settings), key_(key),
      isText_(!rows.empty() && std::holds_alternative<std::string>(rows.front().value)),
      rows_(std::move(rows)), unlisted_(std::move(unlisted)) {
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    reload();
    connect(this, &QComboBox::activated, this, &BoundPicker::picked);
}

BoundPicker::Value BoundPicker::stored() const {
    if (isText_)
        return settings_.readString(key_, defaultText(key_));
    return settings_.readInt(key_, defaultInt(key_));
}

void BoundPicker::setRows(std::vector<Row> rows) {
    rows_ = std::move(rows);
    reload();
}

void BoundPicker::reload() {
    loading_ = true;
    QSignalBlocker quiet(this);
    clear();
    shown_.clear();
    const Value current = stored();
    const bool listed =
        std::any_of(rows_.begin(), rows_.end(), [&](const Row& r) { return r.value == current; });
    auto add = [&](const QString& label, const Value& value) {
        addItem(label);
        shown_.push_back(value);
    };
    unlistedIndex_ = -1;
    for (const auto& row : rows_) {
        // An unlisted number goes among the numbers in order; an unlisted text after the rows.
        if (!listed && unlistedIndex_ < 0 && !isText_ && std::get<int>(row.value) > std::get<int>(current)) {
            unlistedIndex_ = count();
            add(unlisted_(current), current);
        }
        add(row.label, row.value);
    }
    if (!listed && unlistedIndex_ < 0) {
        unlistedIndex_ = count();
        add(unlisted_(current), current);
    }
    const auto at = std::find(shown_.begin(), shown_.end(), current);
    setCurrentIndex(static_cast<int>(at - shown_.begin()));
    loading_ = false;
}

BoundPicker::Value BoundPicker::value() const {
    const int index = currentIndex();
    if (index < 0 || static_cast<std::size_t>(index) >= shown_.size())
        return stored();
    return shown_[static_cast<std::size_t>(index)];
}

void BoundPicker::picked(int index) {
    if (loading_ || index < 0 || static_cast<std::size_t>(index) >= shown_.size())
        return;
    const Value chosen = shown_[static_cast<std::size_t>(index)];
    if (chosen == stored())
        return; // nothing changes: an unlisted value stays exactly as it was stored
    if (const auto* text = std::get_if<std::string>(&chosen))
        settings_.writeString(key_, *text);
    else
        settings_.writeInt(key_, std::get<int>(chosen));
    emit valueChanged();
}

} // namespace mirl
