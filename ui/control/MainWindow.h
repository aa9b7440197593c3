#pragma once

#include <QWidget>

#include <functional>

namespace mirl {

class ControlView;

/// The "Mirl" window: the control view in an ordinary window with a taskbar entry. While a tray
/// item stands in for it, closing (or Escape) only hides it; without one, closing quits Mirl.
class MainWindow final : public QWidget {
public:
    /// Takes ownership of view.
    explicit MainWindow(ControlView* view);

    /// Without a tray item to come back from, closing the window quits through `quit`; an empty
    /// function (the default) lets closing (or Escape) only hide it.
    void setQuitOnClose(std::function<void()> quit) { quitOnClose_ = std::move(quit); }
    /// Shows, raises and activates the window.
    void present();

    ControlView* view() const { return view_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    ControlView* view_;
    std::function<void()> quitOnClose_;
    bool placed_ = false;
};

} // namespace mirl
